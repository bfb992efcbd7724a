// Surface stresses of a shell section from its stress resultants.
#include "solver/native/elements/shell_results.hpp"

#include <cmath>

namespace Kestrum::Quilm::Solver::Native {

namespace {

ShellSurfaceStress StressAt(const ShellResultants& r, double t, double z, bool withTransverseShear) {
  const double membrane = 1.0 / t, bending = 12.0 * z / (t * t * t);
  ShellSurfaceStress s;
  s.sx = r.nx * membrane + r.mx * bending;
  s.sy = r.ny * membrane + r.my * bending;
  s.sxy = r.nxy * membrane + r.mxy * bending;
  if (withTransverseShear) {
    s.sxz = 1.5 * r.qx / t;
    s.syz = 1.5 * r.qy / t;
  }
  s.vonMises = std::sqrt(s.sx * s.sx - s.sx * s.sy + s.sy * s.sy +
                         3.0 * (s.sxy * s.sxy + s.sxz * s.sxz + s.syz * s.syz));
  return s;
}

}  // namespace

ShellPointResults ShellPointResultsFrom(const ShellResultants& resultants, double thickness) {
  ShellPointResults p;
  p.resultants = resultants;
  p.top = StressAt(resultants, thickness, 0.5 * thickness, false);
  p.middle = StressAt(resultants, thickness, 0.0, true);
  p.bottom = StressAt(resultants, thickness, -0.5 * thickness, false);
  return p;
}

}  // namespace Kestrum::Quilm::Solver::Native
