// frame_host: the example host application. It lays out a steel frame with
// concrete decks, meshes it, mirrors it into an analysis model file, runs a
// session of changes with a flush after each, and prints a summary.
//
//   frame_host [--bays N] [--storeys N] [--elements N] [--divisions N]
//              [--file PATH] [--quiet]
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

#include "change_session.hpp"
#include "frame_host.hpp"
#include "output_file.hpp"
#include "report.hpp"

namespace {

struct Options {
  frame_host::FrameSize size;
  std::string file = "frame_host.qdb";
  bool quiet = false;
};

const char* kUsage =
    "usage: frame_host [--bays N] [--storeys N] [--elements N] [--divisions N] [--file PATH] [--quiet]\n"
    "  --bays N       bays along each side of the square footprint (default 10)\n"
    "  --storeys N    storeys (default 8)\n"
    "  --elements N   choose bays = storeys for at least N elements (e.g. 1000000)\n"
    "  --divisions N  elements per span, a multiple of 4 (default 4)\n"
    "  --file PATH    model file to write (default frame_host.qdb; an existing file is replaced)\n"
    "  --quiet        no progress lines\n";

unsigned long ParseCount(const char* option, const char* text) {
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (!*text || *end || errno || text[0] == '-')
    throw std::invalid_argument(std::string(option) + " needs a positive whole number, not \"" + text + "\"");
  return value;
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  unsigned long elements = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      std::exit(0);
    }
    if (arg == "--quiet") {
      o.quiet = true;
      continue;
    }
    if (i + 1 >= argc) throw std::invalid_argument("unknown option or missing value: " + arg);
    const char* value = argv[++i];
    if (arg == "--bays")
      o.size.bays = static_cast<unsigned>(ParseCount("--bays", value));
    else if (arg == "--storeys")
      o.size.storeys = static_cast<unsigned>(ParseCount("--storeys", value));
    else if (arg == "--divisions")
      o.size.divisions = static_cast<unsigned>(ParseCount("--divisions", value));
    else if (arg == "--elements")
      elements = ParseCount("--elements", value);
    else if (arg == "--file")
      o.file = value;
    else
      throw std::invalid_argument("unknown option " + arg);
  }
  if (elements) o.size = frame_host::FrameSize::ForElementCount(elements, o.size.divisions);
  o.size.Check();
  return o;
}

// An existing target is replaced only when it is a writable model file (or
// empty): a text file given by mistake, or a read-only model, is kept.
void CheckReplaceable(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return;  // a new file
  char header[16] = {};
  in.read(header, sizeof header);
  if (in.gcount() > 0 &&
      std::string(header, static_cast<std::size_t>(in.gcount())) != std::string("SQLite format 3", 16))
    throw std::runtime_error("\"" + file + "\" exists and is not a model file; not replacing it");
  // By its mode, not access(): a superuser may write anything.
  struct stat st {};
  if (::stat(file.c_str(), &st) == 0 && (st.st_mode & 0222) == 0)
    throw std::runtime_error("\"" + file + "\" is read-only; not replacing it");
}

void Run(const Options& o) {
  using namespace frame_host;
  std::ostream* progress = o.quiet ? nullptr : &std::cerr;
  // The example always starts a new model, built beside the target and moved
  // onto it only when complete: a failed run leaves an earlier model as it was.
  quilm_tools::CheckOutputPath(o.file, "");
  CheckReplaceable(o.file);
  quilm_tools::StagedPath staged(o.file);

  const FrameSize& s = o.size;
  std::vector<TimedStep> steps;
  TableCounts counts;
  {
    Stopwatch clock;
    FrameHost host(o.size, staged.TemporaryPath(), progress);
    host.BuildMesh();
    steps.push_back({"mesh (host)", clock.Seconds()});

    clock.Restart();
    host.WriteAll();
    steps.push_back({"first write", clock.Seconds()});
    // The first flush of a large model is its longest step; say so.
    if (progress && s.ElementCount() >= 50000) *progress << "  flushing the first write" << std::endl;
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
  try {
    options = ParseOptions(argc, argv);
  } catch (const std::invalid_argument& e) {
    std::cerr << "frame_host: " << e.what() << "\n" << kUsage;
    return 2;
  }
  try {
    Run(options);
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "frame_host: error: " << e.what() << "\n";
    return 1;
  }
}
