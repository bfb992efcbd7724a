// quilm-view: pictures of an analysis model file.
//
//   quilm-view MODEL --vtu OUT.vtu        VTK unstructured grid for ParaView or meshio
//   quilm-view MODEL -o OUT.html          a self-contained viewer page
//   quilm-view MODEL --png OUT.png [--view iso] [--colour section] [--deformed CASE [--scale S]]
//
// Stored results go with every output: the VTU writer adds one grid per
// analysis and a .pvd collection over them, the page offers them in its
// menus, and --deformed shows one analysis' deformed shape from the start.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "analysis_fields.hpp"
#include "input_file.hpp"
#include "model_arrays.hpp"
#include "output_file.hpp"
#include "page_writer.hpp"
#include "png_renderer.hpp"
#include "vtu_writer.hpp"

#ifndef QUILM_VERSION
#define QUILM_VERSION "unknown"
#endif

namespace {

struct Options {
  std::string model, vtu, html, png;
  quilm_view::PageSettings page;
  std::string size = "1280x800";
  std::string deformed;
};

// "frame.vtu" -> "frame.3.vtu" for the third analysis, "frame.pvd" for the collection.
std::string Beside(const std::string& vtu, const std::string& suffix) {
  const std::size_t slash = vtu.find_last_of('/');
  const std::size_t dot = vtu.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? vtu.substr(0, dot) : vtu) + suffix;
}

std::string FileName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes the model's grid, one grid per analysis and their collection; adds
// each file written to `written`.
void WriteVtuFiles(const quilm_view::ModelArrays& arrays, const std::vector<quilm_view::AnalysisFields>& analyses,
                   const std::string& vtu, const std::string& model, std::vector<std::string>& written) {
  if (!analyses.empty()) {
    quilm_tools::CheckOutputPath(Beside(vtu, ".pvd"), model, quilm_tools::kVtkKind);
    for (std::size_t i = 0; i < analyses.size(); ++i)
      quilm_tools::CheckOutputPath(Beside(vtu, "." + std::to_string(i + 1) + ".vtu"), model, quilm_tools::kVtkKind);
  }
  {
    quilm_tools::OutputFile file(vtu);
    quilm_view::WriteVtu(arrays, nullptr, file.Stream());
    file.Commit();
    written.push_back(vtu);
  }
  if (analyses.empty()) return;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < analyses.size(); ++i) {
    const std::string path = Beside(vtu, "." + std::to_string(i + 1) + ".vtu");
    quilm_tools::OutputFile file(path);
    quilm_view::WriteVtu(arrays, &analyses[i], file.Stream());
    file.Commit();
    names.push_back(FileName(path));
    written.push_back(path);
  }
  quilm_tools::OutputFile file(Beside(vtu, ".pvd"));
  quilm_view::WritePvd(names, analyses, file.Stream());
  file.Commit();
  written.push_back(Beside(vtu, ".pvd"));
}

// "wrote a.vtu, a.1.vtu, a.pvd": every file, the middle of a long list
// shortened to its count.
std::string Wrote(const std::vector<std::string>& files) {
  std::string text = "wrote ";
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (files.size() > 8 && i >= 3 && i + 3 < files.size()) {
      if (i == 3) text += ", ... (" + std::to_string(files.size() - 6) + " more)";
      continue;
    }
    text += (i ? ", " : "") + files[i];
  }
  return text;
}

// A result colour needs the analysis whose results it shows: refused
// without --deformed instead of falling back to the section colours.
void CheckResultColour(const Options& o) {
  static const char* const kResultColours[] = {"displacement", "rotation", "reaction", "section_force", "von_mises"};
  for (const char* colour : kResultColours)
    if (o.page.colour == colour && o.deformed.empty())
      throw CLI::ValidationError("--colour " + o.page.colour + " needs --deformed ANALYSIS (for instance --deformed \"load case 1\")");
}

