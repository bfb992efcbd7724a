// Linear buckling: the static solution of the pre-stress loads, the
// geometric stiffness of its forces, the lowest positive load factors and
// the inertia count that proves none was missed.
#include <cmath>

#include "solver/native/eigen/eigen_problems.hpp"
#include "solver/native/linear/mumps_factorisation.hpp"
#include "solver/native/native_dynamics.hpp"
#include "solver/native/native_internal.hpp"
#include "solver/native/native_shapes.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using namespace Native;
namespace am = AnalysisModel;

std::string Describe(const BucklingOptions& options) {
  if (!options.name.empty()) return "'" + options.name + "'";
  std::string text;
  for (const auto& [lc, factor] : options.loads)
    text += (text.empty() ? "" : " + ") + (factor == 1.0 ? "" : std::to_string(factor) + " x ") + "load case " +
            std::to_string(lc);
  return text;
}

// The static displacements of the pre-stress loads, over every raw dof.
std::vector<double> PrestressDisplacements(const NativeModel& native, const NativeElements& elements,
                                           const EquationMap& map, MumpsFactorisation& factorisation,
                                           const NativeLoads& loads, const std::string& what) {
  const std::vector<double> f = RawLoadVector(native, elements, loads);
  std::vector<double> rhs(static_cast<std::size_t>(map.Count()));
  bool loaded = false;
  for (std::size_t r = 0; r < f.size(); ++r) {
    if (f[r] == 0.0) continue;
    if (map.inactive[r])
      throw SolverError(what + " loads " + DofDescription(native, static_cast<std::int64_t>(r)) + " where nothing holds it");
    if (map.equationOf[r] >= 0) rhs[static_cast<std::size_t>(map.equationOf[r])] = f[r], loaded = true;
  }
  if (!loaded) throw SolverError(what + " loads nothing that can move: nothing can buckle");
  factorisation.Solve(rhs.data(), 1);
  std::vector<double> u(f.size(), 0.0);
  for (std::size_t e = 0; e < rhs.size(); ++e) u[static_cast<std::size_t>(map.rawOf[e])] = rhs[e];
  return u;
}

// Scales a shape to a largest component of +1.
void NormaliseToLargest(Eigen::Ref<Eigen::VectorXd> shape) {
  Eigen::Index at = 0;
  shape.cwiseAbs().maxCoeff(&at);
  if (shape(at) != 0.0) shape /= shape(at);
}

// The buckling factors, a refusal for memory as the linear back end throws it.
NativeBuckling BucklingOf(am::XafModel& model, const BucklingOptions& options) {
  if (options.loads.empty()) throw SolverError("buckling: name the load case or combination that pre-stresses the structure");
  if (options.count < 1) throw SolverError("buckling: ask for at least one load factor");
  const std::string what = Describe(options);
  NativeBuckling out;
  out.solved.solver = "native";
  out.fingerprint = model.Results().GetModelFingerprint();
  const NativeModel native = ReadNativeModel(model);
  out.notes = native.notes;
  const NativeLoads loads = ReadNativeLoads(model, native, options.loads);
  const NativeElements elements(native);
  const ElementMatrices stiffnessMatrices(elements);
  const EquationMap map = NumberEquations(native, stiffnessMatrices.Diagonal(native.nodeIds.size()));
  if (map.Count() < 2) throw SolverError("the model has nothing to buckle: no element stiffens any node");
  const SymmetricSparseMatrix k = AssembleByNodes(stiffnessMatrices, map, native.nodeIds.size());
  MumpsFactorisation factorisation(StiffnessFactorisationOptions(k, options.memory));
  factorisation.Factorise(k);
  if (!factorisation.NullPivots().empty()) {
    const auto raw = map.rawOf[static_cast<std::size_t>(factorisation.NullPivots().front())];
    throw SolverError("the structure can move freely: " + DofDescription(native, raw) + ": nothing holds it");
  }
  const std::vector<double> u = PrestressDisplacements(native, elements, map, factorisation, loads, what);
  const ElementMatrices geometric(elements, [&](std::size_t i) { return elements.GeometricStiffnessOf(i, u, loads); });
  const SymmetricSparseMatrix kg = AssembleByNodes(geometric, map, native.nodeIds.size(), {});

  int count = static_cast<int>(std::min<std::int64_t>(options.count, map.Count()));
  EigenPairs pairs;
  for (int attempt = 0;; ++attempt) {
    pairs = LowestBucklingFactors(k, factorisation, kg, count, options.memory);
    if (pairs.values.empty())
      throw SolverError(what + " compresses nothing that can buckle: no positive load factor");
    const double top = pairs.values.back();
    // Negative pivots of K - (-s) Kg = K + s Kg: the factors below s.
    const auto below = static_cast<int>(EigenvaluesBelow(k, kg, -top * (1.0 + 1e-6), options.memory));
    out.sturmCount = below;
    if (below > static_cast<int>(pairs.values.size()) && attempt < 3 && below <= 4 * options.count &&
        below <= map.Count()) {
      count = below;  // a lower factor was missed: ask for every one below the top
      continue;
    }
    if (below != static_cast<int>(pairs.values.size()))
      throw SolverError("buckling: the inertia count finds " + std::to_string(below) + " load factors below " +
                        std::to_string(top) + ", the iterations " + std::to_string(pairs.values.size()));
    break;
  }
  const auto found = static_cast<Eigen::Index>(pairs.values.size());
  if (!pairs.vectorsConverged)
    out.notes.push_back("the load factors lie in a tight cluster (many members buckling alike): the factors are "
                        "accurate, each shape is one of the cluster's");
  for (Eigen::Index j = 0; j < found; ++j) NormaliseToLargest(pairs.vectors.col(j));
  out.notes.push_back("inertia check: " + std::to_string(out.sturmCount) + " load factors below " +
                      std::to_string(pairs.values.back() * (1.0 + 1e-6)));
  if (found < options.count)
    out.notes.push_back(what + " has " + std::to_string(found) + " positive load factors among the " +
                        std::to_string(count) + " lowest in magnitude");
  out.results.buckling.resize(static_cast<std::size_t>(found));
  const ShapeRecovery recovery{native, elements, stiffnessMatrices, map, 0};
  RecoverShapes(recovery, pairs.vectors, out.results.buckling, options.progress);
  for (Eigen::Index j = 0; j < found; ++j) {
    StepResults& step = out.results.buckling[static_cast<std::size_t>(j)];
    step.kind = AnalysisKind::Buckling;
    step.mode = static_cast<int>(j) + 1;
    step.eigenvalue = pairs.values[static_cast<std::size_t>(j)];
    step.loadCase = options.loads.size() == 1 && options.loads[0].second == 1.0 ? options.loads[0].first : -1;
    step.name = options.name;
  }
  for (const auto& [node, fixity] : native.supports)
    if (std::any_of(fixity.begin(), fixity.end(), [](double f) { return f > 0.0; }))
      out.solved.supportNodes.push_back(native.nodeIds[static_cast<std::size_t>(node)]);
  return out;
}

}  // namespace

NativeBuckling SolveBuckling(am::XafModel& model, const BucklingOptions& options) {
  return RefusingOverMemory([&] { return BucklingOf(model, options); });
}

}  // namespace Kestrum::Quilm::Solver
