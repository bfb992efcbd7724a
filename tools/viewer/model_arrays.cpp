// Gathering the model into flat arrays, table by table.
#include "model_arrays.hpp"

#include <algorithm>
#include <cmath>

namespace quilm_view {

namespace {

constexpr std::uint8_t kVtkVertex = 1, kVtkLine = 3, kVtkTriangle = 5, kVtkQuad = 9, kVtkQuadraticEdge = 21;

// Point index of every node id, for ids up to the largest one.
std::vector<std::int32_t> PointIndexOfNode(const std::vector<std::int32_t>& nodeIds) {
  std::vector<std::int32_t> index(nodeIds.empty() ? 1 : static_cast<std::size_t>(nodeIds.back()) + 1, -1);
  for (std::size_t i = 0; i < nodeIds.size(); ++i)
    index[static_cast<std::size_t>(nodeIds[i])] = static_cast<std::int32_t>(i);
  return index;
}

bool AnyNonZero(const double* v, int n) {
  return std::any_of(v, v + n, [](double x) { return x != 0.0; });
}

void GatherPoints(am::XafModel& model, ModelArrays& a) {
  auto& connectivity = model.GetConnectivityManager();
  auto& properties = model.NodeProperties();
  // A node concept (joint, support point) gives its node its name: that name
  // is the link back from the node to its concept.
  std::map<std::string, long> nodeConceptByName;
  for (std::size_t i = 0; i < a.concepts.Size(); ++i)
    if (model.StructureConcepts().GetConcept(a.concepts.ids[i]).type == 1)
      nodeConceptByName.emplace(a.concepts.rows[i].name, a.concepts.ids[i]);
  for (long id : model.Nodes()) a.nodeIds.push_back(static_cast<std::int32_t>(id));
  const std::size_t n = a.nodeIds.size();
  a.points.reserve(3 * n);
  a.nodeConcept.assign(n, 0);
  a.fixity.assign(6 * n, 0.0);
  a.mass.assign(6 * n, 0.0);
  a.nodeNames.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const long id = a.nodeIds[i];
    const pos3d p = connectivity.GetNodeById(id).GetPos();
    a.points.insert(a.points.end(), {p.x, p.y, p.z});
    a.nodeNames[i] = properties.GetName(id);
    if (!a.nodeNames[i].empty()) {
      auto concept = nodeConceptByName.find(a.nodeNames[i]);
      if (concept != nodeConceptByName.end()) a.nodeConcept[i] = static_cast<std::int32_t>(concept->second);
    }
    if (auto support = properties.GetBoundaryCondition(id))
      std::copy(support->Fixations().begin(), support->Fixations().end(), a.fixity.begin() + 6 * i);
    for (const am::Mass& m : properties.GetMasses(id))
      for (int k = 0; k < 6; ++k) a.mass[6 * i + k] += m.Values()[k];
    if (AnyNonZero(&a.fixity[6 * i], 6)) a.supportPoints.push_back(static_cast<std::uint32_t>(i));
    if (AnyNonZero(&a.mass[6 * i], 6)) a.massPoints.push_back(static_cast<std::uint32_t>(i));
  }
}

void GatherTables(am::XafModel& model, ModelArrays& a) {
  for (long id : model.Sections().GetSectionIds()) {
    auto row = model.Sections().GetSection(id);
    NamedRow out{row->GetName(), "", row->GetThickness().value_or(0.0)};
    if (row->GetSection()) out.description = row->GetSection()->Describe();
    if (row->GetThickness()) out.description = "thickness " + std::to_string(*row->GetThickness()) + " m";
    a.sections.Add(id, std::move(out));
  }
  for (long id : model.Materials().GetMaterialIds()) {
    auto row = model.Materials().GetMaterial(id);
    a.materials.Add(id,
                    NamedRow{row->GetName(), row->GetMaterial() ? row->GetMaterial()->Describe() : "", 0});
  }
  for (long id : model.StructureConcepts().GetConceptIds())
    a.concepts.Add(id, NamedRow{model.StructureConcepts().GetConcept(id).name, "", 0});
}

// The element's stored local z axis (per-node axes averaged); zero for none.
vec3d StoredZAxis(am::XafModel& model, const am::Element& e, am::XafElement& record) {
  std::vector<long> ids{record.GetTransformation()};
  if (ids[0] == -1) {
    ids.clear();
    for (unsigned k = 0; k < e.NodeCount(); ++k) ids.push_back(record.GetNodeTransformation(k));
  }
  vec3d sum;
  for (long id : ids) {
    if (id <= 0) continue;
    vec3d z = model.Transformations().GetTransformation(id)->GetTransformationVector();
    sum += z.normalise();
  }
  return sum;
}

// Beam axes as the solver deck orients them: x from the first to the last
// node, z the stored z axis made perpendicular to x (without one, global Z,
// or global X for a beam along Z), y = z x x. Left zero when undefined.
void BeamAxes(const vec3d& tangent, vec3d z, double* x, double* y, double* zOut) {
  if (tangent.length() == 0.0) return;
  if (z.length() == 0.0) z = std::abs(tangent.z) > 1.0 - 1e-9 ? vec3d(1, 0, 0) : vec3d(0, 0, 1);
  vec3d perpendicular = z - tangent * tangent.dot(z);
  if (!(perpendicular.length() > 1e-6 * z.length())) return;
  perpendicular.normalise();
  const vec3d yAxis = perpendicular.cross(tangent);
  for (int k = 0; k < 3; ++k) {
    x[k] = k == 0 ? tangent.x : k == 1 ? tangent.y : tangent.z;
    y[k] = k == 0 ? yAxis.x : k == 1 ? yAxis.y : yAxis.z;
    zOut[k] = k == 0 ? perpendicular.x : k == 1 ? perpendicular.y : perpendicular.z;
  }
}

void CopyVector(const vec3d& v, double* out) {
  out[0] = v.x;
  out[1] = v.y;
  out[2] = v.z;
}

vec3d EccentricityAt(am::XafModel& model, am::XafElement& record, unsigned storedIndex) {
  const long id =
      record.GetEccentricity() == -1 ? record.GetNodeEccentricity(storedIndex) : record.GetEccentricity();
  if (id <= 0) return {};
  return model.Eccentricities().GetEccentricity(id)->GetEccentricity();
}

void GatherBeam(am::XafModel& model, const am::Element& e, am::XafElement& record, ModelArrays& a,
                std::size_t cell) {
  std::vector<pos3d> ends;
  model.GetConnectivityManager().GetElementNodes(e.GetId(), ends, am::Element::Geometric);
  vec3d tangent(ends.back().x - ends.front().x, ends.back().y - ends.front().y,
                ends.back().z - ends.front().z);
  tangent.normalise();
  BeamAxes(tangent, StoredZAxis(model, e, record), &a.localX[3 * cell], &a.localY[3 * cell],
           &a.localZ[3 * cell]);
  const unsigned last = e.NodeCount() - 1;
  CopyVector(EccentricityAt(model, record, e.GetNodeIndex(0, am::Element::Geometric)),
             &a.eccentricityFirst[3 * cell]);
  CopyVector(EccentricityAt(model, record, e.GetNodeIndex(last, am::Element::Geometric)),
             &a.eccentricityLast[3 * cell]);
  if (AnyNonZero(&a.eccentricityFirst[3 * cell], 3) || AnyNonZero(&a.eccentricityLast[3 * cell], 3))
    a.eccentricCells.push_back(static_cast<std::uint32_t>(cell));
}

void GatherCells(am::XafModel& model, ModelArrays& a, const std::vector<std::int32_t>& pointOf) {
  auto& connectivity = model.GetConnectivityManager();
  const std::vector<long> ids = model.Elements().GetElementIds();
  const std::size_t n = ids.size();
  a.elementIds.reserve(n);
  a.elementType.reserve(n);
  a.vtkType.reserve(n);
  a.offsets.reserve(n);
  a.connectivity.reserve(4 * n);
  a.sectionId.reserve(n);
  a.materialId.reserve(n);
  a.thickness.assign(n, 0.0);
  // The analysis model records which concept registered itself, not which
  // elements a segment or plate owns (the mirrors keep those in the host):
  // elements carry no concept until the model stores that link.
  a.conceptId.assign(n, 0);
  a.conceptNameIndex.assign(n, -1);
  for (auto* v : {&a.localX, &a.localY, &a.localZ, &a.eccentricityFirst, &a.eccentricityLast})
    v->assign(3 * n, 0.0);
  for (std::size_t cell = 0; cell < n; ++cell) {
    const am::Element e = connectivity.GetElementById(ids[cell]);
    auto record = model.Elements().GetElement(ids[cell]);
    const qlElementType& type = e.GetElementType();
    a.elementIds.push_back(static_cast<std::int32_t>(ids[cell]));
    a.elementType.push_back(static_cast<std::uint8_t>(type.Number()));
    a.vtkType.push_back(VtkCellType(type.Number()));
    // VTK's quadratic edge is end, end, middle: the stored order; surfaces go around.
    const auto order = type.Shape() == qlElementType::Surface ? am::Element::Geometric : am::Element::Stored;
    for (unsigned k = 0; k < e.NodeCount(); ++k) a.connectivity.push_back(pointOf[e.GetNode(k, order)]);
    a.offsets.push_back(static_cast<std::int32_t>(a.connectivity.size()));
    a.sectionId.push_back(static_cast<std::int32_t>(record->GetSection()));
    a.materialId.push_back(static_cast<std::int32_t>(record->GetMaterial()));
    if (const NamedRow* section = a.sections.Find(record->GetSection()))
      a.thickness[cell] = section->thickness;
    if (type.Shape() == qlElementType::Line) GatherBeam(model, e, *record, a, cell);
  }
}

LoadItem MakeLoad(const am::LoadEntry& entry, std::uint32_t target) {
  LoadItem item{static_cast<LoadItem::Kind>(entry.record->loadType()), target, {0, 0, 0, 0, 0, 0}};
  auto put = [&item](int at, const vec3d& v) {
    item.values[at] = static_cast<float>(v.x);
    item.values[at + 1] = static_cast<float>(v.y);
    item.values[at + 2] = static_cast<float>(v.z);
  };
  if (auto point = dynamic_cast<const am::PointLoad*>(entry.record.get()); point && point->HasPosition()) {
    put(0, point->Force());
    put(3, point->Moment());
  } else if (auto line = dynamic_cast<const am::LineLoad*>(entry.record.get())) {
    put(0, line->Start());
    put(3, line->End());
  } else if (auto surface = dynamic_cast<const am::SurfaceLoad*>(entry.record.get())) {
    item.values[0] = static_cast<float>(surface->Pressure());
  } else if (auto strain = dynamic_cast<const am::InitialStrainLoad*>(entry.record.get())) {
    item.values[0] = static_cast<float>(strain->Strain());
  }
  if (entry.kind == am::LoadKind::NodeAcceleration) item.kind = LoadItem::Acceleration;
  return item;
}

void GatherLoads(am::XafModel& model, ModelArrays& a, const std::vector<std::int32_t>& pointOf) {
  for (long lc : model.Loads().GetLoadCaseIds()) {
    LoadCaseArrays out;
    out.id = lc;
    out.start = a.loadKind.size();
    out.name = model.Loads().GetLoadCaseName(lc).value_or("");
    if (auto g = model.Loads().GetGravityLoad(lc)) {
      out.hasGravity = true;
      CopyVector(*g, out.gravity);
    }
    for (const am::LoadEntry& entry : model.Loads().GetLoads(lc)) {
      const bool onNode = entry.kind == am::LoadKind::Point || entry.kind == am::LoadKind::NodeAcceleration;
      std::int64_t target = -1;
      if (onNode) {
        if (entry.target > 0 && static_cast<std::size_t>(entry.target) < pointOf.size())
          target = pointOf[entry.target];
      } else {
        auto it = std::lower_bound(a.elementIds.begin(), a.elementIds.end(), entry.target);
        if (it != a.elementIds.end() && *it == entry.target) target = it - a.elementIds.begin();
      }
      if (target < 0) {
        ++out.skipped;
        continue;
      }
      const LoadItem load = MakeLoad(entry, static_cast<std::uint32_t>(target));
      a.loadKind.push_back(load.kind);
      a.loadTarget.push_back(load.target);
      a.loadValues.insert(a.loadValues.end(), load.values, load.values + 6);
    }
    out.count = a.loadKind.size() - out.start;
    a.loadCases.push_back(std::move(out));
  }
}

void GatherSets(am::XafModel& model, ModelArrays& a, const std::vector<std::int32_t>& pointOf) {
  for (long id : model.Sets().GetSetIds()) {
    auto set = model.Sets().GetSet(id);
    auto& cells = a.setCells[set->GetName()];
    auto& points = a.setPoints[set->GetName()];
    for (long e : set->GetEntitySet().Elements()) {
      auto it = std::lower_bound(a.elementIds.begin(), a.elementIds.end(), e);
      if (it != a.elementIds.end() && *it == e)
        cells.push_back(static_cast<std::uint32_t>(it - a.elementIds.begin()));
    }
    for (long n : set->GetEntitySet().Nodes())
      if (n > 0 && static_cast<std::size_t>(n) < pointOf.size() && pointOf[n] >= 0)
        points.push_back(static_cast<std::uint32_t>(pointOf[n]));
  }
}

// The distinct names of the concepts that own cells, and each cell's index.
void IndexConceptNames(ModelArrays& a) {
  std::map<std::string, std::int32_t> index;
  for (std::int32_t c : a.conceptId)
    if (const NamedRow* concept = c > 0 ? a.concepts.Find(c) : nullptr) index.emplace(concept->name, 0);
  for (auto& [name, i] : index) {
    i = static_cast<std::int32_t>(a.conceptNames.size());
    a.conceptNames.push_back(name);
  }
  for (std::size_t cell = 0; cell < a.conceptId.size(); ++cell) {
    const NamedRow* concept = a.conceptId[cell] > 0 ? a.concepts.Find(a.conceptId[cell]) : nullptr;
    if (concept) a.conceptNameIndex[cell] = index.at(concept->name);
  }
}

}  // namespace

