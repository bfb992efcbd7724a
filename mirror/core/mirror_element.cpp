#include "mirror/core/mirror_element.hpp"

#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace Kestrum::Quilm::Mirror {

namespace {

// A negative position is never a node of the element. Converted to the
// analysis model's unsigned index it would become a huge number, so it is
// refused here, before the model is asked anything.
void RequireNonNegative(short position, long element) {
  if (position < 0)
    throw std::out_of_range("MirrorElement: node position " + std::to_string(position) + " of element " +
                            std::to_string(element) + " is negative");
}

// The id of the node at `index` in the stored node list. The analysis model
// promises an index below the node count; a broken promise must not read
// past the list.
long NodeAt(const Element& record, unsigned index) {
  const std::vector<long>& ids = record.GetNodeIds();
  if (index >= ids.size())
    throw std::out_of_range("MirrorElement: node index " + std::to_string(index) + " of element " +
                            std::to_string(record.GetId()) + " lies outside its " +
                            std::to_string(ids.size()) + " nodes");
  return ids[index];
}

}  // namespace

MirrorElement::MirrorElement(XafModel& model, long element)
    : model_(model), element_(model.Elements().GetElement(element)), elementId_(element) {}

MirrorElement::~MirrorElement() = default;

short MirrorElement::EndPosition() const {
  const unsigned count = element_->GetElementWithInternalNodeIds().NodeCount();
  if (count == 0)
    throw std::out_of_range("MirrorElement: element " + std::to_string(elementId_) + " has no nodes");
  if (count - 1 > static_cast<unsigned>(std::numeric_limits<short>::max()))
    throw std::out_of_range("MirrorElement: element " + std::to_string(elementId_) + " has " +
                            std::to_string(count) + " nodes, more than a node position can address");
  return static_cast<short>(count - 1);
}

boost::optional<vec3d> MirrorElement::GetEccentricity(short position) const {
  RequireNonNegative(position, elementId_);
  long id = element_->GetEccentricity();
  if (id == -1) id = element_->GetNodeEccentricity(static_cast<unsigned>(position));
  if (id <= 0) return boost::none;
  return model_.Eccentricities().GetEccentricity(id)->GetEccentricity();
}

boost::optional<vec3d> MirrorElement::GetEccentricityStart() const { return GetEccentricity(0); }

boost::optional<vec3d> MirrorElement::GetEccentricityEnd() const { return GetEccentricity(EndPosition()); }

boost::optional<locsys3d> MirrorElement::GetTransformation(short position) const {
  RequireNonNegative(position, elementId_);
  XafConnectivityManager& connectivity = model_.GetConnectivityManager();
  const Element record = connectivity.GetElementById(elementId_);
  const int shape = record.GetElementType().Shape();

  if (shape == 0) {
    const long node =
        NodeAt(record, record.GetNodeIndex(static_cast<unsigned>(position), Element::Geometric));
    const boost::shared_ptr<long> transnod = model_.NodeProperties().GetTransnod(node);
    if (!transnod || *transnod <= 0) return boost::none;
    const boost::shared_ptr<AnalysisModel::XafTransformation> transformation =
        model_.Transformations().GetTransformation(*transnod);
    const auto& m = transformation->GetTransformationMatrix();
    // Rows: local x, y, z. The system is rebuilt from x and z; y follows.
    return locsys3d(vec3d(m[0], m[1], m[2]), vec3d(m[6], m[7], m[8]));
  }

  if (shape == 1) {
    long id = element_->GetTransformation();
    if (id == 0) return boost::none;
    // The x direction runs along the element's line, from its first to its
    // last node in geometric order.
    const long first = NodeAt(record, record.GetNodeIndex(0, Element::Geometric));
    const long last = NodeAt(record, record.GetNodeIndex(record.NodeCount() - 1, Element::Geometric));
    const pos3d firstPos = connectivity.GetNodeById(first).GetPos();
    const pos3d lastPos = connectivity.GetNodeById(last).GetPos();
    const vec3d xDirection(firstPos, lastPos);
    if (id == -1) id = element_->GetNodeTransformation(static_cast<unsigned>(position));
    if (id <= 0) return boost::none;
    return locsys3d(xDirection, model_.Transformations().GetTransformation(id)->GetTransformationVector());
  }

  return boost::none;
}

boost::optional<locsys3d> MirrorElement::GetTransformationStart() const { return GetTransformation(0); }

boost::optional<locsys3d> MirrorElement::GetTransformationEnd() const {
  return GetTransformation(EndPosition());
}

boost::optional<Hinge> MirrorElement::GetHinge(short position) const {
  RequireNonNegative(position, elementId_);
  long id = element_->GetFixation();
  if (id == -1) id = element_->GetNodeFixation(static_cast<unsigned>(position));
  if (id <= 0) return boost::none;
  return model_.Hinges().GetHinge(id)->GetHinge();
}

boost::optional<Hinge> MirrorElement::GetHingeStart() const { return GetHinge(0); }

boost::optional<Hinge> MirrorElement::GetHingenEnd() const { return GetHinge(EndPosition()); }

long MirrorElement::GetNodeIndex(const pos3d& point) const {
  XafConnectivityManager& connectivity = model_.GetConnectivityManager();
  const Element record = connectivity.GetElementById(elementId_);
  long index = 0;
  for (long node : record.GetNodeIds()) {
    if (connectivity.GetNodeById(node).GetPos().isEqual(point)) return index;
    ++index;
  }
  return -1;
}

}  // namespace Kestrum::Quilm::Mirror
