// Shift-invert and reciprocal block Krylov iterations on MUMPS, and the
// inertia count.
#include "solver/native/eigen/eigen_problems.hpp"


#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <memory>
#include <string>

#include "solver/native/eigen/block_krylov.hpp"
#include "solver/native/linear/mumps_factorisation.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

void CheckSamePattern(const SymmetricSparseMatrix& a, const SymmetricSparseMatrix& b) {
  if (a.RowStart() != b.RowStart() || a.Columns() != b.Columns())
    throw std::invalid_argument("eigenproblem: the two matrices do not share one pattern");
}

EigenPairs Ascending(const Eigen::VectorXd& values, const Eigen::MatrixXd& vectors) {
  std::vector<Eigen::Index> order(static_cast<std::size_t>(values.size()));
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](Eigen::Index a, Eigen::Index b) { return values(a) < values(b); });
  EigenPairs pairs;
  pairs.vectors.resize(vectors.rows(), values.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    pairs.values.push_back(values(order[i]));
    pairs.vectors.col(static_cast<Eigen::Index>(i)) = vectors.col(order[i]);
  }
  return pairs;
}

}  // namespace

FactorisationOptions ShiftedFactorisationOptions(const NativeMemoryOptions& memory) {
  FactorisationOptions options;
  options.kind = MatrixKind::Indefinite;  // a shifted matrix: negative pivots are counted, not refused
  options.ordering = Ordering::Amd;       // the static solve's ordering: reproducible results
  options.memory = memory;
  return options;
}

SymmetricSparseMatrix AddScaled(const SymmetricSparseMatrix& a, double factor, const SymmetricSparseMatrix& b) {
  CheckSamePattern(a, b);
  std::vector<double> values = a.Values();
  for (std::size_t i = 0; i < values.size(); ++i) values[i] += factor * b.Values()[i];
  return SymmetricSparseMatrix(a.RowStart(), a.Columns(), std::move(values));
}

namespace {

// Y = A X column by column for a matrix kept as its upper triangle.
void MultiplyColumns(const SymmetricSparseMatrix& a, double sign, const Eigen::MatrixXd& x, Eigen::MatrixXd& y) {
  y.resize(x.rows(), x.cols());
  if (x.cols() == 0) return;
  a.Multiply(x.data(), y.data(), static_cast<int>(x.cols()));
  if (sign != 1.0) y *= sign;
}

// lambda = shift + 1/nu for the positive nu (nu = 1/lambda without a
// shift), ascending.
EigenPairs PositiveFactors(const BlockKrylovResult& found, double shift, int count) {
  std::vector<Eigen::Index> positive;
  for (Eigen::Index i = 0; i < found.values.size() && static_cast<int>(positive.size()) < count; ++i)
    if (found.values(i) > 0.0) positive.push_back(i);
  Eigen::VectorXd lambda(static_cast<Eigen::Index>(positive.size()));
  Eigen::MatrixXd shapes(found.vectors.rows(), lambda.size());
  for (std::size_t i = 0; i < positive.size(); ++i) {
    lambda(static_cast<Eigen::Index>(i)) = shift + 1.0 / found.values(positive[i]);
    shapes.col(static_cast<Eigen::Index>(i)) = found.vectors.col(positive[i]);
  }
  EigenPairs pairs = Ascending(lambda, shapes);
  pairs.vectorsConverged = found.vectorsConverged;
  return pairs;
}

// Y = F^-1 X with one block solve.
void SolveColumns(Factorisation& f, const Eigen::MatrixXd& x, Eigen::MatrixXd& y) {
  y = x;
  f.Solve(y.data(), static_cast<int>(y.cols()));
}

}  // namespace

EigenPairs LowestModes(Factorisation& shifted, const SymmetricSparseMatrix& m, double shift, int count) {
  const Eigen::Index n = m.Order();
  if (count < 1 || count > n) throw std::invalid_argument("modes: ask for 1 to " + std::to_string(n) + " modes");
  BlockKrylovProblem problem;
  problem.order = n;
  problem.solve = [&shifted](const Eigen::MatrixXd& x, Eigen::MatrixXd& y) { SolveColumns(shifted, x, y); };
  problem.applyH = [&m](const Eigen::MatrixXd& x, Eigen::MatrixXd& y) { MultiplyColumns(m, 1.0, x, y); };
  problem.applyG = problem.applyH;
  BlockKrylovResult found;
  try {
    found = LargestEigenpairs(problem, count);
  } catch (const std::runtime_error& e) {
    throw LinearSolverError(e.what());
  }
  // mu = 1 / (lambda - shift): the largest mu are the lowest lambda.
  Eigen::VectorXd lambda(found.values.size());
  for (Eigen::Index i = 0; i < lambda.size(); ++i) lambda(i) = shift + 1.0 / found.values(i);
  EigenPairs pairs = Ascending(lambda, found.vectors);
  pairs.vectorsConverged = found.vectorsConverged;
  return pairs;
}

