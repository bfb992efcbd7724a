#include "mirror/loads/mirror_load.hpp"

#include <vector>

#include <boost/pointer_cast.hpp>

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
  for (const long element : elements) {
    const boost::shared_ptr<Load> record = GetElementLoad(element);
    if (!record) continue;

    // Each load-manager call takes the analysis model for that call only.
    if (record->loadType() == kInitialStrainLoadType) {
      model.GetXafModel()->Loads().AddElementInitialStrain(loadCase, element, *record);
      loadedElements_.insert(element);
    } else if (const auto surface = boost::dynamic_pointer_cast<SurfaceLoad>(record)) {
      model.GetXafModel()->Loads().AddSurfaceLoad(loadCase, element, *surface);
      loadedElements_.insert(element);
    } else if (const auto line = boost::dynamic_pointer_cast<LineLoad>(record)) {
      model.GetXafModel()->Loads().AddLineLoad(loadCase, element, *line);
      loadedElements_.insert(element);
    } else if (const auto point = boost::dynamic_pointer_cast<PointLoad>(record)) {
      WritePointLoad(model, loadCase, element, *point);
    }
    // A record of any other class gives this element no load.
  }
}

void IMirrorLoad::WritePointLoad(IMirrorModel& model, long loadCase, long element, const PointLoad& load) {
  // A record without a position has no point to act at; writing it on some
  // node would be a guess, so the element gets nothing.
  if (load.GetValues().empty()) return;
  const pos3d& position = load.GetValues().begin()->first;

  const boost::shared_ptr<XafModel> xaf = model.GetXafModel();
  const XafConnectivityManager& connectivity = xaf->GetConnectivityManager();
  std::vector<pos3d> nodePositions;
  connectivity.GetElementNodes(element, nodePositions, Element::Geometric);
  // Every node at the position is treated (coincident nodes each get the load);
  // the loaded-nodes set keeps a node shared by several elements from getting
  // it more than once in one Write.
  for (unsigned i = 0; i < nodePositions.size(); ++i) {
    if (!position.isEqual(nodePositions[i])) continue;
    const long node = connectivity.GetElementById(element).GetNode(i, Element::Geometric);
    if (loadedNodes_.insert(node).second) model.GetXafModel()->Loads().AddPointLoad(loadCase, node, load);
  }
}

}  // namespace Kestrum::Quilm::Mirror
