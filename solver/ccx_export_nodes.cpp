// The deck's nodes: the model's own, the nodes generated for the solver's
// elements (mid-side, centroid and offset beam-end nodes), and the stiff arms
// that join an offset beam end to its model node.
#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "solver/ccx_export_internal.hpp"

namespace Kestrum::Quilm::Solver::detail {
namespace {

pos3d Offset(const pos3d& p, const vec3d& v) { return {p.x + v.x, p.y + v.y, p.z + v.z}; }
pos3d Midpoint(const pos3d& a, const pos3d& b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2}; }

}  // namespace

void SolverModelReader::ReadNodes() {
  auto& connectivity = model_.GetConnectivityManager();
  long maxId = 0;
  for (long id : model_.Nodes()) {
    nodes_.emplace(id, connectivity.GetNodeById(id).GetPos());
    maxId = std::max(maxId, id);
  }
  firstGeneratedNode_ = nextNode_ = maxId + 1;
  long maxElement = 0;
  for (long id : model_.Elements().GetElementIds()) maxElement = std::max(maxElement, id);
  firstGeneratedElement_ = nextElement_ = maxElement + 1;
}

// The eccentricity of an element at a stored node index; nullopt when the
// record is missing (reported where the element is read).
std::optional<vec3d> SolverModelReader::LookupEccentricity(const XafElement& record, unsigned storedIndex) {
  long id = record.GetEccentricity();
  if (id == -1) id = record.GetNodeEccentricity(storedIndex);
  if (id <= 0) return vec3d();
  auto eccentricity = model_.Eccentricities().GetEccentricity(id);
  if (!eccentricity) return std::nullopt;
  return eccentricity->GetEccentricity();
}

// Finds the model nodes that must stay joined to the beams that reach them
// through an eccentricity: nodes with a support, a point mass or a node
// load, and nodes where elements attach directly or with different
// eccentricities. A stiff arm joins such a node to its offset beam end.
// Every other eccentric node would hang on its arm alone, and each arm
// makes the solver hold the beam's cross-section rigid there, which
// suppresses its lateral contraction and stiffens the beam (by 1/(1-nu^2)
// where arms sit at every node); those nodes are left out instead.
void SolverModelReader::FindAnchoredNodes() {
  std::map<long, std::set<std::array<double, 3>>> attachments;
  for (long id : model_.Elements().GetElementIds()) {
    Element element = model_.GetConnectivityManager().GetElementById(id);
    if (element.GetElementType().Shape() == qlElementType::Point) continue;
    auto record = model_.Elements().GetElement(id);
    for (unsigned k = 0; k < element.NodeCount(); ++k) {
      const vec3d e = LookupEccentricity(*record, k).value_or(vec3d());
      attachments[element.GetNodeIds()[k]].insert({e.x, e.y, e.z});
    }
  }
  for (const auto& [node, keys] : attachments) {
    if (keys.size() > 1 || isZero(vec3d((*keys.begin())[0], (*keys.begin())[1], (*keys.begin())[2]))) {
      anchored_.insert(node);
    }
  }
  auto& properties = model_.NodeProperties();
  for (const auto& entry : nodes_) {
    if (properties.GetBoundaryCondition(entry.first) || !properties.GetMasses(entry.first).empty()) {
      anchored_.insert(entry.first);
    }
  }
  std::set<long> loaded(cases_.begin(), cases_.end());
  for (const LoadCombination& combination : options_.combinations) {
    for (const auto& term : combination.factors) loaded.insert(term.first);
  }
  if (options_.bucklingCase > 0) loaded.insert(options_.bucklingCase);
  const auto known = model_.Loads().GetLoadCaseIds();
  for (long lc : loaded) {
    if (!std::binary_search(known.begin(), known.end(), lc)) continue;  // reported with the steps
    for (const LoadEntry& load : model_.Loads().GetLoads(lc)) {
      if (load.kind == LoadKind::Point || load.kind == LoadKind::NodeAcceleration)
        anchored_.insert(load.target);
    }
  }
}

long SolverModelReader::NewNode(const pos3d& position) {
  long id = nextNode_++;
  generatedNodes_.emplace_back(id, position);
  positions_[id] = position;
  return id;
}

pos3d SolverModelReader::PositionOf(long node) const {
  auto it = nodes_.find(node);
  if (it != nodes_.end()) return it->second;
  return positions_.at(node);
}

// The node midway between two nodes, shared by every element with that edge.
long SolverModelReader::MidNode(long a, long b) {
  auto key = std::minmax(a, b);
  auto it = midNodes_.find(key);
  if (it != midNodes_.end()) return it->second;
  long id = NewNode(Midpoint(PositionOf(a), PositionOf(b)));
  midNodes_.emplace(key, id);
  return id;
}

// The node where a beam attaches: the model node itself, or for a
// non-zero eccentricity the offset point joined to the node by a stiff arm
// (one per node and eccentricity, shared by the beams that meet there).
long SolverModelReader::BeamNode(long node, const vec3d& eccentricity, double armSize) {
  if (isZero(eccentricity)) return node;
  auto key = std::make_tuple(node, eccentricity.x, eccentricity.y, eccentricity.z);
  auto it = offsetNodes_.find(key);
  if (it != offsetNodes_.end()) return it->second;
  long offsetNode = NewNode(Offset(PositionOf(node), eccentricity));
  offsetNodes_.emplace(key, offsetNode);
  if (!anchored_.count(node)) {
    detached_[node] = offsetNode;
    return offsetNode;
  }
  vec3d direction = eccentricity;
  direction.normalise();
  ElementGroup& arms = ArmGroup(direction, armSize);
  const long arm = nextElement_++;
  arms.rows.push_back({arm, node, offsetNode});
  if (options_.elementResults) {
    // Only the arm's rectangle and direction matter: its section forces
    // come from its stresses.
    SolverBeamSection square;
    square.width1 = square.width2 = armSize;
    deck_->beams.push_back(MakeDeckBeam(arm, 0, 0, node, offsetNode, PositionOf(node), PositionOf(offsetNode),
                                        direction, AnyPerpendicular(direction), square, 0.0));
    stressElements_.push_back(arm);
  }
  return offsetNode;
}

// The model's nodes (those left out replaced by their beam axis nodes) and
// the generated ones; NMODEL holds the nodes whose results are printed.
void SolverModelReader::FinishNodes() {
  auto& written = solver_.nodes;
  auto& printed = solver_.printedNodes;
  written.reserve(nodes_.size() + generatedNodes_.size());
  for (const auto& [id, p] : nodes_) {
    if (detached_.count(id)) continue;
    written.emplace_back(id, p);
    printed.push_back(id);
  }
  written.insert(written.end(), generatedNodes_.begin(), generatedNodes_.end());
  for (const auto& entry : detached_) printed.push_back(entry.second);
  for (const SupportSpring& arm : deck_->supportSprings) printed.push_back(arm.end);
  std::sort(printed.begin(), printed.end());
}

}  // namespace Kestrum::Quilm::Solver::detail
