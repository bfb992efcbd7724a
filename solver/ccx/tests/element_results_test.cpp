// Complete results end to end against closed-form answers: rotations, beam
// section forces, reaction moments, mode shapes, buckling factors and
// combinations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "solver/ccx/ccx_frd.hpp"
#include "solver/ccx/tests/host_model.hpp"

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

// The expanded model's nodes, elements and displacement blocks, as the
// solver writes them; a cut-off line is an error, not a zero.
TEST(FrdReader, ReadsNodesElementsAndDisplacementsAndRefusesShortLines) {
  const std::string frd =
      "    2C                             2                                     1\n"
      " -1         6 0.00000E+00-2.50000E-02 5.00000E-02\n"
      " -1        14 5.00000E-01-2.50000E-02 5.00000E-02\n"
      " -3\n"
      "    3C                             1                                     1\n"
      " -1         1    1    0    1\n"
      " -2         6        14\n"
      " -3\n"
      " -4  STRESS      6    1\n"
      " -1         6 1.00000E+00 2.00000E+00 3.00000E+00\n"
      " -3\n"
      " -4  DISP        4    1\n"
      " -5  D1          1    2    1    0\n"
      " -1        14-2.79511E-07 7.88000E-07-1.01786E-08\n"
      " -3\n";
  std::istringstream in(frd);
  const auto read = detail::ReadFrd(in);
  EXPECT_DOUBLE_EQ(read.nodes.at(6).y, -0.025);
  EXPECT_EQ(read.elements.at(1), (std::vector<long>{6, 14}));
  ASSERT_EQ(read.displacementBlocks.size(), 1u);  // the stress block is no displacement
  EXPECT_DOUBLE_EQ(read.displacementBlocks[0].at(14).z, -1.01786e-08);
  std::istringstream cut(frd.substr(0, frd.find("-1.01786E-08")) + "\n");
  EXPECT_THROW(detail::ReadFrd(cut), SolverError);
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
  // The brick expansion overstates a solid rectangle's torsional stiffness
  // (README, limits): against Saint-Venant's J = beta h b^3 (beta = 0.2287
  // for h/b = 2), 16.5 % stiffer, whatever the elements along the beam.
  const double G = kE / (2 * (1 + kNu)), J = 0.2287 * h * b * b * b;
  const double twist = t.rotations.at(tip).x, exact = T * L / (G * J);
  std::printf("[ value    ] solid rectangle 2:1 twist %.4e, Saint-Venant %.4e: stiffness %+.1f %%\n", twist,
              exact, 100.0 * (exact / twist - 1));
  EXPECT_GT(exact / twist, 1.14);
  EXPECT_LT(exact / twist, 1.19);
}

// Cantilevers of three-node beams (written as two halves each) and of an
// eccentric beam (its axis e above the nodes, joined to them by stiff arms).
TEST_F(ElementResults, ThreeNodeAndEccentricCantilevers) {
  const double L = 2.0, b = 0.05, h = 0.1, P = 1000.0, e = 0.1;
  HostModel threeNode;
  threeNode.threeNodeBeams = true;
  auto steel = threeNode.Material(kE, kNu, 0.0);
  const auto beam = threeNode.Beam(
      {0, 0, 0}, {1, 0, 0}, {{L, threeNode.Section(qlSection::Rectangle(h, b)), 4}}, steel, vec3d(0, 0, 1));
  threeNode.Fix(beam.FirstNode());
  threeNode.LoadCase(1, "tip");
  threeNode.PointLoad(1, beam.elements.back(), beam.LastNode(), {0, 0, -P});
  const auto r3 = threeNode.Solve(WithElementResults());
  const BeamForces& root = r3.steps[0].beamForces.at(beam.elements.front());
  ASSERT_TRUE(root.middle.has_value());

  HostModel eccentric;
  auto steel2 = eccentric.Material(kE, kNu, 0.0);
  const auto offset =
      eccentric.Beam({0, 0, 0}, {1, 0, 0}, {{L, eccentric.Section(qlSection::Rectangle(h, b)), 4}}, steel2,
                     vec3d(0, 0, 1), vec3d(0, 0, e));
  eccentric.Fix(offset.FirstNode());
  eccentric.LoadCase(1, "axial");
  eccentric.PointLoad(1, offset.elements.back(), offset.LastNode(), {P, 0, 0});
  const auto re = eccentric.Solve(WithElementResults());
  const BeamForces& axial = re.steps[0].beamForces.at(offset.elements[1]);
  ExpectAll({{"three-node beam root My", root.start.My, P * L, 1e-6},
             {"three-node beam My at the root element's middle node", root.middle->My, P * (L - L / 8), 1e-6},
             {"three-node beam tip rotation", r3.steps[0].rotations.at(beam.LastNode()).y,
              P * L * L / (2 * kE * b * h * h * h / 12), 0.01},
             {"eccentric beam N", axial.start.N, P, 1e-6},
             // The load acts e below the axis: My = -P e all along.
             {"eccentric beam My", axial.end.My, -P * e, 1e-6}});
  // The arms carry P e back to the nodes: the clamp takes no moment.
  EXPECT_NEAR(re.steps[0].reactionMoments.at(offset.FirstNode()).y, 0.0, 1e-6 * P * e);
}

