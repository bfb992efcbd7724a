// Reading the solver's printed results (its .dat file) back.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "solver/shared/solve_results.hpp"

namespace Kestrum::Quilm::Solver {

// What a run's .dat file holds, in the order of the deck's steps.
struct DatLayout {
  std::size_t staticSteps = 0;  // static steps (load cases, then combinations)
  bool frequencies = false;     // a frequency step
  bool buckling = false;        // a buckling step, last; its shapes printed for set NBUCKLE
};

// Stresses (sxx, syy, szz, sxy, sxz, syz) at the integration points of the
// printed elements of one step, by solver element, in integration point order.
using ElementStresses = std::map<long, std::vector<std::array<double, 6>>>;

// Reads the .dat text of a run laid out as `layout` says: each static step
// printing displacements and forces (and, when `stresses` is given, element
// stresses, stored there per static step) once, at step times 1, 2, ...; the
// frequency step's eigenvalue, participation and effective mass tables and
// the mode shapes printed after them (and the modes' element stresses,
// stored after the static steps' by mode number); the buckling factors and
// shapes.
// Throws SolverError when a step's results, the eigenvalue table or the
// buckling factors are missing or a number cannot be read.
SolveResults ParseCcxDat(const std::string& text, const DatLayout& layout,
                         std::vector<ElementStresses>* stresses = nullptr);

// The same for static steps and an optional frequency step.
SolveResults ParseCcxDat(const std::string& text, std::size_t staticSteps, bool expectFrequencies);

// Reads a number as the solver prints it, including the exponent form
// without an E ("1.234567-100") that it uses for three-digit exponents.
// Throws SolverError for anything else.
double ParseSolverNumber(const std::string& token);

}  // namespace Kestrum::Quilm::Solver
