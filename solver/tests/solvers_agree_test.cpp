// The native solver and the external solver on the same models: their
// differences printed and bounded by what the external solver's brick
// expansion explains (beams and shells become solid elements there, which
// converge to beam and shell theory as the section shrinks against the
// span; the native elements are exact for prismatic members).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "solver/ccx/ccx_export.hpp"
#include "solver/ccx/ccx_runner.hpp"
#include "solver/native/native_dynamics.hpp"
#include "solver/native/native_solver.hpp"
#include "solver/native/tests/native_test_model.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using Testing::NativeTestModel;

struct BothSolves {
  SolveResults native, external;
};

BothSolves SolveBoth(NativeTestModel& m) {
  ExportOptions options;
  options.elementResults = true;
  return {SolveNative(m.Model()).results, RunSolver(ExportCcxDeck(m.Model(), options))};
}

// The relative difference of two values, printed with its name.
double Compare(const char* what, double native, double external) {
  const double difference = (external - native) / std::abs(native);
  std::printf("  %-34s native %12.6g  external %12.6g  %+7.3f %%\n", what, native, external, 100 * difference);
  return std::abs(difference);
}

// A portal frame of 4 m columns and a 6 m girder, 0.2 x 0.1 m steel
// rectangles, members 20 to 30 times the section depth, clamped feet.
struct SlenderPortal {
  std::vector<long> left, right, girderNodes, girder;
  explicit SlenderPortal(NativeTestModel& frame) {
    const long fmat = frame.Material(2.1e11, 0.3, 7850), fsec = frame.Section(qlSection::Rectangle(0.2, 0.1));
    left = frame.Line(pos3d(0, 0, 0), pos3d(0, 0, 4), 8, fsec, fmat, nullptr, vec3d(1, 0, 0));
    right = frame.Line(pos3d(6, 0, 0), pos3d(6, 0, 4), 8, fsec, fmat, nullptr, vec3d(1, 0, 0));
    girderNodes.push_back(left.back());
    for (int i = 1; i < 12; ++i) girderNodes.push_back(frame.Node(0.5 * i, 0, 4));
    girderNodes.push_back(right.back());
    for (std::size_t i = 0; i + 1 < girderNodes.size(); ++i)
      girder.push_back(frame.Beam(girderNodes[i], girderNodes[i + 1], fsec, fmat, vec3d(0, 0, 1)));
    frame.Fix(left.front());
    frame.Fix(right.front());
  }
};

class SolversAgree : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FindSolver()) GTEST_SKIP() << "the external solver ccx is not installed";
  }
};

// A slender portal frame (members 20 to 30 times the section depth): beam
// theory holds. The external solver's bricks (8 to 12 per member) are
// stiffer, as solid elements converging from below are: displacements 2 to
// 3.5 % smaller here, never larger; statically determined forces agree,
// moments within a percent.
TEST_F(SolversAgree, SlenderPortalFrame) {
  NativeTestModel frame;
  const SlenderPortal portal(frame);
  const auto& a = portal.left;
  const auto& nodes = portal.girderNodes;
  const auto& beams = portal.girder;
  frame.Force(1, a.back(), vec3d(5000, 0, 0));
  frame.Model().Loads().AddGravityLoad(2, 0, 0, 0, -9.81);
  const BothSolves both = SolveBoth(frame);
  std::printf("slender portal frame, 4 m columns, 6 m girder, 0.2 x 0.1 m sections\n");
  for (std::size_t s = 0; s < 2; ++s) {
    const StepResults& n = both.native.steps[s];
    const StepResults& e = both.external.steps[s];
    const long mid = nodes[6];
    const double native = s == 0 ? n.displacements.at(a.back()).x : n.displacements.at(mid).z;
    const double external = s == 0 ? e.displacements.at(a.back()).x : e.displacements.at(mid).z;
    EXPECT_LT(Compare(s == 0 ? "sway ux at the loaded corner" : "girder midspan uz", native, external), 0.05);
    EXPECT_LT(std::abs(external), std::abs(native));
    EXPECT_LT(Compare("base reaction Fz, left", n.reactions.at(a.front()).z, e.reactions.at(a.front()).z), 0.01);
    EXPECT_LT(Compare("girder end moment My", n.beamForces.at(beams.front()).start.My,
                      e.beamForces.at(beams.front()).start.My),
              0.02);
  }
}

// A square plate clamped on its edges under pressure, 12 x 12 shells: the
// external solver's quadratic shells against the native four-node ones.
TEST_F(SolversAgree, ClampedPlate) {
  NativeTestModel m;
  const double a = 2.0;
  const long mat = m.Material(2.1e11, 0.3, 0), thickness = m.Thickness(0.02);
  const int n = 12;
  std::vector<long> shells;
  const auto node = m.ShellGrid(a, n, mat, thickness, &shells);
  for (long e : shells) m.Model().Loads().AddSurfaceLoad(1, e, AnalysisModel::SurfaceLoad(-1000.0));
  for (int k = 0; k <= n; ++k)
    for (long edge : {node[k][0], node[k][n], node[0][k], node[n][k]}) m.Fix(edge);
  const BothSolves both = SolveBoth(m);
  std::printf("clamped square plate, 2 m, t = 20 mm, 12 x 12 shells\n");
  EXPECT_LT(Compare("centre uz", both.native.steps[0].displacements.at(node[n / 2][n / 2]).z,
                    both.external.steps[0].displacements.at(node[n / 2][n / 2]).z),
            0.03);
}

// The same portal frame's lowest frequencies: the bricks' stiffness shows
// as frequencies a few per cent higher, never lower; the masses agree.
TEST_F(SolversAgree, PortalFrameFrequencies) {
  NativeTestModel frame;
  const SlenderPortal portal(frame);
  frame.Force(1, portal.left.back(), vec3d(1, 0, 0));
  ModeOptions modes;
  modes.count = 4;
  const NativeModes native = SolveModes(frame.Model(), modes);
  ExportOptions options;
  options.frequencyCount = 4;
  const SolveResults external = RunSolver(ExportCcxDeck(frame.Model(), options));
  std::printf("slender portal frame, the lowest four frequencies\n");
  ASSERT_GE(external.frequencies.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    char what[32];
    std::snprintf(what, sizeof what, "frequency %zu (Hz)", i + 1);
    EXPECT_LT(Compare(what, native.results.frequencies[i], external.frequencies[i]), 0.05);
    EXPECT_GT(external.frequencies[i], 0.99 * native.results.frequencies[i]);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