// A section of each kind the solver integrates differently, with its Iy
// (about local y) and Iz.
struct SectionCase {
  const char* name;
  qlSection section;
  double Iy, Iz, area;
};

std::vector<SectionCase> SectionCases() {
  const double D = 0.1, t = 0.005, d = D - 2 * t, h = 0.2, b = 0.1, tw = 0.008, tf = 0.012;
  const double boxIy = (b * h * h * h - (b - 2 * tw) * std::pow(h - 2 * tf, 3)) / 12;
  const double boxIz = (h * b * b * b - (h - 2 * tf) * std::pow(b - 2 * tw, 3)) / 12;
  const double pipeI = kPi * (std::pow(D, 4) - std::pow(d, 4)) / 64;
  return {{"rectangle", qlSection::Rectangle(h, b), b * h * h * h / 12, h * b * b * b / 12, b * h},
          {"pipe", qlSection::Pipe(D, t), pipeI, pipeI, kPi * t * (D - t)},
          {"box", qlSection::Box(h, b, tw, tf), boxIy, boxIz, b * h - (b - 2 * tw) * (h - 2 * tf)}};
}

// Straight beams along x under a uniform line load q along -z, spans of L
// with 8 elements each, supported as each case says.
struct LineLoadCase {
  const char* name;
  int spans;
  bool clamped;  // both ends clamped; otherwise every support is a pin
};

TEST_F(ElementResults, BeamsUnderUniformLineLoads) {
  const double L = 4.0, q = 2000.0;
  for (const SectionCase& kind : SectionCases()) {
    for (const LineLoadCase& c :
         {LineLoadCase{"fixed-end", 1, true}, LineLoadCase{"simply supported", 1, false},
          LineLoadCase{"two-span", 2, false}}) {
      const std::string name = std::string(c.name) + " " + kind.name;
      SCOPED_TRACE(name);
      HostModel model;
      auto steel = model.Material(kE, kNu, 0.0);
      auto section = model.Section(kind.section);
      const std::vector<SegmentSpec> spans(c.spans, SegmentSpec{L, section, 8});
      const auto beam = model.Beam({0, 0, 0}, {1, 0, 0}, spans, steel, vec3d(0, 0, 1));
      model.Fix(beam.FirstNode(), c.clamped ? std::array<double, 6>{1, 1, 1, 1, 1, 1}
                                            : std::array<double, 6>{1, 1, 1, 1, 0, 0});
      for (int k = 1; k <= c.spans; ++k)
        model.Fix(beam.nodes[8 * k], c.clamped ? std::array<double, 6>{1, 1, 1, 1, 1, 1}
                                               : std::array<double, 6>{0, 1, 1, 0, 0, 0});
      model.LoadCase(1, "q");
      model.ElementLoad(1, beam.elements,
                        boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::LineLoad(vec3d(0, 0, -q))));
      const auto r = model.Solve(WithElementResults());
      const auto& forces = r.steps[0].beamForces;
      const double I = kind.Iy;
      const long first = beam.elements.front(), middle = beam.elements[3];
      if (c.clamped) {
        // The pipe's and box's twenty-node bricks share the moment between
        // the ends and the middle within 2 %; statics holds exactly.
        const double share = kind.section.GetKind() == qlSection::Kind::Rectangle ? 0.01 : 0.02;
        ExpectAll(
            {{(name + ": end moment qL^2/12").c_str(), forces.at(first).start.My, q * L * L / 12, share},
             {(name + ": end shear qL/2").c_str(), forces.at(first).start.Vz, -q * L / 2, 0.01},
             {(name + ": midspan moment qL^2/24").c_str(), forces.at(middle).end.My, -q * L * L / 24, share},
             {(name + ": end less midspan moment qL^2/8").c_str(),
              forces.at(first).start.My - forces.at(middle).end.My, q * L * L / 8, 1e-6}});
      } else if (c.spans == 1) {
        ExpectAll(
            {{(name + ": end rotation qL^3/24EI").c_str(), r.steps[0].rotations.at(beam.FirstNode()).y,
              q * L * L * L / (24 * kE * I), 0.01},
             {(name + ": midspan moment qL^2/8").c_str(), forces.at(middle).end.My, -q * L * L / 8, 0.01}});
      } else {
        ExpectAll({{(name + ": support moment qL^2/8").c_str(), forces.at(beam.elements[7]).end.My,
                    q * L * L / 8, 0.01},
                   {(name + ": end reaction 3qL/8").c_str(), r.steps[0].reactions.at(beam.FirstNode()).z,
                    3 * q * L / 8, 0.01}});
      }
    }
  }
}

