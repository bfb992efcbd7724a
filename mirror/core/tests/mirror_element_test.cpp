// MirrorElement: eccentricity, local system and hinge read back at an
// element's start, end and inner nodes, with element-wide and per-node ids.
#include "mirror/core/mirror_element.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "mirror/core/tests/core_test_support.hpp"

namespace Kestrum::Quilm::Mirror {

// Reaches the private point look-up of the view.
class MirrorElementTestAccess {
 public:
  static long GetNodeIndex(const MirrorElement& view, const pos3d& point) { return view.GetNodeIndex(point); }
};

namespace {

using Testing::TracedModelTest;

void ExpectVec(const boost::optional<vec3d>& actual, const vec3d& expected) {
  ASSERT_TRUE(actual.has_value());
  EXPECT_NEAR(actual->x, expected.x, 1e-12);
  EXPECT_NEAR(actual->y, expected.y, 1e-12);
  EXPECT_NEAR(actual->z, expected.z, 1e-12);
}

void ExpectAxes(const boost::optional<locsys3d>& actual, const vec3d& x, const vec3d& z) {
  ASSERT_TRUE(actual.has_value());
  ExpectVec(actual->x(), x);
  ExpectVec(actual->z(), z);
}

void ExpectHinge(const boost::optional<Hinge>& actual, const Hinge& expected) {
  ASSERT_TRUE(actual.has_value());
  EXPECT_TRUE(*actual == expected);
}

class MirrorElementTest : public TracedModelTest {
 protected:
  // A two-node beam along global X from (0,0,0) to (5,0,0).
  long AddBeam2() {
    const long a = xaf_->Nodes().AddNode(pos3d(0, 0, 0));
    const long b = xaf_->Nodes().AddNode(pos3d(5, 0, 0));
    return xaf_->Elements().AddElement(qlElementType::Beam2(), {a, b});
  }
  // A three-node beam along global Y, stored (end, end, middle).
  long AddBeam3() {
    const long a = xaf_->Nodes().AddNode(pos3d(0, 0, 0));
    const long b = xaf_->Nodes().AddNode(pos3d(0, 4, 0));
    const long m = xaf_->Nodes().AddNode(pos3d(0, 2, 0));
    return xaf_->Elements().AddElement(qlElementType::Beam3(), {a, b, m});
  }
  boost::shared_ptr<XafElement> Record(long element) { return xaf_->Elements().GetElement(element); }
  long Eccentricity(const vec3d& v) { return xaf_->Eccentricities().AddEccentricity(v, -1); }
};

TEST_F(MirrorElementTest, ElementWideEccentricityZeroIsAbsentEverywhere) {
  const long element = AddBeam2();
  Record(element)->SetEccentricity(0);
  MirrorElement view(*xaf_, element);
  EXPECT_FALSE(view.GetEccentricityStart());
  EXPECT_FALSE(view.GetEccentricityEnd());
  EXPECT_FALSE(view.GetEccentricity(1));
}

TEST_F(MirrorElementTest, ElementWideEccentricityAppliesAtEveryPosition) {
  const long element = AddBeam3();
  Record(element)->SetEccentricity(Eccentricity(vec3d(0.1, 0, 0.2)));
  MirrorElement view(*xaf_, element);
  for (short position = 0; position < 3; ++position) {
    SCOPED_TRACE(position);
    ExpectVec(view.GetEccentricity(position), vec3d(0.1, 0, 0.2));
  }
  ExpectVec(view.GetEccentricityStart(), vec3d(0.1, 0, 0.2));
  ExpectVec(view.GetEccentricityEnd(), vec3d(0.1, 0, 0.2));
}

TEST_F(MirrorElementTest, PerNodeEccentricitiesReadEachPositionsOwnId) {
  const long element = AddBeam2();
  auto record = Record(element);
  record->SetNodeEccentricity(0, Eccentricity(vec3d(0, 0, 1)));
  record->SetNodeEccentricity(1, 0);
  ASSERT_EQ(record->GetEccentricity(), -1);
  MirrorElement view(*xaf_, element);
  ExpectVec(view.GetEccentricityStart(), vec3d(0, 0, 1));
  EXPECT_FALSE(view.GetEccentricityEnd());

  // Answers follow changes made after the view was built.
  record->SetNodeEccentricity(1, Eccentricity(vec3d(0, 0, -1)));
  ExpectVec(view.GetEccentricityEnd(), vec3d(0, 0, -1));
}

TEST_F(MirrorElementTest, EndOfAThreeNodeElementIsPositionTwo) {
  const long element = AddBeam3();
  auto record = Record(element);
  record->SetNodeEccentricity(0, Eccentricity(vec3d(1, 0, 0)));
  record->SetNodeEccentricity(1, Eccentricity(vec3d(2, 0, 0)));
  record->SetNodeEccentricity(2, Eccentricity(vec3d(3, 0, 0)));
  MirrorElement view(*xaf_, element);
  // Per-node ids are read at the position unchanged (stored index).
  ExpectVec(view.GetEccentricityEnd(), vec3d(3, 0, 0));
  ExpectVec(view.GetEccentricity(1), vec3d(2, 0, 0));
  const auto reads = EventsOf("Element.GetNodeEccentricity");
  ASSERT_FALSE(reads.empty());
  EXPECT_EQ(reads.front().arguments.back(), "2");
}

TEST_F(MirrorElementTest, ShapeOneWithTransformationZeroHasNoLocalSystem) {
  const long element = AddBeam2();
  auto record = Record(element);
  const long t = xaf_->Transformations().AddTransformation(vec3d(0, 0, 1), -1);
  record->SetNodeTransformation(0, t);
  record->SetNodeTransformation(1, t);
  record->SetTransformation(0);
  MirrorElement view(*xaf_, element);
  EXPECT_FALSE(view.GetTransformationStart());
  EXPECT_FALSE(view.GetTransformationEnd());
}

TEST_F(MirrorElementTest, ShapeOneRebuildsTheSystemFromItsLineAndZVector) {
  const long element = AddBeam3();
  Record(element)->SetTransformation(xaf_->Transformations().AddTransformation(vec3d(1, 0, 1), -1));
  MirrorElement view(*xaf_, element);
  trace_.Clear();
  // x runs from the first to the last node (along +Y); z is the stored
  // vector made perpendicular to x.
  const double s = 1.0 / std::sqrt(2.0);
  ExpectAxes(view.GetTransformationStart(), vec3d(0, 1, 0), vec3d(s, 0, s));
  EXPECT_EQ(Operations(),
            (std::vector<std::string>{"Connectivity.GetElementById", "Element.GetTransformation",
                                      "Connectivity.GetNodeById", "Connectivity.GetNodeById",
                                      "Transformations.GetTransformation"}));
  ExpectAxes(view.GetTransformationEnd(), vec3d(0, 1, 0), vec3d(s, 0, s));
  ExpectAxes(view.GetTransformation(1), vec3d(0, 1, 0), vec3d(s, 0, s));
}

TEST_F(MirrorElementTest, ShapeOnePerNodeTransformations) {
  const long element = AddBeam2();
  auto record = Record(element);
  record->SetNodeTransformation(0, xaf_->Transformations().AddTransformation(vec3d(0, 1, 0), -1));
  record->SetNodeTransformation(1, 0);
  MirrorElement view(*xaf_, element);
  trace_.Clear();
  ExpectAxes(view.GetTransformationStart(), vec3d(1, 0, 0), vec3d(0, 1, 0));
  const auto ops = Operations();
  ASSERT_EQ(ops.size(), 6u);
  EXPECT_EQ(ops[4], "Element.GetNodeTransformation");
  EXPECT_FALSE(view.GetTransformationEnd());
}

TEST_F(MirrorElementTest, ShapeZeroUsesTheNodesTransformation) {
  const long node = xaf_->Nodes().AddNode(pos3d(1, 1, 1));
  const long element = xaf_->Elements().AddElement(qlElementType::PointElement(), {node});
  MirrorElement view(*xaf_, element);
  EXPECT_FALSE(view.GetTransformationStart()) << "a node without transformation";

  const locsys3d system(vec3d(0, 1, 0), vec3d(1, 0, 0));
  xaf_->NodeProperties().SetTransnod(node, xaf_->Transformations().AddTransformation(system));
  ExpectAxes(view.GetTransformationStart(), system.x(), system.z());
  ExpectAxes(view.GetTransformationEnd(), system.x(), system.z());

  xaf_->NodeProperties().SetTransnod(node, 0);
  EXPECT_FALSE(view.GetTransformation(0)) << "a node transformation of 0";
}

TEST_F(MirrorElementTest, OtherShapesHaveNoLocalSystem) {
  std::vector<long> nodes;
  for (const pos3d& p : {pos3d(0, 0, 0), pos3d(1, 0, 0), pos3d(1, 1, 0), pos3d(0, 1, 0)})
    nodes.push_back(xaf_->Nodes().AddNode(p));
  const long shell = xaf_->Elements().AddElement(qlElementType::Shell4(), nodes);
  Record(shell)->SetTransformation(xaf_->Transformations().AddTransformation(vec3d(0, 0, 1), -1));
  MirrorElement view(*xaf_, shell);
  for (short position = 0; position < 4; ++position) EXPECT_FALSE(view.GetTransformation(position));
  EXPECT_FALSE(view.GetTransformationEnd());
}

TEST_F(MirrorElementTest, HingesElementWideAndPerNode) {
  const long element = AddBeam3();
  auto record = Record(element);
  MirrorElement view(*xaf_, element);
  const Hinge pinned({1, 1, 1, 1, 0, 0});
  const Hinge released({1, 1, 1, 0, 0, 0});

  record->SetFixation(0);
  EXPECT_FALSE(view.GetHingeStart());
  EXPECT_FALSE(view.GetHingenEnd());

  record->SetFixation(xaf_->Hinges().AddHinge(pinned));
  ExpectHinge(view.GetHingeStart(), pinned);
  ExpectHinge(view.GetHingenEnd(), pinned);

  record->SetNodeFixation(2, xaf_->Hinges().AddHinge(released));
  record->SetNodeFixation(0, 0);
  ASSERT_EQ(record->GetFixation(), -1);
  EXPECT_FALSE(view.GetHingeStart());
  ExpectHinge(view.GetHingenEnd(), released);
}

TEST_F(MirrorElementTest, PointLookUpGivesTheFirstMatchingNodeInStoredOrder) {
  const long element = AddBeam3();
  MirrorElement view(*xaf_, element);
  EXPECT_EQ(MirrorElementTestAccess::GetNodeIndex(view, pos3d(0, 4, 0)), 1);
  EXPECT_EQ(MirrorElementTestAccess::GetNodeIndex(view, pos3d(0, 2, 0 + 1e-12)), 2);
  EXPECT_EQ(MirrorElementTestAccess::GetNodeIndex(view, pos3d(0, 3, 0)), -1);

  // Two nodes at one point: the first in stored order wins.
  const long a = xaf_->Nodes().AddNode(pos3d(7, 0, 0));
  const long b = xaf_->Nodes().AddNode(pos3d(8, 0, 0));
  const long c = xaf_->Nodes().AddNode(pos3d(8, 0, 0));
  const long twin = xaf_->Elements().AddElement(qlElementType::Beam3(), {a, b, c});
  MirrorElement twinView(*xaf_, twin);
  EXPECT_EQ(MirrorElementTestAccess::GetNodeIndex(twinView, pos3d(8, 0, 0)), 1);
}

TEST_F(MirrorElementTest, PositionsOutsideTheElementThrow) {
  const long element = AddBeam2();
  auto record = Record(element);
  record->SetNodeEccentricity(0, Eccentricity(vec3d(1, 0, 0)));
  record->SetNodeFixation(0, xaf_->Hinges().AddHinge(Hinge()));
  MirrorElement view(*xaf_, element);
  trace_.Clear();
  EXPECT_THROW(view.GetEccentricity(-1), std::out_of_range);
  EXPECT_THROW(view.GetHinge(-1), std::out_of_range);
  EXPECT_THROW(view.GetTransformation(-1), std::out_of_range);
  EXPECT_TRUE(trace_.Events().empty()) << "a negative position is refused before any call";
  // Beyond the last node the analysis model refuses the per-node read.
  EXPECT_THROW(view.GetEccentricity(2), AnalysisModel::ModelError);
  EXPECT_THROW(view.GetHinge(5), AnalysisModel::ModelError);

  const long node = xaf_->Nodes().AddNode(pos3d(3, 3, 3));
  const long point = xaf_->Elements().AddElement(qlElementType::PointElement(), {node});
  MirrorElement pointView(*xaf_, point);
  EXPECT_THROW(pointView.GetTransformation(1), std::out_of_range);
}

TEST_F(MirrorElementTest, CopySharesTheRecordAndUnknownElementsThrow) {
  const long element = AddBeam2();
  Record(element)->SetEccentricity(Eccentricity(vec3d(0, 2, 0)));
  MirrorElement view(*xaf_, element);
  MirrorElement copy(view);
  ExpectVec(copy.GetEccentricityEnd(), vec3d(0, 2, 0));
  EXPECT_THROW(MirrorElement(*xaf_, 999), AnalysisModel::ModelError);
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
