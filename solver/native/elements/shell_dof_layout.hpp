// Where the membrane dofs (u, v, rz) and the plate dofs (w, rx, ry) of a
// flat shell node sit among its six local dofs (ux, uy, uz, rx, ry, rz), and
// the merging of the two parts' matrices into the element's.
#pragma once

#include <Eigen/Core>
#include <array>

namespace Kestrum::Quilm::Solver::Native {

inline constexpr std::array<int, 3> kShellMembraneSlots = {0, 1, 5};
inline constexpr std::array<int, 3> kShellPlateSlots = {2, 3, 4};

// Element matrix (6 dofs per node) holding the uncoupled membrane and plate
// matrices (3 dofs per node each).
template <int N>
Eigen::Matrix<double, 6 * N, 6 * N> MergeMembraneAndPlate(const Eigen::Matrix<double, 3 * N, 3 * N>& membrane,
                                                          const Eigen::Matrix<double, 3 * N, 3 * N>& plate) {
  Eigen::Matrix<double, 6 * N, 6 * N> k = Eigen::Matrix<double, 6 * N, 6 * N>::Zero();
  for (int a = 0; a < 3 * N; ++a) {
    for (int b = 0; b < 3 * N; ++b) {
      const int rowNode = 6 * (a / 3), colNode = 6 * (b / 3);
      k(rowNode + kShellMembraneSlots[a % 3], colNode + kShellMembraneSlots[b % 3]) = membrane(a, b);
      k(rowNode + kShellPlateSlots[a % 3], colNode + kShellPlateSlots[b % 3]) = plate(a, b);
    }
  }
  return k;
}

// The membrane or plate dofs (3 per node) picked from an element vector.
template <int N>
Eigen::Matrix<double, 3 * N, 1> PickShellDofs(const Eigen::Matrix<double, 6 * N, 1>& element,
                                              const std::array<int, 3>& slots) {
  Eigen::Matrix<double, 3 * N, 1> part;
  for (int a = 0; a < 3 * N; ++a) part(a) = element(6 * (a / 3) + slots[a % 3]);
  return part;
}

}  // namespace Kestrum::Quilm::Solver::Native
