// The results of a solver run, as plain data keyed by the analysis model's
// own node and element ids: one StepResults per analysis (a load case, a
// combination of load cases, an eigenmode or a buckling mode).
//
// Sign conventions. Vectors are global unless said otherwise. Section forces
// are those on the positive face of a cut (the face whose outward normal is
// the local x axis), as vectors in the element's local system: N = force
// along x (tension positive), Vy, Vz, T = moment about x, My, Mz about y and
// z. So a cantilever along x loaded downwards (-z) at its tip has Vz < 0 and
// My > 0 at its root (tension on the +z side).
#pragma once

#include <array>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "geometry/geometry.hpp"

namespace Kestrum::Quilm::Solver {

// A failed solve or results that cannot be read; the message carries the
// solver's own words where it gave any.
class SolverError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Section forces at one point of a beam's axis, in the element's local
// system (see the conventions above).
struct SectionForces {
  double N = 0.0, Vy = 0.0, Vz = 0.0, T = 0.0, My = 0.0, Mz = 0.0;
};

// The section forces of one beam element of the analysis model at its first
// and last node (geometric order, the ends of its local x axis) and, for
// three-node beams, at its middle node (the section just before it).
struct BeamForces {
  SectionForces start, end;
  std::optional<SectionForces> middle;
};

// Stresses of one shell element at its centre, in the element's local
// system (x along its first edge, z its normal by the node order): membrane
// forces and moments per unit length, and the von Mises stress on the top
// (+z), middle and bottom surface, which follow from those and the
// element's thickness.
//
// The native solver also gives the transverse shear forces per unit length
// qx, qy (0 from the external solver), whose parabolic shear stress, 1.5 q/t
// at the middle surface, enters the middle von Mises stress, and the same
// quantities at each corner (in the element's node order; empty from the
// external solver).
struct ShellStresses {
  double thickness = 0.0;
  double nx = 0.0, ny = 0.0, nxy = 0.0;
  double mx = 0.0, my = 0.0, mxy = 0.0;
  double qx = 0.0, qy = 0.0;
  double vonMisesTop = 0.0, vonMisesMiddle = 0.0, vonMisesBottom = 0.0;
  std::vector<ShellStresses> corners;
};

// Section forces at one station along a beam element: its distance from
// the element's first end along its axis (the flexible length between any
// offsets; both halves of a three-node beam, one after the other).
struct BeamStationForces {
  double x = 0.0;
  SectionForces forces;
};

// The smallest and largest value of each section force over a beam element
// and where each occurs (distance from its first end, as for stations).
struct BeamExtremes {
  SectionForces min, max;
  std::array<double, 6> minAt{}, maxAt{};
};

// What an analysis is.
enum class AnalysisKind {
  LoadCase,     // a static step of one load case
  Combination,  // load cases with factors, superposed or solved directly
  Mode,         // an eigenmode of the frequency step
  Buckling,     // a buckling mode of one load case
  Spectrum,     // a response spectrum analysis: the modes' peaks combined
};

// The results of one analysis. Static analyses fill every map the run asked
// for; modes carry their shape (displacements and rotations, normalised as
// the solver normalises them: to unit modal mass; buckling shapes to a
// largest component of 1).
struct StepResults {
  AnalysisKind kind = AnalysisKind::LoadCase;
  // The load case (LoadCase, Buckling); -1 otherwise.
  long loadCase = -1;
  // The load case's or combination's name; "" for an unnamed case.
  std::string name;
  // Mode, Buckling: the mode's number from 1.
  int mode = 0;
  // Mode: the eigenfrequency in cycles per second. Buckling: the load
  // factor (the load case's loads times it buckle the structure).
  double eigenvalue = 0.0;
  // Mode: participation factors and effective modal masses, in the global
  // directions x, y, z, then about the global axes through the origin. With
  // element results they come from the masses lumped at the model's nodes
  // (the solver's own figures count the nodes of the solid elements it
  // expands beams and shells into, and overstate them); otherwise they are
  // the solver's.
  std::array<double, 6> participation{};
  std::array<double, 6> effectiveMass{};

  // Translations (ux, uy, uz) of the model's nodes.
  std::map<long, vec3d> displacements;
  // Rotations (rx, ry, rz) in radians of the model's nodes that rectangular
  // beams, stiff arms or shells join; a node joined only to shells has no
  // rotation about their normal (0). Filled when element results were asked
  // for.
  std::map<long, vec3d> rotations;
  // Support reaction forces at the supported model nodes, in equilibrium
  // with every load of the step (see FoldSupportReactions). As parsed,
  // before folding: the solver's nodal forces of the printed nodes (reaction
  // plus the loads at the node).
  std::map<long, vec3d> reactions;
  // Support reaction moments at supported nodes with a fixed rotation that
  // only rectangular beams and stiff arms join, in the fixed directions (0
  // in the free ones). Filled when element results were asked for.
  std::map<long, vec3d> reactionMoments;
  // Section forces of the model's beam elements, by element id (solid
  // rectangles; not pipes and boxes, whose section the solver integrates in
  // a way of its own).
  std::map<long, BeamForces> beamForces;
  // Stresses of the model's shell elements, by element id.
  std::map<long, ShellStresses> shellStresses;
  // Native solver only: section forces at stations along each beam element
  // (ends included) and each element's extremes, exact for its span loads.
  std::map<long, std::vector<BeamStationForces>> beamStations;
  std::map<long, BeamExtremes> beamExtremes;
};

struct SolveResults {
  std::vector<StepResults> steps;         // static steps, in step order
  std::vector<double> frequencies;        // eigenfrequencies in cycles per second, ascending
  std::vector<StepResults> modes;         // eigenmodes whose shapes were printed, ascending
  std::vector<StepResults> buckling;      // buckling modes, ascending load factor
  std::vector<StepResults> combinations;  // combinations solved directly, in the order asked
  std::vector<StepResults> spectra;       // response spectrum analyses, in the order asked
  std::string solverOutput;               // what the solver printed
};

}  // namespace Kestrum::Quilm::Solver
