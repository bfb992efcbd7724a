// The host's model session: creating the mirror objects and the first write.
#include "frame_host.hpp"

#include <algorithm>

#include "report.hpp"

namespace frame_host {

FrameHost::FrameHost(const FrameSize& size, const std::string& fileName, std::ostream* progress)
    : concept_(BuildConceptModel(size)), model_(fileName), progress_(progress), loadManager_(model_) {}

FrameHost::~FrameHost() = default;

std::string FrameHost::NodeName(const std::string& conceptName, const char* prefix, unsigned number) const {
  return model_.MangleName(conceptName, false, prefix, number);
}

void FrameHost::BuildMesh() {
  mesh_ = MeshConceptModel(concept_, *model_.GetXafModel(), progress_);
  CreateMirrors();
}

void FrameHost::CreateMirrors() {
  for (std::size_t i = 0; i < concept_.materials.size(); ++i)
    properties_.materials.push_back(new HostMaterial(concept_, i));
  for (std::size_t i = 0; i < concept_.sections.size(); ++i)
    properties_.sections.push_back(new HostSection(concept_, i));
  for (std::size_t i = 0; i < concept_.thicknesses.size(); ++i)
    properties_.thicknesses.push_back(new HostThickness(concept_, i));

  structure_ =
      new HostStructure("Frame " + std::to_string(concept_.size.bays) + "x" +
                        std::to_string(concept_.size.bays) + "x" + std::to_string(concept_.size.storeys));
  for (std::size_t b = 0; b < concept_.beams.size(); ++b) {
    boost::intrusive_ptr<HostBeam> beam(new HostBeam(concept_, b, structure_));
    for (std::size_t s = 0; s < concept_.beams[b].segments.size(); ++s) {
      boost::intrusive_ptr<HostSegment> segment(new HostSegment(concept_, properties_, b, s, *beam));
      for (long element : mesh_.segmentElements[b][s]) segment->AddElement(element);
      beam->AddSegment(segment);
    }
    beams_.push_back(beam);
  }
  for (std::size_t d = 0; d < concept_.decks.size(); ++d) {
    boost::intrusive_ptr<HostPlate> plate(new HostPlate(concept_, properties_, d));
    for (long element : mesh_.deckElements[d]) plate->AddElement(element);
    plates_.push_back(plate);
    deckConcepts_.push_back(new HostDeck(concept_.decks[d].name, structure_));
  }
  unsigned number = 0;
  for (const NodePointDef& j : concept_.joints) {
    boost::intrusive_ptr<HostJoint> joint(new HostJoint(NodeName(j.name, "J", ++number)));
    joint->SetNode(mesh_.NodeAt(j.at));
    joints_.push_back(joint);
  }
  number = 0;
  for (const NodePointDef& s : concept_.supports) {
    boost::intrusive_ptr<HostSupportPoint> support(new HostSupportPoint(NodeName(s.name, "S", ++number)));
    support->SetNode(mesh_.NodeAt(s.at));
    supports_.push_back(support);
    fixedBases_.push_back(new HostFixedBase(support));
  }
  bracingSet_ = new HostBracingSet(concept_, beams_);
  for (std::size_t e = 0; e < concept_.equipment.size(); ++e) {
    boost::intrusive_ptr<HostPointMass> mass(new HostPointMass(concept_, e));
    mass->SetNode(mesh_.NodeAt(concept_.equipment[e].at));
    pointMasses_.push_back(mass);
    equipmentLoads_.push_back(new HostEquipmentLoad(concept_, mesh_, e));
  }
  for (const LoadCaseDef& c : concept_.loadCases) loadCases_.push_back(new HostLoadCase(concept_, c.kind));
  for (const auto& plate : plates_) loads_.push_back(new HostDeckPressureLoad(concept_, plate));
  for (const auto& beam : beams_)
    if (beam->Definition().kind == MemberKind::Column && beam->Definition().start.ix == 0)
      loads_.push_back(new HostWindLoad(concept_, beam));
}

void FrameHost::WriteAll() {
  WriteProperties();
  WriteMembers();
  WriteConcepts();
  WriteLoads();
}

namespace {

// The mirrors in their meshing order, the order in which the host writes a
// property table so that its ids follow that order.
template <class Mirror>
std::vector<Mirror*> InMeshingOrder(const std::vector<boost::intrusive_ptr<Mirror>>& mirrors) {
  std::vector<Mirror*> ordered;
  for (const auto& m : mirrors) ordered.push_back(m.get());
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const Mirror* a, const Mirror* b) { return a->MeshBefore(b); });
  return ordered;
}

}  // namespace

