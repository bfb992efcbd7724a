// The writer's claim on a model file: flock on "<file>-lock" and an OFD
// lock on the file itself.
#include "writer_claim.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "analysis_model/xaf_model.hpp"
#include "sqlite_handle.hpp"

namespace Kestrum::Quilm::AnalysisModel {

namespace {

std::string LockName(const std::string& fileName) { return fileName + "-lock"; }

// The process id the holder wrote into the lock file, or "" when unknown.
std::string HolderOf(int fd) {
  char text[32] = {};
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  if (n <= 0) return "";
  std::string pid(text, static_cast<std::size_t>(n));
  while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' ')) pid.pop_back();
  if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) return "";
  return std::to_string(::getpid()) == pid ? "this process" : "process " + pid;
}

[[noreturn]] void InUse(const std::string& fileName, int fd) {
  const std::string holder = HolderOf(fd);
  ::close(fd);
  throw ModelError("model file \"" + fileName + "\" is in use by another writer" +
                   (holder.empty() ? std::string() : " (" + holder + ")"));
}

// True when `fd` is still the file under `name`: a holder that just
// released its claim removes the lock file, and a claim taken on the removed
// file would not exclude the next writer.
bool StillNamed(int fd, const std::string& name) {
  struct stat held, named;
  return ::fstat(fd, &held) == 0 && ::stat(name.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

// The byte the file lock covers: below SQLite's lock bytes (from
// 0x40000000), which SQLite's own POSIX locks cover; OFD and POSIX locks
// of one process conflict on a common byte.
constexpr off_t kClaimByte = 0x40000000 - 512;

struct flock ClaimRange(short type) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = kClaimByte;
  range.l_len = 1;
  return range;
}

}  // namespace

FileLock::FileLock(const std::string& path, const std::string& claimedName) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ < 0) {
    if (errno == EACCES || errno == EROFS || errno == EPERM || errno == ENOENT) return;
    throw ModelError("cannot claim model file \"" + claimedName + "\" for writing: " + Sql::ErrorText(errno));
  }
  struct flock range = ClaimRange(F_WRLCK);
  if (::fcntl(fd_, F_OFD_SETLK, &range) == 0) return;
  const int error = errno;
  ::close(fd_);
  fd_ = -1;
  if (error == EAGAIN || error == EACCES)
    throw ModelError("model file \"" + claimedName + "\" is in use by another writer");
  throw ModelError("cannot claim model file \"" + claimedName + "\" for writing: " + Sql::ErrorText(error));
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);
}

WriterClaim::WriterClaim(const std::string& fileName) : lockName_(LockName(fileName)) {
  for (;;) {
    const int fd = ::open(lockName_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
      throw ModelError("cannot claim model file \"" + fileName + "\" for writing: " + lockName_ + ": " +
                       Sql::ErrorText(errno));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) InUse(fileName, fd);
      const int error = errno;
      ::close(fd);
      throw ModelError("cannot claim model file \"" + fileName + "\" for writing: " + Sql::ErrorText(error));
    }
    if (StillNamed(fd, lockName_)) {
      fd_ = fd;
      break;
    }
    ::close(fd);
  }
  try {
    file_ = FileLock(fileName, fileName);
  } catch (...) {
    ::unlink(lockName_.c_str());  // this name was held here, not by the file's writer
    ::close(fd_);
    throw;
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, pid.data(), pid.size(), 0) < 0) {
    // The claim holds without the process id; only the message loses it.
  }
}

bool IsModelFileHeld(const std::string& fileName) {
  bool held = false;
  if (const int fd = ::open(LockName(fileName).c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
    held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
  }
  if (const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); fd >= 0) {
    struct flock range = ClaimRange(F_WRLCK);
    held = held || (::fcntl(fd, F_OFD_GETLK, &range) == 0 && range.l_type != F_UNLCK);
    ::close(fd);
  }
  return held;
}

WriterClaim::~WriterClaim() {
  file_ = FileLock();  // the file first: a writer that then gets the name gets the file too
  ::unlink(lockName_.c_str());
  ::close(fd_);
}

}  // namespace Kestrum::Quilm::AnalysisModel
