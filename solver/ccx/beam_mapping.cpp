// Cross-section and section-axis mapping for solver beams.
#include "solver/ccx/beam_mapping.hpp"

#include <algorithm>
#include <cmath>

#include "solver/ccx/deck_format.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

void RequirePositive(double value, const char* what, const qlSection& section) {
  if (!(value > 0.0) || !std::isfinite(value)) {
    throw ExportError(std::string("section ") + section.Describe() + ": " + what + " must be positive");
  }
}

std::string Join(std::initializer_list<double> values) {
  std::string out;
  for (double v : values) {
    if (!out.empty()) out += ", ";
    out += FormatNumber(v, "a section dimension");
  }
  return out;
}

SolverBeamSection Box(const qlSection& section, double h, double b, double sideWall, double flange) {
  RequirePositive(h, "the height", section);
  RequirePositive(b, "the width", section);
  RequirePositive(sideWall, "the side wall thickness", section);
  RequirePositive(flange, "the flange thickness", section);
  if (2.0 * sideWall >= b || 2.0 * flange >= h) {
    throw ExportError("section " + section.Describe() + ": the walls fill the section; use a rectangle");
  }
  SolverBeamSection out;
  out.sectionType = "BOX";
  // Walls t1..t4: t1 and t3 are normal to n1 (the side walls at +-b/2), t2
  // and t4 normal to n2 (the flanges at +-h/2).
  out.dimensions = Join({b, h, sideWall, flange, sideWall, flange});
  out.needsQuadratic = true;
  out.width1 = b;
  out.width2 = h;
  out.wall1 = sideWall;
  out.wall2 = flange;
  out.area = b * h - (b - 2.0 * sideWall) * (h - 2.0 * flange);
  out.outerSize = std::max(h, b);
  return out;
}

SolverBeamSection Rect(const qlSection& section, double h, double b) {
  RequirePositive(h, "the height", section);
  RequirePositive(b, "the width", section);
  SolverBeamSection out;
  out.sectionType = "RECT";
  out.dimensions = Join({b, h});  // along n1 (local y), then along n2 (local z)
  out.width1 = b;
  out.width2 = h;
  out.area = b * h;
  out.outerSize = std::max(h, b);
  return out;
}

}  // namespace

SolverBeamSection MapBeamSection(const qlSection& section, bool allowEquivalent) {
  switch (section.GetKind()) {
    case qlSection::Kind::Rectangle:
      return Rect(section, section.Dimension(0), section.Dimension(1));
    case qlSection::Kind::Pipe: {
      const double d = section.Dimension(0), t = section.Dimension(1);
      RequirePositive(d, "the diameter", section);
      RequirePositive(t, "the wall thickness", section);
      if (2.0 * t > d) throw ExportError("section " + section.Describe() + ": wall thicker than the radius");
      SolverBeamSection out;
      out.sectionType = "PIPE";
      out.dimensions = Join({d / 2.0, t});
      out.needsQuadratic = true;
      out.width1 = out.width2 = d;
      out.wall1 = t;
      constexpr double kPi = 3.14159265358979323846;
      out.area = kPi * t * (d - t);
      out.outerSize = d;
      return out;
    }
    case qlSection::Kind::Box:
      return Box(section, section.Dimension(0), section.Dimension(1), section.Dimension(2),
                 section.Dimension(3));
    case qlSection::Kind::IProfile: {
      if (!allowEquivalent) {
        throw ExportError("section " + section.Describe() +
                          ": the solver has no I-profile section (allow equivalent sections to export "
                          "it as a box of equal area and Iy)");
      }
      const double h = section.Dimension(0), b = section.Dimension(1);
      const double tw = section.Dimension(2), tf = section.Dimension(3);
      SolverBeamSection out = Box(section, h, b, tw / 2.0, tf);
      out.note = "I-profile " + section.Describe() +
                 " exported as a box with two side walls of half the web thickness: area and Iy are "
                 "exact, Iz and the torsion constant are larger";
      return out;
    }
    case qlSection::Kind::General: {
      const auto& p = section.Properties();
      if (!allowEquivalent) {
        throw ExportError("section " + section.Describe() +
                          ": the solver has no section given by properties alone (allow equivalent "
                          "sections to export it as a rectangle of equal Iy and Iz)");
      }
      RequirePositive(p.iy, "Iy", section);
      RequirePositive(p.iz, "Iz", section);
      // b h^3 / 12 = Iy and h b^3 / 12 = Iz give h / b = sqrt(Iy / Iz).
      const double ratio = std::sqrt(p.iy / p.iz);
      const double b = std::pow(12.0 * p.iy / (ratio * ratio * ratio), 0.25);
      const double h = ratio * b;
      SolverBeamSection out = Rect(section, h, b);
      out.note = "section " + section.Describe() + " exported as a " + FormatNumber(h) + " x " +
                 FormatNumber(b) + " rectangle of equal Iy and Iz; its area is " + FormatNumber(h * b) +
                 " instead of " + FormatNumber(p.area);
      return out;
    }
  }
  throw ExportError("section " + section.Describe() + ": unknown section kind");
}

vec3d SectionAxisN1(const vec3d& tangent, const vec3d& zAxis) {
  vec3d z = zAxis;
  if (isZero(z)) {
    z = std::abs(tangent.z) > 1.0 - 1e-9 ? vec3d(1.0, 0.0, 0.0) : vec3d(0.0, 0.0, 1.0);
  }
  const double length = z.length();
  vec3d perpendicular = z - tangent * tangent.dot(z);
  if (!(perpendicular.length() > 1e-6 * length)) {
    throw ExportError("the local z axis is parallel to the element");
  }
  vec3d n1 = perpendicular.cross(tangent);  // local y = z x x
  return n1.normalise();
}

vec3d AnyPerpendicular(const vec3d& direction) {
  const double ax = std::abs(direction.x), ay = std::abs(direction.y), az = std::abs(direction.z);
  vec3d axis = (ax <= ay && ax <= az) ? vec3d(1, 0, 0) : (ay <= az ? vec3d(0, 1, 0) : vec3d(0, 0, 1));
  vec3d n = direction.cross(axis);
  return n.normalise();
}

}  // namespace Kestrum::Quilm::Solver
