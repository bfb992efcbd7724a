// The load vector of a load case over every raw dof.
#include "solver/native/native_internal.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

// Adds `f` (6 per node of `nodes`) into `raw`.
void Scatter(const std::vector<int>& nodes, const Eigen::VectorXd& f, std::vector<double>& raw) {
  for (std::size_t k = 0; k < nodes.size(); ++k)
    for (int d = 0; d < kNodeDofs; ++d)
      raw[static_cast<std::size_t>(nodes[k]) * kNodeDofs + static_cast<std::size_t>(d)] +=
          f(static_cast<Eigen::Index>(k) * kNodeDofs + d);
}

// The inertia forces -M a of the elements that touch an accelerated node,
// and of the accelerated nodes' point masses.
void AddInertia(const NativeModel& model, const NativeElements& elements, const NativeLoads& loads,
                std::vector<double>& raw) {
  if (loads.accelerations.empty()) return;
  for (std::size_t i = 0; i < elements.Count(); ++i) {
    const std::vector<int> nodes = elements.NodesOf(i);
    Eigen::VectorXd a = Eigen::VectorXd::Zero(static_cast<Eigen::Index>(nodes.size()) * kNodeDofs);
    bool any = false;
    for (std::size_t k = 0; k < nodes.size(); ++k) {
      auto found = loads.accelerations.find(nodes[k]);
      if (found == loads.accelerations.end()) continue;
      a.segment<3>(static_cast<Eigen::Index>(k) * kNodeDofs) = found->second;
      any = true;
    }
    if (any) Scatter(nodes, -(elements.MassOf(i) * a), raw);
  }
  for (const auto& [node, a] : loads.accelerations) {
    auto mass = model.pointMasses.find(node);
    if (mass == model.pointMasses.end()) continue;
    for (int d = 0; d < 3; ++d) raw[static_cast<std::size_t>(node) * kNodeDofs + d] -= mass->second[d] * a(d);
  }
}

}  // namespace

std::vector<double> RawLoadVector(const NativeModel& model, const NativeElements& elements,
                                  const NativeLoads& loads) {
  std::vector<double> raw(model.nodeIds.size() * kNodeDofs, 0.0);
  for (const auto& [node, f] : loads.nodal)
    for (int d = 0; d < kNodeDofs; ++d) raw[static_cast<std::size_t>(node) * kNodeDofs + d] += f(d);
  const bool loadsOnElements = !loads.lineLoads.empty() || !loads.pressures.empty() ||
                               !loads.initialStrains.empty() || !loads.gravity.isZero(0.0);
  if (loadsOnElements) {
    for (std::size_t i = 0; i < elements.Count(); ++i) {
      const Eigen::VectorXd f = elements.LoadsOf(i, loads);
      if (!f.isZero(0.0)) Scatter(elements.NodesOf(i), f, raw);
    }
  }
  if (!loads.gravity.isZero(0.0)) {
    for (const auto& [node, m] : model.pointMasses)
      for (int d = 0; d < 3; ++d) raw[static_cast<std::size_t>(node) * kNodeDofs + d] += m[d] * loads.gravity(d);
  }
  AddInertia(model, elements, loads, raw);
  return raw;
}

}  // namespace Kestrum::Quilm::Solver::Native
