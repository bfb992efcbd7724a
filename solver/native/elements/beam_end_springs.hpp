// Springs in series between a beam's nodes and its member ends (releases and
// partial fixity), condensed statically. One object serves the stiffness, the
// equivalent nodal loads and the recovery of end forces, so all three see the
// same releases.
//
// Member-end displacements u_m follow the node displacements u_n: rigid dofs
// (R) equal them, spring dofs (S) are internal and in equilibrium:
//   (K_SS + k) u_mS = k u_nS - K_SR u_nR - r_S,
// r the member's fixed-end reactions. So u_m = C u_n - D r with
// C_S = A^-1 [-K_SR | k], D_SS = A^-1, A = K_SS + k. The force a spring
// carries is the member-end force, so the node forces are
//   f = K C u_n + (I - K D) r = K C u_n + C^T r.
#pragma once

#include <array>
#include <vector>

#include "solver/native/elements/beam_types.hpp"

namespace Kestrum::Quilm::Solver::Native {

class BeamEndCondensation {
 public:
  // `memberStiffness`: the rigidly attached member (12x12). `springStiffness`
  // per member dof: +infinity for a rigid connection, 0 for a full release,
  // otherwise the series spring. Throws std::invalid_argument naming the
  // released dofs when the springs leave the member a mechanism.
  BeamEndCondensation(const Matrix12& memberStiffness, const std::array<double, 12>& springStiffness);

  // Stiffness between the node dofs (12x12, symmetric).
  const Matrix12& Stiffness() const { return stiffness_; }

  // Fixed-end reactions at the nodes from the member's own (C^T r).
  Vector12 NodeReactions(const Vector12& memberReactions) const;

  // Forces on the member's ends (= on the nodes' springs) for node
  // displacements `u` and the member's fixed-end reactions.
  Vector12 EndForces(const Vector12& u, const Vector12& memberReactions) const;

 private:
  // Throws when A (the spring dofs' block) has a zero-energy mode.
  void RequireNoMechanism(const Eigen::MatrixXd& a) const;

  std::vector<int> springDofs_;
  Matrix12 follow_ = Matrix12::Identity();  // C
  Matrix12 stiffness_;
};

}  // namespace Kestrum::Quilm::Solver::Native
