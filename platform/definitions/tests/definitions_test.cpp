// Tests of the definitions library: section properties against values worked
// out by hand (or by an independent decomposition), validation of bad
// dimensions, the consistency of equality and ordering, and element types.
#include "definitions/definitions.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void ExpectRelNear(double actual, double expected, double relTol) {
  EXPECT_NEAR(actual, expected, std::fabs(expected) * relTol) << "expected " << expected;
}

// Second moment of a rectangle about an axis parallel to its side, at
// distance `offset` from its centroid (parallel-axis theorem).
double RectI(double along, double across, double offset) {
  return along * across * across * across / 12.0 + along * across * offset * offset;
}

TEST(SectionProperties, PipeMatchesHandValues) {
  // D = 300 mm, t = 10 mm: A = pi/4 (0.09 - 0.0784), I = pi/64 (D^4 - d^4).
  const auto s = qlSection::Pipe(0.3, 0.01);
  const auto& p = s.Properties();
  ExpectRelNear(p.area, 0.00911061869541041, 1e-12);
  ExpectRelNear(p.iy, 9.588926176919458e-05, 1e-12);
  EXPECT_DOUBLE_EQ(p.iz, p.iy);
  EXPECT_DOUBLE_EQ(p.it, 2.0 * p.iy);  // polar moment of a circular tube
  // Thin-walled check: It ~ 2 pi r^3 t with the mean radius.
  ExpectRelNear(p.it, 2.0 * kPi * std::pow(0.145, 3) * 0.01, 0.01);
  // Shear area of a thin tube is about half the area.
  EXPECT_GT(p.shearAreaY / p.area, 0.50);
  EXPECT_LT(p.shearAreaY / p.area, 0.55);
  EXPECT_DOUBLE_EQ(p.shearAreaY, p.shearAreaZ);
}

TEST(SectionProperties, SolidRoundBarIsAPipeWithHalfDiameterWall) {
  const auto p = qlSection::Pipe(0.1, 0.05).Properties();
  ExpectRelNear(p.area, kPi * 0.0025, 1e-12);
  ExpectRelNear(p.iy, kPi * 1e-4 / 64.0, 1e-12);
  ExpectRelNear(p.it, kPi * 1e-4 / 32.0, 1e-12);
  // Solid circle, nu = 0.3: 6 (1 + nu) / (7 + 6 nu) = 0.8864.
  ExpectRelNear(p.shearAreaZ / p.area, 7.8 / 8.8, 1e-12);
}

TEST(SectionProperties, IProfileMatchesRectangleDecomposition) {
  const double h = 0.3, b = 0.15, tw = 0.0071, tf = 0.0107;
  const auto p = qlSection::IProfile(h, b, tw, tf).Properties();
  const double hw = h - 2 * tf;
  ExpectRelNear(p.area, 0.00518806, 1e-12);
  ExpectRelNear(p.iy, 2 * RectI(b, tf, (h - tf) / 2) + RectI(tw, hw, 0), 1e-12);
  ExpectRelNear(p.iz, 2 * RectI(tf, b, 0) + RectI(hw, tw, 0), 1e-12);
  // Open thin-walled section: sum of b t^3 / 3 (web between flange centre lines).
  ExpectRelNear(p.it, 1.5701885076666664e-07, 1e-12);
  ExpectRelNear(p.shearAreaZ, (h - tf) * tw, 1e-12);
  ExpectRelNear(p.shearAreaY, 5.0 / 6.0 * 2 * b * tf, 1e-12);
  // The strong axis is y for an upright profile.
  EXPECT_GT(p.iy, 10 * p.iz);
}

TEST(SectionProperties, BoxMatchesDecompositionAndBredt) {
  const double h = 0.2, b = 0.1, t = 0.01;
  const auto p = qlSection::Box(h, b, t, t).Properties();
  ExpectRelNear(p.area, 0.0056, 1e-12);
  // Two flanges plus two side walls between them.
  ExpectRelNear(p.iy, 2 * RectI(b, t, (h - t) / 2) + 2 * RectI(t, h - 2 * t, 0), 1e-12);
  ExpectRelNear(p.iz, 2 * RectI(t, b - 2 * t, 0) + 2 * RectI(h, t, (b - t) / 2), 1e-12);
  // Bredt with uniform wall: It = 4 Am^2 t / Um, Am = 0.09 * 0.19, Um = 0.56.
  ExpectRelNear(p.it, 4 * std::pow(0.09 * 0.19, 2) * t / 0.56, 1e-12);
  ExpectRelNear(p.shearAreaZ, 2 * 0.19 * t, 1e-12);
  ExpectRelNear(p.shearAreaY, 2 * 0.09 * t, 1e-12);
}

