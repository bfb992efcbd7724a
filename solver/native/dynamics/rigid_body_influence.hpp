// Rigid-body influence vectors: the nodal displacements of a unit rigid
// translation along X, Y, Z and of a unit rigid rotation about axes through
// a reference point parallel to X, Y, Z. They carry a ground motion or a
// direction into the equations (modal participation, base excitation).
#pragma once

#include <Eigen/Dense>
#include <array>
#include <vector>

namespace Kestrum::Quilm::Solver::Native {

// Columns of an influence matrix and of per-mode participation results.
enum RigidBodyDirection {
  kTranslationX = 0,
  kTranslationY,
  kTranslationZ,
  kRotationX,
  kRotationY,
  kRotationZ
};
inline constexpr int kRigidBodyDirections = 6;

using InfluenceMatrix = Eigen::Matrix<double, Eigen::Dynamic, kRigidBodyDirections>;  // equations x 6

// Equation numbers of one node's ux, uy, uz, rx, ry, rz, -1 where the node
// has no such free dof (supported, constrained or absent).
using NodeEquations = std::array<long, 6>;

// The influence matrix of `equationCount` equations: for a node at x and
// arm a = x - referencePoint, translation d gives u = e_d, theta = 0 and
// rotation about axis d gives u = e_d x a, theta = e_d. Rows no node
// refers to stay zero. Throws std::invalid_argument if the two vectors differ
// in length, an equation number is outside [-1, equationCount) or an
// equation belongs to more than one node dof.
InfluenceMatrix RigidBodyInfluence(const std::vector<NodeEquations>& equations,
                                   const std::vector<Eigen::Vector3d>& coordinates,
                                   const Eigen::Vector3d& referencePoint, long equationCount);

}  // namespace Kestrum::Quilm::Solver::Native
