// The example host's model, reopened from its file, holds what the concept
// model says.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "host_test_support.hpp"

namespace frame_host::Testing {
namespace {

namespace mirror = Kestrum::Quilm::Mirror;

class WrittenFrameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    frame_ = new WrittenFrame("readback");
    file_ = Reopen(frame_->file.Path()).release();
  }
  static void TearDownTestSuite() {
    delete file_;
    delete frame_;
  }
  FrameHost& Host() { return *frame_->host; }
  const ConceptModel& Concept() { return frame_->host->Concept(); }
  am::XafModel& File() { return *file_; }

  std::string SectionName(long id) {
    auto s = File().Sections().GetSection(id);
    return s ? s->GetName() : "(none " + std::to_string(id) + ")";
  }
  std::string MaterialName(long id) {
    auto m = File().Materials().GetMaterial(id);
    return m ? m->GetName() : "(none " + std::to_string(id) + ")";
  }
  pos3d NodePos(long node) { return File().GetConnectivityManager().GetNodeById(node).GetPos(); }

  static WrittenFrame* frame_;
  static am::XafModel* file_;
};
WrittenFrame* WrittenFrameTest::frame_ = nullptr;
am::XafModel* WrittenFrameTest::file_ = nullptr;

void ExpectNear(const vec3d& expected, const vec3d& actual, const std::string& what) {
  EXPECT_NEAR(expected.x, actual.x, 1e-9) << what;
  EXPECT_NEAR(expected.y, actual.y, 1e-9) << what;
  EXPECT_NEAR(expected.z, actual.z, 1e-9) << what;
}

TEST_F(WrittenFrameTest, FileValidatesAndHoldsEveryMeshedElement) {
  EXPECT_EQ("", File().Validate());
  EXPECT_EQ(Concept().size.ElementCount(), File().Elements().Count());
}

TEST_F(WrittenFrameTest, BeamElementsCarryTheSectionAndMaterialOfTheirSegment) {
  std::size_t checked = 0;
  for (const auto& beam : Host().Beams()) {
    for (unsigned s = 0; s < beam->GetSegmentCount(); ++s) {
      const SegmentDef& def = beam->Segment(s).Definition();
      SCOPED_TRACE(def.name);
      ASSERT_FALSE(beam->GetSegment(s)->GetElements().empty());
      for (long e : beam->GetSegment(s)->GetElements()) {
        auto record = File().Elements().GetElement(e);
        EXPECT_EQ(Concept().sections[def.section].name, SectionName(record->GetSection()));
        EXPECT_EQ(Concept().materials[def.material].name, MaterialName(record->GetMaterial()));
        ++checked;
      }
    }
  }
  EXPECT_EQ(Concept().size.ElementCount() - Concept().decks.size() * 64, checked);  // 8 x 8 shells per deck
}

TEST_F(WrittenFrameTest, PropertyTablesReadBackEqualTheHostsMirrorsInMeshingOrder) {
  // A second program's view of the file, through the library's read-back
  // mirrors: on a copy, since the host still holds the file as its writer.
  ScratchFile copy("readback_copy");
  {
    std::ifstream in(frame_->file.Path(), std::ios::binary);
    std::ofstream(copy.Path(), std::ios::binary) << in.rdbuf();
  }
  mirror::TestMirrorModel reader(copy.Path());
  const auto& sections = Host().Properties().sections;
  for (const auto& section : sections) {
    SCOPED_TRACE(section->GetName());
    const mirror::XanMirrorSection stored(reader, section->GetId());
    EXPECT_TRUE(stored == *section);
    EXPECT_EQ(section->GetName(), stored.GetName());
  }
  for (const auto& material : Host().Properties().materials) {
    const mirror::XanMirrorMaterial stored(reader, material->GetId());
    EXPECT_EQ(material->GetName(), stored.GetName());
    ASSERT_TRUE(stored.GetMaterial());
    EXPECT_TRUE(stored.GetMaterial()->IsEqual(*material->GetMaterial()));
  }
  // The host writes each table in meshing order (by name), so ids follow it.
  for (std::size_t i = 0; i < sections.size(); ++i)
    for (std::size_t j = 0; j < sections.size(); ++j)
      if (sections[i]->MeshBefore(sections[j].get())) {
        EXPECT_LT(sections[i]->GetId(), sections[j]->GetId());
      }
}

