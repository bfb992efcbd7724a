// Error codes of the sparse direct solver, explained. Sizes come as counts
// of entries (8 bytes each, or 4 for integer arrays), or, when negative, as
// millions of entries.
#include "solver/native/linear/mumps_errors.hpp"

#include <cstdint>

#include "solver/native/linear/factorisation.hpp"

namespace Kestrum::Quilm::Solver::Native::Mumps {
namespace {

// A size given as entries (or -millions of entries) of `bytes` each, in MB.
std::string Megabytes(int entries, int bytes) {
  const double count = entries < 0 ? -1e6 * entries : static_cast<double>(entries);
  const auto megabytes = static_cast<std::int64_t>(count * bytes / 1048576.0 + 0.5);
  return megabytes > 0 ? std::to_string(megabytes) + " MB" : "less than 1 MB";
}

// What error `info1` means, with its detail `info2`.
std::string Explain(int info1, int info2) {
  switch (info1) {
    case -5:
    case -7:
      return "not enough memory to analyse the matrix (an allocation of " +
             Megabytes(info2, info1 == -5 ? 8 : 4) + " failed)";
    case -8:
    case -14:
    case -15:
      return "not enough memory: the solver's integer work area fell short by " + Megabytes(info2, 4);
    case -9:
    case -11:
    case -12:
      return "not enough memory: the solver's main work area fell short by " + Megabytes(info2, 8);
    case -13:
      return "out of memory: an allocation of " + Megabytes(info2, 8) + " failed";
    case -19:
      return "out of memory: the limit set for the solver is too low for this model";
    case -6:
      return "the matrix is structurally singular (rank " + std::to_string(info2) + ")";
    case -10:
      return "the matrix is numerically singular (" + std::to_string(info2) +
             " equations could be eliminated): the structure is a mechanism";
    case -90:
      return "out of core: the factor files could not be written or read (is the disk full?)";
    case -40:
      return "the matrix was taken as positive definite but is not";
    case -16:
      return "the number of equations (" + std::to_string(info2) + ") is out of range";
    case -2:
      return "the number of matrix entries is out of range";
    default:
      return "error " + std::to_string(info1) + " (detail " + std::to_string(info2) + ")";
  }
}

}  // namespace

bool IsWorkAreaTooSmall(int info1) { return info1 == -8 || info1 == -9; }

std::string DescribeError(int info1, int info2, const std::string& phase) {
  return "sparse solver, " + phase + ": " + Explain(info1, info2);
}

void ThrowError(int info1, int info2, const std::string& phase) {
  const std::string message = DescribeError(info1, info2, phase);
  if (info1 == -6 || info1 == -10) throw SingularMatrixError(message, {});
  throw LinearSolverError(message);
}

}  // namespace Kestrum::Quilm::Solver::Native::Mumps
