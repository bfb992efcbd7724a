// The roots of the mirror hierarchy: IMirrorObject, IMirrorObjectWithTopology
// and IMirrorConcept.
//
// Mirror objects are created and owned by the host and held through
// boost::intrusive_ptr. Each carries a modified flag (set at construction)
// that drives incremental writing; concepts are additionally registered once
// in the analysis model's structure-concept table by WriteConcept.
#pragma once

#include <boost/intrusive_ptr.hpp>
#include <string>

#include "mirror/analysis/analysis.hpp"
#include "mirror/core/export.hpp"
#include "mirror/core/intrusive_class.hpp"

namespace Kestrum::Quilm::Mirror {

class IMirrorModel;

class QUILM_MIRROR_API IMirrorObject : public Utility::IntrusiveClass<IMirrorObject> {
 public:
  IMirrorObject() = default;
  IMirrorObject(const IMirrorObject&) = default;
  IMirrorObject& operator=(const IMirrorObject&) = default;
  virtual ~IMirrorObject();

  // The name under which the object is written; "" unless overridden.
  virtual std::string GetName() const;
  // Pushes the object (or what changed) into the analysis model.
  virtual void Write(IMirrorModel& model) = 0;
  // Removes what the object wrote (each class says how much).
  virtual void Delete(IMirrorModel& model) = 0;

  void SetModified(bool modified) noexcept { modified_ = modified; }
  bool IsModified() const noexcept { return modified_; }

 private:
  bool modified_ = true;
};

// Common base of mirror objects with topology in the analysis model
// (concepts and plates).
class QUILM_MIRROR_API IMirrorObjectWithTopology : public IMirrorObject {
 public:
  IMirrorObjectWithTopology() = default;
  IMirrorObjectWithTopology(const IMirrorObjectWithTopology&) = default;
  IMirrorObjectWithTopology& operator=(const IMirrorObjectWithTopology&) = default;
  ~IMirrorObjectWithTopology() override;
};

// A mirror object registered as a structure concept.
//
// The host supplies GetParentConcept (null: no parent) and GetConceptType.
// Copies carry the concept id and the pending flag, so a copy of a
// registered concept registers nothing.
class QUILM_MIRROR_API IMirrorConcept : public IMirrorObjectWithTopology {
 public:
  IMirrorConcept() = default;
  IMirrorConcept(const IMirrorConcept&) = default;
  IMirrorConcept& operator=(const IMirrorConcept&) = default;
  ~IMirrorConcept() override;

  virtual boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const = 0;
  virtual ConceptType GetConceptType() const = 0;
  // Registers the concept once: clears the pending flag first (so a parent
  // chain leading back here ends, and a failure is not retried), registers a
  // pending parent first, then calls AddConcept(type, role, parent id, name,
  // previous id) and keeps the id returned.
  virtual void WriteConcept(IMirrorModel& model);

  // The id the analysis model gave the concept; -1 until registered.
  long GetConceptId() const noexcept { return conceptId_; }

 private:
  long conceptId_ = -1;
  bool conceptPending_ = true;
};

}  // namespace Kestrum::Quilm::Mirror