// Clamped pipe and box cantilevers along x with tip loads along -z and -y
// and a tip torque: section forces at the root, in the middle of the first
// element and at the last element, the clamp's reaction moments, and the tip
// rotations (the solver's twenty-node bricks are stiffer than beam theory:
// -1.9 % with four elements, -0.9 % with these eight).
TEST_F(ElementResults, PipeAndBoxCantilevers) {
  const double L = 2.0, P = 1000.0, T = 100.0, rho = 7850.0, g = 9.81;
  for (const SectionCase& c : SectionCases()) {
    if (c.section.GetKind() == qlSection::Kind::Rectangle) continue;
    SCOPED_TRACE(c.name);
    HostModel model;
    const auto beam = model.Beam({0, 0, 0}, {1, 0, 0}, {{L, model.Section(c.section), 8}},
                                 model.Material(kE, kNu, rho), vec3d(0, 0, 1));
    model.Fix(beam.FirstNode());
    model.LoadCase(1, "Pz");
    model.LoadCase(2, "Py");
    model.LoadCase(3, "torque");
    model.LoadCase(4, "weight", vec3d(0, 0, -g));
    model.PointLoad(1, beam.elements.back(), beam.LastNode(), {0, 0, -P});
    model.PointLoad(2, beam.elements.back(), beam.LastNode(), {0, -P, 0});
    model.PointLoad(3, beam.elements.back(), beam.LastNode(), {}, {T, 0, 0});
    const auto r = model.Solve(WithElementResults());
    const BeamForces& root = r.steps[0].beamForces.at(beam.elements.front());
    const BeamForces& rootY = r.steps[1].beamForces.at(beam.elements.front());
    const long clamp = beam.FirstNode(), tip = beam.LastNode();
    const std::string name = c.name;
    ASSERT_TRUE(root.middle.has_value());
    ExpectAll({
        {(name + " root My under Pz").c_str(), root.start.My, P * L, 0.01},
        {(name + " root Vz under Pz").c_str(), root.start.Vz, -P, 0.01},
        {(name + " My in the first element's middle").c_str(), root.middle->My, P * (L - L / 16), 0.01},
        {(name + " My at the last element's start").c_str(),
         r.steps[0].beamForces.at(beam.elements.back()).start.My, P * L / 8, 0.01},
        {(name + " root Mz under Py").c_str(), rootY.start.Mz, -P * L, 0.01},
        {(name + " root Vy under Py").c_str(), rootY.start.Vy, -P, 0.01},
        {(name + " root torque").c_str(), r.steps[2].beamForces.at(beam.elements.front()).start.T, T, 0.01},
        {(name + " reaction My under Pz").c_str(), r.steps[0].reactionMoments.at(clamp).y, -P * L, 1e-6},
        {(name + " reaction Mz under Py").c_str(), r.steps[1].reactionMoments.at(clamp).z, P * L, 1e-6},
        {(name + " torsion reaction").c_str(), r.steps[2].reactionMoments.at(clamp).x, -T, 1e-6},
        {(name + " root Vz under its weight").c_str(),
         r.steps[3].beamForces.at(beam.elements.front()).start.Vz, -rho * g * c.area * L, 1e-6},
        {(name + " My in the first element's middle under its weight").c_str(),
         r.steps[3].beamForces.at(beam.elements.front()).middle->My,
         rho * g * c.area * std::pow(L - L / 16, 2) / 2, 1e-6},
        {(name + " tip rotation ry under Pz").c_str(), r.steps[0].rotations.at(tip).y,
         P * L * L / (2 * kE * c.Iy), 0.01},
        {(name + " tip rotation rz under Py").c_str(), r.steps[1].rotations.at(tip).z,
         -P * L * L / (2 * kE * c.Iz), 0.01},
    });
  }
}

