// Modal participation of mass-normalised modes in the six rigid-body
// directions: participation factors, effective modal masses and the share of
// the total mass each mode and the first k modes mobilise.
#pragma once

#include <Eigen/Dense>
#include <Eigen/SparseCore>
#include <functional>

#include "solver/native/dynamics/rigid_body_influence.hpp"

namespace Kestrum::Quilm::Solver::Native {

using ModesByDirection = Eigen::Matrix<double, Eigen::Dynamic, kRigidBodyDirections>;  // modes x 6
using DirectionValues = Eigen::Matrix<double, 1, kRigidBodyDirections>;

// Returns M x for a vector x of the equation count (M symmetric).
using MassProduct = std::function<Eigen::VectorXd(const Eigen::VectorXd&)>;
// Returns the mass-normalised shape of mode k (0-based).
using ModeShapeSource = std::function<Eigen::VectorXd(int)>;

// Row k belongs to mode k, column d to RigidBodyDirection d. A direction of
// zero total mass (no free dof moves in it) has zero shares.
struct ModalParticipation {
  ModesByDirection factors;           // Gamma_kd = phi_k^T M r_d
  ModesByDirection effectiveMasses;   // Gamma_kd² (mass normalised: phi_k^T M phi_k = 1)
  ModesByDirection cumulativeMasses;  // sum of the effective masses of modes 0..k
  DirectionValues totalMasses;        // r_d^T M r_d (mass, or mass moment of inertia about the axis)
  ModesByDirection effectiveShares;   // effective / total
  ModesByDirection cumulativeShares;  // cumulative / total
};

// From dense modes (equations x modes) and the full symmetric mass matrix
// (both triangles stored). Throws std::invalid_argument on mismatched sizes.
ModalParticipation ComputeModalParticipation(const Eigen::Ref<const Eigen::MatrixXd>& modeShapes,
                                             const Eigen::SparseMatrix<double>& mass,
                                             const InfluenceMatrix& influence);

// From `modeCount` modes fetched one at a time and a mass product: M is
// applied to the six influence vectors only, never to the modes (M
// symmetric: phi^T (M r) = (M phi)^T r). Throws std::invalid_argument if a
// mode or a product has the wrong size.
ModalParticipation ComputeModalParticipation(int modeCount, const ModeShapeSource& modeShape,
                                             const MassProduct& mass, const InfluenceMatrix& influence);

}  // namespace Kestrum::Quilm::Solver::Native
