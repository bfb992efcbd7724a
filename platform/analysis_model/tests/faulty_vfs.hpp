// An SQLite VFS shim for tests: made the default VFS while it lives, it
// passes every call to the real VFS and fails the N-th write, sync, lock,
// read or delete once armed, the way a full disk or a failing device would,
// or ends the process there, the way a crash would. It also keeps what a
// power cut would leave of each file it saw: the content of its last sync,
// and a deletion only once its folder was synchronised (by SQLite or, seen
// through this file's fsync wrapper, by the library itself).
#pragma once

#include <sqlite3.h>

#include <map>
#include <optional>
#include <string>

namespace Kestrum::Quilm::AnalysisModel::Testing {

class FaultyVfs {
 public:
  enum Operation { kWrite, kSync, kLock, kRead, kDelete };

  FaultyVfs();
  ~FaultyVfs();
  FaultyVfs(const FaultyVfs&) = delete;
  FaultyVfs& operator=(const FaultyVfs&) = delete;

  // Fails the n-th call of `op` from now on (n >= 1); Disarm stops it. A
  // write failed with `errnum` ENOSPC reports a full disk, as SQLite's own
  // file layer does (SQLITE_FULL).
  void Arm(Operation op, long n, int errnum = 0);
  // Ends the process (_exit(0), no cleanup) at the n-th call of `op`; for a
  // forked child standing in for a crashed program.
  void ArmCrash(Operation op, long n);
  // Stops the storage at the n-th call of `op`: that call and every later
  // write, sync, truncate or delete fail, as if the power went there; then
  // PowerCut shows what the disk kept.
  void ArmPowerCut(Operation op, long n);
  void Disarm() { armed_ = false; }
  // True once the armed fault has been injected.
  bool Fired() const { return fired_; }

  // Puts every file the shim has seen back to what a power cut would leave
  // (its content at its last sync; deleted only by a delete that synced its
  // folder) and takes that as the new durable state. Call it with every
  // connection closed. Files present when first seen count as durable.
  void PowerCut();
  bool Stopped() const { return stopped_; }
  // Takes every file as it is on disk now as durable (forgets what the shim
  // knew of earlier states).
  void AllDurable() { durable_.clear(); }

  // Called by the shim's file methods.
  bool ShouldFail(Operation op);
  int Errno() const { return errno_; }
  void SeeFile(const std::string& path);
  void Synced(const std::string& path);
  void Deleting(const std::string& path, bool folderSynced);
  // A folder synchronised outside SQLite (the library's own fsync of a
  // folder, seen by the shim's fsync wrapper): the files seen in it that
  // are gone now are durably gone.
  void FolderSynced(const std::string& folder);

 private:
  sqlite3_vfs vfs_{};
  bool armed_ = false, fired_ = false, crash_ = false, powerCut_ = false, stopped_ = false;
  Operation op_ = kWrite;
  long countdown_ = 0;
  int errno_ = 0;
  // The durable content of each file seen; nullopt: durably absent.
  std::map<std::string, std::optional<std::string>> durable_;
};

}  // namespace Kestrum::Quilm::AnalysisModel::Testing
