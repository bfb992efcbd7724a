// Safe output files: checks of the target and write-then-rename.
#include "output_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace quilm_tools {

void CheckOutputPath(const std::string& target, const std::string& input) {
  struct stat out {};
  if (::stat(target.c_str(), &out) != 0) {  // a new file: its folder must exist
    const auto slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0)
      throw std::runtime_error("cannot write \"" + target + "\": " + std::strerror(errno));
    if (!S_ISDIR(dir.st_mode))
      throw std::runtime_error("cannot write \"" + target + "\": " + std::strerror(ENOTDIR));
    return;
  }
  if (!S_ISREG(out.st_mode)) throw std::runtime_error("\"" + target + "\" exists and is not a regular file");
  struct stat in {};
  if (::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
    throw std::runtime_error("\"" + target + "\" is the input file itself");
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
    throw std::runtime_error("cannot move the new file onto \"" + target_ + "\": " + std::strerror(errno));
  committed_ = true;
}

OutputFile::OutputFile(std::string target) : path_(std::move(target)) {
  out_.open(path_.TemporaryPath(), std::ios::binary | std::ios::trunc);
  if (!out_) throw std::runtime_error("cannot write \"" + path_.Target() + "\": " + std::strerror(errno));
}

void OutputFile::Commit() {
  errno = 0;
  out_.flush();
  const bool written = static_cast<bool>(out_);
  const int reason = errno;
  out_.close();
  if (!written || out_.fail())
    throw std::runtime_error("cannot write \"" + path_.Target() +
                             "\": " + std::strerror(reason ? reason : EIO));
  path_.Commit();
}

}  // namespace quilm_tools
