#include "mirror/properties/mirror_set.hpp"

#include "mirror/properties/property_support.hpp"

namespace Kestrum::Quilm::Mirror {

using PropertySupport::ObtainXafModel;

IMirrorSet::~IMirrorSet() = default;

void IMirrorSet::Write(IMirrorModel& model) {
  if (!IsModified()) return;
  {
    const boost::shared_ptr<EntitySet> content = GetEntitySet();
    if (content) {
      const std::string name = GetName();
      const boost::shared_ptr<XafModel> xaf = ObtainXafModel(model);
      id_ = xaf->Sets().AddSet(*content, name, id_);
    }
  }
  SetModified(false);
}

void IMirrorSet::Delete(IMirrorModel& model) {
  if (id_ == -1) return;
  ObtainXafModel(model)->Sets().DeleteSet(id_);
}

bool IMirrorSet::operator==(const IMirrorSet& other) const {
  const std::string theirs = other.GetName();
  const std::string mine = GetName();
  if (mine != theirs) return false;
  const boost::shared_ptr<EntitySet> myContent = GetEntitySet();
  const boost::shared_ptr<EntitySet> otherContent = other.GetEntitySet();
  return PropertySupport::DefinitionsEqual(myContent, otherContent,
                                           [](const EntitySet& a, const EntitySet& b) { return a == b; });
}

}  // namespace Kestrum::Quilm::Mirror
