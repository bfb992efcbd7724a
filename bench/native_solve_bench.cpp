// The native solver end to end against its floor, the bare factorisation of
// the same stiffness matrix, and (once, on request) against the external
// solver on the same model. The model file comes from
// QUILM_NATIVE_BENCH_MODEL, e.g. the default example frame:
//   frame_host --file frame.qdb --quiet
//   QUILM_NATIVE_BENCH_MODEL=frame.qdb native_solve_bench
// QUILM_NATIVE_BENCH_CCX=1 adds one run of the external solver (minutes and
// gigabytes for that frame). The end-to-end run works on a copy of the
// model file, so the model keeps its results as they were. Peak memory is
// the process's high-water mark after each benchmark, so the end-to-end
// solves run first.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "analysis_model/xaf_model.hpp"
#include "solver/ccx/ccx_export.hpp"
#include "solver/ccx/ccx_runner.hpp"
#include "solver/native/linear/mumps_factorisation.hpp"
#include "solver/native/native_internal.hpp"
#include "solver/native/native_dynamics.hpp"
#include "solver/native/native_solver.hpp"
#include "solver/shared/store_results.hpp"

using namespace Kestrum::Quilm;

namespace {

const char* ModelFile() { return std::getenv("QUILM_NATIVE_BENCH_MODEL"); }

double PeakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::string ScratchCopy() {
  const std::string copy = std::string(ModelFile()) + ".bench.qdb";
  std::filesystem::copy_file(ModelFile(), copy, std::filesystem::copy_options::overwrite_existing);
  return copy;
}

// Open the model file, read, assemble, factorise, solve every load case,
// recover and store the results in the model; with `flush`, also write them
// to the model file (265,000 rows for the default frame: the model file's
// own cost, the same whichever solver made the results).
void EndToEnd(benchmark::State& state, bool flush) {
  if (!ModelFile()) return state.SkipWithError("set QUILM_NATIVE_BENCH_MODEL to a model file");
  const std::string copy = ScratchCopy();
  Solver::NativeStatistics statistics;
  double openSeconds = 0.0, storeSeconds = 0.0, flushSeconds = 0.0, closeSeconds = 0.0;
  const auto since = [](auto& from) {
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - from).count();
    from = now;
    return seconds;
  };
  for (auto _ : state) {
    auto lap = std::chrono::steady_clock::now();
    {
      AnalysisModel::XafModel model(copy, 1, 1, false);
      openSeconds = since(lap);
      Solver::NativeSolve solve = Solver::SolveNative(model);
      since(lap);
      Solver::StoreSolveResults(model, solve.results, solve.solved, solve.fingerprint);
      storeSeconds = since(lap);
      if (flush) model.Flush();
      flushSeconds = since(lap);
      statistics = solve.statistics;
    }
    closeSeconds = since(lap);
  }
  std::filesystem::remove(copy);
  state.counters["equations"] = static_cast<double>(statistics.equations);
  state.counters["open_s"] = openSeconds;
  state.counters["read_s"] = statistics.readSeconds;
  state.counters["assemble_s"] = statistics.assembleSeconds;
  state.counters["factorise_s"] = statistics.factoriseSeconds;
  state.counters["solve_s"] = statistics.solveSeconds;
  state.counters["recover_s"] = statistics.recoverSeconds;
  state.counters["store_s"] = storeSeconds;
  if (flush) state.counters["flush_s"] = flushSeconds;
  state.counters["close_s"] = closeSeconds;
  state.counters["peak_MiB"] = PeakMiB();
}

