// The binding functions of the module, one per area, in the order in which
// module.cpp calls them (a class must be bound before signatures use it).
#pragma once

#include <pybind11/pybind11.h>

namespace Kestrum::Quilm::Python {

namespace py = pybind11;

void BindErrors(py::module_& m);
void BindGeometry(py::module_& m);
void BindDefinitions(py::module_& m);
void BindRecords(py::module_& m);
void BindResults(py::module_& m);
void BindAnalysisModel(py::module_& m);
void BindTables(py::module_& m);
void BindTrace(py::module_& m);
void BindMirrorCore(py::module_& m);
void BindMirrorProperties(py::module_& m);
void BindMirrorBeams(py::module_& m);
void BindMirrorPlatesAndLoads(py::module_& m);
void BindSolver(py::module_& m);
// The native solver, storing a solve's results and keying them by model
// nodes; called by BindSolver once the shared results types are bound.
void BindNativeSolver(py::module_& m);

}  // namespace Kestrum::Quilm::Python
