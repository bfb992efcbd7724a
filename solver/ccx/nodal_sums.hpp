// Nodal loads summed per node for one step of the ccx deck export (not
// installed). A load case adds its forces and moments node by node, in the
// order its loads come; Settle then gathers them per node. Kept as flat
// arrays rather than an ordered map: the node accelerations of a large model
// touch every node, and a map node per node costs twice the memory and many
// times the time of the sums themselves. Moments are kept apart from forces
// and only where there are any: most nodal loads (inertia forces, weights,
// forces) have none, and leaving them out saves 40 % of the sums.
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
  // Three components (a force, or a moment) at a node.
  struct Entry {
    std::int32_t node;    // ids are below 2^31
    std::uint32_t order;  // when it was added: ties keep this order
    std::array<double, 3> value;
  };

  // Makes room for `n` more additions of forces (moments grow as they come).
  void Reserve(std::size_t n) { forces_.reserve(forces_.size() + n); }

  // Adds a force and a moment at a node. A moment with no non-zero
  // component is not kept: a sum from zero would not change by it.
  void Add(long node, const vec3d& force, const vec3d& moment) {
    forces_.push_back({static_cast<std::int32_t>(node), Order(forces_), {force.x, force.y, force.z}});
    if (moment.x != 0.0 || moment.y != 0.0 || moment.z != 0.0)
      moments_.push_back({static_cast<std::int32_t>(node), Order(moments_), {moment.x, moment.y, moment.z}});
    settled_ = false;
  }

  // Adds `factor` times every sum of `other` (settled), taking its memory
  // when nothing was added here yet.
  void AddScaled(NodalSums&& other, double factor) {
    other.Settle();
    if (forces_.empty() && moments_.empty()) {
      forces_ = std::move(other.forces_);
      moments_ = std::move(other.moments_);
      // 0 + f*d, as adding to an empty sum gives: it turns -0 into 0.
      for (auto* list : {&forces_, &moments_}) {
        for (Entry& entry : *list) {
          for (double& d : entry.value) d = 0.0 + factor * d;
        }
      }
      settled_ = true;
      return;
    }
    for (auto [from, to] : {std::pair{&other.forces_, &forces_}, std::pair{&other.moments_, &moments_}}) {
      for (const Entry& entry : *from) {
        to->push_back({entry.node,
                       Order(*to),
                       {factor * entry.value[0], factor * entry.value[1], factor * entry.value[2]}});
      }
      *from = {};
    }
    settled_ = false;
  }

  // Leaves one force entry and at most one moment entry per node, in
  // ascending node order, each the sum of the node's additions from zero in
  // the order they were made (so the sums come out bit for bit as adding
  // them one by one would give).
  void Settle() {
    if (settled_) return;
    SettleList(forces_);
    SettleList(moments_);
    settled_ = true;
  }

  // The summed forces and moments by node, ascending; only after Settle.
  // Every node with a moment has a force entry too.
  const std::vector<Entry>& Forces() const { return forces_; }
  const std::vector<Entry>& Moments() const { return moments_; }
  std::vector<Entry>& Moments() { return moments_; }
  std::size_t MemoryBytes() const { return (forces_.capacity() + moments_.capacity()) * sizeof(Entry); }

  // Calls f(node, dofs) for every node, ascending, with its six summed
  // components (the moment's zero where it has none); only after Settle.
  template <typename F>
  void ForEachSum(F&& f) const {
    auto moment = moments_.begin();
    for (const Entry& force : forces_) {
      Dofs dofs{force.value[0], force.value[1], force.value[2], 0.0, 0.0, 0.0};
      if (moment != moments_.end() && moment->node == force.node) {
        std::copy(moment->value.begin(), moment->value.end(), dofs.begin() + 3);
        ++moment;
      }
      f(static_cast<long>(force.node), dofs);
    }
  }

 private:
  static std::uint32_t Order(const std::vector<Entry>& list) { return static_cast<std::uint32_t>(list.size()); }

  static void SettleList(std::vector<Entry>& list) {
    const auto before = [](const Entry& a, const Entry& b) {
      return a.node != b.node ? a.node < b.node : a.order < b.order;
    };
    // Loads often come in node order already.
    if (!std::is_sorted(list.begin(), list.end(), before)) std::sort(list.begin(), list.end(), before);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < list.size();) {
      Entry sum{list[i].node, static_cast<std::uint32_t>(kept), {}};
      for (; i < list.size() && list[i].node == sum.node; ++i) {
        for (int k = 0; k < 3; ++k) sum.value[k] += list[i].value[k];
      }
      list[kept++] = sum;
    }
    list.resize(kept);
  }

  std::vector<Entry> forces_, moments_;
  bool settled_ = true;
};

}  // namespace Kestrum::Quilm::Solver::detail
