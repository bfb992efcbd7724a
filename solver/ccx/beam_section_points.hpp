// Where the solver integrates the sections of pipe and box beams (not
// installed): the points of their expanded twenty-node bricks' sections, in
// the order the solver prints their stresses, with the area each stands for.
#pragma once

#include <vector>

#include "solver/ccx/ccx_export.hpp"

namespace Kestrum::Quilm::Solver::detail {

// One integration point of a section: its offsets along the section axes
// n1 and n2 from the beam's axis, and its share of the section's area.
struct SectionPoint {
  double along1 = 0.0, along2 = 0.0;
  double area = 0.0;
};

// The points of one cross-section of a pipe or box beam. The solver takes
// them at each of the two Gauss stations along the element, first at the
// station nearer the element's first node. A pipe has eight points round
// the circle of the wall's root mean square radius from -n2 towards +n1,
// each with an eighth of the area (exact for the area and the second moments of the ring). A box
// has sixteen round the middle lines of its walls: Simpson's rule with four
// intervals along each wall, its thickness as width, the corners shared by
// two walls; they run from the corner on +n1 and -n2 along the +n1 side
// wall, then along the +n2 flange, the -n1 side wall and the -n2 flange.
// Their areas sum to the section's. Throws SolverError for a beam of
// another kind.
std::vector<SectionPoint> SolverSectionPoints(const DeckBeam& beam);

}  // namespace Kestrum::Quilm::Solver::detail
