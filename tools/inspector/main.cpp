// quilm-inspect: prints what an analysis model file holds.
//
//   quilm-inspect FILE [counts]
//   quilm-inspect FILE element ID | node ID | loadcase ID [LIMIT] | concepts [--limit N] [--name TEXT]
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "command_line.hpp"
#include "input_file.hpp"
#include "inspector.hpp"

#ifndef QUILM_VERSION
#define QUILM_VERSION "unknown"
#endif

namespace {

constexpr long long kMaxId = 9223372036854775807LL;

struct Options {
  std::string file;
  long long id = 0;
  long long limit = 50;
  quilm_inspect::ConceptFilter concepts;
};

}  // namespace

int main(int argc, char** argv) {
  using quilm_tools::WholeNumber;
  CLI::App app{"quilm-inspect: prints what an analysis model file holds", "quilm-inspect"};
  app.set_version_flag("--version", std::string("quilm-inspect ") + QUILM_VERSION);
  app.require_subcommand(0, 1);
  Options o;
  app.add_option("FILE", o.file, "analysis model file (.qdb)")->required();
  app.add_subcommand("counts", "row counts of every table (the default)");
  auto* element = app.add_subcommand("element", "one element's full record");
  element->add_option("ID", o.id, "element id")->required()->transform(WholeNumber(1, kMaxId));
  auto* node = app.add_subcommand("node", "one node's position, name, masses, support and loads");
  node->add_option("ID", o.id, "node id")->required()->transform(WholeNumber(1, kMaxId));
  auto* loadcase = app.add_subcommand("loadcase", "a load case's gravity and its first LIMIT loads");
  loadcase->add_option("ID", o.id, "load case id")->required()->transform(WholeNumber(1, kMaxId));
  loadcase->add_option("LIMIT", o.limit, "loads to list (default 50, 0 for all)")
      ->transform(WholeNumber(0, kMaxId));
  auto* concepts = app.add_subcommand("concepts", "the structure-concept tree");
  long long conceptLimit = 50;
  concepts->add_option("--limit", conceptLimit, "concepts to list (default 50, 0 for all)")
      ->transform(WholeNumber(0, kMaxId));
  concepts->add_option("--name", o.concepts.name, "only concepts whose name contains TEXT (any case)");
  if (const int status = quilm_tools::Parse(app, argc, argv, "quilm-inspect"); status >= 0) return status;
  o.concepts.limit = static_cast<std::size_t>(conceptLimit);

  try {
    quilm_tools::CheckInputFile(o.file);
    auto model = quilm_inspect::OpenReadOnly(o.file);
    if (element->parsed())
      quilm_inspect::PrintElement(*model, o.id, std::cout);
    else if (node->parsed())
      quilm_inspect::PrintNode(*model, o.id, std::cout);
    else if (loadcase->parsed())
      quilm_inspect::PrintLoadCase(*model, o.id, std::cout, static_cast<std::size_t>(o.limit));
    else if (concepts->parsed())
      quilm_inspect::PrintConceptTree(*model, std::cout, o.concepts);
    else
      quilm_inspect::PrintCounts(*model, std::cout);
  } catch (const std::exception& e) {
    std::cerr << "quilm-inspect: " << e.what() << "\n";
    return 1;
  }
  return quilm_tools::FinishStdout("quilm-inspect") ? 0 : 1;
}
