// The factorisation on MUMPS, sequential build: a symmetric LDL^T of the
// assembled upper triangle, general symmetric (with pivoting: stiffness and
// indefinite matrices) or positive definite (without), null pivot detection
// on, so that a mechanism is reported by its equations rather than solved.
// The solver's own output is silenced; its errors become LinearSolverError.
// The factors stay in memory or go out of core to a folder of the
// instance's own, as the memory options and the analysis's estimates say.
#pragma once

#include <memory>

#include "solver/native/linear/factorisation.hpp"

namespace Kestrum::Quilm::Solver::Native {

class MumpsFactorisation final : public Factorisation {
 public:
  // Starts a solver instance with `options` (fixed for its life). Throws
  // LinearSolverError if the instance cannot start.
  explicit MumpsFactorisation(const FactorisationOptions& options = {});
  // Ends the instance and frees its factors.
  ~MumpsFactorisation() override;

  // Movable (a moved-from factorisation may only be destroyed or assigned
  // to); not copyable: the instance owns the factors.
  MumpsFactorisation(MumpsFactorisation&&) noexcept;
  MumpsFactorisation& operator=(MumpsFactorisation&&) noexcept;
  MumpsFactorisation(const MumpsFactorisation&) = delete;
  MumpsFactorisation& operator=(const MumpsFactorisation&) = delete;

  void Analyse(const SymmetricSparseMatrix& matrix) override;
  void Factorise(const SymmetricSparseMatrix& matrix) override;
  SolveReport Solve(double* block, int columns, const SolveOptions& options = {}) override;

  AnalysisEstimate Estimate() const override;
  FactorStorageReport Storage() const override;
  std::int64_t NegativePivots() const override;
  const std::vector<Equation>& NullPivots() const override;

 private:
  struct Instance;
  std::unique_ptr<Instance> instance_;
};

}  // namespace Kestrum::Quilm::Solver::Native
