// Loads along a beam's flexible length, in local axes, and the statics that
// every other part of the kernel builds on: the resultant of the loads beyond
// a station, taken about that station.
#pragma once

#include <vector>

#include "solver/native/elements/beam_types.hpp"

namespace Kestrum::Quilm::Solver::Native {

// A concentrated force and moment at distance `a` from the start (0 <= a <= L).
struct BeamPointLoad {
  double a = 0.0;
  Eigen::Vector3d force = Eigen::Vector3d::Zero();
  Eigen::Vector3d moment = Eigen::Vector3d::Zero();
};

// Everything applied along one member, local axes.
struct BeamSpanLoads {
  Eigen::Vector3d q0 = Eigen::Vector3d::Zero();  // force per length at x = 0
  Eigen::Vector3d q1 = Eigen::Vector3d::Zero();  // force per length at x = L (linear between)
  std::vector<BeamPointLoad> points;
  double eps0 = 0.0;  // imposed axial strain (elongation positive), e.g. alpha * dT
};

// Throws std::invalid_argument for a point load outside [0, L] or a
// non-finite value.
void ValidateSpanLoads(const BeamSpanLoads& loads, double L);

// Force and moment (local, in BeamDof order) of all loads between station x
// and the end L, the moment taken about the section at x. A point load at
// exactly x counts when `includeAtX`.
Vector6 LoadsBeyond(const BeamSpanLoads& loads, double L, double x, bool includeAtX);

// Distributed load per length at station x.
Eigen::Vector3d DistributedLoadAt(const BeamSpanLoads& loads, double L, double x);

// 0, every point-load position and L, sorted, without repeats: the stations
// between which all diagrams are single polynomials.
std::vector<double> LoadBreakpoints(const BeamSpanLoads& loads, double L);

}  // namespace Kestrum::Quilm::Solver::Native
