// Whole tables of the analysis model as numpy arrays, filled in C++ without
// a Python-level loop. They read through the model's public look-ups, one
// per row, so a trace sink sees one event per row read.
//
// Stored results (displacements and reactions kept in the model file) are
// not part of the model yet; when they are, their arrays belong here, read
// the same way as the mesh tables.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>

#include "analysis_model/xaf_model.hpp"
#include "bindings.hpp"
#include "holders.hpp"
#include "id_runs.hpp"

namespace Kestrum::Quilm::Python {

using namespace AnalysisModel;

namespace {

// Widest element the model stores (the four-node shell).
constexpr py::ssize_t kConnectivityWidth = 4;

py::array_t<long> NodeIds(XafModel& model) {
  const auto& ids = model.Nodes().GetNodeIds();
  py::array_t<long> out(static_cast<py::ssize_t>(ids.size()));
  long* data = out.mutable_data();
  ForEachId(ids, [&data](long id) { *data++ = id; });
  return out;
}

py::array_t<double> NodeCoordinates(XafModel& model) {
  const auto& ids = model.Nodes().GetNodeIds();
  py::array_t<double> out({static_cast<py::ssize_t>(ids.size()), py::ssize_t{3}});
  double* data = out.mutable_data();
  const XafConnectivityManager& connectivity = model.GetConnectivityManager();
  ForEachId(ids, [&data, &connectivity](long id) {
    const pos3d p = connectivity.GetNodeById(id).GetPos();
    data[0] = p.x;
    data[1] = p.y;
    data[2] = p.z;
    data += 3;
  });
  return out;
}

py::array_t<long> ElementIds(XafModel& model) {
  const std::vector<long> ids = model.Elements().GetElementIds();
  return py::array_t<long>(static_cast<py::ssize_t>(ids.size()), ids.data());
}

py::array_t<int> ElementTypes(XafModel& model) {
  const std::vector<long> ids = model.Elements().GetElementIds();
  py::array_t<int> out(static_cast<py::ssize_t>(ids.size()));
  int* data = out.mutable_data();
  const XafConnectivityManager& connectivity = model.GetConnectivityManager();
  for (long id : ids) *data++ = connectivity.GetElementById(id).GetElementType().Number();
  return out;
}

py::array_t<long> ElementConnectivity(XafModel& model, Element::SortOrder order) {
  const std::vector<long> ids = model.Elements().GetElementIds();
  py::array_t<long> out({static_cast<py::ssize_t>(ids.size()), kConnectivityWidth});
  long* data = out.mutable_data();
  std::fill(data, data + out.size(), 0L);
  const XafConnectivityManager& connectivity = model.GetConnectivityManager();
  for (long id : ids) {
    const Element element = connectivity.GetElementById(id);
    const unsigned n = std::min<unsigned>(element.NodeCount(), kConnectivityWidth);
    for (unsigned i = 0; i < n; ++i) data[i] = element.GetNode(i, order);
    data += kConnectivityWidth;
  }
  return out;
}

}  // namespace

void BindTables(py::module_& m) {
  auto model = py::reinterpret_borrow<py::class_<XafModel, boost::shared_ptr<XafModel>>>(m.attr("XafModel"));
  model.def("node_ids", &NodeIds, "The node ids, ascending: int64 array of shape (n,).")
      .def("node_coordinates", &NodeCoordinates,
           "The node positions: float64 array of shape (n, 3), row i for node_ids()[i].")
      .def("element_ids", &ElementIds, "The element ids, ascending: int64 array of shape (m,).")
      .def("element_types", &ElementTypes, "The element type numbers: int32 array of shape (m,).")
      .def("element_connectivity", &ElementConnectivity, py::arg("order") = Element::Stored,
           "The node ids of every element: int64 array of shape (m, 4), row i for element_ids()[i], "
           "in `order` (stored or geometric); rows of elements with fewer nodes end in zeros.");
}

}  // namespace Kestrum::Quilm::Python
