// Analysis results stored with the model: what a solver computed for each
// analysis (a load case, a combination, a mode, a buckling shape), per node
// or per element, flushed into the model file like every other table.
//
// Staleness. Results describe the model as the solver saw it. Each analysis
// keeps a fingerprint of what the solver reads (the mesh, element
// properties, materials, sections and thicknesses, eccentricities,
// transformations, hinges, point masses, node transformations, supports,
// loads and gravity); names, sets and structure concepts are not part of it.
// When the model's fingerprint no longer matches, the analysis is stale: it
// says so in every listing, Flush writes the stale mark into the file, and
// the mark stays even if the change is undone. Stored results are never
// refreshed by a change: only storing the analysis again clears the mark.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Kestrum::Quilm::AnalysisModel {

class XafModel;

// What an analysis is; the number is the load case id, the combination id,
// or the mode or buckling shape number (from 1).
// Spectrum: a response spectrum analysis, its results the modes' peak
// responses combined (non-negative, section forces with the sign of the
// governing mode).
enum class AnalysisKind { LoadCase = 1, Combination = 2, Mode = 3, Buckling = 4, Spectrum = 5 };

// The quantities stored per node or element. Values are doubles in SI
// units, `ResultComponents` of them per point; a node has one point, an
// element one or more (see each quantity). A component the solver did not
// give is NaN.
enum class ResultQuantity {
  // Per node, global axes: ux, uy, uz (m), rx, ry, rz (rad). Mode and
  // buckling shapes store their (normalised) shape here.
  NodeMotion = 1,
  // Per supported node, global axes: Fx, Fy, Fz (N), Mx, My, Mz (N·m).
  NodeReaction = 2,
  // Per beam element, element axes, along its local x axis: at its start,
  // at its middle node (three-node beams only) and at its end: N, Vy, Vz
  // (N), T, My, Mz (N·m) on the positive face of a cut.
  BeamForces = 3,
  // Per shell element at its centre: von Mises stress (Pa) at the top,
  // middle and bottom surface.
  ShellStress = 4,
  // Per shell element at its centre, element axes: nx, ny, nxy (N/m), mx,
  // my, mxy (N·m/m).
  ShellForces = 5,
};

// The quantities in their stored order.
inline constexpr ResultQuantity kResultQuantities[] = {
    ResultQuantity::NodeMotion, ResultQuantity::NodeReaction, ResultQuantity::BeamForces,
    ResultQuantity::ShellStress, ResultQuantity::ShellForces};

// Values per point of a quantity.
unsigned ResultComponents(ResultQuantity quantity) noexcept;
// True for quantities stored per node, false for those per element.
bool IsNodeQuantity(ResultQuantity quantity) noexcept;
// "node motion", "node reaction", "beam forces", "shell stress", "shell forces".
const char* ResultQuantityName(ResultQuantity quantity) noexcept;
// "load case", "combination", "mode", "buckling shape".
const char* AnalysisKindName(AnalysisKind kind) noexcept;

// One stored analysis.
struct ResultAnalysis {
  long id = -1;
  AnalysisKind kind = AnalysisKind::LoadCase;
  long number = 0;
  std::string name;
  // The eigenfrequency (Hz) of a mode, the load factor of a buckling shape;
  // for a combination or load case whatever the caller stored (0 by default).
  double value = 0.0;
  // The model's fingerprint when the results were stored.
  std::uint64_t fingerprint = 0;
  // True once the model has changed since (see the file banner).
  bool stale = false;
  // The solver that produced the results ("native", "ccx"); empty when
  // none was recorded (results stored before solvers were recorded, or by
  // a caller that did not say).
  std::string solver;
};

// A quantity of one analysis for many nodes or elements at once, by
// ascending id: entity ids[i] holds values[offsets[i]] up to
// values[offsets[i + 1]]; offsets has ids.size() + 1 entries from 0.
struct ResultArray {
  std::vector<std::int32_t> ids;
  std::vector<std::uint32_t> offsets{0};
  std::vector<double> values;

  std::size_t Size() const noexcept { return ids.size(); }
  // Appends one entity's values; ids must rise.
  void Append(long id, const double* first, std::size_t count);
};

// The results of the model, reached through XafModel::Results(). Every call
// throws ModelError for an analysis id the model does not hold and leaves
// the results as they were when it throws.
class XafResultManager {
 public:
  // The fingerprint of the model as it is now (see the file banner). Take it
  // when the solver's input is written and pass it to AddAnalysis, so that a
  // change made during the solve marks the results stale.
  std::uint64_t GetModelFingerprint() const;

  // Adds an analysis, or replaces the one of the same kind and number (its
  // stored values are dropped, its id kept). The analysis is stamped with
  // `fingerprint`, or with the model's fingerprint now when none is given.
  // The number must be 0 or above. Returns the analysis id.
  long AddAnalysis(AnalysisKind kind, long number, const std::string& name, double value);
  long AddAnalysis(AnalysisKind kind, long number, const std::string& name, double value,
                   std::uint64_t fingerprint);
  // Records which solver produced the analysis's results (see
  // ResultAnalysis::solver); AddAnalysis clears it. An empty name clears it.
  void SetSolver(long analysis, const std::string& solver);
  // Removes an analysis and all its values.
  void DeleteAnalysis(long analysis);
  // Removes every analysis.
  void Clear();

  // Every analysis in id order, with its stale state checked now.
  std::vector<ResultAnalysis> GetAnalyses() const;
  ResultAnalysis GetAnalysis(long analysis) const;
  // The id of the analysis of this kind and number; -1 for none.
  long FindAnalysis(AnalysisKind kind, long number) const;
  // True once the model has changed since the analysis was stored.
  bool IsStale(long analysis) const;

  // Stores one entity's values, replacing earlier ones. The node or element
  // must exist; a node quantity takes exactly ResultComponents values, an
  // element quantity a positive multiple of them (at most 8 points).
  // Storing in ascending id order appends; out of order costs a move.
  void SetValues(long analysis, ResultQuantity quantity, long entity, const std::vector<double>& values);
  // Replaces a quantity's values for the whole model with `values`, checked
  // as SetValues checks each entity (ids ascending, offsets from 0).
  void SetArray(long analysis, ResultQuantity quantity, ResultArray values);

  // One entity's values; empty when none are stored.
  std::vector<double> GetValues(long analysis, ResultQuantity quantity, long entity) const;
  // A quantity's values for the whole model (empty when none are stored).
  ResultArray GetArray(long analysis, ResultQuantity quantity) const;

 private:
  friend class XafModel;
  explicit XafResultManager(XafModel& m) : model_(m) {}
  XafModel& model_;  // not owned: the manager is a member of the model
};

}  // namespace Kestrum::Quilm::AnalysisModel
