// quilm-inspect: prints what an analysis model file holds.
//
//   quilm-inspect FILE [counts]
//   quilm-inspect FILE element ID | node ID | loadcase ID [LIMIT] | concepts
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

#include "input_file.hpp"
#include "inspector.hpp"

namespace {

const char* kUsage =
    "usage: quilm-inspect FILE [counts | element ID | node ID | loadcase ID [LIMIT] | concepts]\n"
    "  counts       row counts of every table (the default)\n"
    "  element ID   one element's full record\n"
    "  node ID      one node's name, masses, support and loads\n"
    "  loadcase ID  a load case's gravity and loads (the first LIMIT, default 50)\n"
    "  concepts     the structure-concept tree\n";

// A whole number argument; throws std::invalid_argument otherwise.
long Number(const std::string& what, const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || errno)
    throw std::invalid_argument(what + " must be a whole number, not \"" + text + "\"");
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    (argc < 2 ? std::cerr : std::cout) << kUsage;
    return argc < 2 ? 2 : 0;
  }
  const std::string file = argv[1];
  const std::string command = argc > 2 ? argv[2] : "counts";
  long id = 0;
  std::size_t limit = 50;
  try {
    const bool needsId = command == "element" || command == "node" || command == "loadcase";
    if (command != "counts" && command != "concepts" && !needsId)
      throw std::invalid_argument("unknown command \"" + command + "\"");
    const int expected = needsId ? 4 : 3;
    if (argc < expected && needsId) throw std::invalid_argument(command + " needs an id");
    if (argc > expected + (command == "loadcase" ? 1 : 0)) throw std::invalid_argument("too many arguments");
    if (needsId) id = Number(command + " id", argv[3]);
    if (command == "loadcase" && argc > 4) {
      const long n = Number("limit", argv[4]);
      if (n < 0) throw std::invalid_argument("limit must not be negative");
      limit = static_cast<std::size_t>(n);
    }
  } catch (const std::invalid_argument& e) {
    std::cerr << "quilm-inspect: " << e.what() << "\n" << kUsage;
    return 2;
  }
  try {
    quilm_tools::CheckInputFile(file);
    auto model = quilm_inspect::OpenReadOnly(file);
    if (command == "counts")
      quilm_inspect::PrintCounts(*model, std::cout);
    else if (command == "element")
      quilm_inspect::PrintElement(*model, id, std::cout);
    else if (command == "node")
      quilm_inspect::PrintNode(*model, id, std::cout);
    else if (command == "loadcase")
      quilm_inspect::PrintLoadCase(*model, id, std::cout, limit);
    else
      quilm_inspect::PrintConceptTree(*model, std::cout);
    return quilm_tools::FinishStdout("quilm-inspect") ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "quilm-inspect: " << e.what() << "\n";
    return 1;
  }
}
