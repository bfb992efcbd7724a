// The deck's materials and section data: the material of each element, beam
// sections mapped to the solver's section types, shell thicknesses, the
// stiff arms' section and material, and the element groups that share them.
#include "solver/ccx_export_internal.hpp"

namespace Kestrum::Quilm::Solver::detail {

// The material of an element, or nullopt after recording why not.
std::optional<qlMaterial> SolverModelReader::MaterialOf(long elementId, long materialId) {
  if (materialId <= 0) {
    problems_.Add("elements without a material", ElementLabel(elementId), false);
    return std::nullopt;
  }
  auto material = model_.Materials().GetMaterial(materialId);
  if (!material || !material->GetMaterial()) {
    problems_.Add("elements referring to a missing material", ElementLabel(elementId), false);
    return std::nullopt;
  }
  materials_.emplace(materialId, *material->GetMaterial());
  return *material->GetMaterial();
}

// The solver's form of a beam section, mapped once per section; nullptr
// after recording why the section cannot be written.
const SolverBeamSection* SolverModelReader::BeamSectionOf(long elementId, long sectionId,
                                                          const qlSection& section) {
  auto mapped = sections_.find(sectionId);
  if (mapped == sections_.end()) {
    try {
      mapped = sections_.emplace(sectionId, MapBeamSection(section, options_.allowEquivalentSections)).first;
      if (!mapped->second.note.empty()) deck_->notes.push_back(mapped->second.note);
    } catch (const ExportError& e) {
      problems_.Add(std::string(e.what()), ElementLabel(elementId), false);
      return nullptr;
    }
  }
  return &mapped->second;
}

// The group of beams with this element type, section, material and section
// axis, created on first use.
ElementGroup& SolverModelReader::BeamGroup(const std::string& type, long sectionId, long materialId,
                                           const SolverBeamSection& mapped, const vec3d& n1) {
  const std::string key =
      type + "|" + std::to_string(sectionId) + "|" + std::to_string(materialId) + "|" + VecKey(n1);
  auto group = beamGroups_.find(key);
  if (group == beamGroups_.end()) {
    ElementGroup g;
    g.name = "B" + std::to_string(beamGroups_.size() + 1);
    g.type = type;
    g.section.kind = SectionCard::Kind::Beam;
    g.section.material = "M" + std::to_string(materialId);
    g.section.sectionType = mapped.sectionType;
    g.section.dimensions = mapped.dimensions;
    g.section.axis = n1;
    group = beamGroups_.emplace(key, g).first;
  }
  return group->second;
}

// The group of shells with this thickness section and material, created on
// first use.
ElementGroup& SolverModelReader::ShellGroup(long sectionId, long materialId, double thickness) {
  const std::string type = "S8R";
  const std::string key = type + "|" + std::to_string(sectionId) + "|" + std::to_string(materialId);
  auto group = shellGroups_.find(key);
  if (group == shellGroups_.end()) {
    ElementGroup g;
    g.name = "P" + std::to_string(shellGroups_.size() + 1);
    g.type = type;
    g.section.kind = SectionCard::Kind::Shell;
    g.section.material = "M" + std::to_string(materialId);
    g.section.thickness = thickness;
    group = shellGroups_.emplace(key, g).first;
  }
  return group->second;
}

// The group of stiff arms along a unit direction with this square section
// size, created on first use.
ElementGroup& SolverModelReader::ArmGroup(const vec3d& direction, double armSize) {
  const std::string size = FormatNumber(armSize, "an arm size");
  const vec3d axis = AnyPerpendicular(direction);
  const std::string key2 = VecKey(axis) + "|" + size;
  auto group = armGroups_.find(key2);
  if (group == armGroups_.end()) {
    ElementGroup g;
    g.name = "ARM" + std::to_string(armGroups_.size() + 1);
    g.type = "B31";
    g.section.kind = SectionCard::Kind::Beam;
    g.section.material = "MARM";
    g.section.sectionType = "RECT";
    g.section.dimensions = size + ", " + size;
    g.section.axis = axis;
    group = armGroups_.emplace(key2, g).first;
  }
  return group->second;
}

// The materials the exported elements use, and the arms' modulus: the
// stiffest beam's times the arm factor.
void SolverModelReader::FinishMaterials() {
  solver_.materials = std::move(materials_);
  if (!armGroups_.empty()) solver_.armModulus = maxBeamModulus_ * options_.armStiffnessFactor;
}

}  // namespace Kestrum::Quilm::Solver::detail
