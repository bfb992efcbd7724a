// Per-concept summaries of one stored analysis: the largest displacement
// of each beam, segment, plate and joint concept, the reaction of each
// support point and the largest section forces of each concept with beam
// elements.
//
// Which concepts are listed. The concept table keeps every registration,
// those of deleted and joined concepts included, so a concept is listed
// only while it still owns something:
//  * a node concept (type 1: joint or support point) while a node carries
//    a name, which its mirror writes and its Delete clears. Its node is the
//    one recorded with SetConceptMembers or, when none was recorded, the node
//    named as the concept was registered. It is listed under the node's
//    current name, its mirror's current name (a renamed concept keeps its
//    first name in the concept table).
//  * any other concept while it or a concept below it owns an element that
//    still exists (members recorded with SetConceptMembers); under its
//    registered name.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"

namespace Kestrum::Quilm::AnalysisModel {

struct ConceptSummary {
  long concept = -1;
  TypeId type = 0;
  std::string name;
  std::size_t elements = 0;  // existing elements owned, descendants' included
  std::size_t nodes = 0;     // nodes of those elements, or the node concept's node

  // The largest translation among its nodes with node motion stored; node
  // -1 when none has any.
  long maxDisplacementNode = -1;
  double maxDisplacement = 0.0;
  vec3d displacement;

  // The sum of the reactions stored for its supported nodes (Fx, Fy, Fz,
  // Mx, My, Mz; NaN components stay NaN); reactionNodes 0 when none.
  std::size_t reactionNodes = 0;
  std::array<double, 6> reaction{};

  // Per beam force component (N, Vy, Vz, T, My, Mz): the value of largest
  // magnitude over its beam elements' points and the element holding it;
  // element -1 when no beam forces are stored.
  std::array<double, 6> maxForce{};
  std::array<long, 6> maxForceElement{-1, -1, -1, -1, -1, -1};
};

// The summaries of every listed concept for one analysis, by concept id.
// Throws ModelError for an analysis the model does not hold. The analysis
// may be stale: callers check XafResultManager::IsStale.
std::vector<ConceptSummary> SummarizeConcepts(XafModel& model, long analysis);

}  // namespace Kestrum::Quilm::AnalysisModel
