// Bilinear map of a flat four-node element from the natural square
// (xi, eta) in [-1, 1]^2 to its local x-y plane: shape functions, their
// Cartesian derivatives and the Jacobian. Corner i sits at
// (xi, eta) = (-1,-1), (1,-1), (1,1), (-1,1) for i = 0..3.
#pragma once

#include <Eigen/Core>
#include <array>

namespace Kestrum::Quilm::Solver::Native {

using ShellQuadCoordinates = Eigen::Matrix<double, 4, 2>;  // row i: (x_i, y_i)

inline constexpr std::array<double, 4> kQuadCornerXi = {-1.0, 1.0, 1.0, -1.0};
inline constexpr std::array<double, 4> kQuadCornerEta = {-1.0, -1.0, 1.0, 1.0};

struct BilinearPoint {
  Eigen::Vector4d shape;                  // N_i
  Eigen::Matrix<double, 2, 4> natural;    // rows dN_i/dxi, dN_i/deta
  Eigen::Matrix<double, 2, 4> cartesian;  // rows dN_i/dx, dN_i/dy
  Eigen::Matrix2d jacobian;               // rows (x_xi, y_xi) and (x_eta, y_eta)
  double detJ = 0.0;
};

// Evaluates the map at (xi, eta). Throws std::invalid_argument when the
// Jacobian determinant is not positive there (a reflex corner, a crossed
// quadrilateral or clockwise corners).
BilinearPoint EvaluateBilinear(const ShellQuadCoordinates& xy, double xi, double eta);

// The 2 x 2 Gauss rule: abscissae (+-1/sqrt 3, +-1/sqrt 3), weights 1.
struct NaturalPoint {
  double xi, eta, weight;
};
const std::array<NaturalPoint, 4>& QuadGaussPoints();

}  // namespace Kestrum::Quilm::Solver::Native
