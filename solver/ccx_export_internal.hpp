// The first pass of the ccx deck export (not installed): the problem list
// and the SolverModelReader, which reads an analysis model into a solver
// model (solver_model.hpp) and makes every choice of the export on the way.
// The deck writer (ccx_deck_writer.hpp) then writes the deck from that model.
// The reader's members are defined by job:
//   ccx_export.cpp           the export entry point and the order of reading;
//   ccx_export_nodes.cpp     model and generated nodes, offset beam ends;
//   ccx_export_elements.cpp  beams and shells;
//   ccx_export_sections.cpp  materials, beam sections, shell thicknesses, arms;
//   ccx_export_supports.cpp  point masses and boundary conditions;
//   ccx_export_loads.cpp     load cases and the loads of their steps.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "definitions/material.hpp"
#include "definitions/section.hpp"
#include "geometry/geometry.hpp"
#include "solver/beam_mapping.hpp"
#include "solver/ccx_export.hpp"
#include "solver/deck_format.hpp"
#include "solver/solver_model.hpp"

namespace Kestrum::Quilm::Solver::detail {

using AnalysisModel::Element;
using AnalysisModel::LoadEntry;
using AnalysisModel::LoadKind;
using AnalysisModel::LoadType;
using AnalysisModel::XafElement;
using AnalysisModel::XafModel;

using Dofs = std::array<double, 6>;

// Problems found while exporting, gathered so that one error names them all.
// Each reason keeps the list of records it applies to.
class Problems {
 public:
  std::size_t FatalCount() const {
    std::size_t n = 0;
    for (const auto& entry : fatal_) n += entry.second.size();
    return n;
  }
  void Add(const std::string& reason, const std::string& where, bool skippable) {
    auto& list = skippable ? skippable_[reason] : fatal_[reason];
    list.push_back(where);
  }
  // Throws when anything cannot be exported; otherwise moves the skipped
  // items into the notes.
  void Settle(bool skipUnsupported, std::vector<std::string>& notes) const {
    std::string message;
    for (const auto& [reason, items] : fatal_) message += Line(reason, items);
    if (!skipUnsupported) {
      for (const auto& [reason, items] : skippable_) message += Line(reason, items);
    }
    if (!message.empty()) throw ExportError("the model cannot be exported:\n" + message);
    for (const auto& [reason, items] : skippable_) {
      std::string line = Line("not exported: " + reason, items);
      notes.push_back(line.substr(2, line.size() - 3));  // without the indent and line break
    }
  }

 private:
  static std::string Line(const std::string& reason, const std::vector<std::string>& items) {
    constexpr std::size_t kShown = 20;
    std::string line = "  " + reason + " (";
    for (std::size_t i = 0; i < items.size() && i < kShown; ++i) line += (i ? ", " : "") + items[i];
    if (items.size() > kShown) line += ", and " + std::to_string(items.size() - kShown) + " more";
    return line + ")\n";
  }
  std::map<std::string, std::vector<std::string>> fatal_, skippable_;
};

inline std::string ElementLabel(long id) { return "element " + std::to_string(id); }
inline std::string NodeLabel(long id) { return "node " + std::to_string(id); }

// A direction as the deck writes it, "x, y, z": the key of the element
// groups that differ only in their section axis.
inline std::string VecKey(const vec3d& v) {
  return FormatNumber(v.x) + ", " + FormatNumber(v.y) + ", " + FormatNumber(v.z);
}

// Throws the ExportError that FormatNumber would throw for `value`, without
// formatting a writable one: the reader checks the numbers of the steps, so
// that a deck with one that cannot be written fails before its problems are
// settled, as it fails to write.
inline void CheckWritable(double value, const char* what) {
  if (!std::isfinite(value)) FormatNumber(value, what);
}

// The beam as the solver sees it: its end nodes (offset ends where eccentric).
struct BeamEnds {
  long first, last;
  pos3d firstPos, lastPos;
  long middle = 0;  // the middle node of a three-node beam, 0 for none
};

// The model's nodes: a list in ascending id order, the order the deck writes
// them in, and a dense index from id to place in the list (ids are dense in
// practice, so this takes a fraction of an ordered map's memory and time).
// Iterates and answers count() as a map from id to position would.
class NodeTable {
 public:
  using Entry = std::pair<long, pos3d>;
  // Takes the nodes in any order.
  void Assign(std::vector<Entry> nodes) {
    list_ = std::move(nodes);
    std::sort(list_.begin(), list_.end(), [](const Entry& a, const Entry& b) { return a.first < b.first; });
    index_.assign(list_.empty() ? 0 : static_cast<std::size_t>(list_.back().first) + 1, -1);
    for (std::size_t i = 0; i < list_.size(); ++i) index_[static_cast<std::size_t>(list_[i].first)] = i;
  }
  const pos3d* Find(long id) const {
    if (id < 0 || static_cast<std::size_t>(id) >= index_.size()) return nullptr;
    const std::ptrdiff_t at = index_[static_cast<std::size_t>(id)];
    return at < 0 ? nullptr : &list_[static_cast<std::size_t>(at)].second;
  }
  std::size_t count(long id) const { return Find(id) ? 1 : 0; }
  std::size_t size() const { return list_.size(); }
  bool empty() const { return list_.empty(); }
  // Hands the list over, leaving the table empty.
  std::vector<Entry> Release() {
    index_ = {};
    return std::move(list_);
  }
  std::vector<Entry>::const_iterator begin() const { return list_.begin(); }
  std::vector<Entry>::const_iterator end() const { return list_.end(); }