TEST(SectionProperties, BoxWithDifferentWallsUsesEachThickness) {
  // h = 0.3, b = 0.2, side walls 0.01, flanges 0.02.
  const auto p = qlSection::Box(0.3, 0.2, 0.01, 0.02).Properties();
  ExpectRelNear(p.area, 0.06 - 0.18 * 0.26, 1e-12);
  const double am = 0.19 * 0.28;
  ExpectRelNear(p.it, 4 * am * am / (2 * 0.19 / 0.02 + 2 * 0.28 / 0.01), 1e-12);
}

TEST(SectionProperties, SolidRectangleTorsionMatchesTabulatedCoefficients) {
  // It = beta a c^3 with a >= c; beta from the classical table.
  struct Case {
    double ratio, beta;
  };
  const std::vector<Case> table = {{1.0, 0.1406}, {1.5, 0.1958}, {2.0, 0.2287},  {3.0, 0.2633},
                                   {4.0, 0.2808}, {5.0, 0.2913}, {10.0, 0.3123}, {100.0, 0.3312}};
  for (const auto& c : table) {
    SCOPED_TRACE(c.ratio);
    const double shortSide = 0.1, longSide = 0.1 * c.ratio;
    const auto upright = qlSection::Rectangle(longSide, shortSide).Properties();
    const auto flat = qlSection::Rectangle(shortSide, longSide).Properties();
    ExpectRelNear(upright.it, c.beta * longSide * std::pow(shortSide, 3), 5e-4);
    EXPECT_DOUBLE_EQ(flat.it, upright.it);  // independent of orientation
    EXPECT_DOUBLE_EQ(flat.iy, upright.iz);
  }
}

TEST(SectionProperties, SolidRectangleBasics) {
  const auto p = qlSection::Rectangle(0.4, 0.2).Properties();
  ExpectRelNear(p.area, 0.08, 1e-12);
  ExpectRelNear(p.iy, 0.2 * 0.064 / 12, 1e-12);  // b h^3 / 12, h along z
  ExpectRelNear(p.iz, 0.4 * 0.008 / 12, 1e-12);
  ExpectRelNear(p.shearAreaY, 0.08 * 5 / 6, 1e-12);
  ExpectRelNear(p.shearAreaZ, 0.08 * 5 / 6, 1e-12);
}

TEST(SectionProperties, GeneralSectionKeepsItsProperties) {
  qlSectionProperties given;
  given.area = 0.01;
  given.iy = 2e-5;
  given.iz = 1e-5;
  given.it = 3e-7;
  given.shearAreaY = 0.004;
  given.shearAreaZ = 0.005;
  const auto s = qlSection::General(given);
  EXPECT_EQ(s.GetKind(), qlSection::Kind::General);
  EXPECT_EQ(s.Properties().iz, 1e-5);
  EXPECT_EQ(s.Properties().shearAreaZ, 0.005);
  EXPECT_EQ(s.Dimension(0), 0.0);
}

TEST(SectionValidation, ImpossibleDimensionsThrow) {
  const std::vector<std::function<qlSection()>> bad = {
      [] { return qlSection::Pipe(0.0, 0.01); },
      [] { return qlSection::Pipe(0.3, 0.0); },
      [] { return qlSection::Pipe(0.3, 0.16); },
      [] { return qlSection::Pipe(kNaN, 0.01); },
      [] { return qlSection::IProfile(0.3, 0.15, 0.2, 0.01); },    // web wider than flange
      [] { return qlSection::IProfile(0.3, 0.15, 0.007, 0.15); },  // flanges fill the height
      [] { return qlSection::IProfile(-0.3, 0.15, 0.007, 0.01); },
      [] { return qlSection::Box(0.2, 0.1, 0.05, 0.01); },  // no opening in the width
      [] { return qlSection::Box(0.2, 0.1, 0.01, 0.1); },   // none in the height
      [] { return qlSection::Box(0.2, kInf, 0.01, 0.01); },
      [] { return qlSection::Rectangle(0.0, 0.1); },
      [] { return qlSection::Rectangle(0.1, -1.0); },
      [] { return qlSection::General(qlSectionProperties{}); },
      [] {
        qlSectionProperties p{1, 1, 1, -1, 0, 0};
        return qlSection::General(p);
      },
      [] {
        qlSectionProperties p{1, kNaN, 1, 1, 0, 0};
        return qlSection::General(p);
      },
  };
  for (std::size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    EXPECT_THROW(bad[i](), std::invalid_argument);
  }
}

