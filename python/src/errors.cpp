// The library's exceptions as Python exception classes.
//
// A Python exception raised in an overridden method crosses the library as
// pybind11's error_already_set and is restored unchanged when it reaches
// Python again, so it needs no translation here.
#include <pybind11/pybind11.h>

#include "analysis_model/xaf_model.hpp"
#include "bindings.hpp"
#include "geometry/geometry.hpp"
#include "solver/ccx/ccx_results.hpp"
#include "solver/ccx/deck_format.hpp"
#include "solver/native/native_memory.hpp"
#include "storage/database_handle.hpp"

namespace Kestrum::Quilm::Python {

namespace {

template <class CppError>
py::handle Register(py::module_& m, const char* name, py::handle base, const char* doc) {
  auto& error = py::register_exception<CppError>(m, name, base);
  error.attr("__doc__") = doc;
  return error;
}

}  // namespace

void BindErrors(py::module_& m) {
  Register<AnalysisModel::ModelError>(m, "ModelError", PyExc_RuntimeError,
                                      "A failure of the analysis model: an unknown id, a bad argument, "
                                      "an unreadable file, a write to a read-only model.");
  Register<GeometryError>(m, "GeometryError", PyExc_ValueError,
                          "A construction without geometric answer: a zero axis, parallel axes, "
                          "a line through coincident points.");
  py::handle solverError = Register<Solver::SolverError>(m, "SolverError", PyExc_RuntimeError,
                                                         "A failed solve, or results that cannot be read.");
  Register<Solver::ExportError>(m, "ExportError", solverError,
                                "A model that the solver deck cannot represent (a kind of SolverError).");
  Register<Solver::NativeMemoryError>(m, "NativeMemoryError", solverError,
                                      "A solve refused before its factorisation: the estimate does not fit the "
                                      "memory allowed (a kind of SolverError; the message gives the figures).");
  Register<Core::StorageError>(m, "StorageError", PyExc_RuntimeError,
                               "A failure of the persistent store behind the mirror objects' containers.");
}

}  // namespace Kestrum::Quilm::Python
