// The two-node 3D beam element in its local axes: x along the member from
// its start to its end over the flexible length L, y and z the section axes.
// 12 local dofs, start (ux, uy, uz, rx, ry, rz) then end. The member is the
// exact prismatic Timoshenko member (beam_member.hpp); each end dof may be
// released or partially fixed by a spring in series between node and member
// end, condensed statically (beam_end_springs.hpp) for the stiffness, the
// equivalent nodal loads and the recovery alike.
// Source: partial fixity after Monforton & Wu, "Matrix analysis of
// semi-rigidly connected frames", J. Struct. Div. ASCE 89(ST6), 1963.
#pragma once

#include <array>

#include "solver/native/elements/beam_end_springs.hpp"
#include "solver/native/elements/beam_member.hpp"
#include "solver/native/elements/beam_section_forces.hpp"
#include "solver/native/elements/beam_span_loads.hpp"
#include "solver/native/elements/beam_types.hpp"

namespace Kestrum::Quilm::Solver::Native {

// Fixity factor per local dof (BeamDof order) at each end: 1 rigidly
// connected, 0 released, between: a spring k = f/(1-f) k_ref with k_ref the
// member's reference stiffness for that dof: EA/L axial, 3EI/L^3 transverse
// translation, G It/L torsion, 3EI/L bending rotation (I = Iz for uy, rz;
// Iy for uz, ry). For a rotation, f is Monforton and Wu's fixity factor.
struct BeamEndFixity {
  std::array<double, 6> start{1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  std::array<double, 6> end{1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
};

class BeamElement {
 public:
  // Throws std::invalid_argument for L not positive, an invalid section
  // (ValidateSection), a fixity factor outside [0, 1], or releases that
  // leave the member a mechanism (the message names the dofs that move).
  BeamElement(double L, const BeamSectionProperties& section, const BeamEndFixity& fixity = {});

  double Length() const { return member_.Length(); }

  // Local stiffness in the node dofs, releases condensed (12x12, symmetric).
  const Matrix12& Stiffness() const { return condensation_.Stiffness(); }

  // Local nodal loads equivalent to `loads`: the negated fixed-end reactions
  // of the member with its releases. Throws for invalid loads.
  Vector12 EquivalentNodalLoads(const BeamSpanLoads& loads) const;

  // Forces on the member's ends (local, 12) for local node displacements
  // `u` (the ends of any rigid offsets) and the span loads.
  Vector12 EndForces(const Vector12& u, const BeamSpanLoads& loads) const;

  // Section forces (N, Vy, Vz, T, My, Mz; see beam_section_forces.hpp) at
  // `station`, for node displacements `u`. To sample many stations, compute
  // EndForces once and call SectionForcesAt / SectionForceExtremes.
  Vector6 SectionForces(const BeamStation& station, const Vector12& u, const BeamSpanLoads& loads) const;

 private:
  PrismaticMember member_;
  BeamEndCondensation condensation_;
};

// Series spring stiffness per member dof for `fixity` (+infinity where
// rigid). Throws std::invalid_argument for a factor outside [0, 1].
std::array<double, 12> EndSpringStiffness(const PrismaticMember& member, const BeamEndFixity& fixity);

}  // namespace Kestrum::Quilm::Solver::Native
