// Pictures of the model: the viewer page rendered by headless Chromium.
#pragma once

#include <string>

#include "analysis_fields.hpp"
#include "model_arrays.hpp"
#include "page_writer.hpp"

namespace quilm_view {

// Writes the page of `a` (with `analyses`) to a scratch directory, has Chromium (the program
// named by $QUILM_CHROMIUM, default "chromium") render it at `size`
// ("1280x800") and saves the screenshot as `png`, beside it first and then
// renamed into place. Throws std::runtime_error when the browser fails, runs
// out of time or leaves no picture.
void RenderPng(const ModelArrays& a, const std::vector<AnalysisFields>& analyses, const PageSettings& settings,
               const std::string& size, const std::string& png);

}  // namespace quilm_view
