// Stiffness, equivalent loads, releases and mass of the beam element against
// closed-form results for cantilevers and clamped members.
#include "solver/native/elements/beam_element.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "solver/native/elements/beam_mass.hpp"
#include "solver/native/elements/tests/beam_test_support.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

using namespace Testing;

constexpr double L = 3.0;

// One bending plane: its transverse and rotation dofs, its I and shear area,
// and the sign relating rotation to slope (rz = +dv/dx, ry = -dw/dx).
struct Plane {
  const char* name;
  int w, theta;
  double sign;
  double I(const BeamSectionProperties& s) const { return w == kUy ? s.Iz : s.Iy; }
  double As(const BeamSectionProperties& s) const { return w == kUy ? s.Asy : s.Asz; }
  double Phi(const BeamSectionProperties& s) const {
    return As(s) > 0.0 ? 12.0 * s.E * I(s) / (s.G * As(s) * L * L) : 0.0;
  }
};
const Plane kPlanes[] = {{"x-y", kUy, kRz, 1.0}, {"x-z", kUz, kRy, -1.0}};

TEST(BeamElementTest, CantileverTipUnderForceAndMoment) {
  const double P = 1.7e4, M = 2.3e4;
  for (const Plane& plane : kPlanes) {
    for (bool shear : {false, true}) {
      SCOPED_TRACE(std::string(plane.name) + (shear ? " Timoshenko" : " Euler-Bernoulli"));
      const BeamSectionProperties s = TestSection(shear);
      const double EI = s.E * plane.I(s), GAs = shear ? s.G * plane.As(s) : INFINITY;
      const BeamElement beam(L, s);
      Vector12 f = Vector12::Zero();
      f(6 + plane.w) = P;
      Vector12 u = SolveSupported(beam.Stiffness(), f, StartDofs());
      ExpectClose(u(6 + plane.w), P * L * L * L / (3 * EI) + P * L / GAs);
      ExpectClose(u(6 + plane.theta), plane.sign * P * L * L / (2 * EI));
      f.setZero();
      f(6 + plane.theta) = M;
      u = SolveSupported(beam.Stiffness(), f, StartDofs());
      ExpectClose(u(6 + plane.w), plane.sign * M * L * L / (2 * EI));
      ExpectClose(u(6 + plane.theta), M * L / EI);
    }
  }
}

TEST(BeamElementTest, CantileverTipUnderAxialForceAndTorque) {
  const BeamSectionProperties s = TestSection(true);
  Vector12 f = Vector12::Zero();
  f(6 + kUx) = 3.1e5;
  f(6 + kRx) = 4.2e3;
  const Vector12 u = SolveSupported(BeamElement(L, s).Stiffness(), f, StartDofs());
  ExpectClose(u(6 + kUx), 3.1e5 * L / (s.E * s.A));
  ExpectClose(u(6 + kRx), 4.2e3 * L / (s.G * s.It));
}

// Reactions of a member loaded towards -w: upward shears and hogging moments
// (magnitudes), read from the negated equivalent nodal loads.
struct Reactions {
  double VA, MA, VB, MB;
};
Reactions ReadReactions(const Plane& plane, const Vector12& nodalLoads) {
  const Vector12 r = -nodalLoads;
  return {r(plane.w), plane.sign * r(plane.theta), r(6 + plane.w), -plane.sign * r(6 + plane.theta)};
}
void ExpectReactions(const Reactions& actual, const Reactions& expected, double scaleV, double scaleM) {
  ExpectClose(actual.VA, expected.VA, scaleV);
  ExpectClose(actual.MA, expected.MA, scaleM);
  ExpectClose(actual.VB, expected.VB, scaleV);
  ExpectClose(actual.MB, expected.MB, scaleM);
}

// Downward load of total W with moment Wd about B: shears from statics.
Reactions WithShears(double MA, double MB, double W, double Wd) {
  const double VA = (Wd + MA - MB) / L;
  return {VA, MA, W - VA, MB};
}

