// Value records of the analysis model: concept types, masses, entity sets,
// hinges, load records, and the node and element records of the mesh.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <boost/make_shared.hpp>

#include "analysis_model/xaf_model.hpp"
#include "bindings.hpp"
#include "holders.hpp"

namespace Kestrum::Quilm::Python {

using namespace AnalysisModel;

namespace {

std::array<double, 6> SixNumbers(const py::sequence& s, const char* what) {
  if (py::len(s) != 6) throw py::value_error(std::string(what) + " needs six numbers");
  std::array<double, 6> values{};
  for (std::size_t i = 0; i < 6; ++i) {
    values[i] = PyFloat_AsDouble(py::handle(s[i]).ptr());
    if (values[i] == -1.0 && PyErr_Occurred()) throw py::error_already_set();
  }
  return values;
}

void CheckDof(int dof, int limit) {
  if (dof < 0 || dof >= limit) throw py::index_error("index outside 0.." + std::to_string(limit - 1));
}

void BindLoads(py::module_& m) {
  py::enum_<LoadType::Options>(m, "LoadType", "Kinds of load record.")
      .value("PointForce", LoadType::PointForce)
      .value("LineForce", LoadType::LineForce)
      .value("SurfacePressure", LoadType::SurfacePressure)
      .value("NodeAcceleration", LoadType::NodeAcceleration)
      .value("InitialStrain", LoadType::InitialStrain);

  py::class_<Load, boost::shared_ptr<Load>>(m, "Load",
                                            "Base of the load records; records are copied when added.")
      .def("loadType", &Load::loadType)
      .def("SetLoadType", &Load::SetLoadType, py::arg("type"))
      .def("Describe", &Load::Describe)
      .def("Equals", &Load::Equals, py::arg("other"))
      .def("__eq__", [](const Load& a, const Load& b) { return a.Equals(b); })
      .def("__repr__", [](const Load& l) { return "<" + l.Describe() + ">"; });

  py::class_<PointLoad, Load, boost::shared_ptr<PointLoad>>(
      m, "PointLoad", "A force and moment (global axes), or a node acceleration, at a position.")
      .def(py::init<>())
      .def(py::init<const pos3d&, const vec3d&, const vec3d&>(), py::arg("position"), py::arg("force"),
           py::arg("moment") = vec3d())
      .def("AddValue", &PointLoad::AddValue, py::arg("position"), py::arg("force"),
           py::arg("moment") = vec3d())
      .def("HasPosition", &PointLoad::HasPosition)
      .def("Position", &PointLoad::Position, "Raises RuntimeError for a record without position.")
      .def("Force", &PointLoad::Force)
      .def("Moment", &PointLoad::Moment)
      .def(
          "GetValues",
          [](const PointLoad& l) {
            py::list values;
            for (const auto& [position, matrix] : l.GetValues())
              values.append(py::make_tuple(position, vec3d(matrix(0, 0), matrix(0, 1), matrix(0, 2)),
                                           vec3d(matrix(1, 0), matrix(1, 1), matrix(1, 2))));
            return values;
          },
          "[(position, force, moment), ...] ascending by position.");

  py::class_<LineLoad, Load, boost::shared_ptr<LineLoad>>(
      m, "LineLoad", "A force per length on a line element (global axes), linear from start to end.")
      .def(py::init<const vec3d&, const vec3d&>(), py::arg("start"), py::arg("end"))
      .def(py::init<const vec3d&>(), py::arg("uniform"))
      .def("Start", &LineLoad::Start)
      .def("End", &LineLoad::End);

  py::class_<SurfaceLoad, Load, boost::shared_ptr<SurfaceLoad>>(
      m, "SurfaceLoad", "A pressure on a surface element, positive along its normal.")
      .def(py::init<double>(), py::arg("pressure"))
      .def("Pressure", &SurfaceLoad::Pressure);

  py::class_<InitialStrainLoad, Load, boost::shared_ptr<InitialStrainLoad>>(
      m, "InitialStrainLoad", "An imposed axial strain of an element.")
      .def(py::init<double>(), py::arg("strain"))
      .def("Strain", &InitialStrainLoad::Strain);
}

void BindMesh(py::module_& m) {
  py::class_<Node>(m, "Node", "A node record: id and position (a copy).")
      .def(py::init<long, const pos3d&>(), py::arg("id"), py::arg("position"))
      .def("GetId", &Node::GetId)
      .def("GetPos", &Node::GetPos);

  py::class_<Element> element(m, "Element", "An element's connectivity (a copy).");
  py::enum_<Element::SortOrder>(element, "SortOrder")
      .value("Stored", Element::Stored)
      .value("Geometric", Element::Geometric)
      .export_values();
  element
      .def(py::init<long, const qlElementType&, std::vector<long>>(), py::arg("id"), py::arg("type"),
           py::arg("node_ids"))
      .def("GetId", &Element::GetId)
      .def("GetElementType", &Element::GetElementType, py::return_value_policy::reference)
      .def("NodeCount", &Element::NodeCount)
      .def("GetNodeIds", &Element::GetNodeIds)
      .def("GetNodeIndex", &Element::GetNodeIndex, py::arg("index"), py::arg("order"))
      .def("GetNode", &Element::GetNode, py::arg("index"), py::arg("order"));
}

}  // namespace

void BindRecords(py::module_& m) {
  py::class_<ConceptType>(m, "ConceptType",
                          "The classification of a structure concept: type, role, attribute.")
      .def(py::init<TypeId, RoleId, AttributeId>(), py::arg("type"), py::arg("role") = 0,
           py::arg("attribute") = 0)
      .def(py::init([](const py::tuple& t) {
             if (t.size() != 3) throw py::value_error("ConceptType needs (type, role, attribute)");
             return ConceptType(t[0].cast<TypeId>(), t[1].cast<RoleId>(), t[2].cast<AttributeId>());
           }),
           py::arg("type_role_attribute"))
      .def("type", &ConceptType::type)
      .def("role", &ConceptType::role)
      .def("attribute", &ConceptType::attribute)
      .def("__eq__", [](const ConceptType& a, const ConceptType& b) { return a == b; })
      .def("__repr__", [](const ConceptType& t) {
        return "ConceptType(" + std::to_string(t.type()) + ", " + std::to_string(t.role()) + ", " +
               std::to_string(t.attribute()) + ")";
      });
  py::implicitly_convertible<py::tuple, ConceptType>();

  py::class_<Mass, boost::shared_ptr<Mass>>(m, "Mass",
                                            "A lumped mass: mx, my, mz and inertias ixx, iyy, izz.")
      .def(py::init<>())
      .def(py::init<double>(), py::arg("mass"), "The same mass in all three directions, no inertia.")
      .def(py::init<double, double, double, double, double, double>(), py::arg("mx"), py::arg("my"),
           py::arg("mz"), py::arg("ixx"), py::arg("iyy"), py::arg("izz"))
      .def(
          "Translational",
          [](const Mass& mass, int axis) {
            CheckDof(axis, 3);
            return mass.Translational(axis);
          },
          py::arg("axis"))
      .def(
          "Rotational",
          [](const Mass& mass, int axis) {
            CheckDof(axis, 3);
            return mass.Rotational(axis);
          },
          py::arg("axis"))
      .def("Values", &Mass::Values)
      .def("__eq__", [](const Mass& a, const Mass& b) { return a == b; });

  py::class_<EntitySet, boost::shared_ptr<EntitySet>>(m, "EntitySet",
                                                      "A named selection of node and element ids.")
      .def(py::init<>())
      .def(py::init([](const std::vector<long>& nodes, const std::vector<long>& elements) {
             auto set = boost::make_shared<EntitySet>();
             for (long n : nodes) set->AddNode(n);
             for (long e : elements) set->AddElement(e);
             return set;
           }),
           py::arg("nodes"), py::arg("elements") = std::vector<long>{})
      .def("AddNode", &EntitySet::AddNode, py::arg("node"))
      .def("AddElement", &EntitySet::AddElement, py::arg("element"))
      .def("Nodes", &EntitySet::Nodes)
      .def("Elements", &EntitySet::Elements)
      .def("__eq__", [](const EntitySet& a, const EntitySet& b) { return a == b; });

  py::class_<Hinge>(m, "Hinge", "Fixation factors ux, uy, uz, rx, ry, rz: 1 fixed, 0 released.")
      .def(py::init<>(), "Fully fixed.")
      .def(py::init([](const py::sequence& s) { return Hinge(SixNumbers(s, "Hinge")); }),
           py::arg("fixations"))
      .def(
          "Fixation",
          [](const Hinge& h, int dof) {
            CheckDof(dof, 6);
            return h.Fixation(dof);
          },
          py::arg("dof"))
      .def("Fixations", &Hinge::Fixations)
      .def("__eq__", [](const Hinge& a, const Hinge& b) { return a == b; })
      .def("__repr__", [](const Hinge& h) {
        return "Hinge(" + py::repr(py::cast(h.Fixations())).cast<std::string>() + ")";
      });

  BindLoads(m);
  BindMesh(m);
}

}  // namespace Kestrum::Quilm::Python
