// The garbage-collector side of the mirror lifetimes (see lifetime.hpp).
#include "lifetime.hpp"

#include <pybind11/pybind11.h>

#include <map>
#include <mutex>

namespace Kestrum::Quilm::Python {

namespace {

// What the collector needs per bound type: how to read the intrusive count
// and find the pin from the instance's value pointer.
struct TypeHooks {
  long (*count)(void*);
  PythonSelf* (*self)(void*);
};

std::map<PyTypeObject*, TypeHooks>& Hooks() {
  static auto* hooks = new std::map<PyTypeObject*, TypeHooks>;  // lives until exit, like the types
  return *hooks;
}

// The hooks of the nearest bound type of `type` (Python subclasses are not
// registered themselves).
const TypeHooks* HooksOf(PyTypeObject* type) {
  for (PyTypeObject* t = type; t != nullptr; t = t->tp_base) {
    auto it = Hooks().find(t);
    if (it != Hooks().end()) return &it->second;
  }
  return nullptr;
}

// The value pointer of a bound instance, null before __init__ ran.
void* ValueOf(PyObject* object) {
  auto* inst = reinterpret_cast<py::detail::instance*>(object);
  if (!inst->simple_layout) {
    if (!inst->nonsimple.status ||
        !(inst->nonsimple.status[0] & py::detail::instance::status_holder_constructed))
      return nullptr;
    return inst->nonsimple.values_and_holders[0];
  }
  if (!inst->simple_holder_constructed) return nullptr;
  return inst->simple_value_holder[0];
}

// The pin of `object` when the library holds no count of it any more.
PyObject* CollectablePin(PyObject* object) {
  const TypeHooks* hooks = HooksOf(Py_TYPE(object));
  void* value = ValueOf(object);
  if (hooks == nullptr || value == nullptr) return nullptr;
  PythonSelf* self = hooks->self(value);
  if (self == nullptr || self->Pinned() == nullptr) return nullptr;
  return hooks->count(value) == 1 ? self->Pinned() : nullptr;
}

int Traverse(PyObject* object, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(object));  // heap types are referenced by their instances
  if (PyObject* pin = CollectablePin(object)) Py_VISIT(pin);
  return 0;
}

int Clear(PyObject* object) {
  if (CollectablePin(object) == nullptr) return 0;
  const TypeHooks* hooks = HooksOf(Py_TYPE(object));
  PyObject* pin = hooks->self(ValueOf(object))->Unpin();
  Py_XDECREF(pin);
  return 0;
}

}  // namespace

PythonSelf::~PythonSelf() {
  // The C++ object is destroyed only when its Python object releases its
  // count, which cannot happen while pinned; a pin left here would be a
  // reference the dying object cannot give back safely, so it is dropped.
  self_ = nullptr;
}

void PythonSelf::Pin(py::handle self) {
  if (self_ != nullptr || !self) return;
  self_ = self.inc_ref().ptr();
}

py::custom_type_setup CollectableMirror(long (*count)(void*), PythonSelf* (*self)(void*)) {
  return py::custom_type_setup([count, self](PyHeapTypeObject* heapType) {
    PyTypeObject* type = &heapType->ht_type;
    type->tp_flags |= Py_TPFLAGS_HAVE_GC;
    type->tp_traverse = Traverse;
    type->tp_clear = Clear;
    Hooks()[type] = TypeHooks{count, self};
  });
}

}  // namespace Kestrum::Quilm::Python