void BM_NativeEndToEnd(benchmark::State& state) { EndToEnd(state, false); }
BENCHMARK(BM_NativeEndToEnd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_NativeEndToEndAndFlush(benchmark::State& state) { EndToEnd(state, true); }
BENCHMARK(BM_NativeEndToEndAndFlush)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// 20 modes, the lowest buckling factors of load case 1 and a response
// spectrum on the 20 modes, each opened, solved and stored as the static
// solve above (the model's results kept in memory, not written).
template <typename Solve>
void Dynamic(benchmark::State& state, const Solve& solve) {
  if (!ModelFile()) return state.SkipWithError("set QUILM_NATIVE_BENCH_MODEL to a model file");
  for (auto _ : state) {
    AnalysisModel::XafModel model(ModelFile(), 0, 1, false);
    solve(model);
  }
  state.counters["peak_MiB"] = PeakMiB();
}

Solver::ModeOptions TwentyModes() {
  Solver::ModeOptions options;
  options.count = 20;
  return options;
}

void BM_Modes20(benchmark::State& state) {
  Dynamic(state, [](AnalysisModel::XafModel& model) {
    Solver::NativeModes modes = Solver::SolveModes(model, TwentyModes());
    Solver::StoreSolveResults(model, modes.results, modes.solved, modes.fingerprint);
  });
}
BENCHMARK(BM_Modes20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_Buckling(benchmark::State& state) {
  Dynamic(state, [](AnalysisModel::XafModel& model) {
    Solver::BucklingOptions options;
    options.loads = {{model.Loads().GetLoadCaseIds().front(), 1.0}};
    Solver::NativeBuckling buckling = Solver::SolveBuckling(model, options);
    Solver::StoreSolveResults(model, buckling.results, buckling.solved, buckling.fingerprint);
  });
}
BENCHMARK(BM_Buckling)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_SpectrumOnModes20(benchmark::State& state) {
  Dynamic(state, [](AnalysisModel::XafModel& model) {
    Solver::SpectrumOptions options;
    options.modes = TwentyModes();
    options.spectrum = "ag=3 S=1.2 TB=0.15 TC=0.5 TD=2 damping=0.05";
    Solver::NativeSpectrum rsa = Solver::SolveResponseSpectrum(model, options);
    Solver::StoreSolveResults(model, rsa.results, rsa.solved, rsa.fingerprint);
  });
}
BENCHMARK(BM_SpectrumOnModes20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// The floor: analysis and factorisation of the same assembled matrix.
void BM_BareFactorisation(benchmark::State& state) {
  if (!ModelFile()) return state.SkipWithError("set QUILM_NATIVE_BENCH_MODEL to a model file");
  using namespace Solver::Native;
  AnalysisModel::XafModel model(ModelFile(), 0, 1, false);
  const NativeModel native = ReadNativeModel(model);
  const NativeElements elements(native);
  const ElementMatrices matrices(elements);
  const EquationMap map = NumberEquations(native, matrices.Diagonal(native.nodeIds.size()));
  const SymmetricSparseMatrix matrix = AssembleByNodes(matrices, map, native.nodeIds.size());
  double analyseSeconds = 0.0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    MumpsFactorisation factorisation(StiffnessFactorisationOptions(matrix));
    factorisation.Analyse(matrix);
    analyseSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    factorisation.Factorise(matrix);
    benchmark::DoNotOptimize(factorisation.NegativePivots());
  }
  state.counters["analyse_s"] = analyseSeconds;
  state.counters["equations"] = matrix.Order();
  state.counters["peak_MiB"] = PeakMiB();
}
BENCHMARK(BM_BareFactorisation)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The external solver on the same model, once: export, run, read back.
void BM_ExternalSolver(benchmark::State& state) {
  if (!ModelFile() || !std::getenv("QUILM_NATIVE_BENCH_CCX"))
    return state.SkipWithError("set QUILM_NATIVE_BENCH_CCX=1 (and the model) to run the external solver");
  AnalysisModel::XafModel model(ModelFile(), 0, 1, false);
  Solver::ExportOptions options;
  options.allowEquivalentSections = true;
  options.elementResults = true;
  Solver::RunOptions run;
  run.threads = Solver::RunOptions::kAutoThreads;
  for (auto _ : state) {
    const Solver::CcxDeck deck = Solver::ExportCcxDeck(model, options);
    benchmark::DoNotOptimize(Solver::RunSolver(deck, run));
  }
}
BENCHMARK(BM_ExternalSolver)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
