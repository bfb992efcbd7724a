// Row access, id checks and change marks of the in-memory tables.
#include "model_data.hpp"

#include "result_data.hpp"

namespace Kestrum::Quilm::AnalysisModel {

void ThrowMissing(const char* table, long id) {
  throw ModelError(std::string(table) + " " + std::to_string(id) + " does not exist");
}

void CheckStorableId(const char* table, long id) {
  if (id < 1 || id > kMaxId)
    throw ModelError(std::string(table) + " id " + std::to_string(id) + " is outside 1.." +
                     std::to_string(kMaxId));
}

const qlElementType& ElementTypeOf(const ElementRow& row) { return qlElementType::FromNumber(row.type); }

const pos3d& ModelData::NodeAt(long id) const {
  if (!HasNode(id)) ThrowMissing("node", id);
  return nodes[id - 1];
}

void ModelData::CheckNode(long id) const {
  if (!HasNode(id)) ThrowMissing("node", id);
}

void ModelData::CheckEccentricity(long id) const {
  if (id < 1 || static_cast<std::size_t>(id) > eccentricities.size()) ThrowMissing("eccentricity", id);
}

void ModelData::CheckTransformation(long id) const {
  if (id < 1 || static_cast<std::size_t>(id) > transformations.size()) ThrowMissing("transformation", id);
}

void ModelData::CheckHinge(long id) const {
  if (id < 1 || static_cast<std::size_t>(id) > hinges.size()) ThrowMissing("hinge", id);
}

PerNodeIds& ModelData::PerNodeOf(ElementRow& row) {
  if (row.perNode < 0) {
    if (!freePerNode.empty()) {
      row.perNode = freePerNode.back();
      freePerNode.pop_back();
      perNodeIds[row.perNode] = PerNodeIds{};
    } else {
      perNodeIds.emplace_back();
      row.perNode = static_cast<std::int32_t>(perNodeIds.size() - 1);
    }
  }
  return perNodeIds[row.perNode];
}

void ModelData::ReleasePerNodeIfUnused(ElementRow& row) {
  if (row.perNode < 0) return;
  if (row.eccentricity == -1 || row.transformation == -1 || row.fixation == -1) return;
  freePerNode.push_back(row.perNode);
  row.perNode = -1;
}

void ModelData::ClearChanges() {
  flushedNodes = nodes.size();
  flushedEccentricities = eccentricities.size();
  flushedTransformations = transformations.size();
  flushedHinges = hinges.size();
  for (std::int32_t id : dirtyElements) elements[id - 1].dirty = 0;
  // Give back the memory of a large change list (the first flush of a big mesh).
  std::vector<std::int32_t>().swap(dirtyElements);
  for (auto* s : {&dirtyConcepts, &dirtyMaterials, &dirtySections, &dirtySets, &dirtyNodeProperties,
                  &dirtyEccentricities, &dirtyTransformations, &dirtyHinges, &dirtyLoadCases})
    s->clear();
  countersDirty = false;
  archiveModeDirty = false;
  if (results) results->ClearChanges();
}

}  // namespace Kestrum::Quilm::AnalysisModel
