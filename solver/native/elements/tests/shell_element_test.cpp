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
const double kPressure = 2500.0;
const Eigen::Vector3d kGravity(0.3, -1.2, -9.81);

// An element's matrices and load vectors in global dofs.
struct ElementCase {
  std::string name;
  std::vector<Eigen::Vector3d> corners;
  Eigen::MatrixXd stiffness, consistentMass, lumpedMass;
  Eigen::VectorXd pressureLoad, gravityLoad;
};

template <typename Element, std::size_t N>
ElementCase Make(const std::string& name, const std::array<Eigen::Vector3d, N>& corners) {
  const Element e(corners, kSteel);
  return {name,
          {corners.begin(), corners.end()},
          e.Stiffness(),
          e.Mass(ShellMassKind::kConsistent),
          e.Mass(ShellMassKind::kLumped),
          e.PressureLoad(kPressure),
          e.BodyLoad(kGravity)};
}

// Irregular flat quad, warped quad (corners +-0.15 off their mean plane) and
// triangle, all tilted away from the global axes.
std::vector<ElementCase> Cases() {
  const Eigen::Matrix3d q = Eigen::AngleAxisd(0.7, Eigen::Vector3d(1, 2, 3).normalized()).toRotationMatrix();
  auto at = [&](double x, double y, double z) {
    return Eigen::Vector3d(q * Eigen::Vector3d(x, y, z) + Eigen::Vector3d(3, -1, 2));
  };
  return {Make<ShellQuad4, 4>("flat quad", {at(0, 0, 0), at(2.1, 0.3, 0), at(1.8, 1.4, 0), at(-0.2, 1.1, 0)}),
          Make<ShellQuad4, 4>("warped quad",
                              {at(0, 0, 0.15), at(2, 0, -0.15), at(2.2, 1.3, 0.15), at(0.1, 1, -0.15)}),
          Make<ShellTri3, 3>("triangle", {at(0, 0, 0), at(1.7, 0.4, 0), at(0.5, 1.2, 0)})};
}

// Node displacements of the rigid motion: translation c, small rotation w.
Eigen::VectorXd RigidMotion(const std::vector<Eigen::Vector3d>& corners, const Eigen::Vector3d& c,
                            const Eigen::Vector3d& w) {
  Eigen::VectorXd u(6 * corners.size());
  for (std::size_t i = 0; i < corners.size(); ++i) u.segment<6>(6 * i) << c + w.cross(corners[i]), w;
  return u;
}

TEST(ShellElement, SymmetricWithExactlySixRigidBodyZeroModes) {
  for (const ElementCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const Eigen::MatrixXd& k = c.stiffness;
    EXPECT_LT((k - k.transpose()).norm(), 1e-14 * k.norm());
    const Eigen::VectorXd eig = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(k).eigenvalues();
    EXPECT_LT(std::abs(eig(5)), 1e-10 * eig(eig.size() - 1));  // measured ~1e-16
    EXPECT_GT(eig(6), 1e-8 * eig(eig.size() - 1));             // measured ~2e-6
    for (int axis = 0; axis < 3; ++axis) {
      const Eigen::Vector3d e = Eigen::Vector3d::Unit(axis), zero = Eigen::Vector3d::Zero();
      for (const Eigen::VectorXd& u : {RigidMotion(c.corners, e, zero), RigidMotion(c.corners, zero, e)})
        EXPECT_LT((k * u).norm(), 1e-10 * k.norm() * u.norm());
    }
  }
}

// Sum of nodal forces and of their moments about the origin.
std::pair<Eigen::Vector3d, Eigen::Vector3d> Resultant(const ElementCase& c, const Eigen::VectorXd& f) {
  Eigen::Vector3d force = Eigen::Vector3d::Zero(), moment = Eigen::Vector3d::Zero();
  for (std::size_t i = 0; i < c.corners.size(); ++i) {
    force += f.segment<3>(6 * i);
    moment += c.corners[i].cross(f.segment<3>(6 * i)) + f.segment<3>(6 * i + 3);
  }
  return {force, moment};
}

