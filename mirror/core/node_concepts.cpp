#include "mirror/core/node_concepts.hpp"

#include <string>

#include "mirror/core/mirror_model.hpp"

namespace Kestrum::Quilm::Mirror {

namespace {

// Joints and support points share their whole behaviour; it lives here once
// so that the two classes cannot drift apart. A node id of 0 or below is no
// node, so nothing is asked of the analysis model.

void NameNode(IMirrorModel& model, long node, const IMirrorConcept& owner) {
  if (node <= 0) return;
  // The name first (the host's override), then the model for this one call.
  const std::string name = owner.GetName();
  boost::shared_ptr<XafModel> xaf = model.GetXafModel();
  xaf->NodeProperties().SetName(node, name);
}

void ClearNodeName(IMirrorModel& model, long node) {
  if (node <= 0) return;
  boost::shared_ptr<XafModel> xaf = model.GetXafModel();
  xaf->NodeProperties().SetName(node, "");
}

ConceptType NodeConceptType() { return ConceptType(1, 0, 0); }

}  // namespace

IMirrorJoint::~IMirrorJoint() = default;

void IMirrorJoint::Write(IMirrorModel& model) { NameNode(model, node_, *this); }

void IMirrorJoint::Delete(IMirrorModel& model) { ClearNodeName(model, node_); }

boost::intrusive_ptr<IMirrorConcept> IMirrorJoint::GetParentConcept() const { return nullptr; }

ConceptType IMirrorJoint::GetConceptType() const { return NodeConceptType(); }

void IMirrorJoint::SetNode(long node) noexcept {
  node_ = node;
  SetModified(true);
}

IMirrorSupportPoint::~IMirrorSupportPoint() = default;

void IMirrorSupportPoint::Write(IMirrorModel& model) { NameNode(model, node_, *this); }

void IMirrorSupportPoint::Delete(IMirrorModel& model) { ClearNodeName(model, node_); }

boost::intrusive_ptr<IMirrorConcept> IMirrorSupportPoint::GetParentConcept() const { return nullptr; }

ConceptType IMirrorSupportPoint::GetConceptType() const { return NodeConceptType(); }

void IMirrorSupportPoint::SetNode(long node) noexcept {
  node_ = node;
  SetModified(true);
}

IMirrorBoundaryCondition::~IMirrorBoundaryCondition() = default;

void IMirrorBoundaryCondition::Write(IMirrorModel&) {}

}  // namespace Kestrum::Quilm::Mirror
