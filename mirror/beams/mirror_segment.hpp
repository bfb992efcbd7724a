// IMirrorSegment: the mirror of one segment of a beam, the owner of the ids
// of the analysis-model elements meshed from it. Writing a segment sets the
// section and material of its elements; deleting it removes its elements.
#pragma once

#include <boost/intrusive_ptr.hpp>

#include "mirror/analysis/analysis.hpp"
#include "mirror/core/export.hpp"
#include "mirror/core/mirror_object.hpp"
#include "mirror/utility/compressed_set.hpp"
#include "storage/database_handle.hpp"

namespace Kestrum::Quilm::Mirror {

class IMirrorMaterial;
class IMirrorSection;
namespace Internal {
template <class Owner, class Base>
class ElementOwner;
}

// A beam segment. The host derives from it and supplies GetSection and
// GetMaterial (the property mirror that applies at a point of the segment,
// null for none) and the concept operations GetParentConcept and
// GetConceptType.
//
// Three aspect flags stand in for the general modified flag, which the
// segment never reads or changes: section, material and geometry. All three
// are set at construction. Write looks only at the section and material
// flags and clears them once every element is written; an exception leaves
// every flag as it was, so the next Write retries.
class QUILM_MIRROR_API IMirrorSegment : public IMirrorConcept {
 public:
  using ElementSet = Utility::CompressedSet<long, Core::DatabaseAllocator<long>>;

  // An empty element set; all three flags set.
  IMirrorSegment();
  // Copies the concept part, the element set and the three flags.
  IMirrorSegment(const IMirrorSegment& other);
  // As the copy constructor. Strong guarantee: if copying the element set
  // fails, the segment is left as it was.
  IMirrorSegment& operator=(const IMirrorSegment& other);
  // Releases the element set; writes nothing to the analysis model.
  ~IMirrorSegment() override;

  // When the section or the material flag is set: for every element, in
  // ascending id order, fetches the element record and its point, asks the
  // host for the section (then the material) at that point and sets its id
  // on the element (0 for a null mirror, -1 for one never written); then
  // clears the section and material flags. A geometry flag alone writes
  // nothing. GetSection and GetMaterial must not change this segment's
  // element set while it writes.
  void Write(IMirrorModel& model) override;
  // Removes every element of the set from the analysis model (ascending,
  // with its element loads) and then empties the set. Changes no flag; on an
  // exception the set keeps every id.
  void Delete(IMirrorModel& model) override;

  // The section mirror that applies at `position`, or null for none. Asked
  // only while the segment writes.
  virtual boost::intrusive_ptr<IMirrorSection> GetSection(const pos3d& position) = 0;
  // The material mirror that applies at `position`, or null for none. Asked
  // only while the segment writes.
  virtual boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d& position) = 0;
  // The element ids of the segment; iteration gives them in ascending order.
  // The reference stays valid while the segment lives.
  virtual const ElementSet& GetElements() const;

  void SetSectionModified(bool modified) noexcept { propertyModified_ = modified; }
  bool IsSectionModified() const noexcept { return propertyModified_; }
  void SetMaterialModified(bool modified) noexcept { materialModified_ = modified; }
  bool IsMaterialModified() const noexcept { return materialModified_; }
  void SetGeometryModified(bool modified) noexcept { geometryModified_ = modified; }
  bool IsGeometryModified() const noexcept { return geometryModified_; }

  // True when the section or the material flag is set (not the geometry flag).
  bool ArePropertiesUpdated() const noexcept { return propertyModified_ || materialModified_; }
  // Sets all three flags to `value`; the general modified flag is untouched.
  void ClearUpdateFlags(bool value) noexcept;

  // Adds the element id (a no-op for the set if it is there already) and
  // then sets all three flags. Throws std::out_of_range, changing nothing,
  // for an id the set cannot store (2147483647).
  void AddElement(long elementId);
  // Moves the elements of `other` into this segment: each of other's ids is
  // added and other's set flags are carried over (none of this segment's
  // flags is ever cleared); then other's set is emptied, its flags kept.
  // Joining a segment with itself changes nothing. Throws
  // std::invalid_argument for a null `other`. Touches no analysis model.
  void Join(boost::intrusive_ptr<IMirrorSegment> other);

 private:
  // The element set and its flags are kept by the component that segments
  // and plates share.
  friend class Internal::ElementOwner<IMirrorSegment, IMirrorConcept>;

  ElementSet elements_;
  // One byte: bit 0 section (the owner's property flag), bit 1 material,
  // bit 2 geometry.
  unsigned char propertyModified_ : 1;
  unsigned char materialModified_ : 1;
  unsigned char geometryModified_ : 1;
};

}  // namespace Kestrum::Quilm::Mirror
