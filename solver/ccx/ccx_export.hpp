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
//    through stiff linear springs (SPRING2, one element set per direction)
//    to fixed generated nodes (the solver's printed
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
#include "solver/ccx/deck_format.hpp"
#include "solver/shared/load_combination.hpp"
#include "solver/shared/solved_model.hpp"

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
  // Receives the export's progress (analysis_model/progress.hpp): the step
  // "export" counts the model's elements as they are read, then "write deck"
  // the deck's nodes, elements and loads as they are written. Empty: none.
  AnalysisModel::ProgressCallback progress;
  // Threads that format the deck's nodes and element rows (the deck's bytes
  // are the same whatever the number): 0 for two on a machine with two
  // cores or more, else one; 1 for none besides the caller's.
  int threads = 0;
  // Also print what rotations, beam section forces, reaction moments and
  // shell stresses are recovered from (element stresses and the expanded
  // elements' displacements), and the mode shapes of the frequency step.
  bool elementResults = false;
  // Combinations solved directly, one static step each after the load
  // cases' (their load cases need not be among `loadCases`).
  std::vector<LoadCombination> combinations;
  // Above 0: a buckling step for this load case, for `bucklingModes` load
  // factors, after every other step.
  long bucklingCase = 0;
  int bucklingModes = 1;
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

// One line element of the deck as the results reader sees it: a model beam,
// one half of a three-node beam written as two, or a stiff arm.
struct DeckBeam {
  // How its section forces are recovered from the stresses of its expanded
  // element: a solid rectangle's (or stiff arm's) eight-node brick, or a
  // pipe's or box's twenty-node brick, integrated at the solver's own
  // points round the walls (see ccx_element_results.cpp).
  enum class Recovery { BrickStresses, PipeStresses, BoxStresses };
  long solverElement = 0;
  long modelElement = 0;  // 0 for a stiff arm
  int half = 0;           // 1 or 2 for the halves of a three-node beam, else 0
  // Solver nodes at the model element's first and last node (geometric order).
  long first = 0, last = 0;
  pos3d firstPos, lastPos;
  // The model's middle node of a three-node pipe or box, which takes its
  // line loads as two halves; 0 where the deck generated the middle node
  // (the load then goes to the end nodes as on a two-node beam).
  long middle = 0;
  // The model element's local axes (x from first to last).
  vec3d x, y, z;
  // The solver's section axis n1 and tangent (the order it was written in).
  vec3d n1, tangent;
  Recovery recovery = Recovery::BrickStresses;
  double width1 = 0.0, width2 = 0.0;  // the outer widths along n1 and n2
  double wall1 = 0.0, wall2 = 0.0;    // pipes and boxes: as SolverBeamSection's
  double massPerLength = 0.0;         // density times area; 0 where gravity does not act
};

// One shell element of the model as the results reader sees it.
struct DeckShell {
  long modelElement = 0;
  std::vector<long> parts;    // its solver elements: itself, or a triangle's three quadrilaterals
  std::vector<long> corners;  // its model nodes
  std::vector<pos3d> cornerPositions;
  double thickness = 0.0;
  // Its local axes: x along its first edge, z its normal by the node order.
  vec3d x, y, z;
};

// The loads of one static step that section forces and reaction moments
// are corrected for.
struct DeckStepLoads {
  // Line loads per solver element (force per length at its first and last
  // node, global), which the deck holds as consistent nodal loads.
  std::map<long, std::pair<vec3d, vec3d>> lineLoads;
  vec3d gravity;  // the acceleration of gravity of the step
  // Nodal moments left out at nodes whose rotations are fixed (the
  // support takes them).
  std::map<long, vec3d> heldMoments;
};

// A written deck and what the results reader needs to know about it; the
// solved-model part (supported nodes, applied forces, axis nodes, the first
// generated node) is what storing and summarising its results need.
struct CcxDeck : SolvedModel {
  std::string text;
  // The load case of each static step, in step order.
  std::vector<long> loadCaseSteps;
  std::vector<std::string> loadCaseNames;  // same order; "" for unnamed cases
  int frequencyCount = 0;  // 0: no frequency step
  // Approximations made and records left out, one sentence each.
  std::vector<std::string> notes;
  // The springs that hold the supports' translations; their forces are
  // gathered into reactions at the supported nodes (FoldSupportReactions).
  std::vector<SupportSpring> supportSprings;
  // Supported generated mid-side nodes -> the ends of their edge, which
  // take half of each reaction (a mid-side node lies midway).
  std::map<long, std::pair<long, long>> supportedMidNodes;
  long firstGeneratedElement = 0;
  // Combinations solved directly: static steps after the load cases'.
  std::vector<std::string> combinationNames;
  // The buckling step's load case and mode count (0: none).
  long bucklingCase = 0;
  int bucklingModes = 0;
  // What element results need (ExportOptions::elementResults): the line
  // elements, the loads of every static step (load cases, then
  // combinations), and the supported nodes with a fixed rotation.
  bool elementResults = false;
  std::vector<DeckBeam> beams;
  std::vector<DeckStepLoads> stepLoads;
  std::map<long, std::vector<int>> rotationSupports;  // node -> fixed rotations (4..6)
  std::vector<long> shellNodes;                       // nodes of shells, ascending
  std::vector<DeckShell> shells;
  // The translational mass lumped at each model node (structural and point
  // masses), for the modes' participation factors and effective masses,
  // and the positions of those nodes.
  std::map<long, double> nodeMasses;
  std::map<long, pos3d> nodePositions;
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
