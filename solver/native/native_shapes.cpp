// Results of eigenvector shapes through the load cases' recovery.
#include "solver/native/native_shapes.hpp"

#include "solver/native/parallel_for.hpp"

namespace Kestrum::Quilm::Solver::Native {

std::vector<double> RawShape(const EquationMap& equations, const Eigen::Ref<const Eigen::VectorXd>& shape) {
  std::vector<double> raw(equations.equationOf.size(), 0.0);
  for (std::size_t e = 0; e < equations.rawOf.size(); ++e)
    raw[static_cast<std::size_t>(equations.rawOf[e])] = shape(static_cast<Eigen::Index>(e));
  return raw;
}

void RecoverShapes(const ShapeRecovery& in, const Eigen::MatrixXd& shapes, std::vector<StepResults>& steps,
                   const AnalysisModel::ProgressCallback& progress) {
  const auto count = static_cast<std::size_t>(shapes.cols());
  AnalysisModel::ProgressMeter meter(progress, "recover", count);
  std::vector<std::vector<double>> raw(count);
  ParallelFor(count, [&](std::size_t j) { raw[j] = RawShape(in.equations, shapes.col(static_cast<Eigen::Index>(j))); });
  const NativeLoads none;
  const std::vector<double> noForces(in.equations.equationOf.size(), 0.0);
  const RecoveryInput input{in.model, in.elements, in.stiffness, in.equations, in.beamStations};
  ParallelFor(count * kRecoveryParts, [&](std::size_t task) {
    const std::size_t j = task / kRecoveryParts;
    RecoverStep(input, none, raw[j], noForces, steps[j], static_cast<RecoveryPart>(task % kRecoveryParts));
  });
  for (std::size_t j = 0; j < count; ++j) meter.Advance();
  meter.Finish();
}

}  // namespace Kestrum::Quilm::Solver::Native
