// Reading and writing the model's SQLite file. Internal to the library.
#pragma once

#include "model_data.hpp"

namespace Kestrum::Quilm::AnalysisModel::ModelFile {

// Reads the whole model from d.fileName into `d` (empty on entry). Throws
// ModelError, without writing to the file, when it is not a model file, is
// damaged or was written by a newer version.
void Read(ModelData& d);

// Writes the changes marked in `d` to d.fileName in one transaction,
// creating the file on the first flush; reports one unit per table written
// to `progress` (may be empty).
void Write(ModelData& d, const ProgressCallback& progress);

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
