// quilm-solve: solves an analysis model file's load cases (and
// combinations), stores the results in the model and prints the summary
// quilm-export --solve prints. The native solver by default; --solver ccx
// runs the external solver through its input deck instead.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
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
#include "solver/native/native_dynamics.hpp"
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
  // Modes: asked for when any of these is set.
  int modes = 0;
  double modesUpToHertz = 0.0, modesUntilMass = 0.0;
  bool lumpedMass = false;
  std::vector<std::pair<long, double>> loadsAsMass;
  // Buckling of a load case or combination.
  std::string buckling;
  int bucklingCount = 5;
  // Response spectrum: the spectrum's file or parameters as given, and its
  // text (read before the model is opened, so that a bad file is named
  // before any solving).
  std::string spectrum, spectrumText, spectrumDirections = "XY";
  bool srss = false, hundredThirty = false;
  double damping = 0.05;
  // Factors out of core in this folder (forced), or in memory (forced);
  // the memory cap in MB.
  std::string outOfCore;
  bool inCore = false;
  std::int64_t memoryLimit = 0;
  Solver::NativeMemoryOptions Memory() const {
    Solver::NativeMemoryOptions memory;
    if (!outOfCore.empty()) memory.storage = Solver::FactorStorage::OutOfCore;
    if (inCore) memory.storage = Solver::FactorStorage::InCore;
    memory.outOfCoreFolder = outOfCore;
    memory.limitMegabytes = memoryLimit;
    return memory;
  }
  bool WantsModes() const { return modes > 0 || modesUpToHertz > 0.0 || modesUntilMass > 0.0; }
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
  options.memory = request.Memory();
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
    if (s.outOfCore)
      std::fprintf(stderr, "factors out of core: %lld MB on disk, about %lld MB in memory (%lld MB in core)\n",
                   static_cast<long long>(s.diskMegabytes), static_cast<long long>(s.outOfCoreMegabytes),
                   static_cast<long long>(s.factorMegabytes));
    else
      std::fprintf(stderr, "factors in memory: about %lld MB of %lld MB allowed\n",
                   static_cast<long long>(s.factorMegabytes), static_cast<long long>(s.memoryLimitMegabytes));
  }
  solved = std::move(solve.solved);
  return std::move(solve.results);
}

// The modes' table: frequency, period and the effective mass of each mode
// as shares of the total, per direction and summed.
void PrintModes(const Solver::NativeModes& modes, std::ostream& out) {
  const auto& total = modes.mass.total;
  out << "Modes (" << modes.results.modes.size() << "; inertia check: " << modes.sturmCount
      << " eigenvalues below " << modes.sturmHertz << " Hz)\n"
      << "  mode   frequency (Hz)   period (s)   mass X %  mass Y %  mass Z %   sum X %  sum Y %  sum Z %\n";
  std::array<double, 3> sum{};
  for (const auto& mode : modes.results.modes) {
    char line[200];
    double share[3];
    for (int d = 0; d < 3; ++d) {
      share[d] = total[d] > 0.0 ? 100.0 * mode.effectiveMass[d] / total[d] : 0.0;
      sum[d] += share[d];
    }
    std::snprintf(line, sizeof line, "  %4d  %14.6g  %11.5g  %8.2f  %8.2f  %8.2f  %8.2f  %7.2f  %7.2f\n", mode.mode,
                  mode.eigenvalue, mode.eigenvalue > 0.0 ? 1.0 / mode.eigenvalue : 0.0, share[0], share[1],
                  share[2], sum[0], sum[1], sum[2]);
    out << line;
  }
  out << "  total mass: X " << total[0] << " kg, Y " << total[1] << " kg, Z " << total[2] << " kg\n";
}

void AddModes(AnalysisModel::XafModel& model, const Request& request, const AnalysisModel::ProgressCallback& progress,
              Solver::SolveResults& results) {
  Solver::ModeOptions options;
  options.count = request.modes > 0 ? request.modes : 1;
  options.upToHertz = request.modesUpToHertz;
  options.massShare = request.modesUntilMass;
  options.mass = request.lumpedMass ? Solver::NativeMassForm::Lumped : Solver::NativeMassForm::Consistent;
  options.loadsAsMass = request.loadsAsMass;
  options.memory = request.Memory();
  options.progress = progress;
  Solver::NativeModes modes = Solver::SolveModes(model, options);
  if (!request.quiet)
    for (const auto& note : modes.notes) std::cerr << "note: " << note << "\n";
  PrintModes(modes, std::cout);
  results.frequencies = std::move(modes.results.frequencies);
  results.modes = std::move(modes.results.modes);
}

