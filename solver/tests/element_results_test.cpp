// Complete results end to end against closed-form answers: rotations, beam
// section forces, reaction moments, mode shapes, buckling factors and
// combinations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "solver/tests/host_model.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using namespace Testing;

constexpr double kE = 2.1e11;
constexpr double kNu = 0.3;
constexpr double kPi = 3.14159265358979323846;

// One computed value and its closed-form answer.
struct Check {
  const char* what;
  double computed, analytic, tolerance;
};

// Prints every check (so the accuracy can be read off the test log) and
// expects each within its relative tolerance.
void ExpectAll(const std::vector<Check>& checks) {
  for (const Check& c : checks) {
    std::printf("[ value    ] %-48s computed % .6e  analytic % .6e  (%+.3f %%)\n", c.what, c.computed,
                c.analytic, 100.0 * (c.computed - c.analytic) / c.analytic);
    EXPECT_NEAR(c.computed, c.analytic, std::abs(c.analytic) * c.tolerance) << c.what;
  }
}

ExportOptions WithElementResults() {
  ExportOptions options;
  options.elementResults = true;
  return options;
}

class ElementResults : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SolverAvailable()) GTEST_SKIP() << "ccx is not installed";
  }
  HostModel host;
};

// A clamped rectangle along x (0.05 wide along local y, 0.1 high along z)
// with a tip load along -z, a tip load along -y, and a tip torque, one load
// case each.
TEST_F(ElementResults, CantileverSectionForcesRotationsAndReactionMoments) {
  const double L = 2.0, b = 0.05, h = 0.1, P = 1000.0, T = 100.0;
  auto steel = host.Material(kE, kNu, 0.0);
  auto rect = host.Section(qlSection::Rectangle(h, b));
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{L, rect, 8}}, steel, vec3d(0, 0, 1));
  host.Fix(beam.FirstNode());
  host.LoadCase(1, "Pz");
  host.LoadCase(2, "Py");
  host.LoadCase(3, "torque");
  host.PointLoad(1, beam.elements.back(), beam.LastNode(), {0, 0, -P});
  host.PointLoad(2, beam.elements.back(), beam.LastNode(), {0, -P, 0});
  host.PointLoad(3, beam.elements.back(), beam.LastNode(), {}, {T, 0, 0});
  const auto r = host.Solve(WithElementResults());
  const double Iy = b * h * h * h / 12, Iz = h * b * b * b / 12;
  const long root = beam.elements.front(), tip = beam.LastNode(), clamp = beam.FirstNode();
  const auto& z = r.steps[0];
  const auto& y = r.steps[1];
  const auto& t = r.steps[2];
  ExpectAll({
      {"cantilever root My under Pz", z.beamForces.at(root).start.My, P * L, 0.01},
      {"cantilever root Vz under Pz", z.beamForces.at(root).start.Vz, -P, 0.01},
      {"cantilever root Mz under Py", y.beamForces.at(root).start.Mz, -P * L, 0.01},
      {"cantilever root Vy under Py", y.beamForces.at(root).start.Vy, -P, 0.01},
      {"cantilever tip end My under Pz", z.beamForces.at(beam.elements.back()).start.My, P * L / 8, 0.01},
      {"cantilever tip rotation ry under Pz", z.rotations.at(tip).y, P * L * L / (2 * kE * Iy), 0.01},
      {"cantilever tip rotation rz under Py", y.rotations.at(tip).z, -P * L * L / (2 * kE * Iz), 0.01},
      {"cantilever reaction moment My under Pz", z.reactionMoments.at(clamp).y, -P * L, 1e-6},
      {"cantilever reaction moment Mz under Py", y.reactionMoments.at(clamp).z, P * L, 1e-6},
      {"cantilever torque along the beam", t.beamForces.at(root).start.T, T, 0.01},
      {"cantilever torsion reaction moment", t.reactionMoments.at(clamp).x, -T, 1e-6},
  });
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
