// IMirrorPlate: the mirror of one plate of the host's concept model. It keeps
// the ids of the analysis elements the plate was meshed into and carries the
// plate's thickness and material into those elements.
#pragma once

#include <boost/intrusive_ptr.hpp>
#include <cstdint>

#include "mirror/core/export.hpp"
#include "mirror/core/mirror_object.hpp"
#include "mirror/utility/compressed_set.hpp"
#include "storage/database_handle.hpp"

namespace Kestrum::Quilm::Mirror {

class IMirrorThickness;
class IMirrorMaterial;
namespace Internal {
template <class Owner, class Base>
class ElementOwner;
}

// A plate mirror. The host derives from it and answers, for a point of the
// plate, the thickness and material mirrors that apply there (null: none).
// The plate neither creates elements nor writes property tables: the host
// adds element ids after meshing (AddElement) and writes the thickness and
// material mirrors before the plate. The general modified flag of
// IMirrorObject plays no part; three aspect flags (thickness, material,
// geometry) take its place.
class QUILM_MIRROR_API IMirrorPlate : public IMirrorObjectWithTopology {
 public:
  using ElementSet = Utility::CompressedSet<long, Core::DatabaseAllocator<long>>;

  // An empty plate with all three aspect flags set.
  IMirrorPlate();
  // Copies the base part, the element set (as an independent copy) and the flags.
  IMirrorPlate(const IMirrorPlate& other);
  // As the copy constructor; assigning a plate to itself changes nothing.
  // Strong guarantee: if copying the element set fails, the plate (base part
  // and flags included) is left as it was.
  IMirrorPlate& operator=(const IMirrorPlate& other);
  // Releases the element set; writes nothing to the analysis model.
  ~IMirrorPlate() override;

  // Unless neither the thickness nor the material flag is set, visits the
  // elements in ascending id order: fetches the element record and its
  // position, then (thickness flag) sets its section to the id of the
  // thickness mirror at that position and (material flag) its material to the
  // id of the material mirror there (0 for a null mirror, -1 for one never
  // written). Clears the thickness and material flags only after the last
  // element, so a write that throws (for instance ModelError for an element
  // id the analysis model does not hold) leaves them set and can be retried.
  void Write(IMirrorModel& model) override;
  // Removes every element of the set from the analysis model (with its loads),
  // in ascending order, then empties the set. Changes no flag; after an
  // exception the set still holds every id.
  void Delete(IMirrorModel& model) override;

  // The thickness mirror that applies at `position`, or null for none.
  // Called only while the plate writes, once per element.
  virtual boost::intrusive_ptr<IMirrorThickness> GetThickness(const pos3d& position) = 0;
  // The material mirror that applies at `position`, or null for none.
  // Called only while the plate writes, once per element.
  virtual boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d& position) = 0;
  // The element ids of the plate, iterated in ascending order.
  virtual const ElementSet& GetElements() const;

  void SetThicknessModified(bool modified) noexcept { propertyModified_ = modified; }
  bool IsThicknessModified() const noexcept { return propertyModified_; }
  void SetMaterialModified(bool modified) noexcept { materialModified_ = modified; }
  bool IsMaterialModified() const noexcept { return materialModified_; }
  void SetGeometryModified(bool modified) noexcept { geometryModified_ = modified; }
  bool IsGeometryModified() const noexcept { return geometryModified_; }

  // True when the thickness or the material flag is set (geometry plays no part).
  bool ArePropertiesUpdated() const noexcept { return propertyModified_ || materialModified_; }
  // Sets all three aspect flags to `value`; the general modified flag is untouched.
  void ClearUpdateFlags(bool value) noexcept;
  // Adds the element id (once) and sets all three aspect flags, also when the
  // id was already there. Throws std::out_of_range for 2147483647, which the
  // set cannot store.
  void AddElement(long elementId);

 private:
  // The element set and its flags are kept by the component that segments
  // and plates share.
  friend class Internal::ElementOwner<IMirrorPlate, IMirrorObjectWithTopology>;

  ElementSet elements_;
  // One byte of bit fields: bit 0 thickness (the owner's property flag),
  // bit 1 material, bit 2 geometry.
  std::uint8_t propertyModified_ : 1;
  std::uint8_t materialModified_ : 1;
  std::uint8_t geometryModified_ : 1;
};

}  // namespace Kestrum::Quilm::Mirror
