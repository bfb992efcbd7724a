// The sparse direct solver's error codes (INFO(1), INFO(2)) turned into the
// exceptions of the linear back end, with a message a user can act on.
// Internal to the MUMPS factorisation.
#pragma once

#include <string>

namespace Kestrum::Quilm::Solver::Native::Mumps {

// A plain explanation of error `info1` (< 0) with its detail `info2`, as
// raised during `phase` ("analysis", "factorisation", "solve").
std::string DescribeError(int info1, int info2, const std::string& phase);

// Throws the error above: SingularMatrixError for a singular matrix (with no
// equations: the solver did not list them), LinearSolverError otherwise.
[[noreturn]] void ThrowError(int info1, int info2, const std::string& phase);

// Whether factorisation error `info1` is a work area found too small, which
// a retry with a larger relaxation of the estimate (ICNTL(14)) may cure.
bool IsWorkAreaTooSmall(int info1);

}  // namespace Kestrum::Quilm::Solver::Native::Mumps
