// Thin RAII wrappers over the SQLite C interface: a connection and a
// prepared statement, both turning every failure into ModelError.
// Internal to the library.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "portable_bytes.hpp"

namespace Kestrum::Quilm::AnalysisModel::Sql {

// A failure reported by SQLite: "model file "<name>": <reason>", one line.
class SqlError : public ModelError {
 public:
  SqlError(const std::string& fileName, const std::string& reason, int code)
      : ModelError("model file \"" + fileName + "\": " + reason), reason_(reason), code_(code) {}
  // SQLite's extended result code.
  int Code() const noexcept { return code_; }
  // Why, in one line: the system's reason for a failed read, write or open
  // ("no space left on device", "permission denied"), else SQLite's.
  const std::string& Reason() const noexcept { return reason_; }
  // The file was locked by another connection beyond the busy timeout.
  bool Busy() const noexcept { return (code_ & 0xff) == SQLITE_BUSY || (code_ & 0xff) == SQLITE_LOCKED; }
  // SQLite found the content itself wrong (a damaged page, a missing table
  // or column), not the storage under it.
  bool Damage() const noexcept {
    const int primary = code_ & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_ERROR ||
           primary == SQLITE_SCHEMA || primary == SQLITE_MISMATCH || primary == SQLITE_RANGE;
  }

 private:
  std::string reason_;
  int code_;
};

// The C library's text for an error number, in lower case as a message
// continues it ("no space left on device").
std::string ErrorText(int errnum);

// How long a connection waits for another connection's lock on the file
// before giving up: a reader waits out a writer's commit, a writer the
// readers that are reading.
inline constexpr int kBusyTimeoutMs = 5000;

class Connection {
 public:
  // Opens `fileName` with the given SQLITE_OPEN_* flags and the busy timeout.
  Connection(const std::string& fileName, int flags);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  sqlite3* get() const noexcept { return db_; }
  // Runs one or more statements without results.
  void Exec(const std::string& sql);
  // Throws SqlError (its reason, one line) unless rc is OK/ROW/DONE; `what`
  // names the call for a reader of the code only.
  void Check(int rc, const char* what) const;
  const std::string& FileName() const noexcept { return fileName_; }

 private:
  sqlite3* db_ = nullptr;
  std::string fileName_;
};

class Statement {
 public:
  Statement(Connection& db, const char* sql);
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement();

  Statement& Bind(int index, std::int64_t v);
  Statement& Bind(int index, int v) { return Bind(index, static_cast<std::int64_t>(v)); }
  Statement& Bind(int index, double v);
  Statement& Bind(int index, const std::string& v);
  Statement& BindNull(int index);
  Statement& BindBlob(int index, const void* data, std::size_t size);
  // Binds bytes that stay valid and unchanged until the statement is reset.
  Statement& BindStaticBlob(int index, const void* data, std::size_t size);
  // Binds numbers as a blob in the file's byte order (portable_bytes.hpp).
  template <class T>
  Statement& BindValues(int index, const T* values, std::size_t count) {
    if constexpr (PortableBytes::kNativeIsLittleEndian) {
      return BindBlob(index, values, count * sizeof(T));
    } else {
      std::vector<unsigned char> bytes(count * sizeof(T));
      PortableBytes::Encode(values, count, bytes.data());
      return BindBlob(index, bytes.data(), bytes.size());
    }
  }
  template <class T>
  Statement& BindVector(int index, const std::vector<T>& values) {
    return BindValues(index, values.data(), values.size());
  }
  // BindValues for numbers that stay valid and unchanged until the statement
  // is reset: not copied where the machine's byte order is the file's.
  template <class T>
  Statement& BindStaticValues(int index, const T* values, std::size_t count) {
    if constexpr (PortableBytes::kNativeIsLittleEndian)
      return BindStaticBlob(index, values, count * sizeof(T));
    else
      return BindValues(index, values, count);
  }

  // Steps once; true while a row is available.
  bool Step();
  // Runs a statement without results to its end and resets it for reuse.
  void Run();
  void Reset();

  sqlite3_stmt* Handle() const noexcept { return stmt_; }
  std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  // A REAL column; NULL (how SQLite stores a NaN) reads as NaN.
  double Real(int column) const;
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  std::string Text(int column) const;
  // A blob column as values of T, stored in the file's byte order.
  template <class T>
  std::vector<T> Vector(int column) const {
    const void* data = sqlite3_column_blob(stmt_, column);
    const int bytes = sqlite3_column_bytes(stmt_, column);
    if (bytes % static_cast<int>(sizeof(T)) != 0) Corrupt("blob of unexpected size");
    std::vector<T> values(bytes / sizeof(T));
    PortableBytes::Decode(static_cast<const unsigned char*>(data), values.size(), values.data());
    return values;
  }
  [[noreturn]] void Corrupt(const std::string& what) const;

 private:
  Connection& db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string sql_;
};

}  // namespace Kestrum::Quilm::AnalysisModel::Sql
