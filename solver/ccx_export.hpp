// Export of an analysis model to an input deck of the ccx finite-element
// solver: one static step per load case and, on request, a frequency step.
//
// What each record becomes:
//  * nodes keep their ids; generated nodes (beam middle nodes, shell mid-side
//    nodes, offset beam ends) and generated elements (stiff arms, point
//    masses) are numbered after the model's highest ids;
//  * beams: B31 (solid rectangles; a three-node beam as two halves) or B32R
//    (pipes and boxes), section axes as beam_mapping.hpp describes, each
//    element written in one canonical direction (x, then y, then z rising);
//    an eccentricity moves the beam end to node + eccentricity and joins it
//    to the node by a short stiff arm (a B31 beam of a square section as large
//    as the beam's and `armStiffnessFactor` times the stiffest beam
//    material) where the node has a support, mass, load or other element;
//    an eccentric node with none of these is left out (see axisNodes);
//  * generated mid-side nodes on free edges of the shell mesh are fixed in
//    the directions fixed at both ends of their edge (so a supported plate
//    edge stays supported between its nodes); the generated middle nodes of
//    beams are never fixed (the span bends between its supports);
//  * four-node shells: S8R with generated mid-side nodes; three-node shells:
//    three S8R quadrilaterals each, one per corner, meeting at a generated
//    centroid node (the solver's quadratic triangle is far too stiff);
//  * point masses: MASS elements; boundary conditions: fixed translations
//    through stiff springs to fixed generated nodes (the solver's printed
//    nodal forces include the loads at the node and, at beam and shell nodes
//    with fixed rotations, miss the forces of the rotation constraints), so
//    the springs' forces are the support reactions; fixed rotations on the
//    node itself (a moment on one is left out: the support takes it);
//  * loads: point loads as *CLOAD forces and moments; line loads as the
//    consistent nodal forces and moments of a beam (linear along the element);
//    pressures as *DLOAD P (positive along the element normal of the node
//    order); gravity as GRAV on every element whose material has a density,
//    plus m*g on point masses; a node acceleration a as the inertia force
//    -m*a of the mass lumped at the node (half of each adjoining beam, an
//    equal share of each adjoining shell, the node's point masses).
// Records the solver cannot take are named in an ExportError, all of them at
// once; with `skipUnsupported` the ones that can be left out are left out
// and listed in the deck's notes instead.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "solver/deck_format.hpp"

namespace Kestrum::Quilm::Solver {

struct ExportOptions {
  // The load cases to write, one static step each, in this order; empty
  // means every load case of the model in ascending id order.
  std::vector<long> loadCases;
  // Above 0: a frequency step for this many eigenfrequencies, after the
  // static steps.
  int frequencyCount = 0;
  // Export I-profiles and property-only sections through an equivalent
  // section (see MapBeamSection) instead of failing.
  bool allowEquivalentSections = false;
  // Leave out what the solver cannot take (initial strains, element end
  // releases, partial fixities, rotational point inertias, direction-
  // dependent point masses, misplaced loads) with a note, instead of failing.
  bool skipUnsupported = false;
  // Young's modulus of the stiff arms as a multiple of the stiffest beam
  // material's.
  double armStiffnessFactor = 1000.0;
};

// A support's translation held through a stiff spring: the generated node
// `end`, fixed, at `offset` from the supported node `node`; the spring lies
// along the held direction and its end's printed force is that component of
// the support reaction.
struct SupportSpring {
  long end = 0;
  long node = 0;
  vec3d offset;
};

// A written deck and what the results reader needs to know about it.
struct CcxDeck {
  std::string text;
  // The load case of each static step, in step order.
  std::vector<long> loadCaseSteps;
  std::vector<std::string> loadCaseNames;  // same order; "" for unnamed cases
  int frequencyCount = 0;                  // 0: no frequency step
  // Approximations made and records left out, one sentence each.
  std::vector<std::string> notes;
  // Nodes with a boundary condition (whose reactions are meaningful).
  std::vector<long> supportNodes;
  // The springs that hold the supports' translations; their forces are
  // gathered into reactions at the supported nodes (FoldSupportReactions).
  std::vector<SupportSpring> supportSprings;
  // Supported generated mid-side nodes -> the ends of their edge, which
  // take half of each reaction (a mid-side node lies midway).
  std::map<long, std::pair<long, long>> supportedMidNodes;
  // Model nodes left out of the deck (joined only to eccentric beams, with
  // no support, mass or load) and the beam axis node printed instead.
  std::map<long, long> axisNodes;
  long firstGeneratedNode = 0;
  long firstGeneratedElement = 0;
};

// Writes the deck for `model`. The model is only read. Throws ExportError
// naming every record that cannot be exported, and ModelError for a model
// whose references are broken.
CcxDeck ExportCcxDeck(AnalysisModel::XafModel& model, const ExportOptions& options = {});

// The same, writing the deck to `out` as it is produced instead of into the
// returned deck's text (left empty): for large models, whose deck need never
// be held in memory. Throws ExportError also when `out` fails; `out` then
// holds a partial deck.
CcxDeck ExportCcxDeck(AnalysisModel::XafModel& model, std::ostream& out, const ExportOptions& options = {});

}  // namespace Kestrum::Quilm::Solver
