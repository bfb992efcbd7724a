// The writer's claim on a model file: flock on "<file>-lock".
#include "writer_claim.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "analysis_model/xaf_model.hpp"

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

}  // namespace

WriterClaim::WriterClaim(const std::string& fileName) : lockName_(LockName(fileName)) {
  for (;;) {
    const int fd = ::open(lockName_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
      throw ModelError("cannot claim model file \"" + fileName + "\" for writing: " + lockName_ + ": " +
                       std::strerror(errno));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) InUse(fileName, fd);
      const int error = errno;
      ::close(fd);
      throw ModelError("cannot claim model file \"" + fileName + "\" for writing: " + std::strerror(error));
    }
    if (StillNamed(fd, lockName_)) {
      fd_ = fd;
      break;
    }
    ::close(fd);
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, pid.data(), pid.size(), 0) < 0) {
    // The claim holds without the process id; only the message loses it.
  }
}

WriterClaim::~WriterClaim() {
  ::unlink(lockName_.c_str());
  ::close(fd_);
}

bool WriterClaim::IsClaimed(const std::string& fileName) {
  const int fd = ::open(LockName(fileName).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool claimed = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return claimed;
}

}  // namespace Kestrum::Quilm::AnalysisModel
