// Input checks and the final check of the standard output.
#include "input_file.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>

namespace quilm_tools {

void CheckInputFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    throw std::runtime_error("cannot open \"" + path + "\": " + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) throw std::runtime_error("\"" + path + "\" is not a regular file");
}

bool FinishStdout(const char* tool) {
  errno = 0;
  std::cout.flush();
  const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout;
  if (!failed) return true;
  const int reason = errno ? errno : EIO;
  std::cerr << tool << ": cannot write the output: " << std::strerror(reason) << "\n";
  return false;
}

}  // namespace quilm_tools
