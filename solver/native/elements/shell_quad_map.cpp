// Bilinear shape functions of the four-node element.
#include "solver/native/elements/shell_quad_map.hpp"

#include <Eigen/LU>
#include <cmath>
#include <stdexcept>

namespace Kestrum::Quilm::Solver::Native {

BilinearPoint EvaluateBilinear(const ShellQuadCoordinates& xy, double xi, double eta) {
  BilinearPoint p;
  for (int i = 0; i < 4; ++i) {
    const double a = kQuadCornerXi[i], b = kQuadCornerEta[i];
    p.shape(i) = 0.25 * (1.0 + a * xi) * (1.0 + b * eta);
    p.natural(0, i) = 0.25 * a * (1.0 + b * eta);
    p.natural(1, i) = 0.25 * b * (1.0 + a * xi);
  }
  p.jacobian = p.natural * xy;
  p.detJ = p.jacobian.determinant();
  const double scale = (xy.row(2) - xy.row(0)).norm() * (xy.row(3) - xy.row(1)).norm();
  if (!(p.detJ > 1e-10 * scale))
    throw std::invalid_argument("shell quadrilateral: not convex (Jacobian not positive inside)");
  p.cartesian = p.jacobian.inverse() * p.natural;
  return p;
}

const std::array<NaturalPoint, 4>& QuadGaussPoints() {
  static const double g = 1.0 / std::sqrt(3.0);
  static const std::array<NaturalPoint, 4> points = {NaturalPoint{-g, -g, 1.0}, NaturalPoint{g, -g, 1.0},
                                                     NaturalPoint{g, g, 1.0}, NaturalPoint{-g, g, 1.0}};
  return points;
}

}  // namespace Kestrum::Quilm::Solver::Native
