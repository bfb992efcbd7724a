// The beam element: the Timoshenko member behind its end springs.
#include "solver/native/elements/beam_element.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace Kestrum::Quilm::Solver::Native {

namespace {

PrismaticMember MakeMember(double L, const BeamSectionProperties& section) {
  if (!(L > 0.0) || !std::isfinite(L)) throw std::invalid_argument("beam element: length must be positive");
  ValidateSection(section);
  return PrismaticMember(section, L);
}

// Reference stiffness of each dof of one end (BeamDof order).
std::array<double, 6> ReferenceStiffness(const BeamSectionProperties& s, double L) {
  return {s.E * s.A / L,  3.0 * s.E * s.Iz / (L * L * L), 3.0 * s.E * s.Iy / (L * L * L),
          s.G * s.It / L, 3.0 * s.E * s.Iy / L,           3.0 * s.E * s.Iz / L};
}

}  // namespace

std::array<double, 12> EndSpringStiffness(const PrismaticMember& member, const BeamEndFixity& fixity) {
  const std::array<double, 6> reference = ReferenceStiffness(member.Section(), member.Length());
  std::array<double, 12> springs{};
  for (int i = 0; i < 12; ++i) {
    const double f = i < kEndOffset ? fixity.start[i] : fixity.end[i - kEndOffset];
    if (!(f >= 0.0 && f <= 1.0))
      throw std::invalid_argument("beam element: fixity factor of " + BeamDofName(i) + " outside [0, 1]");
    springs[i] = f == 1.0 ? std::numeric_limits<double>::infinity() : f / (1.0 - f) * reference[i % 6];
  }
  return springs;
}

BeamElement::BeamElement(double L, const BeamSectionProperties& section, const BeamEndFixity& fixity)
    : member_(MakeMember(L, section)),
      condensation_(member_.Stiffness(), EndSpringStiffness(member_, fixity)) {}

Vector12 BeamElement::EquivalentNodalLoads(const BeamSpanLoads& loads) const {
  ValidateSpanLoads(loads, Length());
  return -condensation_.NodeReactions(member_.FixedEndReactions(loads));
}

Vector12 BeamElement::EndForces(const Vector12& u, const BeamSpanLoads& loads) const {
  ValidateSpanLoads(loads, Length());
  return condensation_.EndForces(u, member_.FixedEndReactions(loads));
}

Vector6 BeamElement::SectionForces(const BeamStation& station, const Vector12& u,
                                   const BeamSpanLoads& loads) const {
  return SectionForcesAt(loads, Length(), EndForces(u, loads), station);
}

}  // namespace Kestrum::Quilm::Solver::Native
