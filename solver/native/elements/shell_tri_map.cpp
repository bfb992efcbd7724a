// Linear triangle map of the three-node shell.
#include "solver/native/elements/shell_tri_map.hpp"

#include <Eigen/LU>
#include <stdexcept>

namespace Kestrum::Quilm::Solver::Native {

LinearTriangleMap MapTriangle(const ShellTriangleCoordinates& xy) {
  LinearTriangleMap map;
  map.jacobian.row(0) = xy.row(1) - xy.row(0);
  map.jacobian.row(1) = xy.row(2) - xy.row(0);
  const double det = map.jacobian.determinant();
  const double scale = map.jacobian.row(0).squaredNorm() + map.jacobian.row(1).squaredNorm();
  if (!(det > 1e-12 * scale)) throw std::invalid_argument("shell triangle: corners collinear or clockwise");
  map.area = 0.5 * det;
  map.inverseJacobian = map.jacobian.inverse();
  Eigen::Matrix<double, 2, 3> natural;
  natural << -1.0, 1.0, 0.0, -1.0, 0.0, 1.0;
  map.gradient = map.inverseJacobian * natural;
  return map;
}

}  // namespace Kestrum::Quilm::Solver::Native
