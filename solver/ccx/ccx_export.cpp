// Writes a ccx input deck from an analysis model in two passes: the reader
// turns the model into a solver model (the order of reading is here), then
// the deck writer writes the deck from it.
#include "solver/ccx/ccx_export.hpp"

#include <algorithm>
#include <sstream>
#include <thread>

#include "solver/ccx/ccx_deck_writer.hpp"
#include "solver/ccx/ccx_export_internal.hpp"

namespace Kestrum::Quilm::Solver {
namespace detail {

SolverModel SolverModelReader::Read(CcxDeck& deck) {
  deck_ = &deck;
  ReadNodes();
  SelectLoadCases();
  FindAnchoredNodes();
  FindRotationHeldNodes();
  ReadElements();
  if (!detached_.empty()) {
    deck_->notes.push_back(std::to_string(detached_.size()) +
                           " node(s) joined only to eccentric beams, without support, mass or load, are left "
                           "out; the beam axis point at each is printed instead (see axisNodes)");
    deck_->axisNodes = detached_;
  }
  ReadNodeProperties();
  InheritFixities();
  HoldSupportsBySprings();
  stepRoom_ = edges_.MemoryBytes();
  edges_ = EdgeTable();  // done with: make room for the steps' loads
  ReadSteps();
  NoteExpansionLimits();
  problems_.Settle(options_.skipUnsupported, deck_->notes);
  ReadModelSets();
  Finish();
  deck_->firstGeneratedNode = firstGeneratedNode_;
  deck_->firstGeneratedElement = firstGeneratedElement_;
  deck_ = nullptr;
  return std::move(solver_);
}

// The model's named sets, as node and element sets S<id> (elements left
// out of the deck are left out of the sets too); empty sets are left out.
void SolverModelReader::ReadModelSets() {
  for (long id : model_.Sets().GetSetIds()) {
    auto set = model_.Sets().GetSet(id);
    if (!set) continue;
    const auto& content = set->GetEntitySet();
    ModelSet written;
    written.id = id;
    written.nodes.assign(content.Nodes().begin(), content.Nodes().end());
    // The model elements ascending, then the parts split off them: those
    // are numbered after every model element, in the order of the elements
    // they come from, so the whole list is ascending.
    std::vector<long> parts;
    for (long e : content.Elements()) {
      if (beams_.count(e) || IsShell(e)) {
        extra_.ForEach(e, [&](long part) { (part == e ? written.elements : parts).push_back(part); });
      }
    }
    written.elements.insert(written.elements.end(), parts.begin(), parts.end());
    if (written.nodes.empty() && written.elements.empty()) continue;
    written.name = set->GetName();
    solver_.modelSets.push_back(std::move(written));
  }
}

// Moves what was read into the solver model, in the deck's order.
void SolverModelReader::Finish() {
  solver_.source = model_.GetFileName();
  if (options_.elementResults) {
    // The nodes' masses for the modes' participation, with their positions
    // (read before FinishNodes hands the nodes over).
    for (std::size_t node = 0; node < lumpedMass_.size(); ++node)
      if (lumpedMass_[node] != 0.0) deck_->nodeMasses[static_cast<long>(node)] = lumpedMass_[node];
    for (const auto& [node, m] : pointMasses_) deck_->nodeMasses[node] += m[0];
    for (const auto& entry : deck_->nodeMasses) deck_->nodePositions[entry.first] = PositionOf(entry.first);
  }
  FinishNodes();
  FinishMaterials();  // before the element groups move: it asks whether there are arms
  FinishElements();
  FinishMasses();
  solver_.boundaries = boundaries_;  // a copy: reading a step's loads again needs them
  solver_.frequencyCount = options_.frequencyCount;
  solver_.elementResults = deck_->elementResults = options_.elementResults;
  std::sort(stressElements_.begin(), stressElements_.end());
  auto& shellNodes = deck_->shellNodes;
  std::sort(shellNodes.begin(), shellNodes.end());
  shellNodes.erase(std::unique(shellNodes.begin(), shellNodes.end()), shellNodes.end());
  solver_.stressElements = std::move(stressElements_);
}

}  // namespace detail

CcxDeck ExportCcxDeck(AnalysisModel::XafModel& model, std::ostream& out, const ExportOptions& options) {
  if (options.frequencyCount < 0) throw ExportError("the number of eigenfrequencies cannot be negative");
  if (!(options.armStiffnessFactor > 0.0)) throw ExportError("the arm stiffness factor must be positive");
  if (options.bucklingCase < 0) throw ExportError("the buckling load case must be positive");
  if (options.threads < 0) throw ExportError("the number of threads cannot be negative");
  const int threads = options.threads > 0 ? options.threads : std::thread::hardware_concurrency() >= 2 ? 2 : 1;
  CcxDeck deck;
  deck.solver = "ccx";
  {
    // Dropped before returning: the solver model is the largest thing the
    // export holds, and the caller may go on to solve.
    detail::SolverModelReader reader(model, options);
    const detail::SolverModel solverModel = reader.Read(deck);
    detail::WriteDeck(out, solverModel, deck.notes, options.progress, [&](const detail::StaticStep& step) {
      return reader.ReloadStepLoads(step, solverModel);
    }, threads);
  }
  if (!out) throw ExportError("cannot write the deck: the output stream failed");
  return deck;
}

CcxDeck ExportCcxDeck(AnalysisModel::XafModel& model, const ExportOptions& options) {
  std::ostringstream out;
  CcxDeck deck = ExportCcxDeck(model, out, options);
  deck.text = out.str();
  return deck;
}

}  // namespace Kestrum::Quilm::Solver
