// Patch tests (MacNeal & Harder, Finite Elem. Anal. Des. 1 (1985) 3-20: the
// irregular five-element patch, here also cut into triangles and tilted out
// of the global axes) and invariance of a whole mesh under rigid rotation.
#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <string>

#include "solver/native/elements/tests/shell_test_model.hpp"

namespace Kestrum::Quilm::Solver::Native::ShellTesting {
namespace {

// A linear field in the patch plane: displacement (u, v, w) and rotation
// vector (rx, ry, rz) at plane point (x, y); constant resultant tensors.
struct PlaneField {
  std::function<Eigen::Vector3d(double, double)> displacement, rotation;
  Eigen::Matrix2d forces, moments;
};

const ShellSection kPatchSection{1.0e6, 0.25, 0.001, 0.0};

PlaneField MembraneField() {
  // u = 1e-3 (x + y/2), v = 1e-3 (y + x/2): ex = ey = gxy = 1e-3, no rotation.
  const double nxx = 1.0e-3 * 1.0e6 * 0.001 / 0.75, nxy = 1.0e-3 * 0.4e6 * 0.001;
  return {[](double x, double y) { return Eigen::Vector3d(1e-3 * (x + y / 2), 1e-3 * (y + x / 2), 0.0); },
          [](double, double) { return Eigen::Vector3d::Zero().eval(); },
          (Eigen::Matrix2d() << nxx, nxy, nxy, nxx).finished(), Eigen::Matrix2d::Zero()};
}

PlaneField BendingField() {
  // w = 1e-3 (x^2 + xy + y^2)/2: rx = w_y, ry = -w_x; kx = ky = kxy = -1e-3.
  const double d = 1.0e6 * 1e-9 / (12.0 * (1.0 - 0.0625));
  const double mxx = -d * 1.25e-3, mxy = -d * 0.375 * 1e-3;
  return {[](double x, double y) { return Eigen::Vector3d(0.0, 0.0, 1e-3 * (x * x + x * y + y * y) / 2); },
          [](double x, double y) { return Eigen::Vector3d(1e-3 * (y + x / 2), -1e-3 * (x + y / 2), 0.0); },
          Eigen::Matrix2d::Zero(), (Eigen::Matrix2d() << mxx, mxy, mxy, mxx).finished()};
}

// The patch's corners 0-3 carry the exact field; nodes 4-7 are free.
ShellTestModel Patch(const Eigen::Matrix3d& place, bool triangles, const PlaneField& field) {
  const double xy[8][2] = {{0, 0},       {0.24, 0},    {0.24, 0.12}, {0, 0.12},
                           {0.04, 0.02}, {0.18, 0.03}, {0.16, 0.08}, {0.08, 0.08}};
  const std::array<int, 4> quads[5] = {{0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}, {4, 5, 6, 7}};
  ShellTestModel model;
  model.section = kPatchSection;
  for (const auto& p : xy) model.nodes.push_back(place * Eigen::Vector3d(p[0], p[1], 0.0));
  for (const auto& q : quads) {
    if (!triangles) model.quads.push_back(q);
    if (triangles) model.triangles.push_back({q[0], q[1], q[2]});
    if (triangles) model.triangles.push_back({q[0], q[2], q[3]});
  }
  for (int v = 0; v < 4; ++v) {
    const Eigen::Vector3d u = place * field.displacement(xy[v][0], xy[v][1]);
    const Eigen::Vector3d r = place * field.rotation(xy[v][0], xy[v][1]);
    for (int k = 0; k < 3; ++k) model.Prescribe(v, k, u(k)), model.Prescribe(v, 3 + k, r(k));
  }
  return model;
}

// The exact plane tensor in the element's local axes.
Eigen::Matrix2d InLocalAxes(const Eigen::Matrix2d& planeTensor, const ShellFrame& frame, const Eigen::Matrix3d& place) {
  const Eigen::Matrix<double, 2, 2> a = (frame.axes * place).topLeftCorner<2, 2>();
  return a * planeTensor * a.transpose();
}

void ExpectResults(const ShellPointResults& p, const Eigen::Matrix2d& n, const Eigen::Matrix2d& m) {
  const ShellResultants& r = p.resultants;
  EXPECT_NEAR(r.nx, n(0, 0), 1e-9 * 1.34);
  EXPECT_NEAR(r.ny, n(1, 1), 1e-9 * 1.34);
  EXPECT_NEAR(r.nxy, n(0, 1), 1e-9 * 1.34);
  EXPECT_NEAR(r.mx, m(0, 0), 1e-9 * 1.2e-7);
  EXPECT_NEAR(r.my, m(1, 1), 1e-9 * 1.2e-7);
  EXPECT_NEAR(r.mxy, m(0, 1), 1e-9 * 1.2e-7);
  EXPECT_NEAR(r.qx, 0.0, 1e-9 * 1.2e-7 / 0.01);
  EXPECT_NEAR(r.qy, 0.0, 1e-9 * 1.2e-7 / 0.01);
}

TEST(ShellPatch, ConstantMembraneAndBendingStatesAreExact) {
  const Eigen::Matrix3d tilted = Eigen::AngleAxisd(1.1, Eigen::Vector3d(0.3, -1.0, 0.5).normalized()).toRotationMatrix();
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
        auto check = [&](const ShellElementResults& results, const ShellFrame& frame) {
          const Eigen::Matrix2d n = InLocalAxes(field.forces, frame, place);
          const Eigen::Matrix2d m = InLocalAxes(field.moments, frame, place);
          ExpectResults(results.centre, n, m);
          for (const ShellPointResults& corner : results.corners) ExpectResults(corner, n, m);
        };
        for (std::size_t e = 0; e < model.quads.size(); ++e)
          check(model.Quad(e).Results(ShellTestModel::Gather(model.quads[e], u)), model.Quad(e).Frame());
        for (std::size_t e = 0; e < model.triangles.size(); ++e)
          check(model.Triangle(e).Results(ShellTestModel::Gather(model.triangles[e], u)),
                model.Triangle(e).Frame());
      }
    }
  }
}

