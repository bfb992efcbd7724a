// The rules a load and a concept's recorded members keep beyond their own
// values: what they refer to exists and their kinds agree. The same rules
// serve the loader, which refuses a file breaking them naming the table and
// row, and Validate, which checks a model in memory. Internal to the library.
#pragma once

#include <string>

#include "model_data.hpp"

namespace Kestrum::Quilm::AnalysisModel {

// "" when the load fits the model, else what is wrong with it: a record of
// a class its kind does not take (a point or node acceleration load holds a
// point record, a line load a line record, a surface load a surface record;
// an initial strain any), a point record without values, a node load on a
// missing node, an element load on an element id never handed out, or a
// load that does not fit its existing element's shape. An element load may
// name an element removed since (RemoveElement without its loads).
std::string LoadProblem(const ModelData& d, const LoadEntry& load);

// "" when the members fit the model, else what is wrong: a concept that
// does not exist, a missing node, or an element id never handed out (an
// element removed since may stay recorded).
std::string ConceptMembersProblem(const ModelData& d, long concept, const ConceptMembers& members);

}  // namespace Kestrum::Quilm::AnalysisModel
