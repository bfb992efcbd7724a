// SQLite connection and statement wrappers.
#include "sqlite_handle.hpp"

#include <cmath>
#include <limits>

namespace Kestrum::Quilm::AnalysisModel::Sql {

Connection::Connection(const std::string& fileName, int flags) : fileName_(fileName) {
  const int rc = sqlite3_open_v2(fileName.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw ModelError("cannot open model file \"" + fileName + "\": " + message);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
}

Connection::~Connection() { sqlite3_close_v2(db_); }

void Connection::Exec(const std::string& sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    std::string message = error ? error : sqlite3_errstr(rc);
    sqlite3_free(error);
    throw SqlError("model file \"" + fileName_ + "\": " + message, sqlite3_extended_errcode(db_));
  }
}

void Connection::Check(int rc, const char* what) const {
  if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return;
  throw SqlError("model file \"" + fileName_ + "\": " + what + ": " + sqlite3_errmsg(db_), rc);
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
