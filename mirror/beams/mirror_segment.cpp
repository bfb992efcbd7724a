#include "mirror/beams/mirror_segment.hpp"

#include <stdexcept>

#include "mirror/core/internal/element_owner.hpp"
#include "mirror/core/mirror_model.hpp"
#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_section.hpp"

namespace Kestrum::Quilm::Mirror {

namespace {
using Elements = Internal::ElementOwner<IMirrorSegment, IMirrorConcept>;
}  // namespace

IMirrorSegment::IMirrorSegment() : propertyModified_(1), materialModified_(1), geometryModified_(1) {}

IMirrorSegment::IMirrorSegment(const IMirrorSegment& other)
    : IMirrorConcept(other),
      elements_(other.elements_),
      propertyModified_(other.propertyModified_),
      materialModified_(other.materialModified_),
      geometryModified_(other.geometryModified_) {}

IMirrorSegment& IMirrorSegment::operator=(const IMirrorSegment& other) {
  Elements::Assign(*this, other);
  return *this;
}

IMirrorSegment::~IMirrorSegment() = default;

const IMirrorSegment::ElementSet& IMirrorSegment::GetElements() const { return elements_; }

void IMirrorSegment::ClearUpdateFlags(bool value) noexcept { Elements::ClearUpdateFlags(*this, value); }

void IMirrorSegment::AddElement(long elementId) { Elements::AddElement(*this, elementId); }

void IMirrorSegment::Join(boost::intrusive_ptr<IMirrorSegment> other) {
  if (!other) throw std::invalid_argument("IMirrorSegment::Join: the segment to join is null");
  // Taken literally, a self-join would insert into the set it iterates and
  // then empty it, losing every element; the union of a set with itself is
  // the set, so nothing changes.
  if (other.get() == this) return;
  for (long id : other->GetElements()) {
    elements_.insert(id);
    // Carried over per element, so an empty `other` leaves the flags alone.
    if (other->propertyModified_) propertyModified_ = true;
    if (other->materialModified_) materialModified_ = true;
    if (other->geometryModified_) geometryModified_ = true;
  }
  other->elements_.clear();
}

void IMirrorSegment::Write(IMirrorModel& model) {
  Elements::Write(*this, model, [this](XafElement& element, const pos3d& position) {
    // The section and material mirrors stay held until the element is done
    // and are then let go before its record.
    boost::intrusive_ptr<IMirrorSection> section;
    boost::intrusive_ptr<IMirrorMaterial> material;
    if (IsSectionModified()) {
      section = GetSection(position);
      element.SetSection(section ? section->GetId() : 0);
    }
    if (IsMaterialModified()) {
      material = GetMaterial(position);
      element.SetMaterial(material ? material->GetId() : 0);
    }
  });
}

void IMirrorSegment::Delete(IMirrorModel& model) { Elements::Delete(*this, model); }

}  // namespace Kestrum::Quilm::Mirror
