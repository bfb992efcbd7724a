// The native solver end to end against closed form: members under every
// load kind, releases and partial fixities, eccentric members, frames and
// plates; reactions in balance with the loads; mechanisms refused.
#include "solver/native/native_solver.hpp"

#include <gtest/gtest.h>

#include "solver/native/linear/sparse_matrix_builder.hpp"
#include "solver/native/native_internal.hpp"
#include "solver/native/tests/native_test_model.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using Testing::NativeTestModel;
namespace am = AnalysisModel;

constexpr double kE = 2.1e11, kNu = 0.3, kRho = 7850.0;
const qlSection kRect = qlSection::Rectangle(0.3, 0.2);  // h along z, b along y

double Iy() { return kRect.Properties().iy; }
double G() { return kE / (2 * (1 + kNu)); }

// The reactions of every step balance its applied loads.
void ExpectBalanced(const NativeSolve& solve) {
  for (std::size_t s = 0; s < solve.results.steps.size(); ++s) {
    vec3d sum;
    for (const auto& [node, r] : solve.results.steps[s].reactions) sum += r;
    const vec3d applied = solve.solved.appliedForces[s];
    const double scale = std::max(1.0, applied.length());
    EXPECT_NEAR(sum.x + applied.x, 0.0, 1e-9 * scale);
    EXPECT_NEAR(sum.y + applied.y, 0.0, 1e-9 * scale);
    EXPECT_NEAR(sum.z + applied.z, 0.0, 1e-9 * scale);
  }
}

// A cantilever of 4 elements along `direction` (length 3 m), clamped at its
// start, the section's z axis `zAxis`; loads from `load`. Returns the solve.
struct Cantilever {
  NativeTestModel m;
  std::vector<long> nodes, elements;
  Cantilever(const vec3d& direction, const vec3d& zAxis, double rho = 0.0) {
    const long mat = m.Material(kE, kNu, rho), sec = m.Section(kRect);
    nodes = m.Line(pos3d(1, 2, 3), pos3d(1 + 3 * direction.x, 2 + 3 * direction.y, 3 + 3 * direction.z), 4, sec, mat,
                   &elements, zAxis);
    m.Fix(nodes.front());
  }
};

TEST(NativeSolver, CantileverTipLoadIsExactInAnyOrientation) {
  const double P = 1000.0, L = 3.0;
  const double expected = P * L * L * L / (3 * kE * Iy()) + P * L / (G() * kRect.Properties().shearAreaZ);
  const vec3d s = vec3d(1, 1, 1) * (1 / std::sqrt(3.0));
  const vec3d z = vec3d(-1, -1, 2) * (1 / std::sqrt(6.0));
  for (const auto& [x, zAxis] : std::vector<std::pair<vec3d, vec3d>>{{vec3d(1, 0, 0), vec3d(0, 0, 1)},
                                                                      {vec3d(0, 1, 0), vec3d(0, 0, 1)},
                                                                      {s, z}}) {
    SCOPED_TRACE(x.x);
    Cantilever c(x, zAxis);
    c.m.Force(1, c.nodes.back(), zAxis * -P);
    const NativeSolve solve = SolveNative(c.m.Model());
    const vec3d tip = solve.results.steps[0].displacements.at(c.nodes.back());
    EXPECT_NEAR(tip.dot(zAxis), -expected, 1e-9 * expected);
    const SectionForces root = solve.results.steps[0].beamForces.at(c.elements.front()).start;
    EXPECT_NEAR(root.Vz, -P, 1e-6);
    EXPECT_NEAR(root.My, P * L, 1e-6);
    ExpectBalanced(solve);
  }
}

