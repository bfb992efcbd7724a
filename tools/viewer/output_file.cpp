// Safe output files: checks of the target and write-then-rename.
#include "output_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace quilm_view {

void CheckOutputPath(const std::string& target, const std::string& input) {
  struct stat out {};
  if (::stat(target.c_str(), &out) != 0) return;  // a new file
  if (!S_ISREG(out.st_mode))
    throw std::runtime_error("output \"" + target + "\" exists and is not a regular file");
  struct stat in {};
  if (::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
    throw std::runtime_error("output \"" + target + "\" is the model file itself");
}

OutputFile::OutputFile(std::string target)
    : target_(std::move(target)), temporary_(target_ + "." + std::to_string(::getpid()) + ".tmp") {
  out_.open(temporary_, std::ios::binary | std::ios::trunc);
  if (!out_) throw std::runtime_error("cannot write \"" + temporary_ + "\": " + std::strerror(errno));
}

OutputFile::~OutputFile() {
  if (committed_) return;
  out_.close();
  std::remove(temporary_.c_str());
}

void OutputFile::Commit() {
  out_.flush();
  const bool written = static_cast<bool>(out_);
  out_.close();
  if (!written || out_.fail()) throw std::runtime_error("writing \"" + target_ + "\" failed (disk full?)");
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
    throw std::runtime_error("cannot move the new file onto \"" + target_ + "\": " + std::strerror(errno));
  committed_ = true;
}

}  // namespace quilm_view
