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
// solve runs first.
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

// Read, assemble, factorise, solve every load case, recover, store and flush.
void BM_NativeEndToEnd(benchmark::State& state) {
  if (!ModelFile()) return state.SkipWithError("set QUILM_NATIVE_BENCH_MODEL to a model file");
  const std::string copy = ScratchCopy();
  Solver::NativeStatistics statistics;
  double storeSeconds = 0.0, flushSeconds = 0.0;
  for (auto _ : state) {
    AnalysisModel::XafModel model(copy, 1, 1, false);
    Solver::NativeSolve solve = Solver::SolveNative(model);
    const auto start = std::chrono::steady_clock::now();
    Solver::StoreSolveResults(model, solve.results, solve.solved, solve.fingerprint);
    const auto stored = std::chrono::steady_clock::now();
    model.Flush();
    storeSeconds = std::chrono::duration<double>(stored - start).count();
    flushSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - stored).count();
    statistics = solve.statistics;
  }
  std::filesystem::remove(copy);
  state.counters["equations"] = static_cast<double>(statistics.equations);
  state.counters["read_s"] = statistics.readSeconds;
  state.counters["assemble_s"] = statistics.assembleSeconds;
  state.counters["factorise_s"] = statistics.factoriseSeconds;
  state.counters["solve_s"] = statistics.solveSeconds;
  state.counters["recover_s"] = statistics.recoverSeconds;
  state.counters["store_s"] = storeSeconds;
  state.counters["flush_s"] = flushSeconds;
  state.counters["peak_MiB"] = PeakMiB();
}
BENCHMARK(BM_NativeEndToEnd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

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
  for (auto _ : state) {
    MumpsFactorisation factorisation(StiffnessFactorisationOptions(matrix));
    factorisation.Analyse(matrix);
    factorisation.Factorise(matrix);
    benchmark::DoNotOptimize(factorisation.NegativePivots());
  }
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
