// Output files of the command-line tools: each is built beside its target
// under a temporary name and renamed into place only once it is complete, so
// a failed or interrupted run never leaves a half-written file where the user
// expects one and never destroys the file that was there.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace quilm_tools {

// The kind of file a tool writes, told by its first bytes (at most 512):
// an existing target is replaced only when it is of this kind.
struct OutputKind {
  const char* name;  // "model file", "solver deck", ...
  bool (*matches)(const std::string& head);
};

// The kinds the tools write.
extern const OutputKind kModelFileKind;  // a model file (frame_host)
extern const OutputKind kDeckKind;       // a solver deck (quilm-export)
extern const OutputKind kPageKind;       // a viewer page (quilm-view)
extern const OutputKind kVtkKind;        // a VTK grid or collection (quilm-view)
extern const OutputKind kPngKind;        // a PNG picture (quilm-view)

// Refuses, with std::runtime_error and a one-line message naming the path
// and what is there, a target that may not be replaced by a file of
// `kind`: an empty name, a folder that does not exist, the input file
// itself (also through a link or a second name), a symbolic link (dangling
// or not: the rename would replace the link), anything but a regular file
// (a FIFO, a device, a folder), an empty file, a file the user may not
// write, a file of another kind (another application's SQLite database, a
// text file), and a model file another program holds open as a model.
void CheckOutputPath(const std::string& target, const std::string& input, const OutputKind& kind);

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

// The C library's text for an error number, in lower case as a message
// continues it ("no space left on device", "permission denied").
std::string ErrorText(int errnum);

// A stream buffer writing to a file descriptor that keeps the reason of the
// first failed write (a stream's state keeps only that it failed).
class FileBuffer : public std::streambuf {
 public:
  FileBuffer() { setp(buffer_, buffer_ + sizeof buffer_); }
  FileBuffer(const FileBuffer&) = delete;
  FileBuffer& operator=(const FileBuffer&) = delete;
  ~FileBuffer() override;

  // Creates or truncates `path`; false with Error() set on failure.
  bool Open(const std::string& path);
  // Writes what is buffered, syncs the file to the disk and closes it; false
  // with Error() set when any write, the sync or the close failed.
  bool Close();
  // The errno of the first failure, 0 if none.
  int Error() const noexcept { return error_; }

 protected:
  int_type overflow(int_type c) override;
  int sync() override { return Drain() ? 0 : -1; }

 private:
  bool Drain();
  int fd_ = -1;
  int error_ = 0;
  char buffer_[1 << 16];
};

// A file being written beside `target`. Commit() flushes, syncs, closes and
// renames it onto the target; destroying an uncommitted file removes it.
class OutputFile {
 public:
  // Opens "<target>.<pid>.tmp" for binary writing; throws on failure.
  explicit OutputFile(std::string target);

  std::ostream& Stream() noexcept { return out_; }
  const std::string& TemporaryPath() const noexcept { return path_.TemporaryPath(); }
  // Throws std::runtime_error "cannot write "<target>": <reason>" when a
  // write has failed so far (for a writer that stopped on a failed stream).
  void ThrowIfFailed() const;
  // Throws std::runtime_error naming the reason ("no space left on device")
  // when a write, the sync or the rename failed; the temporary file is then
  // removed and the target left as it was.
  void Commit();

 private:
  StagedPath path_;
  FileBuffer buffer_;
  std::ostream out_{&buffer_};
};

}  // namespace quilm_tools
