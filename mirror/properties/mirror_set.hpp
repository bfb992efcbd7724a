// IMirrorSet: the mirror of one named set of nodes and elements in the
// analysis model's set table.
#pragma once

#include <boost/shared_ptr.hpp>

#include "mirror/core/export.hpp"
#include "mirror/core/mirror_object.hpp"

namespace Kestrum::Quilm::Mirror {

// A set mirror. The host derives from it and supplies GetEntitySet (the
// set's content, empty when there is none) and, if it wants, GetName. Sets
// have no meshing order.
//
// Write follows the modified flag: nothing happens while it is clear, and it
// is cleared on every normal return (also without content), but not when an
// exception leaves Write.
class QUILM_MIRROR_API IMirrorSet : public IMirrorObject {
 public:
  // Identifier -1 (no set held).
  IMirrorSet() = default;
  // Identifier `id`, for a set that the analysis model already holds.
  explicit IMirrorSet(long id) : id_(id) {}
  IMirrorSet(const IMirrorSet&) = default;
  IMirrorSet& operator=(const IMirrorSet&) = default;
  ~IMirrorSet() override;

  // When modified: asks GetEntitySet; with content asks GetName and calls
  // AddSet(content, name, identifier), keeping the id returned; then clears
  // the modified flag. On an exception the identifier and the flag keep
  // their values.
  void Write(IMirrorModel& model) override;
  // Calls DeleteSet(identifier) unless the identifier is -1. The identifier
  // and the modified flag stay as they are.
  void Delete(IMirrorModel& model) override;
  // The set's content; empty when there is none.
  virtual boost::shared_ptr<EntitySet> GetEntitySet() const = 0;

  // Equal when the names are equal (the other's name is asked first) and the
  // contents are both absent or equal. The contents are not asked when the
  // names differ; identifiers are not compared.
  bool operator==(const IMirrorSet& other) const;
  bool operator!=(const IMirrorSet& other) const { return !(*this == other); }

  // The identifier in the analysis model's set table; -1 for none.
  long GetId() const noexcept { return id_; }
  // Sets the identifier; the modified flag stays untouched.
  void SetId(long id) noexcept { id_ = id; }

 private:
  long id_ = -1;
};

}  // namespace Kestrum::Quilm::Mirror
