// The solver bridge: deck export, solver runs and their results.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings.hpp"
#include "holders.hpp"
#include "solver/ccx_export.hpp"
#include "solver/ccx_runner.hpp"

namespace Kestrum::Quilm::Python {

using namespace Solver;

namespace {

// A map of node -> vector as (ids int64 (n,), values float64 (n, 3)).
py::tuple NodeVectors(const std::map<long, vec3d>& values) {
  const auto n = static_cast<py::ssize_t>(values.size());
  py::array_t<long> ids(n);
  py::array_t<double> vectors({n, py::ssize_t{3}});
  long* id = ids.mutable_data();
  double* v = vectors.mutable_data();
  for (const auto& [node, value] : values) {
    *id++ = node;
    *v++ = value.x;
    *v++ = value.y;
    *v++ = value.z;
  }
  return py::make_tuple(ids, vectors);
}

void BindOptions(py::module_& m) {
  py::class_<ExportOptions>(m, "ExportOptions", "What the deck holds and how unsupported records are met.")
      .def(py::init<>())
      .def_readwrite("loadCases", &ExportOptions::loadCases,
                     "Load cases in step order; empty: all, ascending.")
      .def_readwrite("frequencyCount", &ExportOptions::frequencyCount,
                     "Above 0: a frequency step for this many.")
      .def_readwrite("allowEquivalentSections", &ExportOptions::allowEquivalentSections)
      .def_readwrite("skipUnsupported", &ExportOptions::skipUnsupported)
      .def_readwrite("armStiffnessFactor", &ExportOptions::armStiffnessFactor);

  py::class_<RunOptions>(m, "RunOptions", "The solver program, its threads and its working directory.")
      .def(py::init<>())
      .def_readwrite("executable", &RunOptions::executable)
      .def_readwrite("threads", &RunOptions::threads)
      .def_readwrite("workDirectory", &RunOptions::workDirectory,
                     "Empty: a fresh directory, removed afterwards.");
}

void BindDeckAndResults(py::module_& m) {
  py::class_<CcxDeck>(m, "CcxDeck", "A written solver deck and what reading its results needs.")
      .def(py::init<>())
      .def_readwrite("text", &CcxDeck::text)
      .def_readwrite("loadCaseSteps", &CcxDeck::loadCaseSteps)
      .def_readwrite("loadCaseNames", &CcxDeck::loadCaseNames)
      .def_readwrite("frequencyCount", &CcxDeck::frequencyCount)
      .def_readwrite("notes", &CcxDeck::notes)
      .def_readwrite("supportNodes", &CcxDeck::supportNodes)
      .def_readwrite("axisNodes", &CcxDeck::axisNodes)
      .def_readwrite("firstGeneratedNode", &CcxDeck::firstGeneratedNode)
      .def_readwrite("firstGeneratedElement", &CcxDeck::firstGeneratedElement);

  py::class_<StepResults>(m, "StepResults", "The results of one static step (one load case).")
      .def_readonly("loadCase", &StepResults::loadCase)
      .def_readonly("name", &StepResults::name)
      .def_readonly("displacements", &StepResults::displacements, "{node: vec3d}")
      .def_readonly("reactions", &StepResults::reactions, "{node: vec3d}")
      .def(
          "displacement_arrays", [](const StepResults& s) { return NodeVectors(s.displacements); },
          "(node ids int64 (n,), displacements float64 (n, 3)), ascending by node.")
      .def(
          "reaction_arrays", [](const StepResults& s) { return NodeVectors(s.reactions); },
          "(node ids int64 (n,), nodal forces float64 (n, 3)), ascending by node.");

  py::class_<SolveResults>(m, "SolveResults", "The results of a solver run.")
      .def_readonly("steps", &SolveResults::steps)
      .def_readonly("frequencies", &SolveResults::frequencies, "Eigenfrequencies in Hz, ascending.")
      .def_readonly("solverOutput", &SolveResults::solverOutput);
}

}  // namespace

void BindSolver(py::module_& m) {
  BindOptions(m);
  BindDeckAndResults(m);
  m.def("ExportCcxDeck", py::overload_cast<AnalysisModel::XafModel&, const ExportOptions&>(&ExportCcxDeck),
        py::arg("model"), py::arg("options") = ExportOptions(),
        "Writes the solver deck of the model (only read). Raises ExportError naming every record the "
        "solver cannot take.");
  // The run waits for the solver process on copies of its arguments and
  // touches no Python object, so other Python threads may run meanwhile.
  m.def(
      "RunSolver",
      [](CcxDeck deck, RunOptions options) {
        py::gil_scoped_release release;
        return RunSolver(deck, options);
      },
      py::arg("deck"), py::arg("options") = RunOptions(),
      "Runs the solver on the deck and reads its results; raises SolverError when it fails.");
  m.def("FindSolver", &FindSolver, py::arg("executable") = "ccx",
        "The full path of the solver program, or None when it is not found.");
  m.def("ParseCcxDat", &ParseCcxDat, py::arg("text"), py::arg("static_steps"), py::arg("expect_frequencies"),
        "Reads the solver's printed results; raises SolverError for missing or unreadable parts.");
}

}  // namespace Kestrum::Quilm::Python
