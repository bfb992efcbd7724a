// frame_host: the example host application. It lays out a steel frame with
// concrete decks, meshes it, mirrors it into an analysis model file, runs a
// session of changes with a flush after each, and prints a summary.
//
//   frame_host [--bays N] [--storeys N] [--elements N] [--divisions N]
//              [--file PATH] [--quiet] [--help] [--version]
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

#include "change_session.hpp"
#include "command_line.hpp"
#include "frame_host.hpp"
#include "input_file.hpp"
#include "output_file.hpp"
#include "report.hpp"
#include "terminal_progress.hpp"

#ifndef QUILM_VERSION
#define QUILM_VERSION "unknown"
#endif

namespace {

struct Options {
  frame_host::FrameSize size;
  std::string file = "frame_host.qdb";
  bool quiet = false;
};

// Memory a run takes per element, measured on frames of 24 000 to 229 000
// elements (about 650 bytes), with a margin.
constexpr std::size_t kBytesPerElement = 768;

// The memory the system can give without swapping (MemAvailable), or 0 when
// it cannot be told.
std::size_t AvailableMemory() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::size_t kib = 0;
  while (meminfo >> key >> kib) {
    if (key == "MemAvailable:") return kib * 1024;
    meminfo.ignore(64, '\n');
  }
  return 0;
}

// Refuses a frame the machine cannot hold, with the estimate.
void CheckMemory(const frame_host::FrameSize& size) {
  const std::size_t elements = size.ElementCount();
  const double needed = static_cast<double>(elements) * kBytesPerElement;
  const std::size_t available = AvailableMemory();
  if (available == 0 || needed <= static_cast<double>(available)) return;
  char text[200];
  std::snprintf(text, sizeof text,
                "a frame of %zu elements needs about %.1f GiB of memory; %.1f GiB are available", elements,
                needed / (1 << 30), static_cast<double>(available) / (1 << 30));
  throw CLI::ValidationError("--bays/--storeys/--elements", text);
}

// Parses the command line into `o`; returns -1 to go on, else the exit status.
int ParseOptions(int argc, char** argv, Options& o) {
  using quilm_tools::WholeNumber;
  CLI::App app{
      "frame_host: mirrors a steel frame with concrete decks into an analysis model file,\n"
      "runs a session of changes with a flush after each and prints a summary",
      "frame_host"};
  app.set_version_flag("--version", std::string("frame_host ") + QUILM_VERSION);
  long long bays = o.size.bays, storeys = o.size.storeys, divisions = o.size.divisions, elements = 0;
  auto* baysOption = app.add_option("--bays", bays, "bays along each side of the square footprint (default 10)")
      ->transform(WholeNumber(1, 200));
  auto* storeysOption = app.add_option("--storeys", storeys, "storeys (default 8)")->transform(WholeNumber(1, 200));
  // --elements chooses bays and storeys itself: given beside them, one would be ignored.
  app.add_option("--elements", elements, "choose bays = storeys for at least N elements (e.g. 1000000)")
      ->transform(WholeNumber(1, 1000000000000LL))
      ->excludes(baysOption)
      ->excludes(storeysOption);
  app.add_option("--divisions", divisions, "elements per span, a multiple of 4 from 4 to 32 (default 4)")
      ->transform(WholeNumber(4, 32));
  app.add_option("--file", o.file,
                 "model file to write (default frame_host.qdb); an existing model file is replaced "
                 "once the new one is complete");
  app.add_flag("--quiet", o.quiet, "no progress display");
  if (const int status = quilm_tools::Parse(app, argc, argv, "frame_host"); status >= 0) return status;
  try {
    if (divisions % 4 != 0) throw CLI::ValidationError("--divisions", "must be a multiple of 4");
    o.size.bays = static_cast<unsigned>(bays);
    o.size.storeys = static_cast<unsigned>(storeys);
    o.size.divisions = static_cast<unsigned>(divisions);
    if (elements > 0) {
      try {
        o.size = frame_host::FrameSize::ForElementCount(static_cast<std::size_t>(elements), o.size.divisions);
      } catch (const std::invalid_argument& e) {
        throw CLI::ValidationError("--elements", e.what());
      }
    }
    CheckMemory(o.size);
  } catch (const CLI::ValidationError& e) {
    std::cerr << "frame_host: " << e.what() << "\n";
    return 2;
  }
  return -1;
}

void Run(const Options& o) {
  using namespace frame_host;
  // Progress goes to a terminal only: logs and pipes get the summary alone.
  std::ostream* progress = o.quiet || !::isatty(STDERR_FILENO) ? nullptr : &std::cerr;
  auto flushProgress = quilm_tools::TerminalProgress::ForStderr(o.quiet);
  // The example always starts a new model, built beside the target and moved
  // onto it only when complete: a failed run leaves an earlier model as it was.
  // An existing target is replaced only when it is a model file the user may
  // write and no other program holds open as a model.
  quilm_tools::CheckOutputPath(o.file, "", quilm_tools::kModelFileKind);
  quilm_tools::StagedPath staged(o.file);

  const FrameSize& s = o.size;
  std::vector<TimedStep> steps;
  TableCounts counts;
  try {
    Stopwatch clock;
    FrameHost host(o.size, staged.TemporaryPath(), progress);
    host.BuildMesh();
    steps.push_back({"mesh (host)", clock.Seconds()});

    clock.Restart();
    host.WriteAll();
    steps.push_back({"first write", clock.Seconds()});
    // The first flush of a large model is its longest step: the model
    // reports its progress on the terminal.
    host.Model().GetXafModel()->SetProgressCallback(flushProgress.Callback());
    clock.Restart();
    host.Flush();
    steps.push_back({"flush after first write", clock.Seconds()});

    std::cout << "Change session\n";
    for (const auto& [name, change] : ChangeSession()) {
      clock.Restart();
      const ChangeRecord record = change(host);
      steps.push_back({"change: " + name, clock.Seconds()});
      clock.Restart();
      host.Flush();
      steps.push_back({"flush after " + name, clock.Seconds()});
      std::cout << "  " << record.description << " (" << record.changedElements.size()
                << " elements changed)\n";
    }
    std::cout << "\n";
    counts = CountTables(*host.Model().GetXafModel());
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    // Name the file the user gave, not the one being built beside it.
    std::string message = e.what();
    for (auto at = message.find(staged.TemporaryPath()); at != std::string::npos;
         at = message.find(staged.TemporaryPath(), at + o.file.size()))
      message.replace(at, staged.TemporaryPath().size(), o.file);
    if (auto at = message.find(o.file + ".new"); at != std::string::npos)
      message.erase(at + o.file.size(), 4);
    throw std::runtime_error(message);
  }
  staged.Commit();

  PrintSummary(std::cout,
               "Frame of " + std::to_string(s.bays) + " x " + std::to_string(s.bays) + " bays, " +
                   std::to_string(s.storeys) + " storeys, " + std::to_string(s.divisions) +
                   " elements per span",
               counts, steps, o.file);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int status = ParseOptions(argc, argv, options); status >= 0) return status;
  try {
    Run(options);
  } catch (const std::bad_alloc&) {
    std::cerr << "frame_host: out of memory; the model file was left as it was\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "frame_host: " << e.what() << "\n";
    return 1;
  }
  return quilm_tools::FinishStdout("frame_host") ? 0 : 1;
}
