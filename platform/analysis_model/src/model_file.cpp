// The model file: not yet stored (in-memory only for now).
#include "model_file.hpp"

namespace Kestrum::Quilm::AnalysisModel::ModelFile {

void Read(ModelData& d) { throw ModelError("cannot read model file \"" + d.fileName + "\" yet"); }
void Write(ModelData&) {}

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
