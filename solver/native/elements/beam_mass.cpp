// Consistent and lumped beam mass matrices.
#include "solver/native/elements/beam_mass.hpp"

#include <array>

namespace Kestrum::Quilm::Solver::Native {

namespace {

// Adds the 2x2 bar mass (m/6) [2 1; 1 2] on dof `dof` of both ends.
void AddBarMass(Matrix12& mass, int dof, double m) {
  mass(dof, dof) += m / 3.0;
  mass(dof + kEndOffset, dof + kEndOffset) += m / 3.0;
  mass(dof, dof + kEndOffset) += m / 6.0;
  mass(dof + kEndOffset, dof) += m / 6.0;
}

// Adds the Hermite bending mass on (w1, theta1, w2, theta2) with theta =
// sign * dw/dx: sign +1 for (uy, rz), -1 for (uz, ry).
void AddBendingMass(Matrix12& mass, int w, int theta, double sign, double m, double L) {
  const double s = sign * L;
  const double block[4][4] = {{156.0, 22.0 * s, 54.0, -13.0 * s},
                              {22.0 * s, 4.0 * L * L, 13.0 * s, -3.0 * L * L},
                              {54.0, 13.0 * s, 156.0, -22.0 * s},
                              {-13.0 * s, -3.0 * L * L, -22.0 * s, 4.0 * L * L}};
  const std::array<int, 4> dofs{w, theta, w + kEndOffset, theta + kEndOffset};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) mass(dofs[i], dofs[j]) += m / 420.0 * block[i][j];
}

}  // namespace

Matrix12 BeamMassMatrix(const BeamSectionProperties& section, double L, double rho, BeamMassForm form) {
  const double m = rho * section.A * L, polar = rho * (section.Iy + section.Iz) * L;
  Matrix12 mass = Matrix12::Zero();
  if (form == BeamMassForm::Lumped) {
    Vector6 end;
    end << m / 2.0, m / 2.0, m / 2.0, polar / 2.0, rho * section.Iy * L / 2.0, rho * section.Iz * L / 2.0;
    mass.diagonal() << end, end;
    return mass;
  }
  AddBarMass(mass, kUx, m);
  AddBarMass(mass, kRx, polar);
  AddBendingMass(mass, kUy, kRz, 1.0, m, L);
  AddBendingMass(mass, kUz, kRy, -1.0, m, L);
  return mass;
}

}  // namespace Kestrum::Quilm::Solver::Native
