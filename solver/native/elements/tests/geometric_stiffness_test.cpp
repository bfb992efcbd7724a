// Geometric stiffness of beams and flat shells: element properties and
// linear buckling loads of columns, a laterally unbraced beam and square
// plates against their closed-form values, on small dense assemblies.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <vector>

#include "solver/native/elements/beam_geometric.hpp"
#include "solver/native/elements/beam_transformation.hpp"
#include "solver/native/elements/shell_geometric.hpp"
#include "solver/native/elements/shell_tri_cubic_deflection.hpp"
#include "solver/native/elements/tests/shell_test_model.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Adds the element matrix `k` of nodes `nodes` (6 dofs each) to `global`.
template <class Matrix, class Nodes>
void Scatter(Eigen::MatrixXd& global, const Nodes& nodes, const Matrix& k) {
  for (int a = 0; a < k.rows(); ++a)
    for (int b = 0; b < k.cols(); ++b) global(6 * nodes[a / 6] + a % 6, 6 * nodes[b / 6] + b % 6) += k(a, b);
}

std::vector<int> FreeDofs(int dofs, const std::vector<int>& fixed) {
  std::vector<int> free;
  for (int d = 0; d < dofs; ++d)
    if (std::find(fixed.begin(), fixed.end(), d) == fixed.end()) free.push_back(d);
  return free;
}

// The `count` smallest positive load factors lambda of (K + lambda Kg) phi = 0
// on the free dofs, from -Kg phi = (1 / lambda) K phi (K positive definite).
std::vector<double> CriticalFactors(const Eigen::MatrixXd& k, const Eigen::MatrixXd& kg,
                                    const std::vector<int>& fixed, int count) {
  const std::vector<int> free = FreeDofs(static_cast<int>(k.rows()), fixed);
  const Eigen::MatrixXd a = -kg(free, free), b = k(free, free);
  const Eigen::GeneralizedSelfAdjointEigenSolver<Eigen::MatrixXd> eigen(a, b);
  std::vector<double> factors;
  for (int i = static_cast<int>(free.size()) - 1; i >= 0 && int(factors.size()) < count; --i)
    if (eigen.eigenvalues()(i) > 0.0) factors.push_back(1.0 / eigen.eigenvalues()(i));
  return factors;
}

// ---- beams ----

// Slender, shear-rigid (E, G, A, Iy, Iz, It): the Euler values apply.
// Iy / Iz = 1.5 separates the two bending planes.
const BeamSectionProperties kSlender{2.1e11, 8.1e10, 5e-3, 3e-5, 2e-5, 3e-6};

using DofLoads = std::vector<std::pair<int, double>>;

// A straight line of n members from the origin to `end`, `ends` the fixity of
// its first start and last end, pre-stressed by a linear solve under nodal
// loads with `fixed` held: the `count` lowest critical load factors.
std::vector<double> BeamLineCriticalFactors(const BeamSectionProperties& s, const Eigen::Vector3d& end, int n,
                                            const BeamEndFixity& ends, const std::vector<int>& fixed,
                                            const DofLoads& loads, int count) {
  const Eigen::Vector3d zero = Eigen::Vector3d::Zero();
  std::vector<BeamTransformation> axes;
  std::vector<BeamEndFixity> fixities(n);
  fixities.front().start = ends.start;
  fixities.back().end = ends.end;
  Eigen::MatrixXd k = Eigen::MatrixXd::Zero(6 * (n + 1), 6 * (n + 1)), kg = k;
  for (int i = 0; i < n; ++i) {
    axes.push_back(MakeBeamTransformation(end * i / n, end * (i + 1) / n, zero, zero, zero));
    Scatter(k, std::array{i, i + 1},
            ToGlobal(axes[i], BeamElement(axes[i].length, s, fixities[i]).Stiffness()));
  }
  Eigen::VectorXd f = Eigen::VectorXd::Zero(k.rows()), u = f;
  for (const auto& [dof, value] : loads) f(dof) = value;
  const std::vector<int> free = FreeDofs(static_cast<int>(k.rows()), fixed);
  const Eigen::VectorXd uFree = Eigen::MatrixXd(k(free, free)).ldlt().solve(Eigen::VectorXd(f(free)));
  u(free) = uFree;
  for (int i = 0; i < n; ++i) {
    const double L = axes[i].length;
    const Vector12 endForces =
        BeamElement(L, s, fixities[i]).EndForces(axes[i].matrix * u.segment<12>(6 * i), {});
    const Matrix12 member = BeamGeometricStiffness(s, L, BeamPrestressFromEndForces(endForces));
    Scatter(kg, std::array{i, i + 1},
            ToGlobal(axes[i], CondenseGeometricStiffness(member, L, s, fixities[i])));
  }
  return CriticalFactors(k, kg, fixed, count);
}

