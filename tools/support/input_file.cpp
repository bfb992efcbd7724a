// Input checks and the final check of the standard output.
#include "input_file.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include "output_file.hpp"

namespace quilm_tools {

void CheckInputFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    throw std::runtime_error("cannot open \"" + path + "\": " + ErrorText(errno));
  if (S_ISREG(st.st_mode)) return;
  const char* what = S_ISDIR(st.st_mode)    ? "a directory"
                     : S_ISFIFO(st.st_mode) ? "a FIFO"
                     : S_ISSOCK(st.st_mode) ? "a socket"
                                            : "a device";
  throw std::runtime_error("\"" + path + "\" is not a regular file: it is " + what);
}

bool FinishStdout(const char* tool) {
  errno = 0;
  std::cout.flush();
  const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout;
  if (!failed) return true;
  if (errno == 0) {
    // An earlier write failed and its reason is gone: one more write finds
    // it (a full device fails it the same way).
    std::clearerr(stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  const int reason = errno ? errno : EIO;
  std::cerr << tool << ": cannot write the output: " << ErrorText(reason) << "\n";
  return false;
}

}  // namespace quilm_tools
