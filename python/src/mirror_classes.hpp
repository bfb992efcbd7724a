// Declaring a bound reference-counted mirror class: intrusive holder,
// trampoline, and the collector set-up of lifetime.hpp.
#pragma once

#include <pybind11/pybind11.h>

#include <vector>

#include "holders.hpp"
#include "lifetime.hpp"
#include "trampolines.hpp"

namespace Kestrum::Quilm::Python {

template <class T, class Trampoline, class... Base>
using MirrorClass = py::class_<T, Base..., Trampoline, boost::intrusive_ptr<T>>;

template <class T, class Trampoline, class... Base>
MirrorClass<T, Trampoline, Base...> BindMirrorClass(py::module_& m, const char* name, const char* doc) {
  return MirrorClass<T, Trampoline, Base...>(m, name, doc, CollectableMirror<T>());
}

// The ids of a segment's or plate's element set, ascending, as a list.
template <class Set>
std::vector<long> IdsOf(const Set& set) {
  return std::vector<long>(set.begin(), set.end());
}

}  // namespace Kestrum::Quilm::Python