// Euler columns along x under an axial load P: pinned at both ends, and a
// cantilever; the buckling factor times P is the critical load.
TEST_F(ElementResults, EulerBucklingOfPinnedAndCantileverColumns) {
  const double L = 3.0, b = 0.05, h = 0.1, P = 1000.0;
  const double Iweak = h * b * b * b / 12;
  for (bool cantilever : {false, true}) {
    HostModel model;
    auto steel = model.Material(kE, kNu, 0.0);
    const auto column = model.Beam({0, 0, 0}, {1, 0, 0}, {{L, model.Section(qlSection::Rectangle(h, b)), 12}},
                                   steel, vec3d(0, 0, 1));
    model.Fix(column.FirstNode(),
              cantilever ? std::array<double, 6>{1, 1, 1, 1, 1, 1} : std::array<double, 6>{1, 1, 1, 1, 0, 0});
    if (!cantilever) model.Fix(column.LastNode(), {0, 1, 1, 0, 0, 0});
    model.LoadCase(1, "axial");
    model.PointLoad(1, column.elements.back(), column.LastNode(), {-P, 0, 0});
    ExportOptions options = WithElementResults();
    options.bucklingCase = 1;
    options.bucklingModes = 2;
    const auto r = model.Solve(options);
    ASSERT_EQ(r.buckling.size(), 2u);
    EXPECT_EQ(r.buckling[0].loadCase, 1);
    const double euler = kPi * kPi * kE * Iweak / (L * L) / (cantilever ? 4.0 : 1.0);
    ExpectAll({{cantilever ? "cantilever column pi^2 EI/(4L^2)" : "pinned column pi^2 EI/L^2",
                r.buckling[0].eigenvalue * P, euler, 0.02}});
    // The shape bends about the weak axis: sideways along y.
    const auto& shape = r.buckling[0].displacements;
    const vec3d top = shape.at(cantilever ? column.LastNode() : column.nodes[6]);
    EXPECT_GT(std::abs(top.y), 100 * std::abs(top.z));
  }
}

// The first mode of a simply supported beam: its frequency, its shape a
// sine of unit modal mass, and that shape's bending moment; a buckling step
// after the frequency step (an axial load case) leaves the mode's section
// forces alone.
TEST_F(ElementResults, FirstModeOfASimplySupportedBeam) {
  const double L = 4.0, b = 0.05, h = 0.1, rho = 7850.0;
  auto steel = host.Material(kE, kNu, rho);
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{L, host.Section(qlSection::Rectangle(h, b)), 16}},
                              steel, vec3d(0, 0, 1));
  host.Fix(beam.FirstNode(), {1, 1, 1, 1, 0, 0});
  host.Fix(beam.LastNode(), {0, 1, 1, 0, 0, 0});
  host.LoadCase(1, "axial");
  host.PointLoad(1, beam.elements.back(), beam.LastNode(), {-1000.0, 0, 0});
  ExportOptions options = WithElementResults();
  options.frequencyCount = 1;
  options.bucklingCase = 1;
  const auto r = host.Solve(options);
  ASSERT_EQ(r.modes.size(), 1u);
  ASSERT_EQ(r.buckling.size(), 1u);
  const auto& mode = r.modes[0];
  const double Iweak = h * b * b * b / 12, mass = rho * b * h;
  const double amplitude = std::sqrt(2.0 / (mass * L));  // unit modal mass
  const double sign = mode.displacements.at(beam.nodes[8]).y > 0 ? 1.0 : -1.0;
  std::vector<Check> checks{
      {"first mode frequency", mode.eigenvalue, kPi / (2 * L * L) * std::sqrt(kE * Iweak / mass), 0.01},
      {"first mode midspan amplitude", sign * mode.displacements.at(beam.nodes[8]).y, amplitude, 0.02},
      {"first mode end rotation", sign * mode.rotations.at(beam.FirstNode()).z, amplitude * kPi / L, 0.02},
      {"first mode effective mass along y", mode.effectiveMass[1], 8 / (kPi * kPi) * mass * L, 0.02},
      // Its bending moment Mz = EI v'' at midspan.
      {"first mode midspan moment", sign * mode.beamForces.at(beam.elements[7]).end.Mz,
       -kE * Iweak * amplitude * kPi * kPi / (L * L), 0.02}};
  ExpectAll(checks);
  for (std::size_t k = 1; k < 8; ++k) {
    EXPECT_NEAR(sign * mode.displacements.at(beam.nodes[k]).y, amplitude * std::sin(kPi * k / 16.0),
                0.01 * amplitude);
  }
}

