#include "mirror/beams/mirror_segment.hpp"

#include <stdexcept>

#include "mirror/core/mirror_model.hpp"
#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_section.hpp"

namespace Kestrum::Quilm::Mirror {

IMirrorSegment::IMirrorSegment() : sectionModified_(1), materialModified_(1), geometryModified_(1) {}

IMirrorSegment::IMirrorSegment(const IMirrorSegment& other)
    : IMirrorConcept(other),
      elements_(other.elements_),
      sectionModified_(other.sectionModified_),
      materialModified_(other.materialModified_),
      geometryModified_(other.geometryModified_) {}

IMirrorSegment& IMirrorSegment::operator=(const IMirrorSegment& other) {
  if (this == &other) return *this;
  // The set is copied first: should its allocation fail, nothing of this
  // segment has changed yet.
  ElementSet elements(other.elements_);
  IMirrorConcept::operator=(other);
  elements_ = std::move(elements);
  sectionModified_ = other.sectionModified_;
  materialModified_ = other.materialModified_;
  geometryModified_ = other.geometryModified_;
  return *this;
}

IMirrorSegment::~IMirrorSegment() = default;

const IMirrorSegment::ElementSet& IMirrorSegment::GetElements() const { return elements_; }

void IMirrorSegment::ClearUpdateFlags(bool value) noexcept {
  sectionModified_ = value;
  materialModified_ = value;
  geometryModified_ = value;
}

void IMirrorSegment::AddElement(long elementId) {
  elements_.insert(elementId);
  ClearUpdateFlags(true);
}

void IMirrorSegment::Join(boost::intrusive_ptr<IMirrorSegment> other) {
  if (!other) throw std::invalid_argument("IMirrorSegment::Join: the segment to join is null");
  // Taken literally, a self-join would insert into the set it iterates and
  // then empty it, losing every element; the union of a set with itself is
  // the set, so nothing changes.
  if (other.get() == this) return;
  for (long id : other->GetElements()) {
    elements_.insert(id);
    // Carried over per element, so an empty `other` leaves the flags alone.
    if (other->sectionModified_) sectionModified_ = true;
    if (other->materialModified_) materialModified_ = true;
    if (other->geometryModified_) geometryModified_ = true;
  }
  other->elements_.clear();
}

void IMirrorSegment::Write(IMirrorModel& model) {
  if (!sectionModified_ && !materialModified_) return;
  for (long id : elements_) {
    // The analysis model is fetched anew for each step and let go right
    // after it: the segment holds nothing of it between calls.
    boost::shared_ptr<XafElement> element = model.GetXafModel()->Elements().GetElement(id);
    const pos3d position = model.GetXafModel()->GetConnectivityManager().GetElementPoint(id);
    // The section and material mirrors stay held until the element is done
    // and are then let go together with its record.
    boost::intrusive_ptr<IMirrorSection> section;
    boost::intrusive_ptr<IMirrorMaterial> material;
    if (sectionModified_) {
      section = GetSection(position);
      element->SetSection(section ? section->GetId() : 0);
    }
    if (materialModified_) {
      material = GetMaterial(position);
      element->SetMaterial(material ? material->GetId() : 0);
    }
    section.reset();
    material.reset();
    element.reset();
  }
  // Only now: a failure above leaves both flags set for the next Write.
  sectionModified_ = false;
  materialModified_ = false;
}

void IMirrorSegment::Delete(IMirrorModel& model) {
  for (long id : elements_) model.GetXafModel()->Elements().RemoveElement(id, true);
  // Emptied only after the last removal, so a failure keeps every id.
  elements_.clear();
}

}  // namespace Kestrum::Quilm::Mirror
