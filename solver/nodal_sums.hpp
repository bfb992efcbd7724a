// Nodal loads summed per node for one step of the ccx deck export (not
// installed). A load case adds its forces and moments node by node, in the
// order its loads come; Settle then gathers them per node. Kept as one flat
// array rather than an ordered map: the node accelerations of a large model
// touch every node, and a map node per node costs twice the memory and many
// times the time of the sums themselves.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/geometry.hpp"

namespace Kestrum::Quilm::Solver::detail {

using Dofs = std::array<double, 6>;

class NodalSums {
 public:
  struct Entry {
    std::int32_t node;    // ids are below 2^31
    std::uint32_t order;  // when it was added: ties keep this order
    Dofs dofs;
  };

  // Makes room for `n` more additions.
  void Reserve(std::size_t n) { entries_.reserve(entries_.size() + n); }

  // Adds a force and a moment at a node.
  void Add(long node, const vec3d& force, const vec3d& moment) {
    entries_.push_back({static_cast<std::int32_t>(node),
                        Order(),
                        {force.x, force.y, force.z, moment.x, moment.y, moment.z}});
    settled_ = false;
  }

  // Adds `factor` times every sum of `other` (settled), taking its memory
  // when nothing was added here yet.
  void AddScaled(NodalSums&& other, double factor) {
    other.Settle();
    if (entries_.empty()) {
      entries_ = std::move(other.entries_);
      // 0 + f*d, as adding to an empty sum gives: it turns -0 into 0.
      for (Entry& entry : entries_) {
        for (double& d : entry.dofs) d = 0.0 + factor * d;
      }
      settled_ = true;
      return;
    }
    for (const Entry& entry : other.entries_) {
      Dofs scaled;
      for (int k = 0; k < 6; ++k) scaled[k] = factor * entry.dofs[k];
      entries_.push_back({entry.node, Order(), scaled});
    }
    other.entries_ = {};
    settled_ = false;
  }

  // Leaves one entry per node, in ascending node order, each the sum of the
  // node's additions from zero in the order they were made (so the sums
  // come out bit for bit as adding them one by one would give).
  void Settle() {
    if (settled_) return;
    const auto before = [](const Entry& a, const Entry& b) {
      return a.node != b.node ? a.node < b.node : a.order < b.order;
    };
    // Loads often come in node order already.
    if (!std::is_sorted(entries_.begin(), entries_.end(), before))
      std::sort(entries_.begin(), entries_.end(), before);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries_.size();) {
      Entry sum{entries_[i].node, static_cast<std::uint32_t>(kept), {}};
      for (; i < entries_.size() && entries_[i].node == sum.node; ++i) {
        for (int k = 0; k < 6; ++k) sum.dofs[k] += entries_[i].dofs[k];
      }
      entries_[kept++] = sum;
    }
    entries_.resize(kept);
    settled_ = true;
  }

  // The sums by node, ascending; only after Settle.
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  std::uint32_t Order() const { return static_cast<std::uint32_t>(entries_.size()); }

  std::vector<Entry> entries_;
  bool settled_ = true;
};

}  // namespace Kestrum::Quilm::Solver::detail
