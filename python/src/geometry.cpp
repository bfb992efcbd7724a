// Geometry: pos3d, vec3d, locsys3d and line3d. Points and vectors also
// accept a tuple or list of three numbers wherever one is expected.
#include "geometry/geometry.hpp"

#include <pybind11/operators.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <sstream>

#include "bindings.hpp"

namespace Kestrum::Quilm::Python {

namespace {

// A Python number as a double; anything else raises TypeError.
double Number(py::handle value) {
  const double number = PyFloat_AsDouble(value.ptr());
  if (number == -1.0 && PyErr_Occurred()) throw py::error_already_set();
  return number;
}

std::array<double, 3> ThreeNumbers(const py::sequence& s, const char* what) {
  if (py::len(s) != 3) throw py::value_error(std::string(what) + " needs three numbers");
  return {Number(s[0]), Number(s[1]), Number(s[2])};
}

// The implicit conversion of a point or vector from a tuple, a list or a
// NumPy row of three numbers. A tuple or a NumPy row that is no such thing
// is refused in one line naming the type; a list that is not may be
// another parameter's (a list of ids), so it is left to the other overloads.
template <class T>
struct FromSequence {
  static const char* name;

  static PyObject* Convert(PyObject* object, PyTypeObject*) {
    static bool busy = false;  // the conversion below must not come back here
    if (busy) return nullptr;
    const bool strict = PyTuple_Check(object) || IsArray(object);
    if (!strict && !PyList_Check(object)) return nullptr;
    busy = true;
    struct Reset {
      ~Reset() { busy = false; }
    } reset;
    const Py_ssize_t size = PySequence_Size(object);
    std::array<double, 3> v{};
    bool ok = size == 3;
    for (Py_ssize_t i = 0; ok && i < 3; ++i) {
      py::object item = py::reinterpret_steal<py::object>(PySequence_GetItem(object, i));
      v[i] = item ? PyFloat_AsDouble(item.ptr()) : -1.0;
      ok = !PyErr_Occurred();
    }
    if (ok) return py::cast(T(v[0], v[1], v[2])).release().ptr();
    PyErr_Clear();
    if (!strict) return nullptr;
    throw py::type_error(std::string(name) + " needs three numbers (x, y, z), got " + OneLine(object));
  }

  // The object's repr on one line (a NumPy array's spans several), cut short.
  static std::string OneLine(PyObject* object) {
    std::string text;
    for (char c : py::repr(py::handle(object)).cast<std::string>()) {
      if (c == '\n' || c == ' ') {
        if (!text.empty() && text.back() != ' ') text += ' ';
      } else {
        text += c;
      }
    }
    return text.size() > 80 ? text.substr(0, 77) + "..." : text;
  }

