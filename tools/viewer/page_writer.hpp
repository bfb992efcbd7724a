// Writes the self-contained viewer page: one HTML file holding the page's
// markup and script (three.js bundled in), a JSON block with the model's
// tables, and the mesh as little-endian typed arrays in one block of nearly
// raw bytes (binary_text.hpp). The page is ASCII apart from that block.
// The page loads nothing from the network.
//
// Data layout (read by web/viewer.js): the JSON block's "arrays" lists each
// array by name, type, component count, byte offset and value count within
// the decoded binary block (offsets aligned to 8 bytes). Point arrays are
// indexed like ModelArrays' points, cell arrays like its cells. Each entry of
// "analyses" names the point and cell arrays of one analysis
// ("analysis.<i>.<field>"): the page offers them as colour quantities.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "analysis_fields.hpp"
#include "model_arrays.hpp"

namespace quilm_view {

// What the page shows first; the reader can change both in the page.
struct PageSettings {
  std::string view = "iso";        // iso, plan, front, back, left, right
  std::string colour = "section";  // section, material, concept, type, thickness
  bool picture = false;            // a picture for a report: no tool bar, no status line
  int analysis = -1;               // the analysis shown deformed at first (index into the analyses); -1: none
  double scale = -1;               // its deformation scale; negative: the page's automatic scale
  long loadCase = 0;               // the load case whose loads are drawn at first; 0: none
};

// Writes the page of `a` with the results of `analyses` (empty until results
// are stored). Leaves error reporting to the stream's state.
void WritePage(const ModelArrays& a, const std::vector<AnalysisFields>& analyses,
               const PageSettings& settings, std::ostream& out);

// The arrays the page embeds, in order, and the values they are views of
// (kept alive by the returned object). Exposed for the benchmark.
struct PageArrays {
  std::vector<DataArray> arrays;
  std::vector<std::vector<float>> floats;
  std::vector<std::vector<std::uint32_t>> indices;
};
PageArrays MakePageArrays(const ModelArrays& a, const std::vector<AnalysisFields>& analyses);

}  // namespace quilm_view
