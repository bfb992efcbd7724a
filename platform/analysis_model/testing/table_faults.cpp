#include "analysis_model/testing/table_faults.hpp"

#include "model_data.hpp"

namespace Kestrum::Quilm::AnalysisModel::Testing {

void ClearElementNodes(XafModel& model, long elementId) { DataOf(model).ElementAt(elementId).nodeCount = 0; }

}  // namespace Kestrum::Quilm::AnalysisModel::Testing
