// libFuzzer target: the model file loader. Each input is written to a
// scratch file and opened read-only. Opening must either throw ModelError
// or give a model whose tables pass Validate and can be read through the
// managers; anything else (a crash, a sanitizer report, another exception,
// a model that fails Validate) is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "analysis_model/xaf_model.hpp"

using namespace Kestrum::Quilm::AnalysisModel;

namespace {

const std::string& ScratchFile() {
  static const std::string name = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/quilm_fuzz_model_" + std::to_string(::getpid()) +
           ".qdb";
  }();
  return name;
}

// Reads every table back through the public calls, as a tool would.
void ReadEverything(XafModel& model) {
  for (long e : model.Elements().GetElementIds()) {
    std::vector<pos3d> positions;
    model.GetConnectivityManager().GetElementNodes(e, positions, Element::Stored);
  }
  for (long lc : model.Loads().GetLoadCaseIds()) model.Loads().GetLoads(lc);
  for (long c : model.StructureConcepts().GetConceptIds()) model.StructureConcepts().GetConcept(c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& name = ScratchFile();
  {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    XafModel model(name, 0, 1, false);
    const std::string problem = model.Validate();
    if (!problem.empty()) {
      std::fprintf(stderr, "a model that opened fails Validate: %s\n", problem.c_str());
      std::abort();
    }
    ReadEverything(model);
  } catch (const ModelError&) {
    // A refused file: what a damaged input should give.
  }
  std::remove(name.c_str());
  return 0;
}
