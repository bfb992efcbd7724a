// Faults written straight into an analysis model's tables, for tests of the
// code above the model: states the model's own operations never produce, so
// that callers can be checked not to trust them blindly.
#pragma once

#include "analysis_model/xaf_model.hpp"

namespace Kestrum::Quilm::AnalysisModel::Testing {

// Empties the node list of element `elementId` (which must exist) without
// touching anything else, as a damaged table would.
void ClearElementNodes(XafModel& model, long elementId);

}  // namespace Kestrum::Quilm::AnalysisModel::Testing
