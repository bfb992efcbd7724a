// Helpers shared by the beam kernel tests: a section, a dense solve with
// supports removed, and relative comparisons.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "solver/native/elements/beam_types.hpp"

namespace Kestrum::Quilm::Solver::Native::Testing {

constexpr double kRelTol = 1e-9;

// A steel I-like section; the shear areas give phi of about 0.1-0.3 at L = 3.
inline BeamSectionProperties TestSection(bool shearFlexible) {
  BeamSectionProperties s;
  s.E = 2.1e11;
  s.G = 8.1e10;
  s.A = 5e-3;
  s.Iy = 8e-5;
  s.Iz = 2e-5;
  s.It = 3e-6;
  s.Asy = shearFlexible ? 2e-4 : 0.0;
  s.Asz = shearFlexible ? 1e-4 : 0.0;
  return s;
}

// Solves K u = f with the listed dofs held at zero.
inline Vector12 SolveSupported(const Matrix12& k, const Vector12& f, const std::vector<int>& fixed) {
  std::vector<int> free;
  for (int i = 0; i < 12; ++i)
    if (std::find(fixed.begin(), fixed.end(), i) == fixed.end()) free.push_back(i);
  const Eigen::MatrixXd kff = k(free, free);
  const Eigen::VectorXd ff = f(free);
  Vector12 u = Vector12::Zero();
  u(free) = Eigen::VectorXd(kff.ldlt().solve(ff));
  return u;
}

inline std::vector<int> StartDofs() { return {0, 1, 2, 3, 4, 5}; }
inline std::vector<int> AllDofs() { return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}; }

// |actual - expected| <= kRelTol * scale, scale defaulting to |expected|.
inline void ExpectClose(double actual, double expected, double scale = 0.0) {
  const double tol = kRelTol * (scale > 0.0 ? scale : std::abs(expected));
  EXPECT_NEAR(actual, expected, tol);
}

}  // namespace Kestrum::Quilm::Solver::Native::Testing
