// Lifetimes of Python subclasses of the reference-counted mirror classes.
//
// A mirror object made from Python is one C++ object (the trampoline) and
// one Python object. The library holds the C++ object through its intrusive
// count, which it changes without telling anyone, so the two are tied like
// this:
//  * The Python object holds one count of the C++ object (its holder).
//  * The first time the object is handed to the library (loaded as an
//    intrusive_ptr), the C++ object takes a strong reference to its Python
//    object ("pins" it), so that the Python state (attributes, overridden
//    methods) lives as long as the library may use it.
//  * The cycle this makes is shown to Python's garbage collector only while
//    the Python object's own count is the only count left: then the library
//    holds nothing, and the collector frees both once Python drops them.
//    While the library holds a count, the pin keeps the Python object alive.
// So a pinned object is freed by the collector (gc.collect(), or its next
// automatic run), not at the moment its last reference goes.
#pragma once

#include <pybind11/pybind11.h>

namespace Kestrum::Quilm::Python {

namespace py = pybind11;

// Mixed into every trampoline of a reference-counted class; after the
// mirror base so that the base stays at offset 0.
class PythonSelf {
 public:
  PythonSelf() = default;
  PythonSelf(const PythonSelf&) = delete;
  PythonSelf& operator=(const PythonSelf&) = delete;
  virtual ~PythonSelf();

  // Takes a strong reference to `self` unless one is held already.
  void Pin(py::handle self);
  PyObject* Pinned() const noexcept { return self_; }
  // Gives up the reference (for the collector's clear); returns it.
  PyObject* Unpin() noexcept {
    PyObject* self = self_;
    self_ = nullptr;
    return self;
  }

 private:
  PyObject* self_ = nullptr;
};

// Pins `self` when `object` is a trampoline (a Python subclass instance).
template <class T>
void PinPythonSelf(T* object, py::handle self) {
  if (auto* pythonSelf = dynamic_cast<PythonSelf*>(object)) pythonSelf->Pin(self);
}

// The reference count of a mirror object as the collector sees it.
using CountOf = long (*)(const void* value);

// Type set-up for a bound reference-counted class: makes its Python objects
// visible to the garbage collector with the rule above. `count` reads the
// intrusive count and `self` finds the PythonSelf of a value pointer.
py::custom_type_setup CollectableMirror(long (*count)(void*), PythonSelf* (*self)(void*));

// The set-up for class T (a class derived from IMirrorObject).
template <class T>
py::custom_type_setup CollectableMirror() {
  return CollectableMirror(
      [](void* value) -> long { return static_cast<T*>(value)->GetReferenceCount(); },
      [](void* value) -> PythonSelf* { return dynamic_cast<PythonSelf*>(static_cast<T*>(value)); });
}

}  // namespace Kestrum::Quilm::Python
