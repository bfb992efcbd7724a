// The mirror library end to end: models built as a host builds them
// (mirror objects written into the analysis model and flushed), exported,
// solved with ccx and compared with hand calculations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "solver/ccx/tests/host_model.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using namespace Testing;

constexpr double kE = 2.1e11;
constexpr double kNu = 0.3;
constexpr double kPi = 3.14159265358979323846;

// Prints and checks one computed value against its hand calculation.
void ExpectClose(const char* what, double computed, double analytic, double relativeTolerance) {
  std::printf("[ value    ] %-44s computed % .6e  analytic % .6e  (%+.3f %%)\n", what, computed, analytic,
              100.0 * (computed - analytic) / analytic);
  EXPECT_NEAR(computed, analytic, std::abs(analytic) * relativeTolerance) << what;
}

class HandCalculation : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SolverAvailable()) GTEST_SKIP() << "ccx is not installed";
  }
  HostModel host;
};

// A cantilever along x of a 0.05 wide (local y) and 0.1 high (local z)
// rectangle, fixed at x = 0, with tip loads along z (load case 1) and y (2).
struct Cantilever {
  MeshedBeam beam;
  double L = 2.0, b = 0.05, h = 0.1, P = 1000.0;
  double Iy() const { return b * h * h * h / 12.0; }  // about local y: bending in x-z
  double Iz() const { return h * b * b * b / 12.0; }
};

Cantilever BuildCantilever(HostModel& host, std::optional<vec3d> localZ,
                           const std::vector<int>& reversed = {}) {
  Cantilever c;
  auto steel = host.Material(kE, kNu, 7850.0);
  auto rect = host.Section(qlSection::Rectangle(c.h, c.b));
  c.beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{c.L, rect, 10}}, steel, localZ, std::nullopt, reversed);
  host.Fix(c.beam.FirstNode());
  host.LoadCase(1, "tip load z");
  host.LoadCase(2, "tip load y");
  host.PointLoad(1, c.beam.elements.back(), c.beam.LastNode(), {0, 0, -c.P});
  host.PointLoad(2, c.beam.elements.back(), c.beam.LastNode(), {0, -c.P, 0});
  return c;
}

TEST_F(HandCalculation, RectangularCantileverUnderTipLoadsInBothDirections) {
  const Cantilever c = BuildCantilever(host, vec3d(0, 0, 1));
  const auto r = host.Solve();
  ASSERT_EQ(r.steps.size(), 2u);
  EXPECT_EQ(r.steps[0].name, "tip load z");
  const double PL3 = c.P * c.L * c.L * c.L;
  ExpectClose("cantilever tip uz under Pz", r.steps[0].displacements.at(c.beam.LastNode()).z,
              -PL3 / (3 * kE * c.Iy()), 0.01);
  ExpectClose("cantilever tip uy under Py", r.steps[1].displacements.at(c.beam.LastNode()).y,
              -PL3 / (3 * kE * c.Iz()), 0.01);
  // The support carries the whole load.
  ExpectClose("cantilever support reaction fz", r.steps[0].reactions.at(c.beam.FirstNode()).z, c.P, 1e-6);
}

TEST_F(HandCalculation, LocalSystemRotatedByNinetyDegreesSwapsTheAxes) {
  // Local z along global y: the 0.1 height now lies along y.
  const Cantilever c = BuildCantilever(host, vec3d(0, 1, 0));
  const auto r = host.Solve();
  const double PL3 = c.P * c.L * c.L * c.L;
  ExpectClose("rotated cantilever tip uz under Pz (weak)", r.steps[0].displacements.at(c.beam.LastNode()).z,
              -PL3 / (3 * kE * c.Iz()), 0.01);
  ExpectClose("rotated cantilever tip uy under Py (strong)", r.steps[1].displacements.at(c.beam.LastNode()).y,
              -PL3 / (3 * kE * c.Iy()), 0.01);
}

