// Output files of the command-line tools: each is built beside its target
// under a temporary name and renamed into place only once it is complete, so
// a failed or interrupted run never leaves a half-written file where the user
// expects one and never destroys the file that was there.
#pragma once

#include <fstream>
#include <string>

namespace quilm_tools {

// Refuses a target that is the input file itself (also through a link or a
// second name) or that exists and is not a regular file. Throws
// std::runtime_error with a one-line message naming the path.
void CheckOutputPath(const std::string& target, const std::string& input);

// A path beside `target` for a file another library writes (a model file).
// Commit() renames it onto the target; destroying an uncommitted path
// removes whatever was written there, with its journal.
class StagedPath {
 public:
  explicit StagedPath(std::string target);
  StagedPath(const StagedPath&) = delete;
  StagedPath& operator=(const StagedPath&) = delete;
  ~StagedPath();

  const std::string& Target() const noexcept { return target_; }
  const std::string& TemporaryPath() const noexcept { return temporary_; }
  // Throws std::runtime_error when the rename fails; the target is then
  // left as it was.
  void Commit();

 private:
  std::string target_, temporary_;
  bool committed_ = false;
};

// A file being written beside `target`. Commit() flushes, closes and
// renames it onto the target; destroying an uncommitted file removes it.
class OutputFile {
 public:
  // Opens "<target>.<pid>.tmp" for binary writing; throws on failure.
  explicit OutputFile(std::string target);

  std::ofstream& Stream() noexcept { return out_; }
  const std::string& TemporaryPath() const noexcept { return path_.TemporaryPath(); }
  // Throws std::runtime_error when a write failed or the rename fails; the
  // temporary file is then removed and the target left as it was.
  void Commit();

 private:
  StagedPath path_;
  std::ofstream out_;
};

}  // namespace quilm_tools