// Columns of 8 members along z under a unit compression at the top: the two
// lowest loads are the Euler loads pi^2 E I / (K L)^2 in the weak and the
// strong plane. Beams of 16 members along x with fork supports, loaded at the
// end nodes:
//  - uniform moment about the strong axis y: lateral-torsional buckling at
//    M = (pi / L) sqrt(E Iz G It) (no warping stiffness). A wrong sign of
//    either end moment changes the moment diagram and the load.
//  - torque, Iy = Iz: the torque terms act as a semitangential torque. With
//    u = v + i w, k = T / (E I): u'''' = i k u''' and at the hinges u = 0,
//    u'' = i k u' / 2, whose lowest root is kL + 2 atan(kL / 6) = 2 pi.
TEST(BeamGeometricStiffnessTest, CriticalLoadsAgainstClosedForms) {
  const double L = 10.0;
  const BeamSectionProperties s = kSlender;
  BeamSectionProperties round = s;
  round.Iy = round.Iz;
  BeamEndFixity pinnedEnds;
  pinnedEnds.start[kRy] = pinnedEnds.start[kRz] = pinnedEnds.end[kRy] = pinnedEnds.end[kRz] = 0.0;
  double torqueRoot = 5.0;  // kL, by fixed-point iteration (a contraction)
  for (int i = 0; i < 60; ++i) torqueRoot = 2.0 * kPi - 2.0 * std::atan(torqueRoot / 6.0);
  const double euler = kPi * kPi * s.E / (L * L);
  const int top = 6 * 8, end = 6 * 16;  // first dof of the last node
  struct Case {
    const char* name;
    BeamSectionProperties section;
    int n;
    BeamEndFixity ends;
    std::vector<int> fixed;
    DofLoads loads;
    std::vector<double> expected;
    double tolerance;
  };
  const DofLoads compression = {{top + 2, -1.0}};
  const std::vector<int> clampedAndGuided = {0, 1, 2, 3, 4, 5, top, top + 1, top + 3, top + 4, top + 5};
  // clang-format off
  const std::vector<Case> cases = {
      {"pinned column", s, 8, {}, {0, 1, 2, 5, top, top + 1}, compression,
       {euler * s.Iz, euler * s.Iy}, 1e-3},
      {"cantilever column", s, 8, {}, {0, 1, 2, 3, 4, 5}, compression,
       {euler * s.Iz / 4, euler * s.Iy / 4}, 1e-3},
      {"fixed-fixed column", s, 8, {}, clampedAndGuided, compression,
       {4 * euler * s.Iz, 4 * euler * s.Iy}, 1e-3},
      {"clamped column, released member ends", s, 8, pinnedEnds, clampedAndGuided, compression,
       {euler * s.Iz, euler * s.Iy}, 1e-3},
      {"uniform moment", s, 16, {}, {0, 1, 2, 3, end + 1, end + 2, end + 3}, {{kRy, -1.0}, {end + kRy, 1.0}},
       {kPi / L * std::sqrt(s.E * s.Iz * s.G * s.It)}, 3e-3},
      {"torque", round, 16, {}, {0, 1, 2, 3, end + 1, end + 2}, {{end + kRx, 1.0}},
       {torqueRoot * s.E * s.Iz / L}, 1e-3},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Eigen::Vector3d axis = c.n == 8 ? Eigen::Vector3d(0.0, 0.0, L) : Eigen::Vector3d(L, 0.0, 0.0);
    const std::vector<double> factors = BeamLineCriticalFactors(c.section, axis, c.n, c.ends, c.fixed,
                                                                c.loads, static_cast<int>(c.expected.size()));
    ASSERT_EQ(factors.size(), c.expected.size());
    for (std::size_t i = 0; i < factors.size(); ++i)
      EXPECT_NEAR(factors[i] / c.expected[i], 1.0, c.tolerance);
  }
}

