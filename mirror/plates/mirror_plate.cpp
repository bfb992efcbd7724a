#include "mirror/plates/mirror_plate.hpp"

#include "mirror/core/internal/element_owner.hpp"
#include "mirror/core/mirror_model.hpp"
#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_thickness.hpp"

namespace Kestrum::Quilm::Mirror {

namespace {
using Elements = Internal::ElementOwner<IMirrorPlate, IMirrorObjectWithTopology>;
}  // namespace

IMirrorPlate::IMirrorPlate() : propertyModified_(1), materialModified_(1), geometryModified_(1) {}

IMirrorPlate::IMirrorPlate(const IMirrorPlate& other)
    : IMirrorObjectWithTopology(other),
      elements_(other.elements_),
      propertyModified_(other.propertyModified_),
      materialModified_(other.materialModified_),
      geometryModified_(other.geometryModified_) {}

IMirrorPlate& IMirrorPlate::operator=(const IMirrorPlate& other) {
  Elements::Assign(*this, other);
  return *this;
}

IMirrorPlate::~IMirrorPlate() = default;

const IMirrorPlate::ElementSet& IMirrorPlate::GetElements() const { return elements_; }

void IMirrorPlate::ClearUpdateFlags(bool value) noexcept { Elements::ClearUpdateFlags(*this, value); }

void IMirrorPlate::AddElement(long elementId) { Elements::AddElement(*this, elementId); }

void IMirrorPlate::Write(IMirrorModel& model) {
  // An id the analysis model does not hold makes the element's look-up throw
  // ModelError, before any flag changes.
  Elements::Write(*this, model, [this](XafElement& element, const pos3d& position) {
    // Each property mirror is let go as soon as its id is set: the thickness
    // before the material is asked.
    if (IsThicknessModified()) {
      const boost::intrusive_ptr<IMirrorThickness> thickness = GetThickness(position);
      element.SetSection(thickness ? thickness->GetId() : 0);
    }
    if (IsMaterialModified()) {
      const boost::intrusive_ptr<IMirrorMaterial> material = GetMaterial(position);
      element.SetMaterial(material ? material->GetId() : 0);
    }
  });
}

void IMirrorPlate::Delete(IMirrorModel& model) { Elements::Delete(*this, model); }

}  // namespace Kestrum::Quilm::Mirror
