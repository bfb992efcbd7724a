// Modes and buckling against closed form: beam frequencies (simply
// supported, cantilever, free-free), a two-storey shear building's periods
// and effective masses, Euler columns, and the refusals.
#include "solver/native/native_dynamics.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "solver/native/tests/native_test_model.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using Testing::NativeTestModel;
namespace am = AnalysisModel;

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPiTest = 2 * kPi;
constexpr double kE = 2.1e11, kNu = 0.3, kRho = 7850.0;

// An Euler-Bernoulli section (no shear areas): the closed forms below are
// for slender beams without shear deformation or rotary inertia.
qlSection Slender() {
  qlSectionProperties p;
  p.area = 0.01;
  p.iy = 2e-5;
  p.iz = 8e-5;
  p.it = 1e-5;
  return qlSection::General(p);
}

// A 10 m beam along X of 24 elements; `ends` holds its first and last node.
struct Beam {
  NativeTestModel m;
  std::vector<long> nodes;
  explicit Beam(double rho) {
    const long mat = m.Material(kE, kNu, rho), sec = m.Section(Slender());
    nodes = m.Line(pos3d(0, 0, 0), pos3d(10, 0, 0), 24, sec, mat);
  }
};

// Bending about local y (the x-z plane): EI = E Iy.
double BeamHertz(double betaL) {
  const double ei = kE * Slender().Properties().iy, mass = kRho * Slender().Properties().area;
  return betaL * betaL / (2 * kPi * 100.0) * std::sqrt(ei / mass);
}

struct FrequencyCase {
  const char* name;
  std::array<double, 6> start, end;  // support fixities; the beam moves only in the x-z plane
  double betaL;                      // of the lowest x-z bending mode
};

TEST(NativeModes, BeamFrequenciesMatchClosedForm) {
  const std::array<double, 6> pinned{1, 1, 1, 1, 0, 1}, clamped{1, 1, 1, 1, 1, 1}, free{0, 1, 0, 1, 0, 1};
  for (const FrequencyCase& c : {FrequencyCase{"simply supported", pinned, {0, 1, 1, 1, 0, 1}, kPi},
                                 FrequencyCase{"cantilever", clamped, free, 1.8751040687},
                                 FrequencyCase{"clamped-clamped", clamped, clamped, 4.7300407449}}) {
    SCOPED_TRACE(c.name);
    Beam beam(kRho);
    beam.m.Fix(beam.nodes.front(), c.start);
    beam.m.Fix(beam.nodes.back(), c.end);
    for (std::size_t i = 1; i + 1 < beam.nodes.size(); ++i) beam.m.Fix(beam.nodes[i], {0, 1, 0, 1, 0, 1});
    ModeOptions options;
    options.count = 3;
    const NativeModes modes = SolveModes(beam.m.Model(), options);
    ASSERT_EQ(modes.results.modes.size(), 3u);
    // The lowest is the bending mode (axial modes are far higher).
    EXPECT_NEAR(modes.results.frequencies[0], BeamHertz(c.betaL), 1e-5 * BeamHertz(c.betaL));
    EXPECT_EQ(modes.sturmCount, 3);
  }
}

// A free beam: six rigid-body modes at 0 Hz found through the negative
// shift, then the free-free bending mode about the weaker axis.
TEST(NativeModes, AFreeBeamHasSixRigidModesThenItsBendingMode) {
  Beam beam(kRho);
  ModeOptions options;
  options.count = 7;
  const NativeModes modes = SolveModes(beam.m.Model(), options);
  for (int i = 0; i < 6; ++i) EXPECT_LT(modes.results.frequencies[static_cast<std::size_t>(i)], 1e-3);
  EXPECT_NEAR(modes.results.frequencies[6], BeamHertz(4.7300407449), 1e-5 * BeamHertz(4.7300407449));
}

// Two storeys of height h: a column clamped at the base, floor nodes held
// against rotation and vertical motion, a point mass m at each floor; each
// storey is a spring k = 12 EI / h^3 in each horizontal direction, with I
// the section's Iy for one and Iz for the other.
struct ShearBuilding {
  NativeTestModel m;
  double mass = 1e4, h = 3.0;
  std::vector<long> nodes;
  ShearBuilding() {
    const long mat = m.Material(kE, kNu, 0.0), sec = m.Section(Slender());
    nodes = m.Line(pos3d(0, 0, 0), pos3d(0, 0, 2 * h), 2, sec, mat);
    m.Fix(nodes[0]);
    for (int floor = 1; floor <= 2; ++floor) {
      m.Fix(nodes[static_cast<std::size_t>(floor)], {0, 0, 1, 1, 1, 1});
      m.Model().NodeProperties().AddMass(nodes[static_cast<std::size_t>(floor)], am::Mass(mass));
    }
  }
  double Storey(double inertia) const { return 12 * kE * inertia / (h * h * h); }
};

