// The deck's elements: beams (B31, B32R, a three-node rectangle as two B31
// halves) and shells (S8R, a triangle as three quadrilaterals), with the
// structural mass each lumps at its model nodes.
#include <algorithm>
#include <array>
#include <cmath>

#include "solver/ccx/ccx_export_internal.hpp"

namespace Kestrum::Quilm::Solver::detail {
namespace {

// True when the direction's first clearly non-zero component (x, then y,
// then z) is negative.
bool RunsBackwards(const vec3d& t) {
  constexpr double kTiny = 1e-9;
  if (std::abs(t.x) > kTiny) return t.x < 0.0;
  if (std::abs(t.y) > kTiny) return t.y < 0.0;
  return t.z < 0.0;
}

}  // namespace

void SolverModelReader::ReadElements() {
  AnalysisModel::ProgressMeter meter(options_.progress, "export", model_.Elements().Count());
  edges_.Reserve(expectedEdges_, firstGeneratedNode_);
  // The rows are visited in place and the record handle lives on the stack:
  // asking the model for each element would hand out two new objects.
  model_.Elements().ForEachElement([&](const AnalysisModel::ElementView& view) {
    meter.Advance();
    const long id = view.id;
    const XafElement record(model_, id);
    const ElementRead element(view, record, GeometricOrder(*view.type, view.nodeCount));
    const std::size_t fatalBefore = problems_.FatalCount();
    switch (view.type->Shape()) {
      case qlElementType::Point:
        deck_->notes.push_back("point element " + std::to_string(id) +
                               " has no stiffness in the deck and is left out (node masses are exported)");
        break;
      case qlElementType::Line:
        ReadBeam(element);
        break;
      case qlElementType::Surface:
        ReadShell(element);
        break;
      default:
        problems_.Add("solid elements are not supported", ElementLabel(id), false);
    }
    // Loads on a refused element would only repeat its refusal.
    if (problems_.FatalCount() != fatalBefore) refused_.insert(id);
  });
  meter.Finish();
}

// The stored node index of each geometric position for elements of the type
// with `count` nodes, as the model's own connectivity orders them.
const unsigned* SolverModelReader::GeometricOrder(const qlElementType& type, unsigned count) {
  const std::pair<const qlElementType*, unsigned> key{&type, count};
  if (key == lastOrderKey_) return lastOrder_;
  auto found = geometricOrders_.find(key);
  if (found == geometricOrders_.end()) {
    const Element element(0, type, std::vector<long>(count, 0));
    std::vector<unsigned> order(count);
    // Positions beyond the type's own nodes (a row the readers refuse) stay
    // in stored order.
    for (unsigned i = 0; i < count; ++i)
      order[i] = i < type.NodeCount() ? element.GetNodeIndex(i, Element::Geometric) : i;
    found = geometricOrders_.emplace(key, std::move(order)).first;
  }
  lastOrderKey_ = key;
  lastOrder_ = found->second.data();
  return lastOrder_;
}

// True when every end of the element is rigidly connected.
void SolverModelReader::CheckFixations(const ElementRead& element) {
  std::array<long, 4> ids{element.View().fixation};
  std::size_t count = 1;
  if (ids[0] == -1) {
    count = std::min<std::size_t>(element.NodeCount(), ids.size());
    for (unsigned k = 0; k < count; ++k) ids[k] = element.Record().GetNodeFixation(k);
  }
  for (std::size_t k = 0; k < count; ++k) {
    const long hingeId = ids[k];
    if (hingeId <= 0) continue;
    auto hinge = model_.Hinges().GetHinge(hingeId);
    if (!hinge) {
      problems_.Add("elements referring to a missing hinge", ElementLabel(element.GetId()), false);
      return;
    }
    for (double f : hinge->GetHinge().Fixations()) {
      if (f != 1.0) {
        problems_.Add("element end releases (hinges) are not supported; skipping treats the ends as rigid",
                      ElementLabel(element.GetId()), true);
        return;
      }
    }
  }
}

vec3d SolverModelReader::EccentricityAt(const ElementRead& element, unsigned storedIndex) {
  auto eccentricity = LookupEccentricity(element, storedIndex);
  if (!eccentricity) {
    problems_.Add("elements referring to a missing eccentricity", ElementLabel(element.GetId()), false);
    return {};
  }
  return *eccentricity;
}

// The element's stored local z axis; per-node axes are averaged; zero when
// the element has none.
vec3d SolverModelReader::LocalZAxis(const ElementRead& element) {
  std::array<long, 4> ids{element.View().transformation};
  std::size_t count = 1;
  if (ids[0] == -1) {
    count = std::min<std::size_t>(element.NodeCount(), ids.size());
    for (unsigned k = 0; k < count; ++k) ids[k] = element.Record().GetNodeTransformation(k);
  }
  vec3d sum;
  for (std::size_t k = 0; k < count; ++k) {
    const long id = ids[k];
    if (id <= 0) continue;
    vec3d z = model_.Transformations().GetZAxis(id);
    sum += z.normalise();
  }
  return sum;
}

void SolverModelReader::ReadBeam(const ElementRead& element) {
  const long id = element.GetId();
  const unsigned count = element.NodeCount();
  if (count != 2 && count != 3) {
    problems_.Add("beam elements need two or three nodes", ElementLabel(id), false);
    return;
  }
  const long sectionId = element.View().section;
  const long materialId = element.View().material;
  const qlMaterial* material = MaterialOf(id, materialId);
  const AnalysisModel::XafSection* sectionRow = SectionRowOf(sectionId);
  if (!sectionRow || !sectionRow->GetSection()) {
    problems_.Add(sectionId <= 0 ? "beam elements without a section"
                                 : "beam elements without a beam section (missing, or a plate thickness)",
                  ElementLabel(id), false);
    return;
  }
  const qlSection& section = *sectionRow->GetSection();
  const SolverBeamSection* mapped = BeamSectionOf(id, sectionId, section);
  if (!mapped) return;
  if (!material) return;
  CheckFixations(element);

  // Geometric order: first end, [middle,] last end.
  std::array<long, 3> nodes{};
  std::array<vec3d, 3> eccentricities;
  for (unsigned i = 0; i < count; ++i) {
    nodes[i] = element.GeometricNode(i);
    eccentricities[i] = EccentricityAt(element, element.GeometricIndex(i));
  }
  const double armSize = mapped->outerSize;
  const long first = BeamNode(nodes[0], eccentricities[0], armSize);
  const long last = BeamNode(nodes[count - 1], eccentricities[count - 1], armSize);
  const pos3d firstPos = PositionOf(first), lastPos = PositionOf(last);
  vec3d tangent(firstPos, lastPos);
  const double length = tangent.length();
  if (!(length > 0.0)) {
    problems_.Add("beam elements of zero length", ElementLabel(id), false);
    return;
  }
  tangent *= 1.0 / length;
  // The solver stiffens a beam where two of its elements meet head to
  // head, so every element is written in one canonical direction; the
  // section axes follow from the local z axis and every section is
  // symmetric, so the direction is otherwise immaterial.
  const bool backwards = RunsBackwards(tangent);
  if (backwards) tangent = -tangent;
  vec3d n1;
  try {
    n1 = SectionAxisN1(tangent, LocalZAxis(element));
  } catch (const ExportError& e) {
    problems_.Add(e.what(), ElementLabel(id), false);
    return;
  }

  std::array<ElementRow, 2> rows{ElementRow{id, first}};
  std::size_t rowCount = 1;
  bool quadratic = false;
  const long middle = count == 3 ? BeamNode(nodes[1], eccentricities[1], armSize) : 0;
  if (count == 3 && mapped->needsQuadratic) {
    quadratic = true;
    rows[0].push_back(middle);
  } else if (count == 3) {
    // Rectangles are more accurate on B31, so a three-node beam of one
    // becomes two B31 elements meeting at its middle node.
    rows[0].push_back(middle);
    rows[rowCount++] = ElementRow{nextElement_++, middle};
    extra_.Add(id, rows[1][0], 1);
  } else if (mapped->needsQuadratic) {
    quadratic = true;
    rows[0].push_back(MidNode(first, last));
    edges_.At(EdgeKey(first, last)).beamSpan = true;
  }
  rows[rowCount - 1].push_back(last);
  for (std::size_t r = 0; r < rowCount; ++r) {
    if (backwards) std::swap(rows[r][1], rows[r].back());
  }

  ElementGroup& group = BeamGroup(quadratic, sectionId, materialId, *mapped, n1);
  for (std::size_t r = 0; r < rowCount; ++r) group.AddRow(rows[r]);
  beams_.Add(id, first, last, middle);
  if (options_.elementResults) {
    std::vector<std::vector<long>> rowLists;
    for (std::size_t r = 0; r < rowCount; ++r) rowLists.push_back(rows[r].ToVector());
    RecordDeckBeams(id, rowLists, *mapped, *material, tangent, n1);
  }
  maxBeamModulus_ = std::max(maxBeamModulus_, material->YoungsModulus());

  const double mass = material->Density() * section.Properties().area * length;
  if (material->Density() > 0.0) {
    AddDenseElement(id);
    if (rowCount == 2) denseExtras_.push_back(rows[1][0]);
    structuralMass_ += mass;
    if (count == 2) {
      LumpMass(nodes[0], mass / 2.0);
      LumpMass(nodes[1], mass / 2.0);
    } else {  // Simpson weights of a quadratic element
      LumpMass(nodes[0], mass / 6.0);
      LumpMass(nodes[1], 2.0 * mass / 3.0);
      LumpMass(nodes[2], mass / 6.0);
    }
  }
}

void SolverModelReader::ReadShell(const ElementRead& element) {
  const long id = element.GetId();
  const unsigned count = element.NodeCount();
  if (count != 3 && count != 4) {
    problems_.Add("shell elements need three or four corner nodes", ElementLabel(id), false);
    return;
  }
  const long sectionId = element.View().section;
  const long materialId = element.View().material;
  const qlMaterial* material = MaterialOf(id, materialId);
  const AnalysisModel::XafSection* sectionRow = SectionRowOf(sectionId);
  if (!sectionRow || !sectionRow->GetThickness()) {
    problems_.Add(sectionId <= 0 ? "shell elements without a thickness"
                                 : "shell elements without a plate thickness (missing, or a beam section)",
                  ElementLabel(id), false);
    return;
  }
  const double thickness = *sectionRow->GetThickness();
  if (!(thickness > 0.0) || !std::isfinite(thickness)) {
    problems_.Add("shell elements with a non-positive thickness", ElementLabel(id), false);
    return;
  }
  if (!material) return;
  CheckFixations(element);
  for (unsigned k = 0; k < count; ++k) {
    if (!isZero(EccentricityAt(element, k))) {
      problems_.Add("shell eccentricities are not supported", ElementLabel(id), true);
      break;
    }
  }

  std::array<long, 4> corners{};
  for (unsigned i = 0; i < count; ++i) corners[i] = element.GeometricNode(i);
  CheckShellLimits(corners, count, thickness);
  for (unsigned i = 0; i < count; ++i) edges_.Prefetch(EdgeKey(corners[i], corners[(i + 1) % count]));
  // A quadrilateral's sides are counted below, with their middle nodes.
  if (count == 3) {
    for (unsigned i = 0; i < count; ++i)
      edges_.At(EdgeKey(corners[i], corners[(i + 1) % count])).AddShellUse();
  }
  // Quadratic triangles (S6) are far too stiff, so a triangle is divided
  // into three quadrilaterals, one per corner, that meet at its centroid.
  std::array<std::array<long, 4>, 3> quads{};
  std::size_t quadCount = 0;
  if (count == 4) {
    quads[quadCount++] = corners;
  } else {
    const long centroid =
        NewNode(pos3d((PositionOf(corners[0]).x + PositionOf(corners[1]).x + PositionOf(corners[2]).x) / 3,
                      (PositionOf(corners[0]).y + PositionOf(corners[1]).y + PositionOf(corners[2]).y) / 3,
                      (PositionOf(corners[0]).z + PositionOf(corners[1]).z + PositionOf(corners[2]).z) / 3));
    for (unsigned i = 0; i < 3; ++i) {
      quads[quadCount++] = {corners[i], MidNode(corners[i], corners[(i + 1) % 3]), centroid,
                            MidNode(corners[(i + 2) % 3], corners[i])};
    }
  }
  std::array<ElementRow, 3> rows;
  for (std::size_t q = 0; q < quadCount; ++q) {
    const auto& quad = quads[q];
    ElementRow& row = rows[q];
    row.push_back(q == 0 ? id : nextElement_++);
    for (long node : quad) row.push_back(node);
    for (unsigned i = 0; i < 4; ++i) row.push_back(MidNode(quad[i], quad[(i + 1) % 4], count == 4));
  }

  if (quadCount > 1) extra_.Add(id, rows[1][0], static_cast<int>(quadCount - 1));
  ElementGroup& group = ShellGroup(sectionId, materialId, thickness);
  for (std::size_t q = 0; q < quadCount; ++q) group.AddRow(rows[q]);
  if (shells_.size() <= static_cast<std::size_t>(id)) shells_.resize(static_cast<std::size_t>(id) + 1);
  shells_[static_cast<std::size_t>(id)] = true;
  if (options_.elementResults) {
    DeckShell shell;
    shell.modelElement = id;
    shell.thickness = thickness;
    const pos3d p0 = PositionOf(corners[0]), p1 = PositionOf(corners[1]), p2 = PositionOf(corners[2]);
    shell.z = count == 4 ? vec3d(p0, p2).cross(vec3d(p1, PositionOf(corners[3])))
                         : vec3d(p0, p1).cross(vec3d(p0, p2));
    shell.z.normalise();
    shell.x = vec3d(p0, p1);
    shell.x = shell.x - shell.z * shell.x.dot(shell.z);
    shell.x.normalise();
    shell.y = shell.z.cross(shell.x);
    shell.corners.assign(corners.begin(), corners.begin() + count);
    for (long node : shell.corners) shell.cornerPositions.push_back(PositionOf(node));
    for (std::size_t q = 0; q < quadCount; ++q) {
      shell.parts.push_back(rows[q][0]);
      stressElements_.push_back(rows[q][0]);
      deck_->shellNodes.insert(deck_->shellNodes.end(), rows[q].begin() + 1, rows[q].end());
    }
    deck_->shells.push_back(std::move(shell));
  }

  if (material->Density() > 0.0) {
    AddDenseElement(id);
    for (std::size_t q = 1; q < quadCount; ++q) denseExtras_.push_back(rows[q][0]);
    const pos3d p0 = PositionOf(corners[0]), p1 = PositionOf(corners[1]), p2 = PositionOf(corners[2]);
    double area;
    if (count == 4) {  // half the cross product of the diagonals
      area = vec3d(p0, p2).cross(vec3d(p1, PositionOf(corners[3]))).length() / 2.0;
    } else {
      area = vec3d(p0, p1).cross(vec3d(p0, p2)).length() / 2.0;
    }
    structuralMass_ += material->Density() * thickness * area;
    const double share = material->Density() * thickness * area / count;
    for (unsigned i = 0; i < count; ++i) LumpMass(corners[i], share);
  }
}

DeckBeam MakeDeckBeam(long solverElement, long modelElement, int half, long first, long last,
                      const pos3d& firstPos, const pos3d& lastPos, const vec3d& tangent, const vec3d& n1,
                      const SolverBeamSection& section, double massPerLength) {
  DeckBeam beam;
  beam.solverElement = solverElement;
  beam.modelElement = modelElement;
  beam.half = half;
  beam.first = first;
  beam.last = last;
  beam.firstPos = firstPos;
  beam.lastPos = lastPos;
  beam.x = vec3d(firstPos, lastPos);
  beam.x.normalise();
  // Local z is n2 = t x n1 whichever way the element was written; local y
  // completes the right-handed system (n1, or -n1 for a reversed element).
  beam.z = tangent.cross(n1);
  beam.y = beam.z.cross(beam.x);
  beam.n1 = n1;
  beam.tangent = tangent;
  beam.recovery = section.sectionType == "PIPE"  ? DeckBeam::Recovery::PipeStresses
                  : section.sectionType == "BOX" ? DeckBeam::Recovery::BoxStresses
                                                 : DeckBeam::Recovery::BrickStresses;
  beam.width1 = section.width1;
  beam.width2 = section.width2;
  beam.wall1 = section.wall1;
  beam.wall2 = section.wall2;
  beam.massPerLength = massPerLength;
  return beam;
}

// The deck beams of a model beam written as `rows` (one element, or two
// halves meeting at the middle node), and the elements whose stresses the
// deck prints.
void SolverModelReader::RecordDeckBeams(long id, const std::vector<std::vector<long>>& rows,
                                        const SolverBeamSection& section, const qlMaterial& material,
                                        const vec3d& tangent, const vec3d& n1) {
  const BeamEnds& ends = beams_.at(id);
  const double massPerLength = material.Density() * section.area;
  if (rows.size() == 2) {
    const pos3d m = PositionOf(ends.middle);
    deck_->beams.push_back(MakeDeckBeam(rows[0][0], id, 1, ends.first, ends.middle, ends.firstPos, m, tangent,
                                        n1, section, massPerLength));
    deck_->beams.push_back(MakeDeckBeam(rows[1][0], id, 2, ends.middle, ends.last, m, ends.lastPos, tangent,
                                        n1, section, massPerLength));
  } else {
    deck_->beams.push_back(MakeDeckBeam(id, id, 0, ends.first, ends.last, ends.firstPos, ends.lastPos,
                                        tangent, n1, section, massPerLength));
    deck_->beams.back().middle = ends.middle;
  }
  for (const auto& row : rows) stressElements_.push_back(row[0]);
}

// The solver elements a model element was written as, its own id first.
std::vector<long> SolverModelReader::SolverElements(long element) const {
  std::vector<long> parts;
  extra_.ForEach(element, [&](long part) { parts.push_back(part); });
  return parts;
}

// The element groups in the deck's order: beams, then shells, then stiff
// arms, each kind in the order of its group keys, then support springs.
void SolverModelReader::FinishElements() {
  for (auto* groups : {&beamGroups_, &shellGroups_, &armGroups_}) {
    for (auto& entry : *groups) solver_.elementGroups.push_back(std::move(entry.second));
  }
  for (ElementGroup& springs : springGroups_) {
    if (!springs.rows.Empty()) solver_.elementGroups.push_back(std::move(springs));
  }
  // Model elements in the order read (ascending), then the parts generated
  // for them, numbered after every model element: ascending as a whole.
  denseElements_.insert(denseElements_.end(), denseExtras_.begin(), denseExtras_.end());
  denseExtras_ = {};
  solver_.gravityElements = std::move(denseElements_);
}

}  // namespace Kestrum::Quilm::Solver::detail
