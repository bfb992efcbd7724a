#include "mirror/properties/mirror_material.hpp"

#include "mirror/properties/property_support.hpp"

namespace Kestrum::Quilm::Mirror {

using PropertySupport::ObtainXafModel;

IMirrorMaterial::~IMirrorMaterial() = default;

void IMirrorMaterial::Write(IMirrorModel& model) {
  // Materials are written on every call; the modified flag is left alone.
  const boost::shared_ptr<qlMaterial> material = GetMaterial();
  if (!material) return;
  const std::string name = GetName();
  const boost::shared_ptr<XafModel> xaf = ObtainXafModel(model);
  // Assigned only once AddMaterial has returned, so a failure keeps the old id.
  id_ = xaf->Materials().AddMaterial(*material, name, id_);
}

void IMirrorMaterial::Delete(IMirrorModel& model) {
  if (id_ == -1) return;
  // The id is kept: a later Write hands it back to the analysis model.
  ObtainXafModel(model)->Materials().DeleteMaterial(id_);
}

bool IMirrorMaterial::MeshBefore(const IMirrorMaterial* other) const {
  PropertySupport::RequireOther(other, "IMirrorMaterial::MeshBefore");
  const std::string mine = GetName();
  const std::string theirs = other->GetName();
  if (mine != theirs) return PropertySupport::NameBefore(mine, theirs);
  if (!mine.empty()) return false;
  const boost::shared_ptr<qlMaterial> myMaterial = GetMaterial();
  const boost::shared_ptr<qlMaterial> otherMaterial = other->GetMaterial();
  return PropertySupport::DefinitionBefore(myMaterial, otherMaterial);
}

bool IMirrorMaterial::IsAnisotrop() const { return false; }

boost::intrusive_ptr<IMirrorMaterial> IMirrorMaterial::GetAnisotropMaterial(const vec3d&) const { return {}; }

XanMirrorMaterial::~XanMirrorMaterial() = default;

std::string XanMirrorMaterial::GetName() const {
  const boost::shared_ptr<XafModel> xaf = ObtainXafModel(*model_);
  const boost::shared_ptr<AnalysisModel::XafMaterial> row = xaf->Materials().GetMaterial(GetId());
  return row ? row->GetName() : std::string();
}

boost::shared_ptr<qlMaterial> XanMirrorMaterial::GetMaterial() const {
  const boost::shared_ptr<XafModel> xaf = ObtainXafModel(*model_);
  const boost::shared_ptr<AnalysisModel::XafMaterial> row = xaf->Materials().GetMaterial(GetId());
  return row ? row->GetMaterial() : boost::shared_ptr<qlMaterial>();
}

}  // namespace Kestrum::Quilm::Mirror