int Run(const Options& o) {
  quilm_tools::CheckInputFile(o.model);  // a FIFO would block the open for ever
  const std::pair<const std::string*, const quilm_tools::OutputKind*> targets[] = {
      {&o.vtu, &quilm_tools::kVtkKind}, {&o.html, &quilm_tools::kPageKind}, {&o.png, &quilm_tools::kPngKind}};
  for (const auto& [target, kind] : targets)
    if (!target->empty()) quilm_tools::CheckOutputPath(*target, o.model, *kind);
  auto model = std::make_unique<quilm_view::am::XafModel>(o.model, 0, 1, false);
  const quilm_view::ModelArrays arrays = quilm_view::GatherModel(*model);
  const quilm_view::StoredResults results = quilm_view::GatherResults(*model, arrays);
  model.reset();
  quilm_view::PageSettings page = o.page;
  if (!o.deformed.empty()) {
    if (results.analyses.empty()) throw std::runtime_error(o.model + " holds no stored results (solve it with quilm-export --solve)");
    page.analysis = quilm_view::FindAnalysis(results.analyses, o.deformed);
    if (page.analysis < 0) {
      std::string known;
      for (const auto& a : results.analyses) known += (known.empty() ? "" : ", ") + a.kind + " " + std::to_string(a.number);
      throw std::runtime_error("no stored analysis \"" + o.deformed + "\" (stored: " + known + ")");
    }
  }
  if (page.loadCase > 0 && std::none_of(arrays.loadCases.begin(), arrays.loadCases.end(),
                                        [&](const auto& lc) { return lc.id == page.loadCase; })) {
    std::string known;
    for (const auto& lc : arrays.loadCases) known += (known.empty() ? "" : ", ") + std::to_string(lc.id);
    throw std::runtime_error("--loads " + std::to_string(page.loadCase) + ": no such load case (the model has " +
                             (known.empty() ? std::string("none") : known) + ")");
  }
  std::vector<std::string> written;
  if (!o.vtu.empty()) WriteVtuFiles(arrays, results.analyses, o.vtu, o.model, written);
  if (!o.html.empty()) {
    quilm_tools::OutputFile file(o.html);
    quilm_view::WritePage(arrays, results.analyses, page, file.Stream());
    file.Commit();
    written.push_back(o.html);
  }
  if (!o.png.empty()) {
    quilm_view::RenderPng(arrays, results.analyses, page, o.size, o.png);
    written.push_back(o.png);
  }
  std::cerr << Wrote(written) << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"quilm-view: writes an analysis model as a VTK grid, a viewer page or a picture",
               "quilm-view"};
  Options o;
  app.set_version_flag("--version", std::string("quilm-view ") + QUILM_VERSION);
  app.add_option("MODEL", o.model, "analysis model file (.qdb)")->required()->check(CLI::ExistingFile);
  app.add_option("--vtu", o.vtu, "write a VTK XML unstructured grid (.vtu)");
  app.add_option("-o,--output", o.html, "write a self-contained viewer page (.html)");
  app.add_option("--png", o.png, "render the page in headless Chromium and save a screenshot (.png)");
  app.add_option("--view", o.page.view, "initial view: iso, plan, front, back, left, right")
      ->check(CLI::IsMember({"iso", "plan", "front", "back", "left", "right"}));
  app.add_option("--colour,--color", o.page.colour,
                 "colour by: section, material, concept, type, thickness, or a result of the --deformed analysis: "
                 "displacement, rotation, reaction, section_force, von_mises")
      ->check(CLI::IsMember({"section", "material", "concept", "type", "thickness", "displacement", "rotation",
                             "reaction", "section_force", "von_mises"}));
  app.add_option("--deformed", o.deformed,
                 "show the deformed shape of a stored analysis: \"load case N\", \"combination N\", \"mode N\", "
                 "\"buckling N\" or its name");
  app.add_option("--loads", o.page.loadCase, "draw the loads of this load case (its id)")
      ->check(CLI::Range(1L, 2147483647L));
  app.add_option("--scale", o.page.scale, "deformation scale (default: the largest displacement drawn as 5 % of the model)")
      ->check(CLI::Validator(
          [](std::string& s) {
            char* end = nullptr;
            const double v = std::strtod(s.c_str(), &end);
            return *end == '\0' && v > 0 && v < 1e12 ? std::string() : std::string("must be a positive number");
          },
          "S"));
  app.add_option("--size", o.size, "picture size WIDTHxHEIGHT in pixels (default 1280x800)")
      ->check(CLI::Validator(
          [](std::string& s) {
            int w = 0, h = 0;
            char x = 0, extra = 0;
            if (std::sscanf(s.c_str(), "%d%c%d%c", &w, &x, &h, &extra) != 3 || x != 'x' || w < 16 || h < 16 ||
                w > 8192 || h > 8192)
              return std::string("must be WIDTHxHEIGHT, each 16 to 8192");
            return std::string();
          },
          "WxH"));
  try {
    app.parse(argc, argv);
    if (o.vtu.empty() && o.html.empty() && o.png.empty())
      throw CLI::ValidationError("nothing to write: give --vtu, -o or --png");
    CheckResultColour(o);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    std::cerr << "quilm-view: " << e.what() << " (see --help)\n";
    return 2;
  }
  try {
    return Run(o);
  } catch (const std::exception& e) {
    std::cerr << "quilm-view: " << e.what() << "\n";
    return 1;
  }
}
