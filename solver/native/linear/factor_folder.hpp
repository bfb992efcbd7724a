// A folder of one's own for out-of-core factor files: made, unique, inside
// a folder the caller names and removed with everything in it when the
// object ends, so that no factor file outlives its factorisation (after
// an error either). Internal to the linear back end.
#pragma once

#include <cstdint>
#include <string>

namespace Kestrum::Quilm::Solver::Native {

class FactorFolder {
 public:
  // Makes a new folder inside `parent`. Throws LinearSolverError when
  // `parent` is not an existing folder one can write in.
  explicit FactorFolder(const std::string& parent);
  // Removes the folder and its files; errors are ignored.
  ~FactorFolder();
  FactorFolder(const FactorFolder&) = delete;
  FactorFolder& operator=(const FactorFolder&) = delete;

  const std::string& Path() const noexcept { return path_; }
  // The size of the files in it, in MB (rounded up).
  std::int64_t Megabytes() const;

 private:
  std::string path_;
};

// Throws LinearSolverError ("out-of-core folder DIR: ...") unless `folder`
// is an existing folder one can write in.
void CheckWritableFolder(const std::string& folder);

}  // namespace Kestrum::Quilm::Solver::Native
