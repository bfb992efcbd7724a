// Loads by load case: names, gravity, node and element loads.
#include <algorithm>

#include "model_data.hpp"
#include "trace_format.hpp"
#include "value_checks.hpp"

namespace Kestrum::Quilm::AnalysisModel {

namespace {

void CheckLoadCase(long loadCase) {
  if (loadCase < 0 || loadCase > kMaxId)
    throw ModelError("load case id " + std::to_string(loadCase) + " is outside 0.." + std::to_string(kMaxId));
}

// The load case's row, created on first write.
LoadCaseRow& CaseFor(ModelData& d, long loadCase) {
  CheckLoadCase(loadCase);
  d.dirtyLoadCases.insert(loadCase);
  return d.loadCases[loadCase];
}

const LoadCaseRow* FindCase(const ModelData& d, long loadCase) {
  auto it = d.loadCases.find(loadCase);
  return it == d.loadCases.end() ? nullptr : &it->second;
}

// A load case exists while it holds anything.
void DropIfEmpty(ModelData& d, long loadCase) {
  auto it = d.loadCases.find(loadCase);
  if (it != d.loadCases.end() && it->second.Empty()) d.loadCases.erase(it);
}

void Append(ModelData& d, long loadCase, LoadKind kind, long target, const Load& load) {
  LoadEntry entry{kind, target, load.Clone()};
  LoadCaseRow& row = CaseFor(d, loadCase);
  row.loads.push_back(std::move(entry));
}

// Checks the load case, the node (or element) and the load's values before
// anything changes.
void AppendNodeLoad(ModelData& d, long loadCase, LoadKind kind, long node, const Load& load) {
  CheckLoadCase(loadCase);
  d.CheckNode(node);
  CheckLoadValues(load);
  Append(d, loadCase, kind, node, load);
}

void AppendElementLoad(ModelData& d, long loadCase, LoadKind kind, long element, const Load& load) {
  CheckLoadCase(loadCase);
  CheckLoadFitsElement(kind, element, ElementTypeOf(d.ElementAt(element)));
  CheckLoadValues(load);
  Append(d, loadCase, kind, element, load);
}

template <class Predicate>
void EraseLoads(ModelData& d, long loadCase, Predicate remove) {
  CheckLoadCase(loadCase);
  auto it = d.loadCases.find(loadCase);
  if (it == d.loadCases.end()) return;
  auto& loads = it->second.loads;
  auto end = std::remove_if(loads.begin(), loads.end(), remove);
  if (end == loads.end()) return;
  d.dirtyLoadCases.insert(loadCase);
  loads.erase(end, loads.end());
  DropIfEmpty(d, loadCase);
}

bool IsNodeLoad(LoadKind kind) { return kind == LoadKind::Point || kind == LoadKind::NodeAcceleration; }

}  // namespace

void XafLoadManager::AddPointLoad(long loadCase, long node, const PointLoad& load) {
  Trace(model_, "Loads.AddPointLoad", loadCase, node, load);
  AppendNodeLoad(DataOf(model_), loadCase, LoadKind::Point, node, load);
}

void XafLoadManager::AddLineLoad(long loadCase, long element, const LineLoad& load) {
  Trace(model_, "Loads.AddLineLoad", loadCase, element, load);
  AppendElementLoad(DataOf(model_), loadCase, LoadKind::Line, element, load);
}

void XafLoadManager::AddSurfaceLoad(long loadCase, long element, const SurfaceLoad& load) {
  Trace(model_, "Loads.AddSurfaceLoad", loadCase, element, load);
  AppendElementLoad(DataOf(model_), loadCase, LoadKind::Surface, element, load);
}

void XafLoadManager::AddElementInitialStrain(long loadCase, long element, const Load& load) {
  Trace(model_, "Loads.AddElementInitialStrain", loadCase, element, load);
  AppendElementLoad(DataOf(model_), loadCase, LoadKind::InitialStrain, element, load);
}

void XafLoadManager::AddNodeAccelerationLoad(long loadCase, long node, const PointLoad& load) {
  Trace(model_, "Loads.AddNodeAccelerationLoad", loadCase, node, load);
  AppendNodeLoad(DataOf(model_), loadCase, LoadKind::NodeAcceleration, node, load);
}

void XafLoadManager::AddGravityLoad(long loadCase, long option, double x, double y, double z) {
  Trace(model_, "Loads.AddGravityLoad", loadCase, option, x, y, z);
  ModelData& d = DataOf(model_);
  CheckLoadCase(loadCase);
  CheckGravity(x, y, z);
  CaseFor(d, loadCase).gravity = GravityLoad{option, vec3d(x, y, z)};
}

void XafLoadManager::DeleteNodeLoad(long loadCase, long node) {
  Trace(model_, "Loads.DeleteNodeLoad", loadCase, node);
  ModelData& d = DataOf(model_);
  d.CheckNode(node);
  EraseLoads(d, loadCase, [node](const LoadEntry& e) { return e.target == node && IsNodeLoad(e.kind); });
}

void XafLoadManager::DeleteElementLoad(long loadCase, long element) {
  Trace(model_, "Loads.DeleteElementLoad", loadCase, element);
  // The element need not exist any more: this also clears loads that an
  // element removed without its loads left behind.
  EraseLoads(DataOf(model_), loadCase,
             [element](const LoadEntry& e) { return e.target == element && !IsNodeLoad(e.kind); });
}

void XafLoadManager::DeleteGravityLoad(long loadCase) {
  Trace(model_, "Loads.DeleteGravityLoad", loadCase);
  ModelData& d = DataOf(model_);
  CheckLoadCase(loadCase);
  auto it = d.loadCases.find(loadCase);
  if (it == d.loadCases.end() || !it->second.gravity) return;
  d.dirtyLoadCases.insert(loadCase);
  it->second.gravity = boost::none;
  DropIfEmpty(d, loadCase);
}

void XafLoadManager::DeleteAllLoadsInLoadCase(long loadCase) {
  Trace(model_, "Loads.DeleteAllLoadsInLoadCase", loadCase);
  ModelData& d = DataOf(model_);
  CheckLoadCase(loadCase);
  auto it = d.loadCases.find(loadCase);
  if (it == d.loadCases.end()) return;
  d.dirtyLoadCases.insert(loadCase);
  it->second.gravity = boost::none;
  it->second.loads.clear();
  DropIfEmpty(d, loadCase);
}

void XafLoadManager::DeleteLoadCaseName(long loadCase) {
  Trace(model_, "Loads.DeleteLoadCaseName", loadCase);
  ModelData& d = DataOf(model_);
  CheckLoadCase(loadCase);
  auto it = d.loadCases.find(loadCase);
  if (it == d.loadCases.end() || !it->second.name) return;
  d.dirtyLoadCases.insert(loadCase);
  it->second.name = boost::none;
  DropIfEmpty(d, loadCase);
}

void XafLoadManager::SetLoadCaseName(long loadCase, const std::string& name) {
  Trace(model_, "Loads.SetLoadCaseName", loadCase, name);
  CaseFor(DataOf(model_), loadCase).name = name;
}

boost::optional<std::string> XafLoadManager::GetLoadCaseName(long loadCase) const {
  Trace(model_, "Loads.GetLoadCaseName", loadCase);
  const LoadCaseRow* row = FindCase(DataOf(model_), loadCase);
  return row ? row->name : boost::none;
}

boost::optional<vec3d> XafLoadManager::GetGravityLoad(long loadCase) const {
  Trace(model_, "Loads.GetGravityLoad", loadCase);
  const LoadCaseRow* row = FindCase(DataOf(model_), loadCase);
  if (row == nullptr || !row->gravity) return boost::none;
  return row->gravity->acceleration;
}

std::vector<LoadEntry> XafLoadManager::GetLoads(long loadCase) const {
  Trace(model_, "Loads.GetLoads", loadCase);
  const LoadCaseRow* row = FindCase(DataOf(model_), loadCase);
  return row ? row->loads : std::vector<LoadEntry>();
}

void XafLoadManager::ForEachLoad(long loadCase, const std::function<void(const LoadEntry&)>& visit) const {
  Trace(model_, "Loads.ForEachLoad", loadCase);
  const LoadCaseRow* row = FindCase(DataOf(model_), loadCase);
  if (!row) return;
  for (const LoadEntry& entry : row->loads) visit(entry);
}

std::vector<long> XafLoadManager::GetLoadCaseIds() const {
  Trace(model_, "Loads.GetLoadCaseIds");
  std::vector<long> ids;
  for (const auto& entry : DataOf(model_).loadCases) ids.push_back(entry.first);
  return ids;
}

}  // namespace Kestrum::Quilm::AnalysisModel
