// The solver bridge: deck export, solver runs and their results.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings.hpp"
#include "holders.hpp"
#include "solver/ccx/ccx_export.hpp"
#include "solver/ccx/ccx_runner.hpp"
#include "solver/shared/load_combination.hpp"

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
      .def(py::init<const ExportOptions&>(), py::arg("other"), "A copy.")
      .def_readwrite("loadCases", &ExportOptions::loadCases,
                     "Load cases in step order; empty: all, ascending.")
      .def_readwrite("frequencyCount", &ExportOptions::frequencyCount,
                     "Above 0: a frequency step for this many.")
      .def_readwrite("allowEquivalentSections", &ExportOptions::allowEquivalentSections)
      .def_readwrite("skipUnsupported", &ExportOptions::skipUnsupported)
      .def_readwrite("armStiffnessFactor", &ExportOptions::armStiffnessFactor)
      .def_readwrite("elementResults", &ExportOptions::elementResults,
                     "Also recover rotations, beam section forces, reaction moments and shell stresses.")
      .def_readwrite("combinations", &ExportOptions::combinations, "Combinations solved directly.")
      .def_readwrite("bucklingCase", &ExportOptions::bucklingCase,
                     "Above 0: a buckling step for this load case.")
      .def_readwrite("bucklingModes", &ExportOptions::bucklingModes)
      .def_readwrite("threads", &ExportOptions::threads,
                     "Threads that format the deck (0: two on a machine with two cores or more).");

  py::class_<LoadCombination>(m, "LoadCombination", "A named combination of load cases with factors.")
      .def(py::init<>())
      .def_readwrite("name", &LoadCombination::name)
      .def_readwrite("factors", &LoadCombination::factors, "[(load case, factor)]");

  py::class_<RunOptions>(m, "RunOptions", "The solver program, its threads and its working directory.")
      .def(py::init<>())
      .def_readwrite("executable", &RunOptions::executable)
      .def_readwrite("threads", &RunOptions::threads)
      .def_readwrite("workDirectory", &RunOptions::workDirectory,
                     "Empty: a fresh directory, removed afterwards.");
}