// A frame under dead and live load: the combination 1.35 G + 1.5 Q solved
// directly equals the superposition of the two load cases' results.
TEST_F(ElementResults, CombinationSolvedDirectlyEqualsSuperposition) {
  auto steel = host.Material(kE, kNu, 7850.0);
  auto rect = host.Section(qlSection::Rectangle(0.2, 0.1));
  host.shareNodes = true;
  const auto column = host.Beam({0, 0, 0}, {0, 0, 1}, {{3.0, rect, 4}}, steel, vec3d(1, 0, 0));
  const auto girder = host.Beam({0, 0, 3}, {1, 0, 0}, {{4.0, rect, 4}}, steel, vec3d(0, 0, 1));
  host.Fix(column.FirstNode());
  host.Fix(girder.LastNode(), {1, 1, 1, 0, 0, 0});
  host.LoadCase(1, "G", vec3d(0, 0, -9.81));
  host.LoadCase(2, "Q");
  host.ElementLoad(2, girder.elements,
                   boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::LineLoad(vec3d(0, 0, -5000.0))));
  host.PointLoad(2, girder.elements.front(), girder.FirstNode(), {2000.0, 0, 0}, {0, 0, 500.0});
  ExportOptions options = WithElementResults();
  options.combinations = {ParseLoadCombination("ULS=1.35*1+1.5*2")};
  const auto r = host.Solve(options);
  ASSERT_EQ(r.combinations.size(), 1u);
  const StepResults& direct = r.combinations[0];
  const StepResults superposed = Superpose(r, options.combinations[0]);
  EXPECT_EQ(direct.kind, AnalysisKind::Combination);
  EXPECT_EQ(direct.name, "ULS");
  auto expectSame = [](const char* what, double a, double b, double scale) {
    EXPECT_NEAR(a, b, 1e-5 * scale) << what;
  };
  const vec3d tip = superposed.displacements.at(girder.nodes[2]);
  for (const auto& [node, u] : direct.displacements) {
    expectSame("ux", u.x, superposed.displacements.at(node).x, tip.length());
    expectSame("uz", u.z, superposed.displacements.at(node).z, tip.length());
  }
  const double moment = std::abs(superposed.reactionMoments.at(column.FirstNode()).y);
  ASSERT_GT(moment, 0.0);
  for (const auto& [element, f] : direct.beamForces) {
    expectSame("My at the start", f.start.My, superposed.beamForces.at(element).start.My, moment);
    expectSame("N at the end", f.end.N, superposed.beamForces.at(element).end.N, moment);
  }
  expectSame("reaction My", direct.reactionMoments.at(column.FirstNode()).y,
             -moment * (superposed.reactionMoments.at(column.FirstNode()).y < 0 ? 1 : -1), moment);
}

