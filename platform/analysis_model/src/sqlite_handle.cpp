// SQLite connection and statement wrappers.
#include "sqlite_handle.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace Kestrum::Quilm::AnalysisModel::Sql {

std::string ErrorText(int errnum) {
  std::string text = std::strerror(errnum);
  if (!text.empty() && std::isupper(static_cast<unsigned char>(text[0])) &&
      !(text.size() > 1 && std::isupper(static_cast<unsigned char>(text[1]))))
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

namespace {

// Failed reads, writes and opens carry the system's error number (SQLite
// keeps it for these codes only), which says why: a refused permission, a
// failing device; SQLite's own text says only "disk I/O error".
bool CarriesErrno(int code) {
  const int primary = code & 0xff;
  return primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN;
}

// One line: SQLite's messages may quote schema text across lines.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  std::string::size_type at;
  while ((at = text.find("  ")) != std::string::npos) text.erase(at, 1);
  return text;
}

// The error number of the last failed call on the database file or its
// journal, as SQLite's file layer kept it, else the connection's last one.
int LastErrno(sqlite3* db) {
  int errnum = 0;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_LAST_ERRNO, &errnum) == SQLITE_OK && errnum)
    return errnum;
  sqlite3_file* journal = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &journal) == SQLITE_OK && journal &&
      journal->pMethods &&
      journal->pMethods->xFileControl(journal, SQLITE_FCNTL_LAST_ERRNO, &errnum) == SQLITE_OK && errnum)
    return errnum;
  return sqlite3_system_errno(db);
}

std::string ReasonOf(sqlite3* db, int code, const char* message) {
  if ((code & 0xff) == SQLITE_FULL) return ErrorText(ENOSPC);  // how SQLite reports ENOSPC
  const int errnum = db && CarriesErrno(code) ? LastErrno(db) : 0;
  if (CarriesErrno(code) && errnum != 0) return ErrorText(errnum);
  return OneLine(message ? message : sqlite3_errstr(code));
}

}  // namespace

Connection::Connection(const std::string& fileName, int flags) : fileName_(fileName) {
  const int rc = sqlite3_open_v2(fileName.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string reason =
        ReasonOf(db_, db_ ? sqlite3_extended_errcode(db_) : rc, db_ ? sqlite3_errmsg(db_) : nullptr);
    sqlite3_close(db_);
    db_ = nullptr;
    throw ModelError("cannot open model file \"" + fileName + "\": " + reason);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
}

Connection::~Connection() { sqlite3_close_v2(db_); }

void Connection::Exec(const std::string& sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    const int code = sqlite3_extended_errcode(db_);
    const std::string reason = ReasonOf(db_, code, error);
    sqlite3_free(error);
    throw SqlError(fileName_, reason, code);
  }
}

// The statement is not quoted: the reason and the caller's context (the
// table being read) tell the user more than SQL would.
void Connection::Check(int rc, const char*) const {
  if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return;
  const int code = sqlite3_extended_errcode(db_);
  throw SqlError(fileName_, ReasonOf(db_, code, sqlite3_errmsg(db_)), code);
}

Statement::Statement(Connection& db, const char* sql) : db_(db), sql_(sql) {
  db_.Check(sqlite3_prepare_v2(db.get(), sql, -1, &stmt_, nullptr), sql);
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::Bind(int index, std::int64_t v) {
  db_.Check(sqlite3_bind_int64(stmt_, index, v), "bind");
  return *this;
}

Statement& Statement::Bind(int index, double v) {
  db_.Check(std::isnan(v) ? sqlite3_bind_null(stmt_, index) : sqlite3_bind_double(stmt_, index, v), "bind");
  return *this;
}

Statement& Statement::Bind(int index, const std::string& v) {
  db_.Check(sqlite3_bind_text(stmt_, index, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT), "bind");
  return *this;
}

Statement& Statement::BindNull(int index) {
  db_.Check(sqlite3_bind_null(stmt_, index), "bind");
  return *this;
}

Statement& Statement::BindBlob(int index, const void* data, std::size_t size) {
  // A zero-length blob, not NULL, for an empty list.
  db_.Check(size == 0 ? sqlite3_bind_zeroblob(stmt_, index, 0)
                      : sqlite3_bind_blob(stmt_, index, data, static_cast<int>(size), SQLITE_TRANSIENT),
            "bind");
  return *this;
}

Statement& Statement::BindStaticBlob(int index, const void* data, std::size_t size) {
  db_.Check(sqlite3_bind_blob(stmt_, index, data, static_cast<int>(size), SQLITE_STATIC), "bind");
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  db_.Check(rc, sql_.c_str());
  return false;
}

void Statement::Run() {
  while (Step()) {
  }
  Reset();
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

double Statement::Real(int column) const {
  if (IsNull(column)) return std::numeric_limits<double>::quiet_NaN();
  return sqlite3_column_double(stmt_, column);
}

std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  const int bytes = sqlite3_column_bytes(stmt_, column);
  return text ? std::string(text, bytes) : std::string();
}

void Statement::Corrupt(const std::string& what) const {
  throw ModelError("model file \"" + db_.FileName() + "\" is damaged: " + what);
}

}  // namespace Kestrum::Quilm::AnalysisModel::Sql
