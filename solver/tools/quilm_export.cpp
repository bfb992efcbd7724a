// quilm-export: writes the ccx input deck of an analysis model file and, on
// request, solves it and prints displacements, reactions and frequencies.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "input_file.hpp"
#include "output_file.hpp"
#include "solver/ccx_export.hpp"
#include "solver/ccx_runner.hpp"

namespace {

using namespace Kestrum::Quilm;

constexpr const char* kUsage =
    "usage: quilm-export MODEL [options]\n"
    "  -o, --deck FILE          write the input deck to FILE (default: MODEL with .inp)\n"
    "  --solve                  run the solver and print the results\n"
    "  --frequencies N          add a frequency step for N eigenfrequencies\n"
    "  --load-case ID           export this load case (repeatable; default: all)\n"
    "  --equivalent-sections    export I-profiles and property-only sections through\n"
    "                           equivalent sections instead of failing\n"
    "  --skip-unsupported       leave out what the solver cannot take, with a note\n"
    "  --ccx PATH               the solver program (default: ccx in PATH)\n"
    "  --threads N              solver threads (default 1)\n"
    "  --work-dir DIR           run the solver in DIR and keep its files\n";

bool ParseLong(const std::string& text, long& value) {
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0';
}

std::string Vec(const vec3d& v) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%14.6e %14.6e %14.6e", v.x, v.y, v.z);
  return buffer;
}

void PrintResults(const Solver::SolveResults& results, const Solver::CcxDeck& deck) {
  std::map<long, long> axisOf;  // printed axis node -> the model node it stands for
  for (const auto& [node, axis] : deck.axisNodes) axisOf[axis] = node;
  for (const auto& step : results.steps) {
    std::cout << "Load case " << step.loadCase << (step.name.empty() ? "" : " (" + step.name + ")") << "\n";
    std::cout << "  node            ux             uy             uz\n";
    for (const auto& [node, u] : step.displacements) {
      std::cout << "  " << node << "  " << Vec(u);
      if (auto it = axisOf.find(node); it != axisOf.end()) {
        std::cout << "  (beam axis point of node " << it->second << ")";
      }
      std::cout << "\n";
    }
    if (!deck.supportNodes.empty()) {
      std::cout << "  reactions       fx             fy             fz\n";
      for (long node : deck.supportNodes) {
        auto it = step.reactions.find(node);
        if (it != step.reactions.end()) std::cout << "  " << node << "  " << Vec(it->second) << "\n";
      }
    }
  }
  if (!results.frequencies.empty()) {
    std::cout << "Eigenfrequencies (Hz)\n";
    for (std::size_t i = 0; i < results.frequencies.size(); ++i) {
      std::printf("  %zu  %.6g\n", i + 1, results.frequencies[i]);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string modelFile, deckFile;
  bool solve = false;
  Solver::ExportOptions exportOptions;
  Solver::RunOptions runOptions;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    long number = 0;
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (a == "-o" || a == "--deck") {
      if (!value(deckFile)) return std::cerr << kUsage, 2;
    } else if (a == "--solve") {
      solve = true;
    } else if (a == "--frequencies") {
      if (!value(v) || !ParseLong(v, number) || number < 1 || number > 10000) return std::cerr << kUsage, 2;
      exportOptions.frequencyCount = static_cast<int>(number);
    } else if (a == "--load-case") {
      if (!value(v) || !ParseLong(v, number)) return std::cerr << kUsage, 2;
      exportOptions.loadCases.push_back(number);
    } else if (a == "--equivalent-sections") {
      exportOptions.allowEquivalentSections = true;
    } else if (a == "--skip-unsupported") {
      exportOptions.skipUnsupported = true;
    } else if (a == "--ccx") {
      if (!value(runOptions.executable)) return std::cerr << kUsage, 2;
    } else if (a == "--threads") {
      if (!value(v) || !ParseLong(v, number) || number < 1 || number > 1024) return std::cerr << kUsage, 2;
      runOptions.threads = static_cast<int>(number);
    } else if (a == "--work-dir") {
      if (!value(runOptions.workDirectory)) return std::cerr << kUsage, 2;
    } else if (!a.empty() && a[0] != '-' && modelFile.empty()) {
      modelFile = a;
    } else {
      std::cerr << "quilm-export: unknown argument '" << a << "'\n" << kUsage;
      return 2;
    }
  }
  if (modelFile.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  if (deckFile.empty()) {
    // The model's name with .inp; a model that already ends in .inp keeps
    // its name and gets a second extension, so the default is never the model.
    const auto dot = modelFile.find_last_of('.');
    const auto slash = modelFile.find_last_of('/');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const bool isDeck = hasExtension && modelFile.compare(dot, std::string::npos, ".inp") == 0;
    deckFile = (hasExtension && !isDeck ? modelFile.substr(0, dot) : modelFile) + ".inp";
  }
  try {
    quilm_tools::CheckInputFile(modelFile);
    quilm_tools::CheckOutputPath(deckFile, modelFile);
    AnalysisModel::XafModel model(modelFile, 0, 1, false);  // read-only, SI, must exist
    const Solver::CcxDeck deck = Solver::ExportCcxDeck(model, exportOptions);
    for (const auto& note : deck.notes) std::cerr << "note: " << note << "\n";
    {
      quilm_tools::OutputFile out(deckFile);
      out.Stream() << deck.text;
      out.Commit();
    }
    std::cerr << "wrote " << deckFile << " (" << deck.loadCaseSteps.size() << " load case step(s)"
              << (deck.frequencyCount > 0 ? ", a frequency step" : "") << ")\n";
    if (solve) PrintResults(Solver::RunSolver(deck, runOptions), deck);
  } catch (const std::exception& e) {
    std::cerr << "quilm-export: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
