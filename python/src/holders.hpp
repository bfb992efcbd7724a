// Holder types and ownership rules shared by every binding file.
//
//  * Mirror objects are held by boost::intrusive_ptr, whose count lives in
//    the object; any raw pointer can become a holder. Loading one from
//    Python pins the Python object of a Python subclass (lifetime.hpp).
//  * Value records the library shares (sections, materials, masses, load
//    records, the analysis model) are held by boost::shared_ptr.
//  * Classes with a non-virtual destructor (the mirror model, the load
//    manager, the beam callbacks) are held by std::unique_ptr with a deleter
//    that destroys them through their most derived class.
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <boost/intrusive_ptr.hpp>
#include <boost/optional.hpp>
#include <boost/shared_ptr.hpp>

#include "lifetime.hpp"

PYBIND11_DECLARE_HOLDER_TYPE(T, boost::shared_ptr<T>)

namespace pybind11::detail {

// Read-back answers that may be absent: None or the value.
template <typename T>
struct type_caster<boost::optional<T>> : optional_caster<boost::optional<T>> {};

template <typename T>
struct always_construct_holder<boost::intrusive_ptr<T>> : always_construct_holder<void, true> {};

// intrusive_ptr<T> from and to Python. Loading goes through the plain
// pointer caster (which knows every registered subclass and accepts None as
// an empty pointer) and builds the holder from the pointer, which the
// intrusive count makes safe.
template <typename T>
class type_caster<boost::intrusive_ptr<T>> : public copyable_holder_caster<T, boost::intrusive_ptr<T>> {
 public:
  bool load(handle src, bool convert) {
    type_caster_base<T> pointer;
    if (!pointer.load(src, convert)) return false;
    T* object = static_cast<T*>(pointer);
    this->value = object;
    this->holder = boost::intrusive_ptr<T>(object);
    if (object != nullptr) Kestrum::Quilm::Python::PinPythonSelf(object, src);
    return true;
  }

  static handle cast(const boost::intrusive_ptr<T>& src, return_value_policy, handle parent) {
    if (!src) return none().release();
    // A new Python object takes a count of its own; an existing one is reused.
    return type_caster_base<T>::cast(src.get(), return_value_policy::take_ownership, parent);
  }
};

}  // namespace pybind11::detail

namespace Kestrum::Quilm::Python {

// Deletes a T through its most derived class, for bases whose destructor is
// not virtual: T's trampoline (the only kind Python can create) or a known
// concrete class.
template <class Trampoline, class... Concrete>
struct DeleteThroughDerived {
  template <class T>
  void operator()(T* object) const noexcept {
    if (object == nullptr) return;
    if (auto* t = dynamic_cast<Trampoline*>(object)) {
      delete t;
      return;
    }
    (void)((DeleteAs<Concrete>(object)) || ...);
  }

 private:
  template <class C, class T>
  static bool DeleteAs(T* object) noexcept {
    if (auto* c = dynamic_cast<C*>(object)) {
      delete c;
      return true;
    }
    return false;
  }
};

}  // namespace Kestrum::Quilm::Python
