// Beams: the order of Write, the constant and per-node eccentricities, what
// the aspect flags let through, Delete, and the beam's element list.
#include <gtest/gtest.h>

#include "mirror/beams/tests/beam_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using namespace Testing;

using Strings = std::vector<std::string>;

std::string S(long v) { return std::to_string(v); }

// The two-segment beam with x along it and z up.
class BeamWriteTest : public ::testing::Test, protected TwoSegmentBeam {
 protected:
  long SectionOf(long e) { return fx.xaf->Elements().GetElement(e)->GetSection(); }
  long EccentricityOf(long e) { return fx.xaf->Elements().GetElement(e)->GetEccentricity(); }
  long TransformationOf(long e) { return fx.xaf->Elements().GetElement(e)->GetTransformation(); }
};

TEST_F(BeamWriteTest, NewBeamHasEveryFlagSet) {
  EXPECT_TRUE(beam->IsModified());
  EXPECT_TRUE(beam->IsEccentricityModified());
  EXPECT_TRUE(beam->IsLocalSystemModified());
  EXPECT_TRUE(beam->ArePropertiesUpdated());
}

TEST_F(BeamWriteTest, WriteOfTwoSegmentsRunsInTheExactOrder) {
  fx.Attach();
  beam->Write(fx.model);

  // Element e's eccentricity, then its local system (one transformation
  // asked at its midpoint, stored as the z axis).
  auto beamPart = [](long e, long transformation) {
    const std::string id = S(e);
    return Strings{"Elements.GetElement(" + id + ")",
                   "Element.SetEccentricity(" + id + ", 1)",
                   "Elements.GetElement(" + id + ")",
                   "Connectivity.GetElementById(" + id + ")",
                   "Connectivity.GetNodeById(" + S(2 * e - 1) + ")",
                   "Connectivity.GetNodeById(" + S(2 * e) + ")",
                   "Host.GetLocalSystem" + Text(pos3d(e - 0.5, 0, 0)),
                   "Transformations.AddTransformation((0, 0, 1), -1)",
                   "Element.SetTransformation(" + id + ", " + S(transformation) + ")"};
  };
  auto segmentPart = [](long e) {
    const std::string id = S(e);
    const std::string point = Text(pos3d(e - 0.5, 0, 0));
    return Strings{"Elements.GetElement(" + id + ")", "Connectivity.GetElementPoint(" + id + ")",
                   "Host.GetSection" + point,         "Element.SetSection(" + id + ", 11)",
                   "Host.GetMaterial" + point,        "Element.SetMaterial(" + id + ", 21)"};
  };
  Strings expected{"Host.GetEccentricityCallback", "Host.GetLocalSystemCallback",
                   "Host.GetConstantEccentricity", "Eccentricities.AddEccentricity((0, 0, 0.5), -1)",
                   "Host.GetSegment(0)"};
  for (const Strings& part : {beamPart(1, 1), beamPart(2, 2), segmentPart(1), segmentPart(2)})
    expected.insert(expected.end(), part.begin(), part.end());
  expected.push_back("Host.GetSegment(1)");
  for (const Strings& part : {beamPart(3, 3), segmentPart(3)})
    expected.insert(expected.end(), part.begin(), part.end());
  EXPECT_EQ(fx.log.Calls(), expected);

  EXPECT_FALSE(beam->IsModified());
  EXPECT_FALSE(beam->IsEccentricityModified());
  EXPECT_FALSE(beam->IsLocalSystemModified());
  EXPECT_EQ(beam->segmentCountCalls, 3) << "the count is asked before every segment and once more";
  for (long e : {1L, 2L, 3L}) {
    EXPECT_EQ(SectionOf(e), 11);
    EXPECT_EQ(TransformationOf(e), e);
  }
  EXPECT_EQ(s0->GetReferenceCount(), 2) << "the fixture and the host's beam; Write keeps none";
  EXPECT_EQ(eccentricity.use_count(), 2) << "the beam lets its callbacks go";
}

TEST_F(BeamWriteTest, TheAnalysisModelIsFetchedPerQueryAndNotKept) {
  CountingModel counting(fx.xaf);
  const long holders = fx.xaf.use_count();
  beam->Write(counting);
  // The constant eccentricity, then per element: its record for the
  // eccentricity; its record, connectivity, two end nodes and the new
  // transformation for the local system; its record and point for the
  // segment.
  EXPECT_EQ(counting.calls, 1 + 3 * (1 + 5 + 2));
  EXPECT_EQ(fx.xaf.use_count(), holders);
  // Per-node eccentricities: connectivity, then node and record per node.
  eccentricity->isConstant = false;
  beam->ClearUpdateFlags(true);
  s0->ClearUpdateFlags(false);
  s1->ClearUpdateFlags(false);
  beam->SetLocalSystemModified(false);
  counting.calls = 0;
  beam->Write(counting);
  EXPECT_EQ(counting.calls, 3 * (1 + 1 + 2 * 2));
  EXPECT_EQ(fx.xaf.use_count(), holders);
}

