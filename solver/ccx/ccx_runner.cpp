// Runs the solver in a work directory of its own.
#include "solver/ccx/ccx_runner.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "solver/ccx/ccx_element_results.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Removes the directory it made when the run is over, whatever happened.
class WorkDirectory {
 public:
  explicit WorkDirectory(const std::string& given) {
    if (!given.empty()) {
      path_ = given;
      fs::create_directories(path_);
      return;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quilm-ccx-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) {
      throw SolverError("cannot make a work directory: " + std::string(std::strerror(errno)));
    }
    path_ = buffer.data();
    owned_ = true;
  }
  ~WorkDirectory() {
    if (owned_) {
      std::error_code ignored;
      fs::remove_all(path_, ignored);
    }
  }
  WorkDirectory(const WorkDirectory&) = delete;
  WorkDirectory& operator=(const WorkDirectory&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
  bool owned_ = false;
};

// The last lines of the solver's output, for error messages.
std::string Tail(const std::string& text, std::size_t lines = 15) {
  if (text.empty()) return text;
  std::size_t at = text.size();
  for (std::size_t n = 0; n < lines && at > 0; ++n) {
    at = text.rfind('\n', at - 1);
    if (at == std::string::npos) return text;
  }
  return text.substr(at + 1);
}

// The lines that carry "*ERROR", which name what the solver rejected.
std::string ErrorLines(const std::string& text) {
  std::istringstream in(text);
  std::string out;
  for (std::string line; std::getline(in, line);) {
    if (line.find("*ERROR") != std::string::npos) out += line + "\n";
  }
  return out;
}

}  // namespace

std::optional<std::string> FindSolver(const std::string& executable) {
  if (executable.empty()) return std::nullopt;
  if (executable.find('/') != std::string::npos) {
    if (IsExecutableFile(executable)) return executable;
    return std::nullopt;
  }
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    if (dir.empty()) continue;
    const std::string candidate = dir + "/" + executable;
    if (IsExecutableFile(candidate)) return candidate;
  }
  return std::nullopt;
}

