// XafResultManager: the stored analyses and their values.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "model_data.hpp"
#include "result_data.hpp"
#include "trace_format.hpp"

namespace Kestrum::Quilm::AnalysisModel {

unsigned ResultComponents(ResultQuantity quantity) noexcept {
  return quantity == ResultQuantity::ShellStress ? 1 : 6;
}

bool IsNodeQuantity(ResultQuantity quantity) noexcept {
  return quantity == ResultQuantity::NodeMotion || quantity == ResultQuantity::NodeReaction;
}

const char* ResultQuantityName(ResultQuantity quantity) noexcept {
  switch (quantity) {
    case ResultQuantity::NodeMotion:
      return "node motion";
    case ResultQuantity::NodeReaction:
      return "node reaction";
    case ResultQuantity::BeamForces:
      return "beam forces";
    case ResultQuantity::ShellStress:
      return "shell stress";
    case ResultQuantity::ShellForces:
      return "shell forces";
  }
  return "unknown quantity";
}

const char* AnalysisKindName(AnalysisKind kind) noexcept {
  switch (kind) {
    case AnalysisKind::LoadCase:
      return "load case";
    case AnalysisKind::Combination:
      return "combination";
    case AnalysisKind::Mode:
      return "mode";
    case AnalysisKind::Buckling:
      return "buckling shape";
    case AnalysisKind::Spectrum:
      return "response spectrum";
  }
  return "analysis";
}

void ResultArray::Append(long id, const double* first, std::size_t count) {
  ids.push_back(static_cast<std::int32_t>(id));
  values.insert(values.end(), first, first + count);
  offsets.push_back(static_cast<std::uint32_t>(values.size()));
}

ResultData& ResultsOf(ModelData& d) {
  if (!d.results) d.results = std::make_shared<ResultData>();
  return *d.results;
}

namespace {

bool IsKnownQuantity(ResultQuantity q) {
  return std::find(std::begin(kResultQuantities), std::end(kResultQuantities), q) !=
         std::end(kResultQuantities);
}

bool IsKnownKind(AnalysisKind k) {
  return k == AnalysisKind::LoadCase || k == AnalysisKind::Combination || k == AnalysisKind::Mode ||
         k == AnalysisKind::Buckling || k == AnalysisKind::Spectrum;
}

AnalysisRecord& RecordAt(ModelData& d, long analysis) {
  if (d.results) {
    auto it = d.results->analyses.find(analysis);
    if (it != d.results->analyses.end()) return it->second;
  }
  ThrowMissing("analysis", analysis);
}

void CheckQuantity(ResultQuantity q) {
  if (!IsKnownQuantity(q))
    throw ModelError("result quantity " + std::to_string(static_cast<int>(q)) + " is unknown");
}

// The entity must exist and fit the quantity: a node, a line element for
// beam forces, a surface element for shell stresses.
void CheckEntity(const ModelData& d, ResultQuantity q, long entity) {
  if (IsNodeQuantity(q)) {
    d.CheckNode(entity);
    return;
  }
  const int shape = ElementTypeOf(d.ElementAt(entity)).Shape();
  const int wanted = q == ResultQuantity::BeamForces ? qlElementType::Line : qlElementType::Surface;
  if (shape != wanted)
    throw ModelError(std::string(ResultQuantityName(q)) + " cannot be stored for element " +
                     std::to_string(entity) + " of another kind");
}

void CheckCount(ResultQuantity q, long entity, std::size_t count) {
  const unsigned components = ResultComponents(q);
  const std::size_t points = count / components;
  const bool fits = count % components == 0 &&
                    (IsNodeQuantity(q) ? points == 1 : points >= 1 && points <= kMaxResultPoints);
  if (!fits)
    throw ModelError(std::to_string(count) + " values do not fit " + ResultQuantityName(q) + " of " +
                     (IsNodeQuantity(q) ? "node " : "element ") + std::to_string(entity));
}

// Makes room to append one entity of `count` values without throwing,
// growing geometrically so that appending stays amortised constant time.
void ReserveAppend(ResultArray& t, std::size_t count) {
  auto grow = [](auto& v, std::size_t more) {
    if (v.capacity() - v.size() < more) v.reserve(std::max(2 * v.capacity(), v.size() + more));
  };
  grow(t.ids, 1);
  grow(t.offsets, 1);
  grow(t.values, count);
}

ResultAnalysis InfoOf(long id, const AnalysisRecord& r, bool stale) {
  return ResultAnalysis{id, r.kind, r.number, r.name, r.value, r.fingerprint, stale, r.solver};
}

}  // namespace

std::uint64_t XafResultManager::GetModelFingerprint() const {
  Trace(model_, "Results.GetModelFingerprint");
  return ModelFingerprint(DataOf(model_));
}

long XafResultManager::AddAnalysis(AnalysisKind kind, long number, const std::string& name, double value) {
  return AddAnalysis(kind, number, name, value, ModelFingerprint(DataOf(model_)));
}

long XafResultManager::AddAnalysis(AnalysisKind kind, long number, const std::string& name, double value,
                                   std::uint64_t fingerprint) {
  Trace(model_, "Results.AddAnalysis", static_cast<long>(kind), number, name, value);
  if (!IsKnownKind(kind))
    throw ModelError("analysis kind " + std::to_string(static_cast<int>(kind)) + " is unknown");
  if (number < 0 || number > kMaxId)
    throw ModelError(std::string(AnalysisKindName(kind)) + " number " + std::to_string(number) +
                     " is outside 0.." + std::to_string(kMaxId));
  ResultData& r = ResultsOf(DataOf(model_));
  long id = FindAnalysis(kind, number);
  if (id < 0) {
    id = r.analyses.empty() ? 1 : r.analyses.rbegin()->first + 1;
    if (id > kMaxId) throw ModelError("analysis table is full");
  }
  AnalysisRecord record;
  record.kind = kind;
  record.number = number;
  record.name = name;
  record.value = value;
  record.fingerprint = fingerprint;
  r.dirtyAnalyses.insert(id);
  r.analyses[id] = std::move(record);
  return id;
}

void XafResultManager::SetSolver(long analysis, const std::string& solver) {
  Trace(model_, "Results.SetSolver", analysis, solver);
  ModelData& d = DataOf(model_);
  AnalysisRecord& r = RecordAt(d, analysis);
  if (r.solver == solver) return;
  r.solver = solver;
  d.results->dirtyHeaders.insert(analysis);
}

void XafResultManager::DeleteAnalysis(long analysis) {
  Trace(model_, "Results.DeleteAnalysis", analysis);
  ModelData& d = DataOf(model_);
  RecordAt(d, analysis);
  d.results->dirtyAnalyses.insert(analysis);
  d.results->analyses.erase(analysis);
}

void XafResultManager::Clear() {
  Trace(model_, "Results.Clear");
  ModelData& d = DataOf(model_);
  if (!d.results) return;
  d.results->MarkEverythingChanged();
  d.results->analyses.clear();
}

std::vector<ResultAnalysis> XafResultManager::GetAnalyses() const {
  Trace(model_, "Results.GetAnalyses");
  const ModelData& d = DataOf(model_);
  std::vector<ResultAnalysis> list;
  if (!d.results) return list;
  bool fingerprinted = false;
  std::uint64_t now = 0;
  for (const auto& [id, r] : d.results->analyses) {
    if (!r.stale && !fingerprinted) {
      now = ModelFingerprint(d);
      fingerprinted = true;
    }
    list.push_back(InfoOf(id, r, r.stale || r.fingerprint != now));
  }
  return list;
}

ResultAnalysis XafResultManager::GetAnalysis(long analysis) const {
  Trace(model_, "Results.GetAnalysis", analysis);
  const AnalysisRecord& r = RecordAt(DataOf(model_), analysis);
  return InfoOf(analysis, r, r.stale || r.fingerprint != ModelFingerprint(DataOf(model_)));
}

long XafResultManager::FindAnalysis(AnalysisKind kind, long number) const {
  Trace(model_, "Results.FindAnalysis", static_cast<long>(kind), number);
  const ModelData& d = DataOf(model_);
  if (!d.results) return -1;
  for (const auto& [id, r] : d.results->analyses)
    if (r.kind == kind && r.number == number) return id;
  return -1;
}

bool XafResultManager::IsStale(long analysis) const {
  Trace(model_, "Results.IsStale", analysis);
  const AnalysisRecord& r = RecordAt(DataOf(model_), analysis);
  return r.stale || r.fingerprint != ModelFingerprint(DataOf(model_));
}

void XafResultManager::SetValues(long analysis, ResultQuantity quantity, long entity,
                                 const std::vector<double>& values) {
  Trace(model_, "Results.SetValues", analysis, static_cast<long>(quantity), entity);
  ModelData& d = DataOf(model_);
  AnalysisRecord& record = RecordAt(d, analysis);
  CheckQuantity(quantity);
  CheckEntity(d, quantity, entity);
  CheckCount(quantity, entity, values.size());
  ResultArray& t = record.tables[QuantityIndex(quantity)];
  auto at = std::lower_bound(t.ids.begin(), t.ids.end(), entity);
  const std::size_t index = static_cast<std::size_t>(at - t.ids.begin());
  if (t.values.size() + values.size() > UINT32_MAX) throw ModelError("too many result values in one table");
  if (at == t.ids.end()) {
    ReserveAppend(t, values.size());
    d.results->dirtyAnalyses.insert(analysis);
    t.Append(entity, values.data(), values.size());
    return;
  }
  const bool replace = *at == entity;
  if (replace && t.offsets[index + 1] - t.offsets[index] == values.size()) {
    d.results->dirtyAnalyses.insert(analysis);
    std::copy(values.begin(), values.end(), t.values.begin() + t.offsets[index]);
    return;
  }
  // Otherwise build the new table aside, so that a failed allocation leaves
  // the old one whole.
  ResultArray next;
  next.ids.reserve(t.ids.size() + 1);
  next.values.reserve(t.values.size() + values.size());
  next.offsets.reserve(t.offsets.size() + 1);
  for (std::size_t i = 0; i < t.ids.size(); ++i) {
    if (i == index) next.Append(entity, values.data(), values.size());
    if (i == index && replace) continue;
    next.Append(t.ids[i], t.values.data() + t.offsets[i], t.offsets[i + 1] - t.offsets[i]);
  }
  d.results->dirtyAnalyses.insert(analysis);
  t = std::move(next);
}

void XafResultManager::SetArray(long analysis, ResultQuantity quantity, ResultArray values) {
  Trace(model_, "Results.SetArray", analysis, static_cast<long>(quantity));
  ModelData& d = DataOf(model_);
  AnalysisRecord& record = RecordAt(d, analysis);
  CheckQuantity(quantity);
  const std::size_t n = values.ids.size();
  if (values.offsets.size() != n + 1 || values.offsets[0] != 0 || values.offsets[n] != values.values.size())
    throw ModelError("result array offsets do not match its ids and values");
  for (std::size_t i = 0; i < n; ++i) {
    const long id = values.ids[i];
    if (i > 0 && id <= values.ids[i - 1])
      throw ModelError("result array ids do not rise at " + std::to_string(id));
    if (values.offsets[i + 1] < values.offsets[i]) throw ModelError("result array offsets fall");
    CheckEntity(d, quantity, id);
    CheckCount(quantity, id, values.offsets[i + 1] - values.offsets[i]);
  }
  d.results->dirtyAnalyses.insert(analysis);
  record.tables[QuantityIndex(quantity)] = std::move(values);
}

std::vector<double> XafResultManager::GetValues(long analysis, ResultQuantity quantity, long entity) const {
  Trace(model_, "Results.GetValues", analysis, static_cast<long>(quantity), entity);
  const AnalysisRecord& record = RecordAt(DataOf(model_), analysis);
  CheckQuantity(quantity);
  const ResultArray& t = record.tables[QuantityIndex(quantity)];
  auto at = std::lower_bound(t.ids.begin(), t.ids.end(), entity);
  if (at == t.ids.end() || *at != entity) return {};
  const std::size_t i = static_cast<std::size_t>(at - t.ids.begin());
  return std::vector<double>(t.values.begin() + t.offsets[i], t.values.begin() + t.offsets[i + 1]);
}

ResultArray XafResultManager::GetArray(long analysis, ResultQuantity quantity) const {
  Trace(model_, "Results.GetArray", analysis, static_cast<long>(quantity));
  const AnalysisRecord& record = RecordAt(DataOf(model_), analysis);
  CheckQuantity(quantity);
  return record.tables[QuantityIndex(quantity)];
}

// ---- staleness and invariants ------------------------------------------------

void SettleStaleResults(ModelData& d) {
  if (!d.results) return;
  bool fingerprinted = false;
  std::uint64_t now = 0;
  for (auto& [id, r] : d.results->analyses) {
    if (r.stale) continue;
    if (!fingerprinted) {
      now = ModelFingerprint(d);
      fingerprinted = true;
    }
    if (r.fingerprint == now) continue;
    d.results->dirtyHeaders.insert(id);
    r.stale = true;
  }
}

std::string ValidateResults(const ResultData& r) {
  for (const auto& [id, record] : r.analyses) {
    for (ResultQuantity q : kResultQuantities) {
      const ResultArray& t = record.tables[QuantityIndex(q)];
      const std::string where = "analysis " + std::to_string(id) + " " + ResultQuantityName(q) + ": ";
      if (t.offsets.size() != t.ids.size() + 1 || t.offsets.front() != 0 ||
          t.offsets.back() != t.values.size())
        return where + "offsets do not match the values";
      for (std::size_t i = 0; i < t.ids.size(); ++i) {
        if (i > 0 && t.ids[i] <= t.ids[i - 1]) return where + "ids do not rise";
        const std::uint32_t count = t.offsets[i + 1] - t.offsets[i];
        if (t.offsets[i + 1] < t.offsets[i] || count == 0 || count % ResultComponents(q) != 0)
          return where + "entity " + std::to_string(t.ids[i]) + " holds no whole points";
      }
    }
  }
  return "";
}

}  // namespace Kestrum::Quilm::AnalysisModel
