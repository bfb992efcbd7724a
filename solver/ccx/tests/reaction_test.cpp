// Supports and reactions end to end: spans between supports bend, and the
// reactions are the supports' own, in equilibrium with every applied load.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "solver/ccx/tests/host_model.hpp"

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

// Largest difference between the summed reactions and minus the applied
// load, relative to the applied load.
double Imbalance(const StepResults& step, const vec3d& applied) {
  vec3d sum = applied;
  for (const auto& entry : step.reactions) sum += entry.second;
  return sum.length() / applied.length();
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

// Loads at a clamped node go straight into its support.
TEST_F(Reactions, LoadsAtAClampedNodeReachItsReaction) {
  auto steel = host.Material(kE, 0.3, 0.0);
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{2.0, host.Section(qlSection::Pipe(0.1, 0.005)), 2}},
                              steel, std::nullopt);
  host.Fix(beam.FirstNode());
  host.PointMass(beam.FirstNode(), 100.0);
  host.LoadCase(1, "point load on the clamp");
  host.PointLoad(1, beam.elements.front(), beam.FirstNode(), {0, 0, 1000.0});
  host.LoadCase(2, "mass on the clamp", vec3d(0, 0, -9.81));
  const auto r = host.Solve();
  ExpectClose("clamp fz under its own point load", r.steps[0].reactions.at(beam.FirstNode()).z, -1000.0,
              1e-6);
  ExpectClose("clamp fz under its own mass's weight", r.steps[1].reactions.at(beam.FirstNode()).z, 981.0,
              1e-6);
}

// A 0.3 m cantilever of E = 2.1e11: its support springs' stiffness is a
// whole number (1000 E times 1 % of the model's size), which the solver
// must still read as a stiffness; whole, tiny and signed zero numbers in the
// other cards (coordinates, modulus, density, loads, gravity) are read as
// written too.
TEST_F(Reactions, WholeSpringStiffnessIsReadAsAReal) {
  auto steel = host.Material(kE, 0.3, 7850.0);
  const auto beam = host.Beam({-0.0, 0, 0}, {1, 0, 0}, {{0.3, host.Section(qlSection::Pipe(0.1, 0.005)), 2}},
                              steel, std::nullopt);
  host.Fix(beam.FirstNode());
  host.LoadCase(1, "tip");
  host.PointLoad(1, beam.elements.back(), beam.LastNode(), {-0.0, 1e-30, 1000.0});
  host.LoadCase(2, "weight", vec3d(-0.0, 0, -10));
  const auto r = host.Solve();
  const vec3d tip = r.steps[0].reactions.at(beam.FirstNode());
  ExpectClose("short cantilever clamp fz", tip.z, -1000.0, 1e-6);
  EXPECT_NEAR(tip.y, 0.0, 1e-9 * 1000.0);  // 1e-30 is below the solution's noise
  const double weight = 7850.0 * 10 * 0.3 * kPi / 4 * (0.1 * 0.1 - 0.09 * 0.09);
  ExpectClose("short cantilever clamp fz under its weight", r.steps[1].reactions.at(beam.FirstNode()).z,
              weight, 1e-6);
}

// A portal frame in the x-z plane under its own weight, symmetric: equal
// vertical reactions, and none out of its plane.
TEST_F(Reactions, SymmetricPortalFrameHasEqualInPlaneReactions) {
  host.shareNodes = true;
  auto steel = host.Material(kE, 0.3, 7850.0);
  auto rect = host.Section(qlSection::Rectangle(0.2, 0.1));
  const auto left = host.Beam({0, 0, 0}, {0, 0, 1}, {{3.0, rect, 3}}, steel, vec3d(1, 0, 0));
  const auto right = host.Beam({4, 0, 0}, {0, 0, 1}, {{3.0, rect, 3}}, steel, vec3d(1, 0, 0));
  host.Beam({0, 0, 3}, {1, 0, 0}, {{4.0, rect, 4}}, steel, vec3d(0, 0, 1));
  host.Fix(left.FirstNode());
  host.Fix(right.FirstNode());
  host.LoadCase(1, "gravity", vec3d(0, 0, -9.81));
  const auto r = host.Solve();
  const vec3d a = r.steps[0].reactions.at(left.FirstNode()), b = r.steps[0].reactions.at(right.FirstNode());
  const double weight = 7850.0 * 9.81 * 0.02 * 10.0;
  ExpectClose("portal left foot fz", a.z, weight / 2, 1e-6);
  ExpectClose("portal right foot fz", b.z, weight / 2, 1e-6);
  EXPECT_NEAR(a.x, -b.x, 1e-6 * weight);
  EXPECT_LT(std::abs(a.y) + std::abs(b.y), 1e-6 * weight);
}

