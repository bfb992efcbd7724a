// The out-of-core factors' own folder.
#include "solver/native/linear/factor_folder.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "solver/native/linear/factorisation.hpp"

namespace Kestrum::Quilm::Solver::Native {

namespace fs = std::filesystem;

void CheckWritableFolder(const std::string& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error))
    throw LinearSolverError("out-of-core folder " + folder + ": not an existing folder");
  if (access(folder.c_str(), W_OK | X_OK) != 0)
    throw LinearSolverError("out-of-core folder " + folder + ": cannot write in it");
}

FactorFolder::FactorFolder(const std::string& parent) {
  CheckWritableFolder(parent);
  std::string pattern = (fs::path(parent) / "quilm-factors-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr)
    throw LinearSolverError("out-of-core folder " + parent + ": " + std::strerror(errno));
  path_ = name.data();
}

FactorFolder::~FactorFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::int64_t FactorFolder::Megabytes() const {
  std::uintmax_t bytes = 0;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(path_, error))
    if (entry.is_regular_file(error)) {
      const std::uintmax_t size = entry.file_size(error);
      if (!error) bytes += size;
    }
  return static_cast<std::int64_t>((bytes + (1u << 20) - 1) >> 20);
}

}  // namespace Kestrum::Quilm::Solver::Native
