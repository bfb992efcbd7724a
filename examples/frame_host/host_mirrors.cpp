// The host's answers to the mirror library's questions.
#include "host_mirrors.hpp"

#include <boost/make_shared.hpp>

namespace frame_host {

namespace {
constexpr double kStandardGravity = 9.81;  // m/s2, for equipment weights
}

boost::shared_ptr<qlMaterial> HostMaterial::GetMaterial() const {
  return boost::make_shared<qlMaterial>(concept_->materials.at(index_).material);
}

boost::shared_ptr<qlSection> HostSection::GetSection() const {
  return boost::make_shared<qlSection>(concept_->sections.at(index_).section);
}

boost::intrusive_ptr<mirror::IMirrorConcept> HostSegment::GetParentConcept() const {
  // The beam owns its segments, so it outlives every question asked of them.
  return const_cast<HostBeam*>(parent_);
}

// The section and material are those of the segment's concept; the position
// is not needed because a segment has one section along its length.
boost::intrusive_ptr<mirror::IMirrorSection> HostSegment::GetSection(const pos3d&) {
  return properties_->sections.at(Definition().section);
}

boost::intrusive_ptr<mirror::IMirrorMaterial> HostSegment::GetMaterial(const pos3d&) {
  return properties_->materials.at(Definition().material);
}

vec3d HostEccentricityCallback::GetEccentricity(const pos3d& position) {
  const BeamDef& beam = concept_->beams.at(beam_);
  return concept_->EccentricityAt(beam, position);
}

bool HostEccentricityCallback::GetConstantEccentricity(vec3d& eccentricity) {
  const EccentricityDef& def = concept_->beams.at(beam_).eccentricity;
  if (def.kind != EccentricityDef::Kind::Constant) return false;
  eccentricity = def.start;
  return true;
}

locsys3d HostLocalSystemCallback::GetLocalSystem(const pos3d& position) {
  return concept_->LocalSystemAt(concept_->beams.at(beam_), position);
}

mirror::ConceptType HostBeam::GetConceptType() const {
  switch (Definition().kind) {
    case MemberKind::Column:
      return {kBeamType, kColumnRole, 0};
    case MemberKind::Brace:
      return {kBeamType, kBraceRole, 0};
    default:
      return {kBeamType, kGirderRole, 0};
  }
}

boost::shared_ptr<mirror::IEccentricityCallback> HostBeam::GetEccentricityCallback() {
  if (Definition().eccentricity.kind == EccentricityDef::Kind::None) return {};
  return boost::make_shared<HostEccentricityCallback>(*concept_, beam_);
}

boost::shared_ptr<mirror::ILocalSystemCallback> HostBeam::GetLocalSystemCallback() {
  if (!Definition().localSystem.present) return {};
  return boost::make_shared<HostLocalSystemCallback>(*concept_, beam_);
}

boost::intrusive_ptr<mirror::IMirrorThickness> HostPlate::GetThickness(const pos3d&) {
  return properties_->thicknesses.at(concept_->decks.at(deck_).thickness);
}

boost::intrusive_ptr<mirror::IMirrorMaterial> HostPlate::GetMaterial(const pos3d&) {
  return properties_->materials.at(concept_->decks.at(deck_).material);
}

void HostFixedBase::Delete(mirror::IMirrorModel& model) {
  if (support_->GetNode() > 0)
    model.GetXafModel()->NodeProperties().RemoveBoundaryCondition(support_->GetNode());
}

void HostFixedBase::Apply(mirror::IMirrorModel& model) const {
  if (support_->GetNode() > 0)
    model.GetXafModel()->NodeProperties().SetBoundaryCondition(support_->GetNode(), mirror::Hinge());
}

boost::shared_ptr<mirror::EntitySet> HostBracingSet::GetEntitySet() const {
  auto set = boost::make_shared<mirror::EntitySet>();
  for (const auto& beam : *beams_)
    if (beam->Definition().kind == MemberKind::Brace && !beam->Definition().deleted)
      for (long element : beam->GetElements()) set->AddElement(element);
  return set;
}

boost::shared_ptr<mirror::Mass> HostPointMass::GetMass() const {
  return boost::make_shared<mirror::Mass>(concept_->equipment.at(equipment_).mass);
}

bool HostDeckPressureLoad::GetElements(std::list<long>& elements) {
  for (long element : deck_->GetElements()) elements.push_back(element);
  return !elements.empty();
}

boost::shared_ptr<mirror::Load> HostDeckPressureLoad::GetElementLoad(long) {
  return boost::make_shared<mirror::SurfaceLoad>(concept_->LoadCase(LoadCaseKind::DeckPressure).value);
}

bool HostWindLoad::GetElements(std::list<long>& elements) {
  elements = column_->GetElements();
  return !elements.empty();
}

boost::shared_ptr<mirror::Load> HostWindLoad::GetElementLoad(long) {
  return boost::make_shared<mirror::LineLoad>(vec3d(concept_->LoadCase(LoadCaseKind::Wind).value, 0, 0));
}

bool HostEquipmentLoad::GetElements(std::list<long>& elements) {
  const EquipmentDef& item = concept_->equipment.at(equipment_);
  const std::size_t roof = concept_->decks.size() - 1;
  for (long element : mesh_->DeckElementsAround(roof, item.at)) elements.push_back(element);
  return !elements.empty();
}

boost::shared_ptr<mirror::Load> HostEquipmentLoad::GetElementLoad(long) {
  const EquipmentDef& item = concept_->equipment.at(equipment_);
  return boost::make_shared<mirror::PointLoad>(concept_->Position(item.at),
                                               vec3d(0, 0, -item.mass * kStandardGravity), vec3d());
}

}  // namespace frame_host
