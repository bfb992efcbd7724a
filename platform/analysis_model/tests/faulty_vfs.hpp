// An SQLite VFS shim for tests: made the default VFS while it lives, it
// passes every call to the real VFS and fails the N-th write, sync, lock or
// read once armed, the way a full disk or a failing device would.
#pragma once

#include <sqlite3.h>

namespace Kestrum::Quilm::AnalysisModel::Testing {

class FaultyVfs {
 public:
  enum Operation { kWrite, kSync, kLock, kRead };

  FaultyVfs();
  ~FaultyVfs();
  FaultyVfs(const FaultyVfs&) = delete;
  FaultyVfs& operator=(const FaultyVfs&) = delete;

  // Fails the n-th call of `op` from now on (n >= 1); Disarm stops it.
  void Arm(Operation op, long n);
  void Disarm() { armed_ = false; }
  // True once the armed fault has been injected.
  bool Fired() const { return fired_; }

  // Called by the shim's file methods.
  bool ShouldFail(Operation op);

 private:
  sqlite3_vfs vfs_{};
  bool armed_ = false, fired_ = false;
  Operation op_ = kWrite;
  long countdown_ = 0;
};

}  // namespace Kestrum::Quilm::AnalysisModel::Testing
