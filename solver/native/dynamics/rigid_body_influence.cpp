// Rigid-body displacement fields evaluated at the free dofs of the nodes.
#include "solver/native/dynamics/rigid_body_influence.hpp"

#include <stdexcept>
#include <string>

namespace Kestrum::Quilm::Solver::Native {

namespace {

// Rows: the node's ux..rz; columns: the six rigid-body motions.
Eigen::Matrix<double, 6, 6> NodeRigidBodyMotions(const Eigen::Vector3d& arm) {
  Eigen::Matrix<double, 6, 6> motions = Eigen::Matrix<double, 6, 6>::Zero();
  for (int d = 0; d < 3; ++d) {
    const Eigen::Vector3d axis = Eigen::Vector3d::Unit(d);
    motions.block<3, 1>(0, d) = axis;
    motions.block<3, 1>(0, 3 + d) = axis.cross(arm);
    motions.block<3, 1>(3, 3 + d) = axis;
  }
  return motions;
}

[[noreturn]] void Fail(std::size_t node, int dof, const std::string& message) {
  throw std::invalid_argument("rigid-body influence: node " + std::to_string(node) + " dof " +
                              std::to_string(dof) + ": " + message);
}

}  // namespace

InfluenceMatrix RigidBodyInfluence(const std::vector<NodeEquations>& equations,
                                   const std::vector<Eigen::Vector3d>& coordinates,
                                   const Eigen::Vector3d& referencePoint, long equationCount) {
  if (equations.size() != coordinates.size() || equationCount < 0)
    throw std::invalid_argument("rigid-body influence: one coordinate per node and a count >= 0 are needed");
  InfluenceMatrix influence = InfluenceMatrix::Zero(equationCount, kRigidBodyDirections);
  std::vector<bool> taken(static_cast<std::size_t>(equationCount), false);
  for (std::size_t node = 0; node < equations.size(); ++node) {
    const Eigen::Matrix<double, 6, 6> motions = NodeRigidBodyMotions(coordinates[node] - referencePoint);
    for (int dof = 0; dof < 6; ++dof) {
      const long equation = equations[node][dof];
      if (equation == -1) continue;
      if (equation < -1 || equation >= equationCount)
        Fail(node, dof, "equation " + std::to_string(equation) + " out of range");
      if (taken[equation])
        Fail(node, dof, "equation " + std::to_string(equation) + " already used by another dof");
      taken[equation] = true;
      influence.row(equation) = motions.row(dof);
    }
  }
  return influence;
}

}  // namespace Kestrum::Quilm::Solver::Native
