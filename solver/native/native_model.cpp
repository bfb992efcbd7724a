// Reading the analysis model into the native solver's model.
#include "solver/native/native_model.hpp"

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>

namespace Kestrum::Quilm::Solver::Native {
namespace {

namespace am = AnalysisModel;

Eigen::Vector3d ToEigen(const vec3d& v) { return {v.x, v.y, v.z}; }
Eigen::Vector3d ToEigen(const pos3d& p) { return {p.x, p.y, p.z}; }

// Problems gathered by kind, each with the records it concerns, so that one
// refusal names them all ("beam elements without a section: 12, 15").
class Problems {
 public:
  void Add(const std::string& what, long id) { byKind_[what].push_back(id); }
  void ThrowIfAny() const {
    if (byKind_.empty()) return;
    std::ostringstream out;
    out << "the native solver cannot analyse this model: ";
    bool first = true;
    for (const auto& [what, ids] : byKind_) {
      out << (first ? "" : "; ") << what << ": ";
      first = false;
      for (std::size_t i = 0; i < ids.size() && i < 10; ++i) out << (i ? ", " : "") << ids[i];
      if (ids.size() > 10) out << " and " << ids.size() - 10 << " more";
    }
    throw NativeModelError(out.str());
  }

 private:
  std::map<std::string, std::vector<long>> byKind_;
};

class Reader {
 public:
  explicit Reader(am::XafModel& model) : model_(model) {}

  NativeModel Read() {
    ReadNodes();
    model_.Elements().ForEachElement([&](const am::ElementView& view) { ReadElement(view); });
    ReadSupportsAndMasses();
    problems_.ThrowIfAny();
    return std::move(native_);
  }

 private:
  // Every node gets an index; ReadElement marks the used ones and the
  // index is compacted afterwards (Compact).
  void ReadNodes() {
    const auto& connectivity = model_.GetConnectivityManager();
    for (long id : model_.Nodes()) {
      if (native_.indexOfId.size() <= static_cast<std::size_t>(id))
        native_.indexOfId.resize(static_cast<std::size_t>(id) + 1, -1);
      native_.indexOfId[static_cast<std::size_t>(id)] = static_cast<int>(native_.nodeIds.size());
      native_.nodeIds.push_back(id);
      native_.positions.push_back(ToEigen(connectivity.GetNodeById(id).GetPos()));
    }
  }

  void ReadElement(const am::ElementView& view) {
    switch (view.type->Shape()) {
      case qlElementType::Line:
        ReadBeam(view);
        break;
      case qlElementType::Surface:
        ReadShell(view);
        break;
      case qlElementType::Point:
        native_.notes.push_back("point element " + std::to_string(view.id) +
                                " has no stiffness and is left out (node masses are taken)");
        break;
      default:
        problems_.Add("solid elements", view.id);
    }
  }

  const qlMaterial* MaterialOf(const am::ElementView& view) {
    if (view.material <= 0) {
      problems_.Add("elements without a material", view.id);
      return nullptr;
    }
    auto found = materials_.find(view.material);
    if (found == materials_.end()) {
      auto row = model_.Materials().GetMaterial(view.material);
      found = materials_.emplace(view.material, row ? row->GetMaterial() : nullptr).first;
    }
    if (!found->second) problems_.Add("elements referring to a missing material", view.id);
    return found->second.get();
  }

  boost::shared_ptr<am::XafSection> SectionOf(long id) {
    auto found = sections_.find(id);
    if (found == sections_.end()) found = sections_.emplace(id, model_.Sections().GetSection(id)).first;
    return found->second;
  }

  // The element-wide id or, where it is per node (-1), the id at stored index k.
  long PerNode(long wide, long (am::XafElement::*get)(unsigned) const, long element, unsigned k) {
    if (wide != -1) return wide;
    return (am::XafElement(model_, element).*get)(k);
  }

