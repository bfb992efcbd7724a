// Geometric stiffness of the 3D beam (McGuire, Gallagher & Ziemian eq. 9.18).
#include "solver/native/elements/beam_geometric.hpp"

#include <array>
#include <cmath>
#include <stdexcept>

namespace Kestrum::Quilm::Solver::Native {

namespace {

constexpr int kStart = 0, kEnd = kEndOffset;

void RequirePositiveLength(double L) {
  if (!(L > 0.0) || !std::isfinite(L))
    throw std::invalid_argument("beam geometric stiffness: length must be positive");
}

// Adds `value` at (i, j) and, off the diagonal, at (j, i).
void AddSymmetric(Matrix12& k, int i, int j, double value) {
  k(i, j) += value;
  if (i != j) k(j, i) += value;
}

// Axial force on the axial dofs (N/L bar) and on the twist (N Ip/(A L)).
void AddAxialAndTwist(Matrix12& k, double N, double L, double polarRadiusSquared) {
  for (const auto& [dof, value] : {std::pair{kUx, N / L}, std::pair{kRx, N * polarRadiusSquared / L}}) {
    AddSymmetric(k, kStart + dof, kStart + dof, value);
    AddSymmetric(k, kEnd + dof, kEnd + dof, value);
    AddSymmetric(k, kStart + dof, kEnd + dof, -value);
  }
}

// Consistent cubic-Hermite term of N on (w1, theta1, w2, theta2) with
// theta = sign * dw/dx: +1 for (uy, rz), -1 for (uz, ry).
void AddBendingUnderAxialForce(Matrix12& k, int w, int theta, double sign, double N, double L) {
  const double s = sign * L;
  const double block[4][4] = {{36.0, 3.0 * s, -36.0, 3.0 * s},
                              {3.0 * s, 4.0 * L * L, -3.0 * s, -L * L},
                              {-36.0, -3.0 * s, 36.0, -3.0 * s},
                              {3.0 * s, -L * L, -3.0 * s, 4.0 * L * L}};
  const std::array<int, 4> dofs{kStart + w, kStart + theta, kEnd + w, kEnd + theta};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) k(dofs[i], dofs[j]) += N / (30.0 * L) * block[i][j];
}

// End moments coupling the twist with the transverse translations and the
// bending rotations; m1, m2 are the end-force moments about the axis of
// `rotation` (ry or rz), `translation` the dof they bend (uy for My, uz for
// Mz), `sign` +1 for My and -1 for Mz.
void AddEndMomentTerms(Matrix12& k, int translation, int rotation, double sign, double m1, double m2,
                       double L) {
  AddSymmetric(k, kStart + translation, kStart + kRx, m1 / L);
  AddSymmetric(k, kStart + translation, kEnd + kRx, m2 / L);
  AddSymmetric(k, kEnd + translation, kStart + kRx, -m1 / L);
  AddSymmetric(k, kEnd + translation, kEnd + kRx, -m2 / L);
  // The twist couples with the rotation about the other section axis.
  const int other = rotation == kRy ? kRz : kRy;
  AddSymmetric(k, kStart + kRx, kStart + other, sign * (2.0 * m1 - m2) / 6.0);
  AddSymmetric(k, kStart + kRx, kEnd + other, sign * (m1 + m2) / 6.0);
  AddSymmetric(k, kEnd + kRx, kStart + other, sign * (m1 + m2) / 6.0);
  AddSymmetric(k, kEnd + kRx, kEnd + other, sign * (2.0 * m2 - m1) / 6.0);
}

// Torque T coupling the two bending planes.
void AddTorqueTerms(Matrix12& k, double T, double L) {
  for (const auto& [translation, rotation] : {std::pair{kUy, kRy}, std::pair{kUz, kRz}}) {
    AddSymmetric(k, kStart + translation, kStart + rotation, T / L);
    AddSymmetric(k, kStart + translation, kEnd + rotation, -T / L);
    AddSymmetric(k, kEnd + translation, kStart + rotation, -T / L);
    AddSymmetric(k, kEnd + translation, kEnd + rotation, T / L);
  }
  AddSymmetric(k, kStart + kRy, kEnd + kRz, T / 2.0);
  AddSymmetric(k, kStart + kRz, kEnd + kRy, -T / 2.0);
}

}  // namespace

BeamPrestress BeamPrestressFromEndForces(const Vector12& f) {
  BeamPrestress p;
  p.N = 0.5 * (f(kEnd + kUx) - f(kStart + kUx));
  p.T = 0.5 * (f(kEnd + kRx) - f(kStart + kRx));
  p.startMy = f(kStart + kRy);
  p.startMz = f(kStart + kRz);
  p.endMy = f(kEnd + kRy);
  p.endMz = f(kEnd + kRz);
  return p;
}

Matrix12 BeamGeometricStiffness(const BeamSectionProperties& section, double L, const BeamPrestress& p) {
  RequirePositiveLength(L);
  if (!(section.A > 0.0)) throw std::invalid_argument("beam geometric stiffness: area must be positive");
  Matrix12 k = Matrix12::Zero();
  AddAxialAndTwist(k, p.N, L, (section.Iy + section.Iz) / section.A);
  AddBendingUnderAxialForce(k, kUy, kRz, 1.0, p.N, L);
  AddBendingUnderAxialForce(k, kUz, kRy, -1.0, p.N, L);
  // End moments about y couple the twist with uy and rz, those about z with
  // uz and ry.
  AddEndMomentTerms(k, kUy, kRy, 1.0, p.startMy, p.endMy, L);
  AddEndMomentTerms(k, kUz, kRz, -1.0, p.startMz, p.endMz, L);
  AddTorqueTerms(k, p.T, L);
  return k;
}

Matrix12 CondenseGeometricStiffness(const Matrix12& memberGeometric, double L,
                                    const BeamSectionProperties& section, const BeamEndFixity& fixity) {
  RequirePositiveLength(L);
  ValidateSection(section);
  const PrismaticMember member(section, L);
  const BeamEndCondensation condensation(member.Stiffness(), EndSpringStiffness(member, fixity));
  // NodeReactions(r) = C^T r, so C^T column by column.
  Matrix12 followTransposed;
  for (int j = 0; j < 12; ++j) followTransposed.col(j) = condensation.NodeReactions(Vector12::Unit(j));
  const Matrix12 k = followTransposed * memberGeometric * followTransposed.transpose();
  return 0.5 * (k + k.transpose());
}

}  // namespace Kestrum::Quilm::Solver::Native
