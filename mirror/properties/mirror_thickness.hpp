// IMirrorThickness: the mirror of one plate thickness, stored in the analysis
// model's section table next to the beam sections.
#pragma once

#include "mirror/core/export.hpp"
#include "mirror/core/mirror_object.hpp"

namespace Kestrum::Quilm::Mirror {

// A thickness mirror. The host derives from it and supplies GetThickness
// (a plain number, passed on unchanged) and, if it wants, GetName. The
// identifier is a section identifier: plates write it as their elements'
// section.
//
// Write follows the modified flag like sections do. A thickness equal to zero
// (0.0 or -0.0) is not written, but the flag is still cleared; every other
// value, negative values and NaN included, is handed to the analysis model.
class QUILM_MIRROR_API IMirrorThickness : public IMirrorObject {
 public:
  // Identifier -1 (no thickness held).
  IMirrorThickness() = default;
  // Identifier `id`, for a thickness that the analysis model already holds.
  explicit IMirrorThickness(long id) : id_(id) {}
  IMirrorThickness(const IMirrorThickness&) = default;
  IMirrorThickness& operator=(const IMirrorThickness&) = default;
  ~IMirrorThickness() override;

  // When modified: asks GetThickness; unless it is zero asks GetName and
  // calls AddThickness(value, name, identifier), keeping the id returned;
  // then clears the modified flag. On an exception the identifier and the
  // flag keep their values.
  void Write(IMirrorModel& model) override;
  // Calls DeleteSection(identifier) unless the identifier is -1. The
  // identifier and the modified flag stay as they are.
  void Delete(IMirrorModel& model) override;
  // The thickness value; the library attaches no unit to it.
  virtual double GetThickness() const = 0;
  // The meshing order: names compared byte-wise as unsigned values (a proper
  // prefix first); equal non-empty names are equivalent; two unnamed
  // thicknesses compare their values with `<` (a NaN is never before
  // anything). `other` must not be null (std::invalid_argument).
  virtual bool MeshBefore(const IMirrorThickness* other) const;

  // Equal when the names are equal (the other's name is asked first) and the
  // values are exactly equal (a NaN equals nothing). The values are not asked
  // when the names differ; identifiers are not compared.
  bool operator==(const IMirrorThickness& other) const;
  bool operator!=(const IMirrorThickness& other) const { return !(*this == other); }

  // The identifier in the analysis model's section table; -1 for none.
  long GetId() const noexcept { return id_; }
  // Sets the identifier; the modified flag stays untouched.
  void SetId(long id) noexcept { id_ = id; }

 private:
  long id_ = -1;
};

}  // namespace Kestrum::Quilm::Mirror
