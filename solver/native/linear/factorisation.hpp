// The linear back end's interface: a factorisation of a symmetric sparse
// matrix, analysed and factorised once, then solved for as many blocks of
// right-hand sides as the load cases need. It also says what the analysis
// expects to need in memory, how many pivots were negative (for a
// Sturm-sequence count) and which equations had a null pivot: a structure
// that is a mechanism gets those equations back, never a solution.
#pragma once

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "solver/native/linear/sparse_matrix.hpp"
#include "solver/native/native_memory.hpp"

namespace Kestrum::Quilm::Solver::Native {

// A failure of the linear solver, with a message fit to show to the user.
class LinearSolverError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The matrix is singular: the structure is a mechanism, or an equation has
// no stiffness at all. Carries the equations found with a null pivot (empty
// when the solver could not say which), for messages such as "node 123 can
// move along Z".
class SingularMatrixError : public LinearSolverError {
 public:
  SingularMatrixError(const std::string& message, std::vector<Equation> nullPivots)
      : LinearSolverError(message), nullPivots_(std::move(nullPivots)) {}
  const std::vector<Equation>& NullPivots() const noexcept { return nullPivots_; }

 private:
  std::vector<Equation> nullPivots_;
};

// The factorisation does not fit the memory allowed, found from the
// analysis's estimates before any factorising; carries the figures.
class InsufficientMemoryError : public LinearSolverError {
 public:
  InsufficientMemoryError(const std::string& message, const MemoryFigures& figures)
      : LinearSolverError(message), figures_(figures) {}
  const MemoryFigures& Figures() const noexcept { return figures_; }

 private:
  MemoryFigures figures_;
};

// The fill-reducing ordering the analysis uses.
enum class Ordering { Automatic, Metis, Scotch, Pord, Amd, Other };

// What the matrix is known to be, which decides how it is factorised.
enum class MatrixKind {
  // A stiffness matrix, positive definite unless the structure is a
  // mechanism: factorised with pivoting, which is what lets the solver find
  // null pivots. A negative pivot is refused as well: it is a null pivot
  // that round-off pushed below zero (or a negative stiffness).
  Stiffness,
  // Any symmetric matrix, such as a shifted one whose inertia is counted:
  // factorised with pivoting; negative pivots are counted, not refused.
  Indefinite,
  // A matrix known to be positive definite: factorised without pivoting,
  // about 15 % faster. Without pivoting the solver cannot detect null
  // pivots; a negative pivot is still refused, but a null pivot that
  // round-off left positive is not seen. Only for matrices known regular.
  PositiveDefinite,
};

struct FactorisationOptions {
  MatrixKind kind = MatrixKind::Stiffness;
  // Automatic lets the solver choose among the orderings it was built with
  // (this build has no METIS; it chooses SCOTCH for large matrices, whose
  // orderings, and so the last digits of the results, vary from run to
  // run). Asking for one it lacks falls back to its own choice; the
  // ordering used is in AnalysisEstimate::ordering. PORD orders the same
  // way on every run and gave 13-25 % fewer factor entries on 3D grids and
  // frames, but ends the process on a matrix without off-diagonal entries.
  Ordering ordering = Ordering::Automatic;
  // A pivot counts as null when the largest entry of its row, as it comes to
  // be eliminated, is below this fraction of the largest entry of the
  // scaled matrix. A mechanism's pivot is round-off, about machine epsilon
  // times the condition number; a real structure's smallest is about one
  // over it: the two cross near the square root of epsilon. Measured on
  // free 3D frames (mixed units, six rigid modes): all six are found at
  // 1e-8 up to 144k equations, only some at 1e-9 (the rigid rotations of a
  // large structure carry the most round-off); their supported twins show
  // no null pivot even at 1e-6. A null pivot the threshold misses comes out
  // of either sign: a Stiffness matrix refuses the negative ones too.
  double nullPivotThreshold = 1e-8;
  // Off for counting the inertia of a shifted matrix: an eigenvalue just
  // below the shift gives a pivot small enough to pass for a null one, and
  // must be counted as negative.
  bool detectNullPivots = true;
  // In memory or out of core, and the memory allowed (see native_memory.hpp).
  NativeMemoryOptions memory;
};

// What the analysis expects the factorisation to need.
struct AnalysisEstimate {
  // The solver's estimate of its memory for an in-core factorisation: the
  // largest need of one process and the total over all (the same when it
  // runs sequentially), in MB. Excludes the matrix and its index copy.
  std::int64_t peakMegabytes = 0;
  std::int64_t totalMegabytes = 0;
  // The same out of core: what stays in memory while the factors go to
  // disk.
  std::int64_t outOfCorePeakMegabytes = 0;
  std::int64_t outOfCoreTotalMegabytes = 0;
  // Values the factors are expected to hold.
  std::int64_t factorEntries = 0;
  Ordering ordering = Ordering::Automatic;  // the ordering used
};

// Where the last factorisation kept its factors.
struct FactorStorageReport {
  bool outOfCore = false;
  // The factor files' size (this process), read when the factorisation ended.
  std::int64_t diskMegabytes = 0;
  // The memory the choice was made against (MB, this process).
  std::int64_t limitMegabytes = 0;
};

struct SolveOptions {
  // One step of iterative refinement, with the backward error it reaches.
  // Reads the matrix again, and costs about a product and a solve more.
  bool refine = false;
};

struct SolveReport {
  // With refinement, the largest normwise-and-componentwise backward error
  // over the right-hand sides (omega1 + omega2: near 1e-16 for a solution
  // as good as the data); NaN without.
  double backwardError = std::numeric_limits<double>::quiet_NaN();
};

class Factorisation {
 public:
  virtual ~Factorisation() = default;

