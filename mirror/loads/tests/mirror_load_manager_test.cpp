// Tests of IMirrorLoadManager: the rigid-body rotation load against an
// independent form of the formula, nodes on the axis, degenerate input,
// failures midway, and removal of loads by node, load case and concept.
#include "mirror/loads/mirror_load_manager.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "mirror/beams/mirror_beam.hpp"
#include "mirror/beams/mirror_segment.hpp"
#include "mirror/core/node_concepts.hpp"
#include "mirror/loads/tests/load_test_support.hpp"
#include "mirror/plates/mirror_plate.hpp"
#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_section.hpp"
#include "mirror/properties/mirror_thickness.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using AnalysisModel::LoadKind;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Testing::MeshTest;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

constexpr long kCase = 3;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class TestLoadManager : public IMirrorLoadManager {
 public:
  explicit TestLoadManager(IMirrorModel& model) : model_(model) {}
  IMirrorModel& GetModel() override {
    ++modelQuestions;
    return model_;
  }
  int modelQuestions = 0;

 private:
  IMirrorModel& model_;
};

// The acceleration written for a node, read back from the model.
struct Written {
  long node;
  pos3d position;
  vec3d acceleration;
  vec3d second;
};

class LoadManagerTest : public MeshTest {
 protected:
  std::vector<Written> Accelerations(long loadCase) {
    std::vector<Written> out;
    for (const auto& entry : xaf_->Loads().GetLoads(loadCase)) {
      EXPECT_EQ(entry.kind, LoadKind::NodeAcceleration);
      const auto* record = dynamic_cast<const PointLoad*>(entry.record.get());
      if (!record) {
        ADD_FAILURE() << "not a point-load record";
        continue;
      }
      out.push_back({entry.target, record->Position(), record->Force(), record->Moment()});
    }
    return out;
  }
  // The same acceleration written independently: centripetal -ω²·(N - P)
  // plus α times the unit axis crossed with (N - P), P the foot on the axis.
  static vec3d Expected(const pos3d& n, const pos3d& a, const pos3d& b, double omega, double alpha) {
    const vec3d axis(a, b);
    const double len = axis.length();
    const vec3d u(axis.x / len, axis.y / len, axis.z / len);
    const vec3d an(a, n);
    const double along = an.dot(u);
    const vec3d radial = an - u * along;  // N - P
    return radial * (-omega * omega) + u.cross(radial) * alpha;
  }
  static void ExpectNear(const vec3d& actual, const vec3d& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-12);
    EXPECT_NEAR(actual.y, expected.y, 1e-12);
    EXPECT_NEAR(actual.z, expected.z, 1e-12);
  }

  TestLoadManager manager_{model_};
};

TEST_F(LoadManagerTest, RotationAboutTheZAxisGivesTheWorkedExample) {
  manager_.AddRigidBodyRotationLoad(kCase, {0, 0, 0}, {0, 0, 1}, 2.0, 3.0);
  const auto written = Accelerations(kCase);
  ASSERT_EQ(written.size(), 5u) << "node 1 lies on the axis";
  EXPECT_EQ(written[0].node, 2);
  EXPECT_EQ(written[0].position, pos3d(1, 0, 0));
  ExpectNear(written[0].acceleration, vec3d(-4, 3, 0));
  EXPECT_EQ(written[0].second, vec3d(0, 0, 0));
  EXPECT_EQ(written[1].node, 3);
  ExpectNear(written[2].acceleration, vec3d(-3, -4, 0));  // node 4 at (0, 1, 0)
  EXPECT_EQ(manager_.modelQuestions, 1);
}

