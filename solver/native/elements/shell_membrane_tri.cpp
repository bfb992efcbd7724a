// Allman drilling membrane of the three-node shell.
#include "solver/native/elements/shell_membrane_tri.hpp"

namespace Kestrum::Quilm::Solver::Native {

TriangleMembraneOperators TriangleMembraneAt(const ShellTriangleCoordinates& xy, double xi, double eta) {
  const LinearTriangleMap map = MapTriangle(xy);
  const Eigen::Vector3d l = AreaCoordinates(xi, eta);
  TriangleMembraneOperators op;
  op.strain.setZero();
  op.rotationGap.setZero();
  for (int i = 0; i < 3; ++i) {
    const double nx = map.gradient(0, i), ny = map.gradient(1, i);
    op.strain(0, 3 * i) = nx;
    op.strain(1, 3 * i + 1) = ny;
    op.strain(2, 3 * i) = ny;
    op.strain(2, 3 * i + 1) = nx;
    op.rotationGap(0, 3 * i) = -0.5 * ny;
    op.rotationGap(0, 3 * i + 1) = 0.5 * nx;
    op.rotationGap(0, 3 * i + 2) = -l(i);
  }
  // Edge i -> j: u += 4 L_i L_j (l/8) n (rz_j - rz_i), n the outward normal.
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    const double cu = (xy(j, 1) - xy(i, 1)) / 8.0, cv = (xy(i, 0) - xy(j, 0)) / 8.0;
    const Eigen::Vector2d grad = 4.0 * (l(j) * map.gradient.col(i) + l(i) * map.gradient.col(j));
    const Eigen::Vector3d strain(cu * grad.x(), cv * grad.y(), cu * grad.y() + cv * grad.x());
    const double skew = 0.5 * (cv * grad.x() - cu * grad.y());
    op.strain.col(3 * j + 2) += strain;
    op.strain.col(3 * i + 2) -= strain;
    op.rotationGap(0, 3 * j + 2) += skew;
    op.rotationGap(0, 3 * i + 2) -= skew;
  }
  return op;
}

ShellMembraneTriangleMatrix TriangleMembraneStiffness(const ShellTriangleCoordinates& xy,
                                                      const ShellSection& section) {
  const double area = MapTriangle(xy).area;
  const Eigen::Matrix3d rigidity = MembraneRigidity(section);
  ShellMembraneTriangleMatrix k = ShellMembraneTriangleMatrix::Zero();
  for (const TrianglePoint& g : kTriangleMidsideRule) {
    const auto b = TriangleMembraneAt(xy, g.xi, g.eta).strain;
    k += b.transpose() * rigidity * b * (g.weight * area);
  }
  const double gamma = ShellShearModulus(section) * section.thickness;
  const auto gap = TriangleMembraneAt(xy, 1.0 / 3.0, 1.0 / 3.0).rotationGap;
  k += gamma * area * gap.transpose() * gap;
  return k;
}

}  // namespace Kestrum::Quilm::Solver::Native
