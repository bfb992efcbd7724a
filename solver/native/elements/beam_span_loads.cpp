// Statics of the span loads of a beam.
#include "solver/native/elements/beam_span_loads.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace Kestrum::Quilm::Solver::Native {

void ValidateSpanLoads(const BeamSpanLoads& loads, double L) {
  if (!loads.q0.allFinite() || !loads.q1.allFinite() || !std::isfinite(loads.eps0))
    throw std::invalid_argument("beam span loads: distributed load and eps0 must be finite");
  for (const BeamPointLoad& p : loads.points) {
    if (!(p.a >= 0.0 && p.a <= L))
      throw std::invalid_argument("beam span loads: point load position outside [0, L]");
    if (!p.force.allFinite() || !p.moment.allFinite())
      throw std::invalid_argument("beam span loads: point load must be finite");
  }
}

Eigen::Vector3d DistributedLoadAt(const BeamSpanLoads& loads, double L, double x) {
  return loads.q0 + (loads.q1 - loads.q0) * (x / L);
}

Vector6 LoadsBeyond(const BeamSpanLoads& loads, double L, double x, bool includeAtX) {
  // With u = s - x and b = L - x the load is q(x) + k u, so its resultant is
  // q(x) b + k b^2/2 and its moment arm integral q(x) b^2/2 + k b^3/3.
  const Eigen::Vector3d ex = Eigen::Vector3d::UnitX();
  const Eigen::Vector3d qx = DistributedLoadAt(loads, L, x), k = (loads.q1 - loads.q0) / L;
  const double b = L - x;
  Eigen::Vector3d force = qx * b + k * (b * b / 2.0);
  Eigen::Vector3d moment = ex.cross(qx * (b * b / 2.0) + k * (b * b * b / 3.0));
  for (const BeamPointLoad& p : loads.points) {
    if (p.a < x || (p.a == x && !includeAtX)) continue;
    force += p.force;
    moment += p.moment + ((p.a - x) * ex).cross(p.force);
  }
  Vector6 result;
  result << force, moment;
  return result;
}

std::vector<double> LoadBreakpoints(const BeamSpanLoads& loads, double L) {
  std::vector<double> stations{0.0, L};
  for (const BeamPointLoad& p : loads.points) stations.push_back(p.a);
  std::sort(stations.begin(), stations.end());
  stations.erase(std::unique(stations.begin(), stations.end()), stations.end());
  return stations;
}

}  // namespace Kestrum::Quilm::Solver::Native
