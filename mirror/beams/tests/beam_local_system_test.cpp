// Beams: local systems (midpoint and node-by-node transformations, reversal
// of elements that run against the local x axis), the guard for elements
// without nodes, and read-back of what a beam wrote through MirrorElement.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include "analysis_model/testing/table_faults.hpp"
#include "mirror/beams/tests/beam_test_support.hpp"
#include "mirror/core/mirror_element.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using namespace Testing;

using Strings = std::vector<std::string>;

class BeamLocalSystemTest : public ::testing::Test {
 protected:
  BeamLocalSystemTest() {
    beam->segments = {segment};
    beam->localSystem = localSystem;
    beam->SetEccentricityModified(false);
    segment->ClearUpdateFlags(false);
  }

  std::vector<long> GeometricNodes(long e) {
    const Element record = fx.xaf->GetConnectivityManager().GetElementById(e);
    std::vector<long> nodes;
    for (unsigned i = 0; i < record.NodeCount(); ++i) nodes.push_back(record.GetNode(i, Element::Geometric));
    return nodes;
  }
  vec3d StoredVector(long transformation) {
    return fx.xaf->Transformations().GetTransformation(transformation)->GetTransformationVector();
  }

  BeamModel fx;
  boost::intrusive_ptr<TestSegment> segment{new TestSegment};
  boost::intrusive_ptr<TestBeam> beam{new TestBeam(&fx.log)};
  boost::shared_ptr<TestLocalSystemCallback> localSystem{new TestLocalSystemCallback(&fx.log)};
};

