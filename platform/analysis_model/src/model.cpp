// XafModel: construction, the archive settings, Flush and Validate.
#include <sys/stat.h>

#include "model_data.hpp"
#include "model_file.hpp"
#include "result_data.hpp"
#include "trace_format.hpp"
#include "writer_claim.hpp"

namespace Kestrum::Quilm::AnalysisModel {

namespace {

// True when `name` exists; throws for anything but a regular file (reading
// a FIFO would wait for a writer for ever, a device is no model).
bool FileExists(const std::string& name) {
  struct stat info;
  if (::stat(name.c_str(), &info) != 0) return false;
  if (S_ISREG(info.st_mode)) return true;
  const char* what = S_ISDIR(info.st_mode)    ? "a directory"
                     : S_ISFIFO(info.st_mode) ? "a FIFO"
                     : S_ISSOCK(info.st_mode) ? "a socket"
                                              : "a device";
  throw ModelError("\"" + name + "\" is not a model file: it is " + what);
}

}  // namespace

XafModel::XafModel(const std::string& fileName, long accessMode, long unitSystem, bool create)
    : data_(std::make_unique<ModelData>()) {
  if (accessMode != 0 && accessMode != 1)
    throw ModelError("access mode " + std::to_string(accessMode) +
                     " is neither 0 (read-only) nor 1 (read-write)");
  if (unitSystem != 1)
    throw ModelError("unit system " + std::to_string(unitSystem) + " is not supported (1: SI)");
  if (fileName.empty()) throw ModelError("model file name is empty");
  data_->fileName = fileName;
  data_->readOnly = accessMode == 0;
  data_->unitSystem = unitSystem;
  const bool exists = FileExists(fileName);
  if (!data_->readOnly) data_->writerClaim = std::make_shared<WriterClaim>(fileName);
  if (exists) {
    ModelFile::Read(*data_);
    data_->identity = ModelFile::IdentityOf(fileName, nullptr);
  } else if (!create) {
    throw ModelError("model file \"" + fileName + "\" does not exist");
  }
  data_->ClearChanges();
  const std::string problem = Validate();
  if (!problem.empty()) throw ModelError("model file \"" + fileName + "\" is damaged: " + problem);
  // A model changed by a writer that keeps no results (an older library)
  // still has results that no longer fit it.
  SettleStaleResults(*data_);
}

XafModel::~XafModel() = default;

void XafModel::Flush() {
  Trace(*this, "Model.Flush");
  if (data_->readOnly) throw ModelError("model file \"" + data_->fileName + "\" is open read-only");
  SettleStaleResults(*data_);
  ModelFile::Write(*data_, progress_);
  data_->ClearChanges();
}

void XafModel::SaveAs(const std::string& fileName) {
  Trace(*this, "Model.SaveAs", fileName);
  ModelData& d = *data_;
  if (d.readOnly) throw ModelError("model file \"" + d.fileName + "\" is open read-only");
  if (fileName.empty()) throw ModelError("model file name is empty");
  // Saving under the model's own name rewrites its file whole (the way
  // back after Flush refused a file deleted or replaced underneath).
  auto claim = fileName == d.fileName ? d.writerClaim : std::make_shared<WriterClaim>(fileName);
  ModelFile::SaveAs(d, fileName, *claim);
  d.writerClaim = std::move(claim);
  d.ClearChanges();
}

XafArchive& XafModel::GetArchive() {
  Trace(*this, "Model.GetArchive");
  return archive_;
}

const std::string& XafModel::GetFileName() const noexcept { return data_->fileName; }
bool XafModel::IsReadOnly() const noexcept { return data_->readOnly; }

void XafArchive::SetArchiveMode(bool on) {
  Trace(model_, "Archive.SetArchiveMode", on);
  ModelData& d = DataOf(model_);
  if (d.archiveMode == on) return;
  d.archiveMode = on;
  d.archiveModeDirty = true;
}

bool XafArchive::GetArchiveMode() const {
  Trace(model_, "Archive.GetArchiveMode");
  return DataOf(model_).archiveMode;
}

}  // namespace Kestrum::Quilm::AnalysisModel