void AddBuckling(AnalysisModel::XafModel& model, const Request& request,
                 const AnalysisModel::ProgressCallback& progress, Solver::SolveResults& results) {
  Solver::BucklingOptions options;
  const Solver::LoadCombination loads = Solver::ParseLoadCombination(
      request.buckling.find('=') == std::string::npos ? request.buckling + "=1*" + request.buckling : request.buckling);
  options.loads = loads.factors;
  options.name = loads.name;
  options.count = request.bucklingCount;
  options.memory = request.Memory();
  options.progress = progress;
  Solver::NativeBuckling buckling = Solver::SolveBuckling(model, options);
  if (!request.quiet)
    for (const auto& note : buckling.notes) std::cerr << "note: " << note << "\n";
  results.buckling = std::move(buckling.results.buckling);
}

// The spectrum as text: a file's content, or the parameters as typed.
std::string SpectrumText(const std::string& argument) {
  if (argument.find('=') != std::string::npos) return argument;
  quilm_tools::CheckInputFile(argument);
  std::ifstream in(argument);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) throw std::runtime_error("cannot read the spectrum \"" + argument + "\"");
  return text.str();
}

void AddSpectrum(AnalysisModel::XafModel& model, const Request& request,
                 const AnalysisModel::ProgressCallback& progress, Solver::SolveResults& results) {
  Solver::SpectrumOptions options;
  options.spectrum = request.spectrumText;
  options.directions = {request.spectrumDirections.find('X') != std::string::npos,
                        request.spectrumDirections.find('Y') != std::string::npos,
                        request.spectrumDirections.find('Z') != std::string::npos};
  options.cqc = !request.srss;
  options.hundredThirty = request.hundredThirty;
  options.damping = request.damping;
  if (request.modes > 0) options.modes.count = request.modes;
  if (request.modesUntilMass > 0.0) options.modes.massShare = request.modesUntilMass;
  options.modes.upToHertz = request.modesUpToHertz;
  options.modes.mass = request.lumpedMass ? Solver::NativeMassForm::Lumped : Solver::NativeMassForm::Consistent;
  options.modes.loadsAsMass = request.loadsAsMass;
  options.modes.memory = request.Memory();
  options.modes.progress = progress;
  Solver::NativeSpectrum rsa = Solver::SolveResponseSpectrum(model, options);
  if (!request.quiet)
    for (const auto& note : rsa.notes) std::cerr << "note: " << note << "\n";
  static const char* const kAxes[] = {"X", "Y", "Z"};
  std::cout << "Response spectrum \"" << rsa.results.spectra[0].name << "\" on " << rsa.results.modes.size()
            << " modes\n";
  for (int d = 0; d < 3; ++d) {
    if (!options.directions[static_cast<std::size_t>(d)]) continue;
    char line[200];
    std::snprintf(line, sizeof line, "  base shear %s  %.4g kN (static equivalent %.4g kN, ratio %.3f), mass %.1f %%\n",
                  kAxes[d], rsa.baseShear[static_cast<std::size_t>(d)] / 1e3,
                  rsa.staticBaseShear[static_cast<std::size_t>(d)] / 1e3,
                  rsa.baseShear[static_cast<std::size_t>(d)] / rsa.staticBaseShear[static_cast<std::size_t>(d)],
                  100.0 * rsa.mass.captured[static_cast<std::size_t>(d)] / rsa.mass.total[static_cast<std::size_t>(d)]);
    std::cout << line;
  }
  if (results.modes.empty()) {
    results.frequencies = std::move(rsa.results.frequencies);
    results.modes = std::move(rsa.results.modes);
  }
  results.spectra = std::move(rsa.results.spectra);
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
    if (request.WantsModes()) AddModes(model, request, progress.Callback(), results);
    if (!request.buckling.empty()) AddBuckling(model, request, progress.Callback(), results);
    if (!request.spectrum.empty()) AddSpectrum(model, request, progress.Callback(), results);
  } catch (const Solver::NativeMemoryError& e) {
    std::string message = e.what();
    const std::string outOfCore = "solve out of core";
    if (const auto at = message.find(outOfCore); at != std::string::npos)
      message.insert(at + outOfCore.size(), " (--out-of-core DIR)");
    std::cerr << "quilm-solve: " << message << "\n";
    return 1;
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
  app.add_option("--modes", request.modes, "also the lowest N modes (native solver)")
                    ->check(CLI::Range(1, 100000));
  app.add_option("--modes-up-to", request.modesUpToHertz, "also every mode up to this frequency (Hz)")
                   ->check(CLI::PositiveNumber);
  app.add_option("--modes-until-mass", request.modesUntilMass,
                                   "also as many modes as carry this share (e.g. 0.9) of the mass in X and Y")
                        ->check(CLI::Range(0.0, 0.999999));
  app.add_flag("--lumped-mass", request.lumpedMass, "modes with lumped rather than consistent element mass");
  std::vector<std::string> massLoads;
  app.add_option("--mass-from", massLoads, "modes: take a load case's loads along gravity as mass, CASE or CASE*FACTOR")
      ->take_last()
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  auto* buckling = app.add_option("--buckling", request.buckling,
                                  "also the buckling load factors of a load case (number) or NAME=1.35*1+1.5*2");
  app.add_option("--buckling-count", request.bucklingCount, "how many buckling factors (default 5)")
      ->check(CLI::Range(1, 1000))
      ->needs(buckling);
  auto* spectrum = app.add_option("--spectrum", request.spectrum,
                                  "also a response spectrum analysis: a file of \"period acceleration\" lines, or "
                                  "\"ag=3 S=1.2 TB=0.15 TC=0.5 TD=2 damping=0.05\"");
  app.add_option("--spectrum-directions", request.spectrumDirections, "the directions excited: X, Y, Z (default XY)")
      ->check(CLI::IsMember({"X", "Y", "Z", "XY", "XZ", "YZ", "XYZ"}))
      ->needs(spectrum);
  app.add_flag("--srss", request.srss, "combine the modes by SRSS (default CQC)")->needs(spectrum);
  app.add_flag("--100-30", request.hundredThirty, "combine directions by the 100/30 rule (default SRSS)")
      ->needs(spectrum);
  app.add_option("--damping", request.damping, "the damping ratio of the CQC correlation (default 0.05)")
      ->check(CLI::Range(0.001, 0.999))
      ->needs(spectrum);
  auto* outOfCore = app.add_option("--out-of-core", request.outOfCore,
                 "native solver: factorise out of core, the factors in a temporary folder inside DIR (an existing "
                 "folder on a local disk; removed afterwards)");
  app.add_flag("--in-core", request.inCore,
               "native solver: keep the factors in memory, refused rather than out of core where they do not fit")
      ->excludes(outOfCore);
  app.add_option("--memory-limit", request.memoryLimit,
                 "native solver: the memory (MB) the factorisation may take (default: what is available); out of "
                 "core when the estimate exceeds it, refused when that does not fit either")
      ->check(CLI::Range(std::int64_t{1}, std::int64_t{1} << 40));
  if (const int status = quilm_tools::Parse(app, argc, argv, "quilm-solve"); status >= 0) return status;
  if (request.solver == "ccx" && (!request.outOfCore.empty() || request.inCore || request.memoryLimit > 0)) {
    std::cerr << "quilm-solve: --out-of-core, --in-core and --memory-limit apply to the native solver (leave out --solver ccx)\n";
    return 2;
  }
  std::error_code unreadable;
  if (!request.outOfCore.empty() && (!std::filesystem::is_directory(request.outOfCore, unreadable) ||
                                     access(request.outOfCore.c_str(), W_OK | X_OK) != 0)) {
    std::cerr << "quilm-solve: --out-of-core " << request.outOfCore << ": not an existing folder one can write in\n";
    return 2;
  }
  if (request.solver != "ccx" && (request.equivalentSections || request.ccx != "ccx")) {
    std::cerr << "quilm-solve: --equivalent-sections and --ccx apply only with --solver ccx (see --help)\n";
    return 2;
  }
  if (request.solver == "ccx" && (request.WantsModes() || !request.buckling.empty() || !request.spectrum.empty())) {
    std::cerr << "quilm-solve: modes, buckling and spectra are solved by the native solver (leave out --solver ccx)\n";
    return 2;
  }
  if ((request.lumpedMass || !massLoads.empty()) && !request.WantsModes() && request.spectrum.empty()) {
    std::cerr << "quilm-solve: --lumped-mass and --mass-from apply to modes: add --modes, --modes-up-to or "
                 "--modes-until-mass\n";
    return 2;
  }
  for (const std::string& text : massLoads) {
    const std::size_t star = text.find('*');
    try {
      std::size_t used = 0;
      const long lc = std::stol(text.substr(0, star), &used);
      double factor = 1.0;
      if (used != (star == std::string::npos ? text.size() : star)) throw std::invalid_argument(text);
      if (star != std::string::npos) {
        factor = std::stod(text.substr(star + 1), &used);
        if (used != text.size() - star - 1 || !(factor > 0.0)) throw std::invalid_argument(text);
      }
      request.loadsAsMass.emplace_back(lc, factor);
    } catch (const std::exception&) {
      std::cerr << "quilm-solve: --mass-from: expected CASE or CASE*FACTOR (a positive factor), got \"" << text
                << "\"\n";
      return 2;
    }
  }
  if (!request.spectrum.empty()) {
    try {
      request.spectrumText = SpectrumText(request.spectrum);
    } catch (const std::exception& e) {
      std::cerr << "quilm-solve: --spectrum: " << e.what() << "\n";
      return 2;
    }
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
