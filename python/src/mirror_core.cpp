// The mirror core: the object hierarchy's roots, the mirror model, node
// concepts and element read-back.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings.hpp"
#include "mirror_classes.hpp"

namespace Kestrum::Quilm::Python {

namespace {

const char* const kObjectDoc =
    "Base of every mirror object. Subclass one of the library's mirror classes (MirrorSection, "
    "MirrorSegment, MirrorBeam, ...), call super().__init__() and override the operations the class "
    "asks for. The library holds the object through its reference count for as long as it needs it; "
    "the Python object then stays alive with it.";

void BindObjects(py::module_& m) {
  BindMirrorClass<IMirrorObject, PyMirrorObject>(m, "MirrorObject", kObjectDoc)
      .def(py::init<>())
      .def("GetName", &IMirrorObject::GetName,
           "The name under which the object is written; '' unless overridden.")
      .def("Write", &IMirrorObject::Write, py::arg("model"),
           "Pushes the object, or what changed, into the model.")
      .def("Delete", &IMirrorObject::Delete, py::arg("model"), "Removes what the object wrote.")
      .def("SetModified", &IMirrorObject::SetModified, py::arg("modified"))
      .def("IsModified", &IMirrorObject::IsModified)
      .def(
          "GetReferenceCount", [](const IMirrorObject& o) { return o.GetReferenceCount(); },
          "Holders of the object's count: 1 for Python's own, more while the library holds it.");

  BindMirrorClass<IMirrorObjectWithTopology, PyMirrorObjectWithTopology, IMirrorObject>(
      m, "MirrorObjectWithTopology", "Common base of concepts and plates.")
      .def(py::init<>());

  BindMirrorClass<IMirrorConcept, PyMirrorConcept, IMirrorObjectWithTopology>(
      m, "MirrorConcept",
      "A mirror object registered as a structure concept. Override GetParentConcept (None: no parent) "
      "and GetConceptType (a ConceptType or a tuple (type, role, attribute)).")
      .def(py::init<>())
      .def("GetParentConcept", &IMirrorConcept::GetParentConcept)
      .def("GetConceptType", &IMirrorConcept::GetConceptType)
      .def("WriteConcept", &IMirrorConcept::WriteConcept, py::arg("model"),
           "Registers the concept once (a pending parent first) and keeps the id returned.")
      .def("GetConceptId", &IMirrorConcept::GetConceptId, "The concept id; -1 until registered.");
}

void BindModels(py::module_& m) {
  using ModelDeleter = DeleteThroughDerived<PyMirrorModel, TestMirrorModel>;
  py::class_<IMirrorModel, PyMirrorModel, std::unique_ptr<IMirrorModel, ModelDeleter>>(
      m, "MirrorModel",
      "The door through which mirror objects reach the analysis model. Subclass it and override "
      "GetXafModel to return your XafModel, or use TestMirrorModel.")
      .def(py::init<>())
      .def("MangleName", &IMirrorModel::MangleName, py::arg("name"), py::arg("long_names"), py::arg("prefix"),
           py::arg("number"))
      .def("GetXafModel", &IMirrorModel::GetXafModel)
      .def("GetNodePos", &IMirrorModel::GetNodePos, py::arg("node"))
      .def("Flush", &IMirrorModel::Flush)
      .def(
          "GetArchive",
          [](IMirrorModel& model) { return py::cast(model.GetXafModel()).attr("GetArchive")(); },
          "The archive of the analysis model (kept alive with it).")
      .def(
          "GetElementPositions",
          [](IMirrorModel& model, long element) {
            std::vector<pos3d> positions;
            model.GetElementPositions(element, positions);
            return positions;
          },
          py::arg("element"), "The element's node positions in geometric order.")
      .def(
          "GetEccentricElementPositions",
          [](IMirrorModel& model, long element) {
            std::vector<pos3d> positions;
            model.GetEccentricElementPositions(element, positions);
            return positions;
          },
          py::arg("element"), "The element's node positions in stored order, each moved by its eccentricity.")
      .def(
          "Warning",
          [](const IMirrorModel& model, const std::string& message, const std::string& context,
             const std::string& detail) { model.Warning(message, nullptr, context, detail); },
          py::arg("message"), py::arg("context") = "", py::arg("detail") = "",
          "A hook for warnings; does nothing.");

  py::class_<TestMirrorModel, IMirrorModel>(
      m, "TestMirrorModel",
      "Opens (or starts) the analysis model stored in a file, read-write in SI units, in archive mode.")
      .def(py::init<const std::string&>(), py::arg("file_name"));
}

template <class T, class Trampoline>
void BindNodeConcept(py::module_& m, const char* name, const char* doc) {
  BindMirrorClass<T, Trampoline, IMirrorConcept>(m, name, doc)
      .def(py::init_alias<>())
      .def("SetNode", &T::SetNode, py::arg("node"), "Attaches the concept to a node and marks it modified.")
      .def("GetNode", &T::GetNode, "The node; -1 (or 0 and below) for none.");
}

void BindNodeConcepts(py::module_& m) {
  BindNodeConcept<IMirrorJoint, PyMirrorJoint>(
      m, "MirrorJoint", "A joint at one node: Write names the node after GetName(), Delete clears the name.");
  BindNodeConcept<IMirrorSupportPoint, PyMirrorSupportPoint>(
      m, "MirrorSupportPoint", "A support point at one node; behaves as MirrorJoint.");
  BindMirrorClass<IMirrorBoundaryCondition, PyMirrorBoundaryCondition, IMirrorConcept>(
      m, "MirrorBoundaryCondition",
      "A boundary condition concept: Write does nothing; override Delete, GetParentConcept and "
      "GetConceptType.")
      .def(py::init<>());
}

void BindMirrorElement(py::module_& m) {
  py::class_<MirrorElement>(
      m, "MirrorElement",
      "A read-only view of one element: the eccentricity, local system and hinge at a node position "
      "(0 the start, n-1 the end); None where the model holds none. Keeps its model alive.")
      .def(py::init<XafModel&, long>(), py::arg("model"), py::arg("element"), py::keep_alive<1, 2>())
      .def("GetEccentricity", &MirrorElement::GetEccentricity, py::arg("position"))
      .def("GetEccentricityStart", &MirrorElement::GetEccentricityStart)
      .def("GetEccentricityEnd", &MirrorElement::GetEccentricityEnd)
      .def("GetTransformation", &MirrorElement::GetTransformation, py::arg("position"))
      .def("GetTransformationStart", &MirrorElement::GetTransformationStart)
      .def("GetTransformationEnd", &MirrorElement::GetTransformationEnd)
      .def("GetHinge", &MirrorElement::GetHinge, py::arg("position"))
      .def("GetHingeStart", &MirrorElement::GetHingeStart)
      .def("GetHingenEnd", &MirrorElement::GetHingenEnd);
}

}  // namespace

void BindMirrorCore(py::module_& m) {
  BindObjects(m);
  BindModels(m);
  BindNodeConcepts(m);
  BindMirrorElement(m);
}

}  // namespace Kestrum::Quilm::Python