// Properties first: elements receive the ids the property mirrors hold.
void FrameHost::WriteProperties() {
  for (HostMaterial* m : InMeshingOrder(properties_.materials)) m->Write(model_);
  for (HostSection* s : InMeshingOrder(properties_.sections)) s->Write(model_);
  for (HostThickness* t : InMeshingOrder(properties_.thicknesses)) t->Write(model_);
}

void FrameHost::WriteMembers() {
  std::size_t total = 0;
  for (const auto& b : beams_) total += b->GetElements().size();
  for (const auto& p : plates_) total += p->GetElements().size();
  Progress progress(progress_, "writing beams and plates", total);
  for (const auto& beam : beams_) {
    beam->Write(model_);
    std::size_t n = 0;
    for (unsigned s = 0; s < beam->GetSegmentCount(); ++s) n += beam->GetSegment(s)->GetElements().size();
    progress.Advance(n);
  }
  for (const auto& plate : plates_) {
    plate->Write(model_);
    progress.Advance(plate->GetElements().size());
  }
  progress.Done();
  // The set and the point masses refer to elements and nodes, which exist now.
  bracingSet_->Write(model_);
  for (const auto& m : pointMasses_) m->Write(model_);
}

// Concepts register their parents first (the structure before its beams,
// beams before their segments); segments and decks record their elements,
// joints and supports name their nodes.
void FrameHost::WriteConcepts() {
  auto& concepts = model_.GetXafModel()->StructureConcepts();
  structure_->WriteConcept(model_);
  for (const auto& beam : beams_) {
    beam->WriteConcept(model_);
    for (unsigned s = 0; s < beam->GetSegmentCount(); ++s) {
      const auto segment = beam->GetSegment(s);
      segment->WriteConcept(model_);
      // Its elements, so that results can be summarised per segment and beam.
      const auto& elements = segment->GetElements();
      concepts.SetConceptMembers(segment->GetConceptId(),
                                 {{}, std::vector<long>(elements.begin(), elements.end())});
    }
  }
  for (std::size_t d = 0; d < plates_.size(); ++d) {
    deckConcepts_[d]->WriteConcept(model_);
    const auto& elements = plates_[d]->GetElements();
    concepts.SetConceptMembers(deckConcepts_[d]->GetConceptId(),
                               {{}, std::vector<long>(elements.begin(), elements.end())});
  }
  for (const auto& joint : joints_) {
    joint->WriteConcept(model_);
    joint->Write(model_);
  }
  for (std::size_t i = 0; i < supports_.size(); ++i) {
    supports_[i]->WriteConcept(model_);
    supports_[i]->Write(model_);
    fixedBases_[i]->WriteConcept(model_);
    fixedBases_[i]->Apply(model_);
  }
}

void FrameHost::WriteLoads() {
  for (const auto& c : loadCases_) c->Write(model_);
  Progress progress(progress_, "writing loads", loads_.size() + equipmentLoads_.size(), 1000);
  for (const auto& load : loads_) {
    load->Write(model_);
    progress.Advance();
  }
  for (const auto& load : equipmentLoads_) {
    load->Write(model_);
    progress.Advance();
  }
  progress.Done();
  WriteRotationLoad();
}

void FrameHost::WriteRotationLoad() {
  const LoadCaseDef& c = concept_.LoadCase(LoadCaseKind::Rotation);
  // A rotation load is rebuilt as a whole: the load case is emptied first,
  // then its name and gravity are restored by the load case's own write.
  loadManager_.DeleteAllLoadsInLoadCase(c.id);
  LoadCaseMirror(LoadCaseKind::Rotation).Write(model_);
  const double half = 0.5 * concept_.bayWidth * concept_.size.bays;
  const double top = concept_.storeyHeight * concept_.size.storeys;
  // The axis runs vertically through the centre of the footprint.
  loadManager_.AddRigidBodyRotationLoad(c.id, pos3d(half, half, 0.0), pos3d(half, half, top), c.value,
                                        c.value2);
}

HostLoadCase& FrameHost::LoadCaseMirror(LoadCaseKind kind) {
  for (std::size_t i = 0; i < concept_.loadCases.size(); ++i)
    if (concept_.loadCases[i].kind == kind) return *loadCases_.at(i);
  throw std::logic_error("no load case of this kind");
}

std::size_t FrameHost::AddSection(const std::string& name, const qlSection& section) {
  concept_.sections.push_back({name, section});
  properties_.sections.push_back(new HostSection(concept_, concept_.sections.size() - 1));
  return concept_.sections.size() - 1;
}

void FrameHost::ForgetBeam(std::size_t beam) {
  concept_.beams.at(beam).deleted = true;
  beams_.erase(
      std::remove_if(beams_.begin(), beams_.end(), [&](const auto& b) { return b->Index() == beam; }),
      beams_.end());
}

}  // namespace frame_host
