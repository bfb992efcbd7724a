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
#include <utility>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "definitions/material.hpp"
#include "definitions/section.hpp"
#include "geometry/geometry.hpp"
#include "solver/ccx/beam_mapping.hpp"
#include "solver/ccx/ccx_export.hpp"
#include "solver/ccx/deck_format.hpp"
#include "solver/ccx/export_tables.hpp"
#include "solver/ccx/nodal_sums.hpp"
#include "solver/ccx/solver_model.hpp"

namespace Kestrum::Quilm::Solver::detail {

using AnalysisModel::Element;
using AnalysisModel::LoadEntry;
using AnalysisModel::LoadKind;
using AnalysisModel::LoadType;
using AnalysisModel::XafElement;
using AnalysisModel::XafModel;

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

// The model's nodes: their positions by id (ids are dense in practice: the
// model counts them up from 1 and never removes one), so that finding a
// node's position is one look-up. Ids must be added in ascending order.
class NodeTable {
 public:
  void Add(long id, const pos3d& position) {
    auto& b = block_;
    if (b.positions.empty()) {
      b.firstId = id;
    } else if (id <= LastId()) {
      throw std::logic_error("node " + std::to_string(id) + " added out of id order");
    }
    const auto at = static_cast<std::size_t>(id - b.firstId);
    if (at > b.positions.size()) {  // a gap in the ids: the ids between are absent
      b.absent.resize(b.positions.size(), false);
      b.absent.resize(at, true);
      b.positions.resize(at);
    }
    b.positions.push_back(position);
    if (!b.absent.empty()) b.absent.push_back(false);
    ++size_;
  }
  const pos3d* Find(long id) const {
    const auto& b = block_;
    if (id < b.firstId) return nullptr;
    const auto at = static_cast<std::size_t>(id - b.firstId);
    return at < b.positions.size() && b.Has(at) ? &b.positions[at] : nullptr;
  }
  std::size_t count(long id) const { return Find(id) ? 1 : 0; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  long LastId() const { return block_.firstId + static_cast<long>(block_.positions.size()) - 1; }
  // Calls f(id, position) for every node, in ascending id order.
  template <typename F>
  void ForEach(F&& f) const {
    for (std::size_t i = 0; i < block_.positions.size(); ++i) {
      if (block_.Has(i)) f(block_.firstId + static_cast<long>(i), block_.positions[i]);
    }
  }
  // Leaves the node out of the block Release hands over.
  void Remove(long id) {
    if (!Find(id)) return;
    auto& b = block_;
    b.absent.resize(b.positions.size(), false);
    b.absent[static_cast<std::size_t>(id - b.firstId)] = true;
    --size_;
  }
  // Hands the nodes over, leaving the table empty.
  NodeBlock Release() {
    size_ = 0;
    NodeBlock released = std::move(block_);
    block_ = NodeBlock();  // a moved-from block may still report its old size
    return released;
  }

 private:
  NodeBlock block_;
  std::size_t size_ = 0;
};

// An element as the readers take it: the model's row in place (see
// ElementView), its nodes in geometric order (along a beam, around a shell),
// and the record handle for the per-node transformations and fixations the
// row view leaves out.
class ElementRead {
 public:
  ElementRead(const AnalysisModel::ElementView& view, const XafElement& record, const unsigned* geometric)
      : view_(view), record_(record), geometric_(geometric) {}
  long GetId() const { return view_.id; }
  unsigned NodeCount() const { return view_.nodeCount; }
  // The node at `index` in geometric order, and its stored index.
  long GeometricNode(unsigned index) const { return view_.nodes[geometric_[index]]; }
  unsigned GeometricIndex(unsigned index) const { return geometric_[index]; }
  const AnalysisModel::ElementView& View() const { return view_; }
  const XafElement& Record() const { return record_; }

 private:
  const AnalysisModel::ElementView& view_;
  const XafElement& record_;
  const unsigned* geometric_;
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

  // The loads of a step that Read returned in `written`, read again as
  // they were first read (Read drops them). `written` must be what Read
  // returned, unchanged.
  StepLoads ReloadStepLoads(const StaticStep& step, const SolverModel& written);

 private:
  // ---- order of reading (ccx_export.cpp) ---------------------------------------
  void ReadModelSets();
  void Finish();

  // ---- nodes (ccx_export_nodes.cpp) -------------------------------------------
  void ReadNodes();
  std::optional<vec3d> LookupEccentricity(const ElementRead& element, unsigned storedIndex);
  std::optional<vec3d> EccentricityById(long id);
  void FindAnchoredNodes();
  void Anchor(long node);

