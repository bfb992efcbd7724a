// Linear map of a flat three-node element from the natural triangle
// (xi, eta >= 0, xi + eta <= 1) to its local x-y plane. Area coordinates
// L0 = 1 - xi - eta, L1 = xi, L2 = eta; corner i has L_i = 1.
#pragma once

#include <Eigen/Core>
#include <array>

namespace Kestrum::Quilm::Solver::Native {

using ShellTriangleCoordinates = Eigen::Matrix<double, 3, 2>;  // row i: (x_i, y_i)

struct LinearTriangleMap {
  Eigen::Matrix2d jacobian;              // rows (x_xi, y_xi) and (x_eta, y_eta)
  Eigen::Matrix2d inverseJacobian;       // (d/dx, d/dy) = inverseJacobian (d/dxi, d/deta)
  Eigen::Matrix<double, 2, 3> gradient;  // rows dL_i/dx, dL_i/dy
  double area = 0.0;
};

// Throws std::invalid_argument unless the corners run anticlockwise with a
// non-vanishing area.
LinearTriangleMap MapTriangle(const ShellTriangleCoordinates& xy);

inline Eigen::Vector3d AreaCoordinates(double xi, double eta) { return {1.0 - xi - eta, xi, eta}; }

// Three-point rule at the edge midpoints, exact for quadratics; the weights
// are fractions of the area (they sum to 1).
struct TrianglePoint {
  double xi, eta, weight;
};
inline constexpr std::array<TrianglePoint, 3> kTriangleMidsideRule = {TrianglePoint{0.5, 0.0, 1.0 / 3.0},
                                                                      TrianglePoint{0.5, 0.5, 1.0 / 3.0},
                                                                      TrianglePoint{0.0, 0.5, 1.0 / 3.0}};

}  // namespace Kestrum::Quilm::Solver::Native
