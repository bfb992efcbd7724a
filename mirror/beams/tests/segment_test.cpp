// Segments: aspect flags, the element set, Write (order of calls, which ids
// reach the elements), Delete, Join and copies.
#include <gtest/gtest.h>

#include "mirror/beams/tests/beam_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using namespace Testing;

using Strings = std::vector<std::string>;

std::vector<long> Ids(const IMirrorSegment& segment) {
  return std::vector<long>(segment.GetElements().begin(), segment.GetElements().end());
}

struct Flags {
  bool section, material, geometry;
  bool operator==(const Flags& o) const {
    return section == o.section && material == o.material && geometry == o.geometry;
  }
};
std::ostream& operator<<(std::ostream& os, const Flags& f) {
  return os << "{section " << f.section << ", material " << f.material << ", geometry " << f.geometry << "}";
}
Flags FlagsOf(const IMirrorSegment& s) {
  return {s.IsSectionModified(), s.IsMaterialModified(), s.IsGeometryModified()};
}
void SetFlags(IMirrorSegment& s, const Flags& f) {
  s.SetSectionModified(f.section);
  s.SetMaterialModified(f.material);
  s.SetGeometryModified(f.geometry);
}

class SegmentTest : public ::testing::Test {
 protected:
  SegmentTest() {
    // Seven elements along x, ids 1..7, element k from (k-1, 0, 0) to (k, 0, 0).
    for (int k = 1; k <= 7; ++k) fx.Beam2(pos3d(k - 1, 0, 0), pos3d(k, 0, 0));
    segment->SetLog(&fx.log);
    segment->section = section;
    segment->material = material;
  }

  BeamModel fx;
  boost::intrusive_ptr<TestSegment> segment{new TestSegment};
  boost::intrusive_ptr<TestSection> section{new TestSection(11)};
  boost::intrusive_ptr<TestMaterial> material{new TestMaterial(21)};
};

TEST_F(SegmentTest, NewSegmentHasEveryFlagSetAndNoElements) {
  EXPECT_EQ(FlagsOf(*segment), (Flags{true, true, true}));
  EXPECT_TRUE(segment->ArePropertiesUpdated());
  EXPECT_TRUE(segment->GetElements().empty());
  EXPECT_EQ(segment->GetConceptId(), -1);
}

