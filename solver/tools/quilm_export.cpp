// quilm-export: writes the ccx input deck of an analysis model file and, on
// request, solves it and prints displacements, reactions and frequencies.
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "command_line.hpp"
#include "concept_maxima.hpp"
#include "input_file.hpp"
#include "output_file.hpp"
#include "results_summary.hpp"
#include "section_check.hpp"
#include "solver/ccx/ccx_export.hpp"
#include "solver/ccx/ccx_runner.hpp"
#include "solver/shared/store_results.hpp"
#include "terminal_progress.hpp"

#ifndef QUILM_VERSION
#define QUILM_VERSION "unknown"
#endif

namespace {

using namespace Kestrum::Quilm;

// The nodes the model's elements use: results of other nodes are left out.
std::set<long> UsedNodes(AnalysisModel::XafModel& model) {
  std::set<long> used;
  auto& connectivity = model.GetConnectivityManager();
  for (long id : model.Elements().GetElementIds()) {
    const AnalysisModel::Element e = connectivity.GetElementById(id);
    for (unsigned i = 0; i < e.NodeCount(); ++i) used.insert(e.GetNode(i, AnalysisModel::Element::Stored));
  }
  for (long id : model.Nodes())
    if (model.NodeProperties().GetBoundaryCondition(id) || !model.NodeProperties().GetMasses(id).empty())
      used.insert(id);
  return used;
}

// One line for a solver failure: the runner's first line (with the exit
// status) and the last lines the solver printed.
std::string SolverFailure(const std::string& message) {
  std::vector<std::string> lines;
  std::istringstream in(message);
  for (std::string line; std::getline(in, line);) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first != std::string::npos) lines.push_back(line.substr(first));
  }
  if (lines.empty()) return "the solver failed";
  std::string text = lines.front();
  if (!text.empty() && text.back() == ':') text.pop_back();
  if (lines.size() == 1) return text + (text.find("failed") != std::string::npos ? " with no output" : "");
  text += "; last output: ";
  const std::size_t from = lines.size() > 4 ? lines.size() - 3 : 1;
  for (std::size_t i = from; i < lines.size(); ++i) text += (i > from ? " | " : "") + lines[i];
  return text;
}

// Refuses a --ccx that is missing or not executable before any work. A
// relative path is made absolute: the solver runs in its own folder.
void CheckSolver(std::string& executable) {
  if (Solver::FindSolver(executable)) {
    if (executable.find('/') != std::string::npos)
      executable = std::filesystem::absolute(executable).string();
    return;
  }
  struct stat st {};
  if (executable.find('/') == std::string::npos)
    throw CLI::ValidationError("--ccx", "no program \"" + executable + "\" in PATH");
  if (::stat(executable.c_str(), &st) != 0)
    throw CLI::ValidationError("--ccx", "cannot run \"" + executable + "\": " + std::strerror(errno));
  throw CLI::ValidationError("--ccx", "\"" + executable + "\" is not an executable file");
}

// The deck's default name: the model's name with .inp; a model that already
// ends in .inp keeps its name and gets a second extension, so the default is
// never the model.
std::string DefaultDeckName(const std::string& modelFile) {
  const auto dot = modelFile.find_last_of('.');
  const auto slash = modelFile.find_last_of('/');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const bool isDeck = hasExtension && modelFile.compare(dot, std::string::npos, ".inp") == 0;
  return (hasExtension && !isDeck ? modelFile.substr(0, dot) : modelFile) + ".inp";
}

// "" when every load case asked for (--load-case, --buckling) is in the
// model; otherwise one line naming the first one missing and those the
// model has, so that the user can pick one.
std::string MissingLoadCase(AnalysisModel::XafModel& model, const Solver::ExportOptions& options) {
  const std::vector<long> known = model.Loads().GetLoadCaseIds();
  std::vector<std::pair<const char*, long>> asked;
  for (long id : options.loadCases) asked.emplace_back("--load-case", id);
  if (options.bucklingCase > 0) asked.emplace_back("--buckling", options.bucklingCase);
  for (const auto& [option, id] : asked) {
    if (std::find(known.begin(), known.end(), id) != known.end()) continue;
    std::string list;
    for (long k : known) list += (list.empty() ? "" : ", ") + std::to_string(k);
    return std::string(option) + " " + std::to_string(id) + ": no such load case (the model has " +
           (list.empty() ? std::string("none") : list) + ")";
  }
  return {};
}