EigenPairs LowestBucklingFactors(const SymmetricSparseMatrix& k, Factorisation& factorisedK,
                                 const SymmetricSparseMatrix& kg, int count, const NativeMemoryOptions& memory) {
  CheckSamePattern(k, kg);
  const Eigen::Index n = k.Order();
  if (count < 1 || count > n)
    throw std::invalid_argument("buckling: ask for 1 to " + std::to_string(n) + " load factors");
  // First the reciprocal problem -Kg x = mu K x on K's factorisation: its
  // largest mu = 1/lambda. Often that converges at once; where many equal
  // members buckle alike the factors form a tight cluster it cannot
  // resolve, and one cycle gives an estimate of the lowest instead.
  BlockKrylovProblem reciprocal;
  reciprocal.order = n;
  reciprocal.solve = [&factorisedK](const Eigen::MatrixXd& x, Eigen::MatrixXd& y) { SolveColumns(factorisedK, x, y); };
  reciprocal.applyH = [&kg](const Eigen::MatrixXd& x, Eigen::MatrixXd& y) { MultiplyColumns(kg, -1.0, x, y); };
  reciprocal.applyG = [&k](const Eigen::MatrixXd& x, Eigen::MatrixXd& y) { MultiplyColumns(k, 1.0, x, y); };
  const BlockKrylovResult estimate = EstimateLargestEigenpairs(reciprocal, count, 1);
  if (!(estimate.values(0) > 0.0)) return {};  // no positive factor: nothing compresses
  if (estimate.valuesSettled && estimate.vectorsConverged) return PositiveFactors(estimate, 0.0, count);
  // Shift-invert just below the lowest factor: K + s Kg is positive
  // definite for s below it (its inertia says so), and the cluster, seen
  // from s, spreads apart: nu = 1/(lambda - s). A shift 1 % below the
  // estimate spread the example frame's cluster (0.06 % wide) enough to
  // converge in one cycle; 5 % below needed six.
  double shift = 0.99 / estimate.values(0);  // the estimate lies above the lowest factor
  std::unique_ptr<MumpsFactorisation> shifted;
  SymmetricSparseMatrix ks;
  for (int attempt = 0;; ++attempt) {
    ks = AddScaled(k, shift, kg);
    shifted = std::make_unique<MumpsFactorisation>(ShiftedFactorisationOptions(memory));
    shifted->Factorise(ks);
    if (shifted->NegativePivots() == 0 && shifted->NullPivots().empty()) break;
    if (attempt == 8) throw LinearSolverError("buckling: no shift below the lowest load factor was found");
    shift *= 0.97;
  }
  BlockKrylovProblem inverted;
  inverted.order = n;
  inverted.solve = [&shifted](const Eigen::MatrixXd& x, Eigen::MatrixXd& y) { SolveColumns(*shifted, x, y); };
  inverted.applyH = reciprocal.applyH;
  inverted.applyG = [&ks](const Eigen::MatrixXd& x, Eigen::MatrixXd& y) { MultiplyColumns(ks, 1.0, x, y); };
  BlockKrylovResult found;
  try {
    found = LargestEigenpairs(inverted, count);
  } catch (const std::runtime_error& e) {
    throw LinearSolverError(e.what());
  }
  return PositiveFactors(found, shift, count);
}

std::int64_t EigenvaluesBelow(const SymmetricSparseMatrix& k, const SymmetricSparseMatrix& b, double s,
                              const NativeMemoryOptions& memory) {
  FactorisationOptions options = ShiftedFactorisationOptions(memory);
  options.detectNullPivots = false;
  MumpsFactorisation factorisation(options);
  factorisation.Factorise(AddScaled(k, -s, b));
  return factorisation.NegativePivots();
}

}  // namespace Kestrum::Quilm::Solver::Native