// A table on four columns clamped at their feet: a plate top, an edge beam
// (a pipe, with a generated middle node), loads of every kind, some of them
// at the supports.
TEST_F(Reactions, SpaceFrameReactionsBalanceEveryLoadKind) {
  const double a = 1.0, H = 1.5, rho = 7850.0, g = 9.81, t = 0.01, p = 2000.0, q = 3000.0, m = 50.0;
  host.shareNodes = true;
  auto steel = host.Material(kE, 0.3, rho);
  auto rect = host.Section(qlSection::Rectangle(0.1, 0.05));
  auto pipe = host.Section(qlSection::Pipe(0.1, 0.005));
  std::vector<long> shells;
  const auto top = host.Plate(a, 2, host.Thickness(t), steel, shells);
  std::vector<MeshedBeam> columns;
  for (const auto& corner : {pos3d(0, 0, 0), pos3d(a, 0, 0), pos3d(0, a, 0), pos3d(a, a, 0)}) {
    columns.push_back(host.Beam(corner, {0, 0, -1}, {{H, rect, 3}}, steel, vec3d(1, 0, 0)));
    host.Fix(columns.back().LastNode());
  }
  const auto edge = host.Beam({0, 0, 0}, {1, 0, 0}, {{a, pipe, 2}}, steel, std::nullopt);
  const long foot = columns[0].LastNode();
  host.PointMass(foot, m);
  host.PointMass(top[2][2], m);
  host.LoadCase(1, "everything", vec3d(0, 0, -g));
  host.PointLoad(1, columns[1].elements.front(), columns[1].FirstNode(), {500, -200, -1000}, {0, 300, 0});
  host.PointLoad(1, columns[0].elements.back(), foot, {700, 0, 0});
  host.ElementLoad(1, edge.elements,
                   boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::LineLoad({0, q, -q})));
  host.ElementLoad(1, shells, boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::SurfaceLoad(p)));
  // Gravity symmetric about x = a/2 alone: the feet share it equally.
  host.LoadCase(2, "gravity", vec3d(0, 0, -g));
  const auto r = host.Solve();
  const double kPipeArea = kPi / 4 * (0.1 * 0.1 - 0.09 * 0.09);
  const double weight = rho * g * (a * a * t + 4 * H * 0.1 * 0.05 + a * kPipeArea) + 2 * m * g;
  const vec3d applied(500 + 700, -200 + q * a, -1000 - q * a + p * a * a - weight);
  const double imbalance = Imbalance(r.steps[0], applied);
  std::printf("[ value    ] space frame reaction imbalance %.2e of the applied load\n", imbalance);
  EXPECT_LT(imbalance, 1e-6);
  EXPECT_LT(Imbalance(r.steps[1], vec3d(0, 0, -weight)), 1e-6);
}

// A quarter of a simply supported square plate of side 2a, held by its
// symmetry conditions at x = 0 and y = 0 (nodes free to move across the
// springs that hold them): every load case right, not only the first, and
// the reactions those of the supports; a frequency step after the static
// ones too.
TEST_F(Reactions, EveryLoadCaseRightOnAPartlyHeldQuarterPlate) {
  const double a = 0.5, t = 0.01, p = 1000.0, rho = 7850.0, g = 9.81, nu = 0.3;
  auto steel = host.Material(kE, nu, rho);
  std::vector<long> shells;
  const auto nodes = host.Plate(a, 4, host.Thickness(t), steel, shells);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    for (std::size_t j = 0; j < nodes[i].size(); ++j) {
      std::array<double, 6> fixed{};
      if (j == 0) fixed[0] = fixed[4] = fixed[5] = 1;                       // symmetry about x = 0
      if (i == 0) fixed[1] = fixed[3] = fixed[5] = 1;                       // symmetry about y = 0
      if (i + 1 == nodes.size() || j + 1 == nodes[i].size()) fixed[2] = 1;  // simple support
      if (fixed != std::array<double, 6>{}) host.Fix(nodes[i][j], fixed);
    }
  }
  host.LoadCase(1, "pressure");
  host.ElementLoad(1, shells, boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::SurfaceLoad(p)));
  host.LoadCase(2, "self weight", vec3d(0, 0, -g));
  ExportOptions options;
  options.frequencyCount = 1;
  const auto r = host.Solve(options);
  const double D = kE * t * t * t / (12 * (1 - nu * nu)), L = 2 * a, weight = rho * g * t * a * a;
  const double w1 = r.steps[0].displacements.at(nodes[0][0]).z,
               w2 = r.steps[1].displacements.at(nodes[0][0]).z;
  // Navier's series: w = 0.00406 q L^4 / D at the centre.
  ExpectClose("quarter plate centre under pressure", std::abs(w1), 0.00406 * p * L * L * L * L / D, 0.03);
  // Gravity acts through the layer of bricks the solver expands the shell
  // into, pressure on its face: equal to a few parts in 1e5.
  ExpectClose("self weight deflection over pressure's", std::abs(w2 / w1), rho * g * t / p, 1e-3);
  EXPECT_LT(Imbalance(r.steps[0], vec3d(0, 0, p * a * a)), 1e-6);
  EXPECT_LT(Imbalance(r.steps[1], vec3d(0, 0, -weight)), 1e-6);
  ASSERT_FALSE(r.frequencies.empty());
  ExpectClose("quarter plate first frequency", r.frequencies[0], kPi / (L * L) * std::sqrt(D / (rho * t)),
              0.03);
}

