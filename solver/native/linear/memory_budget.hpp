// The choice between an in-memory and an out-of-core factorisation, made
// from the analysis's estimates against the memory allowed, and the
// measure of the memory available. Internal to the linear back end.
#pragma once

#include <cstdint>

#include "solver/native/linear/factorisation.hpp"

namespace Kestrum::Quilm::Solver::Native {

// The memory available now, in MB: MemAvailable of /proc/meminfo (else
// the free physical pages), within the control group's own limit where it
// has one. The in-memory factorisation is weighed against it.
std::int64_t AvailableMegabytes();

// The memory the factorisation may take, in MB: the limit set in
// `options` or what is available (`available`), whichever is lower.
// `limitSet` tells whether the limit set was the lower.
std::int64_t MemoryLimit(const NativeMemoryOptions& options, std::int64_t available, bool& limitSet);

// Whether to factorise out of core, given the estimates (MB, this
// process), `options.storage` and the memory `limit` (`limitSet`: it is a
// limit given, not what is available). Throws InsufficientMemoryError with
// the figures when the storage allowed does not fit.
bool ChooseOutOfCore(std::int64_t inCoreMegabytes, std::int64_t outOfCoreMegabytes, FactorStorage storage,
                     std::int64_t limit, bool limitSet);

// The folder out-of-core factors go in: the one in `options`, else
// $TMPDIR, else /tmp.
std::string OutOfCoreParent(const NativeMemoryOptions& options);

}  // namespace Kestrum::Quilm::Solver::Native
