// MITC4 plate bending and assumed transverse shear (Dvorkin & Bathe 1984).
#include "solver/native/elements/shell_plate_mitc4.hpp"

#include <Eigen/LU>

namespace Kestrum::Quilm::Solver::Native {

namespace {

// Covariant shear strains (e_xi, e_eta) = (w_xi + beta . x_xi, w_eta + beta . x_eta)
// from the plain interpolation, beta = (ry, -rx) the normal's tilt.
Eigen::Matrix<double, 2, 12> CovariantShear(const ShellQuadCoordinates& xy, double xi, double eta) {
  const BilinearPoint p = EvaluateBilinear(xy, xi, eta);
  Eigen::Matrix<double, 2, 12> e = Eigen::Matrix<double, 2, 12>::Zero();
  for (int i = 0; i < 4; ++i) {
    for (int r = 0; r < 2; ++r) {
      const double xd = p.jacobian(r, 0), yd = p.jacobian(r, 1);
      e(r, 3 * i) = p.natural(r, i);
      e(r, 3 * i + 1) = -p.shape(i) * yd;
      e(r, 3 * i + 2) = p.shape(i) * xd;
    }
  }
  return e;
}

}  // namespace

Eigen::Matrix<double, 3, 12> Mitc4Curvature(const BilinearPoint& p) {
  Eigen::Matrix<double, 3, 12> b = Eigen::Matrix<double, 3, 12>::Zero();
  for (int i = 0; i < 4; ++i) {
    const double nx = p.cartesian(0, i), ny = p.cartesian(1, i);
    b(0, 3 * i + 2) = nx;
    b(1, 3 * i + 1) = -ny;
    b(2, 3 * i + 1) = -nx;
    b(2, 3 * i + 2) = ny;
  }
  return b;
}

Eigen::Matrix<double, 2, 12> Mitc4Shear(const ShellQuadCoordinates& xy, double xi, double eta) {
  // e_xi tied at (0, -1) and (0, 1); e_eta at (-1, 0) and (1, 0).
  const auto south = CovariantShear(xy, 0.0, -1.0), north = CovariantShear(xy, 0.0, 1.0);
  const auto west = CovariantShear(xy, -1.0, 0.0), east = CovariantShear(xy, 1.0, 0.0);
  Eigen::Matrix<double, 2, 12> covariant;
  covariant.row(0) = 0.5 * (1.0 - eta) * south.row(0) + 0.5 * (1.0 + eta) * north.row(0);
  covariant.row(1) = 0.5 * (1.0 - xi) * west.row(1) + 0.5 * (1.0 + xi) * east.row(1);
  // (e_xi, e_eta) = J (gxz, gyz).
  return EvaluateBilinear(xy, xi, eta).jacobian.inverse() * covariant;
}

ShellPlateQuadMatrix Mitc4Stiffness(const ShellQuadCoordinates& xy, const ShellSection& section) {
  const Eigen::Matrix3d bending = BendingRigidity(section);
  const Eigen::Matrix2d shear = TransverseShearRigidity(section);
  ShellPlateQuadMatrix k = ShellPlateQuadMatrix::Zero();
  for (const NaturalPoint& g : QuadGaussPoints()) {
    const BilinearPoint p = EvaluateBilinear(xy, g.xi, g.eta);
    const double dA = g.weight * p.detJ;
    const Eigen::Matrix<double, 3, 12> kappa = Mitc4Curvature(p);
    const Eigen::Matrix<double, 2, 12> gamma = Mitc4Shear(xy, g.xi, g.eta);
    k += (kappa.transpose() * bending * kappa + gamma.transpose() * shear * gamma) * dA;
  }
  return k;
}

}  // namespace Kestrum::Quilm::Solver::Native
