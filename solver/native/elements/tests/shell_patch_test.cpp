// Patch tests (MacNeal & Harder, Finite Elem. Anal. Des. 1 (1985) 3-20: the
// irregular five-element patch, also cut into triangles and tilted out of
// the global axes), a cantilever strip against statics, and invariance of a
// whole mesh under a rigid rotation.
#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <string>

#include "solver/native/elements/tests/shell_test_model.hpp"

namespace Kestrum::Quilm::Solver::Native::ShellTesting {
namespace {

// Linear field in the patch plane: displacement and rotation vector at
// plane point (x, y), and the constant force and moment tensors it causes
// for E = 1e6, nu = 0.25, t = 0.001.
struct PlaneField {
  std::function<Eigen::Vector3d(double, double)> displacement, rotation;
  Eigen::Matrix2d forces, moments;
};

PlaneField MembraneField() {  // ex = ey = gxy = 1e-3
  const double n = 1e-3 * 1e6 * 0.001 / 0.75, nxy = 1e-3 * 0.4e6 * 0.001;
  return {[](double x, double y) { return Eigen::Vector3d(1e-3 * (x + y / 2), 1e-3 * (y + x / 2), 0.0); },
          [](double, double) { return Eigen::Vector3d(0, 0, 0); },
          (Eigen::Matrix2d() << n, nxy, nxy, n).finished(), Eigen::Matrix2d::Zero()};
}

PlaneField BendingField() {  // w = 1e-3 (x^2 + xy + y^2)/2, rx = w_y, ry = -w_x: kx = ky = kxy = -1e-3
  const double d = 1e6 * 1e-9 / (12.0 * 0.9375), m = -d * 1.25e-3, mxy = -d * 0.375e-3;
  return {[](double x, double y) { return Eigen::Vector3d(0.0, 0.0, 1e-3 * (x * x + x * y + y * y) / 2); },
          [](double x, double y) { return Eigen::Vector3d(1e-3 * (y + x / 2), -1e-3 * (x + y / 2), 0.0); },
          Eigen::Matrix2d::Zero(), (Eigen::Matrix2d() << m, mxy, mxy, m).finished()};
}

// The patch placed by `place`; its four outer corners carry the exact field.
ShellTestModel Patch(const Eigen::Matrix3d& place, bool triangles, const PlaneField& field) {
  const double xy[8][2] = {{0, 0},       {0.24, 0},    {0.24, 0.12}, {0, 0.12},
                           {0.04, 0.02}, {0.18, 0.03}, {0.16, 0.08}, {0.08, 0.08}};
  ShellTestModel model;
  model.section = ShellSection{1e6, 0.25, 0.001, 0.0};
  for (const auto& p : xy) model.nodes.push_back(place * Eigen::Vector3d(p[0], p[1], 0.0));
  for (const std::array<int, 4>& q :
       {std::array<int, 4>{0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}, {4, 5, 6, 7}}) {
    if (triangles)
      model.triangles.insert(model.triangles.end(), {{q[0], q[1], q[2]}, {q[0], q[2], q[3]}});
    else
      model.quads.push_back(q);
  }
  for (int v = 0; v < 4; ++v)
    for (int k = 0; k < 3; ++k) {
      model.prescribed[6 * v + k] = (place * field.displacement(xy[v][0], xy[v][1]))(k);
      model.prescribed[6 * v + 3 + k] = (place * field.rotation(xy[v][0], xy[v][1]))(k);
    }
  return model;
}

void ExpectResultants(const ShellResultants& r, const Eigen::Matrix2d& n, const Eigen::Matrix2d& m) {
  const double nTol = 1e-9, mTol = 1e-16;  // of forces ~1.3, moments ~1e-7
  EXPECT_NEAR(r.nx, n(0, 0), nTol);
  EXPECT_NEAR(r.ny, n(1, 1), nTol);
  EXPECT_NEAR(r.nxy, n(0, 1), nTol);
  EXPECT_NEAR(r.mx, m(0, 0), mTol);
  EXPECT_NEAR(r.my, m(1, 1), mTol);
  EXPECT_NEAR(r.mxy, m(0, 1), mTol);
  EXPECT_NEAR(r.qx, 0.0, 1e3 * mTol);
  EXPECT_NEAR(r.qy, 0.0, 1e3 * mTol);
}

TEST(ShellPatch, ConstantMembraneAndBendingStatesAreExact) {
  const Eigen::Matrix3d tilted =
      Eigen::AngleAxisd(1.1, Eigen::Vector3d(0.3, -1, 0.5).normalized()).toRotationMatrix();
  for (bool bending : {false, true}) {
    for (bool triangles : {false, true}) {
      for (const Eigen::Matrix3d& place : {Eigen::Matrix3d::Identity().eval(), tilted}) {
        SCOPED_TRACE(std::string(bending ? "bending" : "membrane") + (triangles ? ", triangles" : ", quads") +
                     (place.isIdentity() ? ", x-y plane" : ", tilted"));
        const PlaneField field = bending ? BendingField() : MembraneField();
        const ShellTestModel model = Patch(place, triangles, field);
        const Eigen::VectorXd u = model.Solve();
        for (int v = 4; v < 8; ++v) {
          const Eigen::Vector3d p = place.transpose() * model.nodes[v];
          EXPECT_LT((u.segment<3>(6 * v) - place * field.displacement(p.x(), p.y())).norm(), 1e-12);
          EXPECT_LT((u.segment<3>(6 * v + 3) - place * field.rotation(p.x(), p.y())).norm(), 1e-10);
        }
        model.VisitResults(u, [&](const ShellElementResults& results, const ShellFrame& frame) {
          const Eigen::Matrix2d a = (frame.axes * place).topLeftCorner<2, 2>();  // plane -> local axes
          const Eigen::Matrix2d n = a * field.forces * a.transpose(), m = a * field.moments * a.transpose();
          ExpectResultants(results.centre.resultants, n, m);
          for (const ShellPointResults& corner : results.corners) ExpectResultants(corner.resultants, n, m);
        });
      }
    }
  }
}

// Cantilever strip along x (length 1, width 0.2, nu 0), unit upward tip
// force: statics gives mx = -(1 - x)/0.2 (top in compression) and
// qx = dmx/dx = 1/0.2. The quads' assumed shear must match per element; the
// triangles' shears are rough element estimates (DKT), held to sign and
// size away from the clamp and the load.
TEST(ShellMesh, CantileverStripRecoversBeamMomentAndShear) {
  const double shear = 5.0;
  for (bool triangles : {false, true}) {
    SCOPED_TRACE(triangles ? "triangles" : "quads");
    auto place = [](double s, double r) { return Eigen::Vector3d(s, 0.2 * r, 0.0); };
    ShellTestModel model = GridModel(10, 2, place, ShellSection{1e7, 0.0, 0.01, 0.0}, triangles);
    model.FixGrid([](int i, int) { return i == 0; }, kAllDofs);
    for (int j = 0; j <= 2; ++j) model.AddForce(model.GridNode(10, j), 2, j == 1 ? 0.5 : 0.25);
    model.VisitResults(model.Solve(), [&](const ShellElementResults& r, const ShellFrame& frame) {
      const Eigen::Matrix2d a = frame.axes.topLeftCorner<2, 2>();  // global x-y -> local
      const ShellResultants& c = r.centre.resultants;
      const double mx =
          (a.transpose() * (Eigen::Matrix2d() << c.mx, c.mxy, c.mxy, c.my).finished() * a)(0, 0);
      const double qx = (a.transpose() * Eigen::Vector2d(c.qx, c.qy)).x(), x = frame.origin.x();
      EXPECT_NEAR(mx, -(1.0 - x) * shear, 0.03 * shear);
      EXPECT_LT(r.centre.top.sx * mx / c.mx, 0.0);  // compression on top, whatever the local axes
      if (!triangles || (x > 0.1 && x < 0.9)) {
        EXPECT_NEAR(qx, shear, (triangles ? 0.25 : 0.03) * shear);
      }
    });
  }
}

// A twisted strip (z = 0.15 x y + 0.05 x^2) of warped quads with every third
// cut into triangles, clamped at x = 0, under pressure, gravity and a tip
// force, all turned by `rotation`.
ShellTestModel TwistedStrip(const Eigen::Matrix3d& rotation) {
  auto place = [&](double s, double r) {
    const double x = 1.2 * s, y = 0.4 * r;
    return Eigen::Vector3d(rotation * Eigen::Vector3d(x, y, 0.15 * x * y + 0.05 * x * x));
  };
  ShellTestModel model = GridModel(6, 3, place, ShellSection{70e9, 0.33, 0.004, 2700.0}, false);
  for (std::size_t e = model.quads.size(); e-- > 0;) {
    if (e % 3 != 0) continue;
    const auto q = model.quads[e];
    model.triangles.insert(model.triangles.end(), {{q[0], q[1], q[3]}, {q[1], q[2], q[3]}});
    model.quads.erase(model.quads.begin() + e);
  }
  model.FixGrid([](int i, int) { return i == 0; }, kAllDofs);
  const Eigen::Vector3d g = rotation * Eigen::Vector3d(0, 0, -9.81),
                        tip = rotation * Eigen::Vector3d(20, -35, 50);
  model.AddElementLoads([&](const ShellQuad4& e) -> ShellQuad4::Vector { return e.PressureLoad(800.0) + e.BodyLoad(g); },
                        [&](const ShellTri3& e) -> ShellTri3::Vector { return e.PressureLoad(800.0) + e.BodyLoad(g); });
  for (int k = 0; k < 3; ++k) model.AddForce(model.GridNode(6, 3), k, tip(k));
  return model;
}

TEST(ShellMesh, ResultsUnchangedByRigidRotation) {
  const Eigen::Matrix3d rotation =
      Eigen::AngleAxisd(2.2, Eigen::Vector3d(-0.4, 0.8, 0.45).normalized()).toRotationMatrix();
  const ShellTestModel original = TwistedStrip(Eigen::Matrix3d::Identity()), rotated = TwistedStrip(rotation);
  const Eigen::VectorXd u = original.Solve(), ur = rotated.Solve();
  for (int block = 0; block < 2 * static_cast<int>(original.nodes.size()); ++block)
    EXPECT_LT((ur.segment<3>(3 * block) - rotation * u.segment<3>(3 * block)).norm(),
              1e-9 * u.cwiseAbs().maxCoeff());
  std::vector<ShellElementResults> expected;
  original.VisitResults(u, [&](const ShellElementResults& r, const ShellFrame&) { expected.push_back(r); });
  std::size_t e = 0;
  rotated.VisitResults(ur, [&](const ShellElementResults& r, const ShellFrame&) {
    // A thin shell's solve (stiffness ratios ~1e10) leaves round-off ~1e-8.
    const ShellResultants &a = expected[e].corners[1].resultants, &b = r.corners[1].resultants;
    EXPECT_NEAR(a.nx, b.nx, 1e-6 * std::abs(a.nx));
    EXPECT_NEAR(a.mxy, b.mxy, 1e-6 * std::abs(a.mxy));
    EXPECT_NEAR(a.qy, b.qy, 1e-6 * std::abs(a.qy));
    EXPECT_NEAR(expected[e].centre.top.vonMises, r.centre.top.vonMises, 1e-6 * r.centre.top.vonMises);
    ++e;
  });
  EXPECT_EQ(e, expected.size());
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native::ShellTesting
