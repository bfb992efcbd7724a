// XafModel::Validate: the cross-references and invariants of every table.
#include <sstream>
#include <unordered_map>
#include <vector>

#include "concept_member_data.hpp"
#include "model_data.hpp"
#include "result_data.hpp"
#include "row_rules.hpp"

namespace Kestrum::Quilm::AnalysisModel {

namespace {

class Checker {
 public:
  explicit Checker(const ModelData& d) : d_(d) {}

  std::string Run() {
    CheckNodes();
    CheckElements();
    CheckTables();
    CheckLoads();
    CheckConceptMembers();
    if (d_.results) Fail(ValidateResults(*d_.results));
    return problem_;
  }

 private:
  template <class... Parts>
  void Fail(const Parts&... parts) {
    if (!problem_.empty()) return;
    std::ostringstream os;
    (os << ... << parts);
    problem_ = os.str();
  }

  void CheckNodes() {
    if (static_cast<std::size_t>(d_.nodeIds.size()) != d_.nodes.size())
      Fail("node id set holds ", d_.nodeIds.size(), " ids for ", d_.nodes.size(), " nodes");
    if (!d_.nodes.empty() && d_.nodeIds.run_count() != 1) Fail("node ids are not one run from 1");
    if (!d_.nodes.empty() && *d_.nodeIds.begin() != 1) Fail("node ids do not start at 1");
    const std::string set = d_.nodeIds.Validate();
    if (!set.empty()) Fail("node id set: ", set);
  }

  void CheckPropertyRef(long element, const char* what, long id, std::size_t tableSize) {
    if (id > 0 && static_cast<std::size_t>(id) > tableSize)
      Fail("element ", element, " refers to missing ", what, " ", id);
    else if (id < -1)
      Fail("element ", element, " holds invalid ", what, " id ", id);
  }

  void CheckElements() {
    std::size_t count = 0, marked = 0;
    std::vector<char> slotUsed(d_.perNodeIds.size(), 0);
    for (std::int32_t slot : d_.freePerNode) {
      if (slot < 0 || static_cast<std::size_t>(slot) >= slotUsed.size()) {
        Fail("free per-node slot ", slot, " out of range");
        continue;
      }
      slotUsed[slot] = 1;
    }
    for (std::size_t i = 0; i < d_.elements.size(); ++i) {
      const ElementRow& row = d_.elements[i];
      const long id = static_cast<long>(i) + 1;
      marked += row.dirty;
      if (!row.Exists()) {
        if (row.perNode >= 0) Fail("removed element ", id, " keeps per-node ids");
        continue;
      }
      ++count;
      const qlElementType* type = nullptr;
      try {
        type = &ElementTypeOf(row);
      } catch (const std::exception&) {
        Fail("element ", id, " has unknown type ", row.type);
        continue;
      }
      if (type->NodeCount() != row.nodeCount)
        Fail("element ", id, " has a node count its type does not have");
      for (unsigned n = 0; n < row.nodeCount; ++n) {
        if (!d_.HasNode(row.nodes[n])) Fail("element ", id, " refers to missing node ", row.nodes[n]);
        for (unsigned m = 0; m < n; ++m)
          if (row.nodes[m] == row.nodes[n]) Fail("element ", id, " names node ", row.nodes[n], " twice");
      }
      if (row.section < -1) Fail("element ", id, " holds invalid section id ", row.section);
      if (row.material < -1) Fail("element ", id, " holds invalid material id ", row.material);
      CheckPropertyRef(id, "eccentricity", row.eccentricity, d_.eccentricities.size());
      CheckPropertyRef(id, "transformation", row.transformation, d_.transformations.size());
      CheckPropertyRef(id, "hinge", row.fixation, d_.hinges.size());
      const bool perNode = row.eccentricity == -1 || row.transformation == -1 || row.fixation == -1;
      if (perNode != (row.perNode >= 0)) Fail("element ", id, " per-node block does not match its ids");
      if (row.perNode >= 0) {
        if (static_cast<std::size_t>(row.perNode) >= slotUsed.size() || slotUsed[row.perNode]) {
          Fail("element ", id, " per-node block ", row.perNode, " is free or shared");
          continue;
        }
        slotUsed[row.perNode] = 1;
        const PerNodeIds& p = d_.perNodeIds[row.perNode];
        for (unsigned n = 0; n < row.nodeCount; ++n) {
          CheckPropertyRef(id, "node eccentricity", p.eccentricity[n], d_.eccentricities.size());
          CheckPropertyRef(id, "node transformation", p.transformation[n], d_.transformations.size());
          CheckPropertyRef(id, "node hinge", p.fixation[n], d_.hinges.size());
        }
      }
    }
    if (count != d_.elementCount) Fail("element count ", d_.elementCount, " but ", count, " elements exist");
    if (d_.elements.size() > d_.elementIdsIssued)
      Fail("element ", d_.elements.size(), " is above the id counter ", d_.elementIdsIssued);
    if (marked != d_.dirtyElements.size()) Fail("element change marks do not match the change list");
  }

