// The deck's nodes: the model's own, the nodes generated for the solver's
// elements (mid-side, centroid and offset beam-end nodes), and the stiff arms
// that join an offset beam end to its model node.
#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>

#include "solver/ccx/ccx_export_internal.hpp"

namespace Kestrum::Quilm::Solver::detail {
namespace {

pos3d Offset(const pos3d& p, const vec3d& v) { return {p.x + v.x, p.y + v.y, p.z + v.z}; }

}  // namespace

void SolverModelReader::ReadNodes() {
  auto& connectivity = model_.GetConnectivityManager();
  for (long id : model_.Nodes()) nodes_.Add(id, connectivity.GetNodeById(id).GetPos());
  firstGeneratedNode_ = nextNode_ = nodes_.size() > 0 ? nodes_.LastId() + 1 : 1;
  generatedNodes_.firstId = firstGeneratedNode_;
  long maxElement = 0;
  for (long id : model_.Elements().GetElementIds()) maxElement = std::max(maxElement, id);
  firstGeneratedElement_ = nextElement_ = maxElement + 1;
  shells_.assign(static_cast<std::size_t>(maxElement) + 1, false);
  // Eccentricity ids count up from 1 and are never reused.
  eccentricities_.assign(model_.Eccentricities().Count() + 1, std::nullopt);
  eccentricityRead_.assign(eccentricities_.size(), false);
}

// The eccentricity of an element at a stored node index (its own, or the
// node's where it has none of its own); nullopt when the record is missing
// (reported where the element is read).
std::optional<vec3d> SolverModelReader::LookupEccentricity(const ElementRead& element, unsigned storedIndex) {
  const long wide = element.View().eccentricity;
  return EccentricityById(wide == -1 ? element.View().NodeEccentricity(storedIndex) : wide);
}

// The eccentricity with the id (none for ids of 0 or below); nullopt when
// the record is missing.
std::optional<vec3d> SolverModelReader::EccentricityById(long id) {
  if (id <= 0) return vec3d();
  // Fetched once per id: elements share a few eccentricities, and each
  // fetch hands out a new record.
  const auto at = static_cast<std::size_t>(id);
  if (at >= eccentricities_.size()) {  // beyond the table: missing
    auto eccentricity = model_.Eccentricities().GetEccentricity(id);
    if (!eccentricity) return std::nullopt;
    return eccentricity->GetEccentricity();
  }
  if (!eccentricityRead_[at]) {
    auto eccentricity = model_.Eccentricities().GetEccentricity(id);
    if (eccentricity) eccentricities_[at] = eccentricity->GetEccentricity();
    eccentricityRead_[at] = true;
  }
  return eccentricities_[at];
}

// Finds the model nodes that must stay joined to the beams that reach them
// through an eccentricity: nodes with a support, a point mass or a node
// load (in any load case), and nodes where elements attach directly or with different
// eccentricities. A stiff arm joins such a node to its offset beam end.
// Every other eccentric node would hang on its arm alone, and each arm
// makes the solver hold the beam's cross-section rigid there, which
// suppresses its lateral contraction and stiffens the beam (by 1/(1-nu^2)
// where arms sit at every node); those nodes are left out instead.
void SolverModelReader::FindAnchoredNodes() {
  // Per node the first eccentricity an element attaches with, and whether
  // another one differs from it.
  struct Attachment {
    vec3d first;
    enum : char { None, One, Several } seen = None;
  };
  std::vector<Attachment> attachments(nodes_.empty() ? 0 : static_cast<std::size_t>(nodes_.LastId()) + 1);
  model_.Elements().ForEachElement([&](const AnalysisModel::ElementView& element) {
    const auto shape = element.type->Shape();
    if (shape == qlElementType::Point) return;
    // The edges foreseen: about two sides per shell are its own (the others
    // are its neighbours'), and a beam has one span.
    expectedEdges_ += shape == qlElementType::Surface ? 2 : shape == qlElementType::Line ? 1 : 0;
    // Most elements have one eccentricity (or none) for all their nodes.
    const long wide = element.eccentricity;
    const vec3d wideVector = wide == -1 ? vec3d() : EccentricityById(wide).value_or(vec3d());
    for (unsigned k = 0; k < element.nodeCount; ++k) {
      const vec3d e =
          wide == -1 ? EccentricityById(element.NodeEccentricity(k)).value_or(vec3d()) : wideVector;
      const auto node = static_cast<std::size_t>(element.nodes[k]);
      if (node >= attachments.size()) attachments.resize(node + 1);
      Attachment& a = attachments[node];
      if (a.seen == Attachment::None) {
        a = {e, Attachment::One};
      } else if (a.seen == Attachment::One && (e.x != a.first.x || e.y != a.first.y || e.z != a.first.z)) {
        a.seen = Attachment::Several;
      }
    }
  });
  for (std::size_t node = 0; node < attachments.size(); ++node) {
    const Attachment& a = attachments[node];
    if (a.seen == Attachment::Several || (a.seen == Attachment::One && isZero(a.first)))
      Anchor(static_cast<long>(node));
  }
  auto& properties = model_.NodeProperties();
  // The node properties are read here once for ReadNodeProperties too,
  // only those of the few nodes that have any.
  properties.ForEachMassOrSupport(
      [&](long node, const std::vector<AnalysisModel::Mass>& masses, const boost::optional<AnalysisModel::Hinge>& support) {
        NodeProperties found;
        found.node = node;
        for (const auto& mass : masses) {
          for (int k = 0; k < 6; ++k) found.mass[k] += mass.Values()[k];
          found.hasMass = true;
        }
        if (support) found.support = *support;
        if (found.hasMass || found.support) {
          Anchor(node);
          nodeProperties_.push_back(found);
        }
      });
  // Every load case's node loads anchor their nodes, not only the exported
  // cases': the model is then written the same way whichever cases are
  // chosen, so a case solved alone gives what it gives among all of them,
  // and results stored from different runs belong to one model.
  for (long lc : model_.Loads().GetLoadCaseIds()) {
    model_.Loads().ForEachLoad(lc, [this](const LoadEntry& load) {
      if (load.kind == LoadKind::Point || load.kind == LoadKind::NodeAcceleration) Anchor(load.target);
    });
  }
}

void SolverModelReader::Anchor(long node) {
  if (node < 0) return;
  if (static_cast<std::size_t>(node) >= anchored_.size())
    anchored_.resize(static_cast<std::size_t>(node) + 1);
  anchored_[static_cast<std::size_t>(node)] = true;
}

long SolverModelReader::NextNodeId() {
  if (nextNode_ >= INT32_MAX) throw ExportError("the deck would need more node ids than the solver reads");
  return nextNode_++;
}

long SolverModelReader::NewNode(const pos3d& position) {
  const long id = NextNodeId();
  generatedNodes_.AddPlaced(position);
  return id;
}

// Generated nodes are numbered consecutively from firstGeneratedNode_, so
// their list is indexed by id.
pos3d SolverModelReader::PositionOf(long node) const {
  if (const pos3d* p = nodes_.Find(node)) return *p;
  if (written_) return written_->PositionOf(node);
  const auto at = static_cast<std::size_t>(node - firstGeneratedNode_);
  if (node < firstGeneratedNode_ || at >= generatedNodes_.Count())
    throw std::out_of_range("no node " + std::to_string(node));
  return generatedNodes_.Position(at, [this](long end) { return PositionOf(end); });
}

// The node midway between two nodes, shared by every element with that
// edge; `shellSide` counts the edge's use as a side of a shell as well.
// Only its ends are kept: its position is worked out when it is written.
long SolverModelReader::MidNode(long a, long b, bool shellSide) {
  EdgeNodes& edge = edges_.At(EdgeKey(a, b));
  if (shellSide) edge.AddShellUse();
  if (edge.mid == 0) {
    if (!nodes_.Find(a) && !IsGenerated(a)) throw std::out_of_range("no node " + std::to_string(a));
    if (!nodes_.Find(b) && !IsGenerated(b)) throw std::out_of_range("no node " + std::to_string(b));
    edge.mid = static_cast<std::int32_t>(NextNodeId());
    generatedNodes_.AddMidpoint(a, b);
  }
  return edge.mid;
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
  if (!IsAnchored(node)) {
    detached_[node] = offsetNode;
    return offsetNode;
  }
  vec3d direction = eccentricity;
  direction.normalise();
  ElementGroup& arms = ArmGroup(direction, armSize);
  const long arm = nextElement_++;
  arms.AddRow({arm, node, offsetNode});
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
  auto& printed = solver_.printedNodes;
  for (const auto& entry : detached_) nodes_.Remove(entry.first);
  printed.reserve(nodes_.size() + detached_.size() + deck_->supportSprings.size());
  nodes_.ForEach([&](long node, const pos3d&) { printed.push_back(node); });
  solver_.nodes = nodes_.Release();
  solver_.generatedNodes = std::move(generatedNodes_);
  for (const auto& entry : detached_) printed.push_back(entry.second);
  for (const SupportSpring& arm : deck_->supportSprings) printed.push_back(arm.end);
  std::sort(printed.begin(), printed.end());
}

}  // namespace Kestrum::Quilm::Solver::detail
