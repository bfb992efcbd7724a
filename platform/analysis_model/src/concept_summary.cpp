// Per-concept summaries of a stored analysis (concept_summary.hpp).
#include "analysis_model/concept_summary.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "concept_member_data.hpp"
#include "model_data.hpp"

namespace Kestrum::Quilm::AnalysisModel {

namespace {

constexpr TypeId kNodeConceptType = 1;

// The values of one entity in a result array; null when it has none.
const double* ValuesOf(const ResultArray& a, long id) {
  auto at = std::lower_bound(a.ids.begin(), a.ids.end(), id);
  if (at == a.ids.end() || *at != id) return nullptr;
  return a.values.data() + a.offsets[at - a.ids.begin()];
}

std::vector<long> Merge(const std::vector<long>& a, const std::vector<long>& b) {
  std::vector<long> out;
  out.reserve(a.size() + b.size());
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

class Summarizer {
 public:
  Summarizer(XafModel& model, long analysis) : d_(DataOf(model)) {
    auto& results = model.Results();
    motion_ = results.GetArray(analysis, ResultQuantity::NodeMotion);
    reactions_ = results.GetArray(analysis, ResultQuantity::NodeReaction);
    forces_ = results.GetArray(analysis, ResultQuantity::BeamForces);
    for (const auto& [node, row] : d_.nodeProperties)
      if (!row.name.empty()) namedNodes_.emplace(row.name, node);
    for (const auto& [id, c] : d_.concepts) children_[c.parent].push_back(id);
    GatherOwned();
  }

  std::vector<ConceptSummary> Run() {
    std::vector<ConceptSummary> list;
    for (const auto& [id, c] : d_.concepts) {
      ConceptSummary s;
      s.concept = id;
      s.type = c.type;
      if (c.type == kNodeConceptType ? SummarizeNodeConcept(id, c, s) : SummarizeOwner(id, c, s))
        list.push_back(std::move(s));
    }
    return list;
  }

 private:
  const ConceptMembers* RecordedMembers(long id) const {
    if (!d_.conceptMembers) return nullptr;
    auto it = d_.conceptMembers->rows.find(id);
    return it == d_.conceptMembers->rows.end() ? nullptr : &it->second;
  }

  // A node concept is live while its node has a name (its mirror's name).
  bool SummarizeNodeConcept(long id, const StructureConcept& c, ConceptSummary& s) {
    long node = -1;
    if (const ConceptMembers* m = RecordedMembers(id); m && !m->nodes.empty()) {
      node = m->nodes.front();
    } else if (auto it = namedNodes_.find(c.name); it != namedNodes_.end()) {
      node = it->second;
    }
    auto props = d_.nodeProperties.find(node);
    if (props == d_.nodeProperties.end() || props->second.name.empty()) return false;
    s.name = props->second.name;
    s.nodes = 1;
    AddNodes(s, {node});
    return true;
  }

  // Any other concept is live while it or a concept below it owns an
  // existing element (or recorded nodes).
  bool SummarizeOwner(long id, const StructureConcept& c, ConceptSummary& s) {
    const ConceptMembers& owned = owned_.at(id);
    std::vector<long> elements;
    for (long e : owned.elements)
      if (d_.HasElement(e)) elements.push_back(e);
    if (elements.empty() && owned.nodes.empty()) return false;
    std::vector<long> nodes = owned.nodes;
    for (long e : elements) {
      const ElementRow& row = d_.elements[e - 1];
      nodes.insert(nodes.end(), row.nodes, row.nodes + row.nodeCount);
    }
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    s.name = c.name;
    s.elements = elements.size();
    s.nodes = nodes.size();
    AddNodes(s, nodes);
    for (long e : elements) AddBeamForces(s, e);
    return true;
  }

  // The concept's own recorded members merged with those of every concept
  // below it: all of them at once, children before parents, on an explicit
  // stack (a concept tree may be deeper than the call stack allows).
  void GatherOwned() {
    std::vector<std::pair<long, bool>> stack;
    for (const auto& entry : d_.concepts) stack.emplace_back(entry.first, false);
    while (!stack.empty()) {
      auto [id, childrenDone] = stack.back();
      if (owned_.count(id)) {
        stack.pop_back();
        continue;
      }
      auto kids = children_.find(id);
      if (!childrenDone && kids != children_.end()) {
        stack.back().second = true;
        for (long child : kids->second) stack.emplace_back(child, false);
        continue;
      }
      stack.pop_back();
      ConceptMembers all;
      if (const ConceptMembers* m = RecordedMembers(id)) all = *m;
      if (kids != children_.end())
        for (long child : kids->second) {
          if (d_.concepts.at(child).type == kNodeConceptType) continue;
          const ConceptMembers& sub = owned_.at(child);
          all.elements = Merge(all.elements, sub.elements);
          all.nodes = Merge(all.nodes, sub.nodes);
        }
      owned_[id] = std::move(all);
    }
  }

  void AddNodes(ConceptSummary& s, const std::vector<long>& nodes) {
    for (long n : nodes) {
      if (const double* u = ValuesOf(motion_, n)) {
        const double length = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
        if (!std::isnan(length) && (s.maxDisplacementNode < 0 || length > s.maxDisplacement)) {
          s.maxDisplacement = length;
          s.maxDisplacementNode = n;
          s.displacement = vec3d(u[0], u[1], u[2]);
        }
      }
      if (const double* f = ValuesOf(reactions_, n)) {
        for (int k = 0; k < 6; ++k) s.reaction[k] += f[k];
        ++s.reactionNodes;
      }
    }
  }

  void AddBeamForces(ConceptSummary& s, long element) {
    auto at = std::lower_bound(forces_.ids.begin(), forces_.ids.end(), element);
    if (at == forces_.ids.end() || *at != element) return;
    const std::size_t i = static_cast<std::size_t>(at - forces_.ids.begin());
    for (std::uint32_t v = forces_.offsets[i]; v < forces_.offsets[i + 1]; ++v) {
      const int k = static_cast<int>((v - forces_.offsets[i]) % 6);
      const double f = forces_.values[v];
      if (std::isnan(f)) continue;
      if (s.maxForceElement[k] < 0 || std::fabs(f) > std::fabs(s.maxForce[k])) {
        s.maxForce[k] = f;
        s.maxForceElement[k] = element;
      }
    }
  }

  const ModelData& d_;
  ResultArray motion_, reactions_, forces_;
  std::map<std::string, long> namedNodes_;  // the first node of each name
  std::map<long, std::vector<long>> children_;
  std::map<long, ConceptMembers> owned_;
};

}  // namespace

std::vector<ConceptSummary> SummarizeConcepts(XafModel& model, long analysis) {
  return Summarizer(model, analysis).Run();
}

}  // namespace Kestrum::Quilm::AnalysisModel