TEST_F(BeamWriteTest, OneConstantEccentricityPerWriteIsSharedByAllElements) {
  fx.Attach();
  beam->Write(fx.model);
  EXPECT_EQ(fx.log.Count("Eccentricities.AddEccentricity"), 1u);
  EXPECT_EQ(fx.log.Count("Host.GetEccentricity("), 0u) << "a constant eccentricity is never asked per point";
  EXPECT_EQ(fx.xaf->Eccentricities().Count(), 1u);
  for (long e : {1L, 2L, 3L}) EXPECT_EQ(EccentricityOf(e), 1);
  EXPECT_EQ(fx.xaf->Eccentricities().GetEccentricity(1)->GetEccentricity(), vec3d(0, 0, 0.5));

  // The next Write adds a record of its own, again once.
  eccentricity->constant = vec3d(0.25, 0, 0);
  beam->SetEccentricityModified(true);
  fx.log.Clear();
  beam->Write(fx.model);
  EXPECT_EQ(fx.log.Count("Eccentricities.AddEccentricity"), 1u);
  EXPECT_EQ(fx.log.Count("Host.GetLocalSystemCallback"), 0u);
  EXPECT_EQ(fx.log.Count("Transformations."), 0u);
  for (long e : {1L, 2L, 3L}) EXPECT_EQ(EccentricityOf(e), 2);
  for (long e : {1L, 2L, 3L}) EXPECT_EQ(TransformationOf(e), e) << "local systems are left as they were";
}

TEST_F(BeamWriteTest, AConstantAnswerWithoutAVectorIsTheZeroEccentricity) {
  eccentricity->fillsVector = false;
  beam->Write(fx.model);
  ASSERT_EQ(fx.xaf->Eccentricities().Count(), 1u);
  EXPECT_EQ(fx.xaf->Eccentricities().GetEccentricity(1)->GetEccentricity(), vec3d(0, 0, 0));
  EXPECT_EQ(EccentricityOf(3), 1);
}

TEST_F(BeamWriteTest, PerNodeEccentricitiesGetOneRecordPerNode) {
  eccentricity->isConstant = false;
  // The same vector at every node still makes one record per node.
  eccentricity->eccentricityAt = [](const pos3d&) { return vec3d(0, 0.1, 0); };
  beam->SetLocalSystemModified(false);
  fx.Attach();
  beam->Write(fx.model);

  const Strings expectedFirst{"Host.GetEccentricityCallback",
                              "Host.GetConstantEccentricity",
                              "Host.GetSegment(0)",
                              "Elements.GetElement(1)",
                              "Connectivity.GetElementById(1)",
                              "Connectivity.GetNodeById(1)",
                              "Host.GetEccentricity(0, 0, 0)",
                              "Eccentricities.AddEccentricity((0, 0.1, 0), -1)",
                              "Element.SetNodeEccentricity(1, 0, 1)",
                              "Connectivity.GetNodeById(2)",
                              "Host.GetEccentricity(1, 0, 0)",
                              "Eccentricities.AddEccentricity((0, 0.1, 0), -1)",
                              "Element.SetNodeEccentricity(1, 1, 2)",
                              "Elements.GetElement(2)"};
  ASSERT_GE(fx.log.Calls().size(), expectedFirst.size());
  EXPECT_EQ(Strings(fx.log.Calls().begin(), fx.log.Calls().begin() + expectedFirst.size()), expectedFirst);
  EXPECT_EQ(fx.xaf->Eccentricities().Count(), 6u);
  for (long e : {1L, 2L, 3L}) {
    auto element = fx.xaf->Elements().GetElement(e);
    EXPECT_EQ(element->GetEccentricity(), -1) << "per node";
    EXPECT_EQ(element->GetNodeEccentricity(0), 2 * e - 1);
    EXPECT_EQ(element->GetNodeEccentricity(1), 2 * e);
  }
}

TEST_F(BeamWriteTest, PerNodeEccentricitiesFollowTheCallbackAtEachNode) {
  eccentricity->isConstant = false;  // default answer: (0, 0, x of the node)
  beam->Write(fx.model);
  for (long e : {1L, 2L, 3L}) {
    auto element = fx.xaf->Elements().GetElement(e);
    for (unsigned i = 0; i < 2; ++i) {
      const long id = element->GetNodeEccentricity(i);
      const double x = fx.xaf->GetConnectivityManager().GetNodeById(2 * e - 1 + i).GetPos().x;
      EXPECT_EQ(fx.xaf->Eccentricities().GetEccentricity(id)->GetEccentricity(), vec3d(0, 0, x));
    }
  }
}