// Cantilever strip along x (length 1, width 0.2, nu 0) with a unit upward
// tip force: statics gives mx = -(1 - x)/0.2 (top in compression) and
// qx = dmx/dx = 1/0.2 at every section. The quads' assumed shear must match
// per element; the triangles' shears are element estimates from the
// gradient of the DKT moment field, held to sign and rough size away from
// the clamp and the load.
TEST(ShellMesh, CantileverStripRecoversBeamMomentAndShear) {
  const double width = 0.2, shear = 1.0 / width;
  for (bool triangles : {false, true}) {
    SCOPED_TRACE(triangles ? "triangles" : "quads");
    auto place = [&](double s, double r) { return Eigen::Vector3d(s, width * r, 0.0); };
    ShellTestModel model = GridModel(10, 2, place, ShellSection{1e7, 0.0, 0.01, 0.0}, triangles);
    ForGridNodes(10, 2, [](int i, int) { return i == 0; }, [&](int v) { model.Fix(v, {0, 1, 2, 3, 4, 5}); });
    for (int j = 0; j <= 2; ++j) model.AddForce(11 * j + 10, 2, j == 1 ? 0.5 : 0.25);
    const Eigen::VectorXd u = model.Solve();
    auto check = [&](const ShellElementResults& r, const ShellFrame& frame) {
      const Eigen::Matrix2d a = frame.axes.topLeftCorner<2, 2>();  // local x, y in global x, y
      const ShellResultants& c = r.centre.resultants;
      const Eigen::Matrix2d m = a.transpose() * (Eigen::Matrix2d() << c.mx, c.mxy, c.mxy, c.my).finished() * a;
      const Eigen::Vector2d q = a.transpose() * Eigen::Vector2d(c.qx, c.qy);
      const double x = frame.origin.x();
      EXPECT_NEAR(m(0, 0), -(1.0 - x) * shear, 0.03 * shear);
      EXPECT_LT(r.centre.top.sx * m(0, 0) / c.mx, 0.0);  // compression on top, in any local axes
      if (!triangles) EXPECT_NEAR(q.x(), shear, 0.03 * shear);
      if (triangles && x > 0.1 && x < 0.9) EXPECT_NEAR(q.x(), shear, 0.25 * shear);
    };
    for (std::size_t e = 0; e < model.quads.size(); ++e)
      check(model.Quad(e).Results(ShellTestModel::Gather(model.quads[e], u)), model.Quad(e).Frame());
    for (std::size_t e = 0; e < model.triangles.size(); ++e)
      check(model.Triangle(e).Results(ShellTestModel::Gather(model.triangles[e], u)), model.Triangle(e).Frame());
  }
}

