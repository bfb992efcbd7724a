// From global node dofs to a beam's local member-end dofs: the local axes of
// the member and the rigid offsets (eccentricities) between nodes and ends.
//
// Local x runs from (p1 + e1) to (p2 + e2); local z is the stored z axis made
// perpendicular to x, y = z x x. A node's rotation theta moves its member end,
// at offset e from the node, by theta x e.
#pragma once

#include "solver/native/elements/beam_types.hpp"

namespace Kestrum::Quilm::Solver::Native {

struct BeamTransformation {
  Eigen::Matrix3d rotation;  // rows: local x, y, z in global components
  double length = 0.0;       // flexible length between the member ends
  Matrix12 matrix;           // u_local_ends = matrix * u_global_nodes
};

// Nodes p1, p2, eccentricities e1, e2 (global) and the stored local z axis
// (a zero vector: global Z made perpendicular to x, or global X when the
// member runs along Z). Throws std::invalid_argument for coincident member
// ends or a z axis (nearly) parallel to the member.
BeamTransformation MakeBeamTransformation(const Eigen::Vector3d& p1, const Eigen::Vector3d& p2,
                                          const Eigen::Vector3d& e1, const Eigen::Vector3d& e2,
                                          const Eigen::Vector3d& zAxis);

// Local stiffness (or mass) to global node dofs: T^T K T.
Matrix12 ToGlobal(const BeamTransformation& t, const Matrix12& local);

// Local nodal loads or end forces to global node dofs: T^T f (adds e x F to
// the node moments).
Vector12 ToGlobal(const BeamTransformation& t, const Vector12& local);

// Components in local axes of a global vector, e.g. a distributed load per
// length along the member or a point force.
Eigen::Vector3d ToLocal(const BeamTransformation& t, const Eigen::Vector3d& global);

}  // namespace Kestrum::Quilm::Solver::Native
