// Tests of the geometry conventions that callers rely on: vector direction,
// handedness, tolerance, local-system construction and line projection.
#include "geometry/geometry.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <sstream>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void ExpectVecNear(const vec3d& actual, const vec3d& expected, double tol = 1e-12) {
  EXPECT_NEAR(actual.x, expected.x, tol);
  EXPECT_NEAR(actual.y, expected.y, tol);
  EXPECT_NEAR(actual.z, expected.z, tol);
}

TEST(GeometryConventions, VectorPointsFromFirstToSecondPoint) {
  const vec3d v(pos3d(1, 2, 3), pos3d(4, 0, 3.5));
  EXPECT_EQ(v, vec3d(3, -2, 0.5));
}

TEST(GeometryConventions, CrossProductIsRightHandedThisTimesArgument) {
  const vec3d ex(1, 0, 0), ey(0, 1, 0), ez(0, 0, 1);
  EXPECT_EQ(ex.cross(ey), ez);
  EXPECT_EQ(ey.cross(ez), ex);
  EXPECT_EQ(ez.cross(ex), ey);
  EXPECT_EQ(ey.cross(ex), -ez);
  const vec3d a(1, 2, 3), b(-4, 5, 0.5);
  EXPECT_EQ(a.cross(b), vec3d(2 * 0.5 - 3 * 5, 3 * -4 - 1 * 0.5, 1 * 5 - 2 * -4));
}

TEST(GeometryConventions, DotLengthAndNormalise) {
  const vec3d a(3, 4, 12);
  EXPECT_DOUBLE_EQ(a.dot(vec3d(1, 1, 1)), 19.0);
  EXPECT_DOUBLE_EQ(a.length(), 13.0);
  vec3d n = a;
  vec3d& returned = n.normalise();
  EXPECT_EQ(&returned, &n);
  ExpectVecNear(n, vec3d(3.0 / 13, 4.0 / 13, 12.0 / 13));
  EXPECT_NEAR(n.length(), 1.0, 1e-15);
  vec3d zero;
  zero.normalise();
  EXPECT_EQ(zero, vec3d(0, 0, 0));  // no NaNs from a zero vector
}

TEST(GeometryConventions, PointArithmeticAndMidpoint) {
  const pos3d a(1, 2, 3), b(3, -2, 7);
  EXPECT_EQ(a + b, pos3d(4, 0, 10));
  EXPECT_EQ((a + b) / 2.0, pos3d(2, 0, 5));
  pos3d moved = a;
  moved += vec3d(0.5, 0.5, -1);
  EXPECT_EQ(moved, pos3d(1.5, 2.5, 2));
}

TEST(GeometryTolerance, IsEqualAbsoluteNearZeroRelativeForLargeCoordinates) {
  struct Case {
    pos3d a, b;
    bool equal;
  };
  const std::vector<Case> cases = {
      {{0, 0, 0}, {0, 0, 0}, true},
      {{0, 0, 0}, {5e-10, 0, 0}, true},
      {{0, 0, 0}, {0, 0, 2e-9}, false},
      {{1, 1, 1}, {1, 1 + 9e-10, 1}, true},
      {{1, 1, 1}, {1, 1, 1 + 1e-8}, false},
      {{1e6, 0, 0}, {1e6 + 1e-4, 0, 0}, true},   // 1e-10 relative
      {{1e6, 0, 0}, {1e6 + 1e-2, 0, 0}, false},  // 1e-8 relative
      {{-3, 4, 5}, {-3, 4, -5}, false},
      {{kNaN, 0, 0}, {kNaN, 0, 0}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.a << " vs " << c.b);
    EXPECT_EQ(c.a.isEqual(c.b), c.equal);
    EXPECT_EQ(c.b.isEqual(c.a), c.equal);  // symmetric
  }
}