TEST_F(WrittenFrameTest, DeckShellsCarryTheirThicknessAndConcrete) {
  for (std::size_t d = 0; d < Concept().decks.size(); ++d) {
    const ThicknessDef& t = Concept().thicknesses[Concept().decks[d].thickness];
    SCOPED_TRACE(Concept().decks[d].name);
    for (long e : Host().Plates()[d]->GetElements()) {
      auto record = File().Elements().GetElement(e);
      auto row = File().Sections().GetSection(record->GetSection());
      ASSERT_TRUE(row);
      EXPECT_EQ(t.name, row->GetName());
      EXPECT_EQ(boost::optional<double>(t.thickness), row->GetThickness());
      EXPECT_EQ("C30/37", MaterialName(record->GetMaterial()));
    }
  }
  // The roof is thinner than the floors below it.
  EXPECT_NE(Concept().decks.front().thickness, Concept().decks.back().thickness);
}

TEST_F(WrittenFrameTest, EccentricitiesReadBackThroughMirrorElement) {
  int constant = 0, linear = 0, none = 0;
  for (const auto& beam : Host().Beams()) {
    const BeamDef& def = beam->Definition();
    SCOPED_TRACE(def.name);
    for (long e : beam->GetElements()) {
      mirror::MirrorElement view(File(), e);
      const am::Element element = File().GetConnectivityManager().GetElementById(e);
      for (short p = 0; p < static_cast<short>(element.NodeCount()); ++p) {
        const boost::optional<vec3d> ecc = view.GetEccentricity(p);
        if (def.eccentricity.kind == EccentricityDef::Kind::None) {
          EXPECT_FALSE(ecc);
          continue;
        }
        ASSERT_TRUE(ecc);
        // Per-node eccentricities are indexed by stored node order.
        const pos3d at = NodePos(element.GetNode(p, am::Element::Stored));
        ExpectNear(Concept().EccentricityAt(def, at), *ecc, def.name);
      }
    }
    (def.eccentricity.kind == EccentricityDef::Kind::Constant ? constant
     : def.eccentricity.kind == EccentricityDef::Kind::Linear ? linear
                                                              : none)++;
  }
  EXPECT_GT(constant, 0);
  EXPECT_GT(linear, 0);
  EXPECT_GT(none, 0);
}

TEST_F(WrittenFrameTest, TaperedColumnEccentricityVariesAlongTheColumn) {
  for (const auto& beam : Host().Beams()) {
    if (beam->Definition().eccentricity.kind != EccentricityDef::Kind::Linear) continue;
    const std::list<long> elements = beam->GetElements();
    const auto first = mirror::MirrorElement(File(), elements.front()).GetEccentricityStart();
    const auto last = mirror::MirrorElement(File(), elements.back()).GetEccentricityEnd();
    ASSERT_TRUE(first && last);
    ExpectNear(beam->Definition().eccentricity.start, *first, "base");
    ExpectNear(beam->Definition().eccentricity.end, *last, "top");
    return;
  }
  FAIL() << "no tapered column";
}

