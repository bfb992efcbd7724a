// The state shared by the parts of the ccx deck export (not installed): the
// problem list, the element groups and the DeckBuilder that reads the model
// and writes the deck. Its members are defined by job:
//   ccx_export.cpp           the export entry point and the deck's assembly;
//   ccx_export_nodes.cpp     model and generated nodes, offset beam ends;
//   ccx_export_elements.cpp  beams and shells;
//   ccx_export_sections.cpp  materials, beam sections, shell thicknesses, arms;
//   ccx_export_supports.cpp  point masses and boundary conditions;
//   ccx_export_loads.cpp     load cases and their steps.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "definitions/material.hpp"
#include "definitions/section.hpp"
#include "geometry/geometry.hpp"
#include "solver/beam_mapping.hpp"
#include "solver/ccx_export.hpp"
#include "solver/deck_format.hpp"

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

// A direction as the deck writes it: "x, y, z".
inline std::string VecKey(const vec3d& v) {
  return FormatNumber(v.x) + ", " + FormatNumber(v.y) + ", " + FormatNumber(v.z);
}

// A group of elements that share the solver's element type and section
// data, written as one *ELEMENT block with its own element set.
struct ElementGroup {
  std::string name;
  std::string type;
  std::string sectionKeyword;           // the section keyword lines after "ELSET=name"
  std::vector<std::vector<long>> rows;  // element id, then its nodes
};

// The beam as the solver sees it: its end nodes (offset ends where eccentric).
struct BeamEnds {
  long first, last;
  pos3d firstPos, lastPos;
  long middle = 0;  // the middle node of a three-node beam, 0 for none
};

// Reads an analysis model and writes its deck; one builder per export. The
// model and the options are not owned and must outlive the builder.
class DeckBuilder {
 public:
  DeckBuilder(XafModel& model, const ExportOptions& options) : model_(model), options_(options) {}

  // Reads the whole model and returns the deck; throws ExportError naming
  // every record that cannot be exported.
  CcxDeck Build();

 private:
  // ---- assembly (ccx_export.cpp) ----------------------------------------------
  std::string Assemble(const std::string& steps);
  void WriteModelSets(std::ostream& out);

  // ---- nodes (ccx_export_nodes.cpp) -------------------------------------------
  void ReadNodes();
  std::optional<vec3d> LookupEccentricity(const XafElement& record, unsigned storedIndex);
  void FindAnchoredNodes();
  long NewNode(const pos3d& position);
  pos3d PositionOf(long node) const;
  long MidNode(long a, long b);
  long BeamNode(long node, const vec3d& eccentricity, double armSize);
  void WriteNodes(std::ostream& out);
  void WriteNodeLine(std::ostream& out, long id, const pos3d& p);

  // ---- elements (ccx_export_elements.cpp) -------------------------------------
  void ReadElements();
  void CheckFixations(const Element& element, const XafElement& record);
  vec3d EccentricityAt(const XafElement& record, unsigned storedIndex);
  vec3d LocalZAxis(const Element& element, const XafElement& record);
  void ReadBeam(const Element& element, const XafElement& record);
  void ReadShell(const Element& element, const XafElement& record);
  std::vector<long> SolverElements(long element) const;
  void WriteElementGroups(std::ostream& out);

  // ---- materials and sections (ccx_export_sections.cpp) -----------------------
  std::optional<qlMaterial> MaterialOf(long elementId, long materialId);
  const SolverBeamSection* BeamSectionOf(long elementId, long sectionId, const qlSection& section);
  ElementGroup& BeamGroup(const std::string& type, long sectionId, long materialId,
                          const SolverBeamSection& mapped, const vec3d& n1);
  ElementGroup& ShellGroup(long sectionId, long materialId, double thickness);
  ElementGroup& ArmGroup(const vec3d& direction, double armSize);
  void WriteMaterials(std::ostream& out);
  void WriteSections(std::ostream& out);

  // ---- masses and boundary conditions (ccx_export_supports.cpp) ---------------
  void ReadNodeProperties();
  void InheritFixities();
  void WriteMassElements(std::ostream& out);
  void WriteBoundaries(std::ostream& out);

  // ---- loads (ccx_export_loads.cpp) -------------------------------------------
  void SelectLoadCases();
  void AddNodal(std::map<long, Dofs>& loads, long node, const vec3d& force, const vec3d& moment);
  void AddLineLoad(std::map<long, Dofs>& loads, const BeamEnds& beam, const vec3d& q1, const vec3d& q2);
  void WriteSteps(std::ostream& out);
  void WriteStaticStep(std::ostream& out, long lc);
  void AddInertiaForce(std::map<long, Dofs>& nodal, long node, const vec3d& a, const vec3d& alpha,
                       const std::string& label);
  void WriteGravitySet(std::ostream& out);

  XafModel& model_;
  const ExportOptions& options_;
  CcxDeck deck_;
  Problems problems_;

  std::map<long, pos3d> nodes_;    // the model's nodes
  std::vector<long> cases_;        // the load cases to write, in step order
  std::set<long> anchored_;        // nodes an eccentric beam must be joined to
  std::map<long, long> detached_;  // model node left out -> its beam axis node
  std::vector<std::pair<long, pos3d>> generatedNodes_;
  std::map<long, pos3d> positions_;  // positions of generated nodes
  long nextNode_ = 1, nextElement_ = 1, firstGeneratedNode_ = 1, firstGeneratedElement_ = 1;
  std::map<std::pair<long, long>, long> midNodes_;
  std::map<std::tuple<long, double, double, double>, long> offsetNodes_;

  std::map<long, qlMaterial> materials_;
  std::map<long, SolverBeamSection> sections_;
  std::map<std::string, ElementGroup> beamGroups_, shellGroups_, armGroups_;
  std::map<long, BeamEnds> beams_;
  std::set<long> shells_;
  std::set<long> refused_;  // elements that cannot be exported
  // Model elements written as several solver elements -> the ids beyond their own.
  std::map<long, std::vector<long>> extra_;
  std::map<std::pair<long, long>, int> shellEdgeUse_;  // model shell edge -> shells using it
  std::vector<long> denseElements_;
  double maxBeamModulus_ = 0.0;

  std::map<long, double> lumpedMass_;  // structural mass lumped at model nodes
  std::map<long, std::array<double, 6>> pointMasses_;
  std::map<std::string, std::vector<long>> massElements_;  // mass value -> nodes
  std::map<long, std::vector<int>> boundaries_;
};

}  // namespace Kestrum::Quilm::Solver::detail
