// Calling the Python override of a pure operation, the hot path of a Python
// host (a segment is asked for its section at every element).
//
// pybind11's general lookup costs more than the call: it finds the Python
// object in its instance registry, builds a bound method and inspects the
// calling frame on every call. Here the Python object is the pinned one when
// there is one, whether a Python class overrides the operation is decided
// once per class, and the method is called without binding it. Anything
// unusual (a class that does not override it, a call that re-enters the
// same operation of the same object) takes pybind11's general path, which
// also handles overrides set on an instance and reports a missing one.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <unordered_map>
#include <utility>

#include "lifetime.hpp"

namespace Kestrum::Quilm::Python {

// One pure operation of one bound class.
struct OverrideSite {
  explicit OverrideSite(const char* operation) : name(operation) {}
  const char* name;
  PyObject* interned = nullptr;                        // the name as a Python string
  std::unordered_map<PyTypeObject*, bool> overridden;  // by Python class
};

// The operation running on this thread, to notice re-entry.
struct ActiveOverride {
  const void* object = nullptr;
  const OverrideSite* site = nullptr;
};
inline thread_local ActiveOverride activeOverride;

// The Python object behind `object`, or a null handle.
template <class Base>
py::handle PythonObjectOf(const Base* object) {
  if (auto* self = dynamic_cast<const PythonSelf*>(object); self != nullptr && self->Pinned() != nullptr)
    return self->Pinned();
  static const py::detail::type_info* info = py::detail::get_type_info(typeid(Base));
  return py::detail::get_object_handle(object, info);
}

// True when the Python class of `self` defines the operation itself.
inline bool ClassOverrides(OverrideSite& site, py::handle self) {
  PyTypeObject* type = Py_TYPE(self.ptr());
  auto it = site.overridden.find(type);
  if (it != site.overridden.end()) return it->second;
  py::object attribute = py::getattr(py::handle(reinterpret_cast<PyObject*>(type)), site.name, py::none());
  // Bound operations are instance methods around built-in functions.
  const bool overrides =
      !attribute.is_none() && !PyInstanceMethod_Check(attribute.ptr()) && !PyCFunction_Check(attribute.ptr());
  site.overridden.emplace(type, overrides);
  return overrides;
}

// Calls the override with `args` converted to Python; returns its answer, or
// a null object when the general path must be taken.
template <class Base, class... Args>
py::object CallOverride(const Base* object, OverrideSite& site, Args&&... args) {
  py::handle self = PythonObjectOf(object);
  if (!self) return {};
  if (activeOverride.object == object && activeOverride.site == &site) return {};
  if (!ClassOverrides(site, self)) return {};
  if (site.interned == nullptr) site.interned = PyUnicode_InternFromString(site.name);
  py::object converted[] = {py::reinterpret_borrow<py::object>(self),
                            py::cast(std::forward<Args>(args), py::return_value_policy::move)...};
  PyObject* argv[sizeof...(Args) + 1];
  for (std::size_t i = 0; i <= sizeof...(Args); ++i) argv[i] = converted[i].ptr();
  const ActiveOverride outer = activeOverride;
  activeOverride = {object, &site};
  PyObject* answer = PyObject_VectorcallMethod(site.interned, argv, sizeof...(Args) + 1, nullptr);
  activeOverride = outer;
  if (answer == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(answer);
}

// Raises NotImplementedError in one line naming the host's Python class, the
// bound class it derives from and the operation it must define: what a
// forgotten override of a pure operation reports.
template <class Base>
[[noreturn]] void MissingOverride(const Base* object, const char* operation) {
  py::gil_scoped_acquire gil;
  static const py::detail::type_info* info = py::detail::get_type_info(typeid(Base));
  std::string base = info ? info->type->tp_name : "a bound class";
  if (const auto dot = base.rfind('.'); dot != std::string::npos) base.erase(0, dot + 1);
  py::handle self = PythonObjectOf(object);
  const std::string host = self ? Py_TYPE(self.ptr())->tp_name : base;
  const std::string message = host + "." + operation + " is not defined: a subclass of quilm." + base +
                              " must override " + operation;
  PyErr_SetString(PyExc_NotImplementedError, message.c_str());
  throw py::error_already_set();
}

}  // namespace Kestrum::Quilm::Python

// pybind11's override of a pure operation, with a missing override reported
// by MissingOverride instead of "Tried to call pure virtual function".
#define QUILM_PYTHON_PURE(ret_type, cname, name, ...)                                        \
  do {                                                                                       \
    PYBIND11_OVERRIDE_IMPL(PYBIND11_TYPE(ret_type), PYBIND11_TYPE(cname), #name, __VA_ARGS__); \
    ::Kestrum::Quilm::Python::MissingOverride(static_cast<const cname*>(this), #name);       \
  } while (false)

// The body of a trampoline's pure operation `name` of class `cname`.
#define QUILM_OVERRIDE_PURE(ret_type, cname, name, ...)                                     \
  do {                                                                                      \
    pybind11::gil_scoped_acquire gil;                                                       \
    static ::Kestrum::Quilm::Python::OverrideSite site{#name};                              \
    pybind11::object answer = [&](auto&&... args) {                                         \
      return ::Kestrum::Quilm::Python::CallOverride(static_cast<const cname*>(this), site,  \
                                                    std::forward<decltype(args)>(args)...); \
    }(__VA_ARGS__);                                                                         \
    if (answer) return pybind11::detail::cast_safe<ret_type>(std::move(answer));            \
    QUILM_PYTHON_PURE(PYBIND11_TYPE(ret_type), cname, name, __VA_ARGS__);                   \
  } while (false)
