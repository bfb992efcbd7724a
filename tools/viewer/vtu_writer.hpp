// Writes the model as a VTK XML unstructured grid (.vtu): raw binary
// appended data, little-endian, 64-bit block headers, uncompressed.
// Points are the model's nodes and cells its elements (vertices, lines,
// quadratic edges, triangles, quads); their ids and properties are point and
// cell data arrays named as in ModelVtuArrays.
#pragma once

#include <ostream>
#include <vector>

#include "analysis_fields.hpp"
#include "data_array.hpp"
#include "model_arrays.hpp"

namespace quilm_view {

// The model's own point and cell data arrays (views into `a`).
struct VtuArrays {
  std::vector<DataArray> pointData, cellData;
};
VtuArrays ModelVtuArrays(const ModelArrays& a);

// Writes the grid of `a` with its model arrays and, when given, the arrays
// of one analysis. Leaves error reporting to the stream's state.
void WriteVtu(const ModelArrays& a, const AnalysisFields* analysis, std::ostream& out);

// Writes a ParaView collection (.pvd) listing `files` (relative to the
// collection), one per analysis, as steps 1, 2, ... named by the analyses.
void WritePvd(const std::vector<std::string>& files, const std::vector<AnalysisFields>& analyses,
              std::ostream& out);

}  // namespace quilm_view
