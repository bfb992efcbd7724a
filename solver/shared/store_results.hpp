// Storing a solve's results in the analysis model it was exported from.
#pragma once

#include <cstdint>

#include "analysis_model/xaf_model.hpp"
#include "solver/shared/solved_model.hpp"
#include "solver/shared/solve_results.hpp"

namespace Kestrum::Quilm::Solver {

// Stores every analysis of `results` in `model` (XafModel::Results), each
// stamped with `fingerprint`, the model's fingerprint taken when the solver
// read the model: load cases by their id, combinations by their place from 1
// (static steps first, then those superposed), modes and buckling shapes by
// their number with their frequency or load factor (a frequency without a
// printed shape is stored with no values). An analysis stored before under
// the same kind and number is replaced; others are kept.
//
// What is stored: translations and rotations of model nodes (a missing
// component NaN), reactions at `solved`'s supported nodes (moments NaN where
// the solver gave none), beam section forces and shell stresses and forces
// of model elements. The solver's own nodes and model nodes it left out
// (eccentric beam ends, printed at their beam axis point instead) are not
// stored: the axis point's motion is not the node's. The model is flushed by
// the caller. Each analysis records `solved.solver` as the solver that
// produced it.
void StoreSolveResults(AnalysisModel::XafModel& model, const SolveResults& results, const SolvedModel& solved,
                       std::uint64_t fingerprint);

}  // namespace Kestrum::Quilm::Solver
