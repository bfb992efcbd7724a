// Results of one analysis (a load case, a combination or a mode) as point
// and cell arrays on the indices of ModelArrays: the extension point for
// stored results. The VTU writer appends them to the model's own arrays
// (one file per analysis, listed by a .pvd collection) and the page lists
// them in its colour menu and uses "displacement" for the deformed shape.
// Nothing fills them yet: the model file stores no results.
#pragma once

#include <string>
#include <vector>

#include "data_array.hpp"

namespace quilm_view {

struct AnalysisFields {
  std::string name;                  // e.g. "Load case 2 Imposed deck load"
  std::string kind;                  // "load case", "combination" or "mode"
  std::vector<DataArray> pointData;  // e.g. "displacement" (m, 3), "rotation" (rad, 3), "reaction" (N, 6)
  std::vector<DataArray> cellData;   // e.g. "section force" (N, N m; 6 per cell)
  std::vector<std::string> units;    // one per array, point arrays first
};

}  // namespace quilm_view
