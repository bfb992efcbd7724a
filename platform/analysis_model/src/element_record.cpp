// XafElement: reads and writes of one element row's property ids.
#include "model_data.hpp"
#include "trace_format.hpp"

namespace Kestrum::Quilm::AnalysisModel {

namespace {

// The three property kinds that may be given per node.
enum class NodeProperty { Eccentricity, Transformation, Fixation };

template <class Row>
auto& WideField(Row& row, NodeProperty p) {
  switch (p) {
    case NodeProperty::Eccentricity:
      return row.eccentricity;
    case NodeProperty::Transformation:
      return row.transformation;
    case NodeProperty::Fixation:
      return row.fixation;
  }
  return row.fixation;
}

template <class Ids>
auto& NodeField(Ids& ids, NodeProperty p) {
  switch (p) {
    case NodeProperty::Eccentricity:
      return ids.eccentricity;
    case NodeProperty::Transformation:
      return ids.transformation;
    case NodeProperty::Fixation:
      return ids.fixation;
  }
  return ids.fixation;
}

// Checks a positive id against its table; any id of 0 or below means none.
long CheckPropertyId(const ModelData& d, NodeProperty p, long id) {
  if (id <= 0) return 0;
  switch (p) {
    case NodeProperty::Eccentricity:
      d.CheckEccentricity(id);
      break;
    case NodeProperty::Transformation:
      d.CheckTransformation(id);
      break;
    case NodeProperty::Fixation:
      d.CheckHinge(id);
      break;
  }
  return id;
}

void SetWide(ModelData& d, long element, NodeProperty p, long id) {
  ElementRow& row = d.ElementAt(element);
  if (id != -1) id = CheckPropertyId(d, p, id);
  ReserveOneMore(d.dirtyElements);
  std::int32_t& wide = WideField(row, p);
  if (id == -1) {
    if (wide == -1) return;
    // Going per node: every node keeps the id the element had.
    auto& nodes = NodeField(d.PerNodeOf(row), p);
    nodes.fill(wide > 0 ? wide : 0);
  } else if (wide == -1) {
    NodeField(d.perNodeIds[row.perNode], p).fill(0);
  }
  wide = static_cast<std::int32_t>(id);
  d.ReleasePerNodeIfUnused(row);
  d.MarkElement(element);
}

void CheckNodeIndex(const ElementRow& row, long element, unsigned node) {
  if (node >= row.nodeCount)
    throw ModelError("element " + std::to_string(element) + " has no node index " + std::to_string(node) +
                     " (it has " + std::to_string(row.nodeCount) + " nodes)");
}

long GetPerNode(const ModelData& d, long element, NodeProperty p, unsigned node) {
  const ElementRow& row = d.ElementAt(element);
  CheckNodeIndex(row, element, node);
  const std::int32_t wide = WideField(row, p);
  if (wide != -1) return wide;
  return NodeField(d.perNodeIds[row.perNode], p)[node];
}

bool SetPerNode(ModelData& d, long element, NodeProperty p, unsigned node, long id) {
  ElementRow& row = d.ElementAt(element);
  CheckNodeIndex(row, element, node);
  id = CheckPropertyId(d, p, id);
  const long old = GetPerNode(d, element, p, node);
  std::int32_t& wide = WideField(row, p);
  if (wide != -1) {
    if (old == id) return false;
    ReserveOneMore(d.dirtyElements);
    NodeField(d.PerNodeOf(row), p).fill(wide > 0 ? wide : 0);
    wide = -1;
  } else if (old == id) {
    return false;
  }
  ReserveOneMore(d.dirtyElements);
  NodeField(d.perNodeIds[row.perNode], p)[node] = static_cast<std::int32_t>(id);
  d.MarkElement(element);
  return true;
}

}  // namespace

void XafElement::SetSection(long section) {
  Trace(*model_, "Element.SetSection", id_, section);
  ModelData& d = DataOf(*model_);
  ElementRow& row = d.ElementAt(id_);
  if (section < -1 || (section > 0 && d.sections.count(section) == 0)) ThrowMissing("section", section);
  ReserveOneMore(d.dirtyElements);
  row.section = static_cast<std::int32_t>(section);
  d.MarkElement(id_);
}

void XafElement::SetMaterial(long material) {
  Trace(*model_, "Element.SetMaterial", id_, material);
  ModelData& d = DataOf(*model_);
  ElementRow& row = d.ElementAt(id_);
  if (material < -1 || (material > 0 && d.materials.count(material) == 0)) ThrowMissing("material", material);
  ReserveOneMore(d.dirtyElements);
  row.material = static_cast<std::int32_t>(material);
  d.MarkElement(id_);
}

long XafElement::GetSection() const {
  Trace(*model_, "Element.GetSection", id_);
  return DataOf(*model_).ElementAt(id_).section;
}

long XafElement::GetMaterial() const {
  Trace(*model_, "Element.GetMaterial", id_);
  return DataOf(*model_).ElementAt(id_).material;
}

void XafElement::SetEccentricity(long eccentricity) {
  Trace(*model_, "Element.SetEccentricity", id_, eccentricity);
  SetWide(DataOf(*model_), id_, NodeProperty::Eccentricity, eccentricity);
}

void XafElement::SetTransformation(long transformation) {
  Trace(*model_, "Element.SetTransformation", id_, transformation);
  SetWide(DataOf(*model_), id_, NodeProperty::Transformation, transformation);
}

void XafElement::SetFixation(long hinge) {
  Trace(*model_, "Element.SetFixation", id_, hinge);
  SetWide(DataOf(*model_), id_, NodeProperty::Fixation, hinge);
}

long XafElement::GetEccentricity() const {
  Trace(*model_, "Element.GetEccentricity", id_);
  return DataOf(*model_).ElementAt(id_).eccentricity;
}

long XafElement::GetTransformation() const {
  Trace(*model_, "Element.GetTransformation", id_);
  return DataOf(*model_).ElementAt(id_).transformation;
}

long XafElement::GetFixation() const {
  Trace(*model_, "Element.GetFixation", id_);
  return DataOf(*model_).ElementAt(id_).fixation;
}

bool XafElement::SetNodeEccentricity(unsigned node, long eccentricity) {
  Trace(*model_, "Element.SetNodeEccentricity", id_, node, eccentricity);
  return SetPerNode(DataOf(*model_), id_, NodeProperty::Eccentricity, node, eccentricity);
}

bool XafElement::SetNodeTransformation(unsigned node, long transformation) {
  Trace(*model_, "Element.SetNodeTransformation", id_, node, transformation);
  return SetPerNode(DataOf(*model_), id_, NodeProperty::Transformation, node, transformation);
}

bool XafElement::SetNodeFixation(unsigned node, long hinge) {
  Trace(*model_, "Element.SetNodeFixation", id_, node, hinge);
  return SetPerNode(DataOf(*model_), id_, NodeProperty::Fixation, node, hinge);
}

long XafElement::GetNodeEccentricity(unsigned node) const {
  Trace(*model_, "Element.GetNodeEccentricity", id_, node);
  return GetPerNode(DataOf(*model_), id_, NodeProperty::Eccentricity, node);
}

long XafElement::GetNodeTransformation(unsigned node) const {
  Trace(*model_, "Element.GetNodeTransformation", id_, node);
  return GetPerNode(DataOf(*model_), id_, NodeProperty::Transformation, node);
}

long XafElement::GetNodeFixation(unsigned node) const {
  Trace(*model_, "Element.GetNodeFixation", id_, node);
  return GetPerNode(DataOf(*model_), id_, NodeProperty::Fixation, node);
}

Element XafElement::GetElementWithInternalNodeIds() const {
  Trace(*model_, "Element.GetElementWithInternalNodeIds", id_);
  const ElementRow& row = DataOf(*model_).ElementAt(id_);
  return Element(id_, ElementTypeOf(row), std::vector<long>(row.nodes, row.nodes + row.nodeCount));
}

}  // namespace Kestrum::Quilm::AnalysisModel
