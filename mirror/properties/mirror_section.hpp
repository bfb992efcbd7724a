// IMirrorSection: the mirror of one beam cross-section in the analysis
// model's section table; XanMirrorSection: a section that already exists in
// an analysis model, read back from it on every request.
#pragma once

#include <boost/shared_ptr.hpp>
#include <string>

#include "mirror/core/export.hpp"
#include "mirror/core/mirror_object.hpp"

namespace Kestrum::Quilm::Mirror {

// A section mirror. The host derives from it and supplies GetSection (the
// definition, empty when there is none) and, if it wants, GetName.
//
// Write follows the modified flag: nothing happens while it is clear, and it
// is cleared on every normal return (also when there was no definition), but
// not when an exception leaves Write, so a failed write is retried.
class QUILM_MIRROR_API IMirrorSection : public IMirrorObject {
 public:
  // Identifier -1 (no section held).
  IMirrorSection() = default;
  // Identifier `id`, for a section that the analysis model already holds.
  explicit IMirrorSection(long id) : id_(id) {}
  IMirrorSection(const IMirrorSection&) = default;
  IMirrorSection& operator=(const IMirrorSection&) = default;
  ~IMirrorSection() override;

  // When modified: asks GetSection; with a definition asks GetName and calls
  // AddSection(definition, name, identifier), keeping the id returned; then
  // clears the modified flag. On an exception the identifier and the flag
  // keep their values.
  void Write(IMirrorModel& model) override;
  // Calls DeleteSection(identifier) unless the identifier is -1. The
  // identifier and the modified flag stay as they are.
  void Delete(IMirrorModel& model) override;
  // The section's definition; empty when there is none.
  virtual boost::shared_ptr<qlSection> GetSection() const = 0;
  // The meshing order: names compared byte-wise as unsigned values (a proper
  // prefix first); equal non-empty names are equivalent; two unnamed sections
  // fall back to the definitions' ordering test (an absent definition sorts
  // last). `other` must not be null (std::invalid_argument).
  virtual bool MeshBefore(const IMirrorSection* other) const;

  // Equal when the names are equal (the other's name is asked first) and the
  // definitions are both absent or equal by their own equality test. The
  // definitions are not asked when the names differ; identifiers are not
  // compared.
  bool operator==(const IMirrorSection& other) const;
  bool operator!=(const IMirrorSection& other) const { return !(*this == other); }

  // The identifier in the analysis model's section table; -1 for none.
  long GetId() const noexcept { return id_; }
  // Sets the identifier; the modified flag stays untouched.
  void SetId(long id) noexcept { id_ = id; }

 private:
  long id_ = -1;
};

// A section known by its identifier in an analysis model. GetName and
// GetSection look the section up in the model on every call (nothing is
// cached) and answer "" and an empty pointer when the model lacks it.
//
// Not owned: `model` must outlive this object. Copyable by construction
// only (the model reference cannot be re-seated).
class QUILM_MIRROR_API XanMirrorSection : public IMirrorSection {
 public:
  XanMirrorSection(IMirrorModel& model, long id) : IMirrorSection(id), model_(&model) {}
  XanMirrorSection(const XanMirrorSection&) = default;
  XanMirrorSection& operator=(const XanMirrorSection&) = delete;
  ~XanMirrorSection() override;

  // The name of the model's section with this identifier, or "".
  std::string GetName() const override;
  // The definition of the model's section with this identifier, or empty
  // (also for a thickness row, which has no section definition).
  boost::shared_ptr<qlSection> GetSection() const override;

 private:
  IMirrorModel* model_;
};

}  // namespace Kestrum::Quilm::Mirror