TEST(GeometryTolerance, IsZeroWithinAbsoluteTolerance) {
  EXPECT_TRUE(isZero(vec3d(0, 0, 0)));
  EXPECT_TRUE(isZero(vec3d(1e-10, -1e-10, 0)));
  EXPECT_FALSE(isZero(vec3d(0, 0, -9.81)));
  EXPECT_FALSE(isZero(vec3d(0, 1e-8, 0)));
  EXPECT_FALSE(isZero(vec3d(kNaN, 0, 0)));
}

TEST(LocalSystem, DefaultIsGlobal) {
  const locsys3d global;
  EXPECT_EQ(global.x(), vec3d(1, 0, 0));
  EXPECT_EQ(global.y(), vec3d(0, 1, 0));
  EXPECT_EQ(global.z(), vec3d(0, 0, 1));
}

TEST(LocalSystem, KeepsXAndMakesZPerpendicularRightHanded) {
  struct Case {
    vec3d x, z, expectedX, expectedY, expectedZ;
  };
  const double r = 1.0 / std::sqrt(2.0);
  const std::vector<Case> cases = {
      {{2, 0, 0}, {0, 0, 5}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
      // z not perpendicular: its component along x is removed.
      {{1, 0, 0}, {3, 0, 4}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
      {{0, 1, 0}, {0, 1, 1}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1}},
      {{1, 1, 0}, {0, 0, 1}, {r, r, 0}, {-r, r, 0}, {0, 0, 1}},
      {{0, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {1, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "x=" << c.x << " z=" << c.z);
    const locsys3d s(c.x, c.z);
    ExpectVecNear(s.x(), c.expectedX);
    ExpectVecNear(s.y(), c.expectedY);
    ExpectVecNear(s.z(), c.expectedZ);
  }
}

TEST(LocalSystem, IsOrthonormalForArbitraryAxes) {
  const std::vector<std::pair<vec3d, vec3d>> inputs = {
      {{1, 2, 3}, {-2, 0.5, 7}}, {{-0.3, 1e-3, 40}, {1, 1, 1}}, {{1e-6, 2e-6, 0}, {0, 0, 1e6}}};
  for (const auto& [x, z] : inputs) {
    SCOPED_TRACE(::testing::Message() << "x=" << x << " z=" << z);
    const locsys3d s(x, z);
    EXPECT_NEAR(s.x().length(), 1.0, 1e-12);
    EXPECT_NEAR(s.y().length(), 1.0, 1e-12);
    EXPECT_NEAR(s.z().length(), 1.0, 1e-12);
    EXPECT_NEAR(s.x().dot(s.z()), 0.0, 1e-12);
    EXPECT_NEAR(s.x().dot(s.y()), 0.0, 1e-12);
    ExpectVecNear(s.x().cross(s.y()), s.z());
    // x keeps the direction of the input; z stays on the input's side.
    ExpectVecNear(s.x(), x * (1.0 / x.length()));
    EXPECT_GT(s.z().dot(z), 0.0);
  }
}

TEST(LocalSystem, DegenerateAxesThrow) {
  const std::vector<std::pair<vec3d, vec3d>> bad = {
      {{0, 0, 0}, {0, 0, 1}},
      {{1, 0, 0}, {0, 0, 0}},
      {{1, 2, 3}, {2, 4, 6}},
      {{1, 2, 3}, {-1, -2, -3}},
      {{1, 0, 0}, {1, 1e-14, 0}},
      {{kNaN, 0, 0}, {0, 0, 1}},
      {{1, 0, 0}, {0, std::numeric_limits<double>::infinity(), 0}}};
  for (const auto& [x, z] : bad) {
    SCOPED_TRACE(::testing::Message() << "x=" << x << " z=" << z);
    EXPECT_THROW(locsys3d(x, z), GeometryError);
  }
  // Nearly but not quite parallel axes are still a valid system.
  EXPECT_NO_THROW(locsys3d(vec3d(1, 0, 0), vec3d(1, 1e-6, 0)));
}

TEST(LocalSystem, IsEqualWithinTolerance) {
  const locsys3d a(vec3d(1, 0, 0), vec3d(0, 0, 1));
  EXPECT_TRUE(a.isEqual(locsys3d(vec3d(5, 0, 0), vec3d(0, 1e-12, 3))));
  EXPECT_FALSE(a.isEqual(locsys3d(vec3d(1, 0, 0), vec3d(0, 1, 0))));
}

TEST(Line, KeepsEndsInOrder) {
  const line3d line(pos3d(1, 2, 3), pos3d(4, 5, 6));
  EXPECT_EQ(line.end1(), pos3d(1, 2, 3));
  EXPECT_EQ(line.end2(), pos3d(4, 5, 6));
}

TEST(Line, ProjectGivesFootOnTheInfiniteLineAndDistance) {
  struct Case {
    pos3d a, b, p, foot;
    double distance, parameter;
  };
  const std::vector<Case> cases = {
      {{0, 0, 0}, {10, 0, 0}, {3, 4, 0}, {3, 0, 0}, 4.0, 0.3},
      {{0, 0, 0}, {10, 0, 0}, {-5, 0, 2}, {-5, 0, 0}, 2.0, -0.5},  // beyond end1
      {{0, 0, 0}, {10, 0, 0}, {25, 3, 4}, {25, 0, 0}, 5.0, 2.5},   // beyond end2
      {{1, 1, 1}, {1, 1, 3}, {1, 1, 2}, {1, 1, 2}, 0.0, 0.5},      // on the line
      {{0, 0, 0}, {1, 1, 0}, {1, 0, 0}, {0.5, 0.5, 0}, std::sqrt(0.5), 0.5},
      {{2, 0, 0}, {0, 2, 0}, {0, 0, 7}, {1, 1, 0}, std::sqrt(51.0), 0.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "line " << c.a << "-" << c.b << " point " << c.p);
    pos3d foot;
    double distance = -1, parameter = -1;
    line3d(c.a, c.b).project(c.p, foot, distance, parameter);
    EXPECT_TRUE(foot.isEqual(c.foot)) << foot;
    EXPECT_NEAR(distance, c.distance, 1e-12);
    EXPECT_NEAR(parameter, c.parameter, 1e-12);
  }
}

TEST(Line, ProjectOnDegenerateLineThrows) {
  pos3d foot(7, 7, 7);
  double d = 1.5, t = 2.5;
  EXPECT_THROW(line3d(pos3d(1, 2, 3), pos3d(1, 2, 3)).project(pos3d(0, 0, 0), foot, d, t), GeometryError);
  EXPECT_THROW(line3d(pos3d(kNaN, 0, 0), pos3d(1, 0, 0)).project(pos3d(0, 0, 0), foot, d, t), GeometryError);
  // Outputs are untouched when the projection fails.
  EXPECT_EQ(foot, pos3d(7, 7, 7));
  EXPECT_EQ(d, 1.5);
  EXPECT_EQ(t, 2.5);
}

TEST(PointOrder, IsLexicographicAndUsableAsMapKey) {
  const std::less<pos3d> less;
  EXPECT_TRUE(less(pos3d(0, 9, 9), pos3d(1, 0, 0)));
  EXPECT_TRUE(less(pos3d(1, 0, 9), pos3d(1, 1, 0)));
  EXPECT_TRUE(less(pos3d(1, 1, 0), pos3d(1, 1, 1)));
  EXPECT_FALSE(less(pos3d(1, 1, 1), pos3d(1, 1, 1)));
  EXPECT_FALSE(less(pos3d(1, 1, 2), pos3d(1, 1, 1)));
  std::map<pos3d, int> byPosition;
  byPosition[pos3d(1, 2, 3)] = 1;
  byPosition[pos3d(1, 2, 3)] = 2;
  byPosition[pos3d(0, 5, 5)] = 3;
  EXPECT_EQ(byPosition.size(), 2u);
  EXPECT_EQ(byPosition.begin()->second, 3);
}

TEST(Printing, ShowsComponents) {
  std::ostringstream text;
  text << pos3d(1, 2.5, -3) << ' ' << vec3d(0, 0, 1);
  EXPECT_EQ(text.str(), "(1, 2.5, -3) (0, 0, 1)");
}

}  // namespace
