// The analysis model: XafModel, its managers, element handles and the
// records the managers hand out.
//
// Managers and the archive are parts of their model: Python refers to them
// and keeps the model alive while it does. Element handles keep their model
// alive the same way, so no handle can outlive the tables it reads.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "analysis_model/xaf_model.hpp"
#include "bindings.hpp"
#include "holders.hpp"
#include "id_runs.hpp"

namespace Kestrum::Quilm::Python {

using namespace AnalysisModel;

namespace {

template <class T>
using Part = py::class_<T, std::unique_ptr<T, py::nodelete>>;

const auto kInternal = py::return_value_policy::reference_internal;

py::array_t<long> IdArray(const std::vector<long>& ids) { return py::array_t<long>(ids.size(), ids.data()); }

void BindRecordsOfManagers(py::module_& m) {
  py::class_<StructureConcept>(m, "StructureConcept", "A registered structure concept.")
      .def_readonly("id", &StructureConcept::id)
      .def_readonly("type", &StructureConcept::type)
      .def_readonly("role", &StructureConcept::role)
      .def_readonly("parent", &StructureConcept::parent)
      .def_readonly("name", &StructureConcept::name);
  py::class_<XafMaterial, boost::shared_ptr<XafMaterial>>(m, "XafMaterial")
      .def("GetName", &XafMaterial::GetName)
      .def("GetMaterial", &XafMaterial::GetMaterial);
  py::class_<XafSection, boost::shared_ptr<XafSection>>(m, "XafSection",
                                                        "A beam section or a plate thickness row.")
      .def("GetName", &XafSection::GetName)
      .def("GetSection", &XafSection::GetSection, "The beam section; None for a thickness row.")
      .def("GetThickness", &XafSection::GetThickness, "The plate thickness; None for a beam section row.");
  py::class_<XafSet, boost::shared_ptr<XafSet>>(m, "XafSet")
      .def("GetName", &XafSet::GetName)
      .def("GetEntitySet", &XafSet::GetEntitySet);
  py::class_<XafEccentricity, boost::shared_ptr<XafEccentricity>>(m, "XafEccentricity")
      .def("GetEccentricity", &XafEccentricity::GetEccentricity);
  py::class_<XafTransformation, boost::shared_ptr<XafTransformation>>(m, "XafTransformation")
      .def("GetTransformationVector", &XafTransformation::GetTransformationVector)
      .def("GetTransformationMatrix", &XafTransformation::GetTransformationMatrix,
           "The rotation by rows: local x, y, z in global coordinates (9 numbers).");
  py::class_<XafHinge, boost::shared_ptr<XafHinge>>(m, "XafHinge").def("GetHinge", &XafHinge::GetHinge);

  py::enum_<LoadKind>(m, "LoadKind")
      .value("Point", LoadKind::Point)
      .value("Line", LoadKind::Line)
      .value("Surface", LoadKind::Surface)
      .value("InitialStrain", LoadKind::InitialStrain)
      .value("NodeAcceleration", LoadKind::NodeAcceleration);
  py::class_<LoadEntry>(m, "LoadEntry", "One load of a load case: kind, target node or element, record.")
      .def_readonly("kind", &LoadEntry::kind)
      .def_readonly("target", &LoadEntry::target)
      .def_property_readonly("record",
                             [](const LoadEntry& e) { return boost::const_pointer_cast<Load>(e.record); });
}

void BindPropertyManagers(py::module_& m) {
  Part<XafStructureConceptManager>(m, "XafStructureConceptManager")
      .def("AddConcept", &XafStructureConceptManager::AddConcept, py::arg("type"), py::arg("role"),
           py::arg("parent_id"), py::arg("name"), py::arg("previous_id") = -1)
      .def("GetConcept", &XafStructureConceptManager::GetConcept, py::arg("id"))
      .def("GetConceptIds", &XafStructureConceptManager::GetConceptIds);
  Part<XafMaterialManager>(m, "XafMaterialManager")
      .def("AddMaterial", &XafMaterialManager::AddMaterial, py::arg("material"), py::arg("name"),
           py::arg("id") = -1)
      .def("DeleteMaterial", &XafMaterialManager::DeleteMaterial, py::arg("id"))
      .def("GetMaterial", &XafMaterialManager::GetMaterial, py::arg("id"),
           "None when the model has no such material.")
      .def("GetMaterialIds", &XafMaterialManager::GetMaterialIds);
  Part<XafSectionManager>(m, "XafSectionManager")
      .def("AddSection", &XafSectionManager::AddSection, py::arg("section"), py::arg("name"),
           py::arg("id") = -1)
      .def("AddThickness", &XafSectionManager::AddThickness, py::arg("thickness"), py::arg("name"),
           py::arg("id") = -1)
      .def("DeleteSection", &XafSectionManager::DeleteSection, py::arg("id"))
      .def("GetSection", &XafSectionManager::GetSection, py::arg("id"),
           "None when the model has no such row.")
      .def("GetSectionIds", &XafSectionManager::GetSectionIds);
  Part<XafSetManager>(m, "XafSetManager")
      .def("AddSet", &XafSetManager::AddSet, py::arg("set"), py::arg("name"), py::arg("id") = -1)
      .def("DeleteSet", &XafSetManager::DeleteSet, py::arg("id"))
      .def("GetSet", &XafSetManager::GetSet, py::arg("id"))
      .def("GetSetIds", &XafSetManager::GetSetIds);
  Part<XafNodePropertyManager>(m, "XafNodePropertyManager")
      .def("SetName", &XafNodePropertyManager::SetName, py::arg("node"), py::arg("name"))
      .def("GetName", &XafNodePropertyManager::GetName, py::arg("node"))
      .def("AddMass", &XafNodePropertyManager::AddMass, py::arg("node"), py::arg("mass"))
      .def("RemoveMasses", &XafNodePropertyManager::RemoveMasses, py::arg("node"))
      .def("GetMasses", &XafNodePropertyManager::GetMasses, py::arg("node"))
      .def(
          "GetTransnod",
          [](const XafNodePropertyManager& p, long node) -> py::object {
            auto id = p.GetTransnod(node);
            return id ? py::cast(*id) : py::none();
          },
          py::arg("node"), "The node's own transformation id, or None.")
      .def("SetTransnod", &XafNodePropertyManager::SetTransnod, py::arg("node"), py::arg("transformation"))
      .def("SetBoundaryCondition", &XafNodePropertyManager::SetBoundaryCondition, py::arg("node"),
           py::arg("fixation"), "Fixes degrees of freedom of a node (a support) in global axes.")
      .def("GetBoundaryCondition", &XafNodePropertyManager::GetBoundaryCondition, py::arg("node"))
      .def("RemoveBoundaryCondition", &XafNodePropertyManager::RemoveBoundaryCondition, py::arg("node"));
  Part<XafEccentricityManager>(m, "XafEccentricityManager")
      .def("AddEccentricity", &XafEccentricityManager::AddEccentricity, py::arg("eccentricity"),
           py::arg("id") = -1)
      .def("GetEccentricity", &XafEccentricityManager::GetEccentricity, py::arg("id"))
      .def("Count", &XafEccentricityManager::Count);
  Part<XafTransformationManager>(m, "XafTransformationManager")
      .def("AddTransformation",
           py::overload_cast<const vec3d&, long>(&XafTransformationManager::AddTransformation),
           py::arg("z_axis"), py::arg("id") = -1)
      .def("AddTransformation",
           py::overload_cast<const locsys3d&>(&XafTransformationManager::AddTransformation),
           py::arg("system"))
      .def("GetTransformation", &XafTransformationManager::GetTransformation, py::arg("id"))
      .def("Count", &XafTransformationManager::Count);
  Part<XafHingeManager>(m, "XafHingeManager")
      .def("AddHinge", &XafHingeManager::AddHinge, py::arg("hinge"))
      .def("GetHinge", &XafHingeManager::GetHinge, py::arg("id"));
  Part<XafLoadManager>(m, "XafLoadManager")
      .def("AddPointLoad", &XafLoadManager::AddPointLoad, py::arg("load_case"), py::arg("node"),
           py::arg("load"))
      .def("AddLineLoad", &XafLoadManager::AddLineLoad, py::arg("load_case"), py::arg("element"),
           py::arg("load"))
      .def("AddSurfaceLoad", &XafLoadManager::AddSurfaceLoad, py::arg("load_case"), py::arg("element"),
           py::arg("load"))
      .def("AddElementInitialStrain", &XafLoadManager::AddElementInitialStrain, py::arg("load_case"),
           py::arg("element"), py::arg("load"))
      .def("AddNodeAccelerationLoad", &XafLoadManager::AddNodeAccelerationLoad, py::arg("load_case"),
           py::arg("node"), py::arg("load"))
      .def("AddGravityLoad", &XafLoadManager::AddGravityLoad, py::arg("load_case"), py::arg("option"),
           py::arg("x"), py::arg("y"), py::arg("z"))
      .def("DeleteNodeLoad", &XafLoadManager::DeleteNodeLoad, py::arg("load_case"), py::arg("node"))
      .def("DeleteElementLoad", &XafLoadManager::DeleteElementLoad, py::arg("load_case"), py::arg("element"))
      .def("DeleteGravityLoad", &XafLoadManager::DeleteGravityLoad, py::arg("load_case"))
      .def("DeleteAllLoadsInLoadCase", &XafLoadManager::DeleteAllLoadsInLoadCase, py::arg("load_case"))
      .def("DeleteLoadCaseName", &XafLoadManager::DeleteLoadCaseName, py::arg("load_case"))
      .def("SetLoadCaseName", &XafLoadManager::SetLoadCaseName, py::arg("load_case"), py::arg("name"))
      .def("GetLoadCaseName", &XafLoadManager::GetLoadCaseName, py::arg("load_case"))
      .def("GetGravityLoad", &XafLoadManager::GetGravityLoad, py::arg("load_case"))
      .def("GetLoads", &XafLoadManager::GetLoads, py::arg("load_case"))
      .def("GetLoadCaseIds", &XafLoadManager::GetLoadCaseIds);
}

void BindMeshManagers(py::module_& m) {
  py::class_<XafElement, boost::shared_ptr<XafElement>>(
      m, "XafElement",
      "A live handle on one element's row. Per-node ids are indexed by stored node index; every call "
      "raises ModelError once the element has been removed.")
      .def("GetId", &XafElement::GetId)
      .def("SetSection", &XafElement::SetSection, py::arg("section"))
      .def("SetMaterial", &XafElement::SetMaterial, py::arg("material"))
      .def("GetSection", &XafElement::GetSection)
      .def("GetMaterial", &XafElement::GetMaterial)
      .def("SetEccentricity", &XafElement::SetEccentricity, py::arg("eccentricity"))
      .def("SetTransformation", &XafElement::SetTransformation, py::arg("transformation"))
      .def("SetFixation", &XafElement::SetFixation, py::arg("hinge"))
      .def("GetEccentricity", &XafElement::GetEccentricity)
      .def("GetTransformation", &XafElement::GetTransformation)
      .def("GetFixation", &XafElement::GetFixation)
      .def("SetNodeEccentricity", &XafElement::SetNodeEccentricity, py::arg("node"), py::arg("eccentricity"))
      .def("SetNodeTransformation", &XafElement::SetNodeTransformation, py::arg("node"),
           py::arg("transformation"))
      .def("SetNodeFixation", &XafElement::SetNodeFixation, py::arg("node"), py::arg("hinge"))
      .def("GetNodeEccentricity", &XafElement::GetNodeEccentricity, py::arg("node"))
      .def("GetNodeTransformation", &XafElement::GetNodeTransformation, py::arg("node"))
      .def("GetNodeFixation", &XafElement::GetNodeFixation, py::arg("node"))
      .def("GetElementWithInternalNodeIds", &XafElement::GetElementWithInternalNodeIds);

  Part<XafElementManager>(m, "XafElementManager")
      .def("AddElement", &XafElementManager::AddElement, py::arg("type"), py::arg("node_ids"),
           "Creates an element on existing nodes (stored order); returns its id.")
      .def("GetElement", &XafElementManager::GetElement, py::arg("id"), py::keep_alive<0, 1>())
      .def("ReverseNodeNumbers", &XafElementManager::ReverseNodeNumbers, py::arg("id"))
      .def("RemoveElement", &XafElementManager::RemoveElement, py::arg("id"), py::arg("remove_loads"))
      .def("Contains", &XafElementManager::Contains, py::arg("id"))
      .def("Count", &XafElementManager::Count)
      .def(
          "GetElementIds", [](const XafElementManager& e) { return IdArray(e.GetElementIds()); },
          "The ids of all elements, ascending, as an int64 array.");

  Part<XafNodeManager>(m, "XafNodeManager")
      .def("AddNode", &XafNodeManager::AddNode, py::arg("position"), "Creates a node; ids count up from 1.")
      .def(
          "GetNodeIds",
          [](const XafNodeManager& n) {
            const auto& ids = n.GetNodeIds();
            py::array_t<long> out(static_cast<py::ssize_t>(ids.size()));
            long* data = out.mutable_data();
            ForEachId(ids, [&data](long id) { *data++ = id; });
            return out;
          },
          "The ids of all nodes, ascending, as an int64 array.")
      .def("Count", &XafNodeManager::Count);

  Part<XafConnectivityManager>(m, "XafConnectivityManager")
      .def("GetElementById", &XafConnectivityManager::GetElementById, py::arg("element"))
      .def("GetElementPoint", &XafConnectivityManager::GetElementPoint, py::arg("element"),
           "The mean of the element's node positions.")
      .def("GetNodeById", &XafConnectivityManager::GetNodeById, py::arg("node"))
      .def(
          "GetElementNodes",
          [](const XafConnectivityManager& c, long element, Element::SortOrder order) {
            std::vector<pos3d> positions;
            c.GetElementNodes(element, positions, order);
            return positions;
          },
          py::arg("element"), py::arg("order") = Element::Geometric,
          "The element's node positions in `order`.");

  Part<XafArchive>(m, "XafArchive")
      .def("SetArchiveMode", &XafArchive::SetArchiveMode, py::arg("on"),
           "In archive mode every Flush is durable on disk before it returns.")
      .def("GetArchiveMode", &XafArchive::GetArchiveMode);
}

}  // namespace

void BindAnalysisModel(py::module_& m) {
  BindRecordsOfManagers(m);
  BindPropertyManagers(m);
  BindMeshManagers(m);
  BindResults(m);

  py::class_<XafModel, boost::shared_ptr<XafModel>>(
      m, "XafModel",
      "The analysis model, kept in memory and stored in an SQLite file by Flush.\n\n"
      "XafModel(file_name, access_mode=1, unit_system=1, create=False): access_mode 1 read-write, 0 "
      "read-only; unit_system 1 (SI) is the only one; with create=True a missing file starts a new "
      "model (created on disk by the first Flush), otherwise it raises ModelError.")
      .def(py::init<const std::string&, long, long, bool>(), py::arg("file_name"), py::arg("access_mode") = 1,
           py::arg("unit_system") = 1, py::arg("create") = false)
      .def("StructureConcepts", &XafModel::StructureConcepts, kInternal)
      .def("Materials", &XafModel::Materials, kInternal)
      .def("Sections", &XafModel::Sections, kInternal)
      .def("Sets", &XafModel::Sets, kInternal)
      .def("NodeProperties", &XafModel::NodeProperties, kInternal)
      .def("Elements", &XafModel::Elements, kInternal)
      .def("Eccentricities", &XafModel::Eccentricities, kInternal)
      .def("Transformations", &XafModel::Transformations, kInternal)
      .def("Hinges", &XafModel::Hinges, kInternal)
      .def("Loads", &XafModel::Loads, kInternal)
      .def("Nodes", &XafModel::Nodes, kInternal)
      .def("GetConnectivityManager", &XafModel::GetConnectivityManager, kInternal)
      .def("GetArchive", &XafModel::GetArchive, kInternal)
      .def("Results", &XafModel::Results, kInternal, "The analysis results stored with the model.")
      .def("Flush", &XafModel::Flush,
           "Writes what changed since the last flush in one transaction; raises ModelError when read-only.")
      .def("GetFileName", &XafModel::GetFileName)
      .def("IsReadOnly", &XafModel::IsReadOnly)
      .def("Validate", &XafModel::Validate,
           "'' when the tables' cross-references hold, else the first violation.");
}

}  // namespace Kestrum::Quilm::Python