// ---- element properties ----

struct ElementCase {
  const char* name;
  Eigen::MatrixXd stressed, unstressed;
};

std::vector<ElementCase> ElementCases() {
  const BeamSectionProperties s = kSlender;
  const BeamTransformation t = MakeBeamTransformation({0.1, 0.2, 0.3}, {2.0, 1.1, 0.7}, {0.0, 0.05, 0.1},
                                                      {0.02, 0.0, -0.1}, {0.3, -0.2, 1.0});
  BeamEndFixity fixity;
  fixity.end[kRy] = 0.0;
  fixity.start[kRz] = 0.4;
  auto beam = [&](const BeamPrestress& p) -> Eigen::MatrixXd {
    return ToGlobal(t,
                    CondenseGeometricStiffness(BeamGeometricStiffness(s, t.length, p), t.length, s, fixity));
  };
  const std::array<Eigen::Vector3d, 4> warped = {
      Eigen::Vector3d(0.0, 0.0, 0.02), Eigen::Vector3d(1.2, 0.1, -0.03), Eigen::Vector3d(1.1, 0.9, 0.01),
      Eigen::Vector3d(-0.1, 1.0, 0.0)};
  const std::array<Eigen::Vector3d, 3> triangle = {
      Eigen::Vector3d(0.0, 0.0, 0.0), Eigen::Vector3d(1.0, 0.3, 0.2), Eigen::Vector3d(0.2, 0.8, 0.5)};
  const ShellMembraneForces n{-3.0, 1.5, 0.7};
  return {{"beam with offsets and end springs", beam({-2.0, 0.5, 0.3, -0.4, 0.6, 0.2}), beam({})},
          {"warped quadrilateral", ShellQuad4GeometricStiffness(warped, n),
           ShellQuad4GeometricStiffness(warped, {})},
          {"triangle", ShellTri3GeometricStiffness(triangle, n), ShellTri3GeometricStiffness(triangle, {})}};
}

TEST(GeometricStiffnessTest, SymmetricZeroWithoutStressAndNoEnergyInRigidTranslation) {
  for (const ElementCase& c : ElementCases()) {
    SCOPED_TRACE(c.name);
    const double size = c.stressed.norm();
    ASSERT_GT(size, 0.0);
    EXPECT_LE((c.stressed - c.stressed.transpose()).norm(), 1e-12 * size);
    EXPECT_EQ(c.unstressed.norm(), 0.0);
    for (const Eigen::Vector3d& direction :
         {Eigen::Vector3d(1.0, 0.0, 0.0), Eigen::Vector3d(0.3, -0.5, 0.8)}) {
      Eigen::VectorXd translation = Eigen::VectorXd::Zero(c.stressed.rows());
      for (int node = 0; node < translation.size() / 6; ++node) translation.segment<3>(6 * node) = direction;
      EXPECT_LE((c.stressed * translation).norm(), 1e-12 * size);
    }
  }
}

