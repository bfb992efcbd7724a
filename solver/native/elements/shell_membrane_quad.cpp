// Allman-type drilling membrane of the four-node shell (Ibrahimbegovic,
// Taylor & Wilson 1990).
#include "solver/native/elements/shell_membrane_quad.hpp"

#include <Eigen/LU>

namespace Kestrum::Quilm::Solver::Native {

namespace {

// Hierarchical edge function M_k of edge k (corner k -> corner k+1), 1 at the
// edge midpoint, and its natural derivatives.
struct EdgeFunction {
  double value, dXi, dEta;
};

EdgeFunction EdgeAt(int edge, double xi, double eta) {
  switch (edge) {
    case 0:
      return {0.5 * (1 - xi * xi) * (1 - eta), -xi * (1 - eta), -0.5 * (1 - xi * xi)};
    case 1:
      return {0.5 * (1 + xi) * (1 - eta * eta), 0.5 * (1 - eta * eta), -(1 + xi) * eta};
    case 2:
      return {0.5 * (1 - xi * xi) * (1 + eta), -xi * (1 + eta), 0.5 * (1 - xi * xi)};
    default:
      return {0.5 * (1 - xi) * (1 - eta * eta), -0.5 * (1 - eta * eta), -(1 - xi) * eta};
  }
}

// Adds to `op` the edge terms u += M_k (l_k/8) n_k (rz_j - rz_i), n_k
// the outward normal of the anticlockwise edge i -> j.
void AddEdgeTerms(const ShellQuadCoordinates& xy, const BilinearPoint& p, double xi, double eta,
                  QuadMembraneOperators& op) {
  const Eigen::Matrix2d jInverse = p.jacobian.inverse();
  for (int k = 0; k < 4; ++k) {
    const int i = k, j = (k + 1) % 4;
    const double cu = (xy(j, 1) - xy(i, 1)) / 8.0;  // (l n_x)/8
    const double cv = (xy(i, 0) - xy(j, 0)) / 8.0;  // (l n_y)/8
    const EdgeFunction m = EdgeAt(k, xi, eta);
    const Eigen::Vector2d grad = jInverse * Eigen::Vector2d(m.dXi, m.dEta);
    // Row of each measure per unit (rz_j - rz_i).
    const double ex = cu * grad.x(), ey = cv * grad.y(), gxy = cu * grad.y() + cv * grad.x();
    const double skew = 0.5 * (cv * grad.x() - cu * grad.y());
    for (int side = 0; side < 2; ++side) {
      const int column = 3 * (side == 0 ? j : i) + 2;
      const double sign = side == 0 ? 1.0 : -1.0;
      op.strain(0, column) += sign * ex;
      op.strain(1, column) += sign * ey;
      op.strain(2, column) += sign * gxy;
      op.rotationGap(0, column) += sign * skew;
    }
  }
}

}  // namespace

QuadMembraneOperators QuadMembraneAt(const ShellQuadCoordinates& xy, double xi, double eta) {
  const BilinearPoint p = EvaluateBilinear(xy, xi, eta);
  QuadMembraneOperators op;
  op.detJ = p.detJ;
  op.strain.setZero();
  op.rotationGap.setZero();
  for (int i = 0; i < 4; ++i) {
    const double nx = p.cartesian(0, i), ny = p.cartesian(1, i);
    op.strain(0, 3 * i) = nx;
    op.strain(1, 3 * i + 1) = ny;
    op.strain(2, 3 * i) = ny;
    op.strain(2, 3 * i + 1) = nx;
    op.rotationGap(0, 3 * i) = -0.5 * ny;
    op.rotationGap(0, 3 * i + 1) = 0.5 * nx;
    op.rotationGap(0, 3 * i + 2) = -p.shape(i);
  }
  AddEdgeTerms(xy, p, xi, eta, op);
  return op;
}

ShellMembraneQuadMatrix QuadMembraneStiffness(const ShellQuadCoordinates& xy, const ShellSection& section) {
  const Eigen::Matrix3d rigidity = MembraneRigidity(section);
  ShellMembraneQuadMatrix k = ShellMembraneQuadMatrix::Zero();
  for (const NaturalPoint& g : QuadGaussPoints()) {
    const QuadMembraneOperators op = QuadMembraneAt(xy, g.xi, g.eta);
    k += op.strain.transpose() * rigidity * op.strain * (g.weight * op.detJ);
  }
  const double gamma = ShellShearModulus(section) * section.thickness;
  const QuadMembraneOperators centre = QuadMembraneAt(xy, 0.0, 0.0);
  const double area = 4.0 * centre.detJ;  // det J is linear in xi and eta
  k += gamma * area * centre.rotationGap.transpose() * centre.rotationGap;
  return k;
}

}  // namespace Kestrum::Quilm::Solver::Native
