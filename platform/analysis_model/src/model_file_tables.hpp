// The tables of the model file, one struct per table. Each holds the
// table's CREATE statement (SQLite keeps its text in the file, so it never
// changes within a schema version), the reader that loads the stored rows
// into the model and the writer that stores the rows changed since the last
// flush. They are defined together, one file per group of tables:
// model_file_meta.cpp, model_file_mesh.cpp, model_file_element_properties.cpp,
// model_file_keyed_tables.cpp and model_file_loads.cpp. The format itself is
// described in docs/model-file.md. Internal to the library.
//
// A reader runs inside the read transaction of ModelFile::Read on a model
// that holds the tables read before it (the meta table first: it sizes the
// dense tables). It passes each stored row through its table's row reader
// (Read<Row>, or CheckNodeRow for nodes, whose positions are copied as
// stored), which checks the row's values before they enter the model and
// throws ModelError "model file ... is damaged: ..." for a row that fails:
// the place for any check of one row. Checks across tables are left to
// XafModel::Validate, which runs on the whole model after reading.
//
// A writer runs inside the flush transaction and writes only what the
// model's change marks list (everything, on the first flush of a new file).
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "model_data.hpp"
#include "sqlite_handle.hpp"
#include "value_checks.hpp"

namespace Kestrum::Quilm::AnalysisModel::ModelFile {

// ---- the tables, in the order the first flush creates them ------------------
// (model_file.cpp lists them in this order: it fixes the tables' pages in a new file.)

// meta: the model's identification, schema version, unit system, archive
// mode, id counters and the sizes of the dense tables.
struct MetaTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
  // The flush token stored in the file (FlushTokens), 0 when it has none.
  static std::int64_t StoredToken(Sql::Connection& db);
  static void WriteToken(Sql::Connection& db, std::int64_t token);
};

// nodes: node n's position. Nodes are never removed.
struct NodesTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
};

// elements: one row per existing element.
struct ElementsTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
};

// eccentricities, transformations, hinges: dense tables, id i at index i - 1.
struct EccentricitiesTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
};

struct TransformationsTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
};

struct HingesTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
};

// concepts, materials, sections, sets, node_properties: keyed tables whose
// rows may be added, replaced and deleted under any id.
struct ConceptsTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
};

struct MaterialsTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
};

struct SectionsTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
};

struct SetsTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
};

struct NodePropertiesTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
};

// load_cases: a case's name and gravity load. Its writer also rewrites the
// loads of every changed case, case by case, through LoadsTable::Writer.
struct LoadCasesTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);
  static void Write(Sql::Connection& db, const ModelData& d);
};

// loads: the loads of each case in their order. Read after the load cases.
struct LoadsTable {
  static const char* const kCreate;
  static void Read(Sql::Connection& db, ModelData& d);

  // Replaces the stored loads of one load case.
  class Writer {
   public:
    explicit Writer(Sql::Connection& db);
    // Deletes every stored load of case lc.
    void Clear(long lc);
    // Appends the loads of case lc, numbered from 0 in their order.
    void Put(const ModelData& d, long lc, const std::vector<LoadEntry>& loads);

   private:
    Sql::Statement clear_;
    Sql::Statement put_;
  };
};

// ---- shared by the readers ----------------------------------------------------

// Throws ModelError "model file "<name>" is damaged: <why>".
[[noreturn]] void Damaged(const std::string& fileName, const std::string& why);
// Throws ModelError ""<name>" is not a model file: <why>".
[[noreturn]] void NotAModel(const std::string& fileName, const std::string& why);

// The blob in `column` as exactly n doubles.
std::vector<double> DoublesOf(const ModelData& d, const Sql::Statement& s, int column, std::size_t n,
                              const char* what);
// The blob in `column` as a hinge (six doubles).
Hinge HingeOf(const ModelData& d, const Sql::Statement& s, int column, const char* what);
// Checks that a row id of a dense table lies within its stored count.
void CheckDenseId(const ModelData& d, const char* table, std::int64_t id, std::size_t count);
// Throws "model file ... is damaged: <table> row <id>: <problem>".
[[noreturn]] void DamagedRow(const ModelData& d, const char* table, std::int64_t id,
                             const std::string& problem);
// Checks that the next row of a dense table read in id order has id
// `expected` (rows 1, 2, ... with none missing).
void CheckNextDenseRow(const ModelData& d, const char* table, std::int64_t id, std::size_t expected);
// Checks that a dense table holds as many rows as the meta table states.
void CheckDenseCount(const ModelData& d, const char* table, std::size_t rows, std::int64_t stored);
// A stored integer narrowed to a 32-bit id field, checked to lie in
// [lowest, kMaxId] first.
std::int32_t CheckedId(const ModelData& d, const char* table, std::int64_t row, const char* column,
                       std::int64_t value, std::int64_t lowest);
// How many rows of `rowBytes` bytes at least the file could hold: what a
// reader reserves at most, whatever count the meta table states.
std::size_t RowsThatFit(const ModelData& d, std::int64_t stored, std::size_t rowBytes);

// ---- shared by the writers ------------------------------------------------------

// Writes the rows of a dense table added since the last flush and those
// replaced in place; bind(statement, id, row) binds every column.
template <class Rows, class BindRow>
void WriteDense(Sql::Statement& s, const Rows& rows, std::size_t flushed, const std::set<long>& replaced,
                BindRow bind) {
  for (long id : replaced)
    if (static_cast<std::size_t>(id) <= flushed) {
      bind(s, id, rows[id - 1]);
      s.Run();
    }
  for (std::size_t i = flushed; i < rows.size(); ++i) {
    bind(s, static_cast<long>(i + 1), rows[i]);
    s.Run();
  }
}

// Writes the changed rows of a keyed table: rows that exist are replaced
// through `insert` (id bound as parameter 1, the rest by bind(statement,
// row)), the others deleted.
template <class Map, class BindRow>
void WriteKeyed(Sql::Connection& db, const char* table, const char* key, const char* insert, const Map& rows,
                const std::set<long>& changed, BindRow bind) {
  if (changed.empty()) return;
  Sql::Statement put(db, insert);
  Sql::Statement remove(db, (std::string("DELETE FROM ") + table + " WHERE " + key + " = ?").c_str());
  for (long id : changed) {
    auto it = rows.find(id);
    if (it == rows.end()) {
      remove.Bind(1, static_cast<std::int64_t>(id)).Run();
    } else {
      put.Bind(1, static_cast<std::int64_t>(id));
      bind(put, it->second);
      put.Run();
    }
  }
}

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
