// Participation factors and effective masses from M applied to the
// rigid-body influence vectors.
#include "solver/native/dynamics/modal_participation.hpp"

#include <stdexcept>
#include <string>

namespace Kestrum::Quilm::Solver::Native {

namespace {

void Require(bool condition, const std::string& message) {
  if (!condition) throw std::invalid_argument("modal participation: " + message);
}

// M r_d for the six directions.
InfluenceMatrix MassTimesInfluence(const MassProduct& mass, const InfluenceMatrix& influence) {
  InfluenceMatrix product(influence.rows(), kRigidBodyDirections);
  for (int d = 0; d < kRigidBodyDirections; ++d) {
    const Eigen::VectorXd column = mass(influence.col(d));
    Require(column.size() == influence.rows(), "the mass product returned a vector of the wrong size");
    product.col(d) = column;
  }
  return product;
}

// Everything that follows from the factors and the total masses.
ModalParticipation Complete(ModesByDirection factors, const DirectionValues& totals) {
  ModalParticipation result;
  result.factors = std::move(factors);
  result.effectiveMasses = result.factors.array().square();
  result.cumulativeMasses = result.effectiveMasses;
  for (Eigen::Index k = 1; k < result.cumulativeMasses.rows(); ++k)
    result.cumulativeMasses.row(k) += result.cumulativeMasses.row(k - 1);
  result.totalMasses = totals;
  DirectionValues inverse;
  for (int d = 0; d < kRigidBodyDirections; ++d) inverse(d) = totals(d) > 0.0 ? 1.0 / totals(d) : 0.0;
  result.effectiveShares = result.effectiveMasses * inverse.asDiagonal();
  result.cumulativeShares = result.cumulativeMasses * inverse.asDiagonal();
  return result;
}

DirectionValues TotalMasses(const InfluenceMatrix& influence, const InfluenceMatrix& massTimesInfluence) {
  return influence.cwiseProduct(massTimesInfluence).colwise().sum();
}

}  // namespace

ModalParticipation ComputeModalParticipation(const Eigen::Ref<const Eigen::MatrixXd>& modeShapes,
                                             const Eigen::SparseMatrix<double>& mass,
                                             const InfluenceMatrix& influence) {
  const Eigen::Index n = influence.rows();
  Require(mass.rows() == n && mass.cols() == n,
          "the mass matrix must be square of the influence vectors' size");
  Require(modeShapes.rows() == n, "the mode shapes must have one row per equation");
  const InfluenceMatrix mr = mass * influence;
  return Complete(modeShapes.transpose() * mr, TotalMasses(influence, mr));
}

ModalParticipation ComputeModalParticipation(int modeCount, const ModeShapeSource& modeShape,
                                             const MassProduct& mass, const InfluenceMatrix& influence) {
  Require(modeCount >= 0, "the mode count must not be negative");
  const InfluenceMatrix mr = MassTimesInfluence(mass, influence);
  ModesByDirection factors(modeCount, kRigidBodyDirections);
  for (int k = 0; k < modeCount; ++k) {
    const Eigen::VectorXd phi = modeShape(k);
    Require(phi.size() == influence.rows(), "mode " + std::to_string(k) + " has the wrong size");
    factors.row(k) = phi.transpose() * mr;
  }
  return Complete(std::move(factors), TotalMasses(influence, mr));
}

}  // namespace Kestrum::Quilm::Solver::Native