// A uniform acceleration of every node acts as gravity of the opposite sign.
TEST(NativeSolver, NodeAccelerationsActAsTheirInertiaForces) {
  Cantilever gravity(vec3d(1, 0, 0), vec3d(0, 0, 1), kRho), inertia(vec3d(1, 0, 0), vec3d(0, 0, 1), kRho);
  gravity.m.Model().Loads().AddGravityLoad(1, 0, 0, 0, -9.81);
  for (long node : inertia.nodes)
    inertia.m.Model().Loads().AddNodeAccelerationLoad(
        1, node, am::PointLoad(inertia.m.Model().GetConnectivityManager().GetNodeById(node).GetPos(),
                               vec3d(0, 0, 9.81), {}));
  const NativeSolve a = SolveNative(gravity.m.Model()), b = SolveNative(inertia.m.Model());
  const double w = kRho * kRect.Properties().area * 9.81, L = 3.0;
  const double expected = w * std::pow(L, 4) / (8 * kE * Iy()) + w * L * L / (2 * G() * kRect.Properties().shearAreaZ);
  EXPECT_NEAR(a.solved.appliedForces[0].z, b.solved.appliedForces[0].z, 1e-9);
  EXPECT_NEAR(a.results.steps[0].displacements.at(gravity.nodes.back()).z, -expected, 1e-9 * expected);
  EXPECT_NEAR(b.results.steps[0].displacements.at(inertia.nodes.back()).z, -expected, 1e-9 * expected);
  ExpectBalanced(a);
  ExpectBalanced(b);
}

TEST(NativeSolver, AFreeStructureIsRefusedWithTheNodeNamed) {
  NativeTestModel m;
  const long mat = m.Material(kE, kNu, 0), sec = m.Section(kRect);
  const auto nodes = m.Line(pos3d(0, 0, 0), pos3d(2, 0, 0), 2, sec, mat);
  m.Fix(nodes.front(), {1, 1, 1, 1, 1, 0});  // free to rotate about Z
  m.Force(1, nodes.back(), vec3d(0, 0, -1));
  try {
    SolveNative(m.Model());
    FAIL() << "solved a structure that can rotate freely";
  } catch (const SolverError& e) {
    EXPECT_NE(std::string(e.what()).find("nothing holds it"), std::string::npos) << e.what();
  }
}

// Members whose answer is a formula: each model built, solved, its value
// compared with the closed form to 1e-9 and its reactions balanced.
struct ClosedFormCase {
  const char* name;
  double (*solve)(NativeTestModel&);
  double expected;
};

// Twist of a 2 m cantilever under a tip torque: T L / (G It) for each
// section kind's torsion constant.
double TipTwist(NativeTestModel& m, const qlSection& section) {
  const long mat = m.Material(kE, kNu, 0), sec = m.Section(section);
  const auto nodes = m.Line(pos3d(0, 0, 0), pos3d(0, 2, 0), 3, sec, mat);
  m.Fix(nodes.front());
  m.Force(1, nodes.back(), {}, vec3d(0, 1000, 0));
  const NativeSolve solve = SolveNative(m.Model());
  ExpectBalanced(solve);
  return solve.results.steps[0].rotations.at(nodes.back()).y;
}
const qlSection kI = qlSection::IProfile(0.3, 0.15, 0.0071, 0.0107);
const qlSection kBox = qlSection::Box(0.2, 0.1, 0.006, 0.008);
double Twist(const qlSection& s) { return 1000.0 * 2.0 / (G() * s.Properties().it); }

// A beam fixed at its start, its end on a support that holds translations
// only and released in rotation about y at the element end: a propped
// cantilever under uniform load, reaction 3 q L / 8 at the prop.
double ProppedReaction(NativeTestModel& m) {
  qlSectionProperties slender = kRect.Properties();
  slender.shearAreaY = slender.shearAreaZ = 0.0;  // Euler-Bernoulli: the textbook's 3 q L / 8
  const long mat = m.Material(kE, kNu, 0), sec = m.Section(qlSection::General(slender));
  std::vector<long> elements;
  const auto nodes = m.Line(pos3d(0, 0, 0), pos3d(4, 0, 0), 2, sec, mat, &elements, vec3d(0, 0, 1));
  m.Fix(nodes.front());
  m.Fix(nodes.back(), {1, 1, 1, 1, 1, 1});
  const long hinge = m.Model().Hinges().AddHinge(am::Hinge({1, 1, 1, 1, 0, 1}));
  m.Model().Elements().GetElement(elements.back())->SetNodeFixation(1, hinge);
  for (long e : elements) m.Model().Loads().AddLineLoad(1, e, am::LineLoad(vec3d(0, 0, -2000)));
  const NativeSolve solve = SolveNative(m.Model());
  ExpectBalanced(solve);
  return solve.results.steps[0].reactions.at(nodes.back()).z;
}

