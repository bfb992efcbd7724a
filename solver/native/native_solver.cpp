// The native solve from the model to the results.
#include "solver/native/native_solver.hpp"

#include <algorithm>
#include <chrono>
#include <future>
#include <set>

#include "solver/native/linear/mumps_factorisation.hpp"
#include "solver/native/native_internal.hpp"
#include "solver/native/parallel_for.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using namespace Native;
namespace am = AnalysisModel;

class Stopwatch {
 public:
  double Lap() {
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - last_).count();
    last_ = now;
    return seconds;
  }

 private:
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

// The load cases solved: those asked for (all by default) and those the
// combinations need, each once.
std::vector<long> CasesToSolve(am::XafModel& model, const NativeOptions& options, std::vector<long>& reported) {
  const auto known = model.Loads().GetLoadCaseIds();
  reported = options.loadCases.empty() ? known : options.loadCases;
  std::vector<long> cases = reported;
  for (const LoadCombination& combination : options.combinations) {
    if (combination.factors.empty()) throw SolverError("combination '" + combination.name + "' has no load case");
    for (const auto& [lc, factor] : combination.factors)
      if (std::find(cases.begin(), cases.end(), lc) == cases.end()) cases.push_back(lc);
  }
  for (long lc : cases)
    if (!std::binary_search(known.begin(), known.end(), lc))
      throw SolverError("load case " + std::to_string(lc) + " does not exist in the model");
  if (cases.empty()) throw SolverError("the model has no load case to solve");
  return cases;
}

// Refuses a load on a direction nothing stiffens.
void CheckLoadsHeld(const NativeModel& model, const EquationMap& map, const std::vector<double>& f, long lc) {
  for (std::size_t r = 0; r < f.size(); ++r) {
    if (map.inactive[r] && f[r] != 0.0)
      throw SolverError("load case " + std::to_string(lc) + " loads " +
                        DofDescription(model, static_cast<std::int64_t>(r)) + " where nothing holds it");
  }
}

// "node 12 can move along Z: nothing holds it", for every null pivot (the
// first few named).
[[noreturn]] void ThrowMechanism(const NativeModel& model, const EquationMap& map, const std::vector<Equation>& pivots) {
  std::string text;
  for (std::size_t i = 0; i < pivots.size() && i < 6; ++i)
    text += (i ? "; " : "") + DofDescription(model, map.rawOf[static_cast<std::size_t>(pivots[i])]);
  if (pivots.size() > 6) text += "; and " + std::to_string(pivots.size() - 6) + " more";
  throw SolverError("the structure can move freely: " + text + ": nothing holds it");
}

}  // namespace