 private:
  std::vector<Entry> list_;
  std::vector<std::ptrdiff_t> index_;
};

// An edge between two nodes, smaller id first, packed into one key (ids are
// below 2^31).
inline std::uint64_t EdgeKey(long a, long b) {
  const auto [lo, hi] = std::minmax(a, b);
  return (static_cast<std::uint64_t>(lo) << 32) | static_cast<std::uint64_t>(hi);
}
inline std::pair<long, long> EdgeEnds(std::uint64_t key) {
  return {static_cast<long>(key >> 32), static_cast<long>(key & 0xffffffffu)};
}

// What the export knows of an edge: its generated middle node (0 while it
// has none), the number of shells that have it as a side, and whether it is
// a quadratic beam's span between its ends.
struct EdgeNodes {
  long mid = 0;
  int shellUses = 0;
  bool beamSpan = false;
};

// Reads an analysis model into a solver model; one reader per export. The
// model and the options are not owned and must outlive the reader.
class SolverModelReader {
 public:
  SolverModelReader(XafModel& model, const ExportOptions& options) : model_(model), options_(options) {}

  // Reads the whole model. Fills `deck`'s notes and what the results reader
  // needs (everything but the text) and returns the solver model; throws
  // ExportError naming every record that cannot be exported.
  SolverModel Read(CcxDeck& deck);

 private:
  // ---- order of reading (ccx_export.cpp) ---------------------------------------
  void ReadModelSets();
  void Finish();

  // ---- nodes (ccx_export_nodes.cpp) -------------------------------------------
  void ReadNodes();
  std::optional<vec3d> LookupEccentricity(const XafElement& record, unsigned storedIndex);
  void FindAnchoredNodes();
  void Anchor(long node);
  bool IsAnchored(long node) const {
    return node >= 0 && static_cast<std::size_t>(node) < anchored_.size() &&
           anchored_[static_cast<std::size_t>(node)];
  }
  long NewNode(const pos3d& position);
  pos3d PositionOf(long node) const;
  long MidNode(long a, long b);
  long BeamNode(long node, const vec3d& eccentricity, double armSize);
  void FinishNodes();

  // ---- elements (ccx_export_elements.cpp) -------------------------------------
  void ReadElements();
  void CheckFixations(const Element& element, const XafElement& record);
  vec3d EccentricityAt(const XafElement& record, unsigned storedIndex);
  vec3d LocalZAxis(const Element& element, const XafElement& record);
  void ReadBeam(const Element& element, const XafElement& record);
  void ReadShell(const Element& element, const XafElement& record);
  void RecordDeckBeams(long id, const std::vector<std::vector<long>>& rows, const SolverBeamSection& section,
                       const qlMaterial& material, const vec3d& tangent, const vec3d& n1);
  std::vector<long> SolverElements(long element) const;
  bool IsShell(long element) const {
    return element >= 0 && static_cast<std::size_t>(element) < shells_.size() &&
           shells_[static_cast<std::size_t>(element)];
  }
  void FinishElements();

  // ---- materials and sections (ccx_export_sections.cpp) -----------------------
  std::optional<qlMaterial> MaterialOf(long elementId, long materialId);
  const SolverBeamSection* BeamSectionOf(long elementId, long sectionId, const qlSection& section);
  ElementGroup& BeamGroup(const std::string& type, long sectionId, long materialId,
                          const SolverBeamSection& mapped, const vec3d& n1);
  ElementGroup& ShellGroup(long sectionId, long materialId, double thickness);
  ElementGroup& ArmGroup(const vec3d& direction, double armSize);
  void FinishMaterials();

