// quilm-view: pictures of an analysis model file.
//
//   quilm-view MODEL --vtu OUT.vtu        VTK unstructured grid for ParaView or meshio
//   quilm-view MODEL -o OUT.html          a self-contained viewer page
//   quilm-view MODEL --png OUT.png [--view iso] [--colour section]
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

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
};

int Run(const Options& o) {
  for (const std::string* target : {&o.vtu, &o.html, &o.png})
    if (!target->empty()) quilm_tools::CheckOutputPath(*target, o.model);
  auto model = std::make_unique<quilm_view::am::XafModel>(o.model, 0, 1, false);
  const quilm_view::ModelArrays arrays = quilm_view::GatherModel(*model);
  model.reset();
  if (!o.vtu.empty()) {
    quilm_tools::OutputFile file(o.vtu);
    quilm_view::WriteVtu(arrays, nullptr, file.Stream());
    file.Commit();
  }
  if (!o.html.empty()) {
    quilm_tools::OutputFile file(o.html);
    quilm_view::WritePage(arrays, {}, o.page, file.Stream());
    file.Commit();
  }
  if (!o.png.empty()) quilm_view::RenderPng(arrays, o.page, o.size, o.png);
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
  app.add_option("--colour,--color", o.page.colour, "colour by: section, material, concept, type, thickness")
      ->check(CLI::IsMember({"section", "material", "concept", "type", "thickness"}));
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
