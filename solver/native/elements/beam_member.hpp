// The prismatic shear-flexible (Timoshenko) member with both ends rigidly
// attached: its exact stiffness and its exact fixed-end reactions, both by the
// force method on the cantilever clamped at the start.
// Source: Przemieniecki, Theory of Matrix Structural Analysis (1968), ch. 5
// (stiffness with shear deformation from the cantilever's flexibility).
#pragma once

#include "solver/native/elements/beam_span_loads.hpp"
#include "solver/native/elements/beam_types.hpp"

namespace Kestrum::Quilm::Solver::Native {

class PrismaticMember {
 public:
  // `section` must be valid (ValidateSection) and L positive.
  PrismaticMember(const BeamSectionProperties& section, double L);

  double Length() const { return L_; }
  const BeamSectionProperties& Section() const { return section_; }

  // 12x12 local stiffness, exact for the Timoshenko member (warping ignored).
  const Matrix12& Stiffness() const { return stiffness_; }

  // Forces the two clamps exert on the member under `loads` (local, 12): the
  // negated equivalent nodal loads. Exact: the cantilever's tip displacement
  // under the loads is integrated by complementary energy, then the tip is
  // clamped again.
  Vector12 FixedEndReactions(const BeamSpanLoads& loads) const;

 private:
  // Tip displacement of the start-clamped cantilever under the span loads.
  Vector6 CantileverTipDisplacement(const BeamSpanLoads& loads) const;
  // Section compliances 1/EA, 1/GAsy, 1/GAsz, 1/GIt, 1/EIy, 1/EIz.
  Vector6 Compliance() const;

  BeamSectionProperties section_;
  double L_;
  Matrix6 tipStiffness_;  // inverse of the cantilever's tip flexibility
  Matrix12 stiffness_;
};

}  // namespace Kestrum::Quilm::Solver::Native
