// The tables of the model file created only when first needed: the result
// tables (result_analyses, result_values, result_solvers) and
// concept_members. A model that
// holds none of their rows keeps the layout it always had, and a file
// without them simply holds none. docs/model-file.md describes them.
// Internal to the library.
#pragma once

#include "model_data.hpp"
#include "sqlite_handle.hpp"

namespace Kestrum::Quilm::AnalysisModel::ModelFile {

struct ResultTables {
  static const char* const kCreateAnalyses;
  static const char* const kCreateValues;
  static const char* const kCreateSolvers;
  // Reads the stored results, if the file has result tables.
  static void Read(Sql::Connection& db, ModelData& d);
  // Writes the analyses changed since the last flush, creating the tables
  // when results are flushed into a file without them.
  static void Write(Sql::Connection& db, const ModelData& d);
};

// concept_members: the nodes and elements each concept's host recorded.
struct ConceptMembersTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
};

// True when the file holds a table of this name.
bool HasTable(Sql::Connection& db, const char* name);

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
