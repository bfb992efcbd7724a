// The mesh: nodes, elements, node orders and the connectivity manager.
#include <boost/shared_ptr.hpp>
#include <cmath>
#include <stdexcept>

#include "handle_pool.hpp"
#include "in_place_shared.hpp"
#include "model_data.hpp"
#include "trace_format.hpp"

namespace Kestrum::Quilm::AnalysisModel {

// ---- Element ----------------------------------------------------------------

unsigned Element::GetNodeIndex(unsigned index, SortOrder order) const {
  if (index >= NodeCount())
    throw std::out_of_range("element " + std::to_string(id_) + ": node index " + std::to_string(index) +
                            " outside 0.." + std::to_string(NodeCount()) + "-1");
  switch (order) {
    case Stored:
      return index;
    case Geometric:
      return type_->GeometricIndex(index);
  }
  throw std::invalid_argument("element " + std::to_string(id_) + ": unknown sort order " +
                              std::to_string(static_cast<int>(order)));
}

namespace {

// Most callers fetch a handle, make a call or two on it and drop it, once per
// element, so a handle should cost little more than the calls: the handle
// and its reference count share one block, recycled rather than taken from
// the heap, and the pointer is not copied on the way out.
boost::shared_ptr<XafElement> MakeElementHandle(XafModel& model, long id) {
  return AllocateSharedInPlace<XafElement, XafElement>(RecyclingAllocator<XafElement>(), model, id);
}

Element MakeElement(long id, const ElementRow& row) {
  return Element(id, ElementTypeOf(row), std::vector<long>(row.nodes, row.nodes + row.nodeCount));
}

}  // namespace

// ---- nodes ------------------------------------------------------------------

long XafNodeManager::AddNode(const pos3d& position) {
  Trace(model_, "Nodes.AddNode", position);
  ModelData& d = DataOf(model_);
  if (!std::isfinite(position.x) || !std::isfinite(position.y) || !std::isfinite(position.z))
    throw ModelError("node position " + TraceFormat::Arg(position) + " is not finite");
  if (d.nodes.size() >= static_cast<std::size_t>(kMaxId)) throw ModelError("node table is full");
  const long id = static_cast<long>(d.nodes.size()) + 1;
  ReserveOneMore(d.nodes);  // so that a failing insert below leaves both tables alike
  d.nodeIds.insert(id);
  d.nodes.push_back(position);
  return id;
}

XafNodeManager::const_iterator XafNodeManager::begin() const {
  Trace(model_, "Nodes.begin");
  return DataOf(model_).nodeIds.begin();
}

XafNodeManager::const_iterator XafNodeManager::end() const { return DataOf(model_).nodeIds.end(); }

const Utility::CompressedSet<long>& XafNodeManager::GetNodeIds() const {
  Trace(model_, "Nodes.GetNodeIds");
  return DataOf(model_).nodeIds;
}

std::size_t XafNodeManager::Count() const {
  Trace(model_, "Nodes.Count");
  return DataOf(model_).nodes.size();
}

// ---- elements ---------------------------------------------------------------

long XafElementManager::AddElement(const qlElementType& type, const std::vector<long>& nodeIds) {
  Trace(model_, "Elements.AddElement", type, nodeIds);
  ModelData& d = DataOf(model_);
  if (nodeIds.size() != type.NodeCount())
    throw ModelError("element type " + type.Name() + " needs " + std::to_string(type.NodeCount()) +
                     " nodes, " + std::to_string(nodeIds.size()) + " given");
  if (type.NodeCount() > kMaxElementNodes)
    throw ModelError("element type " + type.Name() + " has more nodes than the model stores");
  for (std::size_t i = 0; i < nodeIds.size(); ++i) {
    d.CheckNode(nodeIds[i]);
    for (std::size_t j = 0; j < i; ++j)
      if (nodeIds[j] == nodeIds[i])
        throw ModelError("element node list names node " + std::to_string(nodeIds[i]) + " twice");
  }
  if (d.elementIdsIssued >= static_cast<std::size_t>(kMaxId)) throw ModelError("element table is full");
  ElementRow row;
  row.type = static_cast<std::int16_t>(type.Number());
  row.nodeCount = static_cast<std::uint8_t>(type.NodeCount());
  for (std::size_t i = 0; i < nodeIds.size(); ++i) row.nodes[i] = static_cast<std::int32_t>(nodeIds[i]);
  ReserveOneMore(d.dirtyElements);
  if (d.elements.size() < d.elementIdsIssued) {
    // Rows for the removed elements above the last row read from the file;
    // reserved first, so that nothing below can fail half-way.
    d.elements.reserve(d.elementIdsIssued + 1);
    d.elements.resize(d.elementIdsIssued);
  }
  d.elements.push_back(row);
  d.elementIdsIssued = d.elements.size();
  const long id = static_cast<long>(d.elements.size());
  ++d.elementCount;
  d.MarkElement(id);
  return id;
}

boost::shared_ptr<XafElement> XafElementManager::GetElement(long id) {
  Trace(model_, "Elements.GetElement", id);
  DataOf(model_).ElementAt(id);
  return MakeElementHandle(model_, id);
}

bool XafElementManager::ReverseNodeNumbers(long id) {
  Trace(model_, "Elements.ReverseNodeNumbers", id);
  ModelData& d = DataOf(model_);
  ElementRow& row = d.ElementAt(id);
  const qlElementType& type = ElementTypeOf(row);
  const unsigned n = row.nodeCount;
  // Room for the change mark first: once the nodes are permuted, marking the
  // row must not fail, or the next flush would miss the reversal.
  ReserveOneMore(d.dirtyElements);
  // Stored slot g(i) holds the node at geometric position i; after the
  // reversal it holds the node that was at geometric position n - 1 - i.
  unsigned from[kMaxElementNodes];
  for (unsigned i = 0; i < n; ++i) from[type.GeometricIndex(i)] = type.GeometricIndex(n - 1 - i);
  auto permute = [&](auto& values) {
    auto old = values;
    for (unsigned s = 0; s < n; ++s) values[s] = old[from[s]];
  };
  std::array<std::int32_t, kMaxElementNodes> nodes{};
  std::copy(row.nodes, row.nodes + kMaxElementNodes, nodes.begin());
  permute(nodes);
  std::copy(nodes.begin(), nodes.end(), row.nodes);
  if (row.perNode >= 0) {
    PerNodeIds& p = d.perNodeIds[row.perNode];
    permute(p.eccentricity);
    permute(p.transformation);
    permute(p.fixation);
  }
  d.MarkElement(id);
  return true;
}

bool XafElementManager::RemoveElement(long id, bool removeLoads) {
  Trace(model_, "Elements.RemoveElement", id, removeLoads);
  ModelData& d = DataOf(model_);
  ElementRow& row = d.ElementAt(id);
  // Every step below only erases; reserve the mark list first so that
  // nothing can fail half-way.
  ReserveOneMore(d.dirtyElements);
  if (removeLoads) {
    for (auto it = d.loadCases.begin(); it != d.loadCases.end();) {
      auto& loads = it->second.loads;
      const auto old = loads.size();
      loads.erase(std::remove_if(loads.begin(), loads.end(),
                                 [id](const LoadEntry& e) {
                                   return e.target == id && e.kind != LoadKind::Point &&
                                          e.kind != LoadKind::NodeAcceleration;
                                 }),
                  loads.end());
      if (loads.size() != old) d.dirtyLoadCases.insert(it->first);
      it = it->second.Empty() ? d.loadCases.erase(it) : std::next(it);
    }
  }
  // Sets never name an element that does not exist.
  for (auto& [setId, set] : d.sets) {
    if (set.content.Elements().count(id) == 0) continue;
    EntitySet content;
    for (long n : set.content.Nodes()) content.AddNode(n);
    for (long e : set.content.Elements())
      if (e != id) content.AddElement(e);
    set.content = std::move(content);
    d.dirtySets.insert(setId);
  }
  row.eccentricity = row.transformation = row.fixation = 0;
  d.ReleasePerNodeIfUnused(row);
  const std::uint8_t dirty = row.dirty;
  row = ElementRow{};
  row.dirty = dirty;
  --d.elementCount;
  d.MarkElement(id);
  return true;
}

bool XafElementManager::Contains(long id) const {
  Trace(model_, "Elements.Contains", id);
  return DataOf(model_).HasElement(id);
}

std::size_t XafElementManager::Count() const {
  Trace(model_, "Elements.Count");
  return DataOf(model_).elementCount;
}

std::vector<long> XafElementManager::GetElementIds() const {
  Trace(model_, "Elements.GetElementIds");
  const ModelData& d = DataOf(model_);
  std::vector<long> ids;
  ids.reserve(d.elementCount);
  for (std::size_t i = 0; i < d.elements.size(); ++i)
    if (d.elements[i].Exists()) ids.push_back(static_cast<long>(i) + 1);
  return ids;
}

void XafElementManager::ForEachElement(const std::function<void(const ElementView&)>& visit) const {
  Trace(model_, "Elements.ForEachElement");
  const ModelData& d = DataOf(model_);
  for (std::size_t i = 0; i < d.elements.size(); ++i) {
    const ElementRow& row = d.elements[i];
    if (!row.Exists()) continue;
    const ElementView view{static_cast<long>(i) + 1,
                           &ElementTypeOf(row),
                           row.nodeCount,
                           row.nodes,
                           row.section,
                           row.material,
                           row.eccentricity,
                           row.transformation,
                           row.fixation,
                           row.eccentricity == -1 ? d.perNodeIds[row.perNode].eccentricity.data() : nullptr};
    visit(view);
  }
}

// ---- connectivity -----------------------------------------------------------

Element XafConnectivityManager::GetElementById(long element) const {
  Trace(model_, "Connectivity.GetElementById", element);
  return MakeElement(element, DataOf(model_).ElementAt(element));
}

pos3d XafConnectivityManager::GetElementPoint(long element) const {
  Trace(model_, "Connectivity.GetElementPoint", element);
  const ModelData& d = DataOf(model_);
  const ElementRow& row = d.ElementAt(element);
  double x = 0, y = 0, z = 0;
  for (unsigned i = 0; i < row.nodeCount; ++i) {
    const pos3d& p = d.nodes[row.nodes[i] - 1];
    x += p.x;
    y += p.y;
    z += p.z;
  }
  const double n = row.nodeCount;
  return pos3d(x / n, y / n, z / n);
}

Node XafConnectivityManager::GetNodeById(long node) const {
  Trace(model_, "Connectivity.GetNodeById", node);
  return Node(node, DataOf(model_).NodeAt(node));
}

void XafConnectivityManager::GetElementNodes(long element, std::vector<pos3d>& positions,
                                             Element::SortOrder order) const {
  Trace(model_, "Connectivity.GetElementNodes", element, order);
  const ModelData& d = DataOf(model_);
  const Element e = MakeElement(element, d.ElementAt(element));
  std::vector<pos3d> result;
  result.reserve(e.NodeCount());
  for (unsigned i = 0; i < e.NodeCount(); ++i) result.push_back(d.nodes[e.GetNode(i, order) - 1]);
  positions.swap(result);
}

}  // namespace Kestrum::Quilm::AnalysisModel