TEST_F(LoadManagerTest, VisitsNodesInAscendingOrderLookingEachUpBeforeItsLoad) {
  manager_.AddRigidBodyRotationLoad(kCase, {0, 0, 0}, {0, 0, 1}, 1.0, 0.0);
  EXPECT_THAT(
      log_.Matching("Connectivity."),
      ElementsAre("Connectivity.GetNodeById 1", "Connectivity.GetNodeById 2", "Connectivity.GetNodeById 3",
                  "Connectivity.GetNodeById 4", "Connectivity.GetNodeById 5", "Connectivity.GetNodeById 6"));
  const auto lookup = std::find(log_.Calls().begin(), log_.Calls().end(), "Connectivity.GetNodeById 2");
  ASSERT_NE(lookup, log_.Calls().end());
  EXPECT_EQ(*std::next(lookup), "Loads.AddNodeAccelerationLoad 3 2");
}

// Every node against the independent formula, for axes in general position,
// including the reversed axis, negated α and negated ω.
TEST_F(LoadManagerTest, EveryNodeMatchesTheIndependentFormula) {
  struct Case {
    pos3d a, b;
    double omega, alpha;
  };
  const std::vector<Case> cases = {
      {{0, 0, 0}, {0, 0, 1}, 2, 3},          {{0, 0, 1}, {0, 0, 0}, 2, 3},
      {{0, 0, 0}, {0, 0, 1}, -2, -3},        {{0.5, -1, 2}, {3, 4, -1}, 1.5, 0.25},
      {{3, 4, -1}, {0.5, -1, 2}, 1.5, 0.25}, {{10, 10, 10}, {10, 10, 12}, 0, 0},
  };
  long loadCase = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE("axis " + std::to_string(loadCase));
    manager_.AddRigidBodyRotationLoad(loadCase, c.a, c.b, c.omega, c.alpha);
    for (const Written& w : Accelerations(loadCase)) {
      SCOPED_TRACE("node " + std::to_string(w.node));
      ExpectNear(w.acceleration, Expected(w.position, c.a, c.b, c.omega, c.alpha));
      EXPECT_EQ(w.second, vec3d());
    }
    ++loadCase;
  }
}

TEST_F(LoadManagerTest, SwappingTheAxisOrNegatingAlphaReversesOnlyTheTangentialPart) {
  manager_.AddRigidBodyRotationLoad(1, {0, 0, 0}, {0, 0, 1}, 2, 3);
  manager_.AddRigidBodyRotationLoad(2, {0, 0, 1}, {0, 0, 0}, 2, 3);
  manager_.AddRigidBodyRotationLoad(4, {0, 0, 0}, {0, 0, 1}, 2, -3);
  manager_.AddRigidBodyRotationLoad(5, {0, 0, 0}, {0, 0, 1}, -2, 3);
  ExpectNear(Accelerations(2)[0].acceleration, vec3d(-4, -3, 0));
  ExpectNear(Accelerations(4)[0].acceleration, vec3d(-4, -3, 0));
  ExpectNear(Accelerations(5)[0].acceleration, vec3d(-4, 3, 0));
}

TEST_F(LoadManagerTest, NodesOnTheAxisIncludingItsEndsGetNothing) {
  // Nodes 1, 2 and 3 lie on the x axis; 1 and 2 are its ends.
  manager_.AddRigidBodyRotationLoad(kCase, {0, 0, 0}, {1, 0, 0}, 1, 1);
  std::vector<long> nodes;
  for (const Written& w : Accelerations(kCase)) nodes.push_back(w.node);
  EXPECT_THAT(nodes, ElementsAre(4, 5, 6));
}

TEST_F(LoadManagerTest, StillRotationStillWritesAZeroLoadOnEveryNodeOffTheAxis) {
  manager_.AddRigidBodyRotationLoad(kCase, {0, 0, 0}, {0, 0, 1}, 0, 0);
  const auto written = Accelerations(kCase);
  ASSERT_EQ(written.size(), 5u);
  for (const Written& w : written) EXPECT_EQ(w.acceleration, vec3d());
}

TEST_F(LoadManagerTest, CallingTwiceAddsEveryLoadTwice) {
  manager_.AddRigidBodyRotationLoad(kCase, {0, 0, 0}, {0, 0, 1}, 1, 1);
  manager_.AddRigidBodyRotationLoad(kCase, {0, 0, 0}, {0, 0, 1}, 1, 1);
  EXPECT_EQ(Accelerations(kCase).size(), 10u);
}

