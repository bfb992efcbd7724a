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

#include <array>
#include <cmath>
#include <cstddef>
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
  void RecordDeckBeams(long id, const std::vector<std::vector<long>>& rows, const std::string& type,
                       const SolverBeamSection& section, const qlMaterial& material, const vec3d& tangent,
                       const vec3d& n1);
  std::vector<long> SolverElements(long element) const;
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
                    std::map<long, std::pair<vec3d, vec3d>>& lineLoads);
  void ReadNodeLoad(const LoadEntry& entry, const std::string& label, std::map<long, Dofs>& nodal);
  void ReadLineLoad(const LoadEntry& entry, const std::string& label, std::map<long, Dofs>& nodal,
                    std::map<long, std::pair<vec3d, vec3d>>& lineLoads);
  void ReadPressure(const LoadEntry& entry, const std::string& label, std::vector<Pressure>& pressures);
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
  ElementGroup springGroup_;
  std::map<long, BeamEnds> beams_;
  std::set<long> shells_;
  std::set<long> refused_;  // elements that cannot be exported
  // Model elements written as several solver elements -> the ids beyond their own.
  std::map<long, std::vector<long>> extra_;
  std::map<std::pair<long, long>, int> shellEdgeUse_;  // model shell edge -> shells using it
  std::set<std::pair<long, long>> beamEdges_;          // beam ends joined by a generated middle node
  std::vector<long> denseElements_;
  double maxBeamModulus_ = 0.0;

  std::map<long, double> lumpedMass_;  // structural mass lumped at model nodes
  std::map<long, std::array<double, 6>> pointMasses_;
  // Point masses grouped by their value as the deck writes it -> value, nodes.
  std::map<std::string, std::pair<double, std::vector<long>>> massElements_;
  std::map<long, std::vector<int>> boundaries_;
  std::vector<long> stressElements_;      // solver elements whose stresses are printed
  std::vector<std::string> unrecovered_;  // beams whose element results cannot be recovered
};

// The deck beam record of a solver line element (see DeckBeam).
DeckBeam MakeDeckBeam(long solverElement, long modelElement, int half, long first, long last,
                      const pos3d& firstPos, const pos3d& lastPos, const vec3d& tangent, const vec3d& n1,
                      const SolverBeamSection& section, double massPerLength);

}  // namespace Kestrum::Quilm::Solver::detail
