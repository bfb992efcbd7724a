// The deck's materials and section data: the material of each element, beam
// sections mapped to the solver's section types, shell thicknesses, the
// stiff arms' section and material, and the element groups that share them.
#include "solver/ccx/ccx_export_internal.hpp"

namespace Kestrum::Quilm::Solver::detail {

// The material of an element, or null after recording why not. Each
// material is fetched from the model once; the model does not change while
// it is exported.
const qlMaterial* SolverModelReader::MaterialOf(long elementId, long materialId) {
  if (materialId <= 0) {
    problems_.Add("elements without a material", ElementLabel(elementId), false);
    return nullptr;
  }
  if (auto known = materials_.find(materialId); known != materials_.end()) return &known->second;
  auto material = model_.Materials().GetMaterial(materialId);
  if (!material || !material->GetMaterial()) {
    problems_.Add("elements referring to a missing material", ElementLabel(elementId), false);
    return nullptr;
  }
  return &materials_.emplace(materialId, *material->GetMaterial()).first->second;
}

// The section table's row `sectionId`, null for none; fetched once per id.
const AnalysisModel::XafSection* SolverModelReader::SectionRowOf(long sectionId) {
  if (sectionId <= 0) return nullptr;
  auto row = sectionRows_.find(sectionId);
  if (row == sectionRows_.end())
    row = sectionRows_.emplace(sectionId, model_.Sections().GetSection(sectionId)).first;
  return row->second.get();
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

// The group of beams with this element type (B32R when quadratic, else
// B31), section, material and section axis, created on first use. Groups
// are told apart by the axis as the deck writes it.
ElementGroup& SolverModelReader::BeamGroup(bool quadratic, long sectionId, long materialId,
                                           const SolverBeamSection& mapped, const vec3d& n1) {
  GroupChoice& last = lastBeamGroup_;
  if (last.group && last.quadratic == quadratic && last.section == sectionId && last.material == materialId &&
      last.axis.x == n1.x && last.axis.y == n1.y && last.axis.z == n1.z)
    return *last.group;
  // Groups met before, by exactly what chose them: beams of two or three
  // directions often alternate, and the key below takes formatting.
  const auto choice = std::make_tuple(quadratic, sectionId, materialId, n1.x, n1.y, n1.z);
  if (const auto known = beamGroupsByChoice_.find(choice); known != beamGroupsByChoice_.end()) {
    last = {quadratic, sectionId, materialId, n1, 0.0, known->second};
    return *known->second;
  }
  const char* type = quadratic ? "B32R" : "B31";
  // type|section|material|x, y, z, built in a buffer kept for it
  std::string& key = groupKey_;
  key.assign(type);
  for (long id : {sectionId, materialId}) {
    key += '|';
    key += std::to_string(id);
  }
  key += '|';
  for (double component : {n1.x, n1.y, n1.z}) {
    char number[kNumberBufferSize];
    key.append(number, FormatNumberTo(number, component, "value"));
    key += ", ";
  }
  key.resize(key.size() - 2);
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
  last = {quadratic, sectionId, materialId, n1, 0.0, &group->second};
  beamGroupsByChoice_.emplace(choice, &group->second);
  return group->second;
}

// The group of shells with this thickness section and material, created on
// first use.
ElementGroup& SolverModelReader::ShellGroup(long sectionId, long materialId, double thickness) {
  GroupChoice& last = lastShellGroup_;
  if (last.group && last.section == sectionId && last.material == materialId) return *last.group;
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
  last.section = sectionId;
  last.material = materialId;
  last.group = &group->second;
  return group->second;
}

// The group of stiff arms along a unit direction with this square section
// size, created on first use.
ElementGroup& SolverModelReader::ArmGroup(const vec3d& direction, double armSize) {
  GroupChoice& last = lastArmGroup_;
  if (last.group && last.size == armSize && last.axis.x == direction.x && last.axis.y == direction.y &&
      last.axis.z == direction.z)
    return *last.group;
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
  last.axis = direction;
  last.size = armSize;
  last.group = &group->second;
  return group->second;
}

// The materials the exported elements use, and the arms' modulus: the
// stiffest beam's times the arm factor.
void SolverModelReader::FinishMaterials() {
  solver_.materials = std::move(materials_);
  if (!armGroups_.empty()) solver_.armModulus = maxBeamModulus_ * options_.armStiffnessFactor;
}

}  // namespace Kestrum::Quilm::Solver::detail
