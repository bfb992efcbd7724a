// Beams under failure: a beam Write in which the host or the analysis model
// throws at call N, for every N, keeps the flags that say what is still to
// be written, releases what it held, and is completed by the next Write.
#include <gtest/gtest.h>

#include <algorithm>

#include "mirror/beams/tests/beam_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using namespace Testing;

// A beam of two segments (elements 1, 2 and element 3) with sections,
// materials, a local system and either one constant eccentricity or one per
// node, on a fresh model.
struct Scenario : TwoSegmentBeam {
  // The host's x axis runs against the beam, so every element is reversed.
  explicit Scenario(bool constantEccentricity) : TwoSegmentBeam(vec3d(-1, 0, 0), constantEccentricity) {
    fx.Attach();
  }

  // Everything a complete Write leaves on the elements.
  void ExpectWritten() {
    for (long e : {1L, 2L, 3L}) {
      SCOPED_TRACE(e);
      auto element = fx.xaf->Elements().GetElement(e);
      EXPECT_EQ(element->GetSection(), 11);
      EXPECT_EQ(element->GetMaterial(), 21);
      EXPECT_GT(element->GetTransformation(), 0);
      if (eccentricity->isConstant) {
        EXPECT_GT(element->GetEccentricity(), 0);
      } else {
        EXPECT_GT(element->GetNodeEccentricity(0), 0);
        EXPECT_GT(element->GetNodeEccentricity(1), 0);
      }
      // Every element runs against the host's x axis and ends reversed once.
      const Element record = fx.xaf->GetConnectivityManager().GetElementById(e);
      EXPECT_EQ(fx.xaf->GetConnectivityManager().GetNodeById(record.GetNode(0, Element::Geometric)).GetPos(),
                pos3d(e, 0, 0));
    }
  }
};

class BeamFaultTest : public ::testing::TestWithParam<bool> {};

TEST_P(BeamFaultTest, AFailureAtEveryCallKeepsFlagsAndTheNextWriteCompletes) {
  std::vector<std::string> reference;
  {
    Scenario clean(GetParam());
    clean.beam->Write(clean.fx.model);
    reference = clean.fx.log.Calls();
    clean.ExpectWritten();
  }
  const auto lastOfSegment0 = std::find(reference.begin(), reference.end(), "Element.SetMaterial(2, 21)");
  ASSERT_NE(lastOfSegment0, reference.end());
  const long segment0Done = lastOfSegment0 - reference.begin();

  for (long n = 0; n < static_cast<long>(reference.size()); ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n) + ": " + reference[n]);
    Scenario s(GetParam());
    s.fx.log.Clear();
    s.fx.log.FailAt(n + 1);
    EXPECT_THROW(s.beam->Write(s.fx.model), InjectedFault);
    EXPECT_EQ(s.fx.log.Calls().size(), static_cast<std::size_t>(n)) << "the same calls as the clean run";

    EXPECT_TRUE(s.beam->IsModified());
    EXPECT_TRUE(s.beam->IsEccentricityModified());
    EXPECT_TRUE(s.beam->IsLocalSystemModified());
    const bool segment0Written = n > segment0Done;
    EXPECT_EQ(s.s0->IsSectionModified(), !segment0Written);
    EXPECT_EQ(s.s0->IsMaterialModified(), !segment0Written);
    EXPECT_TRUE(s.s0->IsGeometryModified());
    EXPECT_TRUE(s.s1->IsSectionModified() && s.s1->IsMaterialModified());

    // Nothing held at the failure outlives it.
    EXPECT_EQ(s.s0->GetReferenceCount(), 2);
    EXPECT_EQ(s.s1->GetReferenceCount(), 2);
    EXPECT_EQ(s.section->GetReferenceCount(), 3);
    EXPECT_EQ(s.eccentricity.use_count(), 2);
    EXPECT_EQ(s.localSystem.use_count(), 2);

    // The retry writes everything still marked. Elements reversed before
    // the failure are now along the axis and are not reversed again.
    s.fx.log.FailAt(0);
    s.beam->Write(s.fx.model);
    EXPECT_FALSE(s.beam->IsModified() || s.beam->ArePropertiesUpdated());
    EXPECT_FALSE(s.s0->ArePropertiesUpdated() || s.s1->ArePropertiesUpdated());
    s.ExpectWritten();
  }
}

INSTANTIATE_TEST_SUITE_P(Eccentricity, BeamFaultTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Constant" : "PerNode";
                         });

TEST(BeamDeleteFaultTest, AFailedDeleteLeavesTheRestForTheNextDelete) {
  Scenario s(true);
  s.fx.log.Clear();
  s.fx.log.FailAt(4);  // GetSegment(0), two removals, GetSegment(1) fails
  EXPECT_THROW(s.beam->Delete(s.fx.model), InjectedFault);
  EXPECT_TRUE(s.s0->GetElements().empty());
  EXPECT_EQ(s.s1->GetElements().size(), 1);
  s.fx.log.FailAt(0);
  s.beam->Delete(s.fx.model);
  EXPECT_EQ(s.fx.xaf->Elements().Count(), 0u);
  EXPECT_TRUE(s.beam->IsModified());
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
