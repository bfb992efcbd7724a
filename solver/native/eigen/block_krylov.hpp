// Block Krylov iterations with thick restarts for the largest eigenvalues mu
// of an operator Op = F^-1 H that is self-adjoint in the inner product of a
// positive definite G (shift-invert modes: F = K - s M, H = G = M;
// buckling: F = G = K, H = -Kg).
//
// Why blocks: the sparse direct solve is bound by reading the factors, so a
// block of right-hand sides costs little more than one (on the example
// frame, 47 ms for one, 12 ms each for ten). Single-vector Lanczos pays the
// full price per vector; a block method of the same subspace size pays it
// once per block. Rayleigh-Ritz on the G-orthonormal basis S with W = Op S:
// T = (G S)' W, symmetric; the Ritz pairs (mu, S y) have the residual
// W y - mu S y without another solve. Converged Ritz vectors seed the next
// cycle (thick restart), and the next block grows from the unconverged ones.
// Source: Golub & Underwood (1977), the block Lanczos method; Stewart (2001),
// Matrix Algorithms II, ch. 5 (Krylov-Schur restarts, Rayleigh-Ritz).
#pragma once

#include <Eigen/Core>
#include <functional>

namespace Kestrum::Quilm::Solver::Native {

struct BlockKrylovProblem {
  Eigen::Index order = 0;
  // Y = F^-1 X, X and Y n x k (one solve with k right-hand sides).
  std::function<void(const Eigen::MatrixXd& x, Eigen::MatrixXd& y)> solve;
  // Y = H X and Y = G X.
  std::function<void(const Eigen::MatrixXd& x, Eigen::MatrixXd& y)> applyH;
  std::function<void(const Eigen::MatrixXd& x, Eigen::MatrixXd& y)> applyG;
};

struct BlockKrylovResult {
  Eigen::VectorXd values;   // the largest mu, descending
  Eigen::MatrixXd vectors;  // G-orthonormal eigenvectors, one per column
  int cycles = 0;
  int blockSolves = 0;
  // False where the values settled inside a cluster of close eigenvalues
  // before every vector reached the tolerance: the values are accurate
  // (to about 1e-7), each vector is some vector of the cluster's span.
  bool vectorsConverged = true;
  bool valuesSettled = true;  // false only from an estimate
};

// The `count` largest eigenvalues of Op and their vectors, each to a
// residual ||Op x - mu x||_G <= tolerance |mu|, or settled values (see
// vectorsConverged). Throws std::runtime_error when neither happened after
// `maxCycles` restarts.
BlockKrylovResult LargestEigenpairs(const BlockKrylovProblem& problem, int count, double tolerance = 1e-6,
                                    int maxCycles = 30);

// The same iterations stopped after `cycles` cycles, converged or not: the
// Ritz values then estimate the largest eigenvalues from below.
BlockKrylovResult EstimateLargestEigenpairs(const BlockKrylovProblem& problem, int count, int cycles);

}  // namespace Kestrum::Quilm::Solver::Native
