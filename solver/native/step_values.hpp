// The values of a step's results that are linear in its displacements, in
// one fixed order, so that the results of several shapes can be combined
// value by value (response spectra) and written back into the same layout.
#pragma once

#include "solver/shared/solve_results.hpp"

namespace Kestrum::Quilm::Solver::Native {

// Calls visit(value, signedValue) for each linear value of `step` (a
// StepResults, const or not): node motions, reactions (signedValue false:
// an envelope keeps their magnitude), then beam section forces at the ends,
// middles and stations and shell resultants at centres and corners
// (signedValue true: a design keeps their sign). Von Mises stresses,
// thicknesses, station positions and extremes are not linear and are not
// visited. Maps are ordered, so two steps of one model visit alike.
template <typename Step, typename Visit>
void VisitLinearValues(Step& step, Visit&& visit) {
  for (auto* motions : {&step.displacements, &step.rotations, &step.reactions, &step.reactionMoments})
    for (auto& entry : *motions) visit(entry.second.x, false), visit(entry.second.y, false), visit(entry.second.z, false);
  auto forces = [&visit](auto& f) {
    visit(f.N, true), visit(f.Vy, true), visit(f.Vz, true), visit(f.T, true), visit(f.My, true), visit(f.Mz, true);
  };
  for (auto& entry : step.beamForces) {
    forces(entry.second.start);
    forces(entry.second.end);
    if (entry.second.middle) forces(*entry.second.middle);
  }
  for (auto& entry : step.beamStations)
    for (auto& station : entry.second) forces(station.forces);
  auto resultants = [&visit](auto& s) {
    visit(s.nx, true), visit(s.ny, true), visit(s.nxy, true), visit(s.mx, true), visit(s.my, true);
    visit(s.mxy, true), visit(s.qx, true), visit(s.qy, true);
  };
  for (auto& entry : step.shellStresses) {
    resultants(entry.second);
    for (auto& corner : entry.second.corners) resultants(corner);
  }
}

}  // namespace Kestrum::Quilm::Solver::Native