TEST(ShellElement, LoadsAndMassCarryTheExactResultants) {
  for (const ElementCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    // Vector area of the polygon (for the warped quad: of any surface it bounds) and centroid.
    const auto& p = c.corners;
    Eigen::Vector3d area = Eigen::Vector3d::Zero(), firstMoment = Eigen::Vector3d::Zero();
    for (std::size_t i = 1; i + 1 < p.size(); ++i) {
      const Eigen::Vector3d a = 0.5 * (p[i] - p[0]).cross(p[i + 1] - p[0]);
      area += a;
      firstMoment += a.norm() * (p[0] + p[i] + p[i + 1]) / 3.0;
    }
    const Eigen::Vector3d centroid = firstMoment / area.norm(), push = kPressure * area;
    const auto [pressureForce, pressureMoment] = Resultant(c, c.pressureLoad);
    EXPECT_LT((pressureForce - push).norm(), 1e-12 * push.norm());
    if (c.name == "warped quad") continue;  // its bilinear surface is not the polygon
    EXPECT_LT((pressureMoment - centroid.cross(push)).norm(), 1e-11 * push.norm() * centroid.norm());
    const double mass = kSteel.density * kSteel.thickness * area.norm();
    const auto [weight, weightMoment] = Resultant(c, c.gravityLoad);
    EXPECT_LT((weight - mass * kGravity).norm(), 1e-12 * mass * kGravity.norm());
    EXPECT_LT((weightMoment - centroid.cross(mass * kGravity)).norm(),
              1e-11 * weight.norm() * centroid.norm());
    for (const Eigen::MatrixXd& m : {c.consistentMass, c.lumpedMass}) {
      for (int dof = 0; dof < 6; ++dof) {
        Eigen::VectorXd unit = Eigen::VectorXd::Zero(m.rows());
        for (std::size_t i = 0; i < p.size(); ++i) unit(6 * i + dof) = 1.0;
        const double t = kSteel.thickness, expected = dof < 3 ? mass : mass * t * t / 12.0;
        EXPECT_NEAR(unit.dot(m * unit), expected, 1e-12 * expected);
      }
    }
    EXPECT_TRUE(c.lumpedMass.isDiagonal(0.0));
    EXPECT_GT(Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(c.consistentMass).eigenvalues()(0), 0.0);
  }
}

TEST(ShellResults, SurfaceStressesFollowTheMomentSignConvention) {
  ShellResultants r;
  r.nx = 2000.0;  // n/t = 1e5
  r.mx = 60.0;    // 6 m/t^2 = 9e5, tension on top
  r.qy = 300.0;   // 1.5 q/t = 22500 at the middle
  const ShellPointResults s = ShellPointResultsFrom(r, 0.02);
  EXPECT_NEAR(s.top.sx, 1.0e6, 1e-6);
  EXPECT_NEAR(s.bottom.sx, -8.0e5, 1e-6);
  EXPECT_NEAR(s.top.vonMises, 1.0e6, 1e-6);
  EXPECT_EQ(s.top.syz, 0.0);
  EXPECT_NEAR(s.middle.vonMises, std::sqrt(1e10 + 3.0 * 22500.0 * 22500.0), 1e-6);
}

TEST(ShellElement, RejectsDegenerateInput) {
  const Eigen::Vector3d o(0, 0, 0), x(1, 0, 0), y(0, 1, 0), xy(1, 1, 0);
  ShellSection incompressible = kSteel;
  incompressible.poissonRatio = 0.5;
  const std::vector<std::pair<std::string, std::function<void()>>> cases = {
      {"reflex quad",
       [&] {
         ShellQuad4({o, x, Eigen::Vector3d(0.3, 0.3, 0), y}, kSteel);
       }},
      {"coincident corners",
       [&] {
         ShellQuad4({o, x, x, y}, kSteel);
       }},
      {"collinear triangle",
       [&] {
         ShellTri3({o, x, Eigen::Vector3d(2, 0, 0)}, kSteel);
       }},
      {"nu = 0.5",
       [&] {
         ShellQuad4({o, x, xy, y}, incompressible);
       }},
  };
  for (const auto& [name, make] : cases) {
    SCOPED_TRACE(name);
    EXPECT_THROW(make(), std::invalid_argument);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