  // Analyses the pattern of `matrix` (ordering, symbolic factorisation) and
  // makes the memory estimate. Its values may be read too (scaling, pivot
  // order for the general symmetric case). Throws std::invalid_argument for
  // a matrix of no equations, LinearSolverError on a failure of the solver.
  virtual void Analyse(const SymmetricSparseMatrix& matrix) = 0;

  // Factorises `matrix`, which must have the pattern analysed (checked:
  // std::invalid_argument); analyses first when nothing was. The solver
  // keeps a pointer to its values: `matrix` must stay alive and unchanged
  // while solves with refinement are asked for. Null pivots (and negative
  // ones, but for an Indefinite matrix) do not throw: they are in
  // NullPivots() and NegativePivots(), and Solve refuses to run. Before
  // factorising, chooses in memory or out of core from the estimate and
  // the options' memory (Storage() says which). Throws
  // InsufficientMemoryError, before factorising, when the estimate does not
  // fit; LinearSolverError (SingularMatrixError for a matrix found singular
  // other than by the null pivot detection).
  virtual void Factorise(const SymmetricSparseMatrix& matrix) = 0;

  // Solves A X = B for `columns` right-hand sides at once: `block` holds B
  // column-major, Order() rows each, and gets X in its place. Throws
  // SingularMatrixError when the factorisation found null pivots (or
  // negative ones, but for an Indefinite matrix), leaving `block` as it was;
  // std::logic_error before any factorisation; LinearSolverError on a
  // failure of the solver.
  virtual SolveReport Solve(double* block, int columns, const SolveOptions& options = {}) = 0;

  // The estimate of the last analysis.
  virtual AnalysisEstimate Estimate() const = 0;
  // Where the last factorisation kept its factors.
  virtual FactorStorageReport Storage() const = 0;
  // Negative pivots of the last factorisation: the count of negative
  // eigenvalues of the matrix (Sylvester's law of inertia).
  virtual std::int64_t NegativePivots() const = 0;
  // Equations (0-based, rising) whose pivot was null in the last
  // factorisation; empty for a regular matrix.
  virtual const std::vector<Equation>& NullPivots() const = 0;
};

}  // namespace Kestrum::Quilm::Solver::Native