TEST_F(LoadManagerTest, DegenerateAxisOrRateIsRejectedBeforeAnythingIsWritten) {
  struct Case {
    const char* name;
    pos3d a, b;
    double omega, alpha;
  };
  const std::vector<Case> cases = {
      {"coincident ends", {1, 2, 3}, {1, 2, 3}, 1, 1},
      {"ends too close for a direction", {0, 0, 0}, {1e-200, 0, 0}, 1, 1},
      {"NaN start", {kNaN, 0, 0}, {0, 0, 1}, 1, 1},
      {"infinite end", {0, 0, 0}, {0, kInf, 1}, 1, 1},
      {"NaN angular velocity", {0, 0, 0}, {0, 0, 1}, kNaN, 1},
      {"infinite angular acceleration", {0, 0, 0}, {0, 0, 1}, 1, -kInf},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_.Clear();
    EXPECT_THROW(manager_.AddRigidBodyRotationLoad(kCase, c.a, c.b, c.omega, c.alpha), GeometryError);
    EXPECT_THAT(log_.Calls(), IsEmpty());
    EXPECT_THAT(xaf_->Loads().GetLoads(kCase), IsEmpty());
  }
}

TEST_F(LoadManagerTest, FailureMidwayKeepsTheLoadsAlreadyAdded) {
  // Calls: lookup 1 (on the axis), lookup 2, add 2, lookup 3, add 3, lookup 4 ...
  log_.FailAt(5);
  EXPECT_THROW(manager_.AddRigidBodyRotationLoad(kCase, {0, 0, 0}, {0, 0, 1}, 2, 3), std::runtime_error);
  log_.FailAt(-1);
  const auto written = Accelerations(kCase);
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].node, 2);
}

TEST_F(LoadManagerTest, DeleteLoadsForNodePassesLoadCaseFirst) {
  xaf_->Loads().AddPointLoad(kCase, 2, PointLoad({1, 0, 0}, vec3d(0, 0, -1), vec3d()));
  xaf_->Loads().AddPointLoad(kCase, 3, PointLoad({2, 0, 0}, vec3d(0, 0, -1), vec3d()));
  xaf_->Loads().AddPointLoad(kCase + 1, 2, PointLoad({1, 0, 0}, vec3d(0, 0, -1), vec3d()));
  log_.Clear();
  manager_.DeleteLoadsForNode(2, kCase);
  EXPECT_THAT(log_.Calls(), ElementsAre("Loads.DeleteNodeLoad 3 2"));
  EXPECT_THAT(LoadsOf(kCase), ElementsAre(Pair(LoadKind::Point, 3)));
  EXPECT_THAT(LoadsOf(kCase + 1), ElementsAre(Pair(LoadKind::Point, 2)));
}

TEST_F(LoadManagerTest, DeleteAllLoadsInLoadCaseEmptiesOnlyThatCase) {
  manager_.AddRigidBodyRotationLoad(kCase, {0, 0, 0}, {0, 0, 1}, 1, 1);
  manager_.AddRigidBodyRotationLoad(kCase + 1, {0, 0, 0}, {0, 0, 1}, 1, 1);
  log_.Clear();
  manager_.DeleteAllLoadsInLoadCase(kCase);
  EXPECT_THAT(log_.Calls(), ElementsAre("Loads.DeleteAllLoadsInLoadCase 3"));
  EXPECT_THAT(LoadsOf(kCase), IsEmpty());
  EXPECT_EQ(LoadsOf(kCase + 1).size(), 5u);
}

