// Shared vocabulary of the beam element kernel: the fixed-size Eigen types,
// the order of the local degrees of freedom and the cross-section data.
#pragma once

#include <Eigen/Dense>
#include <string>

namespace Kestrum::Quilm::Solver::Native {

using Vector6 = Eigen::Matrix<double, 6, 1>;
using Matrix6 = Eigen::Matrix<double, 6, 6>;
using Vector12 = Eigen::Matrix<double, 12, 1>;
using Matrix12 = Eigen::Matrix<double, 12, 12>;

// Local degrees of freedom of one end, in this order; the end's block of a
// 12-vector starts at 6. Section forces (N, Vy, Vz, T, My, Mz) and end forces
// use the same order: forces along x, y, z, then moments about x, y, z.
enum BeamDof { kUx = 0, kUy, kUz, kRx, kRy, kRz };
inline constexpr int kEndOffset = 6;

// Carries a motion (u, theta) at one section rigidly to the section a
// distance b further along x: (u + theta x (b ex), theta). Its transpose
// carries a force and moment at that farther section back to the same
// resultant about the first.
inline Matrix6 RigidTransfer(double b) {
  Matrix6 g = Matrix6::Identity();
  g(kUy, kRz) = b;
  g(kUz, kRy) = -b;
  return g;
}

// "start ux" ... "end rz" for a dof index 0..11 of the member.
std::string BeamDofName(int dof);

// Material and cross-section of a prismatic member, consistent units.
struct BeamSectionProperties {
  double E = 0.0;    // Young's modulus
  double G = 0.0;    // shear modulus
  double A = 0.0;    // area
  double Iy = 0.0;   // second moment about local y (bending in the x-z plane)
  double Iz = 0.0;   // second moment about local z (bending in the x-y plane)
  double It = 0.0;   // St Venant torsion constant
  double Asy = 0.0;  // shear area for shear along y; 0: no shear deformation
  double Asz = 0.0;  // shear area for shear along z; 0: no shear deformation
};

// Throws std::invalid_argument unless E, G, A, Iy, Iz, It are positive and
// finite and the shear areas are finite and not negative.
void ValidateSection(const BeamSectionProperties& section);

}  // namespace Kestrum::Quilm::Solver::Native
