// How a beam element of the analysis model becomes a solver beam: which
// solver element type and cross-section it gets, and which way its section
// axes point.
//
// Section axes. The analysis model stores, per beam element, its local z axis
// (the transformation vector). The local x axis runs along the element from
// its first to its last node, and local y = z x x. The solver's beam has the
// tangent t (first to last node), a first section axis n1 that the deck gives
// and n2 = t x n1. We write n1 = local y, so n2 = local z: section widths
// (b, along local y) go along n1 and heights (h, along local z) along n2.
// Second moments keep their meaning: Iy (about local y) resists bending in
// the x-z plane, Iz bending in the x-y plane.
//
// Element types. Solid rectangles use the two-node B31 (a three-node beam of
// one becomes two B31 halves). Pipes and boxes are only reliable on the
// three-node B32R, so two-node beams of those sections get a generated
// middle node.
#pragma once

#include <string>

#include "definitions/section.hpp"
#include "geometry/geometry.hpp"

namespace Kestrum::Quilm::Solver {

// A cross-section as the solver's *BEAM SECTION keyword writes it.
struct SolverBeamSection {
  std::string sectionType;            // RECT, PIPE or BOX
  std::string dimensions;             // the data line of dimensions
  bool needsQuadratic = false;        // true: only usable on three-node B32R
  double outerSize = 0.0;             // the largest outer dimension (sizes the stiff arms)
  double width1 = 0.0, width2 = 0.0;  // the outer widths along n1 and n2 (a pipe's diameter)
  // Wall thicknesses: a pipe's wall (wall1); a box's side walls, normal to
  // n1 (wall1), and flanges, normal to n2 (wall2). Zero for rectangles.
  double wall1 = 0.0, wall2 = 0.0;
  double area = 0.0;  // the area of the solver's section
  std::string note;   // set when the section is an equivalent, says what differs
};

// The solver section for `section`. I-profiles and sections given only by
// their properties have no solver counterpart: without `allowEquivalent`
// they throw ExportError; with it an I-profile becomes a box of the same
// height, width and flanges whose two side walls have half the web
// thickness (same area and Iy, larger Iz and torsion constant), and a
// property-only section becomes the solid rectangle with its Iy and Iz (the
// area then follows from those). Throws ExportError for dimensions the
// solver cannot take (non-positive sizes, walls that fill the section).
SolverBeamSection MapBeamSection(const qlSection& section, bool allowEquivalent);

// The first section axis n1 (= local y) of a beam element with unit tangent
// `tangent`, from the stored local z axis `zAxis`. A zero `zAxis` means the
// element has no local system: local z is then the global Z axis made
// perpendicular to the tangent, or the global X axis for an element along Z.
// Throws ExportError when `zAxis` is (nearly) parallel to the tangent.
vec3d SectionAxisN1(const vec3d& tangent, const vec3d& zAxis);

// A unit vector perpendicular to `direction` (unit), used for the axes of
// the stiff arms whose square section makes the choice immaterial.
vec3d AnyPerpendicular(const vec3d& direction);

}  // namespace Kestrum::Quilm::Solver