TEST_F(WrittenFrameTest, LocalSystemsReadBackThroughMirrorElement) {
  int threeNode = 0;
  for (const auto& beam : Host().Beams()) {
    const BeamDef& def = beam->Definition();
    SCOPED_TRACE(def.name);
    for (long e : beam->GetElements()) {
      mirror::MirrorElement view(File(), e);
      const am::Element element = File().GetConnectivityManager().GetElementById(e);
      const unsigned n = element.NodeCount();
      const pos3d first = NodePos(element.GetNode(0, am::Element::Geometric));
      const pos3d last = NodePos(element.GetNode(n - 1, am::Element::Geometric));
      for (short p = 0; p < static_cast<short>(n); ++p) {
        const boost::optional<locsys3d> sys = view.GetTransformation(p);
        ASSERT_TRUE(sys);
        // Two-node elements take the system at their midpoint; three-node
        // ones one per node (stored order).
        const pos3d at = n == 3 ? NodePos(element.GetNode(p, am::Element::Stored)) : (first + last) / 2.0;
        const locsys3d expected = Concept().LocalSystemAt(def, at);
        EXPECT_TRUE(expected.isEqual(*sys))
            << "element " << e << " position " << p << ": " << *sys << " expected " << expected;
      }
      threeNode += n == 3;
    }
  }
  EXPECT_GT(threeNode, 0);
}

TEST_F(WrittenFrameTest, RoofGirdersTwistAlongTheirSpan) {
  for (const auto& beam : Host().Beams()) {
    if (beam->Definition().kind != MemberKind::RoofGirder) continue;
    const std::list<long> elements = beam->GetElements();
    const auto start = mirror::MirrorElement(File(), elements.front()).GetTransformationStart();
    const auto end = mirror::MirrorElement(File(), elements.back()).GetTransformation(1);  // stored: far end
    ASSERT_TRUE(start && end);
    const double angle = std::acos(std::min(1.0, start->z().dot(end->z()))) * 180.0 / 3.14159265358979323846;
    EXPECT_NEAR(2 * beam->Definition().localSystem.twistDegrees, angle, 1e-6);
    return;
  }
  FAIL() << "no roof girder";
}

TEST_F(WrittenFrameTest, EveryBeamElementRunsAlongItsLocalXAndBracesWereReversed) {
  int braceElements = 0;
  for (const auto& beam : Host().Beams()) {
    const BeamDef& def = beam->Definition();
    const vec3d axis(Concept().Position(def.start), Concept().Position(def.end));
    for (long e : beam->GetElements()) {
      const am::Element element = File().GetConnectivityManager().GetElementById(e);
      const vec3d along(NodePos(element.GetNode(0, am::Element::Geometric)),
                        NodePos(element.GetNode(element.NodeCount() - 1, am::Element::Geometric)));
      EXPECT_GT(along.dot(axis), 0.0) << def.name << " element " << e;
      if (def.kind == MemberKind::Brace) {
        // The mesher made brace elements from the upper end down; the write
        // turned them to run upwards along the brace's local x.
        EXPECT_LT(NodePos(element.GetNode(0, am::Element::Geometric)).z,
                  NodePos(element.GetNode(1, am::Element::Geometric)).z);
        ++braceElements;
      }
    }
  }
  EXPECT_EQ(static_cast<int>(2 * Concept().size.storeys * Concept().size.divisions), braceElements);
}

TEST_F(WrittenFrameTest, JointsAndSupportsNameTheirNodes) {
  const auto& joints = Concept().joints;
  ASSERT_EQ(joints.size(), Host().Joints().size());
  for (std::size_t i = 0; i < joints.size(); ++i) {
    const long node = Host().GetMesh().NodeAt(joints[i].at);
    EXPECT_EQ(Host().Joints()[i]->GetNode(), node);
    EXPECT_EQ(Host().NodeName(joints[i].name, "J", static_cast<unsigned>(i + 1)),
              File().NodeProperties().GetName(node));
  }
  for (std::size_t i = 0; i < Concept().supports.size(); ++i) {
    const long node = Host().GetMesh().NodeAt(Concept().supports[i].at);
    EXPECT_EQ(Concept().supports[i].name, File().NodeProperties().GetName(node));  // short names stay
    const auto fixation = File().NodeProperties().GetBoundaryCondition(node);
    ASSERT_TRUE(fixation);
    EXPECT_EQ(am::Hinge(), *fixation);
  }
  // A concrete one: the joint at column line 1.2, first floor.
  EXPECT_EQ("J1.2.1", File().NodeProperties().GetName(Host().GetMesh().NodeAt({4, 8, 4})));
}

