// The one place through which mirror code reaches the analysis-model and
// geometry libraries: their declarations, brought into the mirror namespace.
#pragma once

#include "analysis_model/xaf_model.hpp"
#include "definitions/definitions.hpp"
#include "geometry/geometry.hpp"
#include "message/text_formatter.hpp"

namespace Kestrum::Quilm::Mirror {

using AnalysisModel::ConceptType;
using AnalysisModel::Element;
using AnalysisModel::EntitySet;
using AnalysisModel::Hinge;
using AnalysisModel::IConnectivityManager;
using AnalysisModel::LineLoad;
using AnalysisModel::Load;
using AnalysisModel::LoadType;
using AnalysisModel::Mass;
using AnalysisModel::Node;
using AnalysisModel::PointLoad;
using AnalysisModel::SurfaceLoad;
using AnalysisModel::XafArchive;
using AnalysisModel::XafConnectivityManager;
using AnalysisModel::XafElement;
using AnalysisModel::XafModel;

}  // namespace Kestrum::Quilm::Mirror
