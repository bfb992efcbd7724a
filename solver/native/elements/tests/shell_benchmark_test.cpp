// Classic shell benchmarks on 16 x 16 meshes (the twisted beam on its
// customary 12 x 2 mesh of warped elements), against reference values from
// the literature; quarter models use symmetry conditions.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "solver/native/elements/tests/shell_test_model.hpp"

namespace Kestrum::Quilm::Solver::Native::ShellTesting {
namespace {

constexpr int kUx = 0, kUy = 1, kUz = 2, kRx = 3, kRy = 4, kRz = 5;
const double kPi = std::acos(-1.0);

// Scordelis-Lo roof, MacNeal & Harder, Finite Elem. Anal. Des. 1 (1985) 3-20:
// quarter of a cylinder R 25, L 50, 40 degree half-angle, t 0.25, E 4.32e8,
// nu 0, self weight 90 per area, rigid end diaphragms. Vertical deflection
// at the midspan of the free edge.
double ScordelisLo(bool triangles) {
  const int n = 16;
  const double radius = 25.0, halfLength = 25.0, angle = 40.0 * kPi / 180.0;
  ShellSection section{4.32e8, 0.0, 0.25, 360.0};  // rho t = 90
  auto place = [&](double s, double r) {
    return Eigen::Vector3d(halfLength * s, radius * std::sin(angle * r), radius * std::cos(angle * r));
  };
  ShellTestModel model = GridModel(n, n, place, section, triangles);
  ForGridNodes(n, n, [](int i, int) { return i == 0; }, [&](int v) { model.Fix(v, {kUy, kUz, kRx}); });
  ForGridNodes(n, n, [&](int i, int) { return i == n; }, [&](int v) { model.Fix(v, {kUx, kRy, kRz}); });
  ForGridNodes(n, n, [](int, int j) { return j == 0; }, [&](int v) { model.Fix(v, {kUy, kRx, kRz}); });
  const Eigen::Vector3d gravity(0.0, 0.0, -1.0);
  model.AddElementLoads([&](const ShellQuad4& e) { return e.BodyLoad(gravity); },
                        [&](const ShellTri3& e) { return e.BodyLoad(gravity); });
  const Eigen::VectorXd u = model.Solve();
  return -u(6 * (n * (n + 1) + n) + kUz);
}

// Pinched hemisphere with an 18 degree hole, MacNeal & Harder 1985: R 10,
// t 0.04, E 6.825e7, nu 0.3, opposite radial loads of 2 (1 on the quarter).
// Radial displacement under the outward load.
double PinchedHemisphere() {
  const int n = 16;
  const double radius = 10.0;
  ShellSection section{6.825e7, 0.3, 0.04, 0.0};
  auto place = [&](double s, double r) {
    const double azimuth = 0.5 * kPi * s, polar = 0.5 * kPi - r * 72.0 * kPi / 180.0;
    return Eigen::Vector3d(radius * std::sin(polar) * std::cos(azimuth),
                           radius * std::sin(polar) * std::sin(azimuth), radius * std::cos(polar));
  };
  ShellTestModel model = GridModel(n, n, place, section, false);
  ForGridNodes(n, n, [](int i, int) { return i == 0; }, [&](int v) { model.Fix(v, {kUy, kRx, kRz}); });
  ForGridNodes(n, n, [&](int i, int) { return i == n; }, [&](int v) { model.Fix(v, {kUx, kRy, kRz}); });
  model.Fix(n * (n + 1), {kUz});  // the hole's edge on the x-z plane: no net vertical load
  model.AddForce(0, kUx, 1.0);
  model.AddForce(n, kUy, -1.0);
  return model.Solve()(kUx);
}

// Square plate, side a = 1, t = 0.01, uniform pressure q, quarter model:
// centre deflection in units of q a^4 / D against the thin-plate series
// solutions (Timoshenko & Woinowsky-Krieger, Theory of Plates and Shells,
// 1959: 0.00406 simply supported, 0.00126 clamped, here to more digits).
// Hard simple support (the rotation along the edge held) or clamped edges.
double SquarePlate(bool clamped, bool triangles) {
  const int n = 16;
  ShellSection section{1.0e7, 0.3, 0.01, 0.0};
  const double side = 1.0, pressure = 1.0;
  auto place = [&](double s, double r) { return Eigen::Vector3d(0.5 * side * s, 0.5 * side * r, 0.0); };
  ShellTestModel model = GridModel(n, n, place, section, triangles);
  ForGridNodes(n, n, [](int i, int) { return i == 0; }, [&](int v) { model.Fix(v, {kUx, kRy, kRz}); });
  ForGridNodes(n, n, [](int, int j) { return j == 0; }, [&](int v) { model.Fix(v, {kUy, kRx, kRz}); });
  ForGridNodes(n, n, [&](int i, int) { return i == n; },
               [&](int v) { clamped ? model.Fix(v, {kUz, kRx, kRy}) : model.Fix(v, {kUz, kRx}); });
  ForGridNodes(n, n, [&](int, int j) { return j == n; },
               [&](int v) { clamped ? model.Fix(v, {kUz, kRx, kRy}) : model.Fix(v, {kUz, kRy}); });
  model.AddElementLoads([&](const ShellQuad4& e) { return e.PressureLoad(pressure); },
                        [&](const ShellTri3& e) { return e.PressureLoad(pressure); });
  const double t = section.thickness, nu = section.poissonRatio;
  const double rigidity = section.youngsModulus * t * t * t / (12.0 * (1.0 - nu * nu));
  return model.Solve()(kUz) * rigidity / (pressure * std::pow(side, 4));
}

// Twisted beam, MacNeal & Harder 1985: length 12, width 1.1, t 0.32, twisted
// 90 degrees, E 29e6, nu 0.22, clamped; unit tip load along the tip's width
// (in-plane) or its normal (out-of-plane). Tip deflection along the load.
double TwistedBeam(bool inPlane) {
  const int nx = 12, ny = 2;
  ShellSection section{29.0e6, 0.22, 0.32, 0.0};
  auto place = [](double s, double r) {
    const double twist = 0.5 * kPi * s, across = 1.1 * (r - 0.5);
    return Eigen::Vector3d(12.0 * s, across * std::cos(twist), across * std::sin(twist));
  };
  ShellTestModel model = GridModel(nx, ny, place, section, false);
  ForGridNodes(nx, ny, [](int i, int) { return i == 0; },
               [&](int v) { model.Fix(v, {kUx, kUy, kUz, kRx, kRy, kRz}); });
  const int dof = inPlane ? kUz : kUy;
  const double share[3] = {0.25, 0.5, 0.25};
  for (int j = 0; j <= ny; ++j) model.AddForce(j * (nx + 1) + nx, dof, share[j]);
  return model.Solve()(6 * (nx + 1 + nx) + dof);
}

// Cook's membrane (Cook 1974; reference 23.96 as in Simo & Rifai, IJNME 29
// (1990) 1595-1638): tapered panel (0,0) (48,44) (48,60) (0,44), E 1,
// nu 1/3, t 1, clamped left edge, unit shear on the right edge. Vertical
// deflection at the middle of the loaded edge, (48, 52).
double CooksMembrane(bool triangles) {
  const int n = 16;
  ShellSection section{1.0, 1.0 / 3.0, 1.0, 0.0};
  auto place = [](double s, double r) {
    const Eigen::Vector3d a(0, 0, 0), b(48, 44, 0), c(48, 60, 0), d(0, 44, 0);
    return Eigen::Vector3d((1 - s) * (1 - r) * a + s * (1 - r) * b + s * r * c + (1 - s) * r * d);
  };
  ShellTestModel model = GridModel(n, n, place, section, triangles);
  ForGridNodes(n, n, [](int, int) { return true; }, [&](int v) { model.Fix(v, {kUz, kRx, kRy}); });
  ForGridNodes(n, n, [](int i, int) { return i == 0; }, [&](int v) { model.Fix(v, {kUx, kUy, kRz}); });
  ForGridNodes(n, n, [&](int i, int) { return i == n; },
               [&](int v) { model.AddForce(v, kUy, (v == n || v == n * (n + 1) + n ? 0.5 : 1.0) / n); });
  return model.Solve()(6 * (n / 2 * (n + 1) + n) + kUy);
}

struct Benchmark {
  std::string name;
  std::function<double()> run;
  double reference;
};

TEST(ShellBenchmarks, WithinTwoPercentOfReference) {
  const Benchmark cases[] = {
      // 0.3024: the converged value used since Belytschko et al., CMAME 51
      // (1985) 221-258; MacNeal & Harder quote 0.3086 from deep-shell theory.
      {"Scordelis-Lo roof, quads", [] { return ScordelisLo(false); }, 0.3024},
      {"Scordelis-Lo roof, triangles", [] { return ScordelisLo(true); }, 0.3024},
      // 0.094 as MacNeal & Harder; some later studies converge to about 0.0924.
      {"pinched hemisphere, quads", [] { return PinchedHemisphere(); }, 0.094},
      {"simply supported plate, quads", [] { return SquarePlate(false, false); }, 0.00406235},
      {"simply supported plate, triangles", [] { return SquarePlate(false, true); }, 0.00406235},
      {"clamped plate, quads", [] { return SquarePlate(true, false); }, 0.00126532},
      {"clamped plate, triangles", [] { return SquarePlate(true, true); }, 0.00126532},
      {"twisted beam in-plane, warped quads", [] { return TwistedBeam(true); }, 0.005424},
      {"twisted beam out-of-plane, warped quads", [] { return TwistedBeam(false); }, 0.001754},
      {"Cook's membrane, quads", [] { return CooksMembrane(false); }, 23.96},
      {"Cook's membrane, triangles", [] { return CooksMembrane(true); }, 23.96},
  };
  for (const Benchmark& c : cases) {
    SCOPED_TRACE(c.name);
    const double value = c.run();
    std::printf("%-42s %.6g / %.6g = %.4f\n", c.name.c_str(), value, c.reference, value / c.reference);
    EXPECT_NEAR(value / c.reference, 1.0, 0.02);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native::ShellTesting