void BindDeckAndResults(py::module_& m) {
  py::class_<SolvedModel>(m, "SolvedModel",
                          "What storing and summarising a solve's results need of the model as it was solved.")
      .def(py::init<>())
      .def_readwrite("supportNodes", &SolvedModel::supportNodes)
      .def_readwrite("appliedForces", &SolvedModel::appliedForces)
      .def_readwrite("axisNodes", &SolvedModel::axisNodes,
                     "{model node: the solver's node that stands for it} (eccentric beam ends)")
      .def_readwrite("firstGeneratedNode", &SolvedModel::firstGeneratedNode,
                     "Nodes from this id on are the solver's own (0: none).");
  py::class_<CcxDeck, SolvedModel>(m, "CcxDeck", "A written solver deck and what reading its results needs.")
      .def(py::init<>())
      .def_readwrite("text", &CcxDeck::text)
      .def_readwrite("loadCaseSteps", &CcxDeck::loadCaseSteps)
      .def_readwrite("loadCaseNames", &CcxDeck::loadCaseNames)
      .def_readwrite("frequencyCount", &CcxDeck::frequencyCount)
      .def_readwrite("notes", &CcxDeck::notes)
      .def_readwrite("firstGeneratedElement", &CcxDeck::firstGeneratedElement);

  py::enum_<AnalysisKind>(m, "AnalysisKind")
      .value("LoadCase", AnalysisKind::LoadCase)
      .value("Combination", AnalysisKind::Combination)
      .value("Mode", AnalysisKind::Mode)
      .value("Buckling", AnalysisKind::Buckling)
      .value("Spectrum", AnalysisKind::Spectrum);

  py::class_<SectionForces>(m, "SectionForces", "Beam section forces in the element's local system.")
      .def_readonly("N", &SectionForces::N)
      .def_readonly("Vy", &SectionForces::Vy)
      .def_readonly("Vz", &SectionForces::Vz)
      .def_readonly("T", &SectionForces::T)
      .def_readonly("My", &SectionForces::My)
      .def_readonly("Mz", &SectionForces::Mz);
  py::class_<BeamForces>(m, "BeamForces", "Section forces at a beam's start, end and (three-node) middle.")
      .def_readonly("start", &BeamForces::start)
      .def_readonly("end", &BeamForces::end)
      .def_readonly("middle", &BeamForces::middle);
  py::class_<ShellStresses>(m, "ShellStresses", "Stresses at a shell's centre in its local system.")
      .def_readonly("thickness", &ShellStresses::thickness)
      .def_readonly("nx", &ShellStresses::nx)
      .def_readonly("ny", &ShellStresses::ny)
      .def_readonly("nxy", &ShellStresses::nxy)
      .def_readonly("mx", &ShellStresses::mx)
      .def_readonly("my", &ShellStresses::my)
      .def_readonly("mxy", &ShellStresses::mxy)
      .def_readonly("vonMisesTop", &ShellStresses::vonMisesTop)
      .def_readonly("vonMisesMiddle", &ShellStresses::vonMisesMiddle)
      .def_readonly("vonMisesBottom", &ShellStresses::vonMisesBottom);

  py::class_<StepResults>(m, "StepResults", "The results of one analysis: a load case, combination or mode.")
      .def_readonly("kind", &StepResults::kind)
      .def_readonly("loadCase", &StepResults::loadCase)
      .def_readonly("name", &StepResults::name)
      .def_readonly("mode", &StepResults::mode)
      .def_readonly("eigenvalue", &StepResults::eigenvalue,
                    "Frequency in Hz (modes), load factor (buckling).")
      .def_readonly("participation", &StepResults::participation)
      .def_readonly("effectiveMass", &StepResults::effectiveMass)
      .def_readonly("displacements", &StepResults::displacements, "{node: vec3d}")
      .def_readonly("rotations", &StepResults::rotations, "{node: vec3d}")
      .def_readonly("reactions", &StepResults::reactions, "{node: vec3d}")
      .def_readonly("reactionMoments", &StepResults::reactionMoments, "{node: vec3d}")
      .def_readonly("beamForces", &StepResults::beamForces, "{element: BeamForces}")
      .def_readonly("shellStresses", &StepResults::shellStresses, "{element: ShellStresses}")
      .def(
          "displacement_arrays", [](const StepResults& s) { return NodeVectors(s.displacements); },
          "(node ids int64 (n,), displacements float64 (n, 3)), ascending by node.")
      .def(
          "reaction_arrays", [](const StepResults& s) { return NodeVectors(s.reactions); },
          "(node ids int64 (n,), nodal forces float64 (n, 3)), ascending by node.");

  py::class_<SolveResults>(m, "SolveResults", "The results of a solver run.")
      .def_readonly("steps", &SolveResults::steps)
      .def_readonly("frequencies", &SolveResults::frequencies, "Eigenfrequencies in Hz, ascending.")
      .def_readonly("modes", &SolveResults::modes)
      .def_readonly("buckling", &SolveResults::buckling)
      .def_readonly("combinations", &SolveResults::combinations)
      .def_readonly("spectra", &SolveResults::spectra)
      .def_readonly("solverOutput", &SolveResults::solverOutput);
  BindNativeSolver(m);
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
  m.def("ParseLoadCombination", &ParseLoadCombination, py::arg("text"),
        "Reads 'NAME=1.35*1+1.5*2'; raises ValueError for anything else.");
  m.def("Superpose", &Superpose, py::arg("results"), py::arg("combination"),
        "The combination's results as the factored sum of its load cases' results.");
  m.def("ParseCcxDat", py::overload_cast<const std::string&, std::size_t, bool>(&ParseCcxDat),
        py::arg("text"), py::arg("static_steps"), py::arg("expect_frequencies"),
        "Reads the solver's printed results; raises SolverError for missing or unreadable parts.");
}

}  // namespace Kestrum::Quilm::Python
