// The change session: each step marks only what it touches.
#include "change_session.hpp"

#include <stdexcept>

namespace frame_host {

namespace {

// The first beam of the first of the given kinds that the frame has.
HostBeam& FirstBeam(FrameHost& host, std::initializer_list<MemberKind> kinds) {
  for (MemberKind kind : kinds)
    for (const auto& beam : host.Beams())
      if (beam->Definition().kind == kind) return *beam;
  throw std::logic_error("the frame has no beam of the kind this change needs");
}

std::set<long> ElementsOf(const mirror::IMirrorSegment& segment) {
  return std::set<long>(segment.GetElements().begin(), segment.GetElements().end());
}

}  // namespace

ChangeRecord ChangeGirderSection(FrameHost& host) {
  HostBeam& girder = FirstBeam(host, {MemberKind::Girder, MemberKind::EdgeGirder, MemberKind::RoofGirder});
  const std::size_t span = girder.GetSegmentCount() == 3 ? 1 : 0;
  const std::size_t section = host.AddSection("IPE500", qlSection::IProfile(0.500, 0.200, 0.0102, 0.016));
  // The road of one change: write the new section, point the segment's
  // concept at it, mark the segment and let its beam write.
  host.Properties().sections.at(section)->Write(host.Model());
  host.Concept().beams.at(girder.Index()).segments.at(span).section = section;
  HostSegment& segment = girder.Segment(span);
  segment.SetSectionModified(true);
  girder.Write(host.Model());
  return {girder.GetName() + ": " + segment.GetName() + " now IPE500", ElementsOf(segment)};
}

ChangeRecord ChangeColumnEccentricity(FrameHost& host) {
  HostBeam* column = nullptr;
  for (const auto& beam : host.Beams()) {
    const BeamDef& def = beam->Definition();
    if (def.kind != MemberKind::Column || def.eccentricity.kind == EccentricityDef::Kind::None) continue;
    if (!column || def.eccentricity.kind == EccentricityDef::Kind::Constant) column = beam.get();
    if (def.eccentricity.kind == EccentricityDef::Kind::Constant) break;
  }
  if (!column) throw std::logic_error("the frame has no eccentric column");
  EccentricityDef& e = host.Concept().beams.at(column->Index()).eccentricity;
  e.start = e.start * 1.5;
  e.end = e.end * 1.5;
  column->SetEccentricityModified(true);
  column->Write(host.Model());
  const std::list<long> elements = column->GetElements();
  return {column->GetName() + ": eccentricity x1.5", std::set<long>(elements.begin(), elements.end())};
}

ChangeRecord DeleteBrace(FrameHost& host) {
  HostBeam& brace = FirstBeam(host, {MemberKind::Brace});
  const std::string name = brace.GetName();
  const std::list<long> elements = brace.GetElements();
  const std::size_t index = brace.Index();
  brace.Delete(host.Model());
  host.ForgetBeam(index);
  host.BracingSet().SetModified(true);
  host.BracingSet().Write(host.Model());
  return {name + " deleted", std::set<long>(elements.begin(), elements.end())};
}

ChangeRecord ChangeGravity(FrameHost& host) {
  LoadCaseDef& c = host.Concept().LoadCase(LoadCaseKind::SelfWeight);
  c.gravity = c.gravity * 1.35;
  host.LoadCaseMirror(LoadCaseKind::SelfWeight).Write(host.Model());
  return {c.name + ": gravity factored by 1.35", {}};
}

ChangeRecord MoveEquipment(FrameHost& host) {
  EquipmentDef& item = host.Concept().equipment.at(0);
  const long loadCase = host.Concept().LoadCase(LoadCaseKind::Equipment).id;
  HostEquipmentLoad& load = *host.EquipmentLoads().at(0);
  HostPointMass& mass = *host.PointMasses().at(0);
  // Take the old point load and mass off their node, move the concept, and
  // write both again at the new node.
  for (long node : load.GetLoadedNodes()) host.LoadManager().DeleteLoadsForNode(node, loadCase);
  mass.Delete(host.Model());
  item.at.ix += static_cast<int>(host.Concept().size.divisions / 2);
  mass.SetNode(host.GetMesh().NodeAt(item.at));
  mass.Write(host.Model());
  load.Write(host.Model());
  return {item.name + " moved half a bay along x", {}};
}

std::vector<std::pair<std::string, std::function<ChangeRecord(FrameHost&)>>> ChangeSession() {
  return {{"new girder section", ChangeGirderSection},
          {"column eccentricity", ChangeColumnEccentricity},
          {"brace deleted", DeleteBrace},
          {"gravity changed", ChangeGravity},
          {"equipment moved", MoveEquipment}};
}

}  // namespace frame_host