TEST_F(HandCalculation, ReversedElementsLeaveTheAnswersUnchanged) {
  HostModel forwardHost;
  const Cantilever forward = BuildCantilever(forwardHost, vec3d(0, 0, 1));
  const auto expected = forwardHost.Solve();
  // Elements 2 and 7 meshed end to start; one beam with a local system (the
  // beam turns them round), one without (they stay reversed).
  for (bool withLocalSystem : {true, false}) {
    SCOPED_TRACE(withLocalSystem ? "with local system" : "without local system");
    HostModel reversedHost;
    const Cantilever c = BuildCantilever(
        reversedHost, withLocalSystem ? std::optional<vec3d>(vec3d(0, 0, 1)) : std::nullopt, {2, 7});
    const auto r = reversedHost.Solve();
    for (std::size_t step = 0; step < 2; ++step) {
      for (std::size_t k = 0; k < c.beam.nodes.size(); ++k) {
        const vec3d u = r.steps[step].displacements.at(c.beam.nodes[k]);
        const vec3d v = expected.steps[step].displacements.at(forward.beam.nodes[k]);
        EXPECT_NEAR(u.y, v.y, 1e-9 + 1e-6 * std::abs(v.y));
        EXPECT_NEAR(u.z, v.z, 1e-9 + 1e-6 * std::abs(v.z));
      }
    }
    ExpectClose(
        withLocalSystem ? "reversed elements, local system: tip uz" : "reversed elements, none: tip uz",
        r.steps[0].displacements.at(c.beam.LastNode()).z,
        expected.steps[0].displacements.at(forward.beam.LastNode()).z, 1e-6);
  }
}

TEST_F(HandCalculation, ThreeNodeBeamsWithPerNodeLocalSystems) {
  // A rectangle turned by 90 degrees (local z along global y), and a pipe,
  // both meshed in three-node beams whose local systems are set node by node.
  host.threeNodeBeams = true;
  const double L = 2.0, b = 0.05, h = 0.1, d = 0.1, t = 0.005, P = 1000.0;
  auto steel = host.Material(kE, kNu, 7850.0);
  auto rect = host.Section(qlSection::Rectangle(h, b));
  auto pipe = host.Section(qlSection::Pipe(d, t));
  const auto r1 = host.Beam({0, 0, 0}, {1, 0, 0}, {{L, rect, 5}}, steel, vec3d(0, 1, 0));
  const auto p1 = host.Beam({0, 1, 0}, {1, 0, 0}, {{L, pipe, 20}}, steel, vec3d(0, 0, 1));
  host.Fix(r1.FirstNode());
  host.Fix(p1.FirstNode());
  host.LoadCase(1, "tip");
  host.PointLoad(1, r1.elements.back(), r1.LastNode(), {0, 0, -P});
  host.PointLoad(1, p1.elements.back(), p1.LastNode(), {0, -P, 0});
  const auto r = host.Solve();
  const double PL3 = P * L * L * L;
  const double Iweak = h * b * b * b / 12;
  const double Ipipe = kPi / 64 * (std::pow(d, 4) - std::pow(d - 2 * t, 4));
  ExpectClose("three-node rotated rectangle tip uz (weak)", r.steps[0].displacements.at(r1.LastNode()).z,
              -PL3 / (3 * kE * Iweak), 0.01);
  ExpectClose("three-node pipe tip uy", r.steps[0].displacements.at(p1.LastNode()).y, -PL3 / (3 * kE * Ipipe),
              0.01);
}

TEST_F(HandCalculation, SteppedCantileverOfTwoSections) {
  const double L1 = 1.0, L2 = 1.0, b = 0.05, h1 = 0.12, h2 = 0.08, P = 1000.0;
  auto steel = host.Material(kE, kNu, 7850.0);
  auto thick = host.Section(qlSection::Rectangle(h1, b));
  auto thin = host.Section(qlSection::Rectangle(h2, b));
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{L1, thick, 6}, {L2, thin, 6}}, steel, vec3d(0, 0, 1));
  host.Fix(beam.FirstNode());
  host.LoadCase(1, "tip");
  host.PointLoad(1, beam.elements.back(), beam.LastNode(), {0, 0, -P});
  const auto r = host.Solve();
  const double I1 = b * h1 * h1 * h1 / 12, I2 = b * h2 * h2 * h2 / 12, L = L1 + L2;
  // Unit-load integral of M(x) = P (L - x) over both parts.
  const double analytic = -P * ((L * L * L - L2 * L2 * L2) / (3 * kE * I1) + L2 * L2 * L2 / (3 * kE * I2));
  ExpectClose("stepped cantilever tip uz", r.steps[0].displacements.at(beam.LastNode()).z, analytic, 0.01);
}

