// Section-force recovery: the sign convention, diagram extremes against
// closed form, and releases treated alike in the element and in recovery.
#include <gtest/gtest.h>

#include <cmath>

#include "solver/native/elements/beam_element.hpp"
#include "solver/native/elements/tests/beam_test_support.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

using namespace Testing;

constexpr double L = 3.0;

TEST(BeamSectionForcesTest, CantileverTipForceSignConvention) {
  const double P = 4.0e3;
  const BeamElement beam(L, TestSection(true));
  Vector12 f = Vector12::Zero();
  f(6 + kUz) = -P;
  const Vector12 u = SolveSupported(beam.Stiffness(), f, StartDofs());
  for (double x : {0.0, L / 4}) {
    SCOPED_TRACE(x);
    Vector6 expected = Vector6::Zero();
    expected(kVz) = -P;
    expected(kMy) = P * (L - x);
    const Vector6 actual = beam.SectionForces({x}, u, {});
    for (int i = 0; i < 6; ++i) ExpectClose(actual(i), expected(i), P * L);
  }
  EXPECT_THROW(beam.SectionForces({1.01 * L}, u, {}), std::invalid_argument);
}

TEST(BeamSectionForcesTest, ExtremesOfStaticallyKnownDiagrams) {
  // Pinned in both bending planes, axially clamped, nodes held: u = 0.
  BeamEndFixity pinned;
  pinned.start[kRy] = pinned.end[kRy] = pinned.start[kRz] = pinned.end[kRz] = 0.0;
  const BeamElement beam(L, TestSection(true), pinned);
  const double q = 1.0e4, P = 2.0e4, a = 1.1, b = L - a;
  BeamSpanLoads triangle, point, axial;
  triangle.q1.z() = -q;
  point.points.push_back({a, {0.0, -P, 0.0}, Eigen::Vector3d::Zero()});
  axial.q0.x() = q, axial.q1.x() = -q;  // antisymmetric: N turns at mid-span
  const struct {
    const char* name;
    const BeamSpanLoads& loads;
    int quantity;
    bool max;
    double value, x;
  } cases[] = {
      {"triangle My", triangle, kMy, false, -q * L * L / (9 * std::sqrt(3.0)), L / std::sqrt(3.0)},
      {"triangle Vz min", triangle, kVz, false, -q * L / 6, 0.0},
      {"triangle Vz max", triangle, kVz, true, q * L / 3, L},
      {"point Mz", point, kMz, true, P * a * b / L, a},
      {"point Vy min", point, kVy, false, -P * b / L, 0.0},
      {"point Vy max", point, kVy, true, P * a / L, a},
      {"axial N min", axial, kN, false, -q * L / 12, L / 2},
      {"axial N max", axial, kN, true, q * L / 6, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const BeamExtreme e =
        SectionForceExtremes(c.loads, L, beam.EndForces(Vector12::Zero(), c.loads))[c.quantity];
    ExpectClose(c.max ? e.max : e.min, c.value);
    EXPECT_NEAR(c.max ? e.atMax.x : e.atMin.x, c.x, 1e-9 * L);
  }
  // The shear jumps at the point load: Before excludes it, After includes it.
  const Vector12 pointEnds = beam.EndForces(Vector12::Zero(), point);
  ExpectClose(SectionForcesAt(point, L, pointEnds, {a, CutSide::Before})(kVy), -P * b / L);
  ExpectClose(SectionForcesAt(point, L, pointEnds, {a, CutSide::After})(kVy), P * a / L);
}

TEST(BeamSectionForcesTest, PartialFixityMatchesAnExternalSpring) {
  // A semi-rigid end condensed in the element must recover the same section
  // forces as a rigid element whose node rotation is held by the same spring.
  const BeamSectionProperties s = TestSection(true);
  const double f = 0.4, k = f / (1 - f) * 3 * s.E * s.Iy / L;
  BeamEndFixity semiRigid;
  semiRigid.end[kRy] = f;
  BeamSpanLoads loads;
  loads.q0 = {1e3, 2e3, -5e3};
  loads.q1 = {-1e3, 1e3, -1e4};
  loads.points.push_back({1.2, {3e3, -4e3, -2e4}, {1e3, 5e3, -2e3}});
  const BeamElement condensed(L, s, semiRigid), rigid(L, s);
  const Vector12 endForces = condensed.EndForces(Vector12::Zero(), loads);
  Matrix12 withSpring = rigid.Stiffness();
  withSpring(6 + kRy, 6 + kRy) += k;
  std::vector<int> fixed = AllDofs();
  fixed.erase(fixed.begin() + 6 + kRy);
  const Vector12 u = SolveSupported(withSpring, rigid.EquivalentNodalLoads(loads), fixed);
  for (BeamStation station : {BeamStation{0.0}, BeamStation{1.2, CutSide::Before},
                              BeamStation{1.2, CutSide::After}, BeamStation{2.5}, BeamStation{L}}) {
    SCOPED_TRACE(station.x);
    const Vector6 expected = rigid.SectionForces(station, u, loads);
    const Vector6 actual = SectionForcesAt(loads, L, endForces, station);
    for (int i = 0; i < 6; ++i) ExpectClose(actual(i), expected(i), 2e4 * L);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
