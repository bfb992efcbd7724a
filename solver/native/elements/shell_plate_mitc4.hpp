// Bending and transverse shear of the four-node shell: MITC4, Dvorkin &
// Bathe, Eng. Comput. 1 (1984) 77-88, as a plate in Bathe & Dvorkin, IJNME 21
// (1985) 367-383: bilinear w and rotations, the covariant transverse shear
// strain e_xi tied at the midpoints of the edges eta = -1, 1 and e_eta at
// those of xi = -1, 1, each interpolated linearly across the element.
//
// Local dofs, node by node: (w_i, rx_i, ry_i). The rotation vector (rx, ry)
// turns the normal so that the in-plane displacement at height z is
// (u, v) = z (ry, -rx); curvatures (kx, ky, kxy) = (ry_x, -rx_y, ry_y - rx_x)
// and shear strains (gxz, gyz) = (w_x + ry, w_y - rx).
#pragma once

#include <Eigen/Core>

#include "solver/native/elements/shell_quad_map.hpp"
#include "solver/native/elements/shell_section.hpp"

namespace Kestrum::Quilm::Solver::Native {

using ShellPlateQuadMatrix = Eigen::Matrix<double, 12, 12>;

// Curvature operator (kx, ky, kxy) at a point of the bilinear map.
Eigen::Matrix<double, 3, 12> Mitc4Curvature(const BilinearPoint& point);

// Assumed (tied) transverse shear strain operator (gxz, gyz) at (xi, eta).
Eigen::Matrix<double, 2, 12> Mitc4Shear(const ShellQuadCoordinates& xy, double xi, double eta);

// Stiffness by 2 x 2 Gauss on bending and assumed shear.
ShellPlateQuadMatrix Mitc4Stiffness(const ShellQuadCoordinates& xy, const ShellSection& section);

}  // namespace Kestrum::Quilm::Solver::Native
