// The lowest modes of the model: stiffness and mass on one numbering,
// shift-invert Lanczos, the inertia count, participation and the results of
// each shape.
#include <cmath>
#include <memory>

#include "solver/native/dynamics/modal_participation.hpp"
#include "solver/native/eigen/eigen_problems.hpp"
#include "solver/native/linear/mumps_factorisation.hpp"
#include "solver/native/native_dynamics.hpp"
#include "solver/native/native_internal.hpp"
#include "solver/native/native_shapes.hpp"
#include "solver/native/parallel_for.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using namespace Native;
namespace am = AnalysisModel;

constexpr double kGravity = 9.80665;
constexpr double kTwoPi = 6.283185307179586;

void CheckOptions(const ModeOptions& o) {
  if (o.count < 1) throw SolverError("modes: ask for at least one mode");
  if (o.maxModes < o.count) throw SolverError("modes: the most modes allowed is below the count asked for");
  if (!(o.upToHertz >= 0.0) || !std::isfinite(o.upToHertz)) throw SolverError("modes: the frequency limit must be a positive number of Hz");
  if (!(o.massShare >= 0.0 && o.massShare < 1.0)) throw SolverError("modes: the effective mass share must be at least 0 and below 1");
  if (o.beamStations == 1 || o.beamStations < 0) throw SolverError("beam stations: 0 for none, or at least 2 (both ends)");
}

// Point masses and loads taken as mass, on the diagonal by raw dof.
std::vector<std::pair<std::int64_t, double>> NodalMasses(am::XafModel& model, const NativeModel& native,
                                                         const NativeElements& elements, const ModeOptions& options) {
  std::vector<std::pair<std::int64_t, double>> diagonal;
  for (const auto& [node, m] : native.pointMasses)
    for (int d = 0; d < kNodeDofs; ++d)
      if (m[static_cast<std::size_t>(d)] != 0.0)
        diagonal.emplace_back(static_cast<std::int64_t>(node) * kNodeDofs + d, m[static_cast<std::size_t>(d)]);
  for (const auto& [lc, factor] : options.loadsAsMass) {
    NativeLoads loads = ReadNativeLoads(model, native, {{lc, factor}});
    loads.gravity.setZero();  // the elements' own weight: their mass is there already
    loads.accelerations.clear();
    const std::vector<double> f = RawLoadVector(native, elements, loads);
    for (std::size_t node = 0; node < native.nodeIds.size(); ++node) {
      const double down = -f[node * kNodeDofs + 2];
      if (down <= 0.0) continue;
      for (int d = 0; d < 3; ++d) diagonal.emplace_back(static_cast<std::int64_t>(node) * kNodeDofs + d, down / kGravity);
    }
  }
  return diagonal;
}

double Trace(const SymmetricSparseMatrix& a) {
  double sum = 0.0;
  for (Equation e = 0; e < a.Order(); ++e) sum += a.Values()[static_cast<std::size_t>(a.RowStart()[static_cast<std::size_t>(e)])];
  return sum;
}

double Hertz(double lambda) { return std::sqrt(std::max(lambda, 0.0)) / kTwoPi; }

// The factorisation the iterations invert: K itself where the structure is
// held, else K - shift M with a small negative shift (free structures have
// zero eigenvalues). A part with neither stiffness nor mass is refused.
struct ShiftedStiffness {
  std::unique_ptr<MumpsFactorisation> factorisation;
  double shift = 0.0;
};

ShiftedStiffness FactoriseForModes(const NativeModel& native, const EquationMap& map, const SymmetricSparseMatrix& k,
                                   const SymmetricSparseMatrix& m, const NativeMemoryOptions& memory) {
  ShiftedStiffness out;
  out.factorisation = std::make_unique<MumpsFactorisation>(StiffnessFactorisationOptions(k, memory));
  out.factorisation->Factorise(k);
  if (out.factorisation->NullPivots().empty() && out.factorisation->NegativePivots() == 0) return out;
  // A shift of a millionth of the mean eigenvalue scale: far below any
  // elastic mode, large enough to make K - shift M regular.
  out.shift = -1e-6 * Trace(k) / Trace(m);
  out.factorisation = std::make_unique<MumpsFactorisation>(ShiftedFactorisationOptions(memory));
  out.factorisation->Factorise(AddScaled(k, -out.shift, m));
  if (!out.factorisation->NullPivots().empty()) {
    const auto raw = map.rawOf[static_cast<std::size_t>(out.factorisation->NullPivots().front())];
    throw SolverError("the structure can move freely where it has no mass: " + DofDescription(native, raw) +
                      ": nothing holds it");
  }
  return out;
}

InfluenceMatrix Influence(const NativeModel& native, const EquationMap& map) {
  std::vector<Native::NodeEquations> equations(native.nodeIds.size());
  for (std::size_t n = 0; n < native.nodeIds.size(); ++n)
    for (int d = 0; d < kNodeDofs; ++d) equations[n][static_cast<std::size_t>(d)] = map.equationOf[n * kNodeDofs + static_cast<std::size_t>(d)];
  return RigidBodyInfluence(equations, native.positions, Eigen::Vector3d::Zero(), map.Count());
}

bool MassShareReached(const ModalParticipation& p, const ModeOptions& options) {
  if (options.massShare <= 0.0 || p.cumulativeShares.rows() == 0) return true;
  for (int d = 0; d < kRigidBodyDirections; ++d)
    if (options.massDirections[static_cast<std::size_t>(d)] && p.totalMasses(d) > 0.0 &&
        p.cumulativeShares(p.cumulativeShares.rows() - 1, d) < options.massShare)
      return false;
  return true;
}