TEST(BeamElementTest, ClampedMemberFixedEndForces) {
  const double q = 1.2e4, P = 5.0e4, a = 0.8, b = L - a;
  for (const Plane& plane : kPlanes) {
    for (bool shear : {false, true}) {
      const BeamSectionProperties s = TestSection(shear);
      const double phi = plane.Phi(s);
      const BeamElement beam(L, s);
      BeamSpanLoads uniform, triangle, point;
      uniform.q0(plane.w) = uniform.q1(plane.w) = -q;
      triangle.q1(plane.w) = -q;
      point.points.push_back({a, Eigen::Vector3d::Unit(plane.w) * -P, Eigen::Vector3d::Zero()});
      const struct {
        const char* name;
        const BeamSpanLoads& loads;
        Reactions expected;
      } cases[] = {
          {"uniform", uniform, WithShears(q * L * L / 12, q * L * L / 12, q * L, q * L * L / 2)},
          {"triangle", triangle,
           WithShears(q * L * L / 30 * (1 + 1.25 * phi) / (1 + phi),
                      q * L * L / 20 * (1 + phi * 5 / 6) / (1 + phi), q * L / 2, q * L * L / 6)},
          {"point", point,
           WithShears(P * a * b * (b + phi * L / 2) / (L * L * (1 + phi)),
                      P * a * b * (a + phi * L / 2) / (L * L * (1 + phi)), P, P * b)},
      };
      for (const auto& c : cases) {
        SCOPED_TRACE(std::string(plane.name) + " " + c.name + (shear ? " Timoshenko" : ""));
        ExpectReactions(ReadReactions(plane, beam.EquivalentNodalLoads(c.loads)), c.expected, q * L,
                        q * L * L);
      }
    }
  }
}

