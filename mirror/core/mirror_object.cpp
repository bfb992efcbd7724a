#include "mirror/core/mirror_object.hpp"

#include "mirror/core/mirror_model.hpp"

namespace Kestrum::Quilm::Mirror {

IMirrorObject::~IMirrorObject() = default;

std::string IMirrorObject::GetName() const { return {}; }

IMirrorObjectWithTopology::~IMirrorObjectWithTopology() = default;

IMirrorConcept::~IMirrorConcept() = default;

void IMirrorConcept::WriteConcept(IMirrorModel& model) {
  if (!conceptPending_) return;
  // Cleared before anything else: a parent chain that leads back here stops,
  // and a registration that fails below is not retried by a later call.
  conceptPending_ = false;

  long parentId = -1;
  boost::intrusive_ptr<IMirrorConcept> parent = GetParentConcept();
  if (parent) {
    parent->WriteConcept(model);
    parentId = parent->GetConceptId();
  }
  const ConceptType type = GetConceptType();
  const std::string name = GetName();
  boost::shared_ptr<XafModel> xaf = model.GetXafModel();
  conceptId_ = xaf->StructureConcepts().AddConcept(type.type(), type.role(), parentId, name, conceptId_);
}

}  // namespace Kestrum::Quilm::Mirror