TEST_F(BeamWriteTest, EmptyCallbacksGiveZeroIdsAndNeverReverse) {
  beam->eccentricity.reset();
  beam->localSystem.reset();
  // An element running against x would be reversed by a callback; without
  // one it stays.
  const long against = fx.Beam2(pos3d(5, 0, 0), pos3d(4, 0, 0));
  s1->AddElement(against);
  fx.xaf->Elements().GetElement(1)->SetEccentricity(
      fx.xaf->Eccentricities().AddEccentricity(vec3d(1, 0, 0), -1));
  fx.Attach();
  beam->Write(fx.model);
  EXPECT_EQ(fx.log.Count("Eccentricities."), 0u);
  EXPECT_EQ(fx.log.Count("Transformations."), 0u);
  EXPECT_EQ(fx.log.Count("Elements.ReverseNodeNumbers"), 0u);
  EXPECT_EQ(fx.log.Count("Connectivity.GetElementById"), 0u);
  for (long e : {1L, 2L, 3L, against}) {
    EXPECT_EQ(EccentricityOf(e), 0);
    EXPECT_EQ(TransformationOf(e), 0);
  }
  EXPECT_FALSE(beam->IsEccentricityModified());
}

TEST_F(BeamWriteTest, WithBothFlagsClearOnlyTheSegmentsWrite) {
  beam->ClearUpdateFlags(false);
  s1->ClearUpdateFlags(false);
  beam->SetModified(true);
  fx.Attach();
  beam->Write(fx.model);
  EXPECT_EQ(fx.log.Count("Host.GetEccentricityCallback"), 0u);
  EXPECT_EQ(fx.log.Count("Host.GetLocalSystemCallback"), 0u);
  EXPECT_EQ(fx.log.Count("Element.SetEccentricity"), 0u);
  EXPECT_EQ(fx.log.Count("Element.SetTransformation"), 0u);
  EXPECT_EQ(fx.log.Count("Element.SetSection"), 2u) << "segment 0 writes; segment 1 has nothing marked";
  EXPECT_EQ(fx.log.Count("Host.GetSegment"), 2u) << "every segment is visited";
  EXPECT_FALSE(beam->IsModified());
}

TEST_F(BeamWriteTest, WithOneFlagTheOtherCallbackIsNeverAskedFor) {
  struct Case {
    const char* name;
    bool eccentricityFlag, localSystemFlag;
  };
  for (const Case& c : {Case{"eccentricity only", true, false}, Case{"local system only", false, true}}) {
    SCOPED_TRACE(c.name);
    beam->SetEccentricityModified(c.eccentricityFlag);
    beam->SetLocalSystemModified(c.localSystemFlag);
    fx.Attach();
    fx.log.Clear();
    beam->Write(fx.model);
    EXPECT_EQ(fx.log.Count("Host.GetEccentricityCallback"), c.eccentricityFlag ? 1u : 0u);
    EXPECT_EQ(fx.log.Count("Host.GetConstantEccentricity"), c.eccentricityFlag ? 1u : 0u);
    EXPECT_EQ(fx.log.Count("Element.SetEccentricity"), c.eccentricityFlag ? 3u : 0u);
    EXPECT_EQ(fx.log.Count("Host.GetLocalSystemCallback"), c.localSystemFlag ? 1u : 0u);
    EXPECT_EQ(fx.log.Count("Element.SetTransformation"), c.localSystemFlag ? 3u : 0u);
  }
}

TEST_F(BeamWriteTest, ElementsGainedSinceTheLastWriteGetPropertiesOnlyWithABeamFlag) {
  beam->Write(fx.model);
  const long added = fx.Beam2(pos3d(3, 0, 0), pos3d(4, 0, 0));
  s1->AddElement(added);
  beam->Write(fx.model);
  EXPECT_EQ(SectionOf(added), 11);
  EXPECT_EQ(EccentricityOf(added), 0) << "no beam flag: no eccentricity yet";
  beam->SetEccentricityModified(true);
  beam->Write(fx.model);
  EXPECT_EQ(EccentricityOf(added), 2);
}

TEST_F(BeamWriteTest, ABeamWithoutSegmentsStillAddsItsConstantEccentricity) {
  beam->segments.clear();
  fx.Attach();
  beam->Write(fx.model);
  EXPECT_EQ(fx.log.Calls(),
            (Strings{"Host.GetEccentricityCallback", "Host.GetLocalSystemCallback",
                     "Host.GetConstantEccentricity", "Eccentricities.AddEccentricity((0, 0, 0.5), -1)"}));
  EXPECT_FALSE(beam->IsModified());
  EXPECT_FALSE(beam->ArePropertiesUpdated());
  fx.log.Clear();
  beam->Delete(fx.model);
  EXPECT_TRUE(fx.log.Calls().empty());
}

