// The claim a read-write model holds on its file: an exclusive flock on a
// lock file beside it, "<file>-lock", held for the model's life. flock
// belongs to the open file description, so a second claim fails within one
// process as well as across processes, and the kernel drops it when the
// holder dies: a crashed writer leaves at most a lock file nobody holds.
// Internal to the library.
#pragma once

#include <string>

namespace Kestrum::Quilm::AnalysisModel {

class WriterClaim {
 public:
  // Claims `fileName` for writing; throws ModelError "model file ... is in
  // use by another writer (process N)" when another model holds it.
  explicit WriterClaim(const std::string& fileName);
  WriterClaim(const WriterClaim&) = delete;
  WriterClaim& operator=(const WriterClaim&) = delete;
  // Removes the lock file and releases the claim.
  ~WriterClaim();

  // True when a writer holds `fileName` now (a hint for readers' messages).
  static bool IsClaimed(const std::string& fileName);

 private:
  std::string lockName_;
  int fd_ = -1;
};

}  // namespace Kestrum::Quilm::AnalysisModel
