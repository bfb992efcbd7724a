// The property tables: structure concepts, materials, sections and
// thicknesses, sets, eccentricities, transformations and hinges.
#include <boost/make_shared.hpp>
#include <cmath>
#include <set>
#include <utility>

#include "model_data.hpp"
#include "trace_format.hpp"
#include "value_checks.hpp"

namespace Kestrum::Quilm::AnalysisModel {

namespace {

// The id an add with `previousId` writes to: a new one for -1 or 0, otherwise the id given, which replaces
// its row or, when no row has it (for instance after a delete), is taken again.
long TargetId(const char* table, long counter, long previousId) {
  CheckPreviousId(table, previousId);
  if (previousId > 0) {
    CheckStorableId(table, previousId);
    return previousId;
  }
  if (counter >= kMaxId) throw ModelError(std::string(table) + " table is full");
  return counter + 1;
}

void CommitId(ModelData& d, long& counter, long id) {
  if (id > counter) {
    counter = id;
    d.countersDirty = true;
  }
}

// Stores `row` in a keyed table under the id an add with `previousId`
// resolves to, marks it for the next flush and returns the id.
template <class Table, class Row>
long PutRow(ModelData& d, Table& table, std::set<long>& dirty, long& counter, const char* kind,
            long previousId, Row&& row) {
  const long target = TargetId(kind, counter, previousId);
  dirty.insert(target);
  table[target] = std::forward<Row>(row);
  CommitId(d, counter, target);
  return target;
}

// Removes a row of a keyed table and marks it for the next flush; an id the
// table does not hold throws.
template <class Table>
void EraseRow(Table& table, std::set<long>& dirty, const char* kind, long id) {
  auto it = table.find(id);
  if (it == table.end()) ThrowMissing(kind, id);
  dirty.insert(id);
  table.erase(it);
}

template <class Map>
std::vector<long> KeysOf(const Map& map) {
  std::vector<long> ids;
  ids.reserve(map.size());
  for (const auto& entry : map) ids.push_back(entry.first);
  return ids;
}

bool IsFinite(const vec3d& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

// ---- structure concepts -------------------------------------------------------

long XafStructureConceptManager::AddConcept(TypeId type, RoleId role, long parentId, const std::string& name,
                                            long previousId) {
  Trace(model_, "StructureConcepts.AddConcept", type, role, parentId, name, previousId);
  ModelData& d = DataOf(model_);
  const long id = TargetId("concept", d.counters.concept, previousId);
  if (parentId <= 0) {
    parentId = -1;
  } else {
    // The parent must exist and must not be the concept itself or below it.
    for (long p = parentId; p > 0;) {
      auto it = d.concepts.find(p);
      if (it == d.concepts.end()) ThrowMissing("concept", p);
      if (p == id)
        throw ModelError("concept " + std::to_string(id) + " cannot have parent " + std::to_string(parentId) +
                         ": that would make a cycle");
      p = it->second.parent;
    }
  }
  StructureConcept row{id, type, role, parentId, name};
  d.dirtyConcepts.insert(id);
  d.concepts[id] = std::move(row);
  CommitId(d, d.counters.concept, id);
  return id;
}

StructureConcept XafStructureConceptManager::GetConcept(long id) const {
  Trace(model_, "StructureConcepts.GetConcept", id);
  const ModelData& d = DataOf(model_);
  auto it = d.concepts.find(id);
  if (it == d.concepts.end()) ThrowMissing("concept", id);
  return it->second;
}

std::vector<long> XafStructureConceptManager::GetConceptIds() const {
  Trace(model_, "StructureConcepts.GetConceptIds");
  return KeysOf(DataOf(model_).concepts);
}

// ---- materials ----------------------------------------------------------------

long XafMaterialManager::AddMaterial(const qlMaterial& material, const std::string& name, long id) {
  Trace(model_, "Materials.AddMaterial", material, name, id);
  ModelData& d = DataOf(model_);
  return PutRow(d, d.materials, d.dirtyMaterials, d.counters.material, "material", id,
                MaterialRow{name, boost::make_shared<qlMaterial>(material)});
}

void XafMaterialManager::DeleteMaterial(long id) {
  Trace(model_, "Materials.DeleteMaterial", id);
  ModelData& d = DataOf(model_);
  EraseRow(d.materials, d.dirtyMaterials, "material", id);
}

boost::shared_ptr<XafMaterial> XafMaterialManager::GetMaterial(long id) const {
  Trace(model_, "Materials.GetMaterial", id);
  const ModelData& d = DataOf(model_);
  auto it = d.materials.find(id);
  if (it == d.materials.end()) return {};
  // A copy: callers cannot change the table through the record.
  return boost::make_shared<XafMaterial>(it->second.name,
                                         boost::make_shared<qlMaterial>(*it->second.material));
}

std::vector<long> XafMaterialManager::GetMaterialIds() const {
  Trace(model_, "Materials.GetMaterialIds");
  return KeysOf(DataOf(model_).materials);
}

// ---- sections and thicknesses ---------------------------------------------------

long XafSectionManager::AddSection(const qlSection& section, const std::string& name, long id) {
  Trace(model_, "Sections.AddSection", section, name, id);
  ModelData& d = DataOf(model_);
  return PutRow(d, d.sections, d.dirtySections, d.counters.section, "section", id,
                SectionRow{name, boost::make_shared<qlSection>(section), boost::none});
}

long XafSectionManager::AddThickness(const double& thickness, const std::string& name, long id) {
  Trace(model_, "Sections.AddThickness", thickness, name, id);
  ModelData& d = DataOf(model_);
  return PutRow(d, d.sections, d.dirtySections, d.counters.section, "section", id,
                SectionRow{name, {}, thickness});
}

void XafSectionManager::DeleteSection(long id) {
  Trace(model_, "Sections.DeleteSection", id);
  ModelData& d = DataOf(model_);
  EraseRow(d.sections, d.dirtySections, "section", id);
}

boost::shared_ptr<XafSection> XafSectionManager::GetSection(long id) const {
  Trace(model_, "Sections.GetSection", id);
  const ModelData& d = DataOf(model_);
  auto it = d.sections.find(id);
  if (it == d.sections.end()) return {};
  const SectionRow& row = it->second;
  boost::shared_ptr<qlSection> section;
  if (row.section) section = boost::make_shared<qlSection>(*row.section);
  return boost::make_shared<XafSection>(row.name, section, row.thickness);
}

std::vector<long> XafSectionManager::GetSectionIds() const {
  Trace(model_, "Sections.GetSectionIds");
  return KeysOf(DataOf(model_).sections);
}

// ---- sets -----------------------------------------------------------------------

long XafSetManager::AddSet(const EntitySet& set, const std::string& name, long id) {
  Trace(model_, "Sets.AddSet", set, name, id);
  ModelData& d = DataOf(model_);
  for (long n : set.Nodes()) d.CheckNode(n);
  for (long e : set.Elements()) d.ElementAt(e);
  return PutRow(d, d.sets, d.dirtySets, d.counters.set, "set", id, SetRow{name, set});
}

void XafSetManager::DeleteSet(long id) {
  Trace(model_, "Sets.DeleteSet", id);
  ModelData& d = DataOf(model_);
  EraseRow(d.sets, d.dirtySets, "set", id);
}

boost::shared_ptr<XafSet> XafSetManager::GetSet(long id) const {
  Trace(model_, "Sets.GetSet", id);
  const ModelData& d = DataOf(model_);
  auto it = d.sets.find(id);
  if (it == d.sets.end()) return {};
  return boost::make_shared<XafSet>(it->second.name, it->second.content);
}

std::vector<long> XafSetManager::GetSetIds() const {
  Trace(model_, "Sets.GetSetIds");
  return KeysOf(DataOf(model_).sets);
}

// ---- eccentricities ---------------------------------------------------------------

long XafEccentricityManager::AddEccentricity(const vec3d& eccentricity, long id) {
  Trace(model_, "Eccentricities.AddEccentricity", eccentricity, id);
  ModelData& d = DataOf(model_);
  if (!IsFinite(eccentricity))
    throw ModelError("eccentricity " + TraceFormat::Arg(eccentricity) + " is not finite");
  CheckPreviousId("eccentricity", id);
  if (id > 0) {
    d.CheckEccentricity(id);
    d.dirtyEccentricities.insert(id);
    d.eccentricities[id - 1] = eccentricity;
    return id;
  }
  if (d.eccentricities.size() >= static_cast<std::size_t>(kMaxId))
    throw ModelError("eccentricity table is full");
  d.eccentricities.push_back(eccentricity);
  return static_cast<long>(d.eccentricities.size());
}

boost::shared_ptr<XafEccentricity> XafEccentricityManager::GetEccentricity(long id) const {
  Trace(model_, "Eccentricities.GetEccentricity", id);
  const ModelData& d = DataOf(model_);
  d.CheckEccentricity(id);
  return boost::make_shared<XafEccentricity>(d.eccentricities[id - 1]);
}

std::size_t XafEccentricityManager::Count() const {
  Trace(model_, "Eccentricities.Count");
  return DataOf(model_).eccentricities.size();
}

// ---- transformations ---------------------------------------------------------------

namespace {

TransformationRow TransformationFromZ(const vec3d& zAxis) {
  if (!IsFinite(zAxis) || zAxis.length() == 0.0)
    throw ModelError("transformation axis " + TraceFormat::Arg(zAxis) + " is zero or not finite");
  vec3d z = zAxis;
  z.normalise();
  // Local x: the global X axis made perpendicular to z; the global Y axis
  // when z runs (nearly) along X.
  vec3d x = vec3d(1, 0, 0) - z * z.x;
  if (x.length() < 1e-6) x = vec3d(0, 1, 0) - z * z.y;
  x.normalise();
  const vec3d y = z.cross(x);
  return {zAxis, {x.x, x.y, x.z, y.x, y.y, y.z, z.x, z.y, z.z}};
}

}  // namespace

long XafTransformationManager::AddTransformation(const vec3d& zAxis, long id) {
  Trace(model_, "Transformations.AddTransformation", zAxis, id);
  ModelData& d = DataOf(model_);
  TransformationRow row = TransformationFromZ(zAxis);
  CheckPreviousId("transformation", id);
  if (id > 0) {
    d.CheckTransformation(id);
    d.dirtyTransformations.insert(id);
    d.transformations[id - 1] = row;
    return id;
  }
  if (d.transformations.size() >= static_cast<std::size_t>(kMaxId))
    throw ModelError("transformation table is full");
  d.transformations.push_back(row);
  return static_cast<long>(d.transformations.size());
}

long XafTransformationManager::AddTransformation(const locsys3d& system) {
  Trace(model_, "Transformations.AddTransformation", system);
  ModelData& d = DataOf(model_);
  const vec3d &x = system.x(), &y = system.y(), &z = system.z();
  if (!IsFinite(x) || !IsFinite(y) || !IsFinite(z)) throw ModelError("local system is not finite");
  if (d.transformations.size() >= static_cast<std::size_t>(kMaxId))
    throw ModelError("transformation table is full");
  d.transformations.push_back({z, {x.x, x.y, x.z, y.x, y.y, y.z, z.x, z.y, z.z}});
  return static_cast<long>(d.transformations.size());
}

boost::shared_ptr<XafTransformation> XafTransformationManager::GetTransformation(long id) const {
  Trace(model_, "Transformations.GetTransformation", id);
  const ModelData& d = DataOf(model_);
  d.CheckTransformation(id);
  const TransformationRow& row = d.transformations[id - 1];
  return boost::make_shared<XafTransformation>(row.vector, row.matrix);
}

vec3d XafTransformationManager::GetZAxis(long id) const {
  Trace(model_, "Transformations.GetZAxis", id);
  const ModelData& d = DataOf(model_);
  d.CheckTransformation(id);
  return d.transformations[id - 1].vector;
}

std::size_t XafTransformationManager::Count() const {
  Trace(model_, "Transformations.Count");
  return DataOf(model_).transformations.size();
}

// ---- hinges ---------------------------------------------------------------------

long XafHingeManager::AddHinge(const Hinge& hinge) {
  Trace(model_, "Hinges.AddHinge", hinge);
  ModelData& d = DataOf(model_);
  CheckFixityFactors("hinge", hinge);
  if (d.hinges.size() >= static_cast<std::size_t>(kMaxId)) throw ModelError("hinge table is full");
  d.hinges.push_back(hinge);
  return static_cast<long>(d.hinges.size());
}

boost::shared_ptr<XafHinge> XafHingeManager::GetHinge(long id) const {
  Trace(model_, "Hinges.GetHinge", id);
  const ModelData& d = DataOf(model_);
  d.CheckHinge(id);
  return boost::make_shared<XafHinge>(d.hinges[id - 1]);
}

}  // namespace Kestrum::Quilm::AnalysisModel
