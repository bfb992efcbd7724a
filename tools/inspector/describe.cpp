// Readable descriptions of model records.
#include "describe.hpp"

#include "quantity.hpp"

namespace quilm_inspect {

namespace {

using quilm_tools::Number;
using quilm_tools::Plain;
using quilm_tools::Si;
using quilm_tools::Triple;

std::string Vector(const vec3d& v, const std::string& unit) { return Triple(v.x, v.y, v.z, unit); }

}  // namespace

std::string DescribeMaterial(const qlMaterial& m) {
  return "E " + Si(m.YoungsModulus(), "Pa") + ", ν " + Number(m.PoissonsRatio()) + ", ρ " +
         Plain(m.Density(), "kg/m³") + ", α " + Plain(m.ThermalExpansion(), "1/K") + ", damping " +
         Number(m.DampingRatio() * 100) + " %";
}

std::string DescribeSection(const qlSection& s) {
  auto mm = [&s](int i) { return Si(s.Dimension(i), "m"); };
  switch (s.GetKind()) {
    case qlSection::Kind::Pipe:
      return "pipe d " + mm(0) + ", t " + mm(1);
    case qlSection::Kind::IProfile:
      return "I-profile h " + mm(0) + ", b " + mm(1) + ", tw " + mm(2) + ", tf " + mm(3);
    case qlSection::Kind::Box:
      return "box h " + mm(0) + ", b " + mm(1) + ", tw " + mm(2) + ", tf " + mm(3);
    case qlSection::Kind::Rectangle:
      return "rectangle h " + mm(0) + ", b " + mm(1);
    case qlSection::Kind::General:
      break;
  }
  const qlSectionProperties& p = s.Properties();
  return "general A " + Plain(p.area, "m²") + ", Iy " + Plain(p.iy, "m⁴") + ", Iz " + Plain(p.iz, "m⁴") +
         ", It " + Plain(p.it, "m⁴");
}

std::string DescribeLoad(const am::LoadEntry& entry) {
  const am::Load& record = *entry.record;
  if (const auto* point = dynamic_cast<const am::PointLoad*>(&record)) {
    if (!point->HasPosition()) return "(no values)";
    if (entry.kind == am::LoadKind::NodeAcceleration) return Vector(point->Force(), "m/s²");
    std::string text = "force " + Vector(point->Force(), "N");
    const vec3d m = point->Moment();
    if (m.x != 0 || m.y != 0 || m.z != 0) text += ", moment " + Vector(m, "N·m");
    return text;
  }
  if (const auto* line = dynamic_cast<const am::LineLoad*>(&record)) {
    const vec3d &a = line->Start(), &b = line->End();
    if (a.x == b.x && a.y == b.y && a.z == b.z) return Vector(a, "N/m") + " uniform";
    return Vector(a, "N/m") + " to " + Vector(b, "N/m");
  }
  if (const auto* surface = dynamic_cast<const am::SurfaceLoad*>(&record))
    return "pressure " + Si(surface->Pressure(), "N/m²");
  if (const auto* strain = dynamic_cast<const am::InitialStrainLoad*>(&record))
    return "strain " + Number(strain->Strain());
  return record.Describe();
}

std::string DescribePosition(const pos3d& p) { return Triple(p.x, p.y, p.z, "m"); }

std::string DescribeMass(const am::Mass& m) {
  return "translational " + Triple(m.Translational(0), m.Translational(1), m.Translational(2), "kg") +
         ", rotational " + Triple(m.Rotational(0), m.Rotational(1), m.Rotational(2), "kg·m²");
}

}  // namespace quilm_inspect
