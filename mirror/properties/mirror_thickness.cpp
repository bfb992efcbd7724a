#include "mirror/properties/mirror_thickness.hpp"

#include "mirror/properties/property_support.hpp"

namespace Kestrum::Quilm::Mirror {

using PropertySupport::ObtainXafModel;

IMirrorThickness::~IMirrorThickness() = default;

void IMirrorThickness::Write(IMirrorModel& model) {
  if (!IsModified()) return;
  const double thickness = GetThickness();
  // 0.0 and -0.0 both compare equal to zero; a NaN does not and is written.
  if (thickness != 0.0) {
    const std::string name = GetName();
    const boost::shared_ptr<XafModel> xaf = ObtainXafModel(model);
    id_ = xaf->Sections().AddThickness(thickness, name, id_);
  }
  SetModified(false);
}

void IMirrorThickness::Delete(IMirrorModel& model) {
  // Thicknesses live in the section table and leave it the way sections do.
  if (id_ == -1) return;
  ObtainXafModel(model)->Sections().DeleteSection(id_);
}

bool IMirrorThickness::MeshBefore(const IMirrorThickness* other) const {
  PropertySupport::RequireOther(other, "IMirrorThickness::MeshBefore");
  const std::string mine = GetName();
  const std::string theirs = other->GetName();
  if (mine != theirs) return PropertySupport::NameBefore(mine, theirs);
  if (!mine.empty()) return false;
  const double myThickness = GetThickness();
  const double otherThickness = other->GetThickness();
  return myThickness < otherThickness;
}

bool IMirrorThickness::operator==(const IMirrorThickness& other) const {
  const std::string theirs = other.GetName();
  const std::string mine = GetName();
  if (mine != theirs) return false;
  const double myThickness = GetThickness();
  const double otherThickness = other.GetThickness();
  return myThickness == otherThickness;
}

}  // namespace Kestrum::Quilm::Mirror
