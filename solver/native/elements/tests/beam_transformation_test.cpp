// Local axes, rigid offsets and rotation invariance of the beam
// transformation.
#include "solver/native/elements/beam_transformation.hpp"

#include <gtest/gtest.h>

#include <string>

#include "solver/native/elements/beam_element.hpp"
#include "solver/native/elements/tests/beam_test_support.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

using namespace Testing;
using V3 = Eigen::Vector3d;

TEST(BeamTransformationTest, LocalAxesAndDefaults) {
  const V3 zero = V3::Zero();
  const struct {
    const char* name;
    V3 p2, zAxis, x, y, z;
  } cases[] = {
      {"along X, default", {4, 0, 0}, zero, V3::UnitX(), V3::UnitY(), V3::UnitZ()},
      {"along Y, default", {0, 4, 0}, zero, V3::UnitY(), -V3::UnitX(), V3::UnitZ()},
      {"along Z, default", {0, 0, 4}, zero, V3::UnitZ(), -V3::UnitY(), V3::UnitX()},
      {"along X, z given aslant", {4, 0, 0}, {2, 0, -2}, V3::UnitX(), -V3::UnitY(), -V3::UnitZ()},
      {"sloped, default", {3, 0, 4}, zero, {0.6, 0, 0.8}, V3::UnitY(), {-0.8, 0, 0.6}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const V3 p1(1, 2, 3);
    const BeamTransformation t = MakeBeamTransformation(p1, p1 + c.p2, zero, zero, c.zAxis);
    ExpectClose(t.length, c.p2.norm());
    EXPECT_LE((t.rotation.row(0).transpose() - c.x).norm(), 1e-12);
    EXPECT_LE((t.rotation.row(1).transpose() - c.y).norm(), 1e-12);
    EXPECT_LE((t.rotation.row(2).transpose() - c.z).norm(), 1e-12);
  }
  EXPECT_THROW(MakeBeamTransformation(zero, V3(4, 0, 0), zero, zero, V3(-3, 0, 0)), std::invalid_argument);
  EXPECT_THROW(MakeBeamTransformation(zero, V3(4, 0, 0), zero, V3(-4, 0, 0), zero), std::invalid_argument);
}

TEST(BeamTransformationTest, EccentricCantileverUnderEndForce) {
  // Nodes a distance h below the member axis: a force along the member at
  // node 2 also bends it with the moment -h F about y.
  const BeamSectionProperties s = TestSection(true);
  const double L = 3.0, h = 0.4, F = 5e4;
  const V3 offset(0, 0, h);
  const BeamTransformation t = MakeBeamTransformation(-offset, V3(L, 0, -h), offset, offset, V3::Zero());
  const BeamElement beam(t.length, s);
  Vector12 load = Vector12::Zero();
  load(6 + kUx) = F;
  const Vector12 u = SolveSupported(ToGlobal(t, beam.Stiffness()), load, StartDofs());
  ExpectClose(u(6 + kUx), F * L / (s.E * s.A) + F * h * h * L / (s.E * s.Iy));
  ExpectClose(u(6 + kUz), F * h * L * L / (2 * s.E * s.Iy));
  const Vector6 root = beam.SectionForces({0.0}, t.matrix * u, {});
  ExpectClose(root(kN), F);
  ExpectClose(root(kMy), -h * F);
}

TEST(BeamTransformationTest, RotatedAndEccentricMembersAnswerAsTheAlignedOne) {
  const double L = 3.0;
  BeamEndFixity fixity;
  fixity.end[kRz] = 0.5;
  const BeamElement beam(L, TestSection(true), fixity);
  BeamSpanLoads loads;
  loads.q0 = {1e3, -2e3, 4e3};
  loads.q1 = {-3e3, 5e3, 1e3};
  loads.points.push_back({0.7, {2e3, 1e3, -6e3}, {5e2, -1e3, 2e3}});
  Vector12 tipLoad = Vector12::Zero();
  tipLoad.tail<6>() << 1e4, -2e4, 3e4, 4e3, -5e3, 6e3;
  const Vector12 local = beam.EquivalentNodalLoads(loads) + tipLoad;
  const Vector12 aligned = SolveSupported(beam.Stiffness(), local, StartDofs());

  const V3 p1(1, -2, 0.5), direction = V3(1, -2, 0.5).normalized() * L, zAxis(0.3, 0.2, 1.0);
  const struct {
    const char* name;
    V3 e1, e2;
  } cases[] = {{"rotated", V3::Zero(), V3::Zero()},
               {"rotated and eccentric", V3(0.2, 0.1, -0.3), V3(-0.1, 0.4, 0.2)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const BeamTransformation t = MakeBeamTransformation(p1 - c.e1, p1 + direction - c.e2, c.e1, c.e2, zAxis);
    ExpectClose(t.length, L);
    EXPECT_LE((t.rotation * t.rotation.transpose() - Eigen::Matrix3d::Identity()).norm(), 1e-14);
    const Vector12 u = SolveSupported(ToGlobal(t, beam.Stiffness()), ToGlobal(t, local), StartDofs());
    const Vector12 ends = t.matrix * u;
    for (int i = 0; i < 12; ++i) ExpectClose(ends(i), aligned(i), aligned.cwiseAbs().maxCoeff());
    EXPECT_LE((ToLocal(t, direction) - V3(L, 0, 0)).norm(), 1e-12 * L);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
