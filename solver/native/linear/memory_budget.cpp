// The in-memory or out-of-core choice and the memory available.
#include "solver/native/linear/memory_budget.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace Kestrum::Quilm::Solver::Native {
namespace {

constexpr std::int64_t kMegabyte = 1024 * 1024;

// A field of /proc/meminfo in MB, or -1 when it cannot be read.
std::int64_t MeminfoMegabytes(const std::string& field) {
  std::ifstream in("/proc/meminfo");
  std::string name;
  std::int64_t kilobytes = 0;
  std::string unit;
  while (in >> name >> kilobytes) {
    std::getline(in, unit);
    if (name == field + ":") return kilobytes / 1024;
  }
  return -1;
}

// What the process's control group (version 2) still allows, in MB; -1
// when it sets no limit or cannot be read.
std::int64_t ControlGroupMegabytes() {
  std::ifstream maxFile("/sys/fs/cgroup/memory.max"), currentFile("/sys/fs/cgroup/memory.current");
  std::string max;
  std::int64_t current = 0;
  if (!(maxFile >> max) || max == "max" || !(currentFile >> current)) return -1;
  try {
    return std::max<std::int64_t>(0, (std::stoll(max) - current) / kMegabyte);
  } catch (const std::exception&) {
    return -1;
  }
}

// 22000 as "22,000".
std::string Grouped(std::int64_t value) {
  std::string digits = std::to_string(value);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

[[noreturn]] void Refuse(const MemoryFigures& figures, FactorStorage storage) {
  const bool outOfCoreFits = figures.outOfCoreMegabytes <= figures.limitMegabytes;
  std::ostringstream text;
  text << "the factorisation needs about " << Grouped(figures.inCoreMegabytes) << " MB in memory ("
       << Grouped(figures.outOfCoreMegabytes) << " MB out of core) and "
       << (figures.limitSet ? "the limit set is " + Grouped(figures.limitMegabytes) + " MB"
                            : Grouped(figures.limitMegabytes) + " MB are available")
       << ": "
       << (outOfCoreFits && storage == FactorStorage::InCore ? "solve out of core or on more processes"
                                                             : "solve on more processes or with more memory");
  throw InsufficientMemoryError(text.str(), figures);
}

}  // namespace

std::int64_t AvailableMegabytes() {
  std::int64_t available = MeminfoMegabytes("MemAvailable");
  if (available < 0) {
    const long pages = sysconf(_SC_AVPHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    available = pages > 0 && pageSize > 0 ? static_cast<std::int64_t>(pages) * pageSize / kMegabyte : 0;
  }
  const std::int64_t group = ControlGroupMegabytes();
  return group >= 0 ? std::min(available, group) : available;
}

std::int64_t MemoryLimit(const NativeMemoryOptions& options, std::int64_t available, bool& limitSet) {
  limitSet = options.limitMegabytes > 0 && options.limitMegabytes <= available;
  return limitSet ? options.limitMegabytes : available;
}

bool ChooseOutOfCore(std::int64_t inCoreMegabytes, std::int64_t outOfCoreMegabytes, FactorStorage storage,
                     std::int64_t limit, bool limitSet) {
  const MemoryFigures figures{inCoreMegabytes, outOfCoreMegabytes, limit, limitSet};
  const bool inCoreFits = inCoreMegabytes <= limit, outOfCoreFits = outOfCoreMegabytes <= limit;
  switch (storage) {
    case FactorStorage::InCore:
      if (!inCoreFits) Refuse(figures, storage);
      return false;
    case FactorStorage::OutOfCore:
      if (!outOfCoreFits) Refuse(figures, storage);
      return true;
    case FactorStorage::Automatic:
      if (inCoreFits) return false;
      if (!outOfCoreFits) Refuse(figures, storage);
      return true;
  }
  return false;
}

std::string OutOfCoreParent(const NativeMemoryOptions& options) {
  if (!options.outOfCoreFolder.empty()) return options.outOfCoreFolder;
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

}  // namespace Kestrum::Quilm::Solver::Native
