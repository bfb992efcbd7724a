// Beams: segments, beams and their eccentricity and local-system callbacks.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings.hpp"
#include "mirror_classes.hpp"

namespace Kestrum::Quilm::Python {

namespace {

void BindCallbacks(py::module_& m) {
  py::class_<IEccentricityCallback, PyEccentricityCallback,
             std::unique_ptr<IEccentricityCallback, DeleteThroughDerived<PyEccentricityCallback>>>(
      m, "EccentricityCallback",
      "Tells a beam's eccentricity: override GetEccentricity(position) -> vec3d and "
      "GetConstantEccentricity() -> vec3d when one offset holds for the whole beam, else None.")
      .def(py::init<>())
      .def("GetEccentricity", &IEccentricityCallback::GetEccentricity, py::arg("position"))
      .def("GetConstantEccentricity", [](IEccentricityCallback& c) -> py::object {
        vec3d eccentricity;
        return c.GetConstantEccentricity(eccentricity) ? py::cast(eccentricity) : py::none();
      });

  py::class_<ILocalSystemCallback, PyLocalSystemCallback,
             std::unique_ptr<ILocalSystemCallback, DeleteThroughDerived<PyLocalSystemCallback>>>(
      m, "LocalSystemCallback",
      "Tells a beam's local system: override GetLocalSystem(position) -> locsys3d (x along the beam).")
      .def(py::init<>())
      .def("GetLocalSystem", &ILocalSystemCallback::GetLocalSystem, py::arg("position"));
}

void BindSegment(py::module_& m) {
  BindMirrorClass<IMirrorSegment, PyMirrorSegment, IMirrorConcept>(
      m, "MirrorSegment",
      "A beam segment, the owner of its elements' ids. Override GetSection(position) and "
      "GetMaterial(position) (a mirror or None), GetParentConcept and GetConceptType; add the "
      "elements you meshed with AddElement. Write sets the section and material of every element "
      "while the section or material flag is set.")
      .def(py::init<>())
      .def("GetSection", &IMirrorSegment::GetSection, py::arg("position"))
      .def("GetMaterial", &IMirrorSegment::GetMaterial, py::arg("position"))
      .def(
          "GetElements", [](const IMirrorSegment& s) { return IdsOf(s.GetElements()); },
          "The element ids, ascending (a copy; not overridable from Python).")
      .def("SetSectionModified", &IMirrorSegment::SetSectionModified, py::arg("modified"))
      .def("IsSectionModified", &IMirrorSegment::IsSectionModified)
      .def("SetMaterialModified", &IMirrorSegment::SetMaterialModified, py::arg("modified"))
      .def("IsMaterialModified", &IMirrorSegment::IsMaterialModified)
      .def("SetGeometryModified", &IMirrorSegment::SetGeometryModified, py::arg("modified"))
      .def("IsGeometryModified", &IMirrorSegment::IsGeometryModified)
      .def("ArePropertiesUpdated", &IMirrorSegment::ArePropertiesUpdated)
      .def("ClearUpdateFlags", &IMirrorSegment::ClearUpdateFlags, py::arg("value"))
      .def("AddElement", &IMirrorSegment::AddElement, py::arg("element_id"),
           "Adds the id and sets all three flags.")
      .def(
          "AddElements",
          [](IMirrorSegment& s, const std::vector<long>& ids) {
            for (long id : ids) s.AddElement(id);
          },
          py::arg("element_ids"), "AddElement for each id, in one call.")
      .def("Join", &IMirrorSegment::Join, py::arg("other"),
           "Moves the elements of `other` into this segment.");
}

void BindBeam(py::module_& m) {
  BindMirrorClass<IMirrorBeam, PyMirrorBeam, IMirrorConcept>(
      m, "MirrorBeam",
      "A beam: override GetSegmentCount, GetSegment(index), GetEccentricityCallback and "
      "GetLocalSystemCallback (a callback object or None), GetParentConcept and GetConceptType. Write "
      "sets eccentricities and local systems while their flags are set, then writes each segment.")
      .def(py::init<>())
      .def("GetEccentricityCallback", [](IMirrorBeam& b) { return PythonOf(b.GetEccentricityCallback()); })
      .def("GetLocalSystemCallback", [](IMirrorBeam& b) { return PythonOf(b.GetLocalSystemCallback()); })
      .def("GetSegment", &IMirrorBeam::GetSegment, py::arg("index"))
      .def("GetSegmentCount", &IMirrorBeam::GetSegmentCount)
      .def("GetElements", &IMirrorBeam::GetElements, "The element ids of all segments, segment by segment.")
      .def("SetEccentricityModified", &IMirrorBeam::SetEccentricityModified, py::arg("modified"))
      .def("IsEccentricityModified", &IMirrorBeam::IsEccentricityModified)
      .def("SetLocalSystemModified", &IMirrorBeam::SetLocalSystemModified, py::arg("modified"))
      .def("IsLocalSystemModified", &IMirrorBeam::IsLocalSystemModified)
      .def("ArePropertiesUpdated", &IMirrorBeam::ArePropertiesUpdated)
      .def("ClearUpdateFlags", &IMirrorBeam::ClearUpdateFlags, py::arg("value"));
}

}  // namespace

void BindMirrorBeams(py::module_& m) {
  BindCallbacks(m);
  BindSegment(m);
  BindBeam(m);
}

}  // namespace Kestrum::Quilm::Python
