// Element matrices formed once, and the equation numbering.
#include <algorithm>
#include <cmath>

#include "solver/native/native_internal.hpp"
#include "solver/native/parallel_for.hpp"

namespace Kestrum::Quilm::Solver::Native {

ElementMatrices::ElementMatrices(const NativeElements& elements)
    : ElementMatrices(elements, [&elements](std::size_t i) { return elements.StiffnessOf(i); }) {}

ElementMatrices::ElementMatrices(const NativeElements& elements,
                                 const std::function<Eigen::MatrixXd(std::size_t)>& form) {
  const std::size_t count = elements.Count();
  sizes_.resize(count);
  nodes_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    nodes_[i] = elements.NodesOf(i);
    sizes_[i] = kNodeDofs * static_cast<int>(nodes_[i].size());
    offsets_.push_back(offsets_.back() + static_cast<std::size_t>(sizes_[i]) * sizes_[i]);
  }
  values_.resize(offsets_.back());
  // Each element's matrix is independent of the others: formed on every
  // core, each thread writing its own stretch.
  ParallelFor(count, [&](std::size_t i) {
    Eigen::Map<Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>(
        values_.data() + offsets_[i], sizes_[i], sizes_[i]) = form(i);
  });
}

std::vector<double> ElementMatrices::Diagonal(std::size_t nodeCount) const {
  std::vector<double> diagonal(nodeCount * kNodeDofs, 0.0);
  for (std::size_t i = 0; i < Count(); ++i) {
    const int n = sizes_[i];
    for (int a = 0; a < n; ++a) {
      const auto raw = static_cast<std::size_t>(nodes_[i][static_cast<std::size_t>(a / kNodeDofs)]) * kNodeDofs +
                       static_cast<std::size_t>(a % kNodeDofs);
      diagonal[raw] += std::abs(Matrix(i)[a * n + a]);
    }
  }
  return diagonal;
}

std::string DofDescription(const NativeModel& model, std::int64_t raw) {
  static const char* const kAxes[] = {"X", "Y", "Z"};
  const long node = model.nodeIds[static_cast<std::size_t>(raw / kNodeDofs)];
  const int dof = static_cast<int>(raw % kNodeDofs);
  return "node " + std::to_string(node) + (dof < 3 ? " can move along " : " can rotate about ") + kAxes[dof % 3];
}

EquationMap NumberEquations(const NativeModel& model, const std::vector<double>& diagonal) {
  EquationMap map;
  const std::size_t raws = diagonal.size();
  map.equationOf.assign(raws, -1);
  map.inactive.assign(raws, false);
  // A direction counts as unstiffened when its diagonal is zero against
  // the largest of its kind (translations, rotations): an exact zero from
  // a released end, or round-off of one.
  double largest[2] = {0.0, 0.0};
  for (std::size_t r = 0; r < raws; ++r) largest[(r % kNodeDofs) / 3] = std::max(largest[(r % kNodeDofs) / 3], diagonal[r]);
  for (std::size_t r = 0; r < raws; ++r) {
    const int dof = static_cast<int>(r % kNodeDofs);
    const auto support = model.supports.find(static_cast<int>(r / kNodeDofs));
    const double fixity = support == model.supports.end() ? 0.0 : support->second[static_cast<std::size_t>(dof)];
    if (fixity >= 1.0) continue;  // held: no equation
    if (!(diagonal[r] > 1e-12 * largest[dof / 3])) {
      map.inactive[r] = true;
      continue;
    }
    map.equationOf[r] = static_cast<Equation>(map.rawOf.size());
    map.rawOf.push_back(static_cast<std::int64_t>(r));
    // A partial fixity: the support takes the share f of a load there.
    if (fixity > 0.0) map.springs.emplace_back(static_cast<std::int64_t>(r), fixity / (1.0 - fixity) * diagonal[r]);
  }
  return map;
}

FactorisationOptions StiffnessFactorisationOptions(const SymmetricSparseMatrix&, const NativeMemoryOptions& memory) {
  FactorisationOptions options;
  options.memory = memory;
  // AMD orders the same way on every run (results reproducible to the last
  // digit, which the solver's own choice, SCOTCH here, is not) and was the
  // fastest robust ordering on the example frames: 0.9 s against 1.2 s on
  // the default one, 7 s against 16 s four times larger. PORD was as fast
  // but ends the whole process on some small models.
  options.ordering = Ordering::Amd;
  return options;
}

}  // namespace Kestrum::Quilm::Solver::Native