// A simply supported beam on a pin and a roller, held sideways at midspan
// where it deflects across the spring that holds it: the second load case
// is twice the first, and so are its deflection and reactions, and the
// sideways hold takes nothing.
TEST_F(Reactions, EveryLoadCaseRightOnAPinnedBeam) {
  const double L = 4.0, P = 1000.0;
  auto steel = host.Material(kE, 0.3, 0.0);
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{L, host.Section(qlSection::Rectangle(0.1, 0.05)), 10}},
                              steel, vec3d(0, 0, 1));
  host.Fix(beam.FirstNode(), {1, 1, 1, 1, 0, 0});
  host.Fix(beam.LastNode(), {0, 1, 1, 0, 0, 0});
  host.Fix(beam.nodes[5], {0, 1, 0, 0, 0, 0});
  for (long c : {1, 2}) {
    host.LoadCase(c, "midspan load");
    host.PointLoad(c, beam.elements[4], beam.nodes[5], {0, 0, -c * P});
  }
  const auto r = host.Solve();
  const double w1 = r.steps[0].displacements.at(beam.nodes[5]).z,
               w2 = r.steps[1].displacements.at(beam.nodes[5]).z;
  ExpectClose("pinned beam midspan deflection", w1, -P * L * L * L / (48 * kE * 0.05 * 0.001 / 12), 0.02);
  ExpectClose("second load case's deflection over the first's", w2 / w1, 2.0, 1e-6);
  for (std::size_t s = 0; s < 2; ++s) {
    EXPECT_LT(Imbalance(r.steps[s], vec3d(0, 0, -(s + 1.0) * P)), 1e-6);
    EXPECT_NEAR(r.steps[s].reactions.at(beam.LastNode()).z, (s + 1.0) * P / 2, 1e-6 * P);
    EXPECT_NEAR(r.steps[s].reactions.at(beam.nodes[5]).y, 0.0, 1e-6 * P);
  }
}

// The reactions balance the load to the solver's printed precision (seven
// significant digits), whatever its size: a cantilever under 1 N, and a
// fixed-ended girder under a vertical 800 kN with no net horizontal
// reaction (the axial springs gave 1.000025 N and 0.85 N).
TEST_F(Reactions, ResidualIsProportionalToTheLoad) {
  auto steel = host.Material(kE, 0.3, 0.0);
  auto rect = host.Section(qlSection::Rectangle(0.6, 0.3));
  const auto cantilever = host.Beam({0, 0, 0}, {1, 0, 0}, {{2.0, rect, 4}}, steel, vec3d(0, 0, 1));
  const auto girder = host.Beam({0, 5, 0}, {1, 0, 0}, {{12.0, rect, 8}}, steel, vec3d(0, 0, 1));
  host.Fix(cantilever.FirstNode());
  host.Fix(girder.FirstNode());
  host.Fix(girder.LastNode());
  host.LoadCase(1, "unit tip load");
  host.PointLoad(1, cantilever.elements.back(), cantilever.LastNode(), {0, 0, -1.0});
  host.LoadCase(2, "girder midspan load");
  host.PointLoad(2, girder.elements[3], girder.nodes[4], {0, 0, -8e5});
  const auto r = host.Solve();
  const double tip = r.steps[0].reactions.at(cantilever.FirstNode()).z;
  const vec3d a = r.steps[1].reactions.at(girder.FirstNode()), b = r.steps[1].reactions.at(girder.LastNode());
  std::printf("[ value    ] unit load's reaction %.9f, girder's net horizontal reaction %.3e N\n", tip,
              a.x + b.x);
  EXPECT_NEAR(tip, 1.0, 1e-6);
  EXPECT_LT(std::abs(a.x + b.x), 1e-9 * 8e5);
  EXPECT_LT(Imbalance(r.steps[1], vec3d(0, 0, -8e5)), 1e-6);
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
