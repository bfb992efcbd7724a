// Where the native solver's factorisation keeps its factors and how much
// memory it may take: in memory, or out of core (the factors written to a
// folder on disk as they are formed, and read back at each solve), chosen
// before the factorisation starts from the analysis's estimates, so that a
// solve that cannot fit is refused with figures rather than killed by the
// operating system half-way. Shared by the static, modal and buckling
// solves; every figure is per process.
#pragma once

#include <cstdint>
#include <string>

#include "solver/shared/solve_results.hpp"

namespace Kestrum::Quilm::Solver {

enum class FactorStorage {
  // In memory when the in-core estimate fits the limit, else out of core
  // when that estimate fits, else refused.
  Automatic,
  // In memory, refused when the estimate does not fit.
  InCore,
  // Out of core whatever the estimate, refused when even that does not fit.
  OutOfCore,
};

struct NativeMemoryOptions {
  FactorStorage storage = FactorStorage::Automatic;
  // The folder the factors go to out of core; each factorisation writes in
  // a folder of its own made inside it and removed when it ends (after an
  // error too). Empty: $TMPDIR, else /tmp. Give a folder on a local disk.
  std::string outOfCoreFolder;
  // The memory the factorisation may take, in MB; 0: the memory available
  // when it starts (MemAvailable, within the control group's limit).
  std::int64_t limitMegabytes = 0;
};

// The figures of a refusal, in MB (per process).
struct MemoryFigures {
  std::int64_t inCoreMegabytes = 0;     // the estimate in memory
  std::int64_t outOfCoreMegabytes = 0;  // the estimate out of core
  std::int64_t limitMegabytes = 0;      // what was available, or the limit set
  bool limitSet = false;                // the limit was given, not measured
};

// A solve refused before its factorisation started: the estimate does not
// fit the memory allowed. The message gives the figures and what would
// serve (out of core, more processes).
class NativeMemoryError : public SolverError {
 public:
  NativeMemoryError(const std::string& message, const MemoryFigures& figures)
      : SolverError(message), figures_(figures) {}
  const MemoryFigures& Figures() const noexcept { return figures_; }

 private:
  MemoryFigures figures_;
};

}  // namespace Kestrum::Quilm::Solver
