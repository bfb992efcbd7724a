// The claim a read-write model holds on its file, for the model's life, in
// two parts:
// - by name: an exclusive flock on a lock file beside it, "<file>-lock",
//   which also covers a file not created yet (the first flush renames a new
//   file into place);
// - on the file itself: an open-file-description (OFD) write lock on one
//   byte of the database file that SQLite never locks, so that a second
//   writer reaching the same file through a symlink, a hard link or after
//   the lock file was deleted is refused too.
// Both belong to an open file description, so a second claim fails within
// one process as well as across processes, and the kernel drops both when
// the holder dies: a crashed writer leaves at most a lock file nobody holds.
// Closing the file lock's descriptor, as closing any descriptor of the file
// does (the header checks' reads too), drops the POSIX locks SQLite holds
// for this process on the file: a read of another model of this process on
// the same file, at the instant the writer ends, loses its read lock for the
// rest of that read.
// Internal to the library.
#pragma once

#include <string>

namespace Kestrum::Quilm::AnalysisModel {

// The OFD lock on one database file (its inode), whatever names it has.
class FileLock {
 public:
  FileLock() = default;
  // Locks the file `path` names now; throws ModelError "model file
  // <claimedName> is in use by another writer" when another model holds
  // it. A file this process may not write is left unlocked (no write to it
  // can succeed, and the flush says why).
  FileLock(const std::string& path, const std::string& claimedName);
  FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

 private:
  int fd_ = -1;
};

class WriterClaim {
 public:
  // Claims `fileName` for writing, and the file it names if it exists;
  // throws ModelError "model file ... is in use by another writer (process
  // N)" when another model holds either.
  explicit WriterClaim(const std::string& fileName);
  WriterClaim(const WriterClaim&) = delete;
  WriterClaim& operator=(const WriterClaim&) = delete;
  // Removes the lock file and releases the claim.
  ~WriterClaim();

  // Holds `lock` (taken on a new file before it is renamed onto the claimed
  // name) instead of the lock on the file the name had before.
  void MoveTo(FileLock lock) { file_ = std::move(lock); }

 private:
  std::string lockName_;
  int fd_ = -1;
  FileLock file_;
};

}  // namespace Kestrum::Quilm::AnalysisModel
