// The model file as a whole: the header check, the read transaction, the
// flush transaction and the first flush's build-and-rename. The tables'
// own readers and writers are in model_file_*.cpp (model_file_tables.hpp);
// docs/model-file.md describes the format and the flush protocol.
#include "model_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "concept_member_data.hpp"
#include "model_file_late_tables.hpp"
#include "model_file_tables.hpp"
#include "model_schema.hpp"
#include "result_data.hpp"
#include "sqlite_handle.hpp"
#include "writer_claim.hpp"

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

// A journal SQLite may roll back: left by a flush that did not complete,
// present, non-empty and with a non-zero first byte (SQLite ignores a
// journal whose header was zeroed, the way it finishes a journal it keeps).
// Whether a writer's flush still holds it (a RESERVED lock on the file) is
// for SQLite to judge when it reads; opening read-write lets it roll the
// journal back, which restores the last completed flush.
bool HasHotJournal(const std::string& name) {
  std::ifstream journal(name + "-journal", std::ios::binary);
  char first = 0;
  return journal.get(first) && first != 0;
}

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
  if (version < Schema::kOldestVersion) NotAModel(name, "no schema version");
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
// (it sizes the dense tables), load cases before their loads; `reading`
// names the table being read, for the message when SQLite fails.
void ReadTables(Sql::Connection& db, ModelData& d, const char*& reading) {
  using TableReader = void (*)(Sql::Connection&, ModelData&);
  static constexpr std::pair<const char*, TableReader> kReaders[] = {
      {"meta", MetaTable::Read},
      {"nodes", NodesTable::Read},
      {"elements", ElementsTable::Read},
      {"eccentricities", EccentricitiesTable::Read},
      {"transformations", TransformationsTable::Read},
      {"hinges", HingesTable::Read},
      {"concepts", ConceptsTable::Read},
      {"materials", MaterialsTable::Read},
      {"sections", SectionsTable::Read},
      {"sets", SetsTable::Read},
      {"node_properties", NodePropertiesTable::Read},
      {"load_cases", LoadCasesTable::Read},
      {"loads", LoadsTable::Read},
      {"the result tables", ResultTables::Read},
      {"concept_members", ConceptMembersTable::Read}};
  for (const auto& [table, read] : kReaders) {
    reading = table;
    read(db, d);
  }
}

[[noreturn]] void InterruptedFlush(const std::string& name) {
  throw ModelError(
      "model file \"" + name +
      "\" has an interrupted flush waiting to be rolled back; open it read-write once to recover it");
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
  if (!AllFinite(f.data(), 6))
    Damaged(d.fileName, std::string(what) + " of row " + std::to_string(s.Int(0)) + " is not finite");
  std::array<double, 6> values{};
  std::copy(f.begin(), f.end(), values.begin());
  return Hinge(values);
}

[[noreturn]] void DamagedRow(const ModelData& d, const char* table, std::int64_t id,
                             const std::string& problem) {
  Damaged(d.fileName, std::string(table) + " row " + std::to_string(id) + ": " + problem);
}

void CheckNextDenseRow(const ModelData& d, const char* table, std::int64_t id, std::size_t expected) {
  if (id != static_cast<std::int64_t>(expected))
    DamagedRow(d, table, static_cast<std::int64_t>(expected),
               id > static_cast<std::int64_t>(expected) ? "is missing" : "has an id out of order");
}

void CheckDenseCount(const ModelData& d, const char* table, std::size_t rows, std::int64_t stored) {
  if (static_cast<std::int64_t>(rows) != stored)
    Damaged(d.fileName, std::string(table) + " has " + std::to_string(rows) +
                            " rows, the meta table states " + std::to_string(stored));
}

std::int32_t CheckedId(const ModelData& d, const char* table, std::int64_t row, const char* column,
                       std::int64_t value, std::int64_t lowest) {
  if (value < lowest || value > kMaxId)
    DamagedRow(d, table, row, std::string(column) + " " + std::to_string(value) + " is out of range");
  return static_cast<std::int32_t>(value);
}

std::size_t RowsThatFit(const ModelData& d, std::int64_t stored, std::size_t rowBytes) {
  const auto fit = static_cast<std::int64_t>(d.stored.fileBytes / static_cast<long long>(rowBytes));
  return static_cast<std::size_t>(std::max<std::int64_t>(0, std::min(stored, fit)));
}

