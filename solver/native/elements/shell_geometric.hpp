// Geometric (initial-stress) stiffness of the flat shell elements, for linear
// buckling: K_g = int G^T [[nx, nxy], [nxy, ny]] G dA with G the gradient
// (d/dx, d/dy) of each translation u, v, w in the element's local frame, so
// that the critical load factor lambda solves (K + lambda K_g) phi = 0.
// Source: Cook, Malkus, Plesha & Witt, Concepts and Applications of Finite
// Element Analysis, 4th ed. (2002), stress stiffness of plates and shells.
//
// w follows the element's own interpolation where it has one: bilinear for
// the four-node element (MITC4), as are u and v. The DKT triangle has no w
// inside, so w there is the reduced Hermite cubic (Ciarlet, The Finite
// Element Method for Elliptic Problems, 1978, sec. 2.2) through the corner
// values and the Kirchhoff slopes w_x = -ry, w_y = rx; u and v are linear.
// The rotations carry no geometric stiffness (thin shell, t^2/12 terms
// dropped). The matrices are carried to global dofs exactly as the elements
// carry their stiffness: for the quadrilateral on its mean plane with rigid
// links to the corners.
#pragma once

#include <Eigen/Core>
#include <array>

#include "solver/native/elements/shell_results.hpp"

namespace Kestrum::Quilm::Solver::Native {

// Membrane forces per unit length in the element's local frame
// (ShellQuad4::Frame, ShellTri3::Frame), tension positive; constant over the
// element.
struct ShellMembraneForces {
  double nx = 0.0, ny = 0.0, nxy = 0.0;
};

// The membrane forces of a result point, e.g. ShellElementResults::centre.
inline ShellMembraneForces MembraneForcesOf(const ShellPointResults& point) {
  return {point.resultants.nx, point.resultants.ny, point.resultants.nxy};
}

// 24x24 symmetric geometric stiffness in global dofs of the ShellQuad4 with
// these corners. Zero for zero forces; rigid translations have no geometric
// energy. Throws std::invalid_argument for corners ShellQuad4 rejects.
Eigen::Matrix<double, 24, 24> ShellQuad4GeometricStiffness(const std::array<Eigen::Vector3d, 4>& corners,
                                                           const ShellMembraneForces& forces);

// 18x18 symmetric geometric stiffness in global dofs of the ShellTri3 with
// these corners. Same properties; throws for corners ShellTri3 rejects.
Eigen::Matrix<double, 18, 18> ShellTri3GeometricStiffness(const std::array<Eigen::Vector3d, 3>& corners,
                                                          const ShellMembraneForces& forces);

}  // namespace Kestrum::Quilm::Solver::Native
