// The result tables of the model file: result_analyses and result_values.
// Unlike the other tables they are created only when results are first
// flushed, so a model without results keeps the layout it always had, and a
// file without them simply holds no results. docs/model-file.md describes
// them. Internal to the library.
#pragma once

#include "model_data.hpp"
#include "sqlite_handle.hpp"

namespace Kestrum::Quilm::AnalysisModel::ModelFile {

struct ResultTables {
  static const char* const kCreateAnalyses;
  static const char* const kCreateValues;
  // Reads the stored results, if the file has result tables.
  static void Read(Sql::Connection& db, ModelData& d);
  // Writes the analyses changed since the last flush, creating the tables
  // when results are flushed into a file without them.
  static void Write(Sql::Connection& db, const ModelData& d);
};

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
