// Element results recovered after a solve (not installed): node rotations,
// beam section forces and support reaction moments, from the element
// stresses of the .dat file and the expanded elements' displacements of the
// .frd file.
#pragma once

#include <string>
#include <vector>

#include "solver/ccx/ccx_export.hpp"
#include "solver/ccx/ccx_frd.hpp"
#include "solver/ccx/ccx_results.hpp"

namespace Kestrum::Quilm::Solver::detail {

// Fills the rotations of every analysis, and the beam section forces and
// reaction moments of every static step, of `results` as parsed for
// `deck` (static steps, then modes, then buckling modes, matching the
// .frd's displacement blocks; `stresses` per static step). Throws
// SolverError when the files do not match the deck.
void RecoverElementResults(const CcxDeck& deck, const FrdResults& frd,
                           const std::vector<ElementStresses>& stresses, SolveResults& results);

// Reads the results of a finished run of `deck` from the files job.dat and,
// for element results, job.frd in `directory`: parses them, names the
// analyses after the deck's load cases and combinations, folds the support
// reactions and recovers the element results.
SolveResults ReadRunResults(const CcxDeck& deck, const std::string& directory);

}  // namespace Kestrum::Quilm::Solver::detail
