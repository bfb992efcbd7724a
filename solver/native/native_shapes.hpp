// The results of eigenvector shapes (modes, buckling shapes): node motions,
// the supports' forces on the shape and the section forces and stresses
// the shape's deformation gives, as for a load case without loads.
#pragma once

#include <Eigen/Core>
#include <vector>

#include "analysis_model/progress.hpp"
#include "solver/native/native_internal.hpp"

namespace Kestrum::Quilm::Solver::Native {

struct ShapeRecovery {
  const NativeModel& model;
  const NativeElements& elements;
  const ElementMatrices& stiffness;
  const EquationMap& equations;
  int beamStations = 0;
};

// Fills steps[j] from column j of `shapes` (one value per equation), the
// shapes' parts side by side on every core. `steps` has one entry per column.
void RecoverShapes(const ShapeRecovery& in, const Eigen::MatrixXd& shapes, std::vector<StepResults>& steps,
                   const AnalysisModel::ProgressCallback& progress);

// A shape over every raw dof: its equations' values, 0 elsewhere.
std::vector<double> RawShape(const EquationMap& equations, const Eigen::Ref<const Eigen::VectorXd>& shape);

}  // namespace Kestrum::Quilm::Solver::Native
