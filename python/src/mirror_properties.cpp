// Property mirrors: materials, sections, thicknesses, sets and point masses,
// and the read-back materials and sections of an existing model.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings.hpp"
#include "mirror_classes.hpp"

namespace Kestrum::Quilm::Python {

namespace {

// Identifier accessors shared by the four property mirrors that keep one.
template <class Class>
void BindId(Class& c) {
  using T = typename Class::type;
  c.def("GetId", &T::GetId, "The identifier in the model's table; -1 for none.")
      .def("SetId", &T::SetId, py::arg("id"), "Sets the identifier; the modified flag stays.");
}

void BindMaterials(py::module_& m) {
  auto material = BindMirrorClass<IMirrorMaterial, PyMirrorMaterial, IMirrorObject>(
      m, "MirrorMaterial",
      "A material mirror: override GetMaterial (a qlMaterial, or None) and, if you like, GetName. Write "
      "adds the material on every call, whatever the modified flag says.");
  material.def(py::init<>())
      .def(py::init<long>(), py::arg("id"), "For a material the model already holds under `id`.")
      .def("GetMaterial", &IMirrorMaterial::GetMaterial)
      .def("MeshBefore", &IMirrorMaterial::MeshBefore, py::arg("other"),
           "The meshing order: by name, then by definition; raises ValueError for None.")
      .def("IsAnisotrop", &IMirrorMaterial::IsAnisotrop)
      .def("GetAnisotropMaterial", &IMirrorMaterial::GetAnisotropMaterial, py::arg("direction"));
  BindId(material);

  BindMirrorClass<XanMirrorMaterial, PyXanMirrorMaterial, IMirrorMaterial>(
      m, "XanMirrorMaterial", "A material of an existing model, looked up there on every request.")
      .def(py::init_alias<IMirrorModel&, long>(), py::arg("model"), py::arg("id"), py::keep_alive<1, 2>());
}

void BindSections(py::module_& m) {
  auto section = BindMirrorClass<IMirrorSection, PyMirrorSection, IMirrorObject>(
      m, "MirrorSection",
      "A section mirror: override GetSection (a qlSection, or None) and, if you like, GetName. Write "
      "follows the modified flag and clears it once written.");
  section.def(py::init<>())
      .def(py::init<long>(), py::arg("id"), "For a section the model already holds under `id`.")
      .def("GetSection", &IMirrorSection::GetSection)
      .def("MeshBefore", &IMirrorSection::MeshBefore, py::arg("other"),
           "The meshing order: by name, then by definition; raises ValueError for None.")
      .def(
          "IsEqual", [](const IMirrorSection& a, const IMirrorSection& b) { return a == b; },
          py::arg("other"),
          "The library's equality: equal names, then equal definitions (ids are not compared).");
  BindId(section);

  BindMirrorClass<XanMirrorSection, PyXanMirrorSection, IMirrorSection>(
      m, "XanMirrorSection", "A section of an existing model, looked up there on every request.")
      .def(py::init_alias<IMirrorModel&, long>(), py::arg("model"), py::arg("id"), py::keep_alive<1, 2>());
}

void BindOtherProperties(py::module_& m) {
  auto thickness = BindMirrorClass<IMirrorThickness, PyMirrorThickness, IMirrorObject>(
      m, "MirrorThickness",
      "A plate thickness mirror: override GetThickness (a number; 0 writes nothing). Its id is a "
      "section id.");
  thickness.def(py::init<>())
      .def(py::init<long>(), py::arg("id"))
      .def("GetThickness", &IMirrorThickness::GetThickness)
      .def("MeshBefore", &IMirrorThickness::MeshBefore, py::arg("other"))
      .def(
          "IsEqual", [](const IMirrorThickness& a, const IMirrorThickness& b) { return a == b; },
          py::arg("other"),
          "The library's equality: equal names, then equal definitions (ids are not compared).");
  BindId(thickness);

  auto set = BindMirrorClass<IMirrorSet, PyMirrorSet, IMirrorObject>(
      m, "MirrorSet", "A set mirror: override GetEntitySet (an EntitySet, or None).");
  set.def(py::init<>())
      .def(py::init<long>(), py::arg("id"))
      .def("GetEntitySet", &IMirrorSet::GetEntitySet)
      .def(
          "IsEqual", [](const IMirrorSet& a, const IMirrorSet& b) { return a == b; }, py::arg("other"),
          "The library's equality: equal names, then equal definitions (ids are not compared).");
  BindId(set);

  BindMirrorClass<IMirrorPointMass, PyMirrorPointMass, IMirrorObject>(
      m, "MirrorPointMass",
      "A point-mass mirror: override GetMass (a Mass, or None) and set the node with SetNode. Every "
      "Write with the modified flag set adds the mass once more.")
      .def(py::init<>())
      .def("GetMass", &IMirrorPointMass::GetMass)
      .def("GetNode", &IMirrorPointMass::GetNode)
      .def("SetNode", &IMirrorPointMass::SetNode, py::arg("node"),
           "Sets the node and marks the mirror modified.")
      .def(
          "IsEqual", [](const IMirrorPointMass& a, const IMirrorPointMass& b) { return a == b; },
          py::arg("other"),
          "The library's equality: equal names, then equal definitions (ids are not compared).");
}

}  // namespace

void BindMirrorProperties(py::module_& m) {
  BindMaterials(m);
  BindSections(m);
  BindOtherProperties(m);
}

}  // namespace Kestrum::Quilm::Python
