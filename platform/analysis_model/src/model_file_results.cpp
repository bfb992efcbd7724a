// The result tables: one header row per analysis, one row of values per
// analysis, quantity and node or element.
#include <cstring>

#include "model_file_late_tables.hpp"
#include "model_file_tables.hpp"
#include "portable_bytes.hpp"
#include "result_data.hpp"

namespace Kestrum::Quilm::AnalysisModel::ModelFile {

// kind: 1 load case, 2 combination, 3 mode, 4 buckling shape; number: the
// load case or combination id, the mode or shape number; value: one double
// (frequency, load factor); fingerprint: the model's fingerprint when the
// results were stored, as a signed 64-bit integer; stale: 1 once the model
// changed since.
const char* const ResultTables::kCreateAnalyses =
    R"sql(CREATE TABLE result_analyses(id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, number INTEGER NOT NULL,
  name TEXT NOT NULL, value BLOB NOT NULL, fingerprint INTEGER NOT NULL, stale INTEGER NOT NULL))sql";

// quantity: 1 node motion, 2 node reaction, 3 beam forces, 4 shell stress,
// 5 shell forces;
// entity: the node or element id; vals: the doubles, whole points of the
// quantity's component count.
const char* const ResultTables::kCreateValues =
    R"sql(CREATE TABLE result_values(analysis INTEGER NOT NULL, quantity INTEGER NOT NULL,
  entity INTEGER NOT NULL, vals BLOB NOT NULL, PRIMARY KEY(analysis, quantity, entity)) WITHOUT ROWID)sql";

// The solver that produced an analysis's results, where one was recorded:
// a table of its own, so that files without any keep their layout.
const char* const ResultTables::kCreateSolvers =
    R"sql(CREATE TABLE result_solvers(analysis INTEGER PRIMARY KEY, solver TEXT NOT NULL))sql";

namespace {

AnalysisRecord ReadAnalysisRow(const ModelData& d, const Sql::Statement& s) {
  AnalysisRecord r;
  const std::int64_t kind = s.Int(1);
  if (kind < 1 || kind > 5)
    Damaged(d.fileName, "analysis " + std::to_string(s.Int(0)) + " has an unknown kind");
  r.kind = static_cast<AnalysisKind>(kind);
  r.number = s.Int(2);
  if (r.number < 0 || r.number > kMaxId) Damaged(d.fileName, "an analysis number is out of range");
  r.name = s.Text(3);
  r.value = DoublesOf(d, s, 4, 1, "an analysis value")[0];
  r.fingerprint = static_cast<std::uint64_t>(s.Int(5));
  r.stale = s.Int(6) != 0;
  return r;
}

void ReadAnalyses(Sql::Connection& db, ModelData& d, ResultData& results) {
  Sql::Statement s(db, "SELECT id, kind, number, name, value, fingerprint, stale FROM result_analyses");
  while (s.Step()) {
    const std::int64_t id = s.Int(0);
    if (id < 1 || id > kMaxId) Damaged(d.fileName, "analysis id " + std::to_string(id) + " is out of range");
    results.analyses[id] = ReadAnalysisRow(d, s);
  }
}

// The rows arrive in key order (analysis, quantity, entity), so each table
// is appended to in ascending id order.
void ReadValues(Sql::Connection& db, ModelData& d, ResultData& results) {
  Sql::Statement s(
      db, "SELECT analysis, quantity, entity, vals FROM result_values ORDER BY analysis, quantity, entity");
  std::int64_t lastAnalysis = 0, lastQuantity = 0;
  ResultArray* table = nullptr;
  ResultQuantity quantity = ResultQuantity::NodeMotion;
  while (s.Step()) {
    const std::int64_t analysis = s.Int(0), q = s.Int(1), entity = s.Int(2);
    if (!table || analysis != lastAnalysis || q != lastQuantity) {
      auto it = results.analyses.find(analysis);
      if (it == results.analyses.end()) Damaged(d.fileName, "result values of a missing analysis");
      if (q < 1 || q > static_cast<std::int64_t>(kQuantityCount))
        Damaged(d.fileName, "result values of an unknown quantity");
      quantity = static_cast<ResultQuantity>(q);
      table = &it->second.tables[QuantityIndex(quantity)];
      lastAnalysis = analysis;
      lastQuantity = q;
    }
    const int bytes = sqlite3_column_bytes(s.Handle(), 3);
    const std::size_t count = static_cast<std::size_t>(bytes) / sizeof(double);
    const unsigned components = ResultComponents(quantity);
    const bool whole =
        bytes > 0 && bytes % sizeof(double) == 0 && count % components == 0 &&
        (IsNodeQuantity(quantity) ? count == components : count <= components * kMaxResultPoints);
    if (!whole || entity < 1 || entity > kMaxId)
      Damaged(d.fileName, "result values of " + std::to_string(entity) + " have a wrong size");
    if (table->values.size() + count > UINT32_MAX) Damaged(d.fileName, "a result table is too large");
    // SQLite's blob need not be aligned for doubles: copied as bytes.
    const void* first = sqlite3_column_blob(s.Handle(), 3);
    table->ids.push_back(static_cast<std::int32_t>(entity));
    const std::size_t at = table->values.size();
    table->values.resize(at + count);
    PortableBytes::Decode(static_cast<const unsigned char*>(first), count, table->values.data() + at);
    table->offsets.push_back(static_cast<std::uint32_t>(table->values.size()));
  }
}

void ReadSolvers(Sql::Connection& db, ModelData& d, ResultData& results) {
  if (!HasTable(db, "result_solvers")) return;
  Sql::Statement s(db, "SELECT analysis, solver FROM result_solvers");
  while (s.Step()) {
    auto it = results.analyses.find(s.Int(0));
    if (it == results.analyses.end()) Damaged(d.fileName, "the solver of a missing analysis");
    it->second.solver = s.Text(1);
  }
}

// Keeps result_solvers in step with the analyses written: a row where a
// solver is recorded, none otherwise (the table made when first needed).
class SolverRows {
 public:
  SolverRows(Sql::Connection& db, const ResultData& results) : db_(db) {
    exists_ = HasTable(db, "result_solvers");
    bool needed = false;
    for (const auto& entry : results.analyses) needed = needed || !entry.second.solver.empty();
    if (!exists_ && needed) {
      db.Exec(ResultTables::kCreateSolvers);
      exists_ = true;
    }
  }
  void Write(long id, const AnalysisRecord* r) {
    if (!exists_) return;
    if (r && !r->solver.empty()) {
      Sql::Statement put(db_, "INSERT OR REPLACE INTO result_solvers(analysis, solver) VALUES(?, ?)");
      put.Bind(1, static_cast<std::int64_t>(id)).Bind(2, r->solver);
      put.Run();
    } else {
      Sql::Statement remove(db_, "DELETE FROM result_solvers WHERE analysis = ?");
      remove.Bind(1, static_cast<std::int64_t>(id)).Run();
    }
  }

