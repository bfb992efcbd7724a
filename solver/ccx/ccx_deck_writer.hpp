// The second pass of the ccx export: writes the deck's text from a solver
// model, one function per card kind (not installed). It makes no choice of
// its own: every line follows from the solver model, so the same model
// always gives the same bytes.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "analysis_model/progress.hpp"
#include "solver/ccx/solver_model.hpp"

namespace Kestrum::Quilm::Solver::detail {

// Writes the whole deck to `out` as it goes, through a small buffer: the
// header with `notes`, the model data, then the steps, each with the loads
// `reload` gives for it (with none, the loads the step holds). Reports the
// step "write deck" to `progress`, one unit per node, element and load.
// Throws ExportError for a number that cannot be written (the reader has
// checked those of the steps); `out` then holds a partial deck. With two
// `threads` or more, nodes and element rows are formatted on two threads,
// `run` records at a time each.
constexpr std::size_t kDefaultRun = std::size_t{1} << 13;
void WriteDeck(std::ostream& out, const SolverModel& model, const std::vector<std::string>& notes,
               const AnalysisModel::ProgressCallback& progress = {}, const StepLoadsSource& reload = {},
               int threads = 1, std::size_t run = kDefaultRun);

}  // namespace Kestrum::Quilm::Solver::detail
