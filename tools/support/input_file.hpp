// Checks of a tool's input file before a library opens it: opening a FIFO
// would block for ever and a directory gives a library-internal message.
#pragma once

#include <string>

namespace quilm_tools {

// Throws std::runtime_error ("cannot open "X": reason" or ""X" is not a
// regular file") unless `path` names an existing regular file.
void CheckInputFile(const std::string& path);

// Flushes stdout; on a failed write (a full device, a closed pipe) prints
// "<tool>: cannot write the output: reason" to stderr and returns false.
bool FinishStdout(const char* tool);

}  // namespace quilm_tools