  Eigen::Vector3d EccentricityAt(const am::ElementView& view, unsigned stored) {
    const long id = view.NodeEccentricity(stored);
    if (id <= 0) return Eigen::Vector3d::Zero();
    auto record = model_.Eccentricities().GetEccentricity(id);
    if (!record) {
      problems_.Add("elements referring to a missing eccentricity", view.id);
      return Eigen::Vector3d::Zero();
    }
    return ToEigen(record->GetEccentricity());
  }

  // The stored local z axis; per-node axes are averaged; zero for none.
  Eigen::Vector3d LocalZAxis(const am::ElementView& view) {
    Eigen::Vector3d sum = Eigen::Vector3d::Zero();
    const unsigned count = view.transformation == -1 ? view.nodeCount : 1;
    for (unsigned k = 0; k < count; ++k) {
      const long id = PerNode(view.transformation, &am::XafElement::GetNodeTransformation, view.id, k);
      if (id <= 0) continue;
      const Eigen::Vector3d z = ToEigen(model_.Transformations().GetZAxis(id));
      if (z.norm() > 0.0) sum += z.normalized();
    }
    return sum;
  }

  std::array<double, 6> FixityAt(const am::ElementView& view, unsigned stored) {
    const long id = PerNode(view.fixation, &am::XafElement::GetNodeFixation, view.id, stored);
    std::array<double, 6> rigid{1, 1, 1, 1, 1, 1};
    if (id <= 0) return rigid;
    auto hinge = model_.Hinges().GetHinge(id);
    if (!hinge) {
      problems_.Add("elements referring to a missing hinge", view.id);
      return rigid;
    }
    return hinge->GetHinge().Fixations();
  }

  std::array<unsigned, 4> GeometricOrder(const am::ElementView& view) {
    const am::Element element(0, *view.type, std::vector<long>(view.nodeCount, 0));
    std::array<unsigned, 4> order{};
    for (unsigned i = 0; i < view.nodeCount && i < 4; ++i) order[i] = element.GetNodeIndex(i, am::Element::Geometric);
    return order;
  }

  void ReadBeam(const am::ElementView& view) {
    if (view.nodeCount != 2 && view.nodeCount != 3) return problems_.Add("beam elements without two or three nodes", view.id);
    const qlMaterial* material = MaterialOf(view);
    auto row = view.section > 0 ? SectionOf(view.section) : nullptr;
    if (!row || !row->GetSection()) {
      return problems_.Add(view.section <= 0 ? "beam elements without a section"
                                             : "beam elements without a beam section (missing, or a plate thickness)",
                           view.id);
    }
    if (!material) return;
    const qlSectionProperties& p = row->GetSection()->Properties();
    NativeBeam beam;
    beam.id = view.id;
    beam.nodeCount = static_cast<int>(view.nodeCount);
    beam.section = {material->YoungsModulus(), material->ShearModulus(), p.area, p.iy, p.iz, p.it,
                    p.shearAreaY, p.shearAreaZ};
    try {
      ValidateSection(beam.section);
    } catch (const std::invalid_argument&) {
      return problems_.Add("beam elements whose section lacks a positive area, second moment or torsion constant",
                           view.id);
    }
    beam.density = material->Density();
    beam.polarMoment = p.iy + p.iz;
    const auto order = GeometricOrder(view);
    for (unsigned i = 0; i < view.nodeCount; ++i) {
      beam.nodes[i] = Use(view.nodes[order[i]]);
      beam.eccentricities[i] = EccentricityAt(view, order[i]);
    }
    beam.startFixity = FixityAt(view, order[0]);
    beam.endFixity = FixityAt(view, order[view.nodeCount - 1]);
    if (view.nodeCount == 3 && FixityAt(view, order[1]) != std::array<double, 6>{1, 1, 1, 1, 1, 1})
      problems_.Add("three-node beams with a hinge at their middle node", view.id);
    beam.zAxis = LocalZAxis(view);
    native_.beamOfElement[view.id] = native_.beams.size();
    native_.beams.push_back(beam);
  }

