// Reduced Hermite cubic deflection of the flat triangle.
#include "solver/native/elements/shell_tri_cubic_deflection.hpp"

#include <Eigen/LU>
#include <cmath>

namespace Kestrum::Quilm::Solver::Native {

namespace {

using Monomials = Eigen::Matrix<double, 1, 10>;

// 1, x, y, x^2, x y, y^2, x^3, x^2 y, x y^2, y^3 and their x and y derivatives.
Monomials CubicValues(const Eigen::Vector2d& p) {
  const double x = p.x(), y = p.y();
  return (Monomials() << 1, x, y, x * x, x * y, y * y, x * x * x, x * x * y, x * y * y, y * y * y).finished();
}
Monomials CubicDx(const Eigen::Vector2d& p) {
  const double x = p.x(), y = p.y();
  return (Monomials() << 0, 1, 0, 2 * x, y, 0, 3 * x * x, 2 * x * y, y * y, 0).finished();
}
Monomials CubicDy(const Eigen::Vector2d& p) {
  const double x = p.x(), y = p.y();
  return (Monomials() << 0, 0, 1, 0, x, 2 * y, 0, x * x, 2 * x * y, 3 * y * y).finished();
}

}  // namespace

ReducedCubicDeflection::ReducedCubicDeflection(const ShellTriangleCoordinates& xy) : xy_(xy) {
  scale_ = std::sqrt(2.0 * MapTriangle(xy).area);
  centroid_ = xy.colwise().mean().transpose();
  // Hermite functionals (w, w_x, w_y at each corner, w at the centroid) on
  // the monomials, in scaled coordinates: the centroid lies at the origin.
  Eigen::Matrix<double, 10, 10> functionals;
  // Those functionals from the plate dofs: slopes s w_x = -s ry, s w_y =
  // s rx, and the centroid value (1/3) sum w_i + (1/6) sum grad w_i . (c - p_i).
  Eigen::Matrix<double, 10, 9> fromDofs = Eigen::Matrix<double, 10, 9>::Zero();
  for (int i = 0; i < 3; ++i) {
    const Eigen::Vector2d p = (xy.row(i).transpose() - centroid_) / scale_;
    functionals.row(3 * i) = CubicValues(p);
    functionals.row(3 * i + 1) = CubicDx(p);
    functionals.row(3 * i + 2) = CubicDy(p);
    fromDofs(3 * i, 3 * i) = 1.0;
    fromDofs(3 * i + 1, 3 * i + 2) = -scale_;
    fromDofs(3 * i + 2, 3 * i + 1) = scale_;
    fromDofs(9, 3 * i) = 1.0 / 3.0;
    fromDofs(9, 3 * i + 2) = p.x() * scale_ / 6.0;   // -p.x/6 times s w_x = -s ry
    fromDofs(9, 3 * i + 1) = -p.y() * scale_ / 6.0;  // -p.y/6 times s w_y = s rx
  }
  functionals.row(9) = CubicValues(Eigen::Vector2d::Zero());
  monomials_ = functionals.partialPivLu().solve(fromDofs);
}

Eigen::Vector2d ReducedCubicDeflection::Scaled(double xi, double eta) const {
  const Eigen::Vector3d area = AreaCoordinates(xi, eta);
  return ((xy_.transpose() * area) - centroid_) / scale_;
}

ReducedCubicDeflection::Operator ReducedCubicDeflection::Deflection(double xi, double eta) const {
  return CubicValues(Scaled(xi, eta)) * monomials_;
}

ReducedCubicDeflection::SlopeOperator ReducedCubicDeflection::Slopes(double xi, double eta) const {
  const Eigen::Vector2d p = Scaled(xi, eta);
  SlopeOperator slopes;
  slopes.row(0) = CubicDx(p) * monomials_ / scale_;
  slopes.row(1) = CubicDy(p) * monomials_ / scale_;
  return slopes;
}

}  // namespace Kestrum::Quilm::Solver::Native
