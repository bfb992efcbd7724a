// quilm-solve: solves an analysis model file's load cases (and
// combinations), stores the results in the model and prints the summary
// quilm-export --solve prints. The native solver by default; --solver ccx
// runs the external solver through its input deck instead.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "command_line.hpp"
#include "concept_maxima.hpp"
#include "input_file.hpp"
#include "results_summary.hpp"
#include "solver/ccx/ccx_export.hpp"
#include "solver/ccx/ccx_runner.hpp"
#include "solver/native/native_solver.hpp"
#include "solver/shared/store_results.hpp"
#include "terminal_progress.hpp"

#ifndef QUILM_VERSION
#define QUILM_VERSION "unknown"
#endif

namespace {

using namespace Kestrum::Quilm;

struct Request {
  std::string modelFile;
  std::string solver = "native";
  bool quiet = false, fullTables = false, equivalentSections = false;
  std::vector<long> loadCases;
  std::vector<Solver::LoadCombination> combinations;
  std::string ccx = "ccx";
};

// The nodes the model's elements use, supports and masses: the summary
// leaves others out.
std::set<long> UsedNodes(AnalysisModel::XafModel& model) {
  std::set<long> used;
  model.Elements().ForEachElement([&](const AnalysisModel::ElementView& e) {
    for (unsigned i = 0; i < e.nodeCount; ++i) used.insert(e.nodes[i]);
  });
  model.NodeProperties().ForEachMassOrSupport(
      [&](long node, const std::vector<AnalysisModel::Mass>&, const boost::optional<AnalysisModel::Hinge>&) {
        used.insert(node);
      });
  return used;
}

Solver::SolveResults SolveWithCcx(AnalysisModel::XafModel& model, const Request& request,
                                  const AnalysisModel::ProgressCallback& progress, Solver::SolvedModel& solved) {
  Solver::ExportOptions options;
  options.loadCases = request.loadCases;
  options.combinations = request.combinations;
  options.elementResults = true;
  options.allowEquivalentSections = request.equivalentSections;
  options.progress = progress;
  const Solver::CcxDeck deck = Solver::ExportCcxDeck(model, options);
  if (!request.quiet)
    for (const auto& note : deck.notes) std::cerr << "note: " << note << "\n";
  Solver::RunOptions run;
  run.executable = request.ccx;
  run.threads = Solver::RunOptions::kAutoThreads;
  run.progress = progress;
  Solver::SolveResults results = Solver::RunSolver(deck, run);
  solved = deck;
  return results;
}

Solver::SolveResults SolveNatively(AnalysisModel::XafModel& model, const Request& request,
                                   const AnalysisModel::ProgressCallback& progress, Solver::SolvedModel& solved) {
  Solver::NativeOptions options;
  options.loadCases = request.loadCases;
  options.combinations = request.combinations;
  options.progress = progress;
  Solver::NativeSolve solve = Solver::SolveNative(model, options);
  if (!request.quiet) {
    for (const auto& note : solve.notes) std::cerr << "note: " << note << "\n";
    const auto& s = solve.statistics;
    std::fprintf(stderr,
                 "native solve: %lld equations, read %.2f s, assembled %.2f s, factorised %.2f s, "
                 "solved %.2f s, recovered %.2f s\n",
                 static_cast<long long>(s.equations), s.readSeconds, s.assembleSeconds, s.factoriseSeconds,
                 s.solveSeconds, s.recoverSeconds);
  }
  solved = std::move(solve.solved);
  return std::move(solve.results);
}

int Run(const Request& request) {
  quilm_tools::CheckInputFile(request.modelFile);
  AnalysisModel::XafModel model(request.modelFile, 1, 1, false);
  const std::uint64_t fingerprint = model.Results().GetModelFingerprint();
  auto progress = quilm_tools::TerminalProgress::ForStderr(request.quiet);
  Solver::SolvedModel solved;
  Solver::SolveResults results;
  try {
    results = request.solver == "ccx" ? SolveWithCcx(model, request, progress.Callback(), solved)
                                      : SolveNatively(model, request, progress.Callback(), solved);
  } catch (const Solver::SolverError& e) {
    std::cerr << "quilm-solve: " << e.what() << "\n";
    return 1;
  }
  bool stored = true;
  try {
    Solver::StoreSolveResults(model, results, solved, fingerprint);
    model.Flush();
  } catch (const AnalysisModel::ModelError& e) {
    std::cerr << "quilm-solve: the results were not stored: " << e.what() << "\n";
    stored = false;
  }
  quilm_export::PrintConceptMaxima(model, {request.fullTables ? 0u : 5u}, std::cout);
  quilm_export::SummaryOptions summary;
  summary.fullTables = request.fullTables;
  summary.usedNodes = UsedNodes(model);
  quilm_export::PrintSummary(results, solved, summary, std::cout);
  return stored ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  using quilm_tools::WholeNumber;
  Request request;
  std::vector<long long> loadCases;
  std::vector<std::string> combinations;
  CLI::App app{
      "quilm-solve: solves the load cases of an analysis model file, stores the results in it\n"
      "and prints a summary of them",
      "quilm-solve"};
  app.set_version_flag("--version", std::string("quilm-solve ") + QUILM_VERSION);
  app.add_option("MODEL", request.modelFile, "analysis model file (.qdb)")->required();
  auto* solver = app.add_option("--solver", request.solver, "native (the default) or ccx (the external solver)")
                     ->check(CLI::IsMember({"native", "ccx"}));
  app.add_option("--load-case", loadCases, "solve this load case (repeatable; default: all)")
      ->transform(WholeNumber(0, 2147483647))
      ->take_last()
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--combination", combinations, "also give NAME=1.35*1+1.5*2 (repeatable)")
      ->take_last()
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_flag("--full", request.fullTables, "also every node's displacement and every reaction");
  app.add_flag("--equivalent-sections", request.equivalentSections,
               "with --solver ccx: I-profiles and property-only sections through equivalent sections")
      ->needs(solver);
  app.add_option("--ccx", request.ccx, "with --solver ccx: the solver program (default: ccx in PATH)")->needs(solver);
  app.add_flag("--quiet", request.quiet, "no progress display and no notes");
  if (const int status = quilm_tools::Parse(app, argc, argv, "quilm-solve"); status >= 0) return status;
  if (request.solver != "ccx" && (request.equivalentSections || request.ccx != "ccx")) {
    std::cerr << "quilm-solve: --equivalent-sections and --ccx apply only with --solver ccx (see --help)\n";
    return 2;
  }
  for (long long id : loadCases) request.loadCases.push_back(static_cast<long>(id));
  try {
    for (const auto& text : combinations) request.combinations.push_back(Solver::ParseLoadCombination(text));
  } catch (const std::invalid_argument& e) {
    std::cerr << "quilm-solve: --combination: " << e.what() << "\n";
    return 2;
  }
  try {
    const int status = Run(request);
    if (!quilm_tools::FinishStdout("quilm-solve")) return 1;
    return status;
  } catch (const std::exception& e) {
    std::cerr << "quilm-solve: " << e.what() << "\n";
    return 1;
  }
}