  // ---- limits of the solver's expansion (ccx_export_limits.cpp) ---------------
  void FindRotationHeldNodes();
  // Counts a shell with a side under twice its thickness, and finds the
  // rotation-held nodes where shells of different planes meet.
  void CheckShellLimits(const std::array<long, 4>& corners, unsigned count, double thickness);
  // One note per limit the model meets.
  void NoteExpansionLimits();
  bool IsAnchored(long node) const {
    return node >= 0 && static_cast<std::size_t>(node) < anchored_.size() &&
           anchored_[static_cast<std::size_t>(node)];
  }
  long NextNodeId();
  long NewNode(const pos3d& position);
  bool IsGenerated(long node) const {
    return node >= firstGeneratedNode_ &&
           node < firstGeneratedNode_ + static_cast<long>(generatedNodes_.Count());
  }
  pos3d PositionOf(long node) const;
  // Whether the model has the node (in the solver model, once handed over).
  bool HasModelNode(long node) const {
    if (!written_) return nodes_.count(node) > 0;
    const NodeBlock& nodes = written_->nodes;
    return node >= nodes.firstId && static_cast<std::size_t>(node - nodes.firstId) < nodes.positions.size() &&
           nodes.Has(static_cast<std::size_t>(node - nodes.firstId));
  }
  long MidNode(long a, long b, bool shellSide = false);
  long BeamNode(long node, const vec3d& eccentricity, double armSize);
  void FinishNodes();

  // ---- elements (ccx_export_elements.cpp) -------------------------------------
  void ReadElements();
  const unsigned* GeometricOrder(const qlElementType& type, unsigned count);
  void CheckFixations(const ElementRead& element);
  vec3d EccentricityAt(const ElementRead& element, unsigned storedIndex);
  vec3d LocalZAxis(const ElementRead& element);
  void ReadBeam(const ElementRead& element);
  void ReadShell(const ElementRead& element);
  void RecordDeckBeams(long id, const std::vector<std::vector<long>>& rows, const SolverBeamSection& section,
                       const qlMaterial& material, const vec3d& tangent, const vec3d& n1);
  std::vector<long> SolverElements(long element) const;
  bool IsShell(long element) const {
    return element >= 0 && static_cast<std::size_t>(element) < shells_.size() &&
           shells_[static_cast<std::size_t>(element)];
  }
  void FinishElements();

  // ---- materials and sections (ccx_export_sections.cpp) -----------------------
  const qlMaterial* MaterialOf(long elementId, long materialId);
  const AnalysisModel::XafSection* SectionRowOf(long sectionId);
  const SolverBeamSection* BeamSectionOf(long elementId, long sectionId, const qlSection& section);
  ElementGroup& BeamGroup(bool quadratic, long sectionId, long materialId, const SolverBeamSection& mapped,
                          const vec3d& n1);
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
  void ReadLoadCase(long lc, NodalSums& nodal, std::vector<Pressure>& pressures,
                    std::map<long, std::pair<vec3d, vec3d>>& lineLoads, vec3d& pressureResultant);
  void ReadLoad(long lc, const LoadEntry& entry, NodalSums& nodal, std::vector<Pressure>& pressures,
                std::map<long, std::pair<vec3d, vec3d>>& lineLoads, vec3d& pressureResultant);
  void ReadNodeLoad(long lc, const LoadEntry& entry, NodalSums& nodal);
  void ReadLineLoad(long lc, const LoadEntry& entry, NodalSums& nodal,
                    std::map<long, std::pair<vec3d, vec3d>>& lineLoads);
  void ReadPressure(long lc, const LoadEntry& entry, std::vector<Pressure>& pressures, vec3d& resultant);
  std::optional<Gravity> ReadGravity(const vec3d& g, NodalSums& nodal);
  std::size_t LeaveOutHeldMoments(NodalSums& nodal, std::map<long, vec3d>* held) const;
  void AddLineLoad(NodalSums& loads, const BeamEnds& beam, const vec3d& q1, const vec3d& q2);
  void AddInertiaForce(NodalSums& nodal, long node, const vec3d& a, const vec3d& alpha, long lc);

  XafModel& model_;
  const ExportOptions& options_;
  CcxDeck* deck_ = nullptr;  // not owned: the deck being read for, during Read
  SolverModel solver_;
  // Not owned: the solver model Read handed over, while a step's loads are
  // read again; its nodes are then looked up there.
  const SolverModel* written_ = nullptr;
  bool reread_ = false;  // a step's loads are being read again
  std::size_t stepRoom_ = 0;  // bytes the steps' loads may still take while held
  Problems problems_;