TEST_F(LoadManagerTest, EachOperationTakesTheAnalysisModelOnce) {
  Testing::NotingMirrorModel noting(model_, log_);
  TestLoadManager manager(noting);
  manager.AddRigidBodyRotationLoad(kCase, {0, 0, 0}, {0, 0, 1}, 2.0, 3.0);
  const std::vector<std::string> rotation = Testing::OperationsOf(log_.Calls());
  ASSERT_FALSE(rotation.empty());
  EXPECT_EQ(rotation.front(), "GetXafModel");
  EXPECT_EQ(std::count(rotation.begin(), rotation.end(), "GetXafModel"), 1) << "held for the whole pass";
  EXPECT_EQ(std::count(rotation.begin(), rotation.end(), "Loads.AddNodeAccelerationLoad"), 5)
      << "only node 1 lies on the axis";
  EXPECT_EQ(manager.modelQuestions, 1);

  log_.Clear();
  manager.DeleteLoadsForNode(2, kCase);
  manager.DeleteAllLoadsInLoadCase(kCase);
  EXPECT_THAT(
      Testing::OperationsOf(log_.Calls()),
      ElementsAre("GetXafModel", "Loads.DeleteNodeLoad", "GetXafModel", "Loads.DeleteAllLoadsInLoadCase"));
}

// ---- DeleteLoadsForConcept ---------------------------------------------------

class TestSegment : public IMirrorSegment {
 public:
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override { return {}; }
  ConceptType GetConceptType() const override { return ConceptType(2, 0, 0); }
  boost::intrusive_ptr<IMirrorSection> GetSection(const pos3d&) override { return {}; }
  boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d&) override { return {}; }
};

class TestBeam : public IMirrorBeam {
 public:
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override { return {}; }
  ConceptType GetConceptType() const override { return ConceptType(3, 0, 0); }
  boost::shared_ptr<IEccentricityCallback> GetEccentricityCallback() override { return {}; }
  boost::shared_ptr<ILocalSystemCallback> GetLocalSystemCallback() override { return {}; }
  boost::intrusive_ptr<IMirrorSegment> GetSegment(unsigned int index) const override {
    return segments.at(index);
  }
  unsigned int GetSegmentCount() const override { return static_cast<unsigned int>(segments.size()); }
  std::vector<boost::intrusive_ptr<IMirrorSegment>> segments;
};

class TestPlate : public IMirrorPlate {
 public:
  boost::intrusive_ptr<IMirrorThickness> GetThickness(const pos3d&) override { return {}; }
  boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d&) override { return {}; }
};

class TestBoundaryCondition : public IMirrorBoundaryCondition {
 public:
  void Delete(IMirrorModel&) override {}
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override { return {}; }
  ConceptType GetConceptType() const override { return ConceptType(4, 0, 0); }
};

class DeleteForConceptTest : public LoadManagerTest {
 protected:
  void SetUp() override {
    LoadManagerTest::SetUp();
    // In the load case: element loads on 1..4 and point loads on nodes 2 and 3;
    // the same again in another load case, which must stay untouched.
    for (long lc : {kCase, kOther}) {
      for (long e : {1, 2}) xaf_->Loads().AddSurfaceLoad(lc, e, SurfaceLoad(-1.0));
      for (long e : {3, 4}) xaf_->Loads().AddLineLoad(lc, e, LineLoad(vec3d(0, 0, -1)));
      xaf_->Loads().AddPointLoad(lc, 2, PointLoad({1, 0, 0}, vec3d(0, 0, -1), vec3d()));
      xaf_->Loads().AddPointLoad(lc, 3, PointLoad({2, 0, 0}, vec3d(0, 0, -1), vec3d()));
    }
    log_.Clear();
  }
  // Targets of the loads left in the load case.
  std::vector<long> Left() {
    std::vector<long> out;
    for (const auto& load : LoadsOf(kCase)) out.push_back(load.second);
    return out;
  }
  void ExpectOtherCaseUntouched() { EXPECT_EQ(LoadsOf(kOther).size(), 6u); }

  static constexpr long kOther = 8;
};

TEST_F(DeleteForConceptTest, EmptyPointerReturnsAtOnce) {
  manager_.DeleteLoadsForConcept(nullptr, kCase);
  EXPECT_EQ(manager_.modelQuestions, 0);
  EXPECT_THAT(log_.Calls(), IsEmpty());
  EXPECT_EQ(LoadsOf(kCase).size(), 6u);
}

