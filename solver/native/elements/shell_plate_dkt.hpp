// Bending of the three-node shell: the discrete Kirchhoff triangle (DKT),
// Batoz, Bathe & Ho, IJNME 15 (1980) 1771-1812: quadratic rotations of the
// normal whose midside values follow from the Kirchhoff condition along each
// edge (cubic w along the edge, linear normal rotation).
//
// Local dofs, node by node: (w_i, rx_i, ry_i), with the same conventions as
// the four-node plate: in-plane displacement at height z is z (ry, -rx) and
// (kx, ky, kxy) = (ry_x, -rx_y, ry_y - rx_x). Thin-plate theory: the
// element has no transverse shear strain energy.
#pragma once

#include <Eigen/Core>

#include "solver/native/elements/shell_section.hpp"
#include "solver/native/elements/shell_tri_map.hpp"

namespace Kestrum::Quilm::Solver::Native {

using ShellPlateTriangleMatrix = Eigen::Matrix<double, 9, 9>;

// Curvature operator (kx, ky, kxy) at (xi, eta); linear over the element.
Eigen::Matrix<double, 3, 9> DktCurvature(const ShellTriangleCoordinates& xy, double xi, double eta);

// Transverse shear forces (qx, qy) = (mx_x + mxy_y, mxy_x + my_y) from
// equilibrium of the element's linear moment field; constant. An element
// estimate only: the DKT moment gradient does not converge element by
// element (a cantilever strip on a diagonal mesh keeps a ~20 % error), so
// these shears indicate sign and size, not design values.
Eigen::Matrix<double, 2, 9> DktShearForces(const ShellTriangleCoordinates& xy, const ShellSection& section);

// Stiffness, exact with the three-point rule (quadratic integrand).
ShellPlateTriangleMatrix DktStiffness(const ShellTriangleCoordinates& xy, const ShellSection& section);

}  // namespace Kestrum::Quilm::Solver::Native
