// Reading the solver's .frd results file (not installed): the nodes and
// elements of the expanded model (beams and shells written out as the
// solid elements the solver turns them into, OUTPUT=3D) and the
// displacement blocks of every step and mode, in file order.
#pragma once

#include <istream>
#include <map>
#include <vector>

#include "geometry/geometry.hpp"

namespace Kestrum::Quilm::Solver::detail {

struct FrdResults {
  std::map<long, pos3d> nodes;                            // expanded node -> position
  std::map<long, std::vector<long>> elements;             // solver element -> its expanded nodes
  std::vector<std::map<long, vec3d>> displacementBlocks;  // one per step, mode and buckling shape
};

// Reads an .frd file in the solver's text format; throws SolverError for a
// line that cannot be read.
FrdResults ReadFrd(std::istream& in);

}  // namespace Kestrum::Quilm::Solver::detail
