// Load combinations: load cases with factors, their results by
// superposition of the load cases' linear results, and envelopes (the
// largest and smallest value of every result quantity at every node and
// element) over a set of analyses.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "solver/shared/solve_results.hpp"

namespace Kestrum::Quilm::Solver {

// A named combination: the sum of each load case's loads times its factor.
struct LoadCombination {
  std::string name;
  std::vector<std::pair<long, double>> factors;  // load case id, factor
};

// Reads "NAME=1.35*1+1.5*2" (factor*load case, joined by + or -; a term
// without a factor has factor 1). Throws std::invalid_argument naming what
// is wrong.
LoadCombination ParseLoadCombination(const std::string& text);

// The combination's results as the factored sum of its load cases' static
// steps in `results`: every quantity that all of them have (a node or
// element missing from one is left out). Throws SolverError when a load
// case has no static step, and std::invalid_argument for a combination
// without load cases.
StepResults Superpose(const SolveResults& results, const LoadCombination& combination);

// Sets the von Mises stresses of `s` on its top, middle and bottom surface
// from its resultants and thickness (stresses linear through the
// thickness, plane stress); leaves them for a thickness that is not positive.
void UpdateVonMises(ShellStresses& s);

// The largest and smallest value of one quantity at one place, and the
// analyses (indices into Envelope::analyses) that gave them.
struct Extreme {
  double max = 0.0, min = 0.0;
  std::size_t maxAt = 0, minAt = 0;
};

// Extremes over a set of analyses, per quantity and place. Components are
// in the order of the result types: vectors x, y, z; section forces N, Vy,
// Vz, T, My, Mz at the start, then the middle, then the end (the middle's
// six are absent, zero, for two-node beams); shell stresses nx, ny, nxy,
// mx, my, mxy, von Mises top, middle, bottom.
struct Envelope {
  std::vector<std::string> analyses;  // the names of the analyses enveloped, in order
  std::map<long, std::array<Extreme, 3>> displacements, rotations, reactions, reactionMoments;
  std::map<long, std::array<Extreme, 18>> beamForces;
  std::map<long, std::array<Extreme, 9>> shellStresses;
};

// The envelope of `analyses` (not owned; each must stay alive for the
// call). A place that only some analyses have is enveloped over those.
Envelope MakeEnvelope(const std::vector<const StepResults*>& analyses);

}  // namespace Kestrum::Quilm::Solver