TEST(SectionAccessors, DimensionsAndDescription) {
  const auto s = qlSection::IProfile(0.3, 0.15, 0.0071, 0.0107);
  EXPECT_EQ(s.Dimension(0), 0.3);
  EXPECT_EQ(s.Dimension(3), 0.0107);
  EXPECT_THROW(s.Dimension(4), std::out_of_range);
  EXPECT_THROW(s.Dimension(-1), std::out_of_range);
  EXPECT_EQ(qlSection::Pipe(0.3, 0.01).Describe(), "Pipe(0.3, 0.01)");
  EXPECT_EQ(qlSection::Rectangle(0.4, 0.2).Describe(), "Rectangle(0.4, 0.2)");
}

// Equality and ordering must agree: for any a, b exactly one of a < b,
// b < a, a == b holds, and the order is transitive.
template <class T>
void ExpectConsistentOrder(const std::vector<T>& items) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    for (std::size_t j = 0; j < items.size(); ++j) {
      SCOPED_TRACE(::testing::Message() << "items " << i << ", " << j);
      const T& a = items[i];
      const T& b = items[j];
      const int relations = int(a.IsBefore(b)) + int(b.IsBefore(a)) + int(a.IsEqual(b));
      EXPECT_EQ(relations, 1);
      EXPECT_EQ(a == b, a.IsEqual(b));
      EXPECT_EQ(a != b, !a.IsEqual(b));
      for (const T& c : items) {
        if (a.IsBefore(b) && b.IsBefore(c)) {
          EXPECT_TRUE(a.IsBefore(c));
        }
      }
    }
  }
}

TEST(SectionOrdering, EqualityAndOrderingAreConsistent) {
  qlSectionProperties general{0.01, 2e-5, 1e-5, 3e-7, 0, 0};
  const std::vector<qlSection> sections = {qlSection::Pipe(0.3, 0.01),
                                           qlSection::Pipe(0.3, 0.01),
                                           qlSection::Pipe(0.3, 0.012),
                                           qlSection::Pipe(0.2, 0.01),
                                           qlSection::IProfile(0.3, 0.15, 0.0071, 0.0107),
                                           qlSection::IProfile(0.3, 0.15, 0.0071, 0.0108),
                                           qlSection::Box(0.2, 0.1, 0.01, 0.01),
                                           qlSection::Rectangle(0.4, 0.2),
                                           qlSection::Rectangle(0.2, 0.4),
                                           qlSection::General(general),
                                           qlSection::General(general)};
  ExpectConsistentOrder(sections);
  EXPECT_TRUE(sections[0] == sections[1]);
  EXPECT_TRUE(sections[7] != sections[8]);
  // Usable as an ordered key: duplicates collapse.
  std::set<qlSection> unique(sections.begin(), sections.end());
  EXPECT_EQ(unique.size(), sections.size() - 2);
}

TEST(Material, PropertiesAndShearModulus) {
  const qlMaterial steel(2.1e11, 0.3, 7850, 1.2e-5, 0.02);
  EXPECT_EQ(steel.YoungsModulus(), 2.1e11);
  EXPECT_EQ(steel.PoissonsRatio(), 0.3);
  EXPECT_EQ(steel.Density(), 7850);
  EXPECT_EQ(steel.ThermalExpansion(), 1.2e-5);
  EXPECT_EQ(steel.DampingRatio(), 0.02);
  ExpectRelNear(steel.ShearModulus(), 2.1e11 / 2.6, 1e-15);
  EXPECT_EQ(qlMaterial(2.1e11, 0.3, 7850).Describe(), "E=2.1e+11 nu=0.3 rho=7850");
}

