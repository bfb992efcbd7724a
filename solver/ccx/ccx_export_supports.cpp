// The deck's point masses and boundary conditions: read from the model's
// node properties, fixities passed on to generated mid-side nodes, and the
// MASS elements and *BOUNDARY block that carry them.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "solver/ccx/ccx_export_internal.hpp"

namespace Kestrum::Quilm::Solver::detail {

// The nodes' point masses and supports, as FindAnchoredNodes fetched them.
void SolverModelReader::ReadNodeProperties() {
  for (const NodeProperties& node : nodeProperties_) {
    const long id = node.node;
    if (node.hasMass) {
      pointMasses_[id] = node.mass;
      if (static_cast<std::size_t>(id) >= hasPointMass_.size())
        hasPointMass_.resize(static_cast<std::size_t>(id) + 1);
      hasPointMass_[static_cast<std::size_t>(id)] = true;
    }
    if (const auto& fixation = node.support) {
      std::vector<int> fixed;
      for (int dof = 0; dof < 6; ++dof) {
        const double f = fixation->Fixation(dof);
        if (f == 1.0) {
          fixed.push_back(dof + 1);
        } else if (f != 0.0) {
          problems_.Add("partial fixities (springs) are not supported; skipping leaves those directions free",
                        NodeLabel(id), true);
        }
      }
      if (!fixed.empty()) {
        boundaries_[id] = fixed;
        deck_->supportNodes.push_back(id);
      }
    }
  }
  nodeProperties_ = {};
  for (const auto& [node, m] : pointMasses_) {
    for (int k = 0; k < 3; ++k) {
      if (!std::isfinite(m[k]) || m[k] < 0.0) {
        problems_.Add("point masses must be finite and not negative", NodeLabel(node), false);
      }
    }
    const double scale = std::max({std::abs(m[0]), std::abs(m[1]), std::abs(m[2])});
    if (std::abs(m[0] - m[1]) > 1e-12 * scale || std::abs(m[0] - m[2]) > 1e-12 * scale) {
      problems_.Add("direction-dependent point masses are not supported in the frequency step",
                    NodeLabel(node), true);
      continue;
    }
    if (m[3] != 0.0 || m[4] != 0.0 || m[5] != 0.0) {
      problems_.Add(
          "rotational inertia of point masses is not supported; skipping keeps the translational mass",
          NodeLabel(node), true);
    }
    if (m[0] > 0.0) {
      // Grouped by the value as written, so that masses the deck cannot tell
      // apart share one MASS card.
      auto& group = massElements_[FormatNumber(m[0], "a point mass")];
      if (group.second.empty()) group.first = m[0];
      group.second.push_back(node);
    }
  }
}

// A generated mid-side node on a supported edge of the shell mesh would
// otherwise let the edge bulge between its supported end nodes (a simply
// supported plate edge, for instance), so it is fixed in the directions
// fixed at both ends of its edge. That holds only for the free edges of the
// shell mesh (used by one shell only): an edge shared by two shells may join
// two supports across the mesh (the diagonal of a corner triangle) without
// being a support line itself, and the middle node of a beam is part of the
// span, which must bend freely between its supports. Half-edges of divided
// triangles follow their edge, through its mid-side node; the rule is
// applied until nothing changes because generated nodes also lie between
// generated nodes.
void SolverModelReader::InheritFixities() {
  if (boundaries_.empty()) return;
  // Which nodes have fixities, by id: a look-up per edge end in the map
  // would dominate the passes over a large mesh's edges.
  std::vector<bool> fixed(static_cast<std::size_t>(std::max(nextNode_, 1L)), false);
  auto isFixed = [&](long node) {
    return node >= 0 && static_cast<std::size_t>(node) < fixed.size() &&
           fixed[static_cast<std::size_t>(node)];
  };
  for (const auto& entry : boundaries_) {
    if (entry.first >= 0 && static_cast<std::size_t>(entry.first) < fixed.size())
      fixed[static_cast<std::size_t>(entry.first)] = true;
  }
  for (bool changed = true; changed;) {
    changed = false;
    edges_.ForEach([&](std::uint64_t key, const EdgeNodes& nodes) {
      const long mid = nodes.mid;
      const auto edge = EdgeEnds(key);
      if (mid == 0 || nodes.shellUses > 1) return;
      if (nodes.shellUses == 0 && nodes.beamSpan) return;
      if (!isFixed(edge.first) || !isFixed(edge.second)) return;
      auto a = boundaries_.find(edge.first), b = boundaries_.find(edge.second);
      std::vector<int> common;
      std::set_intersection(a->second.begin(), a->second.end(), b->second.begin(), b->second.end(),
                            std::back_inserter(common));
      if (common.empty()) return;
      auto& current = boundaries_[mid];
      if (current != common) {
        current = common;
        changed = true;
      }
      fixed[static_cast<std::size_t>(mid)] = true;
    });
  }
}

// One MASS element per node with a point mass, grouped by mass value; their
// ids follow every other generated element.
void SolverModelReader::FinishMasses() {
  for (auto& entry : massElements_) {
    MassGroup group;
    group.mass = entry.second.first;
    group.nodes = std::move(entry.second.second);
    group.firstElement = nextElement_;
    nextElement_ += static_cast<long>(group.nodes.size());
    solver_.massGroups.push_back(std::move(group));
  }
}

}  // namespace Kestrum::Quilm::Solver::detail
