// Discrete Kirchhoff triangle (Batoz, Bathe & Ho 1980).
#include "solver/native/elements/shell_plate_dkt.hpp"

#include <array>

namespace Kestrum::Quilm::Solver::Native {

namespace {

using Tilt = Eigen::Matrix<double, 2, 9>;  // beta = (ry, -rx) in terms of the dofs

Tilt CornerTilt(int i) {
  Tilt b = Tilt::Zero();
  b(0, 3 * i + 2) = 1.0;
  b(1, 3 * i + 1) = -1.0;
  return b;
}

// Tilt at the midpoint of edge i -> j: tangential part from the derivative
// of the cubic w along the edge, normal part the mean of the corners'.
Tilt MidsideTilt(const ShellTriangleCoordinates& xy, int i, int j) {
  const Eigen::Vector2d edge = (xy.row(j) - xy.row(i)).transpose();
  const double length = edge.norm();
  const Eigen::Vector2d s = edge / length;
  const Tilt sum = CornerTilt(i) + CornerTilt(j);
  Tilt b = 0.5 * sum - 0.75 * s * (s.transpose() * sum);
  b.col(3 * j) -= 1.5 / length * s;
  b.col(3 * i) += 1.5 / length * s;
  return b;
}

}  // namespace

Eigen::Matrix<double, 3, 9> DktCurvature(const ShellTriangleCoordinates& xy, double xi, double eta) {
  const Eigen::Matrix<double, 2, 3> gradL = MapTriangle(xy).gradient;
  const Eigen::Vector3d l = AreaCoordinates(xi, eta);
  std::array<Tilt, 6> tilt;
  std::array<Eigen::Vector2d, 6> grad;  // Cartesian gradients of the six quadratic shape functions
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    tilt[i] = CornerTilt(i);
    grad[i] = (4.0 * l(i) - 1.0) * gradL.col(i);
    tilt[3 + i] = MidsideTilt(xy, i, j);
    grad[3 + i] = 4.0 * (l(j) * gradL.col(i) + l(i) * gradL.col(j));
  }
  Eigen::Matrix<double, 3, 9> b = Eigen::Matrix<double, 3, 9>::Zero();
  for (int a = 0; a < 6; ++a) {
    b.row(0) += grad[a].x() * tilt[a].row(0);
    b.row(1) += grad[a].y() * tilt[a].row(1);
    b.row(2) += grad[a].y() * tilt[a].row(0) + grad[a].x() * tilt[a].row(1);
  }
  return b;
}

Eigen::Matrix<double, 2, 9> DktShearForces(const ShellTriangleCoordinates& xy, const ShellSection& section) {
  const Eigen::Matrix<double, 2, 3> gradL = MapTriangle(xy).gradient;
  const Eigen::Matrix3d rigidity = BendingRigidity(section);
  // The moment field is linear: m = sum_i L_i m(corner i).
  Eigen::Matrix<double, 3, 9> dmdx = Eigen::Matrix<double, 3, 9>::Zero(), dmdy = dmdx;
  const double cornerXi[3] = {0.0, 1.0, 0.0}, cornerEta[3] = {0.0, 0.0, 1.0};
  for (int i = 0; i < 3; ++i) {
    const Eigen::Matrix<double, 3, 9> m = rigidity * DktCurvature(xy, cornerXi[i], cornerEta[i]);
    dmdx += gradL(0, i) * m;
    dmdy += gradL(1, i) * m;
  }
  Eigen::Matrix<double, 2, 9> q;
  q.row(0) = dmdx.row(0) + dmdy.row(2);
  q.row(1) = dmdx.row(2) + dmdy.row(1);
  return q;
}

ShellPlateTriangleMatrix DktStiffness(const ShellTriangleCoordinates& xy, const ShellSection& section) {
  const double area = MapTriangle(xy).area;
  const Eigen::Matrix3d rigidity = BendingRigidity(section);
  ShellPlateTriangleMatrix k = ShellPlateTriangleMatrix::Zero();
  for (const TrianglePoint& g : kTriangleMidsideRule) {
    const Eigen::Matrix<double, 3, 9> b = DktCurvature(xy, g.xi, g.eta);
    k += b.transpose() * rigidity * b * (g.weight * area);
  }
  return k;
}

}  // namespace Kestrum::Quilm::Solver::Native
