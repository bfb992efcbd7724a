// Static condensation of a beam's end springs.
#include "solver/native/elements/beam_end_springs.hpp"

#include <cmath>
#include <stdexcept>

namespace Kestrum::Quilm::Solver::Native {

BeamEndCondensation::BeamEndCondensation(const Matrix12& memberStiffness,
                                         const std::array<double, 12>& springStiffness) {
  for (int i = 0; i < 12; ++i)
    if (!std::isinf(springStiffness[i])) springDofs_.push_back(i);
  if (!springDofs_.empty()) {
    const int n = static_cast<int>(springDofs_.size());
    Eigen::MatrixXd a = memberStiffness(springDofs_, springDofs_);
    Eigen::MatrixXd b = -memberStiffness(springDofs_, Eigen::all);
    for (int m = 0; m < n; ++m) {
      const int dof = springDofs_[m];
      a(m, m) += springStiffness[dof];
      b.col(dof).setZero();
      b(m, dof) = springStiffness[dof];
    }
    RequireNoMechanism(a);
    follow_(springDofs_, Eigen::all) = Eigen::MatrixXd(a.llt().solve(b));
  }
  stiffness_ = memberStiffness * follow_;
  stiffness_ = ((stiffness_ + stiffness_.transpose()) / 2.0).eval();
}

void BeamEndCondensation::RequireNoMechanism(const Eigen::MatrixXd& a) const {
  // Scale to unit diagonal so translations and rotations compare; a
  // rigid-body motion of the spring dofs alone is a zero eigenvalue.
  const Eigen::VectorXd scale = a.diagonal().cwiseSqrt().cwiseInverse();
  const Eigen::MatrixXd scaled = scale.asDiagonal() * a * scale.asDiagonal();
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(scaled);
  if (eigen.eigenvalues()(0) > 1e-10 * eigen.eigenvalues().maxCoeff()) return;
  const Eigen::VectorXd mode = eigen.eigenvectors().col(0);
  std::string dofs;
  for (int m = 0; m < mode.size(); ++m) {
    if (std::abs(mode(m)) <= 1e-6 * mode.cwiseAbs().maxCoeff()) continue;
    dofs += (dofs.empty() ? "" : ", ") + BeamDofName(springDofs_[m]);
  }
  throw std::invalid_argument("beam end releases make the member a mechanism: the released " + dofs +
                              " let it move as a rigid body");
}

Vector12 BeamEndCondensation::NodeReactions(const Vector12& memberReactions) const {
  return follow_.transpose() * memberReactions;
}

Vector12 BeamEndCondensation::EndForces(const Vector12& u, const Vector12& memberReactions) const {
  return stiffness_ * u + NodeReactions(memberReactions);
}

}  // namespace Kestrum::Quilm::Solver::Native