NativeSolve SolveNative(am::XafModel& model, const NativeOptions& options) {
  if (options.beamStations == 1 || options.beamStations < 0)
    throw SolverError("beam stations: 0 for none, or at least 2 (both ends)");
  NativeSolve out;
  out.solved.solver = "native";
  Stopwatch clock;
  out.fingerprint = model.Results().GetModelFingerprint();
  std::vector<long> reported;
  const std::vector<long> cases = CasesToSolve(model, options, reported);
  const NativeModel native = ReadNativeModel(model);
  out.notes = native.notes;
  std::vector<NativeLoads> loads;
  for (long lc : cases) loads.push_back(ReadNativeLoads(model, native, {{lc, 1.0}}));
  const NativeElements elements(native);
  out.statistics.readSeconds = clock.Lap();

  const ElementMatrices matrices(elements);
  const EquationMap map = NumberEquations(native, matrices.Diagonal(native.nodeIds.size()));
  if (map.Count() == 0) throw SolverError("the model has nothing to solve: no element stiffens any node");
  // The load vectors are formed on one thread while the matrix is
  // assembled and factorised (the factorisation leaves a core idle for
  // much of its time); they are checked before the factorisation's null
  // pivots, so a load on a free direction is named before a mechanism.
  std::vector<std::vector<double>> forces(cases.size());
  std::future<void> loading = std::async(std::launch::async, [&] {
    for (std::size_t c = 0; c < cases.size(); ++c) forces[c] = RawLoadVector(native, elements, loads[c]);
  });
  am::ProgressMeter assembling(options.progress, "assemble", 1);
  const SymmetricSparseMatrix stiffness = AssembleByNodes(matrices, map, native.nodeIds.size());
  assembling.Finish();
  out.statistics.equations = map.Count();
  out.statistics.matrixEntries = stiffness.StoredEntries();
  out.statistics.assembleSeconds = clock.Lap();

  MumpsFactorisation factorisation(StiffnessFactorisationOptions(stiffness, options.memory));
  {
    am::ProgressMeter meter(options.progress, "factorise", 2);
    try {
      factorisation.Analyse(stiffness);
      meter.Advance();
      factorisation.Factorise(stiffness);
    } catch (const InsufficientMemoryError& e) {
      throw NativeMemoryError(e.what(), e.Figures());
    } catch (const LinearSolverError& e) {
      throw SolverError(std::string("the factorisation failed: ") + e.what());
    }
    meter.Finish();
  }
  loading.get();
  for (std::size_t c = 0; c < cases.size(); ++c) CheckLoadsHeld(native, map, forces[c], cases[c]);
  if (!factorisation.NullPivots().empty()) ThrowMechanism(native, map, factorisation.NullPivots());
  out.statistics.factorEntries = factorisation.Estimate().factorEntries;
  out.statistics.factorMegabytes = factorisation.Estimate().totalMegabytes;
  out.statistics.outOfCoreMegabytes = factorisation.Estimate().outOfCoreTotalMegabytes;
  out.statistics.memoryLimitMegabytes = factorisation.Storage().limitMegabytes;
  out.statistics.outOfCore = factorisation.Storage().outOfCore;
  out.statistics.diskMegabytes = factorisation.Storage().diskMegabytes;
  out.statistics.factoriseSeconds = clock.Lap();

  // Every load case as one block of right-hand sides.
  const auto n = static_cast<std::size_t>(map.Count());
  std::vector<double> block(n * cases.size());
  for (std::size_t c = 0; c < cases.size(); ++c)
    for (std::size_t e = 0; e < n; ++e) block[c * n + e] = forces[c][static_cast<std::size_t>(map.rawOf[e])];
  {
    am::ProgressMeter meter(options.progress, "solve", 1);
    try {
      factorisation.Solve(block.data(), static_cast<int>(cases.size()));
    } catch (const SingularMatrixError& e) {
      ThrowMechanism(native, map, e.NullPivots());
    } catch (const LinearSolverError& e) {
      throw SolverError(std::string("the solve failed: ") + e.what());
    }
    meter.Finish();
  }
  out.statistics.solveSeconds = clock.Lap();

  // Each load case's results from its displacements: the parts of every
  // case side by side on every core.
  SolveResults all;
  all.steps.resize(cases.size());
  std::vector<vec3d> applied(cases.size());
  std::vector<std::vector<double>> displacements(cases.size());
  ParallelFor(cases.size(), [&](std::size_t c) {
    std::vector<double>& u = displacements[c];
    u.assign(forces[c].size(), 0.0);
    for (std::size_t e = 0; e < n; ++e) u[static_cast<std::size_t>(map.rawOf[e])] = block[c * n + e];
    for (std::size_t node = 0; node < native.nodeIds.size(); ++node)
      applied[c] += vec3d(forces[c][node * kNodeDofs], forces[c][node * kNodeDofs + 1], forces[c][node * kNodeDofs + 2]);
    all.steps[c].kind = AnalysisKind::LoadCase;
    all.steps[c].loadCase = cases[c];
  });
  std::vector<double>().swap(block);
  const RecoveryInput input{native, elements, matrices, map, options.beamStations};
  am::ProgressMeter meter(options.progress, "recover", cases.size());
  ParallelFor(cases.size() * kRecoveryParts, [&](std::size_t task) {
    const std::size_t c = task / kRecoveryParts;
    RecoverStep(input, loads[c], displacements[c], forces[c], all.steps[c],
                static_cast<RecoveryPart>(task % kRecoveryParts));
  });
  for (std::size_t c = 0; c < cases.size(); ++c) {
    all.steps[c].name = model.Loads().GetLoadCaseName(cases[c]).value_or("");
    meter.Advance();
  }
  meter.Finish();

  // Combinations first: they read the cases' results, which then move out.
  std::vector<StepResults> combined;
  std::vector<vec3d> combinedForces;
  for (const LoadCombination& combination : options.combinations) {
    StepResults step = Superpose(all, combination);
    step.kind = AnalysisKind::Combination;
    step.name = combination.name;
    combined.push_back(std::move(step));
    vec3d sum;
    for (const auto& [lc, factor] : combination.factors)
      sum += applied[static_cast<std::size_t>(std::find(cases.begin(), cases.end(), lc) - cases.begin())] * factor;
    combinedForces.push_back(sum);
  }
  out.results.steps.reserve(reported.size());
  for (std::size_t r = 0; r < reported.size(); ++r) {
    const auto at = static_cast<std::size_t>(std::find(cases.begin(), cases.end(), reported[r]) - cases.begin());
    // A case asked for twice is copied; otherwise its results move.
    const bool again = std::find(reported.begin() + static_cast<std::ptrdiff_t>(r) + 1, reported.end(), reported[r]) !=
                       reported.end();
    out.results.steps.push_back(again ? all.steps[at] : std::move(all.steps[at]));
    out.solved.appliedForces.push_back(applied[at]);
  }
  out.results.combinations = std::move(combined);
  out.solved.appliedForces.insert(out.solved.appliedForces.end(), combinedForces.begin(), combinedForces.end());
  for (const auto& [node, fixity] : native.supports) {
    if (std::any_of(fixity.begin(), fixity.end(), [](double f) { return f > 0.0; }))
      out.solved.supportNodes.push_back(native.nodeIds[static_cast<std::size_t>(node)]);
  }
  out.statistics.recoverSeconds = clock.Lap();
  return out;
}

}  // namespace Kestrum::Quilm::Solver
