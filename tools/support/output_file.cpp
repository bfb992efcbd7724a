// Safe output files: checks of the target and write-then-rename.
#include "output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "analysis_model/xaf_model.hpp"

namespace quilm_tools {

namespace {

const std::string kSqliteHeader("SQLite format 3\0", 16);

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsSqlite(const std::string& head) { return StartsWith(head, kSqliteHeader); }

// A model file: an SQLite database stamped with the model's application id
// ("QULM" at header offset 68).
bool IsModelFile(const std::string& head) {
  return IsSqlite(head) && head.size() >= 72 && head.compare(68, 4, "QULM") == 0;
}
bool IsDeck(const std::string& head) { return StartsWith(head, "** Written from the analysis model "); }
bool IsPage(const std::string& head) {
  return StartsWith(head, "<!DOCTYPE html>") && head.find("&middot; quilm-view</title>") != std::string::npos;
}
bool IsVtk(const std::string& head) {
  return StartsWith(head, "<?xml") && head.find("<VTKFile ") != std::string::npos;
}
bool IsPng(const std::string& head) { return StartsWith(head, "\x89PNG\r\n\x1a\n"); }

// What the first bytes of a file say it is, for messages.
std::string Describe(const std::string& head) {
  if (IsModelFile(head)) return "a model file";
  if (IsSqlite(head)) return "another application's SQLite database";
  if (IsDeck(head)) return "a solver deck";
  if (IsPage(head)) return "a viewer page";
  if (IsVtk(head)) return "a VTK file";
  if (IsPng(head)) return "a PNG picture";
  return "a file of another kind";
}

std::string TypeOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

[[noreturn]] void Refuse(const std::string& target, const std::string& what) {
  throw std::runtime_error("\"" + target + "\" " + what + "; not replacing it");
}

// A new file: its folder must exist.
void CheckNewFile(const std::string& target) {
  const auto slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  struct stat dir {};
  if (::stat(folder.c_str(), &dir) != 0)
    throw std::runtime_error("cannot write \"" + target + "\": " + ErrorText(errno));
  if (!S_ISDIR(dir.st_mode))
    throw std::runtime_error("cannot write \"" + target + "\": " + ErrorText(ENOTDIR));
}

// The first bytes of a regular file (opened without blocking).
std::string HeadOf(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot read \"" + path + "\": " + ErrorText(errno));
  char buffer[512];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

const OutputKind kModelFileKind{"model file", IsModelFile};
const OutputKind kDeckKind{"solver deck", IsDeck};
const OutputKind kPageKind{"viewer page", IsPage};
const OutputKind kVtkKind{"VTK file", IsVtk};
const OutputKind kPngKind{"PNG picture", IsPng};

void CheckOutputPath(const std::string& target, const std::string& input, const OutputKind& kind) {
  if (target.empty()) throw std::runtime_error("the output file name is empty");
  struct stat link {};
  if (::lstat(target.c_str(), &link) != 0) {
    if (errno != ENOENT) throw std::runtime_error("cannot write \"" + target + "\": " + ErrorText(errno));
    return CheckNewFile(target);
  }
  struct stat out {};
  if (S_ISLNK(link.st_mode))
    Refuse(target, ::stat(target.c_str(), &out) != 0
                       ? "is a symbolic link to a missing file"
                       : "is a symbolic link (the new file would replace the link)");
  if (!S_ISREG(link.st_mode)) Refuse(target, "exists and is " + TypeOf(link.st_mode));
  struct stat in {};
  if (::stat(input.c_str(), &in) == 0 && in.st_dev == link.st_dev && in.st_ino == link.st_ino)
    throw std::runtime_error("\"" + target + "\" is the input file itself");
  if (link.st_size == 0) Refuse(target, "exists and is empty");
  // By the mode as well as access(): a superuser may write anything.
  if ((link.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
    Refuse(target, "exists and is read-only for you (permission denied)");
  const std::string head = HeadOf(target);
  if (!kind.matches(head)) Refuse(target, "holds " + Describe(head) + ", not a " + kind.name);
  if (IsModelFile(head) && Kestrum::Quilm::AnalysisModel::IsModelFileHeld(target))
    Refuse(target, "is open as a model by another program");
}

StagedPath::StagedPath(std::string target)
    : target_(std::move(target)), temporary_(target_ + "." + std::to_string(::getpid()) + ".tmp") {}

StagedPath::~StagedPath() {
  if (committed_) return;
  std::remove(temporary_.c_str());
  std::remove((temporary_ + "-journal").c_str());
}

void StagedPath::Commit() {
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
    throw std::runtime_error("cannot move the new file onto \"" + target_ + "\": " + ErrorText(errno));
  committed_ = true;
}

std::string ErrorText(int errnum) {
  std::string text = std::strerror(errnum);
  if (text.size() > 1 && std::isupper(static_cast<unsigned char>(text[0])) &&
      !std::isupper(static_cast<unsigned char>(text[1])))
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

FileBuffer::~FileBuffer() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileBuffer::Open(const std::string& path) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) error_ = errno;
  return fd_ >= 0;
}

bool FileBuffer::Drain() {
  const char* at = pbase();
  while (error_ == 0 && at < pptr()) {
    const ssize_t n = ::write(fd_, at, static_cast<std::size_t>(pptr() - at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      error_ = n < 0 ? errno : EIO;
    else
      at += n;
  }
  setp(buffer_, buffer_ + sizeof buffer_);
  return error_ == 0;
}

FileBuffer::int_type FileBuffer::overflow(int_type c) {
  if (!Drain()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

bool FileBuffer::Close() {
  Drain();
  // Synchronised before the rename: a power cut after it must not leave an
  // empty file under the target's name.
  if (error_ == 0 && ::fsync(fd_) != 0) error_ = errno;
  if (::close(fd_) != 0 && error_ == 0) error_ = errno;
  fd_ = -1;
  return error_ == 0;
}

OutputFile::OutputFile(std::string target) : path_(std::move(target)) {
  if (!buffer_.Open(path_.TemporaryPath()))
    throw std::runtime_error("cannot write \"" + path_.Target() + "\": " + ErrorText(buffer_.Error()));
}

void OutputFile::ThrowIfFailed() const {
  if (buffer_.Error() != 0)
    throw std::runtime_error("cannot write \"" + path_.Target() + "\": " + ErrorText(buffer_.Error()));
}

void OutputFile::Commit() {
  out_.flush();
  if (!buffer_.Close()) ThrowIfFailed();
  if (!out_) throw std::runtime_error("cannot write \"" + path_.Target() + "\": the output was not complete");
  path_.Commit();
}

}  // namespace quilm_tools
