// The lowest eigenpairs of the structural eigenproblems on the sparse direct
// factorisation, by block Krylov iterations (block_krylov.hpp) on MUMPS:
//  * modes, K x = lambda M x: shift-invert about a shift below the lowest
//    eigenvalue (0, or negative where K is singular: free structures);
//  * buckling, K x = -mu^-1 Kg x with K positive definite: the reciprocal
//    problem -Kg x = mu K x, whose largest mu are the lowest positive load
//    factors 1/mu, with K factorised once.
// And the inertia count that proves none was missed: the number of negative
// pivots of K - s B is the number of eigenvalues below s.
#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <vector>

#include "solver/native/linear/factorisation.hpp"
#include "solver/native/linear/sparse_matrix.hpp"

namespace Kestrum::Quilm::Solver::Native {

struct EigenPairs {
  std::vector<double> values;  // ascending
  Eigen::MatrixXd vectors;     // one column per value, B-normalised (M for modes, K for buckling)
  // False where the values lie in a tight cluster and each vector is only
  // some vector of the cluster's span (the values are accurate).
  bool vectorsConverged = true;
};

// The lowest `count` eigenpairs of K x = lambda M x, shift-inverted about
// `shift`: `shifted` is the factorisation of K - shift M (non-singular).
// Throws LinearSolverError when the iterations do not converge.
EigenPairs LowestModes(Factorisation& shifted, const SymmetricSparseMatrix& m, double shift, int count);

// The lowest `count` positive lambda of (K + lambda Kg) x = 0 with K
// positive definite (`factorisedK` its factorisation), and their shapes;
// fewer when fewer are positive (none: nothing compresses). Where the
// factors cluster (many equal members), shift-inverted just below the
// lowest. K and Kg share one pattern.
EigenPairs LowestBucklingFactors(const SymmetricSparseMatrix& k, Factorisation& factorisedK,
                                 const SymmetricSparseMatrix& kg, int count, const NativeMemoryOptions& memory = {});

// How a shifted matrix is factorised: pivoting, negative pivots counted;
// in memory or out of core as `memory` says.
FactorisationOptions ShiftedFactorisationOptions(const NativeMemoryOptions& memory = {});

// The number of eigenvalues of K x = lambda B x below `s`: the negative
// pivots of K - s B (K + s Kg for buckling: pass B = -Kg).
std::int64_t EigenvaluesBelow(const SymmetricSparseMatrix& k, const SymmetricSparseMatrix& b, double s,
                              const NativeMemoryOptions& memory = {});

// a + factor b for two matrices of one pattern.
SymmetricSparseMatrix AddScaled(const SymmetricSparseMatrix& a, double factor, const SymmetricSparseMatrix& b);

}  // namespace Kestrum::Quilm::Solver::Native
