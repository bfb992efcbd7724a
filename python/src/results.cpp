// Stored analysis results: the result manager of a model, its analyses, and
// whole quantities as NumPy arrays (ids, offsets and values, with the values
// also as a 2-D array when every entity has the same number of them).
#include <pybind11/numpy.h>

#include <algorithm>
#include <cstdint>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "analysis_model/xaf_model.hpp"
#include "bindings.hpp"

namespace Kestrum::Quilm::Python {

using namespace AnalysisModel;

namespace {

template <class T>
py::array_t<T> ArrayOf(const std::vector<T>& v) {
  return py::array_t<T>(static_cast<py::ssize_t>(v.size()), v.data());
}

// Ids as int64, like every id array of the module (the mesh tables'
// included), whatever width the model stores them in.
py::array_t<std::int64_t> IdsOf(const std::vector<std::int32_t>& ids) {
  py::array_t<std::int64_t> out(static_cast<py::ssize_t>(ids.size()));
  std::copy(ids.begin(), ids.end(), out.mutable_data());
  return out;
}

// (ids, values): values shaped (entities, values per entity) when every
// entity has as many, else the flat values with the offsets as a third item.
py::tuple ArraysOf(const ResultArray& a) {
  const std::size_t n = a.Size();
  bool uniform = true;
  for (std::size_t i = 1; i < n && uniform; ++i)
    uniform = a.offsets[i + 1] - a.offsets[i] == a.offsets[1] - a.offsets[0];
  py::array_t<double> values = ArrayOf(a.values);
  if (uniform) {
    const py::ssize_t width = n ? static_cast<py::ssize_t>(a.offsets[1]) : 0;
    return py::make_tuple(IdsOf(a.ids), values.reshape({static_cast<py::ssize_t>(n), width}));
  }
  return py::make_tuple(IdsOf(a.ids), values, ArrayOf(a.offsets));
}

}  // namespace

void BindResults(py::module_& m) {
  py::enum_<AnalysisKind>(m, "StoredAnalysisKind", "The kind of a stored analysis (XafModel.Results()).")
      .value("LoadCase", AnalysisKind::LoadCase)
      .value("Combination", AnalysisKind::Combination)
      .value("Mode", AnalysisKind::Mode)
      .value("Buckling", AnalysisKind::Buckling)
      .value("Spectrum", AnalysisKind::Spectrum);
  py::enum_<ResultQuantity>(m, "ResultQuantity",
                            "NodeMotion: ux uy uz rx ry rz per node; NodeReaction: Fx Fy Fz Mx My Mz per supported "
                            "node; BeamForces: N Vy Vz T My Mz per beam end (and middle); ShellStress: von Mises "
                            "at top, middle, bottom per shell. SI units.")
      .value("NodeMotion", ResultQuantity::NodeMotion)
      .value("NodeReaction", ResultQuantity::NodeReaction)
      .value("BeamForces", ResultQuantity::BeamForces)
      .value("ShellStress", ResultQuantity::ShellStress);
  py::class_<ResultAnalysis>(m, "ResultAnalysis", "One stored analysis.")
      .def_readonly("id", &ResultAnalysis::id)
      .def_readonly("kind", &ResultAnalysis::kind)
      .def_readonly("number", &ResultAnalysis::number)
      .def_readonly("name", &ResultAnalysis::name)
      .def_readonly("value", &ResultAnalysis::value, "frequency (Hz) of a mode, load factor of a buckling shape")
      .def_readonly("stale", &ResultAnalysis::stale, "True once the model changed after the results were stored")
      .def("__repr__", [](const ResultAnalysis& a) {
        return "<ResultAnalysis " + std::to_string(a.id) + ": " + AnalysisKindName(a.kind) + " " +
               std::to_string(a.number) + " '" + a.name + "'" + (a.stale ? " stale" : "") + ">";
      });
  py::class_<XafResultManager, std::unique_ptr<XafResultManager, py::nodelete>>(
      m, "XafResultManager", "The results stored with a model (XafModel.Results()).")
      .def("GetAnalyses", &XafResultManager::GetAnalyses)
      .def("GetAnalysis", &XafResultManager::GetAnalysis, py::arg("analysis"))
      .def("FindAnalysis", &XafResultManager::FindAnalysis, py::arg("kind"), py::arg("number"),
           "The id of the analysis of this kind and number; -1 for none.")
      .def("IsStale", &XafResultManager::IsStale, py::arg("analysis"))
      .def("GetModelFingerprint", &XafResultManager::GetModelFingerprint,
           "The model's fingerprint now: take it when a solver reads the model and store its results with it.")
      .def("GetValues", &XafResultManager::GetValues, py::arg("analysis"), py::arg("quantity"), py::arg("entity"))
      .def(
          "GetArrays", [](const XafResultManager& r, long analysis, ResultQuantity q) { return ArraysOf(r.GetArray(analysis, q)); },
          py::arg("analysis"), py::arg("quantity"),
          "(ids, values) of a quantity for the whole model, ids ascending; values shaped (entities, values "
          "per entity), or flat with the offsets as a third item when entities differ in size.")
      .def("AddAnalysis",
           py::overload_cast<AnalysisKind, long, const std::string&, double>(&XafResultManager::AddAnalysis),
           py::arg("kind"), py::arg("number"), py::arg("name"), py::arg("value") = 0.0)
      .def("SetValues", &XafResultManager::SetValues, py::arg("analysis"), py::arg("quantity"), py::arg("entity"),
           py::arg("values"))
      .def("DeleteAnalysis", &XafResultManager::DeleteAnalysis, py::arg("analysis"))
      .def("Clear", &XafResultManager::Clear);
}

}  // namespace Kestrum::Quilm::Python