TEST_F(BeamWriteTest, ClearUpdateFlagsCoversModifiedButNotTheSegments) {
  s0->ClearUpdateFlags(false);
  beam->ClearUpdateFlags(false);
  EXPECT_FALSE(beam->IsModified() || beam->IsEccentricityModified() || beam->IsLocalSystemModified());
  beam->ClearUpdateFlags(true);
  EXPECT_TRUE(beam->IsModified() && beam->IsEccentricityModified() && beam->IsLocalSystemModified());
  EXPECT_FALSE(s0->IsSectionModified());
}

TEST_F(BeamWriteTest, DeleteRemovesEverySegmentsElementsAndKeepsFlags) {
  beam->Write(fx.model);
  beam->SetLocalSystemModified(true);
  fx.Attach();
  fx.log.Clear();
  beam->Delete(fx.model);
  EXPECT_EQ(fx.log.Calls(), (Strings{"Host.GetSegment(0)", "Elements.RemoveElement(1, true)",
                                     "Elements.RemoveElement(2, true)", "Host.GetSegment(1)",
                                     "Elements.RemoveElement(3, true)"}));
  EXPECT_EQ(fx.xaf->Elements().Count(), 0u);
  EXPECT_FALSE(beam->IsEccentricityModified());
  EXPECT_TRUE(beam->IsLocalSystemModified());
  EXPECT_EQ(fx.xaf->Eccentricities().Count(), 1u) << "records of earlier writes stay";
  EXPECT_TRUE(beam->GetElements().empty());
}

TEST_F(BeamWriteTest, ANullSegmentFromTheHostIsAClearError) {
  beam->segments.push_back(nullptr);
  EXPECT_THROW(beam->Write(fx.model), std::logic_error);
  EXPECT_TRUE(beam->IsModified() && beam->ArePropertiesUpdated());
  EXPECT_THROW(beam->GetElements(), std::logic_error);
}

TEST_F(BeamWriteTest, CopiesCarryTheFlags) {
  beam->SetEccentricityModified(false);
  TestBeam copy(*beam);
  EXPECT_FALSE(copy.IsEccentricityModified());
  EXPECT_TRUE(copy.IsLocalSystemModified());
  TestBeam assigned;
  assigned = *beam;
  EXPECT_FALSE(assigned.IsEccentricityModified());
}

// ---- the element list -------------------------------------------------------

class BeamElementListTest : public ::testing::Test {
 protected:
  boost::intrusive_ptr<TestSegment> Segment(std::initializer_list<long> ids) {
    boost::intrusive_ptr<TestSegment> s(new TestSegment);
    for (long id : ids) s->AddElement(id);
    return s;
  }
  TestBeam beam;
};

TEST_F(BeamElementListTest, ListsBySegmentThenAscendingId) {
  struct Case {
    const char* name;
    std::vector<std::vector<long>> segments;
    std::list<long> expected;
  };
  const Case cases[] = {
      {"no segments", {}, {}},
      {"empty segments", {{}, {}}, {}},
      {"segment order first", {{9, 4}, {2, 7}}, {4, 9, 2, 7}},
      {"duplicates kept at each segment's place", {{5, 1}, {3}, {5, 6}}, {1, 5, 3, 5, 6}},
      {"a long run", {{10, 11, 12, 13, 20}}, {10, 11, 12, 13, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    beam.segments.clear();
    for (const auto& ids : c.segments) {
      boost::intrusive_ptr<TestSegment> s(new TestSegment);
      for (long id : ids) s->AddElement(id);
      beam.segments.push_back(s);
    }
    EXPECT_EQ(beam.GetElements(), c.expected);
    EXPECT_EQ(beam.GetElements(), c.expected) << "a second call gives the same list";
  }
}

TEST_F(BeamElementListTest, ChangesNothingAndUsesNoModel) {
  BeamModel fx;
  fx.Attach();
  auto s = Segment({3, 1});
  s->ClearUpdateFlags(false);
  beam.segments = {s};
  beam.SetModified(false);
  EXPECT_EQ(beam.GetElements(), (std::list<long>{1, 3}));
  EXPECT_TRUE(fx.log.Calls().empty());
  EXPECT_FALSE(s->IsGeometryModified());
  EXPECT_FALSE(beam.IsModified());
  EXPECT_EQ(s->GetReferenceCount(), 2) << "the segment is released after reading";
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
