// Single-element properties of the flat shells: rigid-body modes, symmetry,
// load resultants, mass totals, surface stresses and input checks.
#include <gtest/gtest.h>

#include <Eigen/Eigenvalues>
#include <Eigen/Geometry>
#include <functional>
#include <string>
#include <vector>

#include "solver/native/elements/shell_quad4.hpp"
#include "solver/native/elements/shell_tri3.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

const ShellSection kSteel{210e9, 0.3, 0.012, 7850.0};

// An element reduced to what these checks need, in global dofs.
struct ElementCase {
  std::string name;
  std::vector<Eigen::Vector3d> corners;
  Eigen::MatrixXd stiffness;
  std::function<Eigen::VectorXd(double)> pressure;
  std::function<Eigen::VectorXd(const Eigen::Vector3d&)> body;
  std::function<Eigen::MatrixXd(ShellMassKind)> mass;
};

Eigen::Matrix3d Tilt() {
  return (Eigen::AngleAxisd(0.7, Eigen::Vector3d(1, 2, 3).normalized()) *
          Eigen::AngleAxisd(-0.4, Eigen::Vector3d::UnitX()))
      .toRotationMatrix();
}

ElementCase Quad(const std::string& name, std::array<Eigen::Vector3d, 4> corners) {
  const ShellQuad4 e(corners, kSteel);
  return {name,
          {corners.begin(), corners.end()},
          e.Stiffness(),
          [e](double p) { return Eigen::VectorXd(e.PressureLoad(p)); },
          [e](const Eigen::Vector3d& a) { return Eigen::VectorXd(e.BodyLoad(a)); },
          [e](ShellMassKind k) { return Eigen::MatrixXd(e.Mass(k)); }};
}

ElementCase Triangle(const std::string& name, std::array<Eigen::Vector3d, 3> corners) {
  const ShellTri3 e(corners, kSteel);
  return {name,
          {corners.begin(), corners.end()},
          e.Stiffness(),
          [e](double p) { return Eigen::VectorXd(e.PressureLoad(p)); },
          [e](const Eigen::Vector3d& a) { return Eigen::VectorXd(e.BodyLoad(a)); },
          [e](ShellMassKind k) { return Eigen::MatrixXd(e.Mass(k)); }};
}

std::vector<ElementCase> Cases() {
  const Eigen::Matrix3d q = Tilt();
  const Eigen::Vector3d shift(3.0, -1.0, 2.0);
  auto placed = [&](double x, double y, double z) { return Eigen::Vector3d(q * Eigen::Vector3d(x, y, z) + shift); };
  return {Quad("flat irregular quad", {placed(0, 0, 0), placed(2.1, 0.3, 0), placed(1.8, 1.4, 0), placed(-0.2, 1.1, 0)}),
          Quad("warped quad", {placed(0, 0, 0.15), placed(2.0, 0, -0.15), placed(2.2, 1.3, 0.15), placed(0.1, 1.0, -0.15)}),
          Triangle("triangle", {placed(0, 0, 0), placed(1.7, 0.4, 0), placed(0.5, 1.2, 0)})};
}

// Node displacements of a rigid motion: translation c, small rotation w.
Eigen::VectorXd RigidMotion(const std::vector<Eigen::Vector3d>& corners, const Eigen::Vector3d& c,
                            const Eigen::Vector3d& w) {
  Eigen::VectorXd u(6 * corners.size());
  for (std::size_t i = 0; i < corners.size(); ++i) {
    u.segment<3>(6 * i) = c + w.cross(corners[i]);
    u.segment<3>(6 * i + 3) = w;
  }
  return u;
}

TEST(ShellElement, SymmetricWithExactlySixRigidBodyZeroModes) {
  for (const ElementCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const Eigen::MatrixXd& k = c.stiffness;
    const double scale = k.norm();
    EXPECT_LT((k - k.transpose()).norm(), 1e-14 * scale);
    const Eigen::VectorXd eig = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(k).eigenvalues();
    EXPECT_LT(std::abs(eig(5)), 1e-10 * eig(eig.size() - 1));
    EXPECT_GT(eig(6), 1e-8 * eig(eig.size() - 1));
    for (int axis = 0; axis < 3; ++axis) {
      const Eigen::Vector3d unit = Eigen::Vector3d::Unit(axis);
      for (const Eigen::VectorXd& u : {RigidMotion(c.corners, unit, Eigen::Vector3d::Zero()),
                                       RigidMotion(c.corners, Eigen::Vector3d::Zero(), unit)})
        EXPECT_LT((k * u).norm(), 1e-10 * scale * u.norm());
    }
  }
}

// Vector area and centroid of the polygon through the corners (a flat one,
// or for the warped quad the vector area of any surface it bounds).
std::pair<Eigen::Vector3d, Eigen::Vector3d> AreaAndCentroid(const std::vector<Eigen::Vector3d>& p) {
  Eigen::Vector3d area = Eigen::Vector3d::Zero(), moment = Eigen::Vector3d::Zero();
  for (std::size_t i = 1; i + 1 < p.size(); ++i) {
    const Eigen::Vector3d a = 0.5 * (p[i] - p[0]).cross(p[i + 1] - p[0]);
    area += a;
    moment += a.norm() * (p[0] + p[i] + p[i + 1]) / 3.0;
  }
  return {area, moment / area.norm()};
}

