// Definitions: materials, beam sections and element types.
#include "definitions/definitions.hpp"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings.hpp"
#include "holders.hpp"

namespace Kestrum::Quilm::Python {

void BindDefinitions(py::module_& m) {
  py::class_<qlMaterial, boost::shared_ptr<qlMaterial>>(
      m, "qlMaterial", "An isotropic linear-elastic material (units of the model, SI: Pa, kg/m3, 1/K).")
      .def(py::init<double, double, double, double, double>(), py::arg("youngs_modulus"),
           py::arg("poissons_ratio"), py::arg("density"), py::arg("thermal_expansion") = 0.0,
           py::arg("damping_ratio") = 0.0, "Raises ValueError for values that describe no material.")
      .def("YoungsModulus", &qlMaterial::YoungsModulus)
      .def("PoissonsRatio", &qlMaterial::PoissonsRatio)
      .def("ShearModulus", &qlMaterial::ShearModulus)
      .def("Density", &qlMaterial::Density)
      .def("ThermalExpansion", &qlMaterial::ThermalExpansion)
      .def("DampingRatio", &qlMaterial::DampingRatio)
      .def("IsEqual", &qlMaterial::IsEqual, py::arg("other"))
      .def("IsBefore", &qlMaterial::IsBefore, py::arg("other"))
      .def("Describe", &qlMaterial::Describe)
      .def("__eq__", [](const qlMaterial& a, const qlMaterial& b) { return a == b; })
      .def("__lt__", [](const qlMaterial& a, const qlMaterial& b) { return a < b; })
      .def("__repr__", [](const qlMaterial& a) { return "qlMaterial(" + a.Describe() + ")"; });

  py::class_<qlSectionProperties>(m, "qlSectionProperties",
                                  "Area, second moments, torsion constant, shear areas.")
      .def(py::init<>())
      .def(py::init([](double area, double iy, double iz, double it, double shearAreaY, double shearAreaZ) {
             return qlSectionProperties{area, iy, iz, it, shearAreaY, shearAreaZ};
           }),
           py::arg("area"), py::arg("iy"), py::arg("iz"), py::arg("it"), py::arg("shear_area_y"),
           py::arg("shear_area_z"))
      .def_readwrite("area", &qlSectionProperties::area)
      .def_readwrite("iy", &qlSectionProperties::iy)
      .def_readwrite("iz", &qlSectionProperties::iz)
      .def_readwrite("it", &qlSectionProperties::it)
      .def_readwrite("shearAreaY", &qlSectionProperties::shearAreaY)
      .def_readwrite("shearAreaZ", &qlSectionProperties::shearAreaZ);

  py::class_<qlSection, boost::shared_ptr<qlSection>> section(
      m, "qlSection",
      "A beam cross-section; made by the factories Pipe, IProfile, Box, Rectangle and General, which "
      "raise ValueError for dimensions that describe no section.");
  py::enum_<qlSection::Kind>(section, "Kind")
      .value("Pipe", qlSection::Kind::Pipe)
      .value("IProfile", qlSection::Kind::IProfile)
      .value("Box", qlSection::Kind::Box)
      .value("Rectangle", qlSection::Kind::Rectangle)
      .value("General", qlSection::Kind::General);
  section.def_static("Pipe", &qlSection::Pipe, py::arg("outer_diameter"), py::arg("wall_thickness"))
      .def_static("IProfile", &qlSection::IProfile, py::arg("height"), py::arg("width"),
                  py::arg("web_thickness"), py::arg("flange_thickness"))
      .def_static("Box", &qlSection::Box, py::arg("height"), py::arg("width"), py::arg("web_thickness"),
                  py::arg("flange_thickness"))
      .def_static("Rectangle", &qlSection::Rectangle, py::arg("height"), py::arg("width"))
      .def_static("General", &qlSection::General, py::arg("properties"))
      .def("GetKind", &qlSection::GetKind)
      .def("Dimension", &qlSection::Dimension, py::arg("index"))
      .def("Properties", &qlSection::Properties)
      .def("IsEqual", &qlSection::IsEqual, py::arg("other"))
      .def("IsBefore", &qlSection::IsBefore, py::arg("other"))
      .def("Describe", &qlSection::Describe)
      .def("__eq__", [](const qlSection& a, const qlSection& b) { return a == b; })
      .def("__lt__", [](const qlSection& a, const qlSection& b) { return a < b; })
      .def("__repr__", [](const qlSection& s) { return "qlSection." + s.Describe(); });

  // The predefined types are static objects: Python refers to them, never owns them.
  const auto ref = py::return_value_policy::reference;
  py::class_<qlElementType, std::unique_ptr<qlElementType, py::nodelete>> type(
      m, "qlElementType",
      "An element type: 1 point, 15 two-node beam, 23 three-node beam, 24 four-node shell, 25 "
      "three-node shell.");
  py::enum_<enum qlElementType::Shape>(m, "ElementShape",
                                       "Shapes of element types: the numbers qlElementType.Shape() answers.")
      .value("Point", qlElementType::Point)
      .value("Line", qlElementType::Line)
      .value("Surface", qlElementType::Surface)
      .value("Solid", qlElementType::Solid);
  type.def_static("FromNumber", &qlElementType::FromNumber, py::arg("number"), ref,
                  "Raises ValueError for an unknown number.")
      .def_static("PointElement", &qlElementType::PointElement, ref)
      .def_static("Beam2", &qlElementType::Beam2, ref)
      .def_static("Beam3", &qlElementType::Beam3, ref)
      .def_static("Shell3", &qlElementType::Shell3, ref)
      .def_static("Shell4", &qlElementType::Shell4, ref)
      .def_static("All", &qlElementType::All, ref)
      .def("Number", &qlElementType::Number)
      .def("Shape", &qlElementType::Shape)
      .def("NodeCount", &qlElementType::NodeCount)
      .def("Name", &qlElementType::Name)
      .def(
          "GeometricIndex",
          [](const qlElementType& t, unsigned position) {
            if (position >= t.NodeCount()) throw py::index_error("position outside the element's nodes");
            return t.GeometricIndex(position);
          },
          py::arg("position"), "Stored index of the node at `position` in geometric order.")
      .def("__eq__", [](const qlElementType& a, const qlElementType& b) { return a == b; })
      .def("__hash__", [](const qlElementType& t) { return t.Number(); })
      .def("__repr__", [](const qlElementType& t) {
        return "qlElementType(" + std::to_string(t.Number()) + ", " + t.Name() + ")";
      });
}

}  // namespace Kestrum::Quilm::Python