TEST_F(BeamLocalSystemTest, TwoNodeElementIsReversedOnlyAgainstTheLocalXAxis) {
  struct Case {
    const char* name;
    vec3d x;
    bool reversed;
  };
  const Case cases[] = {
      {"against x", vec3d(-1, 0, 0), true},
      {"perpendicular", vec3d(0, 1, 0), false},
      {"along x", vec3d(1, 0, 0), false},
      {"slightly against", vec3d(-0.01, 1, 0), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const long e = fx.Beam2(pos3d(0, 0, 0), pos3d(2, 0, 0));
    const std::vector<long> before = GeometricNodes(e);
    boost::intrusive_ptr<TestSegment> s(new TestSegment);
    s->AddElement(e);
    s->ClearUpdateFlags(false);
    beam->segments = {s};
    const vec3d z(0, 0, 1);
    localSystem->systemAt = [&](const pos3d&) { return locsys3d(c.x, z); };
    beam->SetLocalSystemModified(true);
    fx.Attach();
    fx.log.Clear();
    beam->Write(fx.model);

    fx.Detach();
    EXPECT_EQ(fx.log.Matching("Host.GetLocalSystem("), (Strings{"Host.GetLocalSystem(1, 0, 0)"}));
    EXPECT_EQ(fx.log.Count("Transformations.AddTransformation"), 1u);
    const long t = fx.xaf->Elements().GetElement(e)->GetTransformation();
    ASSERT_GT(t, 0);
    EXPECT_TRUE(isZero(StoredVector(t) - z)) << "the stored vector is the local z axis";
    const Strings reversals = fx.log.Matching("Elements.ReverseNodeNumbers");
    EXPECT_EQ(reversals,
              c.reversed ? Strings{"Elements.ReverseNodeNumbers(" + std::to_string(e) + ")"} : Strings{});
    if (c.reversed) {
      ASSERT_EQ(fx.log.Calls().back(), reversals.front()) << "reversed after its transformation is set";
      EXPECT_EQ(GeometricNodes(e), (std::vector<long>{before[1], before[0]}));
    } else {
      EXPECT_EQ(GeometricNodes(e), before);
    }
  }
}

TEST_F(BeamLocalSystemTest, ThreeNodeBeamGetsOneTransformationPerNode) {
  // Stored end, end, middle: nodes at x = 0, 2 and 1.
  const long e = fx.Beam3(pos3d(0, 0, 0), pos3d(2, 0, 0), pos3d(1, 0, 0));
  segment->AddElement(e);
  segment->ClearUpdateFlags(false);
  // A z axis that differs per node shows which node got which record.
  localSystem->systemAt = [](const pos3d& p) {
    return locsys3d(vec3d(1, 0, 0), p.x == 0 ? vec3d(0, 0, 1) : p.x == 2 ? vec3d(0, 1, 0) : vec3d(0, 0, -1));
  };
  fx.Attach();
  beam->Write(fx.model);

  const std::string id = std::to_string(e);
  EXPECT_EQ(fx.log.Calls(),
            (Strings{"Host.GetLocalSystemCallback", "Host.GetSegment(0)", "Elements.GetElement(" + id + ")",
                     "Connectivity.GetElementById(" + id + ")", "Connectivity.GetNodeById(1)",
                     "Connectivity.GetNodeById(3)", "Connectivity.GetNodeById(1)",
                     "Host.GetLocalSystem(0, 0, 0)", "Transformations.AddTransformation((0, 0, 1), -1)",
                     "Element.SetNodeTransformation(" + id + ", 0, 1)", "Connectivity.GetNodeById(2)",
                     "Host.GetLocalSystem(2, 0, 0)", "Transformations.AddTransformation((0, 1, 0), -1)",
                     "Element.SetNodeTransformation(" + id + ", 1, 2)", "Connectivity.GetNodeById(3)",
                     "Host.GetLocalSystem(1, 0, 0)", "Transformations.AddTransformation((0, 0, -1), -1)",
                     "Element.SetNodeTransformation(" + id + ", 2, 3)"}));
  auto element = fx.xaf->Elements().GetElement(e);
  EXPECT_EQ(element->GetTransformation(), -1) << "per node; SetTransformation is never called";
  for (unsigned i = 0; i < 3; ++i) EXPECT_EQ(element->GetNodeTransformation(i), static_cast<long>(i + 1));
}

TEST_F(BeamLocalSystemTest, ThreeNodeBeamReversalFollowsTheLastNodesXAxis) {
  struct Case {
    const char* name;
    double xAtMiddle, xElsewhere;
    bool reversed;
  };
  // The last stored node is the middle one (x = 1); only its axis counts.
  for (const Case& c : {Case{"last node against", -1, 1, true}, Case{"last node along", 1, -1, false}}) {
    SCOPED_TRACE(c.name);
    const long e = fx.Beam3(pos3d(0, 0, 0), pos3d(2, 0, 0), pos3d(1, 0, 0));
    boost::intrusive_ptr<TestSegment> s(new TestSegment);
    s->AddElement(e);
    s->ClearUpdateFlags(false);
    beam->segments = {s};
    localSystem->systemAt = [&](const pos3d& p) {
      return locsys3d(vec3d(p.x == 1 ? c.xAtMiddle : c.xElsewhere, 0, 0), vec3d(0, 0, 1));
    };
    beam->SetLocalSystemModified(true);
    fx.Attach();
    fx.log.Clear();
    beam->Write(fx.model);
    EXPECT_EQ(fx.log.Count("Elements.ReverseNodeNumbers"), c.reversed ? 1u : 0u);
    EXPECT_EQ(fx.log.Count("Transformations.AddTransformation"), 3u);
  }
}

TEST_F(BeamLocalSystemTest, WithTheFlagClearNothingIsAskedOrSet) {
  const long e = fx.Beam2(pos3d(0, 0, 0), pos3d(2, 0, 0));
  segment->AddElement(e);
  segment->ClearUpdateFlags(false);
  beam->ClearUpdateFlags(false);
  fx.Attach();
  beam->Write(fx.model);
  EXPECT_EQ(fx.log.Calls(), (Strings{"Host.GetSegment(0)"}));
}

TEST_F(BeamLocalSystemTest, AnElementWithoutNodesIsAClearErrorAndKeepsTheFlags) {
  const long e = fx.Beam2(pos3d(0, 0, 0), pos3d(2, 0, 0));
  segment->AddElement(e);
  // The model's own operations never leave an element without nodes; its
  // tables are damaged here to see that the beam does not read past the end
  // of an empty node list.
  AnalysisModel::Testing::ClearElementNodes(*fx.xaf, e);
  fx.Attach();
  try {
    beam->Write(fx.model);
    FAIL() << "no exception";
  } catch (const std::invalid_argument& error) {
    EXPECT_NE(std::string(error.what()).find("element " + std::to_string(e) + " has no nodes"),
              std::string::npos)
        << error.what();
  }
  EXPECT_EQ(fx.log.Count("Host.GetLocalSystem("), 0u);
  EXPECT_EQ(fx.log.Count("Connectivity.GetNodeById"), 0u);
  EXPECT_TRUE(beam->IsLocalSystemModified());
  EXPECT_TRUE(beam->IsModified());
}

// ---- what a beam writes reads back through MirrorElement ------------------

TEST(BeamReadBackTest, EccentricitiesAndLocalSystemsReadBackAsWritten) {
  BeamModel fx;
  const long along = fx.Beam2(pos3d(0, 0, 0), pos3d(2, 0, 0));
  const long against = fx.Beam2(pos3d(4, 0, 0), pos3d(2, 0, 0));
  const long perNode = fx.Beam2(pos3d(0, 3, 0), pos3d(0, 5, 0));
  boost::intrusive_ptr<TestSegment> constantPart(new TestSegment), variablePart(new TestSegment);
  constantPart->AddElement(along);
  constantPart->AddElement(against);
  variablePart->AddElement(perNode);

  // Host: a constant offset of (0, 0, -0.2) on the first beam, a varying one
  // on the second; the x axis along +X (or +Y), z tilted about it.
  const vec3d z(0, 0.6, 0.8);
  auto constant = boost::make_shared<TestEccentricityCallback>(nullptr);
  constant->isConstant = true;
  constant->constant = vec3d(0, 0, -0.2);
  auto systemX = boost::make_shared<TestLocalSystemCallback>(nullptr);
  systemX->systemAt = [&](const pos3d&) { return locsys3d(vec3d(1, 0, 0), z); };
  TestBeam first;
  first.segments = {constantPart};
  first.eccentricity = constant;
  first.localSystem = systemX;
  first.Write(fx.model);

  auto variable = boost::make_shared<TestEccentricityCallback>(nullptr);
  variable->eccentricityAt = [](const pos3d& p) { return vec3d(0.1 * p.y, 0, 0); };
  auto systemY = boost::make_shared<TestLocalSystemCallback>(nullptr);
  systemY->systemAt = [](const pos3d&) { return locsys3d(vec3d(0, 1, 0), vec3d(1, 0, 0)); };
  TestBeam second;
  second.segments = {variablePart};
  second.eccentricity = variable;
  second.localSystem = systemY;
  second.Write(fx.model);

  auto near = [](const vec3d& a, const vec3d& b) { return isZero(a - b); };
  for (long e : {along, against}) {
    SCOPED_TRACE(e);
    MirrorElement element(*fx.xaf, e);
    ASSERT_TRUE(element.GetEccentricityStart() && element.GetEccentricityEnd());
    EXPECT_TRUE(near(*element.GetEccentricityStart(), vec3d(0, 0, -0.2)));
    EXPECT_TRUE(near(*element.GetEccentricityEnd(), vec3d(0, 0, -0.2)));
    const boost::optional<locsys3d> system = element.GetTransformationStart();
    ASSERT_TRUE(system);
    // The reversed element now runs along +X too, so its axes match.
    EXPECT_TRUE(near(system->x(), vec3d(1, 0, 0))) << system->x();
    EXPECT_TRUE(near(system->z(), z)) << system->z();
  }
  MirrorElement element(*fx.xaf, perNode);
  ASSERT_TRUE(element.GetEccentricityStart() && element.GetEccentricityEnd());
  EXPECT_TRUE(near(*element.GetEccentricityStart(), vec3d(0.3, 0, 0))) << *element.GetEccentricityStart();
  EXPECT_TRUE(near(*element.GetEccentricityEnd(), vec3d(0.5, 0, 0))) << *element.GetEccentricityEnd();
  ASSERT_TRUE(element.GetTransformationEnd());
  EXPECT_TRUE(near(element.GetTransformationEnd()->x(), vec3d(0, 1, 0)));
  EXPECT_TRUE(near(element.GetTransformationEnd()->z(), vec3d(1, 0, 0)));
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