// Sum of the nodal forces and of their moments about the origin.
std::pair<Eigen::Vector3d, Eigen::Vector3d> Resultant(const std::vector<Eigen::Vector3d>& corners,
                                                      const Eigen::VectorXd& f) {
  Eigen::Vector3d force = Eigen::Vector3d::Zero(), moment = Eigen::Vector3d::Zero();
  for (std::size_t i = 0; i < corners.size(); ++i) {
    force += f.segment<3>(6 * i);
    moment += corners[i].cross(f.segment<3>(6 * i)) + f.segment<3>(6 * i + 3);
  }
  return {force, moment};
}

TEST(ShellElement, PressureAndGravityLoadsSumToTheExactResultants) {
  const double p = 2500.0;
  const Eigen::Vector3d g(0.3, -1.2, -9.81);
  for (const ElementCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const auto [area, centroid] = AreaAndCentroid(c.corners);
    const auto [pressureForce, pressureMoment] = Resultant(c.corners, c.pressure(p));
    EXPECT_LT((pressureForce - p * area).norm(), 1e-12 * p * area.norm());
    if (c.name == "warped quad") continue;  // the bilinear surface's area and centroid differ from the polygon's
    EXPECT_LT((pressureMoment - centroid.cross(p * area)).norm(), 1e-11 * p * area.norm() * centroid.norm());
    const Eigen::Vector3d weight = kSteel.density * kSteel.thickness * area.norm() * g;
    const auto [bodyForce, bodyMoment] = Resultant(c.corners, c.body(g));
    EXPECT_LT((bodyForce - weight).norm(), 1e-12 * weight.norm());
    EXPECT_LT((bodyMoment - centroid.cross(weight)).norm(), 1e-11 * weight.norm() * centroid.norm());
  }
}

TEST(ShellElement, MassCarriesTheElementMassAndRotaryInertia) {
  for (const ElementCase& c : Cases()) {
    if (c.name == "warped quad") continue;
    const double area = AreaAndCentroid(c.corners).first.norm();
    const double t = kSteel.thickness, translational = kSteel.density * t * area;
    for (ShellMassKind kind : {ShellMassKind::kConsistent, ShellMassKind::kLumped}) {
      SCOPED_TRACE(c.name + (kind == ShellMassKind::kLumped ? ", lumped" : ", consistent"));
      const Eigen::MatrixXd m = c.mass(kind);
      EXPECT_LT((m - m.transpose()).norm(), 1e-14 * m.norm());
      for (int dof = 0; dof < 6; ++dof) {
        Eigen::VectorXd unit = Eigen::VectorXd::Zero(m.rows());
        for (std::size_t i = 0; i < c.corners.size(); ++i) unit(6 * i + dof) = 1.0;
        const double expected = dof < 3 ? translational : translational * t * t / 12.0;
        EXPECT_NEAR(unit.dot(m * unit), expected, 1e-12 * expected);
      }
      if (kind == ShellMassKind::kLumped) EXPECT_EQ((m - Eigen::MatrixXd(m.diagonal().asDiagonal())).norm(), 0.0);
      else EXPECT_GT(Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(m).eigenvalues()(0), 0.0);
    }
  }
}

TEST(ShellResults, SurfaceStressesFollowTheMomentSignConvention) {
  const double t = 0.02;
  ShellResultants r;
  r.nx = 2000.0;  // 1e5 Pa membrane
  r.mx = 60.0;    // 6 mx / t^2 = 9e5 Pa, tension on top
  r.qy = 300.0;   // 1.5 q / t = 22500 Pa at the middle
  const ShellPointResults s = ShellPointResultsFrom(r, t);
  EXPECT_NEAR(s.top.sx, 1.0e6, 1e-6);
  EXPECT_NEAR(s.bottom.sx, -8.0e5, 1e-6);
  EXPECT_NEAR(s.top.vonMises, 1.0e6, 1e-6);
  EXPECT_NEAR(s.middle.syz, 22500.0, 1e-9);
  EXPECT_EQ(s.top.syz, 0.0);
  EXPECT_NEAR(s.middle.vonMises, std::sqrt(1e10 + 3.0 * 22500.0 * 22500.0), 1e-6);
}

TEST(ShellElement, RejectsDegenerateInput) {
  const Eigen::Vector3d o(0, 0, 0), x(1, 0, 0), y(0, 1, 0), xy(1, 1, 0);
  ShellSection incompressible = kSteel;
  incompressible.poissonRatio = 0.5;
  ShellSection noThickness = kSteel;
  noThickness.thickness = 0.0;
  const std::vector<std::pair<std::string, std::function<void()>>> cases = {
      {"reflex quad", [&] { ShellQuad4({o, x, Eigen::Vector3d(0.3, 0.3, 0), y}, kSteel); }},
      {"coincident corners", [&] { ShellQuad4({o, x, x, y}, kSteel); }},
      {"collinear triangle", [&] { ShellTri3({o, x, Eigen::Vector3d(2, 0, 0)}, kSteel); }},
      {"nu = 0.5", [&] { ShellQuad4({o, x, xy, y}, incompressible); }},
      {"zero thickness", [&] { ShellTri3({o, x, y}, noThickness); }},
  };
  for (const auto& [name, make] : cases) {
    SCOPED_TRACE(name);
    EXPECT_THROW(make(), std::invalid_argument);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
