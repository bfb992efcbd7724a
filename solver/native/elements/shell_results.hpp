// Results of a flat shell element at one point, in the element's local
// system: stress resultants and the stresses at the top (+z), middle and
// bottom surfaces, plus the von Mises equivalent stress.
//
// Sign of moments: mx is the moment per unit width whose stresses are
// sx = 12 mx z / t^3, so a positive mx puts the top (+z) surface in tension;
// likewise my with sy and mxy with sxy. Membrane forces n, moments m and
// shears q are per unit length of section (N/m, N m/m, N/m).
#pragma once

#include <vector>

namespace Kestrum::Quilm::Solver::Native {

struct ShellResultants {
  double nx = 0.0, ny = 0.0, nxy = 0.0;  // membrane forces
  double mx = 0.0, my = 0.0, mxy = 0.0;  // moments
  double qx = 0.0, qy = 0.0;             // transverse shear forces
};

struct ShellSurfaceStress {
  double sx = 0.0, sy = 0.0, sxy = 0.0;  // in-plane stresses
  double sxz = 0.0, syz = 0.0;           // transverse shear: 1.5 q / t at the middle, 0 at the faces
  double vonMises = 0.0;
};

struct ShellPointResults {
  ShellResultants resultants;
  ShellSurfaceStress top, middle, bottom;
};

// Centre of the element (xi = eta = 0 for a quadrilateral, the centroid for a
// triangle) and each corner in the caller's node order.
struct ShellElementResults {
  ShellPointResults centre;
  std::vector<ShellPointResults> corners;
};

// Stresses linear through the thickness: s = n/t + 12 m z / t^3 at
// z = +t/2, 0, -t/2, the parabolic transverse shear peaking at 1.5 q/t.
ShellPointResults ShellPointResultsFrom(const ShellResultants& resultants, double thickness);

}  // namespace Kestrum::Quilm::Solver::Native
