#include "mirror/loads/mirror_load.hpp"

#include <boost/pointer_cast.hpp>
#include <vector>

#include "mirror/core/mirror_model.hpp"

namespace Kestrum::Quilm::Mirror {

namespace {

// Records of this load type are written as initial strains whatever their class.
constexpr int kInitialStrainLoadType = 8;

}  // namespace

IMirrorLoad::IMirrorLoad() = default;

IMirrorLoad::IMirrorLoad(const IMirrorLoad& other)
    : IMirrorObject(other), loadedNodes_(other.loadedNodes_), loadedElements_(other.loadedElements_) {}

IMirrorLoad& IMirrorLoad::operator=(const IMirrorLoad& other) {
  IMirrorObject::operator=(other);
  if (this != &other) {
    // Copies are made first so that a failing allocation leaves both sets as they were.
    IdSet nodes(other.loadedNodes_);
    IdSet elements(other.loadedElements_);
    loadedNodes_.swap(nodes);
    loadedElements_.swap(elements);
  }
  return *this;
}

IMirrorLoad::~IMirrorLoad() = default;

void IMirrorLoad::Write(IMirrorModel& model) {
  loadedNodes_.clear();
  std::list<long> elements;
  if (GetElements(elements)) WriteElementLoads(model, elements);
}

void IMirrorLoad::Delete(IMirrorModel&) {}

void IMirrorLoad::WriteElementLoads(IMirrorModel& model, const std::list<long>& elements) {
  const long loadCase = GetLoadCase();
  // Filled anew for every point-loaded element; kept here so that its storage
  // is reused from one element to the next.
  std::vector<pos3d> nodePositions;
  for (const long element : elements) {
    const boost::shared_ptr<Load> record = GetElementLoad(element);
    if (!record) continue;

    // Each load-manager call takes the analysis model for that call only.
    // Elements usually come in ascending order, so the set is given its end
    // as insertion hint; the result is the same for any order.
    if (record->loadType() == kInitialStrainLoadType) {
      model.GetXafModel()->Loads().AddElementInitialStrain(loadCase, element, *record);
      loadedElements_.insert(loadedElements_.end(), element);
    } else if (const auto* surface = dynamic_cast<const SurfaceLoad*>(record.get())) {
      model.GetXafModel()->Loads().AddSurfaceLoad(loadCase, element, *surface);
      loadedElements_.insert(loadedElements_.end(), element);
    } else if (const auto* line = dynamic_cast<const LineLoad*>(record.get())) {
      model.GetXafModel()->Loads().AddLineLoad(loadCase, element, *line);
      loadedElements_.insert(loadedElements_.end(), element);
    } else if (const auto* point = dynamic_cast<const PointLoad*>(record.get())) {
      WritePointLoad(model, loadCase, element, *point, nodePositions);
    }
    // A record of any other class gives this element no load.
  }
}

void IMirrorLoad::WritePointLoad(IMirrorModel& model, long loadCase, long element, const PointLoad& load,
                                 std::vector<pos3d>& nodePositions) {
  // A record without a position has no point to act at; writing it on some
  // node would be a guess, so the element gets nothing.
  if (load.GetValues().empty()) return;
  const pos3d& position = load.GetValues().begin()->first;

  const boost::shared_ptr<XafModel> xaf = model.GetXafModel();
  const XafConnectivityManager& connectivity = xaf->GetConnectivityManager();
  connectivity.GetElementNodes(element, nodePositions, Element::Geometric);
  // Every node at the position is treated (coincident nodes each get the load);
  // the loaded-nodes set keeps a node shared by several elements from getting
  // it more than once in one Write.
  for (unsigned i = 0; i < nodePositions.size(); ++i) {
    if (!position.isEqual(nodePositions[i])) continue;
    const long node = connectivity.GetElementById(element).GetNode(i, Element::Geometric);
    // Hinted at the end (nodes mostly come in ascending order); the size
    // tells whether the node is new.
    const std::size_t before = loadedNodes_.size();
    loadedNodes_.insert(loadedNodes_.end(), node);
    if (loadedNodes_.size() != before) model.GetXafModel()->Loads().AddPointLoad(loadCase, node, load);
  }
}

}  // namespace Kestrum::Quilm::Mirror
