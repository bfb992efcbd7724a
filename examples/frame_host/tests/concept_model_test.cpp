// The concept model's layout and geometry, and the mesher's agreement with it.
#include "concept_model.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "host_test_support.hpp"
#include "mesher.hpp"

namespace frame_host::Testing {
namespace {

TEST(FrameSize, ElementCountMatchesWhatTheMesherMakes) {
  const FrameSize sizes[] = {{1, 1, 4}, {2, 3, 4}, {3, 2, 8}, {1, 4, 8}};
  for (const FrameSize& size : sizes) {
    SCOPED_TRACE(std::to_string(size.bays) + "x" + std::to_string(size.storeys) + "/" +
                 std::to_string(size.divisions));
    ScratchFile file("count");
    am::XafModel model(file.Path(), 1, 1, true);
    const ConceptModel concept = BuildConceptModel(size);
    const Mesh mesh = MeshConceptModel(concept, model, nullptr);
    EXPECT_EQ(size.ElementCount(), model.Elements().Count());
    EXPECT_EQ("", model.Validate());
    // Joints, supports and equipment all stand on mesh nodes.
    for (const auto& j : concept.joints) EXPECT_NO_THROW(mesh.NodeAt(j.at)) << j.name;
    for (const auto& s : concept.supports) EXPECT_NO_THROW(mesh.NodeAt(s.at)) << s.name;
    for (const auto& e : concept.equipment)
      EXPECT_EQ(4u, mesh.DeckElementsAround(concept.decks.size() - 1, e.at).size());
  }
}

TEST(FrameSize, ForElementCountPicksTheSmallestCubeReachingTheTarget) {
  for (std::size_t target : {1u, 5000u, 1000000u}) {
    const FrameSize size = FrameSize::ForElementCount(target);
    EXPECT_GE(size.ElementCount(), target);
    EXPECT_EQ(size.bays, size.storeys);
    if (size.bays > 1) {
      FrameSize smaller = size;
      smaller.bays = smaller.storeys = size.bays - 1;
      EXPECT_LT(smaller.ElementCount(), target);
    }
  }
}

TEST(FrameSize, ForElementCountRefusesTargetsBeyondTheLargestFrame) {
  EXPECT_THROW(FrameSize::ForElementCount(1000000000000), std::invalid_argument);
  EXPECT_THROW(FrameSize::ForElementCount(1000, 6), std::invalid_argument);
}

TEST(FrameSize, RejectsSizesThatDescribeNoFrame) {
  const FrameSize bad[] = {{0, 2, 4}, {2, 0, 4}, {2, 2, 2}, {2, 2, 6}, {2, 2, 0}, {201, 1, 4}};
  for (const FrameSize& size : bad) EXPECT_THROW(size.Check(), std::invalid_argument);
}

class ConceptGeometryTest : public ::testing::Test {
 protected:
  ConceptModel concept_ = BuildConceptModel({2, 2, 4});
  const BeamDef& First(MemberKind kind) {
    for (const BeamDef& b : concept_.beams)
      if (b.kind == kind) return b;
    throw std::logic_error("missing kind");
  }
};

TEST_F(ConceptGeometryTest, SegmentsCoverEachBeamWithoutGapOrOverlap) {
  for (const BeamDef& beam : concept_.beams) {
    unsigned next = 0;
    for (const SegmentDef& s : beam.segments) {
      EXPECT_EQ(next, s.firstDivision) << s.name;
      next += s.divisionCount;
    }
    EXPECT_EQ(beam.divisions, next) << beam.name;
  }
}

TEST_F(ConceptGeometryTest, SegmentAtFindsTheSegmentHoldingAPoint) {
  const BeamDef& girder = First(MemberKind::Girder);
  const pos3d a = concept_.Position(girder.start), b = concept_.Position(girder.end);
  auto at = [&](double f) {
    return pos3d(a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f);
  };
  EXPECT_EQ("IPE450", concept_.sections[concept_.SegmentAt(girder, at(0.1)).section].name);
  EXPECT_EQ("IPE400", concept_.sections[concept_.SegmentAt(girder, at(0.5)).section].name);
  EXPECT_EQ("IPE450", concept_.sections[concept_.SegmentAt(girder, at(0.9)).section].name);
  EXPECT_EQ("IPE450", concept_.sections[concept_.SegmentAt(girder, at(1.0)).section].name);
}

TEST_F(ConceptGeometryTest, TaperedEccentricityInterpolatesLinearly) {
  const BeamDef* corner = nullptr;
  for (const BeamDef& b : concept_.beams)
    if (b.eccentricity.kind == EccentricityDef::Kind::Linear) corner = &b;
  ASSERT_TRUE(corner);
  const pos3d base = concept_.Position(corner->start), top = concept_.Position(corner->end);
  const vec3d mid = concept_.EccentricityAt(*corner, (base + top) / 2.0);
  const vec3d expected = (corner->eccentricity.start + corner->eccentricity.end) * 0.5;
  EXPECT_NEAR(expected.x, mid.x, 1e-12);
  EXPECT_NEAR(expected.y, mid.y, 1e-12);
  EXPECT_EQ(corner->eccentricity.start, concept_.EccentricityAt(*corner, base));
}

TEST_F(ConceptGeometryTest, LocalSystemsRunAlongTheBeamAndTwistSymmetrically) {
  const BeamDef& roof = First(MemberKind::RoofGirder);
  const pos3d a = concept_.Position(roof.start), b = concept_.Position(roof.end);
  const locsys3d s0 = concept_.LocalSystemAt(roof, a), s1 = concept_.LocalSystemAt(roof, b);
  const locsys3d mid = concept_.LocalSystemAt(roof, (a + b) / 2.0);
  vec3d axis(a, b);
  axis.normalise();
  EXPECT_NEAR(1.0, s0.x().dot(axis), 1e-12);
  EXPECT_NEAR(1.0, mid.z().dot(vec3d(0, 0, 1)), 1e-12);  // untwisted at mid-span
  const double turn = std::acos(s0.z().dot(s1.z())) * 180.0 / 3.14159265358979323846;
  EXPECT_NEAR(2 * roof.localSystem.twistDegrees, turn, 1e-9);
  const BeamDef& column = First(MemberKind::Column);
  const locsys3d c = concept_.LocalSystemAt(column, concept_.Position(column.start));
  EXPECT_TRUE(c.isEqual(locsys3d(vec3d(0, 0, 1), vec3d(1, 0, 0))));
}

}  // namespace
}  // namespace frame_host::Testing
