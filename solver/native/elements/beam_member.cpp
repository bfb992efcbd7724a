// Stiffness and fixed-end reactions of the rigidly attached Timoshenko member.
#include "solver/native/elements/beam_member.hpp"

#include <array>

namespace Kestrum::Quilm::Solver::Native {

namespace {

// Three-point Gauss-Legendre rule on [x0, x1]: exact for polynomials up to
// degree five, which covers every integrand here (a cubic moment from the
// linear load times a linear unit-load moment).
template <class Integrand>
auto GaussIntegrate(double x0, double x1, const Integrand& f) {
  static const std::array<double, 3> kPoints{-0.7745966692414834, 0.0, 0.7745966692414834};
  static const std::array<double, 3> kWeights{5.0 / 9.0, 8.0 / 9.0, 5.0 / 9.0};
  const double half = (x1 - x0) / 2.0, mid = (x0 + x1) / 2.0;
  auto sum = (f(mid + half * kPoints[0]) * kWeights[0]).eval();
  for (int i = 1; i < 3; ++i) sum += f(mid + half * kPoints[i]) * kWeights[i];
  return (sum * half).eval();
}

}  // namespace

Vector6 PrismaticMember::Compliance() const {
  const BeamSectionProperties& s = section_;
  Vector6 c;
  c << 1.0 / (s.E * s.A), s.Asy > 0.0 ? 1.0 / (s.G * s.Asy) : 0.0, s.Asz > 0.0 ? 1.0 / (s.G * s.Asz) : 0.0,
      1.0 / (s.G * s.It), 1.0 / (s.E * s.Iy), 1.0 / (s.E * s.Iz);
  return c;
}

PrismaticMember::PrismaticMember(const BeamSectionProperties& section, double L) : section_(section), L_(L) {
  // A unit tip load i gives section forces RigidTransfer(L - x)^T e_i, so the
  // tip flexibility is the integral of G C G^T (complementary energy).
  const Eigen::DiagonalMatrix<double, 6> c(Compliance());
  const Matrix6 flexibility = GaussIntegrate(0.0, L_, [&](double x) {
    const Matrix6 g = RigidTransfer(L_ - x);
    return (g * c * g.transpose()).eval();
  });
  tipStiffness_ = flexibility.inverse();
  tipStiffness_ = ((tipStiffness_ + tipStiffness_.transpose()) / 2.0).eval();
  // End forces X = K22 (u2 - G u1), start forces -G^T X by equilibrium.
  const Matrix6 g = RigidTransfer(L_);
  stiffness_.topLeftCorner<6, 6>() = g.transpose() * tipStiffness_ * g;
  stiffness_.topRightCorner<6, 6>() = -g.transpose() * tipStiffness_;
  stiffness_.bottomLeftCorner<6, 6>() = -tipStiffness_ * g;
  stiffness_.bottomRightCorner<6, 6>() = tipStiffness_;
}

Vector6 PrismaticMember::CantileverTipDisplacement(const BeamSpanLoads& loads) const {
  const Eigen::DiagonalMatrix<double, 6> c(Compliance());
  const std::vector<double> stations = LoadBreakpoints(loads, L_);
  Vector6 tip = Vector6::Zero();
  for (size_t i = 0; i + 1 < stations.size(); ++i) {
    tip += GaussIntegrate(stations[i], stations[i + 1], [&](double x) {
      return (RigidTransfer(L_ - x) * (c * LoadsBeyond(loads, L_, x, false))).eval();
    });
  }
  tip(kUx) += loads.eps0 * L_;
  return tip;
}

Vector12 PrismaticMember::FixedEndReactions(const BeamSpanLoads& loads) const {
  const Vector6 atEnd = -tipStiffness_ * CantileverTipDisplacement(loads);
  Vector12 reactions;
  reactions.head<6>() = -RigidTransfer(L_).transpose() * atEnd - LoadsBeyond(loads, L_, 0.0, true);
  reactions.tail<6>() = atEnd;
  return reactions;
}

}  // namespace Kestrum::Quilm::Solver::Native