void CheckDenseId(const ModelData& d, const char* table, std::int64_t id, std::size_t count) {
  if (id < 1 || static_cast<std::size_t>(id) > count)
    Damaged(d.fileName, std::string(table) + " id " + std::to_string(id) + " is out of range");
}

void Read(ModelData& d) {
  CheckHeader(d.fileName);
  d.stored.fileBytes = FileSize(d.fileName);
  // Rolling an interrupted flush back writes to the file: only a writer,
  // which holds the file's claim, does it. On a read-only connection SQLite
  // judges the journal itself (hot only when no writer holds a RESERVED
  // lock on the file and its header is not zeroed) and refuses a hot one
  // with SQLITE_READONLY_ROLLBACK, changing nothing; a journal a writer's
  // flush holds is waited out like any writer's commit.
  const bool journal = HasHotJournal(d.fileName);
  // The connection lives in this call on this thread only: SQLite's own
  // locking of every call (two per column read) would be pure cost.
  const int flags =
      (!d.readOnly && journal ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
  Sql::Connection db(d.fileName, flags);
  const char* reading = "the database header";
  try {
    db.Exec("BEGIN");
    ReadTables(db, d, reading);
    db.Exec("COMMIT");
  } catch (const Sql::SqlError& e) {
    if (e.Busy())
      throw ModelError("model file \"" + d.fileName + "\" is in use: a writer held it for longer than " +
                       std::to_string(Sql::kBusyTimeoutMs / 1000) + " s");
    if (e.Code() == SQLITE_READONLY_ROLLBACK) InterruptedFlush(d.fileName);
    // SQLite's complaints about the content (malformed pages, missing
    // tables or columns) mean the file is damaged; failures of the storage
    // under it (a read error, a refused permission) do not.
    if (!e.Damage()) throw ModelError("cannot read model file \"" + d.fileName + "\": " + e.Reason());
    Damaged(d.fileName, std::string("reading ") + reading + ": " + e.Reason());
  } catch (const std::bad_alloc&) {
    // Tables grow by the rows present; only the element count, the largest
    // element id handed out, is allocated as stored.
    Damaged(d.fileName, "its stated table sizes do not fit in memory");
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
  if (d.conceptMembers)
    for (const auto& entry : d.conceptMembers->rows) d.conceptMembers->dirty.insert(entry.first);
}

// Makes the folder's entries of `name` durable: a renamed file's new name,
// a deleted journal's absence.
void SyncDirectoryOf(const std::string& name) {
  const std::string::size_type slash = name.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : name.substr(0, slash));
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Archive mode: EXTRA, which is FULL (the journal synchronised before and
// after its header is completed, so that a power cut at any instant leaves
// the old or the new state) plus a synchronised folder after the journal is
// deleted. Without that last step a power cut right after the commit can
// bring the deleted journal back, and the next open rolls the returned
// flush back. Outside archive mode NORMAL, and WriteChanges synchronises the folder
// itself after the commit, so a returned flush is durable there too.
void SetSynchronous(Sql::Connection& db, const ModelData& d) {
  db.Exec(d.archiveMode ? "PRAGMA synchronous = EXTRA" : "PRAGMA synchronous = NORMAL");
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
// the load cases' writer also writes their loads. Progress is counted per
// table: the rows' share of each is not known before it is written.
void WriteTables(Sql::Connection& db, const ModelData& d, const ProgressCallback& progress) {
  using TableWriter = void (*)(Sql::Connection&, const ModelData&);
  static constexpr TableWriter kWriters[] = {
      MetaTable::Write,           NodesTable::Write,           ElementsTable::Write,
      EccentricitiesTable::Write, TransformationsTable::Write, HingesTable::Write,
      ConceptsTable::Write,       MaterialsTable::Write,       SectionsTable::Write,
      SetsTable::Write,           NodePropertiesTable::Write,  LoadCasesTable::Write,
      ResultTables::Write,        ConceptMembersTable::Write};
  ProgressMeter meter(progress, "flush", std::size(kWriters));
  for (TableWriter write : kWriters) {
    write(db, d);
    meter.Advance();
  }
  meter.Finish();
}

[[noreturn]] void NotTheModelsFile(const ModelData& d, const char* what) {
  throw ModelError("model file \"" + d.fileName + "\" " + what +
                   "; nothing was written, the changes are kept (save them with SaveAs)");
}

// A new random flush token, never 0 (which means "none").
std::int64_t NewToken() {
  std::random_device random;
  std::int64_t token = 0;
  while (token == 0)
    token = static_cast<std::int64_t>((static_cast<std::uint64_t>(random()) << 31) ^ random()) &
            0x7fffffffffffffff;
  return token;
}

// Refuses, inside the write transaction (no other writer can commit before
// it ends), a file whose token is not the one this model last read or
// wrote: a copy of another model over the file looks alike in every other
// way. The token of this model's own flush that reported failure is its
// own too (the commit had reached the file).
void CheckToken(Sql::Connection& db, const ModelData& d) {
  const std::int64_t stored = MetaTable::StoredToken(db);
  if (stored == d.tokens.stored || (d.tokens.attempted != 0 && stored == d.tokens.attempted)) return;
  NotTheModelsFile(d, "holds another copy of a model since this model last read or wrote it");
}

// Writes what changed in one transaction on an open connection, with a new
// flush token. A file of an older schema version is upgraded in the same
// transaction: the tables are alike, only the version stamps change (the
// meta table's is written by every flush).
void WriteChanges(Sql::Connection& db, ModelData& d, bool creating, const ProgressCallback& progress) {
  SetSynchronous(db, d);
  const std::int64_t token = NewToken();
  db.Exec("BEGIN IMMEDIATE");
  try {
    if (creating) CreateTables(db);
    if (!creating) CheckToken(db, d);
    if (!creating && d.stored.version < Schema::kVersion)
      db.Exec("PRAGMA user_version = " + std::to_string(Schema::kVersion));
    WriteTables(db, d, progress);
    MetaTable::WriteToken(db, token);
    d.tokens.attempted = token;
    db.Exec("COMMIT");
  } catch (...) {
    sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  d.tokens = FlushTokens{token, 0};
  if (!d.archiveMode) SyncDirectoryOf(db.FileName());
}

void RemoveWithJournal(const std::string& name) {
  for (const char* suffix : {"", "-journal"}) ::unlink((name + suffix).c_str());
}

// The first flush builds the whole model in a file beside the target and
// renames it into place only once it is complete, so that a crash during it
// leaves no half-made model file behind: the target either does not exist
// (the model was never flushed) or holds the whole first flush. The model's
// connection to it is opened by the next flush: once the file is renamed
// into place it is the model's file, whatever fails after.
// The new file is locked for `claim` before the rename, so that it is never
// under the claimed name unclaimed.
void CreateFile(ModelData& d, const std::string& name, WriterClaim& claim, const ProgressCallback& progress) {
  const std::string temporary = name + ".new";
  RemoveWithJournal(temporary);  // what a crashed first flush left
  MarkEverythingChanged(d);
  const FlushTokens before = d.tokens;  // still those of the model's file until the rename
  try {
    {
      FileConnection file(temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
      file.db.Exec("PRAGMA journal_mode = DELETE");
      WriteChanges(file.db, d, true, progress);
    }
    FileLock lock(temporary, name);
    if (::rename(temporary.c_str(), name.c_str()) != 0)
      throw ModelError("cannot create model file \"" + name + "\": " + Sql::ErrorText(errno));
    claim.MoveTo(std::move(lock));
  } catch (...) {
    RemoveWithJournal(temporary);
    d.tokens = before;
    throw;
  }
  d.stored.version = Schema::kVersion;
  SyncDirectoryOf(name);
}

// Refuses a flush into a file that is not the one the model last read or
// wrote: writing changes meant for another state would leave a file that
// matches neither. The model keeps its changes; SaveAs stores them. After
// a flush that reported failure the file may hold that flush (its commit
// had reached the file): the token check decides then.
void CheckUnchanged(const ModelData& d) {
  const FileIdentity now = IdentityOf(d.fileName, d.file.get());
  const FileIdentity& known = d.identity;
  const char* what = nullptr;
  if (!known.exists && now.exists)
    what = "was created by another program since this model was opened";
  else if (known.exists && !now.exists)
    what = "was deleted since this model last read or wrote it";
  else if (known.exists && (now.device != known.device || now.inode != known.inode))
    what = "was replaced since this model last read or wrote it";
  else if (known.exists && now.size < known.size)
    what = "was truncated since this model last read or wrote it";
  else if (known.exists && d.tokens.attempted == 0 &&
           (now.size != known.size || now.changeCounter != known.changeCounter))
    what = "was changed by another program since this model last read or wrote it";
  if (what) NotTheModelsFile(d, what);
}

}  // namespace

FileIdentity IdentityOf(const std::string& fileName, const FileConnection* open) {
  FileIdentity id;
  struct stat info;
  if (::stat(fileName.c_str(), &info) != 0) return id;
  id.exists = true;
  id.device = static_cast<std::uint64_t>(info.st_dev);
  id.inode = static_cast<std::uint64_t>(info.st_ino);
  id.size = static_cast<long long>(info.st_size);
  unsigned char header[28] = {};
  sqlite3_file* file = nullptr;
  // Through SQLite's own descriptor where the model holds one: opening and
  // closing another one on the file would drop every POSIX lock this
  // process holds on it, including those of other connections.
  const bool read =
      open && sqlite3_file_control(open->db.get(), "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK &&
      file && file->pMethods && file->pMethods->xRead(file, header, sizeof header, 0) == SQLITE_OK;
  if (!read) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return id;
  }
  id.changeCounter = BigEndian(header + 24, 4);
  return id;
}

namespace {

// One line for a flush that failed in SQLite: what and why; the file keeps
// its last flush (the transaction rolled back) and the model its changes.
[[noreturn]] void FlushFailed(const ModelData& d, const Sql::SqlError& e) {
  if (e.Busy())
    throw ModelError("cannot flush model file \"" + d.fileName + "\": a reader held it for longer than " +
                     std::to_string(Sql::kBusyTimeoutMs / 1000) + " s; the changes are kept");
  throw ModelError("cannot flush model file \"" + d.fileName + "\": " + e.Reason() +
                   "; the changes are kept");
}

void WriteToFile(ModelData& d, const ProgressCallback& progress);

}  // namespace

void Write(ModelData& d, const ProgressCallback& progress) {
  try {
    WriteToFile(d, progress);
  } catch (const Sql::SqlError& e) {
    FlushFailed(d, e);
  }
}

namespace {

void WriteToFile(ModelData& d, const ProgressCallback& progress) {
  // A journal left by this model's own failed flush (its rollback failed
  // too) is rolled back by the model's connection first: only then does
  // the file show the state the model last wrote. The claim guarantees no
  // other writer's journal lies there.
  if (d.file && HasHotJournal(d.fileName)) d.file->db.Exec("SELECT count(*) FROM meta");
  CheckUnchanged(d);
  if (!d.file) {
    if (!d.identity.exists) {
      CreateFile(d, d.fileName, *d.writerClaim, progress);
      d.identity = IdentityOf(d.fileName, nullptr);
      return;
    }
    CheckHeader(d.fileName);
    auto file = std::make_shared<FileConnection>(d.fileName, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    file->db.Exec("PRAGMA journal_mode = DELETE");
    d.file = std::move(file);
  }
  // SQLite keeps the pages it read while the file's change counter stays
  // the same; a copy of a look-alike file has the same counter, so the
  // token must be read from the disk, not from that cache.
  sqlite3_db_release_memory(d.file->db.get());
  WriteChanges(d.file->db, d, false, progress);
  d.stored.version = Schema::kVersion;
  d.identity = IdentityOf(d.fileName, d.file.get());
}

}  // namespace

void SaveAs(ModelData& d, const std::string& fileName, WriterClaim& claim) {
  try {
    CreateFile(d, fileName, claim, {});
  } catch (const Sql::SqlError& e) {
    throw ModelError("cannot save model file \"" + fileName + "\": " + e.Reason());
  }
  d.file.reset();
  d.fileName = fileName;
  d.identity = IdentityOf(fileName, nullptr);
}

}  // namespace ModelFile
}  // namespace Kestrum::Quilm::AnalysisModel