 private:
  Sql::Connection& db_;
  bool exists_ = false;
};

void WriteAnalysisRow(Sql::Statement& put, long id, const AnalysisRecord& r) {
  put.Bind(1, static_cast<std::int64_t>(id))
      .Bind(2, static_cast<std::int64_t>(r.kind))
      .Bind(3, static_cast<std::int64_t>(r.number))
      .Bind(4, r.name)
      .BindValues(5, &r.value, 1)
      .Bind(6, static_cast<std::int64_t>(r.fingerprint))
      .Bind(7, static_cast<std::int64_t>(r.stale ? 1 : 0));
  put.Run();
}

void WriteValues(Sql::Statement& put, long id, const AnalysisRecord& r) {
  for (ResultQuantity q : kResultQuantities) {
    const ResultArray& t = r.tables[QuantityIndex(q)];
    for (std::size_t i = 0; i < t.ids.size(); ++i) {
      // Run() clears the bindings: every column is bound per row.
      put.Bind(1, static_cast<std::int64_t>(id))
          .Bind(2, static_cast<std::int64_t>(q))
          .Bind(3, static_cast<std::int64_t>(t.ids[i]))
          .BindStaticValues(4, t.values.data() + t.offsets[i], t.offsets[i + 1] - t.offsets[i]);
      put.Run();
    }
  }
}

}  // namespace

void ResultTables::Read(Sql::Connection& db, ModelData& d) {
  if (!HasTable(db, "result_analyses")) return;
  ResultData& results = ResultsOf(d);
  ReadAnalyses(db, d, results);
  ReadValues(db, d, results);
  ReadSolvers(db, d, results);
}

void ResultTables::Write(Sql::Connection& db, const ModelData& d) {
  const ResultData* results = d.results.get();
  if (!results || (results->dirtyAnalyses.empty() && results->dirtyHeaders.empty())) return;
  if (!HasTable(db, "result_analyses")) {
    // Only deletions of results never flushed: the file stays without tables.
    if (results->analyses.empty()) return;
    db.Exec(kCreateAnalyses);
    db.Exec(kCreateValues);
  }
  Sql::Statement putAnalysis(
      db,
      "INSERT OR REPLACE INTO result_analyses(id, kind, number, name, value, fingerprint, stale)"
      " VALUES(?, ?, ?, ?, ?, ?, ?)");
  Sql::Statement removeAnalysis(db, "DELETE FROM result_analyses WHERE id = ?");
  Sql::Statement removeValues(db, "DELETE FROM result_values WHERE analysis = ?");
  Sql::Statement putValues(db,
                           "INSERT INTO result_values(analysis, quantity, entity, vals) VALUES(?, ?, ?, ?)");
  SolverRows solvers(db, *results);
  for (long id : results->dirtyAnalyses) {
    removeValues.Bind(1, static_cast<std::int64_t>(id)).Run();
    auto it = results->analyses.find(id);
    if (it == results->analyses.end()) {
      removeAnalysis.Bind(1, static_cast<std::int64_t>(id)).Run();
      solvers.Write(id, nullptr);
      continue;
    }
    WriteAnalysisRow(putAnalysis, id, it->second);
    WriteValues(putValues, id, it->second);
    solvers.Write(id, &it->second);
  }
  for (long id : results->dirtyHeaders) {
    auto it = results->analyses.find(id);
    if (it != results->analyses.end() && !results->dirtyAnalyses.count(id)) {
      WriteAnalysisRow(putAnalysis, id, it->second);
      solvers.Write(id, &it->second);
    }
  }
}

bool HasTable(Sql::Connection& db, const char* name) {
  Sql::Statement s(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?");
  s.Bind(1, std::string(name));
  return s.Step() && s.Int(0) > 0;
}

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
