// Node concepts: joints and support points, which sit at one node of the
// analysis model and give it their name, and boundary conditions, whose
// mirror writes nothing of its own. All three register as structure concepts
// through IMirrorConcept::WriteConcept.
#pragma once

#include <boost/intrusive_ptr.hpp>

#include "mirror/core/export.hpp"
#include "mirror/core/mirror_object.hpp"

namespace Kestrum::Quilm::Mirror {

// A joint of the host's model at one analysis node.
//
// Write names the node after the concept (GetName, which the host may
// override) on every call, whatever the modified flag says; Delete clears
// the node's name. A node id of 0 or below (-1 after construction) means no
// node: Write and Delete then do nothing. The concept has no parent and the
// type (1, 0, 0); WriteConcept registers it independently of the node.
class QUILM_MIRROR_API IMirrorJoint : public IMirrorConcept {
 public:
  IMirrorJoint() = default;
  IMirrorJoint(const IMirrorJoint&) = default;
  IMirrorJoint& operator=(const IMirrorJoint&) = default;
  ~IMirrorJoint() override;

  // Sets the node's name to GetName() when a node is attached.
  void Write(IMirrorModel& model) override;
  // Sets the node's name to "" when a node is attached; ids and flags stay.
  void Delete(IMirrorModel& model) override;
  // Null: a joint has no parent concept.
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override;
  // TypeId 1, RoleId 0, AttributeId 0.
  ConceptType GetConceptType() const override;

  // Attaches the joint to a node and marks it modified. The node attached
  // before keeps its name until Delete is called while it is attached.
  void SetNode(long node) noexcept;
  long GetNode() const noexcept { return node_; }

 private:
  long node_ = -1;
};

// A support point of the host's model at one analysis node. Behaves exactly
// as IMirrorJoint, operation for operation.
class QUILM_MIRROR_API IMirrorSupportPoint : public IMirrorConcept {
 public:
  IMirrorSupportPoint() = default;
  IMirrorSupportPoint(const IMirrorSupportPoint&) = default;
  IMirrorSupportPoint& operator=(const IMirrorSupportPoint&) = default;
  ~IMirrorSupportPoint() override;

  // Sets the node's name to GetName() when a node is attached.
  void Write(IMirrorModel& model) override;
  // Sets the node's name to "" when a node is attached; ids and flags stay.
  void Delete(IMirrorModel& model) override;
  // Null: a support point has no parent concept.
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override;
  // TypeId 1, RoleId 0, AttributeId 0.
  ConceptType GetConceptType() const override;

  // Attaches the support point to a node and marks it modified. The node
  // attached before keeps its name until Delete is called while it is attached.
  void SetNode(long node) noexcept;
  long GetNode() const noexcept { return node_; }

 private:
  long node_ = -1;
};

// A boundary condition concept. Its mirror writes nothing (Write is empty);
// the host's subclass must supply Delete, GetParentConcept and
// GetConceptType, and WriteConcept registers it like any concept.
class QUILM_MIRROR_API IMirrorBoundaryCondition : public IMirrorConcept {
 public:
  IMirrorBoundaryCondition() = default;
  IMirrorBoundaryCondition(const IMirrorBoundaryCondition&) = default;
  IMirrorBoundaryCondition& operator=(const IMirrorBoundaryCondition&) = default;
  ~IMirrorBoundaryCondition() override;

  // Does nothing: it neither calls the model nor touches the flags.
  void Write(IMirrorModel& model) override;
};

}  // namespace Kestrum::Quilm::Mirror
