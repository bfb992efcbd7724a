// Nodal loads and mass of a shell element integrated over its true surface
// through the corners (bilinear for four corners, flat for three) with the
// corner translations interpolated by the bilinear / linear shape functions.
// Everything is in global components, 6 dofs per node (ux, uy, uz, rx, ry, rz).
#pragma once

#include <Eigen/Core>
#include <array>

#include "solver/native/elements/shell_section.hpp"

namespace Kestrum::Quilm::Solver::Native {

enum class ShellMassKind {
  kConsistent,  // rho t int N_i N_j on translations, rho t^3/12 int N_i N_j on rotations
  kLumped,      // the row sums of the consistent matrix on the diagonal
};

// One quadrature point: shape function values and the weighted area vector
// w (x_xi x x_eta), which points along the surface normal of the node order.
template <int N>
struct ShellSurfaceSample {
  Eigen::Matrix<double, N, 1> shape;
  Eigen::Vector3d areaVector;
};

// 2 x 2 Gauss over the bilinear surface: exact for the pressure resultant and,
// when flat, for the mass.
std::array<ShellSurfaceSample<4>, 4> QuadSurfaceSamples(const std::array<Eigen::Vector3d, 4>& corners);
// Midside rule, exact for the mass.
std::array<ShellSurfaceSample<3>, 3> TriangleSurfaceSamples(const std::array<Eigen::Vector3d, 3>& corners);

// Pressure p acting along the normal of the node order: f_i = p int N_i n dA.
template <int N, std::size_t S>
Eigen::Matrix<double, 6 * N, 1> SurfacePressureLoad(const std::array<ShellSurfaceSample<N>, S>& samples,
                                                    double pressure) {
  Eigen::Matrix<double, 6 * N, 1> f = Eigen::Matrix<double, 6 * N, 1>::Zero();
  for (const auto& g : samples)
    for (int i = 0; i < N; ++i) f.template segment<3>(6 * i) += pressure * g.shape(i) * g.areaVector;
  return f;
}

// Force per area `forcePerArea` (rho t times an acceleration): f_i = q int N_i dA.
template <int N, std::size_t S>
Eigen::Matrix<double, 6 * N, 1> SurfaceForceLoad(const std::array<ShellSurfaceSample<N>, S>& samples,
                                                 const Eigen::Vector3d& forcePerArea) {
  Eigen::Matrix<double, 6 * N, 1> f = Eigen::Matrix<double, 6 * N, 1>::Zero();
  for (const auto& g : samples)
    for (int i = 0; i < N; ++i)
      f.template segment<3>(6 * i) += g.shape(i) * g.areaVector.norm() * forcePerArea;
  return f;
}

// Mass per area rho t on the translations and rho t^3/12 (rotary inertia)
// on each rotation, drilling included so that the matrix stays positive
// definite; consistent (int N_i N_j dA) or lumped (its row sums).
template <int N, std::size_t S>
Eigen::Matrix<double, 6 * N, 6 * N> SurfaceMass(const std::array<ShellSurfaceSample<N>, S>& samples,
                                                const ShellSection& section, ShellMassKind kind) {
  Eigen::Matrix<double, N, N> areaProducts = Eigen::Matrix<double, N, N>::Zero();  // int N_i N_j dA
  for (const auto& g : samples) areaProducts += g.shape * g.shape.transpose() * g.areaVector.norm();
  if (kind == ShellMassKind::kLumped) {
    const Eigen::Matrix<double, N, 1> rowSums = areaProducts.rowwise().sum();
    areaProducts = rowSums.asDiagonal();
  }
  const double t = section.thickness;
  const double perArea[2] = {section.density * t, section.density * t * t * t / 12.0};
  Eigen::Matrix<double, 6 * N, 6 * N> m = Eigen::Matrix<double, 6 * N, 6 * N>::Zero();
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j)
      for (int block = 0; block < 2; ++block)
        m.template block<3, 3>(6 * i + 3 * block, 6 * j + 3 * block) =
            perArea[block] * areaProducts(i, j) * Eigen::Matrix3d::Identity();
  return m;
}

}  // namespace Kestrum::Quilm::Solver::Native
