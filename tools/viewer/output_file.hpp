// Output files of quilm-view: each is built beside its target under a
// temporary name and renamed into place only once it is complete, so a
// failed or interrupted run never leaves a half-written file where the user
// expects one and never destroys the file that was there.
#pragma once

#include <fstream>
#include <string>

namespace quilm_view {

// Refuses a target that is the model file itself (also through a link or a
// second name) or that exists and is not a regular file. Throws
// std::runtime_error with a one-line message naming the path.
void CheckOutputPath(const std::string& target, const std::string& input);

// A file being written beside `target`. Commit() flushes, closes and
// renames it onto the target; destroying an uncommitted file removes it.
class OutputFile {
 public:
  // Opens "<target>.<pid>.tmp" for binary writing; throws on failure.
  explicit OutputFile(std::string target);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  std::ofstream& Stream() noexcept { return out_; }
  const std::string& TemporaryPath() const noexcept { return temporary_; }
  // Throws std::runtime_error when a write failed or the rename fails; the
  // temporary file is then removed and the target left as it was.
  void Commit();

 private:
  std::string target_, temporary_;
  std::ofstream out_;
  bool committed_ = false;
};

}  // namespace quilm_view
