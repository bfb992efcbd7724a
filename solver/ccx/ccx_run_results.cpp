// Reading a finished run's result files into the solve results.
#include <fstream>
#include <iterator>
#include <sstream>

#include "solver/ccx/ccx_element_results.hpp"
#include "solver/ccx/ccx_runner.hpp"

namespace Kestrum::Quilm::Solver::detail {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

SolveResults ReadRunResults(const CcxDeck& deck, const std::string& directory) {
  const std::size_t cases = deck.loadCaseSteps.size();
  DatLayout layout;
  layout.staticSteps = cases + deck.combinationNames.size();
  layout.frequencies = deck.frequencyCount > 0;
  layout.buckling = deck.bucklingModes > 0;
  std::vector<ElementStresses> stresses;
  SolveResults results =
      ParseCcxDat(ReadText(directory + "/job.dat"), layout, deck.elementResults ? &stresses : nullptr);
  for (std::size_t i = 0; i < results.steps.size(); ++i) {
    StepResults& step = results.steps[i];
    if (i < cases) {
      step.loadCase = deck.loadCaseSteps[i];
      step.name = i < deck.loadCaseNames.size() ? deck.loadCaseNames[i] : "";
    } else {
      step.kind = AnalysisKind::Combination;
      step.name = deck.combinationNames[i - cases];
    }
  }
  for (StepResults& mode : results.buckling) mode.loadCase = deck.bucklingCase;
  FoldSupportReactions(deck, results);
  // Shapes keep the model's nodes only; the forces printed with them are
  // no reactions.
  for (auto* shapes : {&results.modes, &results.buckling}) {
    for (StepResults& shape : *shapes) {
      for (const SupportSpring& spring : deck.supportSprings) shape.displacements.erase(spring.end);
      shape.reactions.clear();
    }
  }
  if (deck.elementResults) {
    std::ifstream frdFile(directory + "/job.frd");
    if (!frdFile) throw SolverError("the solver wrote no " + directory + "/job.frd");
    RecoverElementResults(deck, ReadFrd(frdFile), stresses, results);
  }
  results.combinations.assign(std::make_move_iterator(results.steps.begin() + static_cast<long>(cases)),
                              std::make_move_iterator(results.steps.end()));
  results.steps.resize(cases);
  return results;
}

}  // namespace Kestrum::Quilm::Solver::detail
