// Reading the solver's printed results (its .dat file) back.
#pragma once

#include <string>

#include "solver/solve_results.hpp"

namespace Kestrum::Quilm::Solver {

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