// An axial bar whose end support holds ux with fixity 0.3 (everything else
// fully): the support takes that share of an axial load at the end.
double PartialSupportShare(NativeTestModel& m) {
  const long mat = m.Material(kE, kNu, 0), sec = m.Section(kRect);
  const auto nodes = m.Line(pos3d(0, 0, 0), pos3d(3, 0, 0), 1, sec, mat);
  m.Fix(nodes.front());
  m.Fix(nodes.back(), {0.3, 1, 1, 1, 1, 1});
  m.Force(1, nodes.back(), vec3d(1000, 0, 0));
  const NativeSolve solve = SolveNative(m.Model());
  ExpectBalanced(solve);
  return -solve.results.steps[0].reactions.at(nodes.back()).x / 1000.0;
}

// A cantilever whose axis runs h above its nodes (an eccentricity at both
// ends) pulled along x at its tip node: ux = F L / EA + F h^2 L / E Iy.
double EccentricPull(NativeTestModel& m) {
  const long mat = m.Material(kE, kNu, 0), sec = m.Section(kRect);
  std::vector<long> elements;
  const auto nodes = m.Line(pos3d(0, 0, 0), pos3d(3, 0, 0), 3, sec, mat, &elements, vec3d(0, 0, 1));
  const long e = m.Model().Eccentricities().AddEccentricity(vec3d(0, 0, 0.25), -1);
  for (long element : elements) m.Model().Elements().GetElement(element)->SetEccentricity(e);
  m.Fix(nodes.front());
  m.Force(1, nodes.back(), vec3d(1000, 0, 0));
  const NativeSolve solve = SolveNative(m.Model());
  ExpectBalanced(solve);
  return solve.results.steps[0].displacements.at(nodes.back()).x;
}
double EccentricPullExpected() {
  return 1000.0 * 3 / (kE * kRect.Properties().area) + 1000.0 * 0.0625 * 3 / (kE * Iy());
}

// A fixed-base portal (columns h = 3 m, girder L = 5 m, slender
// Euler-Bernoulli members, axially stiff: the formula leaves out their
// shortening, about 1e-6 of the sway) swayed by H at the girder:
// Delta = H h^2 (2a + 3b) / (4a (3a + 18b)), a = E Ic / h, b = E Ib / L.
qlSectionProperties PortalSection(double i) { return {100.0, i, i, i, 0.0, 0.0}; }
double PortalSway(NativeTestModel& m) {
  const long mat = m.Material(kE, kNu, 0);
  const long column = m.Section(qlSection::General(PortalSection(2e-4)));
  const long girder = m.Section(qlSection::General(PortalSection(5e-4)));
  const auto left = m.Line(pos3d(0, 0, 0), pos3d(0, 0, 3), 3, column, mat, nullptr, vec3d(1, 0, 0));
  const auto right = m.Line(pos3d(5, 0, 0), pos3d(5, 0, 3), 3, column, mat, nullptr, vec3d(1, 0, 0));
  std::vector<long> top;
  for (int i = 0; i < 4; ++i) top.push_back(i == 0 ? left.back() : i == 3 ? right.back() : m.Node(5.0 * i / 3, 0, 3));
  for (int i = 0; i < 3; ++i) m.Beam(top[i], top[i + 1], girder, mat, vec3d(0, 0, 1));
  m.Fix(left.front());
  m.Fix(right.front());
  m.Force(1, left.back(), vec3d(10000, 0, 0));
  const NativeSolve solve = SolveNative(m.Model());
  ExpectBalanced(solve);
  return solve.results.steps[0].displacements.at(left.back()).x;
}
double PortalSwayExpected() {
  const double a = kE * 2e-4 / 3, b = kE * 5e-4 / 5, h = 3;
  return 10000.0 * h * h * (2 * a + 3 * b) / (4 * a * (3 * a + 18 * b));
}

