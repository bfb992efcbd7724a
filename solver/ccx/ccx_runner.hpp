// Running the ccx solver on a written deck and reading its results.
#pragma once

#include <optional>
#include <string>

#include "solver/ccx/ccx_export.hpp"
#include "solver/ccx/ccx_results.hpp"

namespace Kestrum::Quilm::Solver {

struct RunOptions {
  // The solver program: a path, or a name looked up in PATH.
  std::string executable = "ccx";
  // OMP_NUM_THREADS and CCX_NPROC_EQUATION_SOLVER for the solver (it
  // otherwise takes every core); kAutoThreads chooses by the deck's size:
  // one thread for a small deck, where starting threads costs more than it
  // saves, every core for a larger one.
  static constexpr int kAutoThreads = 0;
  int threads = 1;
  // Above 0: the solver's address space is capped at this many MiB, so a
  // model too large for the machine fails with the solver's out-of-memory
  // message instead of pushing everything else out of memory.
  long memoryLimitMiB = 0;
  // Where to run: empty makes (and afterwards removes) a fresh directory
  // under TMPDIR or /tmp; a given directory is used and kept.
  std::string workDirectory;
  // Receives the run's progress (analysis_model/progress.hpp): the step
  // "solve" counts the solver's steps as its output announces them (checked
  // a few times a second), then "read results" is one unit. Empty: none.
  AnalysisModel::ProgressCallback progress;
};

// The full path of `executable` (a path with a slash is taken as it is),
// or nullopt when it is not an executable file.
std::optional<std::string> FindSolver(const std::string& executable = "ccx");

// Writes `deck` as job.inp, runs the solver on it and reads the results.
// Success needs exit code 0, "Job finished" in the solver's output and no
// "*ERROR" in it (the solver exits 0 after errors it only reports). Throws
// SolverError with the solver's messages otherwise, and for a deck with no
// step. With element results (ExportOptions::elementResults) the rotations,
// section forces, reaction moments and shell stresses are recovered from
// the solver's .dat and .frd files; combinations solved directly come back
// in SolveResults::combinations, after the load cases' steps.
SolveResults RunSolver(const CcxDeck& deck, const RunOptions& options = {});

// The same for a deck already written to `deckFile` (its text left out of
// `deck`): the file is linked, or else copied, into the work directory.
SolveResults RunSolver(const CcxDeck& deck, const std::string& deckFile, const RunOptions& options = {});

// Turns the parsed nodal forces of `deck`'s solve into support reactions:
// the forces of each support's springs, gathered at the supported node;
// reactions of supported generated mid-side nodes go half to each end of
// their edge. The springs' ends are dropped from the displacements.
// RunSolver calls it; call it after ParseCcxDat otherwise.
void FoldSupportReactions(const CcxDeck& deck, SolveResults& results);

}  // namespace Kestrum::Quilm::Solver