TEST_F(WrittenFrameTest, LongNodeNamesFollowTheEightCharacterRule) {
  EXPECT_EQ("J12.3.4", Host().NodeName("j12.3.4", "J", 7));
  EXPECT_EQ("J7", Host().NodeName("J12.13.14", "J", 7));
}

TEST_F(WrittenFrameTest, EquipmentMassesSitOnTheirNodes) {
  std::size_t withMass = 0;
  for (long node : File().Nodes())
    if (!File().NodeProperties().GetMasses(node).empty()) ++withMass;
  EXPECT_EQ(Concept().equipment.size(), withMass);
  for (const EquipmentDef& item : Concept().equipment) {
    const auto masses = File().NodeProperties().GetMasses(Host().GetMesh().NodeAt(item.at));
    ASSERT_EQ(1u, masses.size()) << item.name;
    EXPECT_EQ(am::Mass(item.mass), masses[0]);
  }
}

TEST_F(WrittenFrameTest, BracingSetHoldsExactlyTheBraceElements) {
  const auto ids = File().Sets().GetSetIds();
  ASSERT_EQ(1u, ids.size());
  auto set = File().Sets().GetSet(ids[0]);
  EXPECT_EQ("Bracing", set->GetName());
  std::set<long> braces;
  for (const auto& beam : Host().Beams())
    if (beam->Definition().kind == MemberKind::Brace)
      for (long e : beam->GetElements()) braces.insert(e);
  EXPECT_EQ(braces, set->GetEntitySet().Elements());
}

TEST_F(WrittenFrameTest, LoadCasesHoldTheirGravityAndLoads) {
  auto& loads = File().Loads();
  for (const LoadCaseDef& c : Concept().loadCases)
    EXPECT_EQ(boost::optional<std::string>(c.name), loads.GetLoadCaseName(c.id));

  const auto& selfWeight = Concept().LoadCase(LoadCaseKind::SelfWeight);
  ASSERT_TRUE(loads.GetGravityLoad(selfWeight.id));
  ExpectNear(selfWeight.gravity, *loads.GetGravityLoad(selfWeight.id), "gravity");
  EXPECT_TRUE(loads.GetLoads(selfWeight.id).empty());
  EXPECT_FALSE(loads.GetGravityLoad(Concept().LoadCase(LoadCaseKind::Wind).id));

  // Deck pressure: one surface load per shell.
  std::set<long> shells;
  for (const auto& plate : Host().Plates())
    shells.insert(plate->GetElements().begin(), plate->GetElements().end());
  std::set<long> pressed;
  for (const auto& entry : loads.GetLoads(Concept().LoadCase(LoadCaseKind::DeckPressure).id)) {
    ASSERT_EQ(am::LoadKind::Surface, entry.kind);
    EXPECT_EQ(-3000.0, dynamic_cast<const am::SurfaceLoad&>(*entry.record).Pressure());
    pressed.insert(entry.target);
  }
  EXPECT_EQ(shells, pressed);

  // Wind: line loads on every element of the columns on the x = 0 facade.
  std::multiset<long> windward, loaded;
  for (const auto& beam : Host().Beams())
    if (beam->Definition().kind == MemberKind::Column && beam->Definition().start.ix == 0)
      for (long e : beam->GetElements()) windward.insert(e);
  for (const auto& entry : loads.GetLoads(Concept().LoadCase(LoadCaseKind::Wind).id)) {
    ASSERT_EQ(am::LoadKind::Line, entry.kind);
    EXPECT_EQ(vec3d(1800, 0, 0), dynamic_cast<const am::LineLoad&>(*entry.record).Start());
    loaded.insert(entry.target);
  }
  EXPECT_EQ(windward, loaded);

  // Equipment: one point load per item, on its node, however many shells share it.
  const auto points = loads.GetLoads(Concept().LoadCase(LoadCaseKind::Equipment).id);
  ASSERT_EQ(Concept().equipment.size(), points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_EQ(am::LoadKind::Point, points[i].kind);
    EXPECT_EQ(Host().GetMesh().NodeAt(Concept().equipment[i].at), points[i].target);
    const auto& p = dynamic_cast<const am::PointLoad&>(*points[i].record);
    EXPECT_DOUBLE_EQ(-Concept().equipment[i].mass * 9.81, p.Force().z);
  }

  // Rotation: a node acceleration on every node off the vertical axis
  // through the centre, once. (Nodes on the axis get none when their
  // distance comes out exactly zero; rounding may leave a few of them with a
  // vanishing load, so only the nodes clearly off the axis are counted.)
  const auto rotation = loads.GetLoads(Concept().LoadCase(LoadCaseKind::Rotation).id);
  std::map<long, int> accelerated;
  std::map<long, vec3d> acceleration;
  for (const auto& entry : rotation) {
    EXPECT_EQ(am::LoadKind::NodeAcceleration, entry.kind);
    ++accelerated[entry.target];
    acceleration[entry.target] = dynamic_cast<const am::PointLoad&>(*entry.record).Force();
  }
  const double centre = Concept().bayWidth * Concept().size.bays / 2;
  for (long node : File().Nodes()) {
    const pos3d p = NodePos(node);
    const double r = std::hypot(p.x - centre, p.y - centre);
    if (r > 1e-6) {
      EXPECT_EQ(1, accelerated[node]) << "node " << node;
    }
    if (r <= 1e-6 && accelerated.count(node)) {
      EXPECT_EQ(1, accelerated[node]);
      EXPECT_LT(acceleration[node].length(), 1e-9) << "node " << node;
    }
  }
}

