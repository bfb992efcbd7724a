// Classic shell benchmarks on 16 x 16 meshes (the twisted beam on its
// customary 12 x 2 mesh of warped elements) against reference values from
// the literature; quarter models use symmetry conditions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "solver/native/elements/tests/shell_test_model.hpp"

namespace Kestrum::Quilm::Solver::Native::ShellTesting {
namespace {

constexpr int kUx = 0, kUy = 1, kUz = 2, kRx = 3, kRy = 4, kRz = 5, kN = 16;
const double kPi = std::acos(-1.0);

bool First(int i, int) { return i == 0; }
bool Last(int i, int) { return i == kN; }
bool Bottom(int, int j) { return j == 0; }
bool Top(int, int j) { return j == kN; }

// Scordelis-Lo roof, MacNeal & Harder, Finite Elem. Anal. Des. 1 (1985) 3-20:
// quarter of a cylinder R 25, L 50, 40 degree half-angle, t 0.25, E 4.32e8,
// nu 0, self weight 90 per area, rigid end diaphragm. Vertical deflection
// at the midspan of the free edge.
double ScordelisLo(bool triangles) {
  auto place = [](double s, double r) {
    const double angle = 40.0 * kPi / 180.0 * r;
    return Eigen::Vector3d(25.0 * s, 25.0 * std::sin(angle), 25.0 * std::cos(angle));
  };
  ShellTestModel model = GridModel(kN, kN, place, ShellSection{4.32e8, 0.0, 0.25, 360.0}, triangles);
  model.FixGrid(First, {kUy, kUz, kRx});   // diaphragm
  model.FixGrid(Last, {kUx, kRy, kRz});    // midspan symmetry
  model.FixGrid(Bottom, {kUy, kRx, kRz});  // crown symmetry
  const Eigen::Vector3d down(0.0, 0.0, -1.0);
  model.AddElementLoads([&](const ShellQuad4& e) -> ShellQuad4::Vector { return e.BodyLoad(down); },
                        [&](const ShellTri3& e) -> ShellTri3::Vector { return e.BodyLoad(down); });
  return -model.Solve()(6 * model.GridNode(kN, kN) + kUz);
}

// Pinched hemisphere with an 18 degree hole, MacNeal & Harder 1985: R 10,
// t 0.04, E 6.825e7, nu 0.3, opposite radial loads of 2 (1 on the quarter).
// Radial displacement under the outward load.
double PinchedHemisphere() {
  auto place = [](double s, double r) {
    const double azimuth = 0.5 * kPi * s, polar = 0.5 * kPi - r * 72.0 * kPi / 180.0;
    return Eigen::Vector3d(10.0 * std::sin(polar) * std::cos(azimuth),
                           10.0 * std::sin(polar) * std::sin(azimuth), 10.0 * std::cos(polar));
  };
  ShellTestModel model = GridModel(kN, kN, place, ShellSection{6.825e7, 0.3, 0.04, 0.0}, false);
  model.FixGrid(First, {kUy, kRx, kRz});  // x-z plane
  model.FixGrid(Last, {kUx, kRy, kRz});   // y-z plane
  model.Fix(model.GridNode(0, kN), {kUz});
  model.AddForce(model.GridNode(0, 0), kUx, 1.0);
  model.AddForce(model.GridNode(kN, 0), kUy, -1.0);
  return model.Solve()(6 * model.GridNode(0, 0) + kUx);
}

// Square plate, side a = 1, t = 0.01, uniform pressure q, quarter model:
// centre deflection in units of q a^4 / D against the thin-plate series
// solutions (Timoshenko & Woinowsky-Krieger, Theory of Plates and Shells,
// 1959: 0.00406 simply supported, 0.00126 clamped, here to more digits).
// Hard simple support (the rotation along the edge held) or clamped edges.
double SquarePlate(bool clamped, bool triangles) {
  const ShellSection section{1.0e7, 0.3, 0.01, 0.0};
  auto place = [](double s, double r) { return Eigen::Vector3d(0.5 * s, 0.5 * r, 0.0); };
  ShellTestModel model = GridModel(kN, kN, place, section, triangles);
  model.FixGrid(First, {kUx, kRy, kRz});
  model.FixGrid(Bottom, {kUy, kRx, kRz});
  model.FixGrid(Last, {kUz, kRx});
  model.FixGrid(Top, {kUz, kRy});
  if (clamped) model.FixGrid([](int i, int j) { return Last(i, j) || Top(i, j); }, {kRx, kRy});
  model.AddElementLoads([](const ShellQuad4& e) { return e.PressureLoad(1.0); },
                        [](const ShellTri3& e) { return e.PressureLoad(1.0); });
  const double t = section.thickness, nu = section.poissonRatio;
  return model.Solve()(kUz) * section.youngsModulus * t * t * t / (12.0 * (1.0 - nu * nu));
}

// Twisted beam, MacNeal & Harder 1985: length 12, width 1.1, t 0.32, twisted
// 90 degrees, E 29e6, nu 0.22, clamped; unit tip load along the tip's width
// (in-plane) or its normal (out-of-plane). Tip deflection along the load.
double TwistedBeam(bool inPlane) {
  auto place = [](double s, double r) {
    const double twist = 0.5 * kPi * s, across = 1.1 * (r - 0.5);
    return Eigen::Vector3d(12.0 * s, across * std::cos(twist), across * std::sin(twist));
  };
  ShellTestModel model = GridModel(12, 2, place, ShellSection{29.0e6, 0.22, 0.32, 0.0}, false);
  model.FixGrid(First, kAllDofs);
  const int dof = inPlane ? kUz : kUy;
  for (int j = 0; j <= 2; ++j) model.AddForce(model.GridNode(12, j), dof, j == 1 ? 0.5 : 0.25);
  return model.Solve()(6 * model.GridNode(12, 1) + dof);
}

// Cook's membrane (Cook 1974; reference 23.96 as in Simo & Rifai, IJNME 29
// (1990) 1595-1638): panel (0,0) (48,44) (48,60) (0,44), E 1, nu 1/3, t 1,
// clamped left edge, unit shear on the right edge. Vertical deflection at
// the middle of the loaded edge, (48, 52).
double CooksMembrane(bool triangles) {
  auto place = [](double s, double r) {
    return Eigen::Vector3d(48.0 * s, 44.0 * s * (1 - r) + (44.0 + 16.0 * s) * r, 0.0);
  };
  ShellTestModel model = GridModel(kN, kN, place, ShellSection{1.0, 1.0 / 3.0, 1.0, 0.0}, triangles);
  model.FixGrid([](int, int) { return true; }, {kUz, kRx, kRy});
  model.FixGrid(First, {kUx, kUy, kRz});
  for (int j = 0; j <= kN; ++j) model.AddForce(model.GridNode(kN, j), kUy, (j % kN == 0 ? 0.5 : 1.0) / kN);
  return model.Solve()(6 * model.GridNode(kN, kN / 2) + kUy);
}

TEST(ShellBenchmarks, WithinTwoPercentOfReference) {
  const struct {
    std::string name;
    std::function<double()> run;
    double reference;
  } cases[] = {
      // 0.3024: the converged value used since Belytschko et al., CMAME 51
      // (1985) 221-258; MacNeal & Harder quote 0.3086 from deep-shell theory.
      {"Scordelis-Lo roof, quads", [] { return ScordelisLo(false); }, 0.3024},
      {"Scordelis-Lo roof, triangles", [] { return ScordelisLo(true); }, 0.3024},
      // 0.094 as MacNeal & Harder; some later studies converge to about 0.0924.
      {"pinched hemisphere, quads", PinchedHemisphere, 0.094},
      {"simply supported plate, quads", [] { return SquarePlate(false, false); }, 0.00406235},
      {"simply supported plate, triangles", [] { return SquarePlate(false, true); }, 0.00406235},
      {"clamped plate, quads", [] { return SquarePlate(true, false); }, 0.00126532},
      {"clamped plate, triangles", [] { return SquarePlate(true, true); }, 0.00126532},
      {"twisted beam in-plane, warped quads", [] { return TwistedBeam(true); }, 0.005424},
      {"twisted beam out-of-plane, warped quads", [] { return TwistedBeam(false); }, 0.001754},
      {"Cook's membrane, quads", [] { return CooksMembrane(false); }, 23.96},
      {"Cook's membrane, triangles", [] { return CooksMembrane(true); }, 23.96},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const double value = c.run();
    std::printf("%-42s %.6g / %.6g = %.4f\n", c.name.c_str(), value, c.reference, value / c.reference);
    EXPECT_NEAR(value / c.reference, 1.0, 0.02);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native::ShellTesting
