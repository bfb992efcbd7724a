// The extension module quilm._quilm; the package quilm re-exports it.
#include "bindings.hpp"

PYBIND11_MODULE(_quilm, m) {
  using namespace Kestrum::Quilm::Python;
  m.doc() =
      "Bindings of the Quilm mirror library: geometry, definitions, the analysis model, the mirror "
      "classes (subclass them to write a host) and the solver bridge.";
  BindErrors(m);
  BindGeometry(m);
  BindDefinitions(m);
  BindRecords(m);
  BindAnalysisModel(m);
  BindTables(m);
  BindTrace(m);
  BindMirrorCore(m);
  BindMirrorProperties(m);
  BindMirrorBeams(m);
  BindMirrorPlatesAndLoads(m);
  BindSolver(m);
}