// "9 steps: 5 load cases, 2 combinations, a frequency step, a buckling
// step": every step of the deck, counted by kind.
std::string DescribeSteps(const Solver::CcxDeck& deck) {
  const std::size_t cases = deck.loadCaseSteps.size(), combinations = deck.combinationNames.size();
  const bool frequency = deck.frequencyCount > 0, buckling = deck.bucklingModes > 0;
  const std::size_t total = cases + combinations + (frequency ? 1 : 0) + (buckling ? 1 : 0);
  std::string text = std::to_string(total) + (total == 1 ? " step: " : " steps: ");
  text += std::to_string(cases) + (cases == 1 ? " load case" : " load cases");
  if (combinations > 0) text += ", " + std::to_string(combinations) + (combinations == 1 ? " combination" : " combinations");
  if (frequency) text += ", a frequency step";
  if (buckling) text += ", a buckling step";
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  using quilm_tools::WholeNumber;
  std::string modelFile, deckFile;
  bool solve = false, quiet = false, fullTables = false;
  long long frequencies = 0, threads = 0, memoryLimit = 0;
  std::vector<long long> loadCases;
  Solver::ExportOptions exportOptions;
  Solver::RunOptions runOptions;

  CLI::App app{
      "quilm-export: writes the ccx input deck of an analysis model file and, on request,\n"
      "solves it and prints a summary of the results",
      "quilm-export"};
  app.set_version_flag("--version", std::string("quilm-export ") + QUILM_VERSION);
  app.add_option("MODEL", modelFile, "analysis model file (.qdb)")->required();
  app.add_option("-o,--deck", deckFile, "write the input deck to FILE (default: MODEL with .inp)");
  auto* solveFlag = app.add_flag("--solve", solve, "run the solver, store its results in MODEL and print a summary of them");
  auto* full = app.add_flag("--full", fullTables, "with --solve: also every node's displacement and every reaction");
  app.add_option("--frequencies", frequencies, "add a frequency step for N eigenfrequencies")
      ->transform(WholeNumber(1, 10000));
  app.add_option("--load-case", loadCases, "export this load case (repeatable; default: all)")
      ->transform(WholeNumber(1, 2147483647))
      ->take_last()
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_flag("--equivalent-sections", exportOptions.allowEquivalentSections,
               "export I-profiles and property-only sections through equivalent sections instead of failing");
  app.add_flag("--skip-unsupported", exportOptions.skipUnsupported,
               "leave out what the solver cannot take, with a note");
  // What only a solve uses is refused without --solve instead of being ignored.
  app.add_option("--ccx", runOptions.executable, "with --solve: the solver program (default: ccx in PATH)")
      ->needs(solveFlag);
  app.add_option("--threads", threads, "with --solve: solver threads (default: 1 for a deck under 1 MB, else every core)")
      ->transform(WholeNumber(1, 1024))
      ->needs(solveFlag);
  app.add_option("--memory-limit", memoryLimit, "with --solve: cap the solver's memory at MIB mebibytes")
      ->transform(WholeNumber(1, 1LL << 40))
      ->needs(solveFlag);
  app.add_option("--work-dir", runOptions.workDirectory, "with --solve: run the solver in DIR and keep its files")
      ->needs(solveFlag);
  bool elementResults = false, noElementResults = false;
  auto* withElements = app.add_flag("--element-results", elementResults,
                                    "recover rotations, beam section forces, reaction moments and shell "
                                    "stresses (the default with --solve)");
  app.add_flag("--no-element-results", noElementResults,
               "with --solve: displacements and reactions only (a lighter solve of a large model)")
      ->excludes(withElements)
      ->needs(solveFlag);
  std::vector<std::string> combinations;
  app.add_option("--combination", combinations, "also solve NAME=1.35*1+1.5*2 directly (repeatable)")
      ->take_last()
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  long long bucklingCase = 0, bucklingModes = 1;
  auto* buckling = app.add_option("--buckling", bucklingCase, "add a buckling step for load case CASE")
      ->transform(WholeNumber(1, 2147483647));
  app.add_option("--buckling-modes", bucklingModes, "with --buckling: this many load factors (default 1)")
      ->transform(WholeNumber(1, 1000))
      ->needs(buckling);
  full->needs(solveFlag);
  app.add_flag("--quiet", quiet, "no progress display and no notes");
  if (const int status = quilm_tools::Parse(app, argc, argv, "quilm-export"); status >= 0) return status;
  exportOptions.elementResults = elementResults || (solve && !noElementResults);
  exportOptions.frequencyCount = static_cast<int>(frequencies);
  runOptions.threads = threads > 0 ? static_cast<int>(threads) : Solver::RunOptions::kAutoThreads;
  runOptions.memoryLimitMiB = memoryLimit;
  for (long long id : loadCases) exportOptions.loadCases.push_back(static_cast<long>(id));
  exportOptions.bucklingCase = static_cast<long>(bucklingCase);
  exportOptions.bucklingModes = static_cast<int>(bucklingModes);
  try {
    for (const auto& text : combinations)
      exportOptions.combinations.push_back(Solver::ParseLoadCombination(text));
  } catch (const std::invalid_argument& e) {
    std::cerr << "quilm-export: --combination: " << e.what() << "\n";
    return 2;
  }
  if (deckFile.empty()) deckFile = DefaultDeckName(modelFile);

  try {
    if (solve) CheckSolver(runOptions.executable);
    if (!runOptions.workDirectory.empty()) {
      struct stat st {};
      if (::stat(runOptions.workDirectory.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        throw CLI::ValidationError("--work-dir", "\"" + runOptions.workDirectory + "\" is not a directory");
    }
  } catch (const CLI::ValidationError& e) {
    std::cerr << "quilm-export: " << e.what() << "\n";
    return 2;
  }
  try {
    quilm_tools::CheckInputFile(modelFile);
    quilm_tools::CheckOutputPath(deckFile, modelFile, quilm_tools::kDeckKind);
    // Read-write only to store a solve's results; SI; the file must exist.
    AnalysisModel::XafModel model(modelFile, solve ? 1 : 0, 1, false);
    // Taken as the deck is written: results are stamped with it, so that a
    // change to the model made during the solve marks them stale.
    const std::uint64_t fingerprint = solve ? model.Results().GetModelFingerprint() : 0;
    if (const std::string missing = MissingLoadCase(model, exportOptions); !missing.empty()) {
      std::cerr << "quilm-export: " << missing << "\n";
      return 2;
    }
    if (!exportOptions.allowEquivalentSections) {
      const std::string refused = quilm_export::SectionsNeedingEquivalents(model);
      if (!refused.empty()) {
        std::cerr << "quilm-export: " << refused << "\n";
        return 1;
      }
    }
    auto progress = quilm_tools::TerminalProgress::ForStderr(quiet);
    exportOptions.progress = runOptions.progress = progress.Callback();
    // The deck streams into its file as it is produced; the solver reads
    // that file, so the deck's text is never held in memory whole.
    Solver::CcxDeck deck;
    {
      quilm_tools::OutputFile out(deckFile);
      try {
        deck = Solver::ExportCcxDeck(model, out.Stream(), exportOptions);
      } catch (const std::exception&) {
        out.ThrowIfFailed();  // a failed write: say why, not only that the stream failed
        throw;
      }
      out.Commit();
    }
    if (!quiet)
      for (const auto& note : deck.notes) std::cerr << "note: " << note << "\n";
    if (!quiet)
      std::cerr << "wrote " << deckFile << " (" << DescribeSteps(deck) << ")\n";
    if (solve) {
      Solver::SolveResults results;
      try {
        results = Solver::RunSolver(deck, deckFile, runOptions);
      } catch (const Solver::SolverError& e) {
        std::cerr << "quilm-export: " << SolverFailure(e.what()) << "\n";
        return 1;
      }
      bool stored = true;
      try {
        Solver::StoreSolveResults(model, results, deck, fingerprint);
        model.Flush();
        if (!quiet)
          std::cerr << "stored the results of " << model.Results().GetAnalyses().size() << " analyses in "
                    << modelFile << (runOptions.workDirectory.empty() ? "" : "; the solver's files are in " +
                                                                             runOptions.workDirectory)
                    << "\n";
      } catch (const AnalysisModel::ModelError& e) {
        std::cerr << "quilm-export: the results were not stored: " << e.what() << "\n";
        stored = false;
      }
      quilm_export::PrintConceptMaxima(model, {fullTables ? 0u : 5u}, std::cout);
      quilm_export::SummaryOptions summary;
      summary.fullTables = fullTables;
      summary.usedNodes = UsedNodes(model);
      quilm_export::PrintSummary(results, deck, summary, std::cout);
      if (!stored) {
        quilm_tools::FinishStdout("quilm-export");
        return 1;
      }
    }
  } catch (const std::exception& e) {
    std::cerr << "quilm-export: " << e.what() << "\n";
    return 1;
  }
  return quilm_tools::FinishStdout("quilm-export") ? 0 : 1;
}
