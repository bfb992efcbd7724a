// Writes a ccx input deck from an analysis model.
#include "solver/ccx_export.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <tuple>

#include "solver/beam_mapping.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using AnalysisModel::Element;
using AnalysisModel::LoadEntry;
using AnalysisModel::LoadKind;
using AnalysisModel::LoadType;
using AnalysisModel::XafElement;
using AnalysisModel::XafModel;

using Dofs = std::array<double, 6>;

// Problems found while exporting, gathered so that one error names them all.
// Each reason keeps the list of records it applies to.
class Problems {
 public:
  std::size_t FatalCount() const {
    std::size_t n = 0;
    for (const auto& entry : fatal_) n += entry.second.size();
    return n;
  }
  void Add(const std::string& reason, const std::string& where, bool skippable) {
    auto& list = skippable ? skippable_[reason] : fatal_[reason];
    list.push_back(where);
  }
  // Throws when anything cannot be exported; otherwise moves the skipped
  // items into the notes.
  void Settle(bool skipUnsupported, std::vector<std::string>& notes) const {
    std::string message;
    for (const auto& [reason, items] : fatal_) message += Line(reason, items);
    if (!skipUnsupported) {
      for (const auto& [reason, items] : skippable_) message += Line(reason, items);
    }
    if (!message.empty()) throw ExportError("the model cannot be exported:\n" + message);
    for (const auto& [reason, items] : skippable_) {
      std::string line = Line("not exported: " + reason, items);
      notes.push_back(line.substr(2, line.size() - 3));  // without the indent and line break
    }
  }

 private:
  static std::string Line(const std::string& reason, const std::vector<std::string>& items) {
    constexpr std::size_t kShown = 20;
    std::string line = "  " + reason + " (";
    for (std::size_t i = 0; i < items.size() && i < kShown; ++i) line += (i ? ", " : "") + items[i];
    if (items.size() > kShown) line += ", and " + std::to_string(items.size() - kShown) + " more";
    return line + ")\n";
  }
  std::map<std::string, std::vector<std::string>> fatal_, skippable_;
};

std::string ElementLabel(long id) { return "element " + std::to_string(id); }
std::string NodeLabel(long id) { return "node " + std::to_string(id); }

pos3d Offset(const pos3d& p, const vec3d& v) { return {p.x + v.x, p.y + v.y, p.z + v.z}; }
pos3d Midpoint(const pos3d& a, const pos3d& b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2}; }

std::string VecKey(const vec3d& v) {
  return FormatNumber(v.x) + ", " + FormatNumber(v.y) + ", " + FormatNumber(v.z);
}

// A group of elements that share the solver's element type and section
// data, written as one *ELEMENT block with its own element set.
struct ElementGroup {
  std::string name;
  std::string type;
  std::string sectionKeyword;           // the section keyword lines after "ELSET=name"
  std::vector<std::vector<long>> rows;  // element id, then its nodes
};

// The beam as the solver sees it: its end nodes (offset ends where eccentric).
struct BeamEnds {
  long first, last;
  pos3d firstPos, lastPos;
  long middle = 0;  // the middle node of a three-node beam, 0 for none
};

class DeckBuilder {
 public:
  DeckBuilder(XafModel& model, const ExportOptions& options) : model_(model), options_(options) {}

  CcxDeck Build() {
    ReadNodes();
    SelectLoadCases();
    FindAnchoredNodes();
    ReadElements();
    if (!detached_.empty()) {
      deck_.notes.push_back(
          std::to_string(detached_.size()) +
          " node(s) joined only to eccentric beams, without support, mass or load, are left "
          "out; the beam axis point at each is printed instead (see axisNodes)");
      deck_.axisNodes = detached_;
    }
    ReadNodeProperties();
    InheritFixities();
    std::ostringstream steps;
    WriteSteps(steps);
    problems_.Settle(options_.skipUnsupported, deck_.notes);
    deck_.text = Assemble(steps.str());
    deck_.firstGeneratedNode = firstGeneratedNode_;
    deck_.firstGeneratedElement = firstGeneratedElement_;
    return std::move(deck_);
  }

