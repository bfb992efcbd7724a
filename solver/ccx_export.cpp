// Writes a ccx input deck from an analysis model: the entry point, the order
// in which the model is read, and the assembly of the deck's blocks.
#include "solver/ccx_export.hpp"

#include <algorithm>
#include <sstream>

#include "solver/ccx_export_internal.hpp"

namespace Kestrum::Quilm::Solver {
namespace detail {

CcxDeck DeckBuilder::Build() {
  ReadNodes();
  SelectLoadCases();
  FindAnchoredNodes();
  ReadElements();
  if (!detached_.empty()) {
    deck_.notes.push_back(std::to_string(detached_.size()) +
                          " node(s) joined only to eccentric beams, without support, mass or load, are left "
                          "out; the beam axis point at each is printed instead (see axisNodes)");
    deck_.axisNodes = detached_;
  }
  ReadNodeProperties();
  InheritFixities();
  std::ostringstream steps;
  WriteSteps(steps);
  problems_.Settle(options_.skipUnsupported, deck_.notes);
  deck_.text = Assemble(steps.str());
  deck_.firstGeneratedNode = firstGeneratedNode_;
  deck_.firstGeneratedElement = firstGeneratedElement_;
  return std::move(deck_);
}

std::string DeckBuilder::Assemble(const std::string& steps) {
  std::ostringstream out;
  out << "** Written from the analysis model " << CommentText(model_.GetFileName()) << "\n";
  for (const auto& note : deck_.notes) out << "** Note: " << CommentText(note) << "\n";
  WriteNodes(out);
  WriteElementGroups(out);
  WriteMassElements(out);
  WriteMaterials(out);
  WriteSections(out);
  WriteGravitySet(out);
  WriteModelSets(out);
  WriteBoundaries(out);
  out << steps;
  return out.str();
}

// The model's named sets, as node and element sets S<id> (elements left
// out of the deck are left out of the sets too).
void DeckBuilder::WriteModelSets(std::ostream& out) {
  for (long id : model_.Sets().GetSetIds()) {
    auto set = model_.Sets().GetSet(id);
    if (!set) continue;
    const std::string name = "S" + std::to_string(id);
    const auto& content = set->GetEntitySet();
    std::vector<long> setNodes(content.Nodes().begin(), content.Nodes().end());
    std::vector<long> setElements;  // sorted below: split halves come out of order
    for (long e : content.Elements()) {
      if (beams_.count(e) || shells_.count(e)) setElements.push_back(e);
      if (beams_.count(e) || shells_.count(e)) {
        const auto parts = SolverElements(e);
        setElements.insert(setElements.end(), parts.begin() + 1, parts.end());
      }
    }
    std::sort(setElements.begin(), setElements.end());
    if (setNodes.empty() && setElements.empty()) continue;
    out << "** Set " << id << " " << CommentText(set->GetName()) << "\n";
    if (!setNodes.empty()) {
      out << "*NSET, NSET=" << name << "\n";
      WriteIdLines(out, setNodes);
    }
    if (!setElements.empty()) {
      out << "*ELSET, ELSET=" << name << "\n";
      WriteIdLines(out, setElements);
    }
  }
}

}  // namespace detail

CcxDeck ExportCcxDeck(AnalysisModel::XafModel& model, const ExportOptions& options) {
  if (options.frequencyCount < 0) throw ExportError("the number of eigenfrequencies cannot be negative");
  if (!(options.armStiffnessFactor > 0.0)) throw ExportError("the arm stiffness factor must be positive");
  return detail::DeckBuilder(model, options).Build();
}

}  // namespace Kestrum::Quilm::Solver