  // Parent chains end. Each concept is walked up only until a concept whose
  // chain is already known to end, so the whole check is linear in the
  // number of concepts however deep the chains are.
  void CheckConceptChains() {
    enum : char { kUnseen, kOnPath, kEnds };
    std::unordered_map<long, char> state;
    state.reserve(d_.concepts.size());
    std::vector<long> path;
    for (const auto& entry : d_.concepts) {
      path.clear();
      for (long p = entry.first; p > 0;) {
        auto it = d_.concepts.find(p);
        if (it == d_.concepts.end()) break;  // reported as a missing parent
        char& s = state[p];
        if (s == kEnds) break;
        if (s == kOnPath) {
          Fail("concept ", p, " is its own ancestor");
          return;
        }
        s = kOnPath;
        path.push_back(p);
        p = it->second.parent;
      }
      for (long p : path) state[p] = kEnds;
    }
  }

  void CheckTables() {
    for (const auto& [id, c] : d_.concepts) {
      if (id != c.id) Fail("concept ", id, " is stored with id ", c.id);
      if (c.parent != -1 && d_.concepts.count(c.parent) == 0)
        Fail("concept ", id, " refers to missing parent ", c.parent);
      if (id > d_.counters.concept) Fail("concept ", id, " is above the id counter");
    }
    CheckConceptChains();
    for (const auto& [id, m] : d_.materials) {
      if (!m.material) Fail("material ", id, " has no definition");
      if (id > d_.counters.material) Fail("material ", id, " is above the id counter");
    }
    for (const auto& [id, s] : d_.sections) {
      if (!s.section == !s.thickness) Fail("section ", id, " must be a beam section or a thickness");
      if (id > d_.counters.section) Fail("section ", id, " is above the id counter");
    }
    for (const auto& [id, s] : d_.sets) {
      for (long n : s.content.Nodes())
        if (!d_.HasNode(n)) Fail("set ", id, " names missing node ", n);
      for (long e : s.content.Elements())
        if (!d_.HasElement(e)) Fail("set ", id, " names missing element ", e);
      if (id > d_.counters.set) Fail("set ", id, " is above the id counter");
    }
    for (const auto& [node, p] : d_.nodeProperties) {
      if (!d_.HasNode(node)) Fail("node properties of missing node ", node);
      if (p.Empty()) Fail("empty node property row for node ", node);
      if (p.transnod > 0 && static_cast<std::size_t>(p.transnod) > d_.transformations.size())
        Fail("node ", node, " refers to missing transformation ", p.transnod);
    }
  }

  void CheckLoads() {
    for (const auto& [lc, row] : d_.loadCases) {
      if (row.Empty()) Fail("empty load case ", lc);
      for (std::size_t i = 0; i < row.loads.size(); ++i) {
        const std::string problem = LoadProblem(d_, row.loads[i]);
        if (!problem.empty()) Fail("load case ", lc, " load ", i, ": ", problem);
      }
    }
  }

  void CheckConceptMembers() {
    if (!d_.conceptMembers) return;
    for (const auto& [concept, members] : d_.conceptMembers->rows) {
      const std::string problem = ConceptMembersProblem(d_, concept, members);
      if (!problem.empty()) Fail("members of concept ", concept, ": ", problem);
    }
  }

  const ModelData& d_;
  std::string problem_;
};

}  // namespace

std::string XafModel::Validate() const { return Checker(*data_).Run(); }

}  // namespace Kestrum::Quilm::AnalysisModel
