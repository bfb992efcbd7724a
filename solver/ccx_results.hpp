// Reading the solver's printed results (its .dat file) back.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "geometry/geometry.hpp"

namespace Kestrum::Quilm::Solver {

// A failed solve or results that cannot be read; the message carries the
// solver's own words where it gave any.
class SolverError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The results of one static step (one load case).
struct StepResults {
  long loadCase = -1;
  std::string name;
  // Displacements (ux, uy, uz) of the model's nodes.
  std::map<long, vec3d> displacements;
  // Support reaction forces at the supported model nodes, in equilibrium
  // with every load of the step (see FoldSupportReactions). As parsed,
  // before folding: the solver's nodal forces of the printed nodes (reaction
  // plus the loads at the node).
  std::map<long, vec3d> reactions;
};

struct SolveResults {
  std::vector<StepResults> steps;   // in step order
  std::vector<double> frequencies;  // eigenfrequencies in cycles per second, ascending
  std::string solverOutput;         // what the solver printed
};

// Reads the .dat text of a run with `staticSteps` static steps (each printing
// displacements and forces once, at step times 1, 2, ...) and, when
// `expectFrequencies` is true, a frequency step after them. Throws
// SolverError when a step's results or the eigenvalue table are missing or
// a number cannot be read.
SolveResults ParseCcxDat(const std::string& text, std::size_t staticSteps, bool expectFrequencies);

// Reads a number as the solver prints it, including the exponent form
// without an E ("1.234567-100") that it uses for three-digit exponents.
// Throws SolverError for anything else.
double ParseSolverNumber(const std::string& token);

}  // namespace Kestrum::Quilm::Solver
