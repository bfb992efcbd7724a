#include "mirror/beams/mirror_beam.hpp"

#include <stdexcept>
#include <string>

#include "mirror/core/mirror_model.hpp"

namespace Kestrum::Quilm::Mirror {

namespace {

// The three-node beam takes its local system node by node; every other
// element type takes one at its midpoint.
constexpr int kNodeByNodeLocalSystemType = 23;
// Second argument of AddEccentricity and AddTransformation: a new record.
constexpr long kNewRecord = -1;
// The beam's constant eccentricity id when there is none.
constexpr long kNoConstantEccentricity = -1;
// Id given to an element for no eccentricity or no transformation.
constexpr long kNone = 0;

}  // namespace

IMirrorBeam::~IMirrorBeam() = default;

void IMirrorBeam::ClearUpdateFlags(bool value) noexcept {
  SetModified(value);
  eccentricityModified_ = value;
  localSystemModified_ = value;
}

boost::intrusive_ptr<IMirrorSegment> IMirrorBeam::SegmentAt(unsigned int index) const {
  boost::intrusive_ptr<IMirrorSegment> segment = GetSegment(index);
  // A null here is a fault of the host; a clear error beats a crash.
  if (!segment)
    throw std::logic_error("IMirrorBeam: GetSegment(" + std::to_string(index) +
                           ") gave a null segment (count " + std::to_string(GetSegmentCount()) + ")");
  return segment;
}

void IMirrorBeam::Write(IMirrorModel& model) {
  boost::shared_ptr<IEccentricityCallback> eccentricityCallback;
  boost::shared_ptr<ILocalSystemCallback> localSystemCallback;
  if (eccentricityModified_) eccentricityCallback = GetEccentricityCallback();
  if (localSystemModified_) localSystemCallback = GetLocalSystemCallback();

  // One record for the whole beam, shared by all its elements, added once per
  // Write before any segment (also for a beam without segments).
  long eccentricityId = kNoConstantEccentricity;
  vec3d constant(0.0, 0.0, 0.0);
  if (eccentricityCallback && eccentricityCallback->GetConstantEccentricity(constant))
    eccentricityId = model.GetXafModel()->Eccentricities().AddEccentricity(constant, kNewRecord);

  for (unsigned int i = 0; i < GetSegmentCount(); ++i) {
    const boost::intrusive_ptr<IMirrorSegment> segment = SegmentAt(i);
    if (ArePropertiesUpdated()) {
      for (long element : segment->GetElements()) {
        SetElementEccentricity(element, eccentricityCallback, eccentricityId, model);
        SetElementLocalSystem(element, localSystemCallback, model);
      }
    }
    segment->Write(model);
  }

  // Only after everything went through: a failure above keeps the flags for
  // the next Write.
  ClearUpdateFlags(false);
}

void IMirrorBeam::Delete(IMirrorModel& model) {
  for (unsigned int i = 0; i < GetSegmentCount(); ++i) SegmentAt(i)->Delete(model);
}

std::list<long> IMirrorBeam::GetElements() const {
  std::list<long> elements;
  for (unsigned int i = 0; i < GetSegmentCount(); ++i) {
    const boost::intrusive_ptr<IMirrorSegment> segment = SegmentAt(i);
    const IMirrorSegment::ElementSet& ids = segment->GetElements();
    elements.insert(elements.end(), ids.begin(), ids.end());
  }
  return elements;
}

void IMirrorBeam::SetElementEccentricity(long elementId, boost::shared_ptr<IEccentricityCallback> callback,
                                         long eccentricityId, IMirrorModel& model) {
  if (!eccentricityModified_) return;
  const boost::shared_ptr<XafElement> element = model.GetXafModel()->Elements().GetElement(elementId);
  if (!callback) {
    element->SetEccentricity(kNone);
    return;
  }
  if (eccentricityId != kNoConstantEccentricity) {
    element->SetEccentricity(eccentricityId);
    return;
  }
  const Element record = model.GetXafModel()->GetConnectivityManager().GetElementById(elementId);
  for (unsigned int i = 0; i < record.NodeCount(); ++i) {
    const long node = record.GetNode(i, Element::Stored);
    const pos3d position = model.GetXafModel()->GetConnectivityManager().GetNodeById(node).GetPos();
    const vec3d eccentricity = callback->GetEccentricity(position);
    // Every node gets a record of its own, even where vectors repeat.
    const long id = model.GetXafModel()->Eccentricities().AddEccentricity(eccentricity, kNewRecord);
    element->SetNodeEccentricity(i, id);
  }
}

void IMirrorBeam::SetElementLocalSystem(long elementId, boost::shared_ptr<ILocalSystemCallback> callback,
                                        IMirrorModel& model) {
  if (!localSystemModified_) return;
  const boost::shared_ptr<XafElement> element = model.GetXafModel()->Elements().GetElement(elementId);
  if (!callback) {
    element->SetTransformation(kNone);
    return;
  }
  const Element record = model.GetXafModel()->GetConnectivityManager().GetElementById(elementId);
  const std::vector<long>& nodes = record.GetNodeIds();
  // The start and end points come from the first and last node; without
  // nodes there is neither, and reading them would be out of bounds.
  if (nodes.empty())
    throw std::invalid_argument("IMirrorBeam: element " + std::to_string(elementId) +
                                " has no nodes, so it has no direction for a local system");
  const pos3d start = model.GetXafModel()->GetConnectivityManager().GetNodeById(nodes.front()).GetPos();
  const pos3d end = model.GetXafModel()->GetConnectivityManager().GetNodeById(nodes.back()).GetPos();

  vec3d referenceAxis(0.0, 0.0, 0.0);
  if (record.GetElementType().Number() == kNodeByNodeLocalSystemType) {
    for (unsigned int i = 0; i < record.NodeCount(); ++i) {
      const long node = record.GetNode(i, Element::Stored);
      const pos3d position = model.GetXafModel()->GetConnectivityManager().GetNodeById(node).GetPos();
      const locsys3d system = callback->GetLocalSystem(position);
      referenceAxis = system.x();
      // The model stores the local z axis alone; x only serves the direction
      // check below.
      const long id = model.GetXafModel()->Transformations().AddTransformation(system.z(), kNewRecord);
      element->SetNodeTransformation(i, id);
    }
  } else {
    const pos3d midpoint = (start + end) / 2.0;
    const locsys3d system = callback->GetLocalSystem(midpoint);
    referenceAxis = system.x();
    const long id = model.GetXafModel()->Transformations().AddTransformation(system.z(), kNewRecord);
    element->SetTransformation(id);
  }

  // Reverse an element whose node order runs against the local x axis.
  // Strictly below zero: a perpendicular axis or a NaN leaves it alone.
  if (vec3d(start, end).dot(referenceAxis) < 0.0)
    model.GetXafModel()->Elements().ReverseNodeNumbers(elementId);
}

}  // namespace Kestrum::Quilm::Mirror