  NodeTable nodes_;                // the model's nodes
  std::vector<long> cases_;        // the load cases to write, in step order
  std::vector<bool> anchored_;     // by node id: an eccentric beam must be joined to it
  std::map<long, long> detached_;  // model node left out -> its beam axis node
  GeneratedNodes generatedNodes_;  // numbered from firstGeneratedNode_
  long nextNode_ = 1, nextElement_ = 1, firstGeneratedNode_ = 1, firstGeneratedElement_ = 1;
  EdgeTable edges_;
  // Stored node index by geometric position, per element type and node
  // count met (elements come in runs of one type: the last is kept at hand).
  std::map<std::pair<const qlElementType*, unsigned>, std::vector<unsigned>> geometricOrders_;
  std::pair<const qlElementType*, unsigned> lastOrderKey_{nullptr, 0};
  const unsigned* lastOrder_ = nullptr;
  std::size_t expectedEdges_ = 0;  // counted by FindAnchoredNodes, for edges_
  std::map<std::tuple<long, double, double, double>, long> offsetNodes_;

  std::map<long, qlMaterial> materials_;
  // The rows of the section table read so far, by id (null: none), and the
  // last group each kind of element went to with what chose it: elements
  // come in runs of one section, material and axis.
  std::map<long, boost::shared_ptr<AnalysisModel::XafSection>> sectionRows_;
  struct GroupChoice {
    bool quadratic = false;
    long section = 0, material = 0;
    vec3d axis;
    double size = 0.0;
    ElementGroup* group = nullptr;
  };
  GroupChoice lastBeamGroup_, lastShellGroup_, lastArmGroup_;
  std::string groupKey_;
  // Eccentricity vectors by id, fetched once each (nullopt: missing).
  std::vector<std::optional<vec3d>> eccentricities_;
  std::vector<bool> eccentricityRead_;
  std::map<long, SolverBeamSection> sections_;
  std::map<std::string, ElementGroup> beamGroups_, shellGroups_, armGroups_;
  std::map<std::tuple<bool, long, long, double, double, double>, ElementGroup*> beamGroupsByChoice_;
  // The support springs along x, y and z: one group per direction.
  std::array<ElementGroup, 3> springGroups_;
  BeamTable beams_{[this](long node) { return PositionOf(node); }};
  std::vector<bool> shells_;  // by element id: written as shells
  std::set<long> refused_;    // elements that cannot be exported
  // Model elements written as several solver elements -> the ids beyond their own.
  ExtraParts extra_;
  // Elements whose material has a density: model elements, ascending, and
  // the parts generated for them (numbered after every model element).
  std::vector<long> denseElements_, denseExtras_;
  void AddDenseElement(long id) {
    // Room for every element at once: they come in runs of one material.
    if (denseElements_.empty()) denseElements_.reserve(model_.Elements().Count());
    denseElements_.push_back(id);
  }
  double maxBeamModulus_ = 0.0;

  std::vector<double> lumpedMass_;  // by model node id: structural mass lumped there
  void LumpMass(long node, double mass) {
    // Sized for every model node at once, rather than grown node by node.
    if (static_cast<std::size_t>(node) >= lumpedMass_.size())
      lumpedMass_.resize(std::max(static_cast<std::size_t>(node), static_cast<std::size_t>(firstGeneratedNode_)) + 1);
    lumpedMass_[static_cast<std::size_t>(node)] += mass;
  }
  double structuralMass_ = 0.0;  // of the elements gravity acts on
  // The nodes with a point mass or a support, ascending, from
  // FindAnchoredNodes until ReadNodeProperties reads them.
  struct NodeProperties {
    long node = 0;
    bool hasMass = false;
    std::array<double, 6> mass{};  // the sum of the node's point masses
    std::optional<AnalysisModel::Hinge> support;
  };
  std::vector<NodeProperties> nodeProperties_;
  std::map<long, std::array<double, 6>> pointMasses_;
  std::vector<bool> hasPointMass_;  // by node id: a key of pointMasses_
  bool HasPointMass(long node) const {
    return node >= 0 && static_cast<std::size_t>(node) < hasPointMass_.size() &&
           hasPointMass_[static_cast<std::size_t>(node)];
  }
  // Point masses grouped by their value as the deck writes it -> value, nodes.
  std::map<std::string, std::pair<double, std::vector<long>>> massElements_;
  std::map<long, std::vector<int>> boundaries_;
  std::vector<long> stressElements_;  // solver elements whose stresses are printed
  // Supported nodes with a fixed rotation -> the normal of the first shell
  // met there (zero until then); those where shells of other planes meet.
  std::map<long, vec3d> heldShellNormals_;
  std::set<long> curvedHeldNodes_;
  std::size_t thickShells_ = 0;  // shells with a side under twice their thickness
};

// The deck beam record of a solver line element (see DeckBeam).
DeckBeam MakeDeckBeam(long solverElement, long modelElement, int half, long first, long last,
                      const pos3d& firstPos, const pos3d& lastPos, const vec3d& tangent, const vec3d& n1,
                      const SolverBeamSection& section, double massPerLength);

}  // namespace Kestrum::Quilm::Solver::detail