TEST_F(SegmentTest, FlagsAreIndependentAndPropertiesIgnoreGeometry) {
  // Every combination of the three flags: each reads back as set, and only
  // section or material make the properties updated.
  for (int bits = 0; bits < 8; ++bits) {
    const Flags f{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
    SCOPED_TRACE(bits);
    SetFlags(*segment, f);
    EXPECT_EQ(FlagsOf(*segment), f);
    EXPECT_EQ(segment->ArePropertiesUpdated(), f.section || f.material);
  }
}

TEST_F(SegmentTest, ClearUpdateFlagsSetsAllThreeAndLeavesModifiedAlone) {
  segment->SetModified(false);
  segment->ClearUpdateFlags(false);
  EXPECT_EQ(FlagsOf(*segment), (Flags{false, false, false}));
  EXPECT_FALSE(segment->IsModified());
  segment->ClearUpdateFlags(true);
  EXPECT_EQ(FlagsOf(*segment), (Flags{true, true, true}));
  EXPECT_FALSE(segment->IsModified());
}

TEST_F(SegmentTest, AddElementKeepsOneOfEachAndAlwaysSetsFlags) {
  segment->AddElement(7);
  segment->AddElement(3);
  segment->ClearUpdateFlags(false);
  segment->AddElement(3);
  EXPECT_EQ(Ids(*segment), (std::vector<long>{3, 7}));
  EXPECT_EQ(FlagsOf(*segment), (Flags{true, true, true}));
  EXPECT_THROW(segment->AddElement(2147483647L), std::out_of_range);
  EXPECT_EQ(Ids(*segment), (std::vector<long>{3, 7}));
}

TEST_F(SegmentTest, WriteVisitsElementsAscendingInTheExactOrderOfCalls) {
  for (long id : {7L, 3L, 5L}) segment->AddElement(id);
  fx.Attach();
  segment->Write(fx.model);

  Strings expected;
  for (long id : {3L, 5L, 7L}) {
    const std::string e = std::to_string(id);
    const std::string point = Text(pos3d(id - 0.5, 0, 0));
    expected.insert(expected.end(),
                    {"Elements.GetElement(" + e + ")", "Connectivity.GetElementPoint(" + e + ")",
                     "Host.GetSection" + point, "Element.SetSection(" + e + ", 11)",
                     "Host.GetMaterial" + point, "Element.SetMaterial(" + e + ", 21)"});
  }
  EXPECT_EQ(fx.log.Calls(), expected);
  for (long id : {3L, 5L, 7L}) {
    EXPECT_EQ(fx.xaf->Elements().GetElement(id)->GetSection(), 11);
    EXPECT_EQ(fx.xaf->Elements().GetElement(id)->GetMaterial(), 21);
  }
  EXPECT_EQ(fx.xaf->Elements().GetElement(4)->GetSection(), 0) << "an element of no segment is untouched";
  EXPECT_EQ(FlagsOf(*segment), (Flags{false, false, true}));
}

TEST_F(SegmentTest, WriteFollowsTheSectionAndMaterialFlags) {
  struct Case {
    const char* name;
    Flags before;
    std::size_t sectionCalls, materialCalls, modelCalls;
  };
  // Two elements; a model call is GetElement, GetElementPoint, Set*.
  const Case cases[] = {
      {"both", {true, true, false}, 2, 2, 8},
      {"material only", {false, true, false}, 0, 2, 6},
      {"section only", {true, false, true}, 2, 0, 6},
      {"geometry only writes nothing", {false, false, true}, 0, 0, 0},
      {"nothing", {false, false, false}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    segment->AddElement(1);
    segment->AddElement(2);
    SetFlags(*segment, c.before);
    fx.Attach();
    fx.log.Clear();
    segment->Write(fx.model);
    EXPECT_EQ(fx.log.Count("Host.GetSection"), c.sectionCalls);
    EXPECT_EQ(fx.log.Count("Element.SetSection"), c.sectionCalls);
    EXPECT_EQ(fx.log.Count("Host.GetMaterial"), c.materialCalls);
    EXPECT_EQ(fx.log.Count("Element.SetMaterial"), c.materialCalls);
    EXPECT_EQ(fx.log.Calls().size() - c.sectionCalls - c.materialCalls, c.modelCalls);
    EXPECT_EQ(FlagsOf(*segment), (Flags{false, false, c.before.geometry}));
  }
}

TEST_F(SegmentTest, WriteOfAnEmptySegmentMakesNoCallAndClearsFlags) {
  fx.Attach();
  segment->Write(fx.model);
  EXPECT_TRUE(fx.log.Calls().empty());
  EXPECT_EQ(FlagsOf(*segment), (Flags{false, false, true}));
}

TEST_F(SegmentTest, NullAndUnwrittenPropertyMirrorsGiveZeroAndMinusOne) {
  segment->AddElement(1);
  segment->AddElement(2);
  segment->AddElement(3);
  boost::intrusive_ptr<TestSection> unwritten(new TestSection(-1));
  segment->sectionAt = [&](const pos3d& p) -> boost::intrusive_ptr<IMirrorSection> {
    if (p.x < 1) return nullptr;    // element 1
    if (p.x < 2) return unwritten;  // element 2
    return section;                 // element 3
  };
  segment->material = nullptr;
  segment->Write(fx.model);
  EXPECT_EQ(fx.xaf->Elements().GetElement(1)->GetSection(), 0);
  EXPECT_EQ(fx.xaf->Elements().GetElement(2)->GetSection(), -1);
  EXPECT_EQ(fx.xaf->Elements().GetElement(3)->GetSection(), 11);
  for (long id : {1L, 2L, 3L}) EXPECT_EQ(fx.xaf->Elements().GetElement(id)->GetMaterial(), 0);
}

// Notes, when the material is asked, how many references the section mirror
// of the same element has.
class SectionHoldingSegment : public TestSegment {
 public:
  using TestSegment::TestSegment;
  boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d& position) override {
    sectionReferences.push_back(section->GetReferenceCount());
    return TestSegment::GetMaterial(position);
  }
  std::vector<int> sectionReferences;
};

TEST_F(SegmentTest, TheSectionIsHeldUntilTheElementsMaterialIsSet) {
  boost::intrusive_ptr<SectionHoldingSegment> holder(new SectionHoldingSegment);
  holder->section = section;
  holder->material = material;
  holder->AddElement(1);
  holder->AddElement(2);
  const int sectionHolders = section->GetReferenceCount();
  const int materialHolders = material->GetReferenceCount();
  holder->Write(fx.model);
  // One more than before: the reference the segment keeps for the element it
  // is writing.
  EXPECT_EQ(holder->sectionReferences, (std::vector<int>{sectionHolders + 1, sectionHolders + 1}));
  EXPECT_EQ(section->GetReferenceCount(), sectionHolders) << "released once the element is done";
  EXPECT_EQ(material->GetReferenceCount(), materialHolders);
}

TEST_F(SegmentTest, AFailedWriteKeepsItsFlagsAndIsRetried) {
  for (long id : {1L, 2L, 3L}) segment->AddElement(id);
  // 3 elements x 6 calls; fail each one in turn.
  for (long n = 0; n < 18; ++n) {
    SCOPED_TRACE(n);
    segment->ClearUpdateFlags(true);
    fx.Attach();
    fx.log.Clear();
    fx.log.FailAt(n + 1);
    EXPECT_THROW(segment->Write(fx.model), InjectedFault);
    EXPECT_EQ(FlagsOf(*segment), (Flags{true, true, true}));
    EXPECT_EQ(segment->GetReferenceCount(), 1) << "references held at the failure are released";
    EXPECT_EQ(section->GetReferenceCount(), 2);
  }
  fx.log.FailAt(0);
  section->SetId(12);
  segment->Write(fx.model);
  EXPECT_EQ(FlagsOf(*segment), (Flags{false, false, true}));
  for (long id : {1L, 2L, 3L}) EXPECT_EQ(fx.xaf->Elements().GetElement(id)->GetSection(), 12);
}

TEST_F(SegmentTest, ElementsWrittenBeforeAFailureKeepWhatTheyGot) {
  for (long id : {1L, 2L}) segment->AddElement(id);
  fx.Attach();
  fx.log.Clear();
  fx.log.FailAt(10);  // element 2's SetSection
  EXPECT_THROW(segment->Write(fx.model), InjectedFault);
  EXPECT_EQ(fx.xaf->Elements().GetElement(1)->GetSection(), 11);
  EXPECT_EQ(fx.xaf->Elements().GetElement(1)->GetMaterial(), 21);
  EXPECT_EQ(fx.xaf->Elements().GetElement(2)->GetSection(), 0);
}

TEST_F(SegmentTest, DeleteRemovesAscendingThenEmptiesTheSetAndKeepsFlags) {
  for (long id : {7L, 3L, 5L}) segment->AddElement(id);
  SetFlags(*segment, {false, true, false});
  fx.Attach();
  segment->Delete(fx.model);
  EXPECT_EQ(fx.log.Calls(), (Strings{"Elements.RemoveElement(3, true)", "Elements.RemoveElement(5, true)",
                                     "Elements.RemoveElement(7, true)"}));
  EXPECT_TRUE(segment->GetElements().empty());
  EXPECT_EQ(FlagsOf(*segment), (Flags{false, true, false}));
  EXPECT_FALSE(fx.xaf->Elements().Contains(3));
  EXPECT_TRUE(fx.xaf->Elements().Contains(4));
  // Nothing left to write.
  fx.log.Clear();
  segment->Write(fx.model);
  EXPECT_TRUE(fx.log.Calls().empty());
}

TEST_F(SegmentTest, AFailedDeleteKeepsEveryId) {
  for (long id : {3L, 5L, 7L}) segment->AddElement(id);
  fx.Attach();
  fx.log.Clear();
  fx.log.FailAt(3);  // the removal of 7
  EXPECT_THROW(segment->Delete(fx.model), InjectedFault);
  EXPECT_EQ(Ids(*segment), (std::vector<long>{3, 5, 7}));
  EXPECT_FALSE(fx.xaf->Elements().Contains(3));
  EXPECT_TRUE(fx.xaf->Elements().Contains(7));
}

TEST_F(SegmentTest, TheAnalysisModelIsFetchedPerStepAndNotKept) {
  for (long id : {1L, 2L, 3L}) segment->AddElement(id);
  CountingModel counting(fx.xaf);
  const long holders = fx.xaf.use_count();
  segment->Write(counting);
  EXPECT_EQ(counting.calls, 3 * 2) << "once for the element record, once for its point";
  EXPECT_EQ(fx.xaf.use_count(), holders);
  counting.calls = 0;
  segment->Delete(counting);
  EXPECT_EQ(counting.calls, 3);
  EXPECT_EQ(fx.xaf.use_count(), holders);
}

class SegmentJoinTest : public ::testing::Test {
 protected:
  boost::intrusive_ptr<TestSegment> a{new TestSegment};
  boost::intrusive_ptr<TestSegment> b{new TestSegment};
};

TEST_F(SegmentJoinTest, JoinMovesTheUnionAndCarriesFlagsOver) {
  // Every combination of this and other's flags: the result is their union
  // when other has elements, and other keeps its own flags.
  for (int mine = 0; mine < 8; ++mine) {
    for (int theirs = 0; theirs < 8; ++theirs) {
      SCOPED_TRACE(std::to_string(mine) + "/" + std::to_string(theirs));
      a = new TestSegment;
      b = new TestSegment;
      for (long id : {1L, 2L, 9L}) a->AddElement(id);
      for (long id : {3L, 9L, 4L}) b->AddElement(id);
      const Flags fa{(mine & 1) != 0, (mine & 2) != 0, (mine & 4) != 0};
      const Flags fb{(theirs & 1) != 0, (theirs & 2) != 0, (theirs & 4) != 0};
      SetFlags(*a, fa);
      SetFlags(*b, fb);
      a->Join(b);
      EXPECT_EQ(Ids(*a), (std::vector<long>{1, 2, 3, 4, 9}));
      EXPECT_EQ(a->GetElements().Validate(), "");
      EXPECT_TRUE(b->GetElements().empty());
      EXPECT_EQ(FlagsOf(*a),
                (Flags{fa.section || fb.section, fa.material || fb.material, fa.geometry || fb.geometry}));
      EXPECT_EQ(FlagsOf(*b), fb);
      EXPECT_EQ(b->GetReferenceCount(), 1) << "Join releases its reference";
    }
  }
}

TEST_F(SegmentJoinTest, JoiningAnEmptySegmentChangesNothing) {
  a->AddElement(5);
  a->ClearUpdateFlags(false);
  b->ClearUpdateFlags(true);
  a->Join(b);
  EXPECT_EQ(Ids(*a), (std::vector<long>{5}));
  EXPECT_EQ(FlagsOf(*a), (Flags{false, false, false}));
}

TEST_F(SegmentJoinTest, JoinIntoAnEmptySegmentTakesEverything) {
  a->ClearUpdateFlags(false);
  for (long id : {8L, 6L}) b->AddElement(id);
  b->SetMaterialModified(false);
  a->Join(b);
  EXPECT_EQ(Ids(*a), (std::vector<long>{6, 8}));
  EXPECT_EQ(FlagsOf(*a), (Flags{true, false, true}));
}

TEST_F(SegmentJoinTest, SelfJoinChangesNothing) {
  for (long id : {4L, 5L, 6L, 10L}) a->AddElement(id);
  SetFlags(*a, {false, true, false});
  a->Join(a);
  EXPECT_EQ(Ids(*a), (std::vector<long>{4, 5, 6, 10}));
  EXPECT_EQ(FlagsOf(*a), (Flags{false, true, false}));
  EXPECT_EQ(a->GetReferenceCount(), 1);
}

TEST_F(SegmentJoinTest, JoinWithNullThrowsAndChangesNothing) {
  a->AddElement(4);
  a->ClearUpdateFlags(false);
  EXPECT_THROW(a->Join(nullptr), std::invalid_argument);
  EXPECT_EQ(Ids(*a), (std::vector<long>{4}));
  EXPECT_EQ(FlagsOf(*a), (Flags{false, false, false}));
}

TEST_F(SegmentJoinTest, JoinTouchesNoAnalysisModel) {
  BeamModel fx;
  fx.Attach();
  a->SetLog(&fx.log);
  b->SetLog(&fx.log);
  b->AddElement(3);
  a->Join(b);
  EXPECT_TRUE(fx.log.Calls().empty());
}

TEST(SegmentCopyTest, CopiesCarrySetAndFlagsAndAreIndependent) {
  TestSegment original;
  for (long id : {3L, 4L, 8L}) original.AddElement(id);
  SetFlags(original, {false, true, false});
  TestSegment copy(original);
  EXPECT_EQ(Ids(copy), (std::vector<long>{3, 4, 8}));
  EXPECT_EQ(FlagsOf(copy), (Flags{false, true, false}));
  copy.AddElement(20);
  EXPECT_EQ(Ids(original), (std::vector<long>{3, 4, 8}));

  TestSegment assigned;
  assigned.AddElement(1);
  assigned = original;
  EXPECT_EQ(Ids(assigned), (std::vector<long>{3, 4, 8}));
  EXPECT_EQ(FlagsOf(assigned), (Flags{false, true, false}));
  assigned = assigned;
  EXPECT_EQ(Ids(assigned), (std::vector<long>{3, 4, 8}));
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