// A simply supported square plate under uniform pressure, in four- or
// three-node shells: the bending moments at element centres near the
// plate's centre against Navier's series, and the surface stresses.
TEST_F(ElementResults, SimplySupportedPlateMomentsAgainstNavier) {
  const double a = 1.0, t = 0.01, q = 1000.0;
  const int n = 8;
  const double D = kE * t * t * t / (12 * (1 - kNu * kNu));
  // Navier: w = sum w_mn sin(m pi x / a) sin(k pi y / a) over odd m, k;
  // mx = -D (w_xx + nu w_yy).
  // The slope w_x at the middle of the edge x = 0.
  auto navierEdgeSlope = [&]() {
    double slope = 0.0;
    for (int m = 1; m < 200; m += 2) {
      for (int k = 1; k < 200; k += 2) {
        const double w =
            16 * q * std::pow(a, 4) / (std::pow(kPi, 6) * D * m * k * std::pow(m * m + k * k, 2));
        slope += w * m * kPi / a * std::sin(k * kPi / 2);
      }
    }
    return slope;
  };
  auto navierMx = [&](double x, double y) {
    double mx = 0.0;
    for (int m = 1; m < 200; m += 2) {
      for (int k = 1; k < 200; k += 2) {
        const double w =
            16 * q * std::pow(a, 4) / (std::pow(kPi, 6) * D * m * k * std::pow(m * m + k * k, 2));
        mx += D * w * kPi * kPi / (a * a) * (m * m + kNu * k * k) * std::sin(m * kPi * x / a) *
              std::sin(k * kPi * y / a);
      }
    }
    return mx;
  };
  for (bool triangles : {false, true}) {
    HostModel model;
    model.triangularShells = triangles;
    std::vector<long> elements;
    const auto nodes = model.Plate(a, n, model.Thickness(t), model.Material(kE, kNu, 0.0), elements);
    for (int i = 0; i <= n; ++i) {
      for (int j = 0; j <= n; ++j) {
        if (i == 0 || j == 0 || i == n || j == n) model.Fix(nodes[i][j], {0, 0, 1, 0, 0, 0});
      }
    }
    model.Fix(nodes[0][0], {1, 1, 1, 0, 0, 0});
    model.Fix(nodes[0][n], {0, 1, 1, 0, 0, 0});
    model.LoadCase(1, "pressure");
    model.ElementLoad(1, elements, boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::SurfaceLoad(q)));
    const auto r = model.Solve(WithElementResults());
    // The quadrilateral (or its first triangle) just below and left of the centre.
    const std::size_t perSquare = triangles ? 2 : 1, index = perSquare * (n / 2 - 1) * (n + 1);
    const ShellStresses& s = r.steps[0].shellStresses.at(elements.at(index));
    const double x = triangles ? (a / n) * (n / 2 - 1 + 2.0 / 3) : (a / n) * (n / 2 - 0.5);
    const double y = triangles ? (a / n) * (n / 2 - 1 + 1.0 / 3) : x;
    const double mx = navierMx(x, y);
    // The rotation about y is minus the slope along x; the four-node mesh's
    // edge rotation converges from +2.7 % (8 x 8) to +1.1 % (16 x 16).
    ExpectAll(
        {{triangles ? "plate (triangles) mx near the centre" : "plate mx near the centre", s.mx, mx, 0.03},
         {triangles ? "plate (triangles) edge rotation" : "plate edge rotation",
          r.steps[0].rotations.at(nodes[n / 2][0]).y, -navierEdgeSlope(), 0.03}});
    // Pressure along +z bends the plate upwards: tension on top.
    EXPECT_GT(s.mx, 0.0);
    EXPECT_NEAR(s.vonMisesTop, s.vonMisesBottom, 0.01 * s.vonMisesTop);  // no membrane forces
    EXPECT_LT(s.vonMisesMiddle, 0.01 * s.vonMisesTop);
  }
}

