// Node properties: names, lumped masses, node transformations and supports.
#include <boost/make_shared.hpp>

#include "model_data.hpp"
#include "trace_format.hpp"
#include "value_checks.hpp"

namespace Kestrum::Quilm::AnalysisModel {

namespace {

// The node's row, created on first write.
NodePropertyRow& RowFor(ModelData& d, long node) {
  d.CheckNode(node);
  d.dirtyNodeProperties.insert(node);
  return d.nodeProperties[node];
}

const NodePropertyRow* FindRow(const ModelData& d, long node) {
  d.CheckNode(node);
  auto it = d.nodeProperties.find(node);
  return it == d.nodeProperties.end() ? nullptr : &it->second;
}

// Rows that hold nothing are dropped, so that the table stays small.
void DropIfEmpty(ModelData& d, long node) {
  auto it = d.nodeProperties.find(node);
  if (it != d.nodeProperties.end() && it->second.Empty()) d.nodeProperties.erase(it);
}

}  // namespace

void XafNodePropertyManager::SetName(long node, const std::string& name) {
  Trace(model_, "NodeProperties.SetName", node, name);
  ModelData& d = DataOf(model_);
  RowFor(d, node).name = name;
  DropIfEmpty(d, node);
}

std::string XafNodePropertyManager::GetName(long node) const {
  Trace(model_, "NodeProperties.GetName", node);
  const NodePropertyRow* row = FindRow(DataOf(model_), node);
  return row ? row->name : std::string();
}

void XafNodePropertyManager::AddMass(long node, const Mass& mass) {
  Trace(model_, "NodeProperties.AddMass", node, mass);
  ModelData& d = DataOf(model_);
  d.CheckNode(node);
  CheckMassValues(mass);
  auto& masses = RowFor(d, node).masses;
  masses.push_back(mass);
}

void XafNodePropertyManager::RemoveMasses(long node) {
  Trace(model_, "NodeProperties.RemoveMasses", node);
  ModelData& d = DataOf(model_);
  d.CheckNode(node);
  auto it = d.nodeProperties.find(node);
  if (it == d.nodeProperties.end() || it->second.masses.empty()) return;
  d.dirtyNodeProperties.insert(node);
  it->second.masses.clear();
  DropIfEmpty(d, node);
}

std::vector<Mass> XafNodePropertyManager::GetMasses(long node) const {
  Trace(model_, "NodeProperties.GetMasses", node);
  const NodePropertyRow* row = FindRow(DataOf(model_), node);
  return row ? row->masses : std::vector<Mass>();
}

boost::shared_ptr<long> XafNodePropertyManager::GetTransnod(long node) const {
  Trace(model_, "NodeProperties.GetTransnod", node);
  const NodePropertyRow* row = FindRow(DataOf(model_), node);
  if (row == nullptr || row->transnod <= 0) return {};
  return boost::make_shared<long>(row->transnod);
}

void XafNodePropertyManager::SetTransnod(long node, long transformation) {
  Trace(model_, "NodeProperties.SetTransnod", node, transformation);
  ModelData& d = DataOf(model_);
  d.CheckNode(node);
  if (transformation > 0) d.CheckTransformation(transformation);
  RowFor(d, node).transnod = transformation > 0 ? transformation : 0;
  DropIfEmpty(d, node);
}

void XafNodePropertyManager::SetBoundaryCondition(long node, const Hinge& fixation) {
  Trace(model_, "NodeProperties.SetBoundaryCondition", node, fixation);
  ModelData& d = DataOf(model_);
  d.CheckNode(node);
  CheckFixityFactors("boundary condition", fixation);
  RowFor(d, node).boundaryCondition = fixation;
}

boost::optional<Hinge> XafNodePropertyManager::GetBoundaryCondition(long node) const {
  Trace(model_, "NodeProperties.GetBoundaryCondition", node);
  const NodePropertyRow* row = FindRow(DataOf(model_), node);
  return row ? row->boundaryCondition : boost::none;
}

void XafNodePropertyManager::ForEachMassOrSupport(
    const std::function<void(long, const std::vector<Mass>&, const boost::optional<Hinge>&)>& visit) const {
  Trace(model_, "NodeProperties.ForEachMassOrSupport");
  for (const auto& [node, row] : DataOf(model_).nodeProperties) {
    if (!row.masses.empty() || row.boundaryCondition) visit(node, row.masses, row.boundaryCondition);
  }
}

void XafNodePropertyManager::RemoveBoundaryCondition(long node) {
  Trace(model_, "NodeProperties.RemoveBoundaryCondition", node);
  ModelData& d = DataOf(model_);
  d.CheckNode(node);
  auto it = d.nodeProperties.find(node);
  if (it == d.nodeProperties.end() || !it->second.boundaryCondition) return;
  d.dirtyNodeProperties.insert(node);
  it->second.boundaryCondition = boost::none;
  DropIfEmpty(d, node);
}

}  // namespace Kestrum::Quilm::AnalysisModel
