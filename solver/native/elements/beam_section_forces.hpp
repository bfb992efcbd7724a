// Section forces along a beam from its end forces and span loads, and the
// stations where their diagrams can be extreme.
//
// Convention: the section forces at x act on the positive face of a cut
// (outward normal +x, i.e. on the part [0, x] from the part beyond), as
// vectors in local axes, order N, Vy, Vz, T, My, Mz. N is tension positive;
// My > 0 puts the +z side in tension, Mz > 0 the -y side. Along the member
// dN/dx = -qx, dVy/dx = -qy, dVz/dx = -qz, dMy/dx = Vz, dMz/dx = -Vy.
#pragma once

#include <array>
#include <vector>

#include "solver/native/elements/beam_span_loads.hpp"
#include "solver/native/elements/beam_types.hpp"

namespace Kestrum::Quilm::Solver::Native {

// Index of a quantity in a section-force vector.
enum BeamSectionForce { kN = 0, kVy, kVz, kT, kMy, kMz };

// Which limit at a point load: Before approaches x from below (a load at
// exactly x not yet passed), After from above. At x = 0 Before gives the
// negated start force, at x = L After gives the end force.
enum class CutSide { Before, After };

struct BeamStation {
  double x = 0.0;
  CutSide side = CutSide::Before;
};

// Section forces at `station` of a member of length L under `loads` whose
// end forces (on the member, local, 12) are `endForces`. Exact: statics of
// the part beyond the cut.
Vector6 SectionForcesAt(const BeamSpanLoads& loads, double L, const Vector12& endForces,
                        const BeamStation& station);

// Per quantity, the stations where its diagram can take its extremes: both
// sides of 0, L and every point-load position, the zero of the matching
// distributed-load component inside the span (N, Vy, Vz) and the zeros of
// Vz (for My) and Vy (for Mz) inside each stretch between point loads. The
// diagrams are polynomials of degree 3 at most between point loads, so the
// extremes over these stations are the exact extremes.
std::array<std::vector<BeamStation>, 6> ExtremeStations(const BeamSpanLoads& loads, double L,
                                                        const Vector12& endForces);

struct BeamExtreme {
  double min = 0.0, max = 0.0;
  BeamStation atMin, atMax;
};

// Smallest and largest value of each quantity over the member (kN ... kMz).
std::array<BeamExtreme, 6> SectionForceExtremes(const BeamSpanLoads& loads, double L,
                                                const Vector12& endForces);

}  // namespace Kestrum::Quilm::Solver::Native