TEST_F(HandCalculation, UniformLineLoadBecomesConsistentNodalLoads) {
  const Cantilever c = [&] {
    Cantilever k;
    auto steel = host.Material(kE, kNu, 7850.0);
    auto rect = host.Section(qlSection::Rectangle(k.h, k.b));
    k.beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{k.L, rect, 10}}, steel, vec3d(0, 0, 1));
    host.Fix(k.beam.FirstNode());
    return k;
  }();
  const double q = 500.0;
  host.LoadCase(3, "line load");
  host.ElementLoad(3, c.beam.elements,
                   boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::LineLoad(vec3d(0, 0, -q))));
  const auto r = host.Solve();
  ExpectClose("cantilever tip uz under line load", r.steps[0].displacements.at(c.beam.LastNode()).z,
              -q * std::pow(c.L, 4) / (8 * kE * c.Iy()), 0.01);
}

TEST_F(HandCalculation, PipeCantileverUnderGravity) {
  const double L = 2.0, d = 0.1, t = 0.005, rho = 7850.0, g = 9.81;
  auto steel = host.Material(kE, kNu, rho);
  auto pipe = host.Section(qlSection::Pipe(d, t));
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{L, pipe, 20}}, steel, vec3d(0, 0, 1));
  host.Fix(beam.FirstNode());
  host.LoadCase(1, "self weight", vec3d(0, 0, -g));
  const auto r = host.Solve();
  const double A = kPi / 4 * (d * d - (d - 2 * t) * (d - 2 * t));
  const double I = kPi / 64 * (std::pow(d, 4) - std::pow(d - 2 * t, 4));
  const double q = rho * A * g;
  ExpectClose("pipe cantilever tip uz under gravity", r.steps[0].displacements.at(beam.LastNode()).z,
              -q * std::pow(L, 4) / (8 * kE * I), 0.01);
}

TEST_F(HandCalculation, EccentricBeamUnderAxialLoad) {
  // The beam axis runs e above the node line; the axial force acts at the
  // nodes, so it bends the beam with the moment P e.
  const double L = 2.0, b = 0.05, h = 0.1, e = 0.1, P = 10000.0;
  auto steel = host.Material(kE, kNu, 7850.0);
  auto rect = host.Section(qlSection::Rectangle(h, b));
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{L, rect, 10}}, steel, vec3d(0, 0, 1), vec3d(0, 0, e));
  host.Fix(beam.FirstNode());
  host.LoadCase(1, "axial");
  host.PointLoad(1, beam.elements.back(), beam.LastNode(), {P, 0, 0});
  const auto r = host.Solve();
  const double I = b * h * h * h / 12;
  ExpectClose("eccentric beam tip uz under axial P", r.steps[0].displacements.at(beam.LastNode()).z,
              P * e * L * L / (2 * kE * I), 0.01);
  // The node moves with the beam end plus the end rotation P e L / (E I) times e.
  ExpectClose("eccentric beam tip ux under axial P", r.steps[0].displacements.at(beam.LastNode()).x,
              P * L / (kE * b * h) + P * e * e * L / (kE * I), 0.01);
}

