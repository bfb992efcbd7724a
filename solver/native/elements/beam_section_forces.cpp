// Section-force diagrams of a beam by statics, and their extremes.
#include "solver/native/elements/beam_section_forces.hpp"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace Kestrum::Quilm::Solver::Native {

Vector6 SectionForcesAt(const BeamSpanLoads& loads, double L, const Vector12& endForces,
                        const BeamStation& station) {
  const double x = station.x;
  if (!(x >= 0.0 && x <= L)) throw std::invalid_argument("beam section forces: station outside [0, L]");
  // The part [x, L] is in equilibrium under the end force, the loads on it
  // and the reaction of the cut face, which is minus the section force.
  const Vector6 fromEnd = RigidTransfer(L - x).transpose() * endForces.tail<6>();
  return fromEnd + LoadsBeyond(loads, L, x, station.side == CutSide::Before);
}

namespace {

// Roots in (0, 1) of the quadratic through (0, v0), (1/2, vm), (1, v1).
std::vector<double> QuadraticRootsInside(double v0, double vm, double v1) {
  const double a = 2.0 * v0 - 4.0 * vm + 2.0 * v1, b = v1 - v0 - a, c = v0;
  const double scale = std::abs(v0) + std::abs(vm) + std::abs(v1), tiny = 1e-12 * scale;
  std::vector<double> roots;
  if (std::abs(a) <= tiny) {
    if (std::abs(b) > tiny) roots.push_back(-c / b);
  } else {
    const double disc = b * b - 4.0 * a * c;
    if (disc < 0.0) return {};
    const double q = -(b + std::copysign(std::sqrt(disc), b)) / 2.0;  // no cancellation
    roots.push_back(q / a);
    if (q != 0.0) roots.push_back(c / q);
  }
  std::vector<double> inside;
  for (double t : roots)
    if (t > 0.0 && t < 1.0) inside.push_back(t);
  return inside;
}

// Zeros of shear component `shear` strictly inside (x0, x1), a stretch free
// of point loads where the shear is a quadratic.
std::vector<double> ShearZeros(const BeamSpanLoads& loads, double L, const Vector12& endForces, double x0,
                               double x1, int shear) {
  auto value = [&](double x, CutSide side) { return SectionForcesAt(loads, L, endForces, {x, side})(shear); };
  std::vector<double> zeros;
  for (double t : QuadraticRootsInside(value(x0, CutSide::After), value((x0 + x1) / 2.0, CutSide::Before),
                                       value(x1, CutSide::Before)))
    zeros.push_back(x0 + t * (x1 - x0));
  return zeros;
}

}  // namespace

std::array<std::vector<BeamStation>, 6> ExtremeStations(const BeamSpanLoads& loads, double L,
                                                        const Vector12& endForces) {
  const std::vector<double> breaks = LoadBreakpoints(loads, L);
  std::vector<BeamStation> common;
  for (double x : breaks) {
    common.push_back({x, CutSide::Before});
    common.push_back({x, CutSide::After});
  }
  std::array<std::vector<BeamStation>, 6> stations;
  stations.fill(common);
  for (int i = 0; i < 3; ++i) {  // N, Vy, Vz turn where the load component changes sign
    const double q0 = loads.q0(i), q1 = loads.q1(i);
    if (q0 * q1 < 0.0) stations[i].push_back({L * q0 / (q0 - q1), CutSide::Before});
  }
  for (size_t k = 0; k + 1 < breaks.size(); ++k) {
    for (auto [moment, shear] : {std::pair{kMy, kVz}, std::pair{kMz, kVy}})
      for (double x : ShearZeros(loads, L, endForces, breaks[k], breaks[k + 1], shear))
        stations[moment].push_back({x, CutSide::Before});
  }
  return stations;
}

std::array<BeamExtreme, 6> SectionForceExtremes(const BeamSpanLoads& loads, double L,
                                                const Vector12& endForces) {
  const std::array<std::vector<BeamStation>, 6> stations = ExtremeStations(loads, L, endForces);
  std::array<BeamExtreme, 6> extremes;
  for (int i = 0; i < 6; ++i) {
    bool first = true;
    for (const BeamStation& station : stations[i]) {
      const double v = SectionForcesAt(loads, L, endForces, station)(i);
      if (first || v < extremes[i].min) extremes[i].min = v, extremes[i].atMin = station;
      if (first || v > extremes[i].max) extremes[i].max = v, extremes[i].atMax = station;
      first = false;
    }
  }
  return extremes;
}

}  // namespace Kestrum::Quilm::Solver::Native