// A twisted (hyperbolic paraboloid) strip of warped quads and triangles,
// clamped at one end, under pressure, gravity and a tip force.
ShellTestModel TwistedStrip(const Eigen::Matrix3d& rotation) {
  const ShellSection section{70e9, 0.33, 0.004, 2700.0};
  auto place = [&](double s, double r) {
    const double x = 1.2 * s, y = 0.4 * r;
    return Eigen::Vector3d(rotation * Eigen::Vector3d(x, y, 0.15 * x * y + 0.05 * x * x));
  };
  ShellTestModel model = GridModel(6, 3, place, section, false);
  for (std::size_t e = 0; e < model.quads.size(); e += 3) {  // every third quad as two triangles
    const auto q = model.quads[e];
    model.triangles.push_back({q[0], q[1], q[3]});
    model.triangles.push_back({q[1], q[2], q[3]});
  }
  for (std::size_t e = model.quads.size(); e-- > 0;)
    if (e % 3 == 0) model.quads.erase(model.quads.begin() + e);
  ForGridNodes(6, 3, [](int i, int) { return i == 0; }, [&](int v) { model.Fix(v, {0, 1, 2, 3, 4, 5}); });
  const Eigen::Vector3d g = rotation * Eigen::Vector3d(0.0, 0.0, -9.81);
  model.AddElementLoads([&](const ShellQuad4& e) { return e.PressureLoad(800.0) + e.BodyLoad(g); },
                        [&](const ShellTri3& e) { return e.PressureLoad(800.0) + e.BodyLoad(g); });
  const Eigen::Vector3d tip = rotation * Eigen::Vector3d(20.0, -35.0, 50.0);
  for (int k = 0; k < 3; ++k) model.AddForce(6 * 4 - 1 /* node (6, 3) */, k, tip(k));
  return model;
}

TEST(ShellMesh, ResultsUnchangedByRigidRotation) {
  const Eigen::Matrix3d rotation =
      Eigen::AngleAxisd(2.2, Eigen::Vector3d(-0.4, 0.8, 0.45).normalized()).toRotationMatrix();
  const ShellTestModel original = TwistedStrip(Eigen::Matrix3d::Identity());
  const ShellTestModel rotated = TwistedStrip(rotation);
  const Eigen::VectorXd u = original.Solve(), ur = rotated.Solve();
  const double scale = u.cwiseAbs().maxCoeff();
  for (int v = 0; v < static_cast<int>(original.nodes.size()); ++v)
    for (int block = 0; block < 2; ++block)
      EXPECT_LT((ur.segment<3>(6 * v + 3 * block) - rotation * u.segment<3>(6 * v + 3 * block)).norm(), 1e-9 * scale);
  auto same = [](const ShellElementResults& a, const ShellElementResults& b) {
    const ShellResultants &ra = a.corners[1].resultants, &rb = b.corners[1].resultants;
    // Round-off of a thin shell's solve (stiffness ratios of ~1e10) is ~1e-8.
    EXPECT_NEAR(ra.nx, rb.nx, 1e-6 * std::abs(ra.nx));
    EXPECT_NEAR(ra.mxy, rb.mxy, 1e-6 * std::abs(ra.mxy));
    EXPECT_NEAR(ra.qy, rb.qy, 1e-6 * std::abs(ra.qy));
    EXPECT_NEAR(a.centre.top.vonMises, b.centre.top.vonMises, 1e-6 * a.centre.top.vonMises);
  };
  for (std::size_t e = 0; e < original.quads.size(); ++e)
    same(original.Quad(e).Results(ShellTestModel::Gather(original.quads[e], u)),
         rotated.Quad(e).Results(ShellTestModel::Gather(rotated.quads[e], ur)));
  for (std::size_t e = 0; e < original.triangles.size(); ++e)
    same(original.Triangle(e).Results(ShellTestModel::Gather(original.triangles[e], u)),
         rotated.Triangle(e).Results(ShellTestModel::Gather(rotated.triangles[e], ur)));
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native::ShellTesting
