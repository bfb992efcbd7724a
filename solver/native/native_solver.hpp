// The native structural solver: analyses the analysis model's own elements
// (beams, shells, supports, point masses) with a sparse direct
// factorisation and returns the results types both solvers share, so that
// storing, summaries, combinations and envelopes work unchanged.
//
// What it does, in order: reads the model (only read), forms every
// element's stiffness in global node dofs, numbers the equations (a held
// direction of a support is no equation; a direction no element stiffens
// and nothing loads is left out), assembles once in compressed form,
// factorises once and solves every load case as one block of right-hand
// sides; combinations are superposed from their load cases' results.
//
// Conventions beyond the shared results types:
//  * supports: a fixity factor of 1 holds the direction, 0 leaves it free;
//    a factor f between is a spring to ground of f/(1-f) times the
//    structure's own stiffness in that direction (the assembled diagonal),
//    so the support takes the share f of a load applied there while the
//    rest of the node is held;
//  * element end hinges: see BeamEndFixity (beam_element.hpp);
//  * node accelerations act through the inertia forces of the consistent
//    mass (elements and point masses): f = -M a;
//  * warping torsion is ignored (St Venant torsion only); shells are flat
//    elements, a warped quadrilateral on its mean plane joined to its
//    corners by rigid links.
// A structure that can move freely is refused ("node 123 can move along Z:
// nothing holds it"), never reported as results.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis_model/progress.hpp"
#include "analysis_model/xaf_model.hpp"
#include "solver/native/native_memory.hpp"
#include "solver/shared/load_combination.hpp"
#include "solver/shared/solve_results.hpp"
#include "solver/shared/solved_model.hpp"

namespace Kestrum::Quilm::Solver {

struct NativeOptions {
  // The load cases to solve, in this order; empty: every load case of the
  // model, ascending.
  std::vector<long> loadCases;
  // Combinations, superposed from their load cases (which need not be
  // among `loadCases`); in SolveResults::combinations, in this order.
  std::vector<LoadCombination> combinations;
  // Stations along each beam element at which section forces are
  // reported, ends included (StepResults::beamStations); 0 for none, else
  // at least 2.
  int beamStations = 5;
  // In memory or out of core, and the memory the factorisation may take.
  NativeMemoryOptions memory;
  // Receives the progress: the steps "assemble", "factorise", "solve" and
  // "recover". Empty: none.
  AnalysisModel::ProgressCallback progress;
};

// Figures of a native solve, for reports and benchmarks.
struct NativeStatistics {
  std::int64_t equations = 0;
  std::int64_t matrixEntries = 0;   // stored upper triangle
  std::int64_t factorEntries = 0;   // the factorisation's estimate
  std::int64_t factorMegabytes = 0; // the factorisation's memory estimate in memory
  std::int64_t outOfCoreMegabytes = 0;  // its memory estimate out of core
  std::int64_t memoryLimitMegabytes = 0;  // the memory it was weighed against
  bool outOfCore = false;           // the factors went to disk
  std::int64_t diskMegabytes = 0;   // the factor files' size, out of core
  double readSeconds = 0.0, assembleSeconds = 0.0, factoriseSeconds = 0.0, solveSeconds = 0.0,
         recoverSeconds = 0.0;
};

struct NativeSolve {
  SolveResults results;
  // Supported nodes and each static step's applied force, for storing and
  // summaries; every node the native solver names is a model node.
  SolvedModel solved;
  // The model's fingerprint when it was read: store the results with it.
  std::uint64_t fingerprint = 0;
  // Approximations made and records left out, one sentence each.
  std::vector<std::string> notes;
  NativeStatistics statistics;
};

// Solves `model` (only read). Throws SolverError (its subclasses included)
// naming what cannot be analysed: records the solver cannot take, a
// structure free to move, an unknown load case; NativeMemoryError, before
// factorising, for a factorisation that does not fit the memory allowed.
NativeSolve SolveNative(AnalysisModel::XafModel& model, const NativeOptions& options = {});

}  // namespace Kestrum::Quilm::Solver
