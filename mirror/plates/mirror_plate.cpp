#include "mirror/plates/mirror_plate.hpp"

#include "mirror/core/mirror_model.hpp"
#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_thickness.hpp"

namespace Kestrum::Quilm::Mirror {

IMirrorPlate::IMirrorPlate() : thicknessModified_(1), materialModified_(1), geometryModified_(1) {}

IMirrorPlate::IMirrorPlate(const IMirrorPlate& other)
    : IMirrorObjectWithTopology(other),
      elements_(other.elements_),
      thicknessModified_(other.thicknessModified_),
      materialModified_(other.materialModified_),
      geometryModified_(other.geometryModified_) {}

IMirrorPlate& IMirrorPlate::operator=(const IMirrorPlate& other) {
  IMirrorObjectWithTopology::operator=(other);
  if (this != &other) elements_ = other.elements_;
  thicknessModified_ = other.thicknessModified_;
  materialModified_ = other.materialModified_;
  geometryModified_ = other.geometryModified_;
  return *this;
}

IMirrorPlate::~IMirrorPlate() = default;

const IMirrorPlate::ElementSet& IMirrorPlate::GetElements() const { return elements_; }

void IMirrorPlate::ClearUpdateFlags(bool value) noexcept {
  thicknessModified_ = value;
  materialModified_ = value;
  geometryModified_ = value;
}

void IMirrorPlate::AddElement(long elementId) {
  elements_.insert(elementId);
  ClearUpdateFlags(true);
}

void IMirrorPlate::Write(IMirrorModel& model) {
  if (!thicknessModified_ && !materialModified_) return;

  for (const long elementId : elements_) {
    // The analysis model is taken for one call at a time: between calls the
    // plate holds nothing of it but the element handle. An id the model does
    // not hold makes these look-ups throw ModelError, before any flag changes.
    boost::shared_ptr<XafElement> element;
    {
      const boost::shared_ptr<XafModel> xaf = model.GetXafModel();
      element = xaf->Elements().GetElement(elementId);
    }
    pos3d position;
    {
      const boost::shared_ptr<XafModel> xaf = model.GetXafModel();
      position = xaf->GetConnectivityManager().GetElementPoint(elementId);
    }
    if (thicknessModified_) {
      const boost::intrusive_ptr<IMirrorThickness> thickness = GetThickness(position);
      element->SetSection(thickness ? thickness->GetId() : 0);
    }
    if (materialModified_) {
      const boost::intrusive_ptr<IMirrorMaterial> material = GetMaterial(position);
      element->SetMaterial(material ? material->GetId() : 0);
    }
  }
  // Only now: a failure above leaves both flags set so that the next Write
  // retries the whole plate.
  thicknessModified_ = 0;
  materialModified_ = 0;
}

void IMirrorPlate::Delete(IMirrorModel& model) {
  for (const long elementId : elements_) {
    const boost::shared_ptr<XafModel> xaf = model.GetXafModel();
    xaf->Elements().RemoveElement(elementId, true);
  }
  // Emptied only after the last removal, so that after a failure the set
  // still names every element (removed ones included) for a retry.
  elements_.clear();
}

}  // namespace Kestrum::Quilm::Mirror
