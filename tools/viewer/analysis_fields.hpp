// Results of one analysis (a load case, a combination, a mode or a buckling
// shape) as point and cell arrays on the indices of ModelArrays. The VTU
// writer appends them to the model's own arrays (one file per analysis,
// listed by a .pvd collection) and the page offers them in its results and
// colour menus, using "displacement" for the deformed shape.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "data_array.hpp"
#include "model_arrays.hpp"

namespace quilm_view {

// Field names and layouts (values per point or per cell; NaN where a value
// does not apply or was not stored):
//   displacement   3 per point: ux uy uz (m); 0 where none is stored
//   rotation       3 per point: rx ry rz (rad)
//   reaction       6 per point: Fx Fy Fz (N) Mx My Mz (N m), at supported nodes
//   section_force  12 per cell: N Vy Vz (N) T My Mz (N m) at the first end, then the last end (beams)
//   von_mises      3 per cell: top, middle, bottom at the centre (Pa) (shells)
struct AnalysisFields {
  std::string name;                  // e.g. "1 \"dead\"", "mode 1: 2.51 Hz"
  std::string kind;                  // "load case", "combination", "mode" or "buckling shape"
  long number = 0;                   // the load case or combination id, the mode or shape number
  bool stale = false;                // the model changed after the solve
  std::vector<DataArray> pointData;  // views into StoredResults::values
  std::vector<DataArray> cellData;
  std::vector<std::string> units;    // one per array, point arrays first; per-component units separated by
                                     // spaces; empty for a mode or buckling shape (normalised)
};

// The stored analyses of a model with the values their fields view.
struct StoredResults {
  std::vector<AnalysisFields> analyses;
  std::deque<std::vector<double>> values;  // a deque: views stay valid as it grows
};

// Reads every stored analysis of `model` onto the points and cells of `a`
// (gathered from the same model). Results of nodes or elements that `a`
// does not hold are left out.
StoredResults GatherResults(am::XafModel& model, const ModelArrays& a);

// Finds an analysis by its index in `analyses` (from 0), its number with its
// kind ("mode 2", "load case 1", "combination 3", "buckling 1"), or its
// name; -1 when none matches.
int FindAnalysis(const std::vector<AnalysisFields>& analyses, const std::string& which);

}  // namespace quilm_view
