// The members a host records for its structure concepts.
#include <algorithm>

#include "concept_member_data.hpp"
#include "model_data.hpp"
#include "trace_format.hpp"

namespace Kestrum::Quilm::AnalysisModel {

namespace {

std::vector<long> Ascending(std::vector<long> ids) {
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

}  // namespace

void XafStructureConceptManager::SetConceptMembers(long id, const ConceptMembers& members) {
  Trace(model_, "StructureConcepts.SetConceptMembers", id, members.nodes, members.elements);
  ModelData& d = DataOf(model_);
  if (!d.concepts.count(id)) ThrowMissing("concept", id);
  for (long n : members.nodes) d.CheckNode(n);
  for (long e : members.elements)
    if (!d.HasElement(e)) ThrowMissing("element", e);
  ConceptMembers row{Ascending(members.nodes), Ascending(members.elements)};
  if (!d.conceptMembers) d.conceptMembers = std::make_shared<ConceptMemberData>();
  ConceptMemberData& m = *d.conceptMembers;
  m.dirty.insert(id);
  if (row.nodes.empty() && row.elements.empty())
    m.rows.erase(id);
  else
    m.rows[id] = std::move(row);
}

ConceptMembers XafStructureConceptManager::GetConceptMembers(long id) const {
  Trace(model_, "StructureConcepts.GetConceptMembers", id);
  const ModelData& d = DataOf(model_);
  if (!d.concepts.count(id)) ThrowMissing("concept", id);
  if (!d.conceptMembers) return {};
  auto it = d.conceptMembers->rows.find(id);
  return it == d.conceptMembers->rows.end() ? ConceptMembers{} : it->second;
}

}  // namespace Kestrum::Quilm::AnalysisModel