TEST_F(DeleteForConceptTest, PlateRemovesTheElementLoadsOfItsElements) {
  boost::intrusive_ptr<IMirrorPlate> plate(new TestPlate);
  plate->AddElement(2);
  plate->AddElement(1);
  manager_.DeleteLoadsForConcept(plate, kCase);
  EXPECT_THAT(log_.Calls(), ElementsAre("Loads.DeleteElementLoad 3 1", "Loads.DeleteElementLoad 3 2"));
  EXPECT_THAT(Left(), ElementsAre(3, 4, 2, 3)) << "line loads on 3, 4 and point loads on nodes 2, 3 stay";
  ExpectOtherCaseUntouched();
}

TEST_F(DeleteForConceptTest, SegmentRemovesTheElementLoadsOfItsElements) {
  boost::intrusive_ptr<IMirrorSegment> segment(new TestSegment);
  segment->AddElement(4);
  manager_.DeleteLoadsForConcept(segment, kCase);
  EXPECT_THAT(log_.Calls(), ElementsAre("Loads.DeleteElementLoad 3 4"));
  EXPECT_THAT(Left(), ElementsAre(1, 2, 3, 2, 3));
  ExpectOtherCaseUntouched();
}

TEST_F(DeleteForConceptTest, BeamRemovesTheElementLoadsOfEverySegment) {
  boost::intrusive_ptr<TestBeam> beam(new TestBeam);
  for (long e : {4, 3}) {
    boost::intrusive_ptr<IMirrorSegment> segment(new TestSegment);
    segment->AddElement(e);
    beam->segments.push_back(segment);
  }
  manager_.DeleteLoadsForConcept(beam, kCase);
  EXPECT_THAT(log_.Calls(), ElementsAre("Loads.DeleteElementLoad 3 4", "Loads.DeleteElementLoad 3 3"));
  EXPECT_THAT(Left(), ElementsAre(1, 2, 2, 3));
  ExpectOtherCaseUntouched();
}

TEST_F(DeleteForConceptTest, JointAndSupportPointRemoveTheLoadsAtTheirNode) {
  boost::intrusive_ptr<IMirrorJoint> joint(new IMirrorJoint);
  joint->SetNode(2);
  manager_.DeleteLoadsForConcept(joint, kCase);
  boost::intrusive_ptr<IMirrorSupportPoint> support(new IMirrorSupportPoint);
  support->SetNode(3);
  manager_.DeleteLoadsForConcept(support, kCase);
  EXPECT_THAT(log_.Calls(), ElementsAre("Loads.DeleteNodeLoad 3 2", "Loads.DeleteNodeLoad 3 3"));
  EXPECT_THAT(Left(), ElementsAre(1, 2, 3, 4));
  ExpectOtherCaseUntouched();
}

TEST_F(DeleteForConceptTest, ObjectsWithoutLoadsToFindRemoveNothing) {
  boost::intrusive_ptr<IMirrorJoint> unplaced(new IMirrorJoint);  // node -1
  boost::intrusive_ptr<IMirrorSupportPoint> nodeZero(new IMirrorSupportPoint);
  nodeZero->SetNode(0);
  boost::intrusive_ptr<IMirrorBoundaryCondition> condition(new TestBoundaryCondition);
  boost::intrusive_ptr<IMirrorPlate> emptyPlate(new TestPlate);
  for (const boost::intrusive_ptr<IMirrorObjectWithTopology>& object :
       std::vector<boost::intrusive_ptr<IMirrorObjectWithTopology>>{unplaced, nodeZero, condition,
                                                                    emptyPlate})
    manager_.DeleteLoadsForConcept(object, kCase);
  EXPECT_THAT(log_.Calls(), IsEmpty());
  EXPECT_EQ(LoadsOf(kCase).size(), 6u);
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