// The modes, a refusal for memory as the linear back end throws it.
NativeModes ModesOf(am::XafModel& model, const ModeOptions& options) {
  CheckOptions(options);
  NativeModes out;
  out.solved.solver = "native";
  out.fingerprint = model.Results().GetModelFingerprint();
  const NativeModel native = ReadNativeModel(model);
  out.notes = native.notes;
  const NativeElements elements(native);
  am::ProgressMeter assembling(options.progress, "assemble", 1);
  const ElementMatrices stiffnessMatrices(elements);
  const EquationMap map = NumberEquations(native, stiffnessMatrices.Diagonal(native.nodeIds.size()));
  if (map.Count() < 2) throw SolverError("the model has nothing to vibrate: no element stiffens any node");
  const SymmetricSparseMatrix k = AssembleByNodes(stiffnessMatrices, map, native.nodeIds.size());
  const bool lumped = options.mass == NativeMassForm::Lumped;
  const ElementMatrices massMatrices(elements, [&](std::size_t i) { return elements.MassOf(i, lumped); });
  const SymmetricSparseMatrix m =
      AssembleByNodes(massMatrices, map, native.nodeIds.size(), NodalMasses(model, native, elements, options));
  assembling.Finish();
  if (!(Trace(m) > 0.0))
    throw SolverError("the model has no mass: give its materials a density, add point masses or take loads as mass");

  am::ProgressMeter meter(options.progress, "modes", 1);
  ShiftedStiffness shifted = FactoriseForModes(native, map, k, m, options.memory);
  const InfluenceMatrix influence = Influence(native, map);
  const auto massProduct = [&m](const Eigen::VectorXd& x) {
    Eigen::VectorXd y(x.size());
    m.Multiply(x.data(), y.data());
    return y;
  };
  const int most = static_cast<int>(std::min<std::int64_t>(options.maxModes, map.Count()));
  int count = options.count;
  if (options.upToHertz > 0.0) {
    const double limit = std::pow(kTwoPi * options.upToHertz, 2);
    count = std::max<int>(count, static_cast<int>(EigenvaluesBelow(k, m, limit, options.memory)));
  }
  EigenPairs pairs;
  ModalParticipation participation;
  for (int attempt = 0;; ++attempt) {
    if (count > most)
      throw SolverError("modes: " + std::to_string(count) + " modes needed, more than the " + std::to_string(most) +
                        " allowed (raise the limit, or ask for fewer)");
    pairs = LowestModes(*shifted.factorisation, m, shifted.shift, count);
    const double top = pairs.values.back();
    const double above = top + 1e-6 * std::max(std::abs(top), std::abs(shifted.shift) + 1.0);
    const auto below = static_cast<int>(EigenvaluesBelow(k, m, above, options.memory));
    out.sturmCount = below;
    out.sturmHertz = Hertz(above);
    if (below > count && attempt < 3) {
      count = below;  // an eigenvalue was missed: ask for all of them below the top
      continue;
    }
    if (below != count)
      throw SolverError("modes: the inertia count finds " + std::to_string(below) + " eigenvalues below " +
                        std::to_string(out.sturmHertz) + " Hz, the iterations " + std::to_string(count));
    for (int j = 0; j < count; ++j) {
      Eigen::VectorXd phi = pairs.vectors.col(j);
      pairs.vectors.col(j) = phi / std::sqrt(phi.dot(massProduct(phi)));  // unit modal mass
    }
    participation = ComputeModalParticipation(
        count, [&pairs](int j) -> Eigen::VectorXd { return pairs.vectors.col(j); }, massProduct, influence);
    if (MassShareReached(participation, options) || count == most) break;
    count = std::min(most, 2 * count);
  }
  meter.Finish();
  if (!pairs.vectorsConverged)
    out.notes.push_back("some frequencies lie in a tight cluster: they are accurate, each shape is one of the "
                        "cluster's");
  if (!MassShareReached(participation, options))
    out.notes.push_back("the effective mass did not reach the share asked for within " + std::to_string(most) + " modes");
  out.notes.push_back("inertia check: " + std::to_string(out.sturmCount) + " eigenvalues below " +
                      std::to_string(out.sturmHertz) + " Hz, " + std::to_string(count) + " modes found");

  for (int d = 0; d < kRigidBodyDirections; ++d) {
    out.mass.total[static_cast<std::size_t>(d)] = participation.totalMasses(d);
    out.mass.captured[static_cast<std::size_t>(d)] = participation.cumulativeMasses(count - 1, d);
  }
  out.results.modes.resize(static_cast<std::size_t>(count));
  const ShapeRecovery recovery{native, elements, stiffnessMatrices, map, options.beamStations};
  RecoverShapes(recovery, pairs.vectors, out.results.modes, options.progress);
 
  for (int j = 0; j < count; ++j) {
    StepResults& step = out.results.modes[static_cast<std::size_t>(j)];
    step.kind = AnalysisKind::Mode;
    step.mode = j + 1;
    step.eigenvalue = Hertz(pairs.values[static_cast<std::size_t>(j)]);
    for (int d = 0; d < kRigidBodyDirections; ++d) {
      step.participation[static_cast<std::size_t>(d)] = participation.factors(j, d);
      step.effectiveMass[static_cast<std::size_t>(d)] = participation.effectiveMasses(j, d);
    }
    out.results.frequencies.push_back(step.eigenvalue);
  }
  for (const auto& [node, fixity] : native.supports)
    if (std::any_of(fixity.begin(), fixity.end(), [](double f) { return f > 0.0; }))
      out.solved.supportNodes.push_back(native.nodeIds[static_cast<std::size_t>(node)]);
  return out;
}

}  // namespace

NativeModes SolveModes(am::XafModel& model, const ModeOptions& options) {
  return RefusingOverMemory([&] { return ModesOf(model, options); });
}

}  // namespace Kestrum::Quilm::Solver