  static bool IsArray(PyObject* object) {
    return PySequence_Check(object) && PyObject_HasAttrString(object, "__array_interface__");
  }
};
template <class T>
const char* FromSequence<T>::name = "";

template <class T>
std::string Repr(const char* name, const T& v) {
  std::ostringstream out;
  out.precision(17);
  out << name << "(" << v.x << ", " << v.y << ", " << v.z << ")";
  return out.str();
}

// The parts common to points and vectors: x, y, z, unpacking, indexing,
// equality, pickling and construction from a sequence.
template <class T>
void BindTriple(py::class_<T>& c, const char* name) {
  c.def(py::init<>())
      .def(py::init<double, double, double>(), py::arg("x"), py::arg("y"), py::arg("z"))
      .def(py::init([name](const py::sequence& s) {
             auto v = ThreeNumbers(s, name);
             return T(v[0], v[1], v[2]);
           }),
           py::arg("xyz"), "From a sequence of three numbers.")
      .def_readwrite("x", &T::x)
      .def_readwrite("y", &T::y)
      .def_readwrite("z", &T::z)
      .def("__len__", [](const T&) { return 3; })
      .def("__getitem__",
           [](const T& v, long i) {
             if (i < 0) i += 3;
             if (i < 0 || i > 2) throw py::index_error("index out of range");
             return i == 0 ? v.x : i == 1 ? v.y : v.z;
           })
      .def("__iter__", [](const T& v) { return py::iter(py::make_tuple(v.x, v.y, v.z)); })
      .def("__repr__", [name](const T& v) { return Repr(name, v); })
      .def(py::self == py::self)
      .def(py::self != py::self)
      .def("__hash__", [](const T& v) { return py::hash(py::make_tuple(v.x, v.y, v.z)); })
      .def(py::pickle([](const T& v) { return py::make_tuple(v.x, v.y, v.z); },
                      [](const py::tuple& t) {
                        return T(t[0].cast<double>(), t[1].cast<double>(), t[2].cast<double>());
                      }));
  FromSequence<T>::name = name;
  py::detail::get_type_info(typeid(T))->implicit_conversions.push_back(&FromSequence<T>::Convert);
}

}  // namespace

void BindGeometry(py::module_& m) {
  m.attr("GEOMETRY_TOLERANCE") = kGeometryTolerance;

  py::class_<pos3d> pos(m, "pos3d", "A point in space (x, y, z); exact == compares without tolerance.");
  BindTriple(pos, "pos3d");
  pos.def("isEqual", &pos3d::isEqual, py::arg("other"), "Equality within the geometry tolerance.")
      .def(py::self + py::self)
      .def(py::self / double())
      .def(
          "__add__", [](const pos3d& p, const vec3d& v) { return pos3d(p) += v; }, py::is_operator())
      .def(
          "__iadd__", [](pos3d& p, const vec3d& v) -> pos3d& { return p += v; }, py::is_operator());

  py::class_<vec3d> vec(m, "vec3d", "A free vector (x, y, z).");
  BindTriple(vec, "vec3d");
  vec.def(py::init<const pos3d&, const pos3d&>(), py::arg("start"), py::arg("end"),
          "The vector from `start` to `end` (end - start).")
      .def("dot", &vec3d::dot, py::arg("other"))
      .def("cross", &vec3d::cross, py::arg("other"), "The right-handed product self x other.")
      .def("length", &vec3d::length)
      .def("normalise", &vec3d::normalise, py::return_value_policy::reference_internal,
           "Scales to length 1 in place and returns self; a zero vector stays as it is.")
      .def(
          "isZero", [](const vec3d& v) { return isZero(v); }, "Every component within the tolerance of 0.")
      .def(-py::self)
      .def(py::self + py::self)
      .def(py::self - py::self)
      .def(py::self * double())
      .def(double() * py::self)
      .def(py::self += py::self)
      .def(py::self *= double());

  py::class_<locsys3d>(m, "locsys3d",
                       "A right-handed orthonormal coordinate system given by its x and z axes.")
      .def(py::init<>(), "The global system.")
      .def(py::init<const vec3d&, const vec3d&>(), py::arg("x_axis"), py::arg("z_axis"),
           "x keeps the direction of `x_axis`; z is `z_axis` made perpendicular to x. Raises "
           "GeometryError for a zero or parallel pair.")
      .def("x", &locsys3d::x)
      .def("y", &locsys3d::y)
      .def("z", &locsys3d::z)
      .def("isEqual", &locsys3d::isEqual, py::arg("other"), "All three axes equal within the tolerance.")
      .def("__repr__", [](const locsys3d& s) {
        return "locsys3d(x=" + Repr("vec3d", s.x()) + ", z=" + Repr("vec3d", s.z()) + ")";
      });

  py::class_<line3d>(m, "line3d", "The infinite line through two points.")
      .def(py::init<const pos3d&, const pos3d&>(), py::arg("end1"), py::arg("end2"))
      .def("end1", &line3d::end1)
      .def("end2", &line3d::end2)
      .def(
          "project",
          [](const line3d& line, const pos3d& p) {
            pos3d foot;
            double distance = 0.0, parameter = 0.0;
            line.project(p, foot, distance, parameter);
            return py::make_tuple(foot, distance, parameter);
          },
          py::arg("point"),
          "(foot, distance, parameter): the foot of the perpendicular from `point`, its distance from "
          "the line and the foot's position along it (0 at end1, 1 at end2). Raises GeometryError for "
          "coincident ends.");
}

}  // namespace Kestrum::Quilm::Python
