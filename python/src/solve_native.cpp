// The native solver, storing a solve's results in the model, and a solve's
// results keyed by the model's nodes.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <limits>
#include <set>

#include "bindings.hpp"
#include "solver/native/native_dynamics.hpp"
#include "solver/native/native_solver.hpp"
#include "solver/shared/store_results.hpp"

namespace Kestrum::Quilm::Python {

using namespace Solver;

namespace {

// `values` with only the nodes in `modelNodes`, and with every one of them:
// a node the solver gave no value (one it left out, such as an eccentric
// beam end printed at its axis point) gets NaN components.
void KeepModelNodes(std::map<long, vec3d>& values, const std::set<long>& modelNodes) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (auto it = values.begin(); it != values.end();) it = modelNodes.count(it->first) ? std::next(it) : values.erase(it);
  for (const long node : modelNodes) values.emplace(node, vec3d(nan, nan, nan));
}

// Reactions exist only at supports: the solver's own nodes are dropped,
// no node is added.
void DropOtherNodes(std::map<long, vec3d>& values, const std::set<long>& modelNodes) {
  for (auto it = values.begin(); it != values.end();) it = modelNodes.count(it->first) ? std::next(it) : values.erase(it);
}

SolveResults KeyByModelNodes(SolveResults results, const std::vector<long>& nodeIds) {
  const std::set<long> modelNodes(nodeIds.begin(), nodeIds.end());
  for (auto* steps : {&results.steps, &results.modes, &results.buckling, &results.combinations, &results.spectra})
    for (StepResults& step : *steps) {
      KeepModelNodes(step.displacements, modelNodes);
      if (!step.rotations.empty()) KeepModelNodes(step.rotations, modelNodes);
      DropOtherNodes(step.reactions, modelNodes);
      DropOtherNodes(step.reactionMoments, modelNodes);
    }
  return results;
}

void BindMemory(py::module_& m) {
  py::enum_<FactorStorage>(m, "FactorStorage")
      .value("Automatic", FactorStorage::Automatic)
      .value("InCore", FactorStorage::InCore)
      .value("OutOfCore", FactorStorage::OutOfCore);
  py::class_<NativeMemoryOptions>(m, "NativeMemoryOptions", "Where the factors go and the memory they may take.")
      .def(py::init<>())
      .def_readwrite("storage", &NativeMemoryOptions::storage)
      .def_readwrite("outOfCoreFolder", &NativeMemoryOptions::outOfCoreFolder,
                     "Folder for the factors out of core; empty: $TMPDIR, else /tmp.")
      .def_readwrite("limitMegabytes", &NativeMemoryOptions::limitMegabytes,
                     "The memory the factorisation may take (MB); 0: what is available.");
}

void BindNative(py::module_& m) {
  BindMemory(m);
  py::class_<NativeOptions>(m, "NativeOptions", "What the native solver solves.")
      .def(py::init<>())
      .def(py::init<const NativeOptions&>(), py::arg("other"), "A copy.")
      .def_readwrite("loadCases", &NativeOptions::loadCases, "Load cases in this order; empty: all, ascending.")
      .def_readwrite("combinations", &NativeOptions::combinations, "Combinations, superposed from their load cases.")
      .def_readwrite("beamStations", &NativeOptions::beamStations,
                     "Stations along each beam for section forces, ends included (0: none, else at least 2).")
      .def_readwrite("memory", &NativeOptions::memory, "In memory or out of core, and the memory allowed.");
  py::class_<NativeStatistics>(m, "NativeStatistics", "Figures of a native solve.")
      .def_readonly("equations", &NativeStatistics::equations)
      .def_readonly("matrixEntries", &NativeStatistics::matrixEntries)
      .def_readonly("factorEntries", &NativeStatistics::factorEntries)
      .def_readonly("factorMegabytes", &NativeStatistics::factorMegabytes)
      .def_readonly("readSeconds", &NativeStatistics::readSeconds)
      .def_readonly("assembleSeconds", &NativeStatistics::assembleSeconds)
      .def_readonly("factoriseSeconds", &NativeStatistics::factoriseSeconds)
      .def_readonly("solveSeconds", &NativeStatistics::solveSeconds)
      .def_readonly("recoverSeconds", &NativeStatistics::recoverSeconds)
      .def_readonly("outOfCore", &NativeStatistics::outOfCore)
      .def_readonly("diskMegabytes", &NativeStatistics::diskMegabytes);
  py::class_<NativeSolve>(m, "NativeSolve", "The results of a native solve and what storing them needs.")
      .def_readonly("results", &NativeSolve::results)
      .def_readonly("solved", &NativeSolve::solved)
      .def_readonly("fingerprint", &NativeSolve::fingerprint, "The model's fingerprint when it was read.")
      .def_readonly("notes", &NativeSolve::notes)
      .def_readonly("statistics", &NativeSolve::statistics);
  // The model is read with the GIL held: a Python trace sink may be attached.
  m.def("SolveNative", &SolveNative, py::arg("model"), py::arg("options") = NativeOptions(),
        "Solves the model (only read) with the native solver; raises SolverError naming what cannot be "
        "analysed.");
}

void BindDynamics(py::module_& m) {
  py::enum_<NativeMassForm>(m, "NativeMassForm")
      .value("Consistent", NativeMassForm::Consistent)
      .value("Lumped", NativeMassForm::Lumped);
  py::class_<ModeOptions>(m, "ModeOptions", "Which modes the native solver finds, and the mass it uses.")
      .def(py::init<>())
      .def_readwrite("count", &ModeOptions::count, "The lowest modes, at least this many.")
      .def_readwrite("upToHertz", &ModeOptions::upToHertz, "Every mode up to this frequency (Hz); 0: none.")
      .def_readwrite("massShare", &ModeOptions::massShare,
                     "Modes until their effective mass reaches this share in massDirections; 0: none.")
      .def_readwrite("massDirections", &ModeOptions::massDirections, "x, y, z, rx, ry, rz")
      .def_readwrite("maxModes", &ModeOptions::maxModes)
      .def_readwrite("mass", &ModeOptions::mass)
      .def_readwrite("loadsAsMass", &ModeOptions::loadsAsMass, "[(load case, factor)]: loads along gravity as mass.")
      .def_readwrite("beamStations", &ModeOptions::beamStations)
      .def_readwrite("memory", &ModeOptions::memory);
  py::class_<ModalMass>(m, "ModalMass", "Total and captured mass per direction (x, y, z, rx, ry, rz).")
      .def_readonly("total", &ModalMass::total)
      .def_readonly("captured", &ModalMass::captured);
  py::class_<NativeModes>(m, "NativeModes", "Modes: frequencies, shapes, participation and their results.")
      .def_readonly("results", &NativeModes::results)
      .def_readonly("solved", &NativeModes::solved)
      .def_readonly("fingerprint", &NativeModes::fingerprint)
      .def_readonly("mass", &NativeModes::mass)
      .def_readonly("sturmCount", &NativeModes::sturmCount)
      .def_readonly("sturmHertz", &NativeModes::sturmHertz)
      .def_readonly("notes", &NativeModes::notes);
  py::class_<BucklingOptions>(m, "BucklingOptions", "The pre-stress and how many load factors.")
      .def(py::init<>())
      .def_readwrite("loads", &BucklingOptions::loads, "[(load case, factor)]")
      .def_readwrite("name", &BucklingOptions::name)
      .def_readwrite("count", &BucklingOptions::count)
      .def_readwrite("memory", &BucklingOptions::memory);
  py::class_<NativeBuckling>(m, "NativeBuckling", "Buckling load factors and shapes.")
      .def_readonly("results", &NativeBuckling::results)
      .def_readonly("solved", &NativeBuckling::solved)
      .def_readonly("fingerprint", &NativeBuckling::fingerprint)
      .def_readonly("sturmCount", &NativeBuckling::sturmCount)
      .def_readonly("notes", &NativeBuckling::notes);
  py::class_<SpectrumOptions>(m, "SpectrumOptions", "A response spectrum analysis: spectrum, directions, rules.")
      .def(py::init<>())
      .def_readwrite("modes", &SpectrumOptions::modes)
      .def_readwrite("spectrum", &SpectrumOptions::spectrum,
                     "'period acceleration' lines, or 'ag=3 S=1.2 TB=0.15 TC=0.5 TD=2 damping=0.05'")
      .def_readwrite("directions", &SpectrumOptions::directions, "[X, Y, Z] excited")
      .def_readwrite("cqc", &SpectrumOptions::cqc, "Modes by CQC (else SRSS).")
      .def_readwrite("hundredThirty", &SpectrumOptions::hundredThirty, "Directions by 100/30 (else SRSS).")
      .def_readwrite("damping", &SpectrumOptions::damping)
      .def_readwrite("name", &SpectrumOptions::name);
  py::class_<NativeSpectrum>(m, "NativeSpectrum", "Peak responses (results.spectra[0]) and the modes combined.")
      .def_readonly("results", &NativeSpectrum::results)
      .def_readonly("solved", &NativeSpectrum::solved)
      .def_readonly("fingerprint", &NativeSpectrum::fingerprint)
      .def_readonly("mass", &NativeSpectrum::mass)
      .def_readonly("baseShear", &NativeSpectrum::baseShear)
      .def_readonly("staticBaseShear", &NativeSpectrum::staticBaseShear)
      .def_readonly("notes", &NativeSpectrum::notes);
  m.def("SolveModes", &SolveModes, py::arg("model"), py::arg("options") = ModeOptions(),
        "The lowest modes of the model (only read); raises SolverError.");
  m.def("SolveBuckling", &SolveBuckling, py::arg("model"), py::arg("options"),
        "The lowest positive buckling load factors of the options' loads; raises SolverError.");
  m.def("SolveResponseSpectrum", &SolveResponseSpectrum, py::arg("model"), py::arg("options"),
        "Modes, then the response spectrum analysis on them; raises SolverError.");
  m.def("WithSpectrum", &WithSpectrum, py::arg("statics"), py::arg("spectrum"),
        "(S + E, S - E): a static analysis with a spectrum's peaks added and taken away.");
}

}  // namespace

void BindNativeSolver(py::module_& m) {
  BindNative(m);
  BindDynamics(m);
  m.def("StoreSolveResults", &StoreSolveResults, py::arg("model"), py::arg("results"), py::arg("solved"),
        py::arg("fingerprint"),
        "Stores a solve's results in the model (XafModel.Results()), stamped with the fingerprint the model "
        "had when the solver read it; replaces analyses of the same kind and number. Flush the model to keep "
        "them.");
  m.def("KeyByModelNodes", &KeyByModelNodes, py::arg("results"), py::arg("node_ids"),
        "A copy of the results whose node values are keyed by the given model nodes only: the solver's own "
        "nodes left out, and every model node present (NaN where the solver gave no value).");
}

}  // namespace Kestrum::Quilm::Python
