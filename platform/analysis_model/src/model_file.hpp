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
// to `progress` (may be empty). Throws ModelError, writing nothing, when the
// file is no longer the one `d` last read or wrote.
void Write(ModelData& d, const ProgressCallback& progress);

// Writes the whole model into a new file `fileName` (replacing any file of
// that name only once complete) and makes it the model's file, held by
// `claim` (the claim on `fileName`).
void SaveAs(ModelData& d, const std::string& fileName, WriterClaim& claim);

// The identity of the file `fileName` now (exists false when it is missing),
// its header read through `open` when the model holds a connection to it.
FileIdentity IdentityOf(const std::string& fileName, const FileConnection* open);

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