  void ReadShell(const am::ElementView& view) {
    if (view.nodeCount != 3 && view.nodeCount != 4) return problems_.Add("shell elements without three or four corners", view.id);
    const qlMaterial* material = MaterialOf(view);
    auto row = view.section > 0 ? SectionOf(view.section) : nullptr;
    if (!row || !row->GetThickness()) {
      return problems_.Add(view.section <= 0 ? "shell elements without a thickness"
                                             : "shell elements without a plate thickness (missing, or a beam section)",
                           view.id);
    }
    const double t = *row->GetThickness();
    if (!(t > 0.0) || !std::isfinite(t)) return problems_.Add("shell elements with a thickness that is not positive", view.id);
    if (!material) return;
    for (unsigned k = 0; k < view.nodeCount; ++k) {
      if (!EccentricityAt(view, k).isZero(0.0)) return problems_.Add("shell elements with an eccentricity", view.id);
    }
    NativeShell shell;
    shell.id = view.id;
    shell.nodeCount = static_cast<int>(view.nodeCount);
    const auto order = GeometricOrder(view);
    for (unsigned i = 0; i < view.nodeCount; ++i) shell.nodes[i] = Use(view.nodes[order[i]]);
    shell.thickness = t;
    shell.youngsModulus = material->YoungsModulus();
    shell.poissonsRatio = material->PoissonsRatio();
    shell.density = material->Density();
    native_.shellOfElement[view.id] = native_.shells.size();
    native_.shells.push_back(shell);
  }

  int Use(long nodeId) { return native_.IndexOf(nodeId); }

  void ReadSupportsAndMasses() {
    model_.NodeProperties().ForEachMassOrSupport(
        [&](long node, const std::vector<am::Mass>& masses, const boost::optional<am::Hinge>& support) {
          const int index = native_.IndexOf(node);
          if (support) native_.supports[index] = support->Fixations();
          if (masses.empty()) return;
          std::array<double, 6> sum{};
          for (const am::Mass& m : masses)
            for (int k = 0; k < 6; ++k) sum[k] += m.Values()[k];
          native_.pointMasses[index] = sum;
        });
  }

  am::XafModel& model_;  // not owned
  NativeModel native_;
  Problems problems_;
  std::map<long, boost::shared_ptr<qlMaterial>> materials_;
  std::map<long, boost::shared_ptr<am::XafSection>> sections_;
};

// Where a load is, for the messages.
std::string LoadLabel(long lc, const am::LoadEntry& entry) {
  const bool onNode = entry.kind == am::LoadKind::Point || entry.kind == am::LoadKind::NodeAcceleration;
  return "load case " + std::to_string(lc) + (onNode ? " node " : " element ") + std::to_string(entry.target);
}

class LoadReader {
 public:
  LoadReader(am::XafModel& model, const NativeModel& native, NativeLoads& loads)
      : model_(model), native_(native), loads_(loads) {}

  void Read(long lc, double factor) {
    model_.Loads().ForEachLoad(lc, [&](const am::LoadEntry& entry) { ReadEntry(lc, entry, factor); });
    if (const auto g = model_.Loads().GetGravityLoad(lc)) loads_.gravity += ToEigen(*g) * factor;
  }
  void ThrowIfAny() const { problems_.ThrowIfAny(); }

 private:
  void ReadEntry(long lc, const am::LoadEntry& entry, double factor) {
    if (!entry.record) return;
    if (entry.kind == am::LoadKind::InitialStrain || entry.record->loadType() == am::LoadType::InitialStrain)
      return ReadInitialStrain(lc, entry, factor);
    switch (entry.kind) {
      case am::LoadKind::Point:
      case am::LoadKind::NodeAcceleration:
        return ReadNodeLoad(lc, entry, factor);
      case am::LoadKind::Line:
        return ReadLineLoad(lc, entry, factor);
      case am::LoadKind::Surface:
        return ReadPressure(lc, entry, factor);
      case am::LoadKind::InitialStrain:
        return;
    }
  }

