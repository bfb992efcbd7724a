// The part of quilm-export's solve summary that leads it: per stored
// analysis, the concepts with the largest displacements, the reactions of
// the support points and the largest section forces of the segments, from
// the results stored in the model (AnalysisModel::SummarizeConcepts).
#pragma once

#include <cstddef>
#include <iosfwd>

#include "analysis_model/xaf_model.hpp"

namespace quilm_export {

struct ConceptMaximaOptions {
  // Lines per list; 0 prints every concept.
  std::size_t limit = 5;
};

// Prints the per-concept maxima of every load case and combination stored
// in `model` that is not stale; nothing for a model without listed concepts.
void PrintConceptMaxima(Kestrum::Quilm::AnalysisModel::XafModel& model, const ConceptMaximaOptions& options,
                        std::ostream& out);

}  // namespace quilm_export