// The triangle's cubic reproduces every quadratic deflection, with the
// Kirchhoff slopes rx = w_y, ry = -w_x at the corners.
TEST(GeometricStiffnessTest, TriangleCubicReproducesQuadratics) {
  ShellTriangleCoordinates xy;
  xy << 0.2, -0.1, 1.5, 0.3, 0.4, 1.2;
  auto w = [](const Eigen::Vector2d& p) {
    return 0.3 + 0.7 * p.x() - 0.2 * p.y() + 1.1 * p.x() * p.x() - 0.8 * p.x() * p.y() + 0.5 * p.y() * p.y();
  };
  auto slope = [](const Eigen::Vector2d& p) {
    return Eigen::Vector2d(0.7 + 2.2 * p.x() - 0.8 * p.y(), -0.2 - 0.8 * p.x() + 1.0 * p.y());
  };
  Eigen::Matrix<double, 9, 1> dofs;
  for (int i = 0; i < 3; ++i) {
    const Eigen::Vector2d p = xy.row(i).transpose();
    dofs.segment<3>(3 * i) << w(p), slope(p).y(), -slope(p).x();
  }
  const ReducedCubicDeflection cubic(xy);
  for (const auto& [xi, eta] : {std::pair{0.2, 0.3}, std::pair{0.6, 0.1}, std::pair{1.0 / 3.0, 1.0 / 3.0}}) {
    const Eigen::Vector2d p = xy.transpose() * AreaCoordinates(xi, eta);
    EXPECT_NEAR((cubic.Deflection(xi, eta) * dofs)(0), w(p), 1e-12);
    EXPECT_LE((cubic.Slopes(xi, eta) * dofs - slope(p)).norm(), 1e-12);
  }
}

// ---- plates ----

// Critical compression nx of a simply supported square plate (side 1, 8 x 8
// elements) whose pre-stress comes from a linear solve under a unit edge
// compression; the classical value is 4 pi^2 D / b^2.
double SquarePlateCriticalCompression(bool triangles, double& classical) {
  ShellSection section;
  section.youngsModulus = 2.1e11;
  section.poissonRatio = 0.3;
  section.thickness = 0.01;
  const int n = 8;
  ShellTesting::ShellTestModel m = ShellTesting::GridModel(
      n, n, [](double x, double y) { return Eigen::Vector3d(x, y, 0.0); }, section, triangles);
  m.FixGrid([&](int i, int j) { return i == 0 || j == 0 || i == n || j == n; }, {2});
  m.FixGrid([&](int i, int) { return i == 0 || i == n; }, {3});  // hard support: no twist along the edge
  m.FixGrid([&](int, int j) { return j == 0 || j == n; }, {4});
  m.FixGrid([&](int i, int) { return i == 0; }, {0});
  m.Fix(m.GridNode(0, 0), {1});
  for (int j = 0; j <= n; ++j) m.AddForce(m.GridNode(n, j), 0, -(j == 0 || j == n ? 0.5 : 1.0) / n);
  const Eigen::VectorXd u = m.Solve();
  Eigen::MatrixXd k = Eigen::MatrixXd::Zero(m.Dofs(), m.Dofs()), kg = k;
  auto add = [&](const auto& nodes, const auto& element, const auto& geometric) {
    const ShellMembraneForces forces = MembraneForcesOf(element.Results(m.Gather(nodes, u)).centre);
    Scatter(k, nodes, element.Stiffness());
    Scatter(kg, nodes, geometric(ShellTesting::ShellTestModel::Corners(m.nodes, nodes), forces));
  };
  for (std::size_t e = 0; e < m.quads.size(); ++e) add(m.quads[e], m.Quad(e), ShellQuad4GeometricStiffness);
  for (std::size_t e = 0; e < m.triangles.size(); ++e)
    add(m.triangles[e], m.Triangle(e), ShellTri3GeometricStiffness);
  std::vector<int> fixed;
  for (const auto& [dof, value] : m.prescribed) fixed.push_back(dof);
  const double t = section.thickness, nu = section.poissonRatio;
  classical = 4.0 * kPi * kPi * section.youngsModulus * t * t * t / (12.0 * (1.0 - nu * nu));
  return CriticalFactors(k, kg, fixed, 1).at(0);
}

TEST(ShellGeometricStiffnessTest, SimplySupportedSquarePlateUnderUniaxialCompression) {
  for (const auto& [triangles, tolerance] : {std::pair{false, 0.03}, std::pair{true, 0.05}}) {
    SCOPED_TRACE(triangles ? "triangles" : "quadrilaterals");
    double classical = 0.0;
    const double critical = SquarePlateCriticalCompression(triangles, classical);
    EXPECT_NEAR(critical / classical, 1.0, tolerance);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