  // ---- masses and boundary conditions (ccx_export_supports.cpp) ---------------
  void ReadNodeProperties();
  void InheritFixities();
  void HoldSupportsBySprings();
  void FinishMasses();

  // ---- loads (ccx_export_loads.cpp) -------------------------------------------
  void SelectLoadCases();
  void ReadSteps();
  std::string LoadCaseName(long lc);
  StaticStep ReadStaticStep(const std::vector<std::pair<long, double>>& factors, const std::string& name);
  void ReadLoadCase(long lc, std::map<long, Dofs>& nodal, std::vector<Pressure>& pressures,
                    std::map<long, std::pair<vec3d, vec3d>>& lineLoads, vec3d& pressureResultant);
  void ReadNodeLoad(const LoadEntry& entry, const std::string& label, std::map<long, Dofs>& nodal);
  void ReadLineLoad(const LoadEntry& entry, const std::string& label, std::map<long, Dofs>& nodal,
                    std::map<long, std::pair<vec3d, vec3d>>& lineLoads);
  void ReadPressure(const LoadEntry& entry, const std::string& label, std::vector<Pressure>& pressures,
                    vec3d& resultant);
  std::optional<Gravity> ReadGravity(const vec3d& g, std::map<long, Dofs>& nodal);
  std::vector<NodalLoad> NodalLoadsOf(const std::map<long, Dofs>& nodal, std::map<long, vec3d>* held) const;
  void AddNodal(std::map<long, Dofs>& loads, long node, const vec3d& force, const vec3d& moment);
  void AddLineLoad(std::map<long, Dofs>& loads, const BeamEnds& beam, const vec3d& q1, const vec3d& q2);
  void AddInertiaForce(std::map<long, Dofs>& nodal, long node, const vec3d& a, const vec3d& alpha,
                       const std::string& label);

  XafModel& model_;
  const ExportOptions& options_;
  CcxDeck* deck_ = nullptr;  // not owned: the deck being read for, during Read
  SolverModel solver_;
  Problems problems_;

  NodeTable nodes_;                // the model's nodes
  std::vector<long> cases_;        // the load cases to write, in step order
  std::vector<bool> anchored_;     // by node id: an eccentric beam must be joined to it
  std::map<long, long> detached_;  // model node left out -> its beam axis node
  std::vector<std::pair<long, pos3d>> generatedNodes_;
  long nextNode_ = 1, nextElement_ = 1, firstGeneratedNode_ = 1, firstGeneratedElement_ = 1;
  std::unordered_map<std::uint64_t, EdgeNodes> edges_;  // by EdgeKey
  std::map<std::tuple<long, double, double, double>, long> offsetNodes_;

  std::map<long, qlMaterial> materials_;
  std::map<long, SolverBeamSection> sections_;
  std::map<std::string, ElementGroup> beamGroups_, shellGroups_, armGroups_;
  ElementGroup springGroup_;
  std::map<long, BeamEnds> beams_;
  std::vector<bool> shells_;  // by element id: written as shells
  std::set<long> refused_;    // elements that cannot be exported
  // Model elements written as several solver elements -> the ids beyond their own.
  std::map<long, std::vector<long>> extra_;
  std::vector<long> denseElements_;
  double maxBeamModulus_ = 0.0;

  std::vector<double> lumpedMass_;  // by model node id: structural mass lumped there
  void LumpMass(long node, double mass) {
    if (static_cast<std::size_t>(node) >= lumpedMass_.size())
      lumpedMass_.resize(static_cast<std::size_t>(node) + 1);
    lumpedMass_[static_cast<std::size_t>(node)] += mass;
  }
  double structuralMass_ = 0.0;  // of the elements gravity acts on
  std::map<long, std::array<double, 6>> pointMasses_;
  // Point masses grouped by their value as the deck writes it -> value, nodes.
  std::map<std::string, std::pair<double, std::vector<long>>> massElements_;
  std::map<long, std::vector<int>> boundaries_;
  std::vector<long> stressElements_;  // solver elements whose stresses are printed
};

// The deck beam record of a solver line element (see DeckBeam).
DeckBeam MakeDeckBeam(long solverElement, long modelElement, int half, long first, long last,
                      const pos3d& firstPos, const pos3d& lastPos, const vec3d& tangent, const vec3d& n1,
                      const SolverBeamSection& section, double massPerLength);

}  // namespace Kestrum::Quilm::Solver::detail