TEST_F(WrittenFrameTest, ConceptTreeHangsSegmentsUnderBeamsUnderTheStructure) {
  auto& concepts = File().StructureConcepts();
  const long root = Host().Structure().GetConceptId();
  ASSERT_GT(root, 0);
  EXPECT_EQ(-1, concepts.GetConcept(root).parent);
  for (const auto& beam : Host().Beams()) {
    const auto c = concepts.GetConcept(beam->GetConceptId());
    EXPECT_EQ(root, c.parent);
    EXPECT_EQ(beam->GetName(), c.name);
    for (unsigned s = 0; s < beam->GetSegmentCount(); ++s)
      EXPECT_EQ(beam->GetConceptId(), concepts.GetConcept(beam->GetSegment(s)->GetConceptId()).parent);
  }
  // Decks are concepts under the structure holding their plate's elements,
  // so that summaries per concept cover them.
  ASSERT_EQ(Host().DeckConcepts().size(), Host().Plates().size());
  for (std::size_t d = 0; d < Host().Plates().size(); ++d) {
    const long id = Host().DeckConcepts()[d]->GetConceptId();
    EXPECT_EQ(root, concepts.GetConcept(id).parent);
    const auto& elements = Host().Plates()[d]->GetElements();
    EXPECT_EQ(std::vector<long>(elements.begin(), elements.end()), concepts.GetConceptMembers(id).elements);
  }
  for (const auto& base : Host().FixedBases()) {
    const auto c = concepts.GetConcept(base->GetConceptId());
    EXPECT_EQ(base->GetParentConcept()->GetConceptId(), c.parent);
    EXPECT_EQ(1, concepts.GetConcept(c.parent).type);  // a support point
  }
}

TEST(FrameHostWrite, SecondWriteOfUnchangedFrameTouchesNoElement) {
  WrittenFrame frame("idle");
  am::RecordingTraceSink sink;
  frame.host->Model().GetXafModel()->SetTraceSink(&sink);
  for (const auto& beam : frame.host->Beams()) beam->Write(frame.host->Model());
  for (const auto& plate : frame.host->Plates()) plate->Write(frame.host->Model());
  frame.host->Model().GetXafModel()->SetTraceSink(nullptr);
  // Every flag is clear after the first write: nothing is read or written.
  EXPECT_TRUE(sink.Calls().empty()) << sink.Calls().front();
}

}  // namespace
}  // namespace frame_host::Testing
