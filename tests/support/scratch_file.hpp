// Scratch files for tests and benchmarks: names no other test of this run has
// used, under TMPDIR (or /tmp), and their removal with the side files a model
// file leaves (journal, write-ahead log, the ".new" file of a first flush).
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace Kestrum::Quilm::Testing {

// The folder scratch files go to: TMPDIR when set, /tmp otherwise.
inline std::string ScratchFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

// "<folder>/quilm_<tag>_<pid>_<n><extension>": unique to this process and call,
// so parallel test runs and repeated fixtures never meet. The file is not
// created; a model opened on it starts empty.
inline std::string ScratchFilePath(const std::string& tag, const std::string& extension = ".qdb") {
  static std::atomic<int> counter{0};
  return ScratchFolder() + "/quilm_" + tag + "_" + std::to_string(::getpid()) + "_" +
         std::to_string(counter++) + extension;
}

// Removes a model file and every side file the analysis model may leave
// beside it. Missing files are not an error.
inline void RemoveModelFiles(const std::string& path) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm", ".new", ".new-journal"})
    ::unlink((path + suffix).c_str());
}

// A scratch model file name, removed with its side files when this object
// goes (and before first use, should a previous run have left one).
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& tag, const std::string& extension = ".qdb")
      : path_(ScratchFilePath(tag, extension)) {
    RemoveModelFiles(path_);
  }
  ~ScratchFile() { RemoveModelFiles(path_); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& Path() const noexcept { return path_; }

 private:
  std::string path_;
};

}  // namespace Kestrum::Quilm::Testing