void NamedTable::Add(long id, NamedRow row) {
  auto at = std::lower_bound(ids.begin(), ids.end(), id);
  if (at != ids.end() && *at == id) {
    rows[at - ids.begin()] = std::move(row);
    return;
  }
  rows.insert(rows.begin() + (at - ids.begin()), std::move(row));
  ids.insert(at, id);
}

const NamedRow* NamedTable::Find(long id) const noexcept {
  auto at = std::lower_bound(ids.begin(), ids.end(), id);
  return at != ids.end() && *at == id ? &rows[at - ids.begin()] : nullptr;
}

std::uint8_t VtkCellType(int elementType) noexcept {
  switch (elementType) {
    case 1:
      return kVtkVertex;
    case 15:
      return kVtkLine;
    case 23:
      return kVtkQuadraticEdge;
    case 24:
      return kVtkQuad;
    case 25:
      return kVtkTriangle;
  }
  return 0;
}

ModelArrays GatherModel(am::XafModel& model) {
  ModelArrays a;
  a.modelFile = model.GetFileName();
  GatherTables(model, a);
  GatherPoints(model, a);
  const std::vector<std::int32_t> pointOf = PointIndexOfNode(a.nodeIds);
  GatherCells(model, a, pointOf);
  IndexConceptNames(a);
  GatherLoads(model, a, pointOf);
  GatherSets(model, a, pointOf);
  return a;
}

}  // namespace quilm_view
