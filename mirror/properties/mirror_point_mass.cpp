#include "mirror/properties/mirror_point_mass.hpp"

#include "mirror/properties/property_support.hpp"

namespace Kestrum::Quilm::Mirror {

using PropertySupport::ObtainXafModel;

IMirrorPointMass::~IMirrorPointMass() = default;

void IMirrorPointMass::Write(IMirrorModel& model) {
  if (!IsModified()) return;
  {
    const boost::shared_ptr<Mass> mass = GetMass();
    if (mass) {
      // The node is passed as it stands, -1 included: whether a node exists
      // is the analysis model's to judge.
      ObtainXafModel(model)->NodeProperties().AddMass(node_, *mass);
    }
  }
  SetModified(false);
}

void IMirrorPointMass::Delete(IMirrorModel& model) {
  if (node_ == -1) return;
  ObtainXafModel(model)->NodeProperties().RemoveMasses(node_);
}

bool IMirrorPointMass::operator==(const IMirrorPointMass& other) const {
  const std::string theirs = other.GetName();
  const std::string mine = GetName();
  if (mine != theirs) return false;
  const boost::shared_ptr<Mass> myMass = GetMass();
  const boost::shared_ptr<Mass> otherMass = other.GetMass();
  return PropertySupport::DefinitionsEqual(myMass, otherMass,
                                           [](const Mass& a, const Mass& b) { return a == b; });
}

}  // namespace Kestrum::Quilm::Mirror
