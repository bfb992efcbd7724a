// The consistent nodal loads of a straight beam under a linearly varying
// force per length (not installed): what the deck applies in place of a
// line load, and what the section forces are corrected by afterwards.
#pragma once

#include "geometry/geometry.hpp"

namespace Kestrum::Quilm::Solver::detail {

// Forces and moments at the first and last node, global.
struct EndLoads {
  vec3d force1, moment1, force2, moment2;
};

// For a beam from `first` to `last` (distinct points) under q1 at the first
// end varying linearly to q2 at the last: the axial part as for a bar, the
// transverse part with the cubic beam shape functions.
inline EndLoads ConsistentLineLoads(const pos3d& first, const pos3d& last, const vec3d& q1, const vec3d& q2) {
  vec3d t(first, last);
  const double L = t.length();
  t *= 1.0 / L;
  auto axial = [&](const vec3d& q) { return t * q.dot(t); };
  const vec3d a1 = axial(q1), a2 = axial(q2), p1 = q1 - a1, p2 = q2 - a2;
  EndLoads loads;
  loads.force1 = (a1 * 2.0 + a2) * (L / 6.0) + (p1 * 7.0 + p2 * 3.0) * (L / 20.0);
  loads.force2 = (a1 + a2 * 2.0) * (L / 6.0) + (p1 * 3.0 + p2 * 7.0) * (L / 20.0);
  loads.moment1 = t.cross(p1 * 3.0 + p2 * 2.0) * (L * L / 60.0);
  loads.moment2 = t.cross(p1 * 2.0 + p2 * 3.0) * (-L * L / 60.0);
  return loads;
}

}  // namespace Kestrum::Quilm::Solver::detail
