// The concepts' recorded members in memory, with their change marks.
// Internal to the library.
#pragma once

#include <map>
#include <set>

#include "analysis_model/xaf_model.hpp"

namespace Kestrum::Quilm::AnalysisModel {

struct ModelData;

struct ConceptMemberData {
  std::map<long, ConceptMembers> rows;  // only concepts with members
  std::set<long> dirty;                 // rewritten (or deleted) at the next flush
};

}  // namespace Kestrum::Quilm::AnalysisModel
