// A cubic deflection over a flat three-node element, for quantities the DKT
// plate leaves undefined inside (it interpolates rotations, not w): the
// reduced Hermite cubic through the corner deflections and the Kirchhoff
// slopes w_x = -ry, w_y = rx, with the centroid value eliminated so that
// every quadratic w is reproduced exactly.
// Source: Ciarlet, The Finite Element Method for Elliptic Problems (1978),
// sec. 2.2, reduced Hermite triangle of type (3').
#pragma once

#include <Eigen/Core>

#include "solver/native/elements/shell_tri_map.hpp"

namespace Kestrum::Quilm::Solver::Native {

class ReducedCubicDeflection {
 public:
  // Plate dofs, node by node: (w_i, rx_i, ry_i) as in shell_plate_dkt.hpp.
  using Operator = Eigen::Matrix<double, 1, 9>;
  using SlopeOperator = Eigen::Matrix<double, 2, 9>;

  // Throws std::invalid_argument for corners MapTriangle rejects.
  explicit ReducedCubicDeflection(const ShellTriangleCoordinates& xy);

  // w at the natural point (xi, eta) of the triangle (see shell_tri_map.hpp).
  Operator Deflection(double xi, double eta) const;
  // (w_x, w_y) at (xi, eta).
  SlopeOperator Slopes(double xi, double eta) const;

 private:
  // Scaled coordinates, about the centroid, of the point (xi, eta).
  Eigen::Vector2d Scaled(double xi, double eta) const;

  ShellTriangleCoordinates xy_;
  Eigen::Vector2d centroid_;
  double scale_ = 1.0;                      // coordinates are divided by it
  Eigen::Matrix<double, 10, 9> monomials_;  // cubic monomial coefficients from the plate dofs
};

}  // namespace Kestrum::Quilm::Solver::Native
