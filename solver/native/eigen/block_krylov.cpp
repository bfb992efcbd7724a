// Thick-restarted block Krylov iterations with Rayleigh-Ritz.
#include "solver/native/eigen/block_krylov.hpp"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <string>

extern "C" void dgemm_(const char* transA, const char* transB, const int* m, const int* n, const int* k,
                       const double* alpha, const double* a, const int* lda, const double* b, const int* ldb,
                       const double* beta, double* c, const int* ldc);

namespace Kestrum::Quilm::Solver::Native {
namespace {

// C = alpha op(A) op(B) + beta C through the BLAS the factorisation uses:
// the basis products are tall (equations x subspace) and the machine's
// tuned, threaded kernel does them several times faster than a generic
// one. C must have its final size.
void Gemm(bool transposeA, bool transposeB, double alpha, const Eigen::MatrixXd& a, const Eigen::MatrixXd& b,
          double beta, Eigen::MatrixXd& c) {
  const int m = static_cast<int>(c.rows()), n = static_cast<int>(c.cols());
  const int k = static_cast<int>(transposeA ? a.rows() : a.cols());
  if (m == 0 || n == 0) return;
  if (k == 0) {
    c *= beta;
    return;
  }
  const int lda = static_cast<int>(std::max<Eigen::Index>(1, a.rows()));
  const int ldb = static_cast<int>(std::max<Eigen::Index>(1, b.rows()));
  dgemm_(transposeA ? "T" : "N", transposeB ? "T" : "N", &m, &n, &k, &alpha, a.data(), &lda, b.data(), &ldb, &beta,
         c.data(), &m);
}

Eigen::MatrixXd Product(bool transposeA, const Eigen::MatrixXd& a, const Eigen::MatrixXd& b) {
  Eigen::MatrixXd c(transposeA ? a.cols() : a.rows(), b.cols());
  Gemm(transposeA, false, 1.0, a, b, 0.0, c);
  return c;
}

// The basis so far: G-orthonormal columns S, their images G S and Op S.
struct Basis {
  Eigen::MatrixXd s, gs, w;
  Eigen::Index Size() const { return s.cols(); }
};

void AppendColumns(Eigen::MatrixXd& to, const Eigen::MatrixXd& columns) {
  const Eigen::Index at = to.cols();
  to.conservativeResize(columns.rows(), at + columns.cols());
  to.rightCols(columns.cols()) = columns;
}

// One pass of SVQB (Stathopoulos & Wu 2002): the block made G-orthogonal to
// the basis, then G-orthonormal within itself through the eigenvectors of
// its Gram matrix, leaving out directions whose G-norm fell below 1e-10 of
// what the block had (they lie in the span already).
void OrthonormalisePass(const BlockKrylovProblem& problem, const Basis& basis, Eigen::MatrixXd& v,
                        Eigen::MatrixXd& gv, double floor) {
  if (basis.Size()) Gemm(false, false, -1.0, basis.s, Product(true, basis.gs, v), 1.0, v);
  problem.applyG(v, gv);
  Eigen::MatrixXd gram = Product(true, v, gv);
  gram = 0.5 * (gram + gram.transpose()).eval();
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> split(gram);
  std::vector<Eigen::Index> kept;
  for (Eigen::Index i = gram.rows() - 1; i >= 0; --i)
    if (split.eigenvalues()(i) > floor) kept.push_back(i);
  Eigen::MatrixXd scale(gram.rows(), static_cast<Eigen::Index>(kept.size()));
  for (std::size_t j = 0; j < kept.size(); ++j)
    scale.col(static_cast<Eigen::Index>(j)) =
        split.eigenvectors().col(kept[j]) / std::sqrt(split.eigenvalues()(kept[j]));
  v = Product(false, v, scale);
  gv = Product(false, gv, scale);
}

// The block `v` made G-orthonormal to the basis and within itself (two
// passes: the second restores orthogonality lost to round-off in the
// first); `gv` receives G times the result.
Eigen::MatrixXd Orthonormalise(const BlockKrylovProblem& problem, const Basis& basis, Eigen::MatrixXd v,
                               Eigen::MatrixXd& gv) {
  problem.applyG(v, gv);
  double largest = 0.0;
  for (Eigen::Index c = 0; c < v.cols(); ++c) largest = std::max(largest, v.col(c).dot(gv.col(c)));
  if (!(largest > 0.0)) return Eigen::MatrixXd(v.rows(), 0);
  OrthonormalisePass(problem, basis, v, gv, 1e-20 * largest);
  if (v.cols()) OrthonormalisePass(problem, basis, v, gv, 0.5);
  return v;
}

// Adds the block V (G-orthonormal, with G V) and its image Op V.
void Extend(const BlockKrylovProblem& problem, Basis& basis, const Eigen::MatrixXd& v, const Eigen::MatrixXd& gv,
            int& solves) {
  Eigen::MatrixXd hv(problem.order, v.cols()), image(problem.order, v.cols());
  problem.applyH(v, hv);
  problem.solve(hv, image);
  ++solves;
  AppendColumns(basis.s, v);
  AppendColumns(basis.gs, gv);
  AppendColumns(basis.w, image);
}

double GNorm(const BlockKrylovProblem& problem, const Eigen::VectorXd& x) {
  Eigen::MatrixXd column = x, g(problem.order, 1);
  problem.applyG(column, g);
  return std::sqrt(std::max(x.dot(g.col(0)), 0.0));
}

}  // namespace

namespace {

BlockKrylovResult Iterate(const BlockKrylovProblem& problem, int count, double tolerance, int maxCycles,
                          bool estimate);

}  // namespace

BlockKrylovResult LargestEigenpairs(const BlockKrylovProblem& problem, int count, double tolerance, int maxCycles) {
  return Iterate(problem, count, tolerance, maxCycles, false);
}

BlockKrylovResult EstimateLargestEigenpairs(const BlockKrylovProblem& problem, int count, int cycles) {
  return Iterate(problem, count, 1e-6, cycles, true);
}

namespace {

BlockKrylovResult Iterate(const BlockKrylovProblem& problem, int count, double tolerance, int maxCycles,
                          bool estimate) {
  const Eigen::Index n = problem.order;
  if (count < 1 || count > n) throw std::invalid_argument("eigenpairs: ask for 1 to " + std::to_string(n));
  // Small blocks and a subspace of six times the modes asked for: on the
  // example frame (20 modes) blocks of 5 in a subspace of 120 converged in
  // one cycle, 3.6 s; blocks of 8, 10 or 20, or subspaces of 60 or 80,
  // needed 2 to 18 cycles and 5 to 10 s.
  const Eigen::Index block = std::min<Eigen::Index>(n, std::clamp((count + 3) / 4, 4, 16));
  const Eigen::Index size = std::min<Eigen::Index>(n, std::max<Eigen::Index>({6 * count, 4 * block, Eigen::Index{40}}));
  BlockKrylovResult result;
  Basis basis;
  // The start: Op applied to a reproducible random block, which leaves out
  // any part G does not see (massless directions of a lumped mass).
  std::mt19937 random(20261208u);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  Eigen::MatrixXd start = Eigen::MatrixXd::NullaryExpr(n, block, [&]() { return uniform(random); });
  Eigen::MatrixXd hv(n, block), next(n, block), gv;
  Eigen::VectorXd previous;
  int settledCycles = 0;
  problem.applyH(start, hv);
  problem.solve(hv, next);
  ++result.blockSolves;
  for (result.cycles = 1;; ++result.cycles) {
    Eigen::MatrixXd v = Orthonormalise(problem, basis, next, gv);
    while (v.cols() > 0 && basis.Size() < size) {
      if (basis.Size() + v.cols() > size) {
        v.conservativeResize(n, size - basis.Size());
        gv.conservativeResize(n, v.cols());
      }
      Extend(problem, basis, v, gv, result.blockSolves);
      if (basis.Size() >= size) break;
      v = Orthonormalise(problem, basis, basis.w.rightCols(v.cols()), gv);
    }
    // Rayleigh-Ritz, largest first.
    Eigen::MatrixXd t = Product(true, basis.gs, basis.w);
    t = 0.5 * (t + t.transpose()).eval();
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> projected(t);
    const Eigen::Index m = basis.Size();
    const Eigen::VectorXd theta = projected.eigenvalues().reverse();
    const Eigen::MatrixXd y = projected.eigenvectors().rowwise().reverse();
    const Eigen::Index keep = std::min<Eigen::Index>(m, count + block);
    const Eigen::MatrixXd kept = y.leftCols(keep);
    const Eigen::MatrixXd ritz = Product(false, basis.s, kept);
    const Eigen::MatrixXd images = Product(false, basis.w, kept);
    const Eigen::MatrixXd residuals = images - ritz * theta.head(keep).asDiagonal();
    std::vector<Eigen::Index> open;
    double moved = 0.0;  // the largest relative change of a wanted value over this cycle
    for (Eigen::Index i = 0; i < keep; ++i) {
      const bool converged = m == n || GNorm(problem, residuals.col(i)) <= tolerance * std::abs(theta(i));
      if (!converged) open.push_back(i);
      if (i < count)
        moved = std::max(moved, i < previous.size() ? std::abs(theta(i) - previous(i)) / std::abs(theta(i)) : 1.0);
    }
    previous = theta.head(keep);
    // Inside a tight cluster of eigenvalues (many equal members buckling
    // alike) single vectors converge slowly while the values settle fast:
    // values that moved less than 1e-7 over two cycles are taken, marked
    // as such.
    settledCycles = moved <= 1e-7 ? settledCycles + 1 : 0;
    const bool done = open.empty() || open.front() >= count;
    if (done || settledCycles >= 2 || result.cycles >= maxCycles) {
      if (!done && settledCycles < 2 && !estimate)
        throw std::runtime_error("the eigenvalue iterations did not converge in " + std::to_string(maxCycles) +
                                 " cycles");
      result.vectorsConverged = done;
      result.valuesSettled = done || settledCycles >= 2;
      result.values = theta.head(count);
      result.vectors = ritz.leftCols(count);
      return result;
    }
    // Thick restart: the kept Ritz vectors (exact images known), then grow
    // from the residuals of the unconverged ones.
    basis.gs = Product(false, basis.gs, kept);
    basis.w = images;
    basis.s = ritz;
    next.resize(n, std::min<Eigen::Index>(block, static_cast<Eigen::Index>(open.size())));
    for (Eigen::Index j = 0; j < next.cols(); ++j) next.col(j) = residuals.col(open[static_cast<std::size_t>(j)]);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
