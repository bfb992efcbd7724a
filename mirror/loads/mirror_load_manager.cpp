#include "mirror/loads/mirror_load_manager.hpp"

#include <cmath>
#include <sstream>

#include "mirror/beams/mirror_beam.hpp"
#include "mirror/beams/mirror_segment.hpp"
#include "mirror/core/mirror_model.hpp"
#include "mirror/core/node_concepts.hpp"
#include "mirror/plates/mirror_plate.hpp"

namespace Kestrum::Quilm::Mirror {

namespace {

bool IsFinite(const pos3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// Rejects what has no rotation: with a zero-length axis the tangent has no
// direction, and non-finite numbers would write NaN or infinite loads.
void CheckRotation(const pos3d& axisStart, const pos3d& axisEnd, double angularVelocity,
                   double angularAcceleration) {
  const double length = vec3d(axisStart, axisEnd).length();
  if (!IsFinite(axisStart) || !IsFinite(axisEnd) || !(length > 0.0) || !std::isfinite(length)) {
    std::ostringstream message;
    message << "AddRigidBodyRotationLoad: the rotation axis from " << axisStart << " to " << axisEnd
            << " has no direction (its ends must be finite and distinct)";
    throw GeometryError(message.str());
  }
  if (!std::isfinite(angularVelocity) || !std::isfinite(angularAcceleration)) {
    std::ostringstream message;
    message << "AddRigidBodyRotationLoad: angular velocity " << angularVelocity
            << " and angular acceleration " << angularAcceleration << " must both be finite";
    throw GeometryError(message.str());
  }
}

template <class ElementIds>
void DeleteElementLoads(AnalysisModel::XafLoadManager& loads, long loadCase, const ElementIds& elements) {
  for (const long element : elements) loads.DeleteElementLoad(loadCase, element);
}

}  // namespace

void IMirrorLoadManager::DeleteLoadsForConcept(const boost::intrusive_ptr<IMirrorObjectWithTopology>& concept,
                                               long loadCase) {
  if (!concept) return;
  const boost::shared_ptr<XafModel> xaf = GetModel().GetXafModel();
  AnalysisModel::XafLoadManager& loads = xaf->Loads();

  if (const auto plate = boost::dynamic_pointer_cast<IMirrorPlate>(concept)) {
    DeleteElementLoads(loads, loadCase, plate->GetElements());
  } else if (const auto segment = boost::dynamic_pointer_cast<IMirrorSegment>(concept)) {
    DeleteElementLoads(loads, loadCase, segment->GetElements());
  } else if (const auto beam = boost::dynamic_pointer_cast<IMirrorBeam>(concept)) {
    // The count is asked again after every segment, as the beam itself does.
    for (unsigned int index = 0; index < beam->GetSegmentCount(); ++index) {
      const boost::intrusive_ptr<IMirrorSegment> beamSegment = beam->GetSegment(index);
      if (beamSegment) DeleteElementLoads(loads, loadCase, beamSegment->GetElements());
    }
  } else if (const auto joint = boost::dynamic_pointer_cast<IMirrorJoint>(concept)) {
    if (joint->GetNode() > 0) loads.DeleteNodeLoad(loadCase, joint->GetNode());
  } else if (const auto support = boost::dynamic_pointer_cast<IMirrorSupportPoint>(concept)) {
    if (support->GetNode() > 0) loads.DeleteNodeLoad(loadCase, support->GetNode());
  }
  // Other objects (boundary conditions, the host's own classes) carry no loads
  // this library could find.
}

void IMirrorLoadManager::DeleteLoadsForNode(long node, long loadCase) {
  GetModel().GetXafModel()->Loads().DeleteNodeLoad(loadCase, node);
}

void IMirrorLoadManager::DeleteAllLoadsInLoadCase(long loadCase) {
  GetModel().GetXafModel()->Loads().DeleteAllLoadsInLoadCase(loadCase);
}

void IMirrorLoadManager::AddRigidBodyRotationLoad(long loadCase, const pos3d& axisStart, const pos3d& axisEnd,
                                                  double angularVelocity, double angularAcceleration) {
  CheckRotation(axisStart, axisEnd, angularVelocity, angularAcceleration);

  // Held for the whole pass: one look-up, one projection and one load per node.
  const boost::shared_ptr<XafModel> xaf = GetModel().GetXafModel();
  const AnalysisModel::XafNodeManager& nodes = xaf->Nodes();
  const double omegaSquared = angularVelocity * angularVelocity;
  for (auto it = nodes.begin(), last = nodes.end(); it != last; ++it) {
    const long node = *it;
    const pos3d position = xaf->GetConnectivityManager().GetNodeById(node).GetPos();

    const line3d axis(axisStart, axisEnd);
    pos3d foot(0.0, 0.0, 0.0);
    double distance = 0.0;
    double parameter = 0.0;
    axis.project(position, foot, distance, parameter);
    // Exact test: only a node on the axis itself (or a NaN distance) is skipped.
    if (!(std::fabs(distance) > 0.0)) continue;

    const vec3d toAxis(position, foot);
    const double radius = toAxis.length();
    const vec3d direction(axis.end1(), axis.end2());
    vec3d tangent = toAxis.cross(direction);
    tangent.normalise();

    const double tangential = radius * angularAcceleration;
    const vec3d acceleration(omegaSquared * toAxis.x + tangential * tangent.x,
                             omegaSquared * toAxis.y + tangential * tangent.y,
                             omegaSquared * toAxis.z + tangential * tangent.z);
    xaf->Loads().AddNodeAccelerationLoad(loadCase, node,
                                         PointLoad(position, acceleration, vec3d(0.0, 0.0, 0.0)));
  }
}

}  // namespace Kestrum::Quilm::Mirror
