// Plates, loads, load cases and the load manager.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings.hpp"
#include "mirror_classes.hpp"

namespace Kestrum::Quilm::Python {

namespace {

void BindPlate(py::module_& m) {
  BindMirrorClass<IMirrorPlate, PyMirrorPlate, IMirrorObjectWithTopology>(
      m, "MirrorPlate",
      "A plate, the owner of its elements' ids: override GetThickness(position) and "
      "GetMaterial(position) (a mirror or None); add the elements with AddElement.")
      .def(py::init<>())
      .def("GetThickness", &IMirrorPlate::GetThickness, py::arg("position"))
      .def("GetMaterial", &IMirrorPlate::GetMaterial, py::arg("position"))
      .def(
          "GetElements", [](const IMirrorPlate& p) { return IdsOf(p.GetElements()); },
          "The element ids, ascending (a copy; not overridable from Python).")
      .def("SetThicknessModified", &IMirrorPlate::SetThicknessModified, py::arg("modified"))
      .def("IsThicknessModified", &IMirrorPlate::IsThicknessModified)
      .def("SetMaterialModified", &IMirrorPlate::SetMaterialModified, py::arg("modified"))
      .def("IsMaterialModified", &IMirrorPlate::IsMaterialModified)
      .def("SetGeometryModified", &IMirrorPlate::SetGeometryModified, py::arg("modified"))
      .def("IsGeometryModified", &IMirrorPlate::IsGeometryModified)
      .def("ArePropertiesUpdated", &IMirrorPlate::ArePropertiesUpdated)
      .def("ClearUpdateFlags", &IMirrorPlate::ClearUpdateFlags, py::arg("value"))
      .def("AddElement", &IMirrorPlate::AddElement, py::arg("element_id"))
      .def(
          "AddElements",
          [](IMirrorPlate& p, const std::vector<long>& ids) {
            for (long id : ids) p.AddElement(id);
          },
          py::arg("element_ids"));
}

void BindLoads(py::module_& m) {
  BindMirrorClass<IMirrorLoad, PyMirrorLoad, IMirrorObject>(
      m, "MirrorLoad",
      "A load: override GetElements() (the element ids, or None for nothing to write), "
      "GetLoadCase() and GetElementLoad(element) (a load record, or None). Writing only adds loads.")
      .def(py::init<>())
      .def("GetElements",
           [](IMirrorLoad& l) -> py::object {
             std::list<long> elements;
             return l.GetElements(elements) ? py::cast(elements) : py::none();
           })
      .def("GetLoadCase", &IMirrorLoad::GetLoadCase)
      .def("GetElementLoad", &IMirrorLoad::GetElementLoad, py::arg("element"))
      .def(
          "GetLoadedNodes", [](const IMirrorLoad& l) { return IdsOf(l.GetLoadedNodes()); },
          "The nodes that received a point load in the latest Write.")
      .def(
          "GetLoadedElements", [](const IMirrorLoad& l) { return IdsOf(l.GetLoadedElements()); },
          "The elements that received an element load in any Write.");

  using AuxiliaryMap = IMirrorLoadCase::AuxiliaryMap;
  py::class_<AuxiliaryMap, std::unique_ptr<AuxiliaryMap, py::nodelete>>(
      m, "AuxiliaryMap", "A persistent map from id to id with a value beside it, for the host's own use.")
      .def_readwrite("value", &AuxiliaryMap::value)
      .def("__getitem__",
           [](const AuxiliaryMap& a, long key) {
             auto it = a.map.find(key);
             if (it == a.map.end()) throw py::key_error(std::to_string(key));
             return it->second;
           })
      .def("__setitem__", [](AuxiliaryMap& a, long key, long value) { a.map[key] = value; })
      .def("__delitem__",
           [](AuxiliaryMap& a, long key) {
             if (a.map.erase(key) == 0) throw py::key_error(std::to_string(key));
           })
      .def("__len__", [](const AuxiliaryMap& a) { return a.map.size(); })
      .def("items", [](const AuxiliaryMap& a) {
        return std::vector<std::pair<long, long>>(a.map.begin(), a.map.end());
      });

  BindMirrorClass<IMirrorLoadCase, PyMirrorLoadCase, IMirrorObject>(
      m, "MirrorLoadCase",
      "A load case: override GetLoadCase() (its id when first written), GetName() and GetGravity() "
      "(a vec3d; zero for none). Write names it and replaces its gravity; Delete removes its loads.")
      .def(py::init<>())
      .def("GetLoadCase", &IMirrorLoadCase::GetLoadCase)
      .def("GetGravity", &IMirrorLoadCase::GetGravity)
      .def("GetLoadCaseId", &IMirrorLoadCase::GetLoadCaseId, "The id in the model; -1 until written.")
      .def("GetFirstAuxiliaryMap", py::overload_cast<>(&IMirrorLoadCase::GetFirstAuxiliaryMap),
           py::return_value_policy::reference_internal)
      .def("GetSecondAuxiliaryMap", py::overload_cast<>(&IMirrorLoadCase::GetSecondAuxiliaryMap),
           py::return_value_policy::reference_internal);

  py::class_<IMirrorLoadManager, PyMirrorLoadManager,
             std::unique_ptr<IMirrorLoadManager, DeleteThroughDerived<PyMirrorLoadManager>>>(
      m, "MirrorLoadManager",
      "Load operations that belong to no single load: override GetModel() to return the mirror model.")
      .def(py::init<>())
      .def("GetModel", &IMirrorLoadManager::GetModel, py::return_value_policy::reference)
      .def("DeleteLoadsForConcept", &IMirrorLoadManager::DeleteLoadsForConcept, py::arg("concept"),
           py::arg("load_case"))
      .def("DeleteLoadsForNode", &IMirrorLoadManager::DeleteLoadsForNode, py::arg("node"),
           py::arg("load_case"))
      .def("DeleteAllLoadsInLoadCase", &IMirrorLoadManager::DeleteAllLoadsInLoadCase, py::arg("load_case"))
      .def("AddRigidBodyRotationLoad", &IMirrorLoadManager::AddRigidBodyRotationLoad, py::arg("load_case"),
           py::arg("axis_start"), py::arg("axis_end"), py::arg("angular_velocity"),
           py::arg("angular_acceleration"),
           "Adds to every node off the axis the acceleration of a rigid-body rotation about it.");
}

}  // namespace

void BindMirrorPlatesAndLoads(py::module_& m) {
  BindPlate(m);
  BindLoads(m);
}

}  // namespace Kestrum::Quilm::Python
