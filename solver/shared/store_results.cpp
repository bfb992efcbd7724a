// Turning a solve's results into the analysis model's stored results.
#include "solver/shared/store_results.hpp"

#include <cmath>
#include <limits>
#include <set>

namespace Kestrum::Quilm::Solver {

namespace {

namespace am = AnalysisModel;
using am::ResultArray;
using am::ResultQuantity;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class StepStore {
 public:
  StepStore(am::XafModel& model, const SolvedModel& solved, std::uint64_t fingerprint)
      : model_(model), solved_(solved), fingerprint_(fingerprint) {}

  void Store(am::AnalysisKind kind, long number, const StepResults& step, double value) {
    auto& results = model_.Results();
    const long id = results.AddAnalysis(kind, number, step.name, value, fingerprint_);
    if (!solved_.solver.empty()) results.SetSolver(id, solved_.solver);
    results.SetArray(id, ResultQuantity::NodeMotion, Motion(step));
    results.SetArray(id, ResultQuantity::NodeReaction, Reactions(step));
    results.SetArray(id, ResultQuantity::BeamForces, Forces(step));
    ResultArray stress, forces;
    for (const auto& [element, s] : step.shellStresses) {
      if (!IsElement(element, qlElementType::Surface)) continue;
      const double top[3] = {s.vonMisesTop, s.vonMisesMiddle, s.vonMisesBottom};
      const double resultants[6] = {s.nx, s.ny, s.nxy, s.mx, s.my, s.mxy};
      stress.Append(element, top, 3);
      forces.Append(element, resultants, 6);
    }
    results.SetArray(id, ResultQuantity::ShellStress, std::move(stress));
    results.SetArray(id, ResultQuantity::ShellForces, std::move(forces));
  }

 private:
  // A node of the model the solver held under its own id.
  bool IsModelNode(long node) const {
    if (solved_.firstGeneratedNode > 0 && node >= solved_.firstGeneratedNode) return false;
    return node >= 1 && static_cast<std::size_t>(node) <= model_.Nodes().Count() &&
           !solved_.axisNodes.count(node);
  }

  bool IsElement(long element, int shape) {
    if (!model_.Elements().Contains(element)) return false;
    return model_.GetConnectivityManager().GetElementById(element).GetElementType().Shape() == shape;
  }

  ResultArray Motion(const StepResults& step) const {
    std::set<long> nodes;
    for (const auto& entry : step.displacements) nodes.insert(entry.first);
    for (const auto& entry : step.rotations) nodes.insert(entry.first);
    ResultArray a;
    for (long n : nodes) {
      if (!IsModelNode(n)) continue;
      double v[6] = {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN};
      if (auto u = step.displacements.find(n); u != step.displacements.end())
        v[0] = u->second.x, v[1] = u->second.y, v[2] = u->second.z;
      if (auto r = step.rotations.find(n); r != step.rotations.end())
        v[3] = r->second.x, v[4] = r->second.y, v[5] = r->second.z;
      a.Append(n, v, 6);
    }
    return a;
  }

  ResultArray Reactions(const StepResults& step) const {
    const std::set<long> supported(solved_.supportNodes.begin(), solved_.supportNodes.end());
    ResultArray a;
    for (const auto& [n, f] : step.reactions) {
      if (!supported.count(n) || !IsModelNode(n)) continue;
      double v[6] = {f.x, f.y, f.z, kNaN, kNaN, kNaN};
      if (auto m = step.reactionMoments.find(n); m != step.reactionMoments.end())
        v[3] = m->second.x, v[4] = m->second.y, v[5] = m->second.z;
      a.Append(n, v, 6);
    }
    return a;
  }

  ResultArray Forces(const StepResults& step) {
    ResultArray a;
    for (const auto& [element, f] : step.beamForces) {
      if (!IsElement(element, qlElementType::Line)) continue;
      std::vector<double> v;
      for (const SectionForces* s : {&f.start, f.middle ? &*f.middle : nullptr, &f.end})
        if (s) v.insert(v.end(), {s->N, s->Vy, s->Vz, s->T, s->My, s->Mz});
      a.Append(element, v.data(), v.size());
    }
    return a;
  }

  am::XafModel& model_;  // not owned
  const SolvedModel& solved_;  // not owned
  std::uint64_t fingerprint_;
};

}  // namespace

void StoreSolveResults(am::XafModel& model, const SolveResults& results, const SolvedModel& solved,
                       std::uint64_t fingerprint) {
  StepStore store(model, solved, fingerprint);
  long combination = 0;
  for (const StepResults& step : results.steps) {
    if (step.kind == AnalysisKind::Combination)
      store.Store(am::AnalysisKind::Combination, ++combination, step, 0.0);
    else
      store.Store(am::AnalysisKind::LoadCase, step.loadCase, step, 0.0);
  }
  for (const StepResults& step : results.combinations)
    store.Store(am::AnalysisKind::Combination, ++combination, step, 0.0);
  for (const StepResults& mode : results.modes)
    store.Store(am::AnalysisKind::Mode, mode.mode, mode, mode.eigenvalue);
  // Frequencies whose shapes were not printed: the frequency alone.
  for (std::size_t i = results.modes.size(); i < results.frequencies.size(); ++i) {
    const long id = model.Results().AddAnalysis(am::AnalysisKind::Mode, static_cast<long>(i + 1), "",
                                                results.frequencies[i], fingerprint);
    if (!solved.solver.empty()) model.Results().SetSolver(id, solved.solver);
  }
  for (const StepResults& shape : results.buckling)
    store.Store(am::AnalysisKind::Buckling, shape.mode, shape, shape.eigenvalue);
  long spectrum = 0;
  for (const StepResults& step : results.spectra) store.Store(am::AnalysisKind::Spectrum, ++spectrum, step, 0.0);
}

}  // namespace Kestrum::Quilm::Solver