// A cantilever of one three-node beam (two exact halves through its
// middle node) under a tip load.
double ThreeNodeTip(NativeTestModel& m) {
  const long mat = m.Material(kE, kNu, 0), sec = m.Section(kRect);
  const long a = m.Node(0, 0, 0), b = m.Node(3, 0, 0), mid = m.Node(1.2, 0, 0);
  const long e = m.Model().Elements().AddElement(qlElementType::Beam3(), {a, b, mid});
  m.Model().Elements().GetElement(e)->SetSection(sec);
  m.Model().Elements().GetElement(e)->SetMaterial(mat);
  m.Fix(a);
  m.Force(1, b, vec3d(0, 0, -1000));
  const NativeSolve solve = SolveNative(m.Model());
  ExpectBalanced(solve);
  EXPECT_NEAR(solve.results.steps[0].beamForces.at(e).middle->My, 1000.0 * 1.8, 1e-6);
  return -solve.results.steps[0].displacements.at(b).z;
}
double TipExpected() {
  return 1000.0 * 27 / (3 * kE * Iy()) + 1000.0 * 3 / (G() * kRect.Properties().shearAreaZ);
}

TEST(NativeSolver, ClosedForm) {
  const ClosedFormCase cases[] = {
      {"rectangle twist", [](NativeTestModel& m) { return TipTwist(m, kRect); }, Twist(kRect)},
      {"I-profile twist", [](NativeTestModel& m) { return TipTwist(m, kI); }, Twist(kI)},
      {"box twist", [](NativeTestModel& m) { return TipTwist(m, kBox); }, Twist(kBox)},
      {"propped cantilever", ProppedReaction, 3.0 * 2000 * 4 / 8},
      {"partial support", PartialSupportShare, 0.3},
      {"eccentric pull", EccentricPull, EccentricPullExpected()},
      {"portal sway", PortalSway, PortalSwayExpected()},
      {"three-node beam", ThreeNodeTip, TipExpected()},
  };
  for (const ClosedFormCase& c : cases) {
    SCOPED_TRACE(c.name);
    NativeTestModel m;
    const double tolerance = std::string(c.name) == "portal sway" ? 1e-5 : 1e-9;
    EXPECT_NEAR(c.solve(m), c.expected, tolerance * std::abs(c.expected));
  }
}

// A combination's results are its load cases' results superposed: the same
// as the solve of the summed loads.
TEST(NativeSolver, CombinationsEqualTheSummedLoads) {
  Cantilever c(vec3d(1, 0, 0), vec3d(0, 0, 1), kRho);
  c.m.Force(1, c.nodes.back(), vec3d(0, 300, -1000));
  c.m.Model().Loads().AddGravityLoad(2, 0, 0, 0, -9.81);
  c.m.Force(3, c.nodes.back(), vec3d(0, 300 * 1.5, -1000 * 1.5));
  c.m.Model().Loads().AddGravityLoad(3, 0, 0, 0, -9.81 * 2);
  NativeOptions options;
  options.loadCases = {3};
  options.combinations = {ParseLoadCombination("C=1.5*1+2*2")};
  const NativeSolve solve = SolveNative(c.m.Model(), options);
  const StepResults& direct = solve.results.steps[0];
  const StepResults& combined = solve.results.combinations[0];
  const vec3d a = direct.displacements.at(c.nodes.back()), b = combined.displacements.at(c.nodes.back());
  EXPECT_NEAR(a.y, b.y, 1e-12);
  EXPECT_NEAR(a.z, b.z, 1e-12);
  EXPECT_NEAR(direct.beamForces.at(c.elements[0]).start.My, combined.beamForces.at(c.elements[0]).start.My, 1e-6);
  EXPECT_NEAR(solve.solved.appliedForces[0].z, solve.solved.appliedForces[1].z, 1e-6);
}