namespace {

// Decks below this size (about 3,000 elements of the example frame) solve
// in seconds on one thread; the equation solver's threads only pay above it.
constexpr std::uintmax_t kThreadedDeckBytes = 1 << 20;

int ThreadsFor(const RunOptions& options, const fs::path& input) {
  if (options.threads != RunOptions::kAutoThreads) return options.threads;
  std::error_code error;
  const std::uintmax_t size = fs::file_size(input, error);
  if (error || size < kThreadedDeckBytes) return 1;
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Counts the steps the solver announces in its output (" STEP  n" lines) as
// the output grows, reading only what was added since the last look.
class StepWatcher {
 public:
  explicit StepWatcher(const fs::path& log) : log_(log) {}
  std::uint64_t StepsBegun() {
    if (!in_.is_open()) in_.open(log_, std::ios::binary);
    if (!in_.is_open()) return begun_;
    in_.clear();
    for (std::string line; std::getline(in_, line);) {
      if (in_.eof()) {  // an unfinished line: read it again next time
        in_.clear();
        in_.seekg(-static_cast<std::streamoff>(line.size()), std::ios::cur);
        break;
      }
      if (line.rfind(" STEP ", 0) == 0) ++begun_;
    }
    return begun_;
  }

 private:
  fs::path log_;
  std::ifstream in_;
  std::uint64_t begun_ = 0;
};

// Waits for the solver to end and returns its wait status. When `watch`
// is set it looks at the solver's output a few times a second and counts
// each step completed on `meter`; if that throws (a host's callback), the
// solver is stopped before the exception goes on.
int WaitForSolver(pid_t child, const fs::path& log, bool watch, AnalysisModel::ProgressMeter& meter,
                  std::uint64_t steps) {
  int status = 0;
  if (!watch) {
    while (::waitpid(child, &status, 0) < 0) {
      if (errno != EINTR) throw SolverError("lost the solver process: " + std::string(std::strerror(errno)));
    }
    return status;
  }
  StepWatcher watcher(log);
  std::uint64_t reported = 0;
  auto pause = std::chrono::milliseconds(5);
  try {
    for (;;) {
      const pid_t ended = ::waitpid(child, &status, WNOHANG);
      if (ended < 0 && errno != EINTR)
        throw SolverError("lost the solver process: " + std::string(std::strerror(errno)));
      if (ended == child) return status;
      // A step is complete once the next one has begun.
      const std::uint64_t begun = watcher.StepsBegun();
      const std::uint64_t completed = std::min(begun > 0 ? begun - 1 : 0, steps);
      if (completed > reported) {
        meter.Advance(completed - reported);
        reported = completed;
      }
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::milliseconds(200));
    }
  } catch (...) {
    ::kill(child, SIGKILL);
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    throw;
  }
}

// Runs the solver on the deck already written to job.inp in `work`.
SolveResults Solve(const CcxDeck& deck, const RunOptions& options, const std::string& solver,
                   const WorkDirectory& work) {
  const fs::path log = work.Path() / "job.log";
  const int threads = ThreadsFor(options, work.Path() / "job.inp");

  // The environment is prepared before the fork: the child may only make
  // async-signal-safe calls until exec.
  std::vector<std::string> environment;
  for (char** e = environ; e && *e; ++e) {
    const std::string entry(*e);
    if (entry.rfind("OMP_NUM_THREADS=", 0) == 0 || entry.rfind("CCX_NPROC_EQUATION_SOLVER=", 0) == 0)
      continue;
    environment.push_back(entry);
  }
  environment.push_back("OMP_NUM_THREADS=" + std::to_string(threads));
  environment.push_back("CCX_NPROC_EQUATION_SOLVER=" + std::to_string(threads));
  rlimit memory{};
  if (options.memoryLimitMiB > 0) memory.rlim_cur = memory.rlim_max = rlim_t(options.memoryLimitMiB) << 20;
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  const std::string directory = work.Path().string();
  const std::uint64_t steps = deck.loadCaseSteps.size() + (deck.frequencyCount > 0 ? 1 : 0);
  AnalysisModel::ProgressMeter solving(options.progress, "solve", steps);
  const pid_t child = ::fork();
  if (child < 0) throw SolverError("cannot start the solver: " + std::string(std::strerror(errno)));
  if (child == 0) {
    if (::chdir(directory.c_str()) != 0) ::_exit(126);
    if (options.memoryLimitMiB > 0 && ::setrlimit(RLIMIT_AS, &memory) != 0) ::_exit(126);
    const int fd = ::open("job.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) ::_exit(126);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    ::close(fd);
    const char* argv[] = {solver.c_str(), "-i", "job", nullptr};
    ::execve(solver.c_str(), const_cast<char* const*>(argv), envp.data());
    ::_exit(127);
  }
  const int status = WaitForSolver(child, log, static_cast<bool>(options.progress), solving, steps);
  const std::string output = ReadFile(log);
  const bool exitedZero = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  const std::string errors = ErrorLines(output);
  if (!exitedZero || output.find("Job finished") == std::string::npos || !errors.empty()) {
    std::string why = !exitedZero ? (WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                                       : std::string("killed by a signal"))
                                  : std::string("it reported errors");
    throw SolverError("the solver failed (" + why + "):\n" + (errors.empty() ? Tail(output) : errors));
  }
  solving.Finish();
  AnalysisModel::ProgressMeter reading(options.progress, "read results", 1);
  SolveResults results = detail::ReadRunResults(deck, work.Path().string());
  results.solverOutput = output;
  reading.Finish();
  return results;
}

std::string CheckedSolver(const CcxDeck& deck, const RunOptions& options) {
  if (deck.loadCaseSteps.empty() && deck.combinationNames.empty() && deck.frequencyCount == 0 &&
      deck.bucklingModes == 0) {
    throw SolverError("nothing to solve: the deck has no load case, combination, frequency or buckling step");
  }
  const auto solver = FindSolver(options.executable);
  if (!solver) throw SolverError("the solver '" + options.executable + "' was not found");
  if (options.threads < 0) throw SolverError("the solver needs at least one thread");
  return *solver;
}

}  // namespace

SolveResults RunSolver(const CcxDeck& deck, const RunOptions& options) {
  const std::string solver = CheckedSolver(deck, options);
  WorkDirectory work(options.workDirectory);
  const fs::path input = work.Path() / "job.inp";
  {
    std::ofstream out(input, std::ios::binary);
    out << deck.text;
    if (!out.flush()) throw SolverError("cannot write " + input.string());
  }
  return Solve(deck, options, solver, work);
}

SolveResults RunSolver(const CcxDeck& deck, const std::string& deckFile, const RunOptions& options) {
  const std::string solver = CheckedSolver(deck, options);
  WorkDirectory work(options.workDirectory);
  const fs::path input = work.Path() / "job.inp";
  // A link where the file system allows it: a large deck is not copied.
  std::error_code error;
  if (fs::equivalent(deckFile, input, error)) return Solve(deck, options, solver, work);
  fs::remove(input, error);
  fs::create_hard_link(deckFile, input, error);
  if (error && !fs::copy_file(deckFile, input, fs::copy_options::overwrite_existing, error))
    throw SolverError("cannot copy " + deckFile + " to " + input.string() + ": " + error.message());
  return Solve(deck, options, solver, work);
}

}  // namespace Kestrum::Quilm::Solver
