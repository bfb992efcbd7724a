// The model file as a whole: the header check, the read transaction, the
// flush transaction and the first flush's build-and-rename. The tables'
// own readers and writers are in model_file_*.cpp (model_file_tables.hpp);
// docs/model-file.md describes the format and the flush protocol.
#include "model_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "model_file_results.hpp"
#include "model_file_tables.hpp"
#include "model_schema.hpp"
#include "result_data.hpp"
#include "sqlite_handle.hpp"

namespace Kestrum::Quilm::AnalysisModel {

struct FileConnection {
  FileConnection(const std::string& name, int flags) : db(name, flags) {}
  Sql::Connection db;
};

namespace ModelFile {

namespace {

std::uint32_t BigEndian(const unsigned char* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

long long FileSize(const std::string& name) {
  struct stat info;
  return ::stat(name.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

// A hot journal is left by a flush that did not complete; opening read-write
// lets SQLite roll it back, which restores the last completed flush.
bool HasHotJournal(const std::string& name) { return FileSize(name + "-journal") > 0; }

// Checks the database header with a plain read, before SQLite sees the
// file, so that a foreign or newer file is refused without any change to it.
void CheckHeader(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) throw ModelError("cannot read model file \"" + name + "\"");
  unsigned char header[100];
  in.read(reinterpret_cast<char*>(header), sizeof header);
  if (in.gcount() != static_cast<std::streamsize>(sizeof header)) NotAModel(name, "too short");
  if (std::memcmp(header, "SQLite format 3", 16) != 0) NotAModel(name, "no database header");
  if (BigEndian(header + 68, 4) != Schema::kApplicationId) NotAModel(name, "another application's database");
  const std::uint32_t version = BigEndian(header + 60, 4);
  if (version > Schema::kVersion)
    throw ModelError("model file \"" + name + "\" has schema version " + std::to_string(version) +
                     ", newer than this library's " + std::to_string(Schema::kVersion));
  if (version < 1) NotAModel(name, "no schema version");
  std::uint32_t pageSize = BigEndian(header + 16, 2);
  if (pageSize == 1) pageSize = 65536;
  const std::uint32_t pages = BigEndian(header + 28, 4);
  // The page count is trustworthy when the two change counters agree, and
  // when no interrupted flush is waiting to be rolled back (its journal
  // restores pages and size).
  if (!HasHotJournal(name) && BigEndian(header + 24, 4) == BigEndian(header + 92, 4) &&
      FileSize(name) < static_cast<long long>(pageSize) * pages)
    Damaged(name, "the file is shorter than its page count (truncated)");
}

// Every table in the order of model_file_tables.hpp: the meta table first
// (it sizes the dense tables), load cases before their loads.
void ReadTables(Sql::Connection& db, ModelData& d) {
  MetaTable::Read(db, d);
  NodesTable::Read(db, d);
  ElementsTable::Read(db, d);
  EccentricitiesTable::Read(db, d);
  TransformationsTable::Read(db, d);
  HingesTable::Read(db, d);
  ConceptsTable::Read(db, d);
  MaterialsTable::Read(db, d);
  SectionsTable::Read(db, d);
  SetsTable::Read(db, d);
  NodePropertiesTable::Read(db, d);
  LoadCasesTable::Read(db, d);
  LoadsTable::Read(db, d);
  ResultTables::Read(db, d);
}

}  // namespace

[[noreturn]] void NotAModel(const std::string& fileName, const std::string& why) {
  throw ModelError("\"" + fileName + "\" is not a model file: " + why);
}

[[noreturn]] void Damaged(const std::string& fileName, const std::string& why) {
  throw ModelError("model file \"" + fileName + "\" is damaged: " + why);
}

std::vector<double> DoublesOf(const ModelData& d, const Sql::Statement& s, int column, std::size_t n,
                              const char* what) {
  auto v = s.Vector<double>(column);
  if (v.size() != n) Damaged(d.fileName, std::string(what) + " has a wrong size");
  return v;
}

Hinge HingeOf(const ModelData& d, const Sql::Statement& s, int column, const char* what) {
  const auto f = DoublesOf(d, s, column, 6, what);
  std::array<double, 6> values{};
  std::copy(f.begin(), f.end(), values.begin());
  return Hinge(values);
}

void CheckDenseId(const ModelData& d, const char* table, std::int64_t id, std::size_t count) {
  if (id < 1 || static_cast<std::size_t>(id) > count)
    Damaged(d.fileName, std::string(table) + " id " + std::to_string(id) + " is out of range");
}

void Read(ModelData& d) {
  CheckHeader(d.fileName);
  const int flags = HasHotJournal(d.fileName) ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
  Sql::Connection db(d.fileName, flags);
  try {
    db.Exec("BEGIN");
    ReadTables(db, d);
    db.Exec("COMMIT");
  } catch (const Sql::SqlError& e) {
    // SQLite's own complaints while reading (malformed pages, missing
    // tables or columns) mean the file is damaged.
    Damaged(d.fileName, e.what());
  }
}

// ---- writing ------------------------------------------------------------------

namespace {

// Marks every row as changed, so that a flush into a new file writes the
// whole model even when parts of it were written to a file before (a model
// whose file was removed since it was opened or last flushed).
void MarkEverythingChanged(ModelData& d) {
  d.flushedNodes = d.flushedEccentricities = d.flushedTransformations = d.flushedHinges = 0;
  for (std::size_t i = 0; i < d.elements.size(); ++i)
    if (d.elements[i].Exists()) d.MarkElement(static_cast<long>(i) + 1);
  for (const auto& entry : d.concepts) d.dirtyConcepts.insert(entry.first);
  for (const auto& entry : d.materials) d.dirtyMaterials.insert(entry.first);
  for (const auto& entry : d.sections) d.dirtySections.insert(entry.first);
  for (const auto& entry : d.sets) d.dirtySets.insert(entry.first);
  for (const auto& entry : d.nodeProperties) d.dirtyNodeProperties.insert(entry.first);
  for (const auto& entry : d.loadCases) d.dirtyLoadCases.insert(entry.first);
  if (d.results) d.results->MarkEverythingChanged();
}

void SetSynchronous(Sql::Connection& db, const ModelData& d) {
  db.Exec(d.archiveMode ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL");
}

// Creates every table of a new file, in the order of model_file_tables.hpp,
// and stamps the file's SQLite header with the identification and version.
void CreateTables(Sql::Connection& db) {
  for (const char* create :
       {MetaTable::kCreate, NodesTable::kCreate, ElementsTable::kCreate, EccentricitiesTable::kCreate,
        TransformationsTable::kCreate, HingesTable::kCreate, ConceptsTable::kCreate, MaterialsTable::kCreate,
        SectionsTable::kCreate, SetsTable::kCreate, NodePropertiesTable::kCreate, LoadCasesTable::kCreate,
        LoadsTable::kCreate})
    db.Exec(create);
  db.Exec("PRAGMA application_id = " + std::to_string(Schema::kApplicationId));
  db.Exec("PRAGMA user_version = " + std::to_string(Schema::kVersion));
}

// The changed rows of every table, in the order of model_file_tables.hpp;
// the load cases' writer also writes their loads.
void WriteTables(Sql::Connection& db, const ModelData& d) {
  MetaTable::Write(db, d);
  NodesTable::Write(db, d);
  ElementsTable::Write(db, d);
  EccentricitiesTable::Write(db, d);
  TransformationsTable::Write(db, d);
  HingesTable::Write(db, d);
  ConceptsTable::Write(db, d);
  MaterialsTable::Write(db, d);
  SectionsTable::Write(db, d);
  SetsTable::Write(db, d);
  NodePropertiesTable::Write(db, d);
  LoadCasesTable::Write(db, d);
  ResultTables::Write(db, d);
}

// Writes what changed in one transaction on an open connection.
void WriteChanges(Sql::Connection& db, const ModelData& d, bool creating) {
  SetSynchronous(db, d);
  db.Exec("BEGIN IMMEDIATE");
  try {
    if (creating) CreateTables(db);
    WriteTables(db, d);
    db.Exec("COMMIT");
  } catch (...) {
    sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void RemoveWithJournal(const std::string& name) {
  for (const char* suffix : {"", "-journal"}) ::unlink((name + suffix).c_str());
}

// Makes the directory entry of a renamed file durable.
void SyncDirectoryOf(const std::string& name) {
  const std::string::size_type slash = name.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : name.substr(0, slash));
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The first flush builds the whole model in a file beside the target and
// renames it into place only once it is complete, so that a crash during it
// leaves no half-made model file behind: the target either does not exist
// (the model was never flushed) or holds the whole first flush.
void CreateFile(ModelData& d) {
  const std::string temporary = d.fileName + ".new";
  RemoveWithJournal(temporary);  // what a crashed first flush left
  MarkEverythingChanged(d);
  try {
    {
      FileConnection file(temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
      file.db.Exec("PRAGMA journal_mode = DELETE");
      WriteChanges(file.db, d, true);
    }
    if (::rename(temporary.c_str(), d.fileName.c_str()) != 0)
      throw ModelError("cannot create model file \"" + d.fileName + "\": " + std::strerror(errno));
  } catch (...) {
    RemoveWithJournal(temporary);
    throw;
  }
  if (d.archiveMode) SyncDirectoryOf(d.fileName);
  auto file = std::make_shared<FileConnection>(d.fileName, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
  file->db.Exec("PRAGMA journal_mode = DELETE");
  d.file = std::move(file);
}

}  // namespace

void Write(ModelData& d) {
  if (!d.file) {
    if (FileSize(d.fileName) < 0) {
      CreateFile(d);
      return;
    }
    CheckHeader(d.fileName);
    auto file = std::make_shared<FileConnection>(d.fileName, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    file->db.Exec("PRAGMA journal_mode = DELETE");
    d.file = std::move(file);
  }
  WriteChanges(d.file->db, d, false);
}

}  // namespace ModelFile
}  // namespace Kestrum::Quilm::AnalysisModel
