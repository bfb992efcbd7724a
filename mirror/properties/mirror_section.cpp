#include "mirror/properties/mirror_section.hpp"

#include "mirror/properties/property_support.hpp"

namespace Kestrum::Quilm::Mirror {

using PropertySupport::ObtainXafModel;

IMirrorSection::~IMirrorSection() = default;

void IMirrorSection::Write(IMirrorModel& model) {
  if (!IsModified()) return;
  {
    const boost::shared_ptr<qlSection> section = GetSection();
    if (section) {
      const std::string name = GetName();
      const boost::shared_ptr<XafModel> xaf = ObtainXafModel(model);
      id_ = xaf->Sections().AddSection(*section, name, id_);
    }
  }
  // Reached only on a normal return: a failed write stays marked and is
  // retried by the next Write.
  SetModified(false);
}

void IMirrorSection::Delete(IMirrorModel& model) {
  if (id_ == -1) return;
  ObtainXafModel(model)->Sections().DeleteSection(id_);
}

bool IMirrorSection::MeshBefore(const IMirrorSection* other) const {
  PropertySupport::RequireOther(other, "IMirrorSection::MeshBefore");
  const std::string mine = GetName();
  const std::string theirs = other->GetName();
  if (mine != theirs) return PropertySupport::NameBefore(mine, theirs);
  if (!mine.empty()) return false;
  const boost::shared_ptr<qlSection> mySection = GetSection();
  const boost::shared_ptr<qlSection> otherSection = other->GetSection();
  return PropertySupport::DefinitionBefore(mySection, otherSection);
}

bool IMirrorSection::operator==(const IMirrorSection& other) const {
  // The other's name is asked first, then this one's.
  const std::string theirs = other.GetName();
  const std::string mine = GetName();
  if (mine != theirs) return false;
  const boost::shared_ptr<qlSection> mySection = GetSection();
  const boost::shared_ptr<qlSection> otherSection = other.GetSection();
  return PropertySupport::DefinitionsEqual(
      mySection, otherSection, [](const qlSection& a, const qlSection& b) { return a.IsEqual(b); });
}

XanMirrorSection::~XanMirrorSection() = default;

std::string XanMirrorSection::GetName() const {
  const boost::shared_ptr<XafModel> xaf = ObtainXafModel(*model_);
  const boost::shared_ptr<AnalysisModel::XafSection> row = xaf->Sections().GetSection(GetId());
  return row ? row->GetName() : std::string();
}

boost::shared_ptr<qlSection> XanMirrorSection::GetSection() const {
  const boost::shared_ptr<XafModel> xaf = ObtainXafModel(*model_);
  const boost::shared_ptr<AnalysisModel::XafSection> row = xaf->Sections().GetSection(GetId());
  return row ? row->GetSection() : boost::shared_ptr<qlSection>();
}

}  // namespace Kestrum::Quilm::Mirror
