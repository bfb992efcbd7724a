// Supports and reactions end to end: spans between supports bend, and the
// reactions are the supports' own, in equilibrium with every applied load.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "solver/tests/host_model.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using namespace Testing;

constexpr double kE = 2.1e11;
constexpr double kPi = 3.14159265358979323846;

void ExpectClose(const char* what, double computed, double analytic, double relativeTolerance) {
  std::printf("[ value    ] %-44s computed % .6e  analytic % .6e  (%+.3f %%)\n", what, computed, analytic,
              100.0 * (computed - analytic) / analytic);
  EXPECT_NEAR(computed, analytic, std::abs(analytic) * relativeTolerance) << what;
}

class Reactions : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SolverAvailable()) GTEST_SKIP() << "ccx is not installed";
  }
  HostModel host;
};

// A pipe beam on two supports, one element over the span, overhanging by
// `a` with a tip load: the span's generated middle node must stay free.
TEST_F(Reactions, OverhangingPipeBeamBendsBetweenItsSupports) {
  const double L = 4.0, a = 1.0, P = 1000.0, D = 0.1, t = 0.005;
  auto steel = host.Material(kE, 0.3, 0.0);
  auto pipe = host.Section(qlSection::Pipe(D, t));
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{L, pipe, 1}, {a, pipe, 2}}, steel, std::nullopt);
  host.Fix(beam.FirstNode(), {1, 1, 1, 1, 0, 0});
  host.Fix(beam.nodes[1], {0, 1, 1, 0, 0, 0});
  host.LoadCase(1, "tip");
  host.PointLoad(1, beam.elements.back(), beam.LastNode(), {0, 0, P});
  const auto r = host.Solve();
  const double I = kPi / 64.0 * (std::pow(D, 4) - std::pow(D - 2 * t, 4));
  ExpectClose("overhang tip uz", r.steps[0].displacements.at(beam.LastNode()).z,
              P * a * a * (L + a) / (3 * kE * I), 0.02);
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
