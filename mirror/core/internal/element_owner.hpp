// ElementOwner: what segments and plates share as mirrors that own analysis
// elements: the element id set, the bookkeeping of the three aspect flags
// beside it, assignment with the strong guarantee, and the loops that write
// and delete the elements.
//
// Internal to the library (not installed): IMirrorSegment and IMirrorPlate
// keep their own public interface, base class and data layout (the set, then
// one byte of flags), and forward to this component, which they befriend.
#pragma once

#include <boost/shared_ptr.hpp>
#include <utility>

#include "mirror/analysis/analysis.hpp"
#include "mirror/core/mirror_model.hpp"

namespace Kestrum::Quilm::Mirror::Internal {

// `Owner` holds `elements_` (the element set) and three one-bit flags:
// `propertyModified_` (the section of a segment's elements, the thickness of
// a plate's), `materialModified_` and `geometryModified_`. `Base` is the
// owner's direct base class, whose part assignment copies as well.
template <class Owner, class Base>
class ElementOwner {
 public:
  // Sets all three flags to `value`.
  static void ClearUpdateFlags(Owner& owner, bool value) noexcept {
    owner.propertyModified_ = value;
    owner.materialModified_ = value;
    owner.geometryModified_ = value;
  }

  // Adds the id (a no-op for the set if it is there already), then sets all
  // three flags. A failure (an id the set cannot store, an allocation)
  // changes nothing.
  static void AddElement(Owner& owner, long elementId) {
    owner.elements_.insert(elementId);
    ClearUpdateFlags(owner, true);
  }

  // Copies the base part, the element set and the flags of `other`. The set
  // is copied before anything is assigned, so that a failure to copy it
  // leaves `owner` entirely as it was; what follows cannot fail.
  static void Assign(Owner& owner, const Owner& other) {
    if (&owner == &other) return;
    typename Owner::ElementSet elements(other.elements_);
    static_cast<Base&>(owner) = static_cast<const Base&>(other);
    owner.elements_ = std::move(elements);
    owner.propertyModified_ = other.propertyModified_;
    owner.materialModified_ = other.materialModified_;
    owner.geometryModified_ = other.geometryModified_;
  }

  // The write loop. Unless neither the property nor the material flag is
  // set, visits the elements in ascending id order: fetches the element
  // record, then the element's point, each from the analysis model taken
  // anew from `model` and let go right after, and hands both to
  // `writeElement(XafElement&, const pos3d&)`, which sets what the owner's
  // flags ask for. The record is released after `writeElement` returns. The
  // property and material flags are cleared only after the last element,
  // so an exception leaves every flag as it was and the next Write retries.
  template <class WriteElement>
  static void Write(Owner& owner, IMirrorModel& model, WriteElement&& writeElement) {
    if (!owner.propertyModified_ && !owner.materialModified_) return;
    for (const long elementId : owner.elements_) {
      const boost::shared_ptr<XafElement> element = model.GetXafModel()->Elements().GetElement(elementId);
      const pos3d position = model.GetXafModel()->GetConnectivityManager().GetElementPoint(elementId);
      writeElement(*element, position);
    }
    owner.propertyModified_ = false;
    owner.materialModified_ = false;
  }

  // Removes every element from the analysis model, in ascending order and
  // with its element loads, then empties the set. Changes no flag; the set is
  // emptied only after the last removal, so after a failure it still names
  // every element (removed ones included) for a retry.
  static void Delete(Owner& owner, IMirrorModel& model) {
    for (const long elementId : owner.elements_)
      model.GetXafModel()->Elements().RemoveElement(elementId, true);
    owner.elements_.clear();
  }
};

}  // namespace Kestrum::Quilm::Mirror::Internal
