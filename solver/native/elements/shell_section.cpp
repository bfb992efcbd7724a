// Checks and rigidities of the isotropic shell section.
#include "solver/native/elements/shell_section.hpp"

#include <cmath>
#include <stdexcept>

namespace Kestrum::Quilm::Solver::Native {

void ValidateShellSection(const ShellSection& s) {
  auto finite = [](double v) { return std::isfinite(v); };
  if (!finite(s.youngsModulus) || !(s.youngsModulus > 0.0))
    throw std::invalid_argument("shell section: Young's modulus must be positive and finite");
  if (!finite(s.thickness) || !(s.thickness > 0.0))
    throw std::invalid_argument("shell section: thickness must be positive and finite");
  if (!(s.poissonRatio > -1.0 && s.poissonRatio < 0.5))
    throw std::invalid_argument("shell section: Poisson's ratio must lie in (-1, 0.5)");
  if (!finite(s.density) || !(s.density >= 0.0))
    throw std::invalid_argument("shell section: density must be finite and not negative");
}

double ShellShearModulus(const ShellSection& s) { return s.youngsModulus / (2.0 * (1.0 + s.poissonRatio)); }

Eigen::Matrix3d PlaneStressMatrix(const ShellSection& s) {
  const double nu = s.poissonRatio;
  const double factor = s.youngsModulus / (1.0 - nu * nu);
  Eigen::Matrix3d c;
  c << 1.0, nu, 0.0, nu, 1.0, 0.0, 0.0, 0.0, 0.5 * (1.0 - nu);
  return factor * c;
}

Eigen::Matrix3d MembraneRigidity(const ShellSection& s) { return s.thickness * PlaneStressMatrix(s); }

Eigen::Matrix3d BendingRigidity(const ShellSection& s) {
  return (s.thickness * s.thickness * s.thickness / 12.0) * PlaneStressMatrix(s);
}

Eigen::Matrix2d TransverseShearRigidity(const ShellSection& s) {
  return (5.0 / 6.0) * ShellShearModulus(s) * s.thickness * Eigen::Matrix2d::Identity();
}

}  // namespace Kestrum::Quilm::Solver::Native