TEST(Material, InvalidValuesThrow) {
  struct Case {
    double e, nu, rho, alpha, damping;
  };
  const std::vector<Case> bad = {{0, 0.3, 1, 0, 0},     {-1, 0.3, 1, 0, 0},   {kInf, 0.3, 1, 0, 0},
                                 {kNaN, 0.3, 1, 0, 0},  {1, 0.51, 1, 0, 0},   {1, -1.0, 1, 0, 0},
                                 {1, kNaN, 1, 0, 0},    {1, 0.3, -1, 0, 0},   {1, 0.3, kNaN, 0, 0},
                                 {1, 0.3, 1, -1e-5, 0}, {1, 0.3, 1, kInf, 0}, {1, 0.3, 1, 0, -0.01}};
  for (const auto& c : bad) {
    SCOPED_TRACE(::testing::Message()
                 << c.e << " " << c.nu << " " << c.rho << " " << c.alpha << " " << c.damping);
    EXPECT_THROW(qlMaterial(c.e, c.nu, c.rho, c.alpha, c.damping), std::invalid_argument);
  }
  // The limits themselves are valid: incompressible and massless.
  EXPECT_NO_THROW(qlMaterial(1, 0.5, 0));
  EXPECT_NO_THROW(qlMaterial(1, -0.99, 0));
}

TEST(Material, EqualityAndOrderingAreConsistent) {
  const std::vector<qlMaterial> materials = {
      qlMaterial(2.1e11, 0.3, 7850),       qlMaterial(2.1e11, 0.3, 7850),
      qlMaterial(2.1e11, 0.3, 7850, 1e-5), qlMaterial(2.1e11, 0.3, 7850, 0, 0.05),
      qlMaterial(2.1e11, 0.29, 7850),      qlMaterial(3e10, 0.2, 2500),
      qlMaterial(7e10, 0.33, 2700)};
  ExpectConsistentOrder(materials);
  EXPECT_TRUE(materials[0] == materials[1]);
  EXPECT_TRUE(materials[0] != materials[2]);
  EXPECT_TRUE(materials[5] < materials[0]);  // smaller modulus first
}

TEST(ElementTypes, PredefinedTypes) {
  struct Case {
    const qlElementType& type;
    int number, shape;
    unsigned nodes;
    std::vector<unsigned> geometric;
  };
  const std::vector<Case> cases = {
      {qlElementType::PointElement(), 1, qlElementType::Point, 1, {0}},
      {qlElementType::Beam2(), 15, qlElementType::Line, 2, {0, 1}},
      {qlElementType::Beam3(), 23, qlElementType::Line, 3, {0, 2, 1}},  // stored end, end, middle
      {qlElementType::Shell4(), 24, qlElementType::Surface, 4, {0, 1, 2, 3}},
      {qlElementType::Shell3(), 25, qlElementType::Surface, 3, {0, 1, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(c.type.Number(), c.number);
    EXPECT_EQ(c.type.Shape(), c.shape);
    EXPECT_EQ(c.type.NodeCount(), c.nodes);
    EXPECT_FALSE(c.type.Name().empty());
    std::vector<unsigned> geometric;
    for (unsigned i = 0; i < c.type.NodeCount(); ++i) geometric.push_back(c.type.GeometricIndex(i));
    EXPECT_EQ(geometric, c.geometric);
    EXPECT_EQ(&qlElementType::FromNumber(c.number), &c.type);
  }
}

TEST(ElementTypes, RegistryIsAscendingUniqueAndRejectsUnknownNumbers) {
  const auto& all = qlElementType::All();
  ASSERT_EQ(all.size(), 5u);
  for (std::size_t i = 1; i < all.size(); ++i) EXPECT_LT(all[i - 1]->Number(), all[i]->Number());
  for (const auto* type : all) {
    // Every geometric order is a permutation of the stored nodes.
    std::set<unsigned> seen;
    for (unsigned i = 0; i < type->NodeCount(); ++i) seen.insert(type->GeometricIndex(i));
    EXPECT_EQ(seen.size(), type->NodeCount());
    EXPECT_LT(*seen.rbegin(), type->NodeCount());
  }
  for (int unknown : {0, -1, 2, 22, 1000})
    EXPECT_THROW(qlElementType::FromNumber(unknown), std::invalid_argument);
  EXPECT_TRUE(qlElementType::Beam2() != qlElementType::Beam3());
  EXPECT_TRUE(qlElementType::FromNumber(23) == qlElementType::Beam3());
}

}  // namespace