  void ReadNodeLoad(long lc, const am::LoadEntry& entry, double factor) {
    auto point = dynamic_cast<const am::PointLoad*>(entry.record.get());
    const int node = native_.IndexOf(entry.target);
    if (!point || node < 0) return problems_.Add("node loads on a missing node or without a point record", entry.target);
    if (!point->HasPosition()) return;
    if (point->GetValues().size() > 1) return problems_.Add("point load records with several positions (load case " + std::to_string(lc) + ")", entry.target);
    const Eigen::Vector3d force = ToEigen(point->Force()) * factor;
    if (entry.kind == am::LoadKind::NodeAcceleration) {
      loads_.accelerations.try_emplace(node, Eigen::Vector3d::Zero()).first->second += force;
      return;
    }
    auto& sum = loads_.nodal.try_emplace(node, Eigen::Matrix<double, 6, 1>::Zero()).first->second;
    sum.head<3>() += force;
    sum.tail<3>() += ToEigen(point->Moment()) * factor;
  }

  void ReadLineLoad(long lc, const am::LoadEntry& entry, double factor) {
    auto line = dynamic_cast<const am::LineLoad*>(entry.record.get());
    auto beam = native_.beamOfElement.find(entry.target);
    if (!line || beam == native_.beamOfElement.end())
      return problems_.Add("line loads on elements that are not beams (load case " + std::to_string(lc) + ")", entry.target);
    auto& sum = loads_.lineLoads.try_emplace(beam->second, Eigen::Vector3d::Zero(), Eigen::Vector3d::Zero())
                    .first->second;
    sum.first += ToEigen(line->Start()) * factor;
    sum.second += ToEigen(line->End()) * factor;
  }

  void ReadPressure(long lc, const am::LoadEntry& entry, double factor) {
    auto surface = dynamic_cast<const am::SurfaceLoad*>(entry.record.get());
    auto shell = native_.shellOfElement.find(entry.target);
    if (!surface || shell == native_.shellOfElement.end())
      return problems_.Add("pressures on elements that are not shells (load case " + std::to_string(lc) + ")", entry.target);
    loads_.pressures[shell->second] += surface->Pressure() * factor;
  }

  void ReadInitialStrain(long lc, const am::LoadEntry& entry, double factor) {
    auto strain = dynamic_cast<const am::InitialStrainLoad*>(entry.record.get());
    auto beam = native_.beamOfElement.find(entry.target);
    if (!strain || beam == native_.beamOfElement.end())
      return problems_.Add("initial strains other than a beam's axial strain (" + LoadLabel(lc, entry) + ")",
                           entry.target);
    loads_.initialStrains[beam->second] += strain->Strain() * factor;
  }

  am::XafModel& model_;
  const NativeModel& native_;
  NativeLoads& loads_;
  Problems problems_;
};

}  // namespace

NativeModel ReadNativeModel(am::XafModel& model) { return Reader(model).Read(); }

NativeLoads ReadNativeLoads(am::XafModel& model, const NativeModel& native,
                            const std::vector<std::pair<long, double>>& factors) {
  const auto known = model.Loads().GetLoadCaseIds();
  NativeLoads loads;
  LoadReader reader(model, native, loads);
  for (const auto& [lc, factor] : factors) {
    if (!std::binary_search(known.begin(), known.end(), lc))
      throw NativeModelError("load case " + std::to_string(lc) + " does not exist in the model");
    if (!std::isfinite(factor)) throw NativeModelError("load case " + std::to_string(lc) + ": factor is not finite");
    reader.Read(lc, factor);
  }
  reader.ThrowIfAny();
  return loads;
}

}  // namespace Kestrum::Quilm::Solver::Native
