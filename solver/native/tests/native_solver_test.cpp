// The native solver end to end against closed form: members under every
// load kind, releases and partial fixities, eccentric members, frames and
// plates; reactions in balance with the loads; mechanisms refused.
#include "solver/native/native_solver.hpp"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace Kestrum::Quilm::Solver