// A simply supported square plate under uniform pressure, meshed in four-
// or three-node shells.
void CheckSquarePlate(bool triangles) {
  HostModel host;
  host.triangularShells = triangles;
  const double a = 1.0, t = 0.01, q = 1000.0;
  const int n = 8;
  auto steel = host.Material(kE, kNu, 7850.0);
  auto thickness = host.Thickness(t);
  std::vector<long> elements;
  const auto nodes = host.Plate(a, n, thickness, steel, elements);
  for (int i = 0; i <= n; ++i) {
    for (int j = 0; j <= n; ++j) {
      if (i == 0 || j == 0 || i == n || j == n) host.Fix(nodes[i][j], {0, 0, 1, 0, 0, 0});
    }
  }
  host.Fix(nodes[0][0], {1, 1, 1, 0, 0, 0});  // in-plane rigid-body motion
  host.Fix(nodes[0][n], {0, 1, 1, 0, 0, 0});
  host.LoadCase(1, "pressure");
  host.ElementLoad(1, elements, boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::SurfaceLoad(q)));
  const auto r = host.Solve();
  // Navier's series for the centre deflection of a simply supported square
  // plate under uniform load, summed here over odd m, n.
  const double D = kE * t * t * t / (12 * (1 - kNu * kNu));
  double series = 0.0;
  for (int m = 1; m < 200; m += 2) {
    for (int k = 1; k < 200; k += 2) {
      const double sign = ((m + k) / 2 - 1) % 2 == 0 ? 1.0 : -1.0;  // sin(m pi/2) sin(k pi/2)
      series += sign / (m * k * std::pow(m * m + k * k, 2));
    }
  }
  const double analytic = 16 * q * std::pow(a, 4) / (std::pow(kPi, 6) * D) * series;
  // Positive pressure acts along the normal of the node order, here +z.
  ExpectClose(triangles ? "plate (triangles) centre uz under pressure" : "plate centre uz under pressure",
              r.steps[0].displacements.at(nodes[n / 2][n / 2]).z, analytic, 0.02);
}

TEST_F(HandCalculation, SimplySupportedSquarePlateUnderPressure) { CheckSquarePlate(false); }
TEST_F(HandCalculation, SimplySupportedSquarePlateOfTrianglesUnderPressure) { CheckSquarePlate(true); }

TEST_F(HandCalculation, TipMassEigenfrequencies) {
  const double L = 2.0, b = 0.05, h = 0.1, m = 100.0;
  auto light = host.Material(kE, kNu, 1.0);  // beam mass 0.01 kg, negligible beside the tip mass
  auto rect = host.Section(qlSection::Rectangle(h, b));
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{L, rect, 10}}, light, vec3d(0, 0, 1));
  host.Fix(beam.FirstNode());
  host.PointMass(beam.LastNode(), m);
  Solver::ExportOptions options;
  options.frequencyCount = 2;
  const auto r = host.Solve(options);
  ASSERT_GE(r.frequencies.size(), 2u);
  const double Iz = h * b * b * b / 12, Iy = b * h * h * h / 12;
  auto f = [&](double I) { return std::sqrt(3 * kE * I / (m * L * L * L)) / (2 * kPi); };
  ExpectClose("tip mass first frequency (weak axis)", r.frequencies[0], f(Iz), 0.01);
  ExpectClose("tip mass second frequency (strong axis)", r.frequencies[1], f(Iy), 0.01);
}

TEST_F(HandCalculation, RigidBodyRotationOfARadialBar) {
  const double L = 1.0, rho = 7850.0, omega = 100.0;
  auto steel = host.Material(kE, kNu, rho);
  auto rect = host.Section(qlSection::Rectangle(0.05, 0.05));
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{L, rect, 20}}, steel, vec3d(0, 0, 1));
  host.Fix(beam.FirstNode());
  host.LoadCase(1, "rotation");
  host.RotationLoad(1, {0, 0, 0}, {0, 0, 1}, omega, 0.0);
  const auto r = host.Solve();
  ExpectClose("radial bar tip ux under rotation", r.steps[0].displacements.at(beam.LastNode()).x,
              rho * omega * omega * L * L * L / (3 * kE), 0.01);
}

TEST_F(HandCalculation, SolverErrorsAreReportedWithTheSolversWords) {
  Solver::CcxDeck deck;
  deck.text =
      "*NODE\n1, 0, 0, 0\n2, 1, 0, 0\n*ELEMENT, TYPE=B31, ELSET=E\n1, 1, 2\n"
      "*BEAM SECTION, ELSET=E, MATERIAL=NOPE, SECTION=RECT\n0.1, 0.1\n0, 1, 0\n*STEP\n*STATIC\n*END STEP\n";
  deck.loadCaseSteps = {1};
  try {
    Solver::RunSolver(deck);
    FAIL() << "a deck with a missing material was solved";
  } catch (const Solver::SolverError& e) {
    EXPECT_NE(std::string(e.what()).find("nonexistent material"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
