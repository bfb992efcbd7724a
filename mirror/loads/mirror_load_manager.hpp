// IMirrorLoadManager: load operations that belong to no single load or load
// case: removing loads by concept, node or load case, and generating a
// rigid-body rotation load on every node of the analysis model.
#pragma once

#include <boost/intrusive_ptr.hpp>

#include "mirror/core/export.hpp"
#include "mirror/core/mirror_object.hpp"

namespace Kestrum::Quilm::Mirror {

class IMirrorModel;

// The host derives from it and supplies the mirror model to work on. The
// class has no state; copies copy nothing. The destructor is not virtual:
// destroy a manager through its own class.
class QUILM_MIRROR_API IMirrorLoadManager {
 public:
  IMirrorLoadManager() = default;
  IMirrorLoadManager(const IMirrorLoadManager&) = default;
  IMirrorLoadManager& operator=(const IMirrorLoadManager&) = default;
  ~IMirrorLoadManager() = default;

  // The mirror model whose analysis model the operations change (not owned).
  virtual IMirrorModel& GetModel() = 0;

  // Removes the loads of a concept in one load case. An empty pointer returns
  // at once. For a plate or a segment: the element loads of each of its
  // elements; for a beam: those of every element of every segment; for a
  // joint or support point with a node (id above 0): the node loads at that
  // node. Any other object: nothing is removed.
  void DeleteLoadsForConcept(const boost::intrusive_ptr<IMirrorObjectWithTopology>& concept, long loadCase);
  // Removes the point and node-acceleration loads of one node in one load case.
  void DeleteLoadsForNode(long node, long loadCase);
  // Removes every load of the load case, gravity included.
  void DeleteAllLoadsInLoadCase(long loadCase);
  // Adds to every analysis node off the axis through `axisStart` and
  // `axisEnd` the node acceleration of a rigid-body rotation about it:
  // ω²·R + α·r·T, with R the vector from the node to its foot on the axis,
  // r its length and T the unit tangent of a right-handed rotation about the
  // direction start→end. Nodes on the axis get nothing. Adds only: calling it
  // twice adds every load twice. Throws GeometryError, before anything is
  // asked of the model, for an axis of zero length or with non-finite
  // coordinates, and for a non-finite angular velocity or acceleration.
  void AddRigidBodyRotationLoad(long loadCase, const pos3d& axisStart, const pos3d& axisEnd,
                                double angularVelocity, double angularAcceleration);
};

}  // namespace Kestrum::Quilm::Mirror