// A space frame (four box columns, four rectangular edge beams round a
// plate) under every load kind at once: its support reactions, forces and
// moments, balance the applied loads, summed here by hand, about the origin.
TEST_F(ElementResults, SpaceFrameReactionsBalanceEveryLoadKind) {
  const double a = 4.0, H = 3.0, rho = 7850.0, g = 9.81, b = 0.1, h = 0.2, tp = 0.01, pressure = 2000.0;
  const double mass = 500.0;
  host.shareNodes = true;
  auto steel = host.Material(kE, kNu, rho);
  auto rect = host.Section(qlSection::Rectangle(h, b));
  const double tw = 0.008, tf = 0.012, boxArea = b * h - (b - 2 * tw) * (h - 2 * tf);
  auto box = host.Section(qlSection::Box(h, b, tw, tf));
  std::vector<long> shells;
  host.Plate(a, 4, host.Thickness(tp), steel, shells);
  const pos3d corners[] = {{0, 0, 0}, {a, 0, 0}, {a, a, 0}, {0, a, 0}};
  std::vector<MeshedBeam> edges, columns;
  for (int k = 0; k < 4; ++k) {
    vec3d along(corners[k], corners[(k + 1) % 4]);
    along.normalise();
    edges.push_back(host.Beam(corners[k], along, {{a, rect, 4}}, steel, vec3d(0, 0, 1)));
    columns.push_back(
        host.Beam(pos3d(corners[k].x, corners[k].y, -H), {0, 0, 1}, {{H, box, 3}}, steel, vec3d(1, 0, 0)));
  }
  host.Fix(columns[0].FirstNode());
  host.Fix(columns[1].FirstNode(), {1, 1, 1, 0, 0, 0});
  host.Fix(columns[2].FirstNode());
  host.Fix(columns[3].FirstNode(), {1, 1, 1, 1, 1, 0});
  const vec3d force(1000, -2000, -5000), moment(300, -400, 500), q1(0, 0, -3000), q2(0, 500, -1000);
  host.LoadCase(1, "everything", vec3d(0, 0, -g));
  host.PointLoad(1, edges[0].elements.back(), edges[0].LastNode(), force, moment);
  host.ElementLoad(1, edges[2].elements,
                   boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::LineLoad(q1, q2)));
  host.ElementLoad(1, shells,
                   boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::SurfaceLoad(pressure)));
  host.PointMass(edges[2].LastNode(), mass);
  host.RotationLoad(1, {0, 0, 0}, {0, 0, 1}, 2.0, 1.0);
  const CcxDeck deck = host.Export(WithElementResults());
  const auto r = RunSolver(deck);

  // The applied loads: resultant force and moment about the origin.
  vec3d sumF, sumM;
  auto add = [&](const pos3d& at, const vec3d& f) {
    sumF += f;
    sumM += vec3d(at.x, at.y, at.z).cross(f);
  };
  auto midpoint = [](const pos3d& p, const pos3d& q) {
    return pos3d((p.x + q.x) / 2, (p.y + q.y) / 2, (p.z + q.z) / 2);
  };
  add(corners[1], force);
  sumM += moment;
  for (int k = 0; k < 4; ++k) {
    add(midpoint(corners[k], corners[(k + 1) % 4]), vec3d(0, 0, -rho * b * h * a * g));
    add(pos3d(corners[k].x, corners[k].y, -H / 2), vec3d(0, 0, -rho * boxArea * H * g));
  }
  add(pos3d(a / 2, a / 2, 0), vec3d(0, 0, pressure * a * a - rho * tp * a * a * g));
  add(corners[3], vec3d(0, 0, -mass * g));
  // The line load on each element from corners[2] towards corners[3] (along -x).
  const double le = a / 4;
  for (int k = 0; k < 4; ++k) {
    add(pos3d(a - k * le, a, 0), (q1 + q2) * (le / 2));
    sumM += vec3d(-1, 0, 0).cross(q1 * (le * le / 2) + (q2 - q1) * (le * le / 3));
  }
  // The rotation load: the inertia force -m a of each node's lumped mass.
  for (const auto& entry : host.xaf->Loads().GetLoads(1)) {
    if (entry.kind != AnalysisModel::LoadKind::NodeAcceleration) continue;
    const auto* acceleration = dynamic_cast<const AnalysisModel::PointLoad*>(entry.record.get());
    ASSERT_NE(acceleration, nullptr);
    add(deck.nodePositions.at(entry.target), acceleration->Force() * -deck.nodeMasses.at(entry.target));
  }

  const StepResults& step = r.steps[0];
  vec3d reactionF, reactionM;
  for (const auto& [node, f] : step.reactions) {
    const pos3d at = host.model.GetNodePos(node);
    reactionF += f;
    reactionM += vec3d(at.x, at.y, at.z).cross(f);
  }
  for (const auto& entry : step.reactionMoments) reactionM += entry.second;
  EXPECT_EQ(step.reactionMoments.size(), 3u);  // the pinned column takes none
  EXPECT_EQ(step.reactionMoments.at(columns[3].FirstNode()).z, 0.0);
  const double scale = sumF.length();
  std::printf("[ value    ] space frame imbalance: force %.3e, moment %.3e (of %.3e N, %.3e Nm)\n",
              (reactionF + sumF).length(), (reactionM + sumM).length(), scale, sumM.length());
  EXPECT_LT((reactionF + sumF).length(), 1e-6 * scale);
  EXPECT_LT((reactionM + sumM).length(), 1e-6 * scale * a);
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
