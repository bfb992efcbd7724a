// The inspector's views of stored analysis results: the list of analyses,
// one analysis with its per-concept maxima, and the results of one node,
// element or concept. Every view marks a stale analysis (the model changed
// since it was stored) as such.
#pragma once

#include <cstddef>
#include <iosfwd>

#include "analysis_model/xaf_model.hpp"

namespace quilm_inspect {

namespace am = Kestrum::Quilm::AnalysisModel;

// Every stored analysis, one a line: id, kind, number, name, frequency or
// load factor, stale mark and the number of nodes and elements with values.
void PrintAnalyses(am::XafModel& model, std::ostream& out);
// One analysis: its values per quantity, the largest displacement and the
// reaction sum, and the first `limit` concepts by largest displacement (0:
// all). Unknown ids throw ModelError.
void PrintAnalysis(am::XafModel& model, long analysis, std::ostream& out, std::size_t limit);
// The stored results of one node or element in every analysis ("none" when
// there are none); appended to the node and element views.
void PrintNodeResults(am::XafModel& model, long node, std::ostream& out);
void PrintElementResults(am::XafModel& model, long element, std::ostream& out);
// One structure concept: its registration, the members its host recorded
// and its summary in every analysis. Unknown ids throw ModelError.
void PrintConcept(am::XafModel& model, long concept, std::ostream& out);

}  // namespace quilm_inspect