 private:
  // ---- nodes ----------------------------------------------------------------
  void ReadNodes() {
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

  void SelectLoadCases() {
    cases_ = options_.loadCases;
    const auto known = model_.Loads().GetLoadCaseIds();
    if (cases_.empty()) cases_ = known;
    for (long lc : cases_) {
      if (!std::binary_search(known.begin(), known.end(), lc)) {
        throw ExportError("load case " + std::to_string(lc) + " does not exist in the model");
      }
    }
  }

  // The eccentricity of an element at a stored node index; nullopt when the
  // record is missing (reported where the element is read).
  std::optional<vec3d> LookupEccentricity(const XafElement& record, unsigned storedIndex) {
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
  void FindAnchoredNodes() {
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
    for (long lc : cases_) {
      for (const LoadEntry& load : model_.Loads().GetLoads(lc)) {
        if (load.kind == LoadKind::Point || load.kind == LoadKind::NodeAcceleration)
          anchored_.insert(load.target);
      }
    }
  }

  long NewNode(const pos3d& position) {
    long id = nextNode_++;
    generatedNodes_.emplace_back(id, position);
    positions_[id] = position;
    return id;
  }

  pos3d PositionOf(long node) const {
    auto it = nodes_.find(node);
    if (it != nodes_.end()) return it->second;
    return positions_.at(node);
  }

  // The node midway between two nodes, shared by every element with that edge.
  long MidNode(long a, long b) {
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
  long BeamNode(long node, const vec3d& eccentricity, double armSize) {
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
    const std::string size = FormatNumber(armSize, "an arm size");
    const std::string key2 = VecKey(AnyPerpendicular(direction)) + "|" + size;
    auto group = armGroups_.find(key2);
    if (group == armGroups_.end()) {
      ElementGroup g;
      g.name = "ARM" + std::to_string(armGroups_.size() + 1);
      g.type = "B31";
      g.sectionKeyword = "*BEAM SECTION, ELSET=" + g.name + ", MATERIAL=MARM, SECTION=RECT\n" + size + ", " +
                         size + "\n" + VecKey(AnyPerpendicular(direction)) + "\n";
      group = armGroups_.emplace(key2, g).first;
    }
    group->second.rows.push_back({nextElement_++, node, offsetNode});
    return offsetNode;
  }

  // ---- elements -------------------------------------------------------------
  void ReadElements() {
    for (long id : model_.Elements().GetElementIds()) {
      Element element = model_.GetConnectivityManager().GetElementById(id);
      auto record = model_.Elements().GetElement(id);
      const std::size_t fatalBefore = problems_.FatalCount();
      switch (element.GetElementType().Shape()) {
        case qlElementType::Point:
          deck_.notes.push_back("point element " + std::to_string(id) +
                                " has no stiffness in the deck and is left out (node masses are exported)");
          break;
        case qlElementType::Line:
          ReadBeam(element, *record);
          break;
        case qlElementType::Surface:
          ReadShell(element, *record);
          break;
        default:
          problems_.Add("solid elements are not supported", ElementLabel(id), false);
      }
      // Loads on a refused element would only repeat its refusal.
      if (problems_.FatalCount() != fatalBefore) refused_.insert(id);
    }
  }

  // The material of an element, or nullopt after recording why not.
  std::optional<qlMaterial> MaterialOf(long elementId, long materialId) {
    if (materialId <= 0) {
      problems_.Add("elements without a material", ElementLabel(elementId), false);
      return std::nullopt;
    }
    auto material = model_.Materials().GetMaterial(materialId);
    if (!material || !material->GetMaterial()) {
      problems_.Add("elements referring to a missing material", ElementLabel(elementId), false);
      return std::nullopt;
    }
    materials_.emplace(materialId, *material->GetMaterial());
    return *material->GetMaterial();
  }

  // True when every end of the element is rigidly connected.
  void CheckFixations(const Element& element, const XafElement& record) {
    std::vector<long> ids{record.GetFixation()};
    if (ids[0] == -1) {
      ids.clear();
      for (unsigned k = 0; k < element.NodeCount(); ++k) ids.push_back(record.GetNodeFixation(k));
    }
    for (long hingeId : ids) {
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

  vec3d EccentricityAt(const XafElement& record, unsigned storedIndex) {
    auto eccentricity = LookupEccentricity(record, storedIndex);
    if (!eccentricity) {
      problems_.Add("elements referring to a missing eccentricity", ElementLabel(record.GetId()), false);
      return {};
    }
    return *eccentricity;
  }

  // The element's stored local z axis; per-node axes are averaged; zero when
  // the element has none.
  vec3d LocalZAxis(const Element& element, const XafElement& record) {
    std::vector<long> ids{record.GetTransformation()};
    if (ids[0] == -1) {
      ids.clear();
      for (unsigned k = 0; k < element.NodeCount(); ++k) ids.push_back(record.GetNodeTransformation(k));
    }
    vec3d sum;
    for (long id : ids) {
      if (id <= 0) continue;
      auto transformation = model_.Transformations().GetTransformation(id);
      if (!transformation) {
        problems_.Add("elements referring to a missing transformation", ElementLabel(element.GetId()), false);
        return {};
      }
      vec3d z = transformation->GetTransformationVector();
      sum += z.normalise();
    }
    return sum;
  }

  // True when the direction's first clearly non-zero component (x, then y,
  // then z) is negative.
  static bool RunsBackwards(const vec3d& t) {
    constexpr double kTiny = 1e-9;
    if (std::abs(t.x) > kTiny) return t.x < 0.0;
    if (std::abs(t.y) > kTiny) return t.y < 0.0;
    return t.z < 0.0;
  }

  void ReadBeam(const Element& element, const XafElement& record) {
    const long id = element.GetId();
    const unsigned count = element.NodeCount();
    if (count != 2 && count != 3) {
      problems_.Add("beam elements need two or three nodes", ElementLabel(id), false);
      return;
    }
    const long sectionId = record.GetSection();
    auto material = MaterialOf(id, record.GetMaterial());
    auto sectionRow = sectionId > 0 ? model_.Sections().GetSection(sectionId) : nullptr;
    if (!sectionRow || !sectionRow->GetSection()) {
      problems_.Add(sectionId <= 0 ? "beam elements without a section"
                                   : "beam elements without a beam section (missing, or a plate thickness)",
                    ElementLabel(id), false);
      return;
    }
    const qlSection& section = *sectionRow->GetSection();
    auto mapped = sections_.find(sectionId);
    if (mapped == sections_.end()) {
      try {
        mapped =
            sections_.emplace(sectionId, MapBeamSection(section, options_.allowEquivalentSections)).first;
        if (!mapped->second.note.empty()) deck_.notes.push_back(mapped->second.note);
      } catch (const ExportError& e) {
        problems_.Add(std::string(e.what()), ElementLabel(id), false);
        return;
      }
    }
    if (!material) return;
    CheckFixations(element, record);

    // Geometric order: first end, [middle,] last end.
    std::vector<long> nodes;
    std::vector<vec3d> eccentricities;
    for (unsigned i = 0; i < count; ++i) {
      nodes.push_back(element.GetNode(i, Element::Geometric));
      eccentricities.push_back(EccentricityAt(record, element.GetNodeIndex(i, Element::Geometric)));
    }
    const double armSize = mapped->second.outerSize;
    const long first = BeamNode(nodes.front(), eccentricities.front(), armSize);
    const long last = BeamNode(nodes.back(), eccentricities.back(), armSize);
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
      n1 = SectionAxisN1(tangent, LocalZAxis(element, record));
    } catch (const ExportError& e) {
      problems_.Add(e.what(), ElementLabel(id), false);
      return;
    }

    std::vector<std::vector<long>> rows{{id, first}};
    std::string type = "B31";
    const long middle = count == 3 ? BeamNode(nodes[1], eccentricities[1], armSize) : 0;
    if (count == 3 && mapped->second.needsQuadratic) {
      type = "B32R";
      rows[0].push_back(middle);
    } else if (count == 3) {
      // Rectangles are more accurate on B31, so a three-node beam of one
      // becomes two B31 elements meeting at its middle node.
      rows[0].push_back(middle);
      rows.push_back({nextElement_++, middle});
      extra_[id].push_back(rows[1][0]);
    } else if (mapped->second.needsQuadratic) {
      type = "B32R";
      rows[0].push_back(MidNode(first, last));
    }
    rows.back().push_back(last);
    for (auto& row : rows) {
      if (backwards) std::swap(row[1], row.back());
    }

    const long materialId = record.GetMaterial();
    const std::string key =
        type + "|" + std::to_string(sectionId) + "|" + std::to_string(materialId) + "|" + VecKey(n1);
    auto group = beamGroups_.find(key);
    if (group == beamGroups_.end()) {
      ElementGroup g;
      g.name = "B" + std::to_string(beamGroups_.size() + 1);
      g.type = type;
      g.sectionKeyword = "*BEAM SECTION, ELSET=" + g.name + ", MATERIAL=M" + std::to_string(materialId) +
                         ", SECTION=" + mapped->second.sectionType + "\n" + mapped->second.dimensions + "\n" +
                         VecKey(n1) + "\n";
      group = beamGroups_.emplace(key, g).first;
    }
    for (auto& row : rows) group->second.rows.push_back(row);
    beams_[id] = BeamEnds{first, last, firstPos, lastPos, middle};
    maxBeamModulus_ = std::max(maxBeamModulus_, material->YoungsModulus());

    const double mass = material->Density() * section.Properties().area * length;
    if (material->Density() > 0.0) {
      for (const auto& row : rows) denseElements_.push_back(row[0]);
      if (count == 2) {
        lumpedMass_[nodes[0]] += mass / 2.0;
        lumpedMass_[nodes[1]] += mass / 2.0;
      } else {  // Simpson weights of a quadratic element
        lumpedMass_[nodes[0]] += mass / 6.0;
        lumpedMass_[nodes[1]] += 2.0 * mass / 3.0;
        lumpedMass_[nodes[2]] += mass / 6.0;
      }
    }
  }

  void ReadShell(const Element& element, const XafElement& record) {
    const long id = element.GetId();
    const unsigned count = element.NodeCount();
    if (count != 3 && count != 4) {
      problems_.Add("shell elements need three or four corner nodes", ElementLabel(id), false);
      return;
    }
    const long sectionId = record.GetSection();
    auto material = MaterialOf(id, record.GetMaterial());
    auto sectionRow = sectionId > 0 ? model_.Sections().GetSection(sectionId) : nullptr;
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
    CheckFixations(element, record);
    for (unsigned k = 0; k < count; ++k) {
      if (!isZero(EccentricityAt(record, k))) {
        problems_.Add("shell eccentricities are not supported", ElementLabel(id), true);
        break;
      }
    }

    std::vector<long> corners;
    for (unsigned i = 0; i < count; ++i) corners.push_back(element.GetNode(i, Element::Geometric));
    for (unsigned i = 0; i < count; ++i) ++shellEdgeUse_[std::minmax(corners[i], corners[(i + 1) % count])];
    // Quadratic triangles (S6) are far too stiff, so a triangle is divided
    // into three quadrilaterals, one per corner, that meet at its centroid.
    std::vector<std::vector<long>> quads;
    if (count == 4) {
      quads.push_back(corners);
    } else {
      const long centroid = NewNode(
          pos3d((PositionOf(corners[0]).x + PositionOf(corners[1]).x + PositionOf(corners[2]).x) / 3,
                (PositionOf(corners[0]).y + PositionOf(corners[1]).y + PositionOf(corners[2]).y) / 3,
                (PositionOf(corners[0]).z + PositionOf(corners[1]).z + PositionOf(corners[2]).z) / 3));
      for (unsigned i = 0; i < 3; ++i) {
        quads.push_back({corners[i], MidNode(corners[i], corners[(i + 1) % 3]), centroid,
                         MidNode(corners[(i + 2) % 3], corners[i])});
      }
    }
    std::vector<std::vector<long>> rows;
    for (const auto& quad : quads) {
      std::vector<long> row{rows.empty() ? id : nextElement_++};
      if (!rows.empty()) extra_[id].push_back(row[0]);
      row.insert(row.end(), quad.begin(), quad.end());
      for (unsigned i = 0; i < 4; ++i) row.push_back(MidNode(quad[i], quad[(i + 1) % 4]));
      rows.push_back(row);
    }

    const long materialId = record.GetMaterial();
    const std::string type = "S8R";
    const std::string key = type + "|" + std::to_string(sectionId) + "|" + std::to_string(materialId);
    auto group = shellGroups_.find(key);
    if (group == shellGroups_.end()) {
      ElementGroup g;
      g.name = "P" + std::to_string(shellGroups_.size() + 1);
      g.type = type;
      g.sectionKeyword = "*SHELL SECTION, ELSET=" + g.name + ", MATERIAL=M" + std::to_string(materialId) +
                         "\n" + FormatNumber(thickness, "a plate thickness") + "\n";
      group = shellGroups_.emplace(key, g).first;
    }
    for (const auto& row : rows) group->second.rows.push_back(row);
    shells_.insert(id);

    if (material->Density() > 0.0) {
      for (const auto& row : rows) denseElements_.push_back(row[0]);
      const pos3d p0 = PositionOf(corners[0]), p1 = PositionOf(corners[1]), p2 = PositionOf(corners[2]);
      double area;
      if (count == 4) {  // half the cross product of the diagonals
        area = vec3d(p0, p2).cross(vec3d(p1, PositionOf(corners[3]))).length() / 2.0;
      } else {
        area = vec3d(p0, p1).cross(vec3d(p0, p2)).length() / 2.0;
      }
      const double share = material->Density() * thickness * area / count;
      for (long node : corners) lumpedMass_[node] += share;
    }
  }

  // ---- node properties -------------------------------------------------------
  void ReadNodeProperties() {
    auto& properties = model_.NodeProperties();
    for (const auto& [id, position] : nodes_) {
      (void)position;
      std::array<double, 6> sum{};
      bool any = false;
      for (const auto& mass : properties.GetMasses(id)) {
        for (int k = 0; k < 6; ++k) sum[k] += mass.Values()[k];
        any = true;
      }
      if (any) pointMasses_[id] = sum;
      if (auto fixation = properties.GetBoundaryCondition(id)) {
        std::vector<int> fixed;
        for (int dof = 0; dof < 6; ++dof) {
          const double f = fixation->Fixation(dof);
          if (f == 1.0) {
            fixed.push_back(dof + 1);
          } else if (f != 0.0) {
            problems_.Add(
                "partial fixities (springs) are not supported; skipping leaves those directions free",
                NodeLabel(id), true);
          }
        }
        if (!fixed.empty()) {
          boundaries_[id] = fixed;
          deck_.supportNodes.push_back(id);
        }
      }
    }
    for (const auto& [node, m] : pointMasses_) {
      for (int k = 0; k < 3; ++k) {
        if (!std::isfinite(m[k]) || m[k] < 0.0) {
          problems_.Add("point masses must be finite and not negative", NodeLabel(node), false);
        }
      }
      const double scale = std::max({std::abs(m[0]), std::abs(m[1]), std::abs(m[2])});
      if (std::abs(m[0] - m[1]) > 1e-12 * scale || std::abs(m[0] - m[2]) > 1e-12 * scale) {
        problems_.Add("direction-dependent point masses are not supported in the frequency step",
                      NodeLabel(node), true);
        continue;
      }
      if (m[3] != 0.0 || m[4] != 0.0 || m[5] != 0.0) {
        problems_.Add(
            "rotational inertia of point masses is not supported; skipping keeps the translational mass",
            NodeLabel(node), true);
      }
      if (m[0] > 0.0) massElements_[FormatNumber(m[0], "a point mass")].push_back(node);
    }
  }

  // A generated mid-side node on a supported edge would otherwise let the
  // edge bulge between its supported end nodes (a simply supported plate
  // edge, for instance), so it is fixed in the directions fixed at both ends
  // of its edge. That holds for beam edges and for the free edges of the
  // shell mesh (used by one shell only): an edge shared by two shells may
  // join two supports across the mesh (the diagonal of a corner triangle)
  // without being a support line itself. Half-edges of divided triangles
  // follow their edge, through its mid-side node; the rule is applied until
  // nothing changes because generated nodes also lie between generated nodes.
  void InheritFixities() {
    for (bool changed = true; changed;) {
      changed = false;
      for (const auto& [edge, mid] : midNodes_) {
        if (auto use = shellEdgeUse_.find(edge); use != shellEdgeUse_.end() && use->second > 1) continue;
        auto a = boundaries_.find(edge.first), b = boundaries_.find(edge.second);
        if (a == boundaries_.end() || b == boundaries_.end()) continue;
        std::vector<int> common;
        std::set_intersection(a->second.begin(), a->second.end(), b->second.begin(), b->second.end(),
                              std::back_inserter(common));
        if (common.empty()) continue;
        auto& current = boundaries_[mid];
        if (current != common) {
          current = common;
          changed = true;
        }
      }
    }
  }

  // The solver elements a model element was written as, its own id first.
  std::vector<long> SolverElements(long element) const {
    std::vector<long> parts{element};
    if (auto it = extra_.find(element); it != extra_.end())
      parts.insert(parts.end(), it->second.begin(), it->second.end());
    return parts;
  }

  // ---- loads -----------------------------------------------------------------
  void AddNodal(std::map<long, Dofs>& loads, long node, const vec3d& force, const vec3d& moment) {
    Dofs& d = loads[node];
    d[0] += force.x;
    d[1] += force.y;
    d[2] += force.z;
    d[3] += moment.x;
    d[4] += moment.y;
    d[5] += moment.z;
  }

  // Consistent nodal loads of a straight beam under a force per length
  // varying linearly from q1 (first end) to q2 (last end): the axial part as
  // for a bar, the transverse part with the cubic beam shape functions.
  void AddLineLoad(std::map<long, Dofs>& loads, const BeamEnds& beam, const vec3d& q1, const vec3d& q2) {
    vec3d t(beam.firstPos, beam.lastPos);
    const double L = t.length();
    t *= 1.0 / L;
    auto axial = [&](const vec3d& q) { return t * q.dot(t); };
    auto transverse = [&](const vec3d& q) { return q - axial(q); };
    const vec3d a1 = axial(q1), a2 = axial(q2), p1 = transverse(q1), p2 = transverse(q2);
    const vec3d f1 = (a1 * 2.0 + a2) * (L / 6.0) + (p1 * 7.0 + p2 * 3.0) * (L / 20.0);
    const vec3d f2 = (a1 + a2 * 2.0) * (L / 6.0) + (p1 * 3.0 + p2 * 7.0) * (L / 20.0);
    const vec3d m1 = t.cross(p1 * 3.0 + p2 * 2.0) * (L * L / 60.0);
    const vec3d m2 = t.cross(p1 * 2.0 + p2 * 3.0) * (-L * L / 60.0);
    AddNodal(loads, beam.first, f1, m1);
    AddNodal(loads, beam.last, f2, m2);
  }

  void WriteSteps(std::ostream& out) {
    for (long lc : cases_) WriteStaticStep(out, lc);
    if (options_.frequencyCount > 0) {
      out << "** Eigenfrequencies\n*STEP\n*FREQUENCY\n" << options_.frequencyCount << "\n*END STEP\n";
      deck_.frequencyCount = options_.frequencyCount;
    }
  }

  void WriteStaticStep(std::ostream& out, long lc) {
    auto& loadManager = model_.Loads();
    const std::string name = loadManager.GetLoadCaseName(lc).value_or("");
    const std::string where = "load case " + std::to_string(lc);
    std::map<long, Dofs> nodal;
    std::vector<std::string> pressures;
    for (const LoadEntry& entry : loadManager.GetLoads(lc)) {
      if (!entry.record) continue;
      const auto& load = *entry.record;
      const std::string label = where + " " +
                                (entry.kind == LoadKind::Point || entry.kind == LoadKind::NodeAcceleration
                                     ? NodeLabel(entry.target)
                                     : ElementLabel(entry.target));
      const bool onElement = entry.kind != LoadKind::Point && entry.kind != LoadKind::NodeAcceleration;
      if (onElement && refused_.count(entry.target)) continue;
      if (entry.kind == LoadKind::InitialStrain || load.loadType() == LoadType::InitialStrain) {
        problems_.Add("initial strain loads are not supported", label, true);
        continue;
      }
      switch (entry.kind) {
        case LoadKind::Point:
        case LoadKind::NodeAcceleration: {
          auto point = dynamic_cast<const AnalysisModel::PointLoad*>(&load);
          if (!point || !nodes_.count(entry.target)) {
            problems_.Add("node loads on a missing node or without a point record", label, false);
            break;
          }
          if (!point->HasPosition()) {
            deck_.notes.push_back("empty point load record left out (" + label + ")");
            break;
          }
          if (point->GetValues().size() > 1) {
            problems_.Add("point load records with several positions are not supported", label, true);
            break;
          }
          if (entry.kind == LoadKind::Point) {
            AddNodal(nodal, entry.target, point->Force(), point->Moment());
          } else {
            AddInertiaForce(nodal, entry.target, point->Force(), point->Moment(), label);
          }
          break;
        }
        case LoadKind::Line: {
          auto line = dynamic_cast<const AnalysisModel::LineLoad*>(&load);
          auto beam = beams_.find(entry.target);
          if (!line || beam == beams_.end()) {
            problems_.Add("line loads are only supported on beam elements", label, true);
            break;
          }
          const BeamEnds& ends = beam->second;
          if (ends.middle == 0) {
            AddLineLoad(nodal, ends, line->Start(), line->End());
          } else {  // each half on its own, the load halfway between
            const vec3d q = (line->Start() + line->End()) * 0.5;
            const pos3d m = PositionOf(ends.middle);
            AddLineLoad(nodal, BeamEnds{ends.first, ends.middle, ends.firstPos, m}, line->Start(), q);
            AddLineLoad(nodal, BeamEnds{ends.middle, ends.last, m, ends.lastPos}, q, line->End());
          }
          break;
        }
        case LoadKind::Surface: {
          auto surface = dynamic_cast<const AnalysisModel::SurfaceLoad*>(&load);
          if (!surface || !shells_.count(entry.target)) {
            problems_.Add("pressures are only supported on shell elements", label, true);
            break;
          }
          for (long part : SolverElements(entry.target)) {
            pressures.push_back(std::to_string(part) + ", P, " +
                                FormatNumber(surface->Pressure(), "a pressure"));
          }
          break;
        }
        case LoadKind::InitialStrain:
          break;  // reported above
      }
    }
    std::string gravityLine;
    if (auto g = loadManager.GetGravityLoad(lc); g && !isZero(*g)) {
      const double magnitude = g->length();
      if (!denseElements_.empty()) {
        gravityLine =
            "GRAVITY, GRAV, " + FormatNumber(magnitude, "a gravity") + ", " + VecKey(*g * (1.0 / magnitude));
      }
      for (const auto& [node, m] : pointMasses_) {
        AddNodal(nodal, node, vec3d(m[0] * g->x, m[1] * g->y, m[2] * g->z), {});
      }
    }

    deck_.loadCaseSteps.push_back(lc);
    deck_.loadCaseNames.push_back(name);
    out << "** Load case " << lc << (name.empty() ? "" : " " + CommentText(name)) << "\n";
    out << "*STEP\n*STATIC\n*CLOAD, OP=NEW\n";
    for (const auto& [node, dofs] : nodal) {
      const auto fixed = boundaries_.find(node);
      for (int k = 0; k < 6; ++k) {
        // A moment on a fixed rotation goes straight into the support, and
        // the solver rejects it; it is left out (reaction moments are not
        // printed anyway).
        if (k >= 3 && fixed != boundaries_.end() &&
            std::count(fixed->second.begin(), fixed->second.end(), k + 1)) {
          continue;
        }
        if (dofs[k] != 0.0)
          out << node << ", " << k + 1 << ", " << FormatNumber(dofs[k], "a nodal load") << "\n";
      }
    }
    out << "*DLOAD, OP=NEW\n";
    for (const auto& line : pressures) out << line << "\n";
    if (!gravityLine.empty()) out << gravityLine << "\n";
    out << "*NODE PRINT, NSET=NMODEL\nU, RF\n*END STEP\n";
  }

  // The inertia force of the node's lumped mass under acceleration `a` (and
  // of its point inertias under angular acceleration `alpha`): -m a.
  void AddInertiaForce(std::map<long, Dofs>& nodal, long node, const vec3d& a, const vec3d& alpha,
                       const std::string& label) {
    std::array<double, 6> m{};
    if (auto it = lumpedMass_.find(node); it != lumpedMass_.end()) m[0] = m[1] = m[2] = it->second;
    if (auto it = pointMasses_.find(node); it != pointMasses_.end()) {
      for (int k = 0; k < 6; ++k) m[k] += it->second[k];
    }
    if (m[0] == 0.0 && m[1] == 0.0 && m[2] == 0.0 && m[3] == 0.0 && m[4] == 0.0 && m[5] == 0.0) {
      if (!isZero(a) || !isZero(alpha)) {
        deck_.notes.push_back("node acceleration on a node without mass has no effect (" + label + ")");
      }
      return;
    }
    AddNodal(nodal, node, vec3d(-m[0] * a.x, -m[1] * a.y, -m[2] * a.z),
             vec3d(-m[3] * alpha.x, -m[4] * alpha.y, -m[5] * alpha.z));
  }

  // ---- assembly ----------------------------------------------------------------
  std::string Assemble(const std::string& steps) {
    std::ostringstream out;
    out << "** Written from the analysis model " << CommentText(model_.GetFileName()) << "\n";
    for (const auto& note : deck_.notes) out << "** Note: " << CommentText(note) << "\n";

    out << "*NODE, NSET=NALL\n";
    std::vector<long> printed;
    for (const auto& [id, p] : nodes_) {
      if (detached_.count(id)) continue;
      WriteNodeLine(out, id, p);
      printed.push_back(id);
    }
    for (const auto& [id, p] : generatedNodes_) WriteNodeLine(out, id, p);
    for (const auto& entry : detached_) printed.push_back(entry.second);
    std::sort(printed.begin(), printed.end());
    out << "*NSET, NSET=NMODEL\n";
    WriteIdLines(out, printed);

    auto writeGroups = [&](const std::map<std::string, ElementGroup>& groups) {
      for (const auto& [key, g] : groups) {
        (void)key;
        out << "*ELEMENT, TYPE=" << g.type << ", ELSET=" << CheckSetName(g.name) << "\n";
        for (const auto& row : g.rows) WriteIdLines(out, row);
      }
    };
    writeGroups(beamGroups_);
    writeGroups(shellGroups_);
    writeGroups(armGroups_);

    int massSet = 0;
    for (const auto& [value, massNodes] : massElements_) {
      const std::string name = "PM" + std::to_string(++massSet);
      out << "*ELEMENT, TYPE=MASS, ELSET=" << name << "\n";
      for (long node : massNodes) out << nextElement_++ << ", " << node << "\n";
      out << "*MASS, ELSET=" << name << "\n" << value << "\n";
    }

    for (const auto& [id, m] : materials_) {
      out << "*MATERIAL, NAME=M" << id << "\n*ELASTIC\n"
          << FormatNumber(m.YoungsModulus(), "a Young's modulus") << ", "
          << FormatNumber(m.PoissonsRatio(), "a Poisson's ratio") << "\n";
      if (m.Density() > 0.0) out << "*DENSITY\n" << FormatNumber(m.Density(), "a density") << "\n";
    }
    if (!armGroups_.empty()) {
      out << "*MATERIAL, NAME=MARM\n*ELASTIC\n"
          << FormatNumber(maxBeamModulus_ * options_.armStiffnessFactor, "the arm stiffness") << ", 0\n";
    }
    for (const auto* groups : {&beamGroups_, &shellGroups_, &armGroups_}) {
      for (const auto& entry : *groups) out << entry.second.sectionKeyword;
    }
    if (!denseElements_.empty()) {
      out << "*ELSET, ELSET=GRAVITY\n";
      std::sort(denseElements_.begin(), denseElements_.end());
      WriteIdLines(out, denseElements_);
    }
    WriteModelSets(out);
    if (!boundaries_.empty()) {
      out << "*BOUNDARY\n";
      for (const auto& [node, dofs] : boundaries_) {
        for (int dof : dofs) out << node << ", " << dof << ", " << dof << "\n";
      }
    }
    out << steps;
    return out.str();
  }

  void WriteNodeLine(std::ostream& out, long id, const pos3d& p) {
    out << id << ", " << FormatNumber(p.x, "a coordinate") << ", " << FormatNumber(p.y, "a coordinate")
        << ", " << FormatNumber(p.z, "a coordinate") << "\n";
  }

  // The model's named sets, as node and element sets S<id> (elements left
  // out of the deck are left out of the sets too).
  void WriteModelSets(std::ostream& out) {
    for (long id : model_.Sets().GetSetIds()) {
      auto set = model_.Sets().GetSet(id);
      if (!set) continue;
      const std::string name = "S" + std::to_string(id);
      const auto& content = set->GetEntitySet();
      std::vector<long> setNodes(content.Nodes().begin(), content.Nodes().end());
      std::vector<long> setElements;  // sorted below: split halves come out of order
      for (long e : content.Elements()) {
        if (beams_.count(e) || shells_.count(e)) setElements.push_back(e);
        if (beams_.count(e) || shells_.count(e)) {
          const auto parts = SolverElements(e);
          setElements.insert(setElements.end(), parts.begin() + 1, parts.end());
        }
      }
      std::sort(setElements.begin(), setElements.end());
      if (setNodes.empty() && setElements.empty()) continue;
      out << "** Set " << id << " " << CommentText(set->GetName()) << "\n";
      if (!setNodes.empty()) {
        out << "*NSET, NSET=" << name << "\n";
        WriteIdLines(out, setNodes);
      }
      if (!setElements.empty()) {
        out << "*ELSET, ELSET=" << name << "\n";
        WriteIdLines(out, setElements);
      }
    }
  }

  XafModel& model_;
  const ExportOptions& options_;
  CcxDeck deck_;
  Problems problems_;

  std::map<long, pos3d> nodes_;    // the model's nodes
  std::vector<long> cases_;        // the load cases to write, in step order
  std::set<long> anchored_;        // nodes an eccentric beam must be joined to
  std::map<long, long> detached_;  // model node left out -> its beam axis node
  std::vector<std::pair<long, pos3d>> generatedNodes_;
  std::map<long, pos3d> positions_;  // positions of generated nodes
  long nextNode_ = 1, nextElement_ = 1, firstGeneratedNode_ = 1, firstGeneratedElement_ = 1;
  std::map<std::pair<long, long>, long> midNodes_;
  std::map<std::tuple<long, double, double, double>, long> offsetNodes_;

  std::map<long, qlMaterial> materials_;
  std::map<long, SolverBeamSection> sections_;
  std::map<std::string, ElementGroup> beamGroups_, shellGroups_, armGroups_;
  std::map<long, BeamEnds> beams_;
  std::set<long> shells_;
  std::set<long> refused_;  // elements that cannot be exported
  // Model elements written as several solver elements -> the ids beyond their own.
  std::map<long, std::vector<long>> extra_;
  std::map<std::pair<long, long>, int> shellEdgeUse_;  // model shell edge -> shells using it
  std::vector<long> denseElements_;
  double maxBeamModulus_ = 0.0;

  std::map<long, double> lumpedMass_;  // structural mass lumped at model nodes
  std::map<long, std::array<double, 6>> pointMasses_;
  std::map<std::string, std::vector<long>> massElements_;  // mass value -> nodes
  std::map<long, std::vector<int>> boundaries_;
};

}  // namespace

CcxDeck ExportCcxDeck(AnalysisModel::XafModel& model, const ExportOptions& options) {
  if (options.frequencyCount < 0) throw ExportError("the number of eigenfrequencies cannot be negative");
  if (!(options.armStiffnessFactor > 0.0)) throw ExportError("the arm stiffness factor must be positive");
  return DeckBuilder(model, options).Build();
}

}  // namespace Kestrum::Quilm::Solver