// A simply supported square plate under uniform pressure, as a quarter
// with symmetry conditions (16 x 16 four-node shells):
// centre deflection 0.00406235 q a^4 / D (Timoshenko and
// Woinowsky-Krieger, Theory of Plates and Shells, table 8).
TEST(NativeSolver, SimplySupportedPlateQuarterModel) {
  NativeTestModel m;
  const double a = 2.0, t = 0.02, q = 1000.0;
  const long mat = m.Material(kE, kNu, 0), thickness = m.Thickness(t);
  const int n = 16;
  std::vector<long> shells;
  const auto node = m.ShellGrid(0.5 * a, n, mat, thickness, &shells);
  for (long e : shells) m.Model().Loads().AddSurfaceLoad(1, e, am::SurfaceLoad(-q));
  for (int k = 0; k <= n; ++k) {
    // Supported edges x = 0, y = 0 hold uz; symmetry edges hold the normal
    // translation and the rotations that would break symmetry.
    m.Fix(node[k][0], {0, 0, 1, 1, 0, 0});
    m.Fix(node[0][k], {0, 0, 1, 0, 1, 0});
    m.Fix(node[k][n], {1, 0, k == 0 ? 1.0 : 0.0, 0, 1, 1});
    m.Fix(node[n][k], {k == n ? 1.0 : 0.0, 1, k == 0 ? 1.0 : 0.0, 1, 0, 1});
  }
  m.Fix(node[0][0], {1, 1, 1, 1, 1, 0});
  const NativeSolve solve = SolveNative(m.Model());
  const double D = kE * t * t * t / (12 * (1 - kNu * kNu));
  const double expected = 0.00406235 * q * a * a * a * a / D;
  EXPECT_NEAR(-solve.results.steps[0].displacements.at(node[n][n]).z, expected, 0.01 * expected);
  ExpectBalanced(solve);
}

// The matrix assembled in place in the node graph's pattern equals the
// element matrices' terms summed one by one (beams, shells, held and
// partly held directions, a three-node beam).
TEST(NativeSolver, InPlaceAssemblyEqualsTheSummedTerms) {
  using namespace Native;
  NativeTestModel m;
  const long mat = m.Material(kE, kNu, kRho), sec = m.Section(kRect), thickness = m.Thickness(0.02);
  const auto line = m.Line(pos3d(0, 0, 0), pos3d(2, 0, 0), 4, sec, mat);
  const long far = m.Node(2, 1, 0), corner = m.Node(1.5, 1, 0), mid = m.Node(2, 0.5, 0.1);
  const long shell = m.Model().Elements().AddElement(qlElementType::Shell4(), {line[3], line[4], far, corner});
  m.Model().Elements().GetElement(shell)->SetSection(thickness);
  m.Model().Elements().GetElement(shell)->SetMaterial(mat);
  const long beam3 = m.Model().Elements().AddElement(qlElementType::Beam3(), {line[4], far, mid});
  m.Model().Elements().GetElement(beam3)->SetSection(sec);
  m.Model().Elements().GetElement(beam3)->SetMaterial(mat);
  m.Fix(line[0]);
  m.Fix(far, {0, 0.5, 1, 0, 0.2, 0});
  const NativeModel native = ReadNativeModel(m.Model());
  const NativeElements elements(native);
  const ElementMatrices matrices(elements);
  const EquationMap map = NumberEquations(native, matrices.Diagonal(native.nodeIds.size()));
  SymmetricMatrixBuilder builder(map.Count());
  for (std::size_t i = 0; i < matrices.Count(); ++i) {
    std::vector<Equation> equations;
    for (int node : matrices.Nodes(i))
      for (int d = 0; d < kNodeDofs; ++d) equations.push_back(map.equationOf[static_cast<std::size_t>(node) * kNodeDofs + d]);
    builder.AddBlock(equations.data(), equations.size(), matrices.Matrix(i));
  }
  for (const auto& [raw, k] : map.springs) builder.Add(map.equationOf[raw], map.equationOf[raw], k);
  const SymmetricSparseMatrix expected = std::move(builder).Compress();
  const SymmetricSparseMatrix actual = AssembleByNodes(matrices, map, native.nodeIds.size());
  ASSERT_EQ(actual.RowStart(), expected.RowStart());
  ASSERT_EQ(actual.Columns(), expected.Columns());
  for (std::size_t k = 0; k < expected.Values().size(); ++k)
    EXPECT_NEAR(actual.Values()[k], expected.Values()[k], 1e-6 * std::abs(expected.Values()[k]) + 1e-6) << k;
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
