// The change session: after each change and flush, the model file differs
// from the one before in exactly the elements the change touched, and holds
// the changed concept.
#include "change_session.hpp"

#include <gtest/gtest.h>

#include "host_test_support.hpp"

namespace frame_host::Testing {
namespace {

namespace mirror = Kestrum::Quilm::Mirror;

TEST(ChangeSession, EachStepChangesExactlyTheElementsItTouches) {
  WrittenFrame frame("session");
  auto before = SnapshotElements(frame.file.Path());
  std::set<long> allChanged;
  for (const auto& [name, change] : ChangeSession()) {
    SCOPED_TRACE(name);
    const ChangeRecord record = change(*frame.host);
    frame.host->Flush();
    const auto after = SnapshotElements(frame.file.Path());
    EXPECT_EQ(record.changedElements, DifferingElements(before, after));
    allChanged.insert(record.changedElements.begin(), record.changedElements.end());
    before = after;
  }
  // The section, eccentricity and brace changes touch elements; the
  // gravity and equipment changes touch none.
  EXPECT_FALSE(allChanged.empty());
}

class AfterSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame_ = std::make_unique<WrittenFrame>("after");
    original_ = frame_->host->Concept();
    for (const auto& [name, change] : ChangeSession()) records_.push_back(change(*frame_->host));
    frame_->host->Flush();
    file_ = Reopen(frame_->file.Path());
  }
  FrameHost& Host() { return *frame_->host; }

  std::unique_ptr<WrittenFrame> frame_;
  ConceptModel original_;
  std::vector<ChangeRecord> records_;
  std::unique_ptr<am::XafModel> file_;
};

TEST_F(AfterSessionTest, GirderSpanHasTheNewSection) {
  ASSERT_EQ(3u, records_[0].changedElements.size() + 1);  // two span elements of a four-division girder
  for (long e : records_[0].changedElements) {
    const long section = file_->Elements().GetElement(e)->GetSection();
    EXPECT_EQ("IPE500", file_->Sections().GetSection(section)->GetName());
  }
  // The haunches keep theirs.
  const HostBeam* girder = nullptr;
  for (const auto& beam : Host().Beams())
    if (!girder && beam->Definition().kind == MemberKind::Girder) girder = beam.get();
  ASSERT_TRUE(girder);
  for (long e : girder->GetSegment(0)->GetElements())
    EXPECT_EQ("IPE450",
              file_->Sections().GetSection(file_->Elements().GetElement(e)->GetSection())->GetName());
}

TEST_F(AfterSessionTest, ColumnEccentricityGrewByHalf) {
  ASSERT_FALSE(records_[1].changedElements.empty());
  for (long e : records_[1].changedElements) {
    const auto ecc = mirror::MirrorElement(*file_, e).GetEccentricityStart();
    ASSERT_TRUE(ecc);
    EXPECT_DOUBLE_EQ(0.15, std::abs(ecc->x) + std::abs(ecc->y)) << "element " << e;
  }
}

TEST_F(AfterSessionTest, DeletedBraceIsGoneFromMeshSetAndHost) {
  const auto& removed = records_[2].changedElements;
  ASSERT_EQ(4u, removed.size());
  for (long e : removed) EXPECT_FALSE(file_->Elements().Contains(e));
  const auto set = file_->Sets().GetSet(file_->Sets().GetSetIds().at(0));
  for (long e : removed) EXPECT_EQ(0u, set->GetEntitySet().Elements().count(e));
  EXPECT_EQ(4u * (2 * Host().Concept().size.storeys - 1), set->GetEntitySet().Elements().size());
  EXPECT_EQ(original_.beams.size() - 1, Host().Beams().size());
}

TEST_F(AfterSessionTest, GravityWasReplacedNotAdded) {
  const long id = Host().Concept().LoadCase(LoadCaseKind::SelfWeight).id;
  const auto g = file_->Loads().GetGravityLoad(id);
  ASSERT_TRUE(g);
  EXPECT_DOUBLE_EQ(-9.81 * 1.35, g->z);
  EXPECT_TRUE(file_->Loads().GetLoads(id).empty());
}

TEST_F(AfterSessionTest, EquipmentMassAndLoadMovedTogether) {
  const long oldNode = Host().GetMesh().NodeAt(original_.equipment[0].at);
  const long newNode = Host().GetMesh().NodeAt(Host().Concept().equipment[0].at);
  ASSERT_NE(oldNode, newNode);
  EXPECT_TRUE(file_->NodeProperties().GetMasses(oldNode).empty());
  ASSERT_EQ(1u, file_->NodeProperties().GetMasses(newNode).size());
  EXPECT_EQ(am::Mass(original_.equipment[0].mass), file_->NodeProperties().GetMasses(newNode)[0]);
  std::multiset<long> loaded;
  for (const auto& entry : file_->Loads().GetLoads(Host().Concept().LoadCase(LoadCaseKind::Equipment).id))
    loaded.insert(entry.target);
  EXPECT_EQ(0u, loaded.count(oldNode));
  EXPECT_EQ(1u, loaded.count(newNode));
  EXPECT_EQ(Host().Concept().equipment.size(), loaded.size());
}

TEST(ChangeSessionCalls, NewSectionRewritesOnlyTheMarkedSegment) {
  WrittenFrame frame("calls");
  am::RecordingTraceSink sink;
  frame.host->Model().GetXafModel()->SetTraceSink(&sink);
  const ChangeRecord record = ChangeGirderSection(*frame.host);
  frame.host->Model().GetXafModel()->SetTraceSink(nullptr);
  std::set<long> sectioned;
  int materials = 0, added = 0;
  for (const auto& event : sink.Events()) {
    if (event.operation == "Element.SetSection") sectioned.insert(std::stol(event.arguments.at(0)));
    materials += event.operation == "Element.SetMaterial";
    added += event.operation == "Sections.AddSection";
    EXPECT_NE("Eccentricities.AddEccentricity", event.operation);
    EXPECT_NE("Transformations.AddTransformation", event.operation);
  }
  EXPECT_EQ(record.changedElements, sectioned);
  EXPECT_EQ(1, added);
  EXPECT_EQ(0, materials);
}

}  // namespace
}  // namespace frame_host::Testing
