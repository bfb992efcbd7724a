// Read-only views of the mesh: node and element records and the
// connectivity manager that hands them out.
#pragma once

#include <vector>

#include "definitions/element_type.hpp"
#include "geometry/geometry.hpp"

namespace Kestrum::Quilm::AnalysisModel {

// A node record: id and position (a copy, not a live view).
class Node {
 public:
  Node(long id, const pos3d& position) : id_(id), pos_(position) {}
  long GetId() const noexcept { return id_; }
  const pos3d& GetPos() const noexcept { return pos_; }

 private:
  long id_;
  pos3d pos_;
};

// An element's connectivity (a copy, not a live view).
//
// Node orders:
//  * SortOrder 0 (Stored): the order in which the element stores its nodes,
//    corner (end) nodes first, then mid-side nodes. Per-node ids of an
//    element (eccentricity, transformation, fixation) are indexed this way.
//  * SortOrder 2 (Geometric): along a line element from one end to the other
//    (positions 0 and n-1 are its end nodes), around a surface element.
// For two-node beams and shells without mid-side nodes both orders agree; for
// the three-node beam (type 23, stored end, end, middle) they differ.
class Element {
 public:
  enum SortOrder { Stored = 0, Geometric = 2 };

  Element(long id, const qlElementType& type, std::vector<long> nodeIds)
      : id_(id), type_(&type), nodes_(std::move(nodeIds)) {}

  long GetId() const noexcept { return id_; }
  const qlElementType& GetElementType() const noexcept { return *type_; }
  unsigned NodeCount() const noexcept { return static_cast<unsigned>(nodes_.size()); }
  // The node ids in stored order.
  const std::vector<long>& GetNodeIds() const noexcept { return nodes_; }
  // Stored index of the node at `index` in the given order.
  // Throws std::out_of_range for an index >= NodeCount().
  unsigned GetNodeIndex(unsigned index, SortOrder order) const;
  // Id of the node at `index` in the given order. Throws as GetNodeIndex.
  long GetNode(unsigned index, SortOrder order) const { return nodes_[GetNodeIndex(index, order)]; }

 private:
  long id_;
  const qlElementType* type_;
  std::vector<long> nodes_;
};

// Look-ups of the mesh by id. Unknown ids throw ModelError.
class IConnectivityManager {
 public:
  virtual ~IConnectivityManager() = default;
  virtual Element GetElementById(long element) const = 0;
  // The element's representative point: the mean of its node positions.
  virtual pos3d GetElementPoint(long element) const = 0;
  virtual Node GetNodeById(long node) const = 0;
  // Replaces `positions` with the element's node positions in `order`.
  virtual void GetElementNodes(long element, std::vector<pos3d>& positions,
                               Element::SortOrder order) const = 0;
};

}  // namespace Kestrum::Quilm::AnalysisModel
