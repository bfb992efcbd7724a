// MirrorElement: a read-only view of one analysis element that answers, for
// its start, its end or any of its node positions, which eccentricity, local
// system (transformation) and hinge apply there.
#pragma once

#include <boost/optional.hpp>
#include <boost/shared_ptr.hpp>

#include "mirror/analysis/analysis.hpp"
#include "mirror/core/export.hpp"

namespace Kestrum::Quilm::Mirror {

class MirrorElementTestAccess;

// Node positions: 0 is the element's start, n - 1 its end (n the node count
// of the element's connectivity), anything between an inner node. Per-node
// ids of the element are read at the position as given; node ids for local
// systems are picked in geometric order.
//
// Each answer is absent when the analysis model holds none there (an id of 0
// or below). Every question reads the analysis model afresh, so answers
// follow later changes of ids and vectors.
//
// Not owned: the analysis model must outlive the view. Failures of the
// analysis model (unknown ids, a position beyond the element's nodes where
// per-node ids are read) propagate; a negative position throws
// std::out_of_range before the model is asked anything.
class QUILM_MIRROR_API MirrorElement {
 public:
  // Fetches the element's record (Elements().GetElement(element)) once;
  // an element the model does not hold throws the model's error.
  MirrorElement(XafModel& model, long element);
  // Shares the element record with `other`.
  MirrorElement(const MirrorElement& other) = default;
  ~MirrorElement();

  // The eccentricity vector at a node position: the element-wide id, or the
  // node's own when the element-wide id is -1 (per node).
  boost::optional<vec3d> GetEccentricity(short position) const;
  boost::optional<vec3d> GetEccentricityStart() const;
  boost::optional<vec3d> GetEccentricityEnd() const;

  // The local system at a node position. Point elements (shape 0) use the
  // node's own transformation (x from its matrix's first row, z from its
  // third); line elements (shape 1) take x from their first to their last
  // node and z from the element's (or the node's) transformation vector;
  // every other shape has none.
  boost::optional<locsys3d> GetTransformation(short position) const;
  boost::optional<locsys3d> GetTransformationStart() const;
  boost::optional<locsys3d> GetTransformationEnd() const;

  // A copy of the hinge (fixation) at a node position: the element-wide id,
  // or the node's own when the element-wide id is -1 (per node).
  boost::optional<Hinge> GetHinge(short position) const;
  boost::optional<Hinge> GetHingeStart() const;
  boost::optional<Hinge> GetHingenEnd() const;

 private:
  friend class MirrorElementTestAccess;

  // Position (stored order, from 0) of the first node of the element whose
  // position equals `point` within the geometry tolerance; -1 if none does.
  long GetNodeIndex(const pos3d& point) const;
  // The end position n - 1 of the element's connectivity.
  short EndPosition() const;

  XafModel& model_;
  boost::shared_ptr<XafElement> element_;
  long elementId_;
};

}  // namespace Kestrum::Quilm::Mirror