TEST(NativeModes, ShearBuildingPeriodsShapesAndEffectiveMasses) {
  ShearBuilding b;
  ModeOptions options;
  options.count = 4;  // every mode: two in each horizontal direction
  const NativeModes modes = SolveModes(b.m.Model(), options);
  // Equal storeys and masses: w^2 = k/m (3 -+ sqrt 5)/2.
  std::vector<double> expected;
  for (double inertia : {Slender().Properties().iy, Slender().Properties().iz})
    for (double root : {-std::sqrt(5.0), std::sqrt(5.0)})
      expected.push_back(std::sqrt(b.Storey(inertia) / b.mass * (3 + root) / 2) / (2 * kPi));
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(modes.results.frequencies.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(modes.results.frequencies[i], expected[i], 1e-9 * expected[i]);
  // The first mode, shape (1, phi): its direction's effective mass is the
  // share (1 + phi)^2 / (2 (1 + phi^2)) of 2m; all modes hold the whole mass.
  const double phi = (1 + std::sqrt(5.0)) / 2;
  const double share1 = (1 + phi) * (1 + phi) / (2 * (1 + phi * phi));
  const auto& first = modes.results.modes[0].effectiveMass;
  EXPECT_NEAR(std::max(first[0], first[1]), share1 * 2 * b.mass, 1e-8 * b.mass);
  double sumX = 0.0, sumY = 0.0;
  for (const StepResults& mode : modes.results.modes) sumX += mode.effectiveMass[0], sumY += mode.effectiveMass[1];
  EXPECT_NEAR(modes.mass.total[0], 2 * b.mass, 1e-9 * b.mass);
  EXPECT_NEAR(sumX, modes.mass.total[0], 1e-8 * b.mass);
  EXPECT_NEAR(sumY, modes.mass.total[1], 1e-8 * b.mass);
  // Shapes have unit modal mass: m (u1^2 + u2^2) = 1.
  for (const StepResults& mode : modes.results.modes) {
    const vec3d u1 = mode.displacements.at(b.nodes[1]), u2 = mode.displacements.at(b.nodes[2]);
    EXPECT_NEAR(b.mass * (u1.dot(u1) + u2.dot(u2)), 1.0, 1e-9);
  }
}

// A simply supported square steel plate, 2 m x 20 mm, 16 x 16 four-node
// shells: the lowest bending frequencies (1,1) and the pair (1,2), (2,1),
// f = pi/2 (m^2 + n^2)/a^2 sqrt(D / (rho t)) (Leissa, Vibration of Plates,
// NASA SP-160, 1969, section 4.1), within 2 %.
TEST(NativeModes, SimplySupportedPlateFrequencies) {
  NativeTestModel m;
  const double a = 2.0, t = 0.02;
  const long mat = m.Material(kE, kNu, kRho), thickness = m.Thickness(t);
  const int n = 16;
  const auto node = m.ShellGrid(a, n, mat, thickness);
  for (int k = 0; k <= n; ++k)
    for (long edge : {node[k][0], node[k][n], node[0][k], node[n][k]}) m.Fix(edge, {0, 0, 1, 0, 0, 0});
  m.Fix(node[0][0], {1, 1, 1, 0, 0, 0});  // the in-plane rigid motions held
  m.Fix(node[0][n], {0, 1, 1, 0, 0, 0});
  ModeOptions options;
  options.count = 3;
  const NativeModes modes = SolveModes(m.Model(), options);
  const double D = kE * t * t * t / (12 * (1 - kNu * kNu));
  const double f11 = kPi / 2 * 2 / (a * a) * std::sqrt(D / (kRho * t));
  EXPECT_NEAR(modes.results.frequencies[0], f11, 0.02 * f11);
  EXPECT_NEAR(modes.results.frequencies[1], 2.5 * f11, 0.02 * 2.5 * f11);
  EXPECT_NEAR(modes.results.frequencies[2], 2.5 * f11, 0.02 * 2.5 * f11);
}

// Der Kiureghian's correlation of two modes of equal damping, written out
// here rather than taken from the solver.
double Correlation(double wi, double wj, double xi) {
  const double r = wj / wi;
  return 8 * xi * xi * (1 + r) * std::pow(r, 1.5) / ((1 - r * r) * (1 - r * r) + 4 * xi * xi * r * (1 + r) * (1 + r));
}

// The shear building excited along X by a spectrum of 2 m/s² up to 0.3 s
// falling to 1 m/s² at 1 s: the top floor's peak displacement and the base
// shear by hand, with CQC and SRSS.
TEST(NativeSpectrum, ShearBuildingMatchesAHandCalculation) {
  for (bool cqc : {true, false}) {
    SCOPED_TRACE(cqc ? "CQC" : "SRSS");
    ShearBuilding b;
    SpectrumOptions options;
    options.spectrum = "0 2\n0.3 2\n1.0 1\n";
    options.directions = {true, false, false};
    options.cqc = cqc;
    options.modes.count = 4;
    options.modes.massShare = 0.0;
    const NativeSpectrum rsa = SolveResponseSpectrum(b.m.Model(), options);
    // The X storey stiffness: whichever inertia the X modes show.
    const double w1 = kTwoPiTest * rsa.results.frequencies[0];
    double k = 0.0;
    for (double inertia : {Slender().Properties().iy, Slender().Properties().iz})
      for (const StepResults& mode : rsa.results.modes)
        if (mode.effectiveMass[0] > 1.0 &&
            std::abs(std::sqrt(b.Storey(inertia) / b.mass * (3 - std::sqrt(5.0)) / 2) - kTwoPiTest * mode.eigenvalue) < 1e-6 * w1)
          k = b.Storey(inertia);
    ASSERT_GT(k, 0.0);
    const auto sa = [](double w) {
      const double t = kTwoPiTest / w;
      return t <= 0.3 ? 2.0 : t >= 1.0 ? 1.0 : 2.0 - (t - 0.3) / 0.7;
    };
    double r[2], v[2], w[2];
    for (int mode = 0; mode < 2; ++mode) {
      const double root = mode == 0 ? -std::sqrt(5.0) : std::sqrt(5.0);
      w[mode] = std::sqrt(k / b.mass * (3 + root) / 2);
      const double top = (1 - root) / 2;  // shape (1, top), top over lower floor
      const double norm = std::sqrt(b.mass * (1 + top * top));
      const double gamma = b.mass * (1 + top) / norm;
      r[mode] = gamma * sa(w[mode]) / (w[mode] * w[mode]) * top / norm;
      v[mode] = gamma * gamma * sa(w[mode]);
    }
    const double rho = cqc ? Correlation(w[0], w[1], 0.05) : 0.0;
    const double topPeak = std::sqrt(r[0] * r[0] + r[1] * r[1] + 2 * rho * r[0] * r[1]);
    const double shearPeak = std::sqrt(v[0] * v[0] + v[1] * v[1] + 2 * rho * v[0] * v[1]);
    ASSERT_EQ(rsa.results.spectra.size(), 1u);
    EXPECT_NEAR(rsa.results.spectra[0].displacements.at(b.nodes[2]).x, topPeak, 1e-8 * topPeak);
    EXPECT_NEAR(rsa.baseShear[0], shearPeak, 1e-8 * shearPeak);
    // The base reaction's peak is the base shear (the floors' masses only).
    EXPECT_NEAR(rsa.results.spectra[0].reactions.at(b.nodes[0]).x, shearPeak, 1e-6 * shearPeak);
  }
}

TEST(NativeSpectrum, AnUnreadableSpectrumIsRefusedWithItsLine) {
  ShearBuilding b;
  SpectrumOptions options;
  options.spectrum = "0 2\n0.3 two\n";
  try {
    SolveResponseSpectrum(b.m.Model(), options);
    FAIL() << "solved with an unreadable spectrum";
  } catch (const SolverError& e) {
    EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
  }
}

TEST(NativeModes, MassShareDecidesHowManyModes) {
  ShearBuilding b;
  ModeOptions options;
  options.count = 1;
  options.massShare = 0.99;
  options.massDirections = {true, false, false, false, false, false};
  const NativeModes modes = SolveModes(b.m.Model(), options);
  EXPECT_GE(modes.mass.captured[0], 0.99 * modes.mass.total[0]);
}

TEST(NativeModes, RefusalsNameTheirCause) {
  Beam massless(0.0);
  massless.m.Fix(massless.nodes.front());
  EXPECT_THROW(SolveModes(massless.m.Model()), SolverError);
  ShearBuilding b;
  ModeOptions tooMany;
  tooMany.count = 2;
  tooMany.upToHertz = 1e6;  // every mode, more than allowed
  tooMany.maxModes = 3;
  EXPECT_THROW(SolveModes(b.m.Model(), tooMany), SolverError);
}

// Euler columns: an axial load P at the top of a 10 m column along Z of 24
// elements; the load factor times P is the critical load.
struct ColumnCase {
  const char* name;
  std::array<double, 6> base, top;
  double effectiveLength;  // times L
};

TEST(NativeBuckling, EulerColumnsMatchClosedForm) {
  const double L = 10.0, P = 1000.0;
  const double weak = kE * Slender().Properties().iy;
  for (const ColumnCase& c : {ColumnCase{"pinned-pinned", {1, 1, 1, 0, 0, 1}, {1, 1, 0, 0, 0, 0}, 1.0},
                              ColumnCase{"cantilever", {1, 1, 1, 1, 1, 1}, {0, 0, 0, 0, 0, 0}, 2.0},
                              ColumnCase{"fixed-guided", {1, 1, 1, 1, 1, 1}, {1, 1, 0, 1, 1, 1}, 0.5}}) {
    SCOPED_TRACE(c.name);
    NativeTestModel m;
    const long mat = m.Material(kE, kNu, 0.0), sec = m.Section(Slender());
    const auto nodes = m.Line(pos3d(0, 0, 0), pos3d(0, 0, L), 24, sec, mat);
    m.Fix(nodes.front(), c.base);
    if (c.top != std::array<double, 6>{}) m.Fix(nodes.back(), c.top);
    m.Force(1, nodes.back(), vec3d(0, 0, -P));
    BucklingOptions options;
    options.loads = {{1, 1.0}};
    options.count = 2;
    const NativeBuckling buckling = SolveBuckling(m.Model(), options);
    const double expected = kPi * kPi * weak / std::pow(c.effectiveLength * L, 2) / P;
    ASSERT_FALSE(buckling.results.buckling.empty());
    EXPECT_NEAR(buckling.results.buckling[0].eigenvalue, expected, 2e-4 * expected);
  }
}

// Twelve equal cantilever columns, loads a twentieth of a per cent apart:
// their factors form a tight cluster (as many equal members of a building
// do), and the lowest three are still found in order.
TEST(NativeBuckling, ATightClusterOfEqualColumns) {
  const double L = 5.0, P = 1000.0;
  NativeTestModel m;
  const long mat = m.Material(kE, kNu, 0.0), sec = m.Section(Slender());
  for (int c = 0; c < 12; ++c) {
    const auto nodes = m.Line(pos3d(2.0 * c, 0, 0), pos3d(2.0 * c, 0, L), 12, sec, mat);
    m.Fix(nodes.front());
    m.Force(1, nodes.back(), vec3d(0, 0, -P * (1 + 0.0005 * c)));
  }
  BucklingOptions options;
  options.loads = {{1, 1.0}};
  options.count = 3;
  const NativeBuckling buckling = SolveBuckling(m.Model(), options);
  const double euler = kPi * kPi * kE * Slender().Properties().iy / (4 * L * L) / P;
  ASSERT_EQ(buckling.results.buckling.size(), 3u);
  for (int c = 0; c < 3; ++c) {
    const double expected = euler / (1 + 0.0005 * (11 - c));  // the most loaded column first
    EXPECT_NEAR(buckling.results.buckling[static_cast<std::size_t>(c)].eigenvalue, expected, 1e-5 * expected);
  }
  EXPECT_EQ(buckling.sturmCount, 3);
}

TEST(NativeBuckling, ALoadThatCompressesNothingIsRefused) {
  NativeTestModel m;
  const long mat = m.Material(kE, kNu, 0.0), sec = m.Section(Slender());
  const auto nodes = m.Line(pos3d(0, 0, 0), pos3d(0, 0, 10), 8, sec, mat);
  m.Fix(nodes.front());
  m.Force(1, nodes.back(), vec3d(0, 0, 1000));  // tension
  BucklingOptions options;
  options.loads = {{1, 1.0}};
  try {
    SolveBuckling(m.Model(), options);
    FAIL() << "buckling factors for a column in tension";
  } catch (const SolverError& e) {
    EXPECT_NE(std::string(e.what()).find("compresses nothing"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
