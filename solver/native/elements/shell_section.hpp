// Isotropic linear-elastic shell section (E, nu, thickness, density) and the
// through-thickness rigidities the flat shell elements integrate: membrane,
// bending and transverse shear.
#pragma once

#include <Eigen/Core>

namespace Kestrum::Quilm::Solver::Native {

// Consistent units, e.g. N, m, kg.
struct ShellSection {
  double youngsModulus = 0.0;  // E
  double poissonRatio = 0.0;   // nu
  double thickness = 0.0;      // t
  double density = 0.0;        // rho, mass per volume
};

// Throws std::invalid_argument unless E > 0, t > 0, -1 < nu < 0.5 and
// rho >= 0, all finite.
void ValidateShellSection(const ShellSection& section);

// G = E / (2 (1 + nu)).
double ShellShearModulus(const ShellSection& section);

// Plane-stress matrix C: (sx, sy, sxy) = C (ex, ey, gxy), gxy the engineering
// shear strain.
Eigen::Matrix3d PlaneStressMatrix(const ShellSection& section);

// (nx, ny, nxy) = t C (ex, ey, gxy) for the mid-surface strains.
Eigen::Matrix3d MembraneRigidity(const ShellSection& section);

// (mx, my, mxy) = t^3/12 C (kx, ky, kxy), curvatures defined so that the
// strain at height z is e = e0 + z k.
Eigen::Matrix3d BendingRigidity(const ShellSection& section);

// (qx, qy) = k G t (gxz, gyz) with the shear correction factor k = 5/6.
Eigen::Matrix2d TransverseShearRigidity(const ShellSection& section);

}  // namespace Kestrum::Quilm::Solver::Native
