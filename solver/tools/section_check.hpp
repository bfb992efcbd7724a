// The sections the external solver takes only as equivalents: checked by
// quilm-export before the export, so that a refusal names the sections as
// the user named them and the option that lets them through.
#pragma once

#include <string>

#include "analysis_model/xaf_model.hpp"

namespace quilm_export {

// "" when every section that an element uses has a form of its own in the
// solver; otherwise one line naming those sections (by name and id, an
// I-profile or a section given by properties alone) and --equivalent-sections.
// The model is only read.
std::string SectionsNeedingEquivalents(Kestrum::Quilm::AnalysisModel::XafModel& model);

}  // namespace quilm_export
