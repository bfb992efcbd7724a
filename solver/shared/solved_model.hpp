// What a solve's results refer to, beyond the results themselves: which of
// the nodes they name are the model's own, which are supported, and what
// each static step applied. Both solvers describe their solve this way, so
// that storing and summarising results never asks which solver ran.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "geometry/geometry.hpp"

namespace Kestrum::Quilm::Solver {

struct SolvedModel {
  // The solver that produced the results ("native", "ccx"), recorded with
  // them when they are stored.
  std::string solver;
  // Nodes with a boundary condition (whose reactions are meaningful), ascending.
  std::vector<long> supportNodes;
  // The resultant force of each static step's loads as the solver took them
  // (load cases, then combinations solved directly): the support reactions
  // of a solve balance it.
  std::vector<vec3d> appliedForces;
  // Model nodes the solver did not hold and the node whose results stand
  // for them (the external solver's beam axis points of eccentric nodes).
  std::map<long, long> axisNodes;
  // Nodes from this id on are the solver's own, not the model's (0: none).
  long firstGeneratedNode = 0;
};

}  // namespace Kestrum::Quilm::Solver
