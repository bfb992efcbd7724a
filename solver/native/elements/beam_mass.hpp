// Mass matrices of the two-node beam in its local axes.
// Source: Przemieniecki, Theory of Matrix Structural Analysis (1968), ch. 11
// (consistent mass of the prismatic beam from its displacement functions).
#pragma once

#include "solver/native/elements/beam_types.hpp"

namespace Kestrum::Quilm::Solver::Native {

enum class BeamMassForm { Consistent, Lumped };

// 12x12 local mass of a member of length L and density rho, using A, Iy, Iz
// of `section`. Consistent: linear axial and cubic Hermite transverse shape
// functions on rho A, torsional rotary inertia rho (Iy + Iz) L/3 (L/6
// coupling). Lumped (diagonal): rho A L/2 per end on each translation, and
// the half-member's rotary inertia rho (Iy + Iz) L/2, rho Iy L/2, rho Iz L/2
// on rx, ry, rz. End releases do not change the mass.
Matrix12 BeamMassMatrix(const BeamSectionProperties& section, double L, double rho, BeamMassForm form);

}  // namespace Kestrum::Quilm::Solver::Native