TEST(BeamElementTest, ReleasesAndPartialFixityUnderUniformLoad) {
  const Plane& plane = kPlanes[1];
  const double q = 1.2e4, rA = 0.6, rB = 0.3;
  const double phi = plane.Phi(TestSection(true));
  auto fixity = [](int dof, double start, double end) {
    BeamEndFixity f;
    f.start[dof] = start;
    f.end[dof] = end;
    return f;
  };
  const struct {
    const char* name;
    bool shear;
    BeamEndFixity fixity;
    double MA, MB;
  } cases[] = {
      {"propped", false, fixity(kRy, 1, 0), q * L * L / 8, 0},
      {"propped Timoshenko", true, fixity(kRy, 1, 0), q * L * L / 8 / (1 + phi / 4), 0},
      {"guided end (translation released)", true, fixity(kUz, 1, 0), q * L * L / 3, -q * L * L / 6},
      {"Monforton-Wu fixity", false, fixity(kRy, rA, rB), q * L * L / 4 * rA * (2 - rB) / (4 - rA * rB),
       q * L * L / 4 * rB * (2 - rA) / (4 - rA * rB)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const BeamElement beam(L, TestSection(c.shear), c.fixity);
    BeamSpanLoads loads;
    loads.q0.z() = loads.q1.z() = -q;
    ExpectReactions(ReadReactions(plane, beam.EquivalentNodalLoads(loads)),
                    WithShears(c.MA, c.MB, q * L, q * L * L / 2), q * L, q * L * L);
  }
  // The rotational stiffness of the partially fixed member (Monforton and Wu).
  const BeamSectionProperties s = TestSection(false);
  const BeamElement semiRigid(L, s, fixity(kRy, rA, rB));
  ExpectClose(semiRigid.Stiffness()(kRy, kRy), 4 * s.E * s.Iy / L * 3 * rA / (4 - rA * rB));
}

TEST(BeamElementTest, MechanismReleasesAndInvalidInputsThrow) {
  auto released = [](std::vector<int> dofs) {
    BeamEndFixity f;
    for (int dof : dofs) (dof < 6 ? f.start[dof] : f.end[dof - 6]) = 0.0;
    return f;
  };
  const struct {
    BeamEndFixity fixity;
    const char* named;
  } cases[] = {
      {released({kRx, 6 + kRx}), "start rx, end rx"},
      {released({kUx, 6 + kUx}), "start ux, end ux"},
      {released({kUy, 6 + kUy}), "start uy, end uy"},
      {released({kRy, 6 + kUz, 6 + kRy}), "start ry, end uz, end ry"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named);
    try {
      BeamElement(L, TestSection(true), c.fixity);
      ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
    }
  }
  EXPECT_NO_THROW(BeamElement(L, TestSection(true), released({kRy, 6 + kRy, kRz, 6 + kRz})));
  EXPECT_THROW(BeamElement(0.0, TestSection(true)), std::invalid_argument);
  BeamEndFixity tooStiff;
  tooStiff.end[kRy] = 1.5;
  EXPECT_THROW(BeamElement(L, TestSection(true), tooStiff), std::invalid_argument);
  BeamSpanLoads beyondTheEnd;
  beyondTheEnd.points.push_back({1.01 * L, Eigen::Vector3d::UnitZ(), Eigen::Vector3d::Zero()});
  EXPECT_THROW(BeamElement(L, TestSection(true)).EquivalentNodalLoads(beyondTheEnd), std::invalid_argument);
}

TEST(BeamElementTest, InitialStrainClampedAndFree) {
  const BeamSectionProperties s = TestSection(true);
  const BeamElement beam(L, s);
  BeamSpanLoads loads;
  loads.eps0 = 1.2e-4;
  const Vector6 clamped = beam.SectionForces({L / 3}, Vector12::Zero(), loads);
  ExpectClose(clamped(kN), -s.E * s.A * loads.eps0);
  std::vector<int> fixed = AllDofs();
  fixed.erase(fixed.begin() + 6);  // end free to slide along x
  const Vector12 u = SolveSupported(beam.Stiffness(), beam.EquivalentNodalLoads(loads), fixed);
  ExpectClose(u(6 + kUx), loads.eps0 * L);
  ExpectClose(beam.SectionForces({L / 3}, u, loads)(kN), 0.0, s.E * s.A * loads.eps0);
}

TEST(BeamElementTest, FreeElementHasExactlySixRigidModes) {
  BeamEndFixity springs;
  springs.start = {1, 0.5, 1, 0.7, 0.2, 0.9};
  springs.end = {0.4, 1, 0.6, 1, 0.3, 0.1};
  for (const BeamEndFixity& fixity : {BeamEndFixity{}, springs}) {
    const Matrix12 k = BeamElement(L, TestSection(true), fixity).Stiffness();
    EXPECT_LE((k - k.transpose()).norm(), 1e-14 * k.norm());
    const Vector12 scale = k.diagonal().cwiseSqrt().cwiseInverse();
    const Eigen::SelfAdjointEigenSolver<Matrix12> eigen(scale.asDiagonal() * k * scale.asDiagonal());
    const Vector12 lambda = eigen.eigenvalues();
    int zero = 0;
    for (int i = 0; i < 12; ++i) zero += lambda(i) < 1e-10 * lambda.maxCoeff();
    EXPECT_EQ(zero, 6);
    EXPECT_GT(lambda.minCoeff(), -1e-10 * lambda.maxCoeff());
  }
}

TEST(BeamElementTest, MassOfRigidMotions) {
  const BeamSectionProperties s = TestSection(false);
  const double rho = 7850, m = rho * s.A * L;
  Vector12 shift = Vector12::Zero(), turnY = Vector12::Zero(), turnZ = Vector12::Zero(),
           twist = Vector12::Zero();
  shift(kUy) = shift(6 + kUy) = 1;
  turnY(kRy) = turnY(6 + kRy) = 1, turnY(6 + kUz) = -L;  // about y through the start
  turnZ(kRz) = turnZ(6 + kRz) = 1, turnZ(6 + kUy) = L;
  twist(kRx) = twist(6 + kRx) = 1;
  const struct {
    const char* name;
    BeamMassForm form;
    const Vector12& motion;
    double expected;  // twice the kinetic energy at unit rate
  } cases[] = {
      {"consistent shift", BeamMassForm::Consistent, shift, m},
      {"consistent turn y", BeamMassForm::Consistent, turnY, m * L * L / 3},
      {"consistent turn z", BeamMassForm::Consistent, turnZ, m * L * L / 3},
      {"consistent twist", BeamMassForm::Consistent, twist, rho * (s.Iy + s.Iz) * L},
      {"lumped shift", BeamMassForm::Lumped, shift, m},
      {"lumped turn y", BeamMassForm::Lumped, turnY, m * L * L / 2 + rho * s.Iy * L},
      {"lumped twist", BeamMassForm::Lumped, twist, rho * (s.Iy + s.Iz) * L},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Matrix12 mass = BeamMassMatrix(s, L, rho, c.form);
    EXPECT_EQ(mass, mass.transpose());
    ExpectClose(c.motion.dot(mass * c.motion), c.expected);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
