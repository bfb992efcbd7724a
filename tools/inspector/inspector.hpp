// The model inspector: readable views of an analysis model file, for people
// checking what a host wrote. Each view prints to a stream and reads the
// model only.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>

#include "analysis_model/xaf_model.hpp"

namespace quilm_inspect {

namespace am = Kestrum::Quilm::AnalysisModel;

// Opens a model file read-only. A missing file, a file that is no model
// file, or a damaged one throws AnalysisModel::ModelError with a one-line
// message naming the file.
std::unique_ptr<am::XafModel> OpenReadOnly(const std::string& fileName);

// The row count of every table, elements by type and loads by load case.
void PrintCounts(am::XafModel& model, std::ostream& out);
// One element's full record: type, nodes, section, material, eccentricities,
// transformations, fixations and the loads on it. Unknown ids throw ModelError.
void PrintElement(am::XafModel& model, long element, std::ostream& out);
// One node: position, name, masses, boundary condition, own transformation
// and the loads on it. Unknown ids throw ModelError.
void PrintNode(am::XafModel& model, long node, std::ostream& out);
// One load case: name, gravity and its loads, the first `limit` of them.
// A load case the model does not hold throws ModelError.
void PrintLoadCase(am::XafModel& model, long loadCase, std::ostream& out, std::size_t limit);
// Which concepts PrintConceptTree lists.
struct ConceptFilter {
  std::string name;        // only names containing this, in any case; empty: the whole tree
  std::size_t limit = 50;  // at most this many lines; 0: no limit
};

// The structure-concept tree, children indented under their parents; with a
// name filter, the matching concepts with their parent, one a line.
void PrintConceptTree(am::XafModel& model, std::ostream& out, const ConceptFilter& filter = {});

}  // namespace quilm_inspect
