// The deck's steps: the load cases chosen for export, each read as a static
// step of nodal forces (point loads, line loads as consistent nodal loads,
// node accelerations as inertia forces, gravity on point masses), pressures
// and gravity, then the optional frequency step.
#include <algorithm>

#include "solver/ccx_export_internal.hpp"

namespace Kestrum::Quilm::Solver::detail {

void SolverModelReader::SelectLoadCases() {
  cases_ = options_.loadCases;
  const auto known = model_.Loads().GetLoadCaseIds();
  if (cases_.empty()) cases_ = known;
  for (long lc : cases_) {
    if (!std::binary_search(known.begin(), known.end(), lc)) {
      throw ExportError("load case " + std::to_string(lc) + " does not exist in the model");
    }
  }
}

void SolverModelReader::AddNodal(std::map<long, Dofs>& loads, long node, const vec3d& force,
                                 const vec3d& moment) {
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
void SolverModelReader::AddLineLoad(std::map<long, Dofs>& loads, const BeamEnds& beam, const vec3d& q1,
                                    const vec3d& q2) {
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

void SolverModelReader::ReadSteps() {
  for (long lc : cases_) solver_.steps.push_back(ReadStaticStep(lc));
  if (options_.frequencyCount > 0) deck_->frequencyCount = options_.frequencyCount;
}

StaticStep SolverModelReader::ReadStaticStep(long lc) {
  auto& loadManager = model_.Loads();
  StaticStep step;
  step.loadCase = lc;
  step.name = loadManager.GetLoadCaseName(lc).value_or("");
  const std::string where = "load case " + std::to_string(lc);
  std::map<long, Dofs> nodal;
  for (const LoadEntry& entry : loadManager.GetLoads(lc)) {
    if (!entry.record) continue;
    const bool onNode = entry.kind == LoadKind::Point || entry.kind == LoadKind::NodeAcceleration;
    const std::string label = where + " " + (onNode ? NodeLabel(entry.target) : ElementLabel(entry.target));
    if (!onNode && refused_.count(entry.target)) continue;
    if (entry.kind == LoadKind::InitialStrain || entry.record->loadType() == LoadType::InitialStrain) {
      problems_.Add("initial strain loads are not supported", label, true);
      continue;
    }
    switch (entry.kind) {
      case LoadKind::Point:
      case LoadKind::NodeAcceleration:
        ReadNodeLoad(entry, label, nodal);
        break;
      case LoadKind::Line:
        ReadLineLoad(entry, label, nodal);
        break;
      case LoadKind::Surface:
        ReadPressure(entry, label, step.pressures);
        break;
      case LoadKind::InitialStrain:
        break;  // reported above
    }
  }
  step.gravity = ReadGravity(lc, nodal);
  deck_->loadCaseSteps.push_back(lc);
  deck_->loadCaseNames.push_back(step.name);
  step.nodalLoads = NodalLoadsOf(nodal);
  return step;
}

// A point load (force and moment) or a node acceleration (as the inertia
// force of the node's mass).
void SolverModelReader::ReadNodeLoad(const LoadEntry& entry, const std::string& label,
                                     std::map<long, Dofs>& nodal) {
  auto point = dynamic_cast<const AnalysisModel::PointLoad*>(entry.record.get());
  if (!point || !nodes_.count(entry.target)) {
    problems_.Add("node loads on a missing node or without a point record", label, false);
    return;
  }
  if (!point->HasPosition()) {
    deck_->notes.push_back("empty point load record left out (" + label + ")");
    return;
  }
  if (point->GetValues().size() > 1) {
    problems_.Add("point load records with several positions are not supported", label, true);
    return;
  }
  if (entry.kind == LoadKind::Point) {
    AddNodal(nodal, entry.target, point->Force(), point->Moment());
  } else {
    AddInertiaForce(nodal, entry.target, point->Force(), point->Moment(), label);
  }
}

// A line load on a beam, as consistent nodal loads; a beam written as two
// halves takes each half on its own, the load halfway between.
void SolverModelReader::ReadLineLoad(const LoadEntry& entry, const std::string& label,
                                     std::map<long, Dofs>& nodal) {
  auto line = dynamic_cast<const AnalysisModel::LineLoad*>(entry.record.get());
  auto beam = beams_.find(entry.target);
  if (!line || beam == beams_.end()) {
    problems_.Add("line loads are only supported on beam elements", label, true);
    return;
  }
  const BeamEnds& ends = beam->second;
  if (ends.middle == 0) {
    AddLineLoad(nodal, ends, line->Start(), line->End());
    return;
  }
  const vec3d q = (line->Start() + line->End()) * 0.5;
  const pos3d m = PositionOf(ends.middle);
  AddLineLoad(nodal, BeamEnds{ends.first, ends.middle, ends.firstPos, m}, line->Start(), q);
  AddLineLoad(nodal, BeamEnds{ends.middle, ends.last, m, ends.lastPos}, q, line->End());
}

// A pressure on a shell, on every solver element the shell was written as.
void SolverModelReader::ReadPressure(const LoadEntry& entry, const std::string& label,
                                     std::vector<Pressure>& pressures) {
  auto surface = dynamic_cast<const AnalysisModel::SurfaceLoad*>(entry.record.get());
  if (!surface || !shells_.count(entry.target)) {
    problems_.Add("pressures are only supported on shell elements", label, true);
    return;
  }
  const double pressure = surface->Pressure();
  CheckWritable(pressure, "a pressure");
  for (long part : SolverElements(entry.target)) pressures.push_back({part, pressure});
}

// The load case's gravity: on the elements with a density (none when there
// are none), and as the weight m*g of every point mass.
std::optional<Gravity> SolverModelReader::ReadGravity(long lc, std::map<long, Dofs>& nodal) {
  const auto g = model_.Loads().GetGravityLoad(lc);
  if (!g || isZero(*g)) return std::nullopt;
  std::optional<Gravity> gravity;
  if (!denseElements_.empty()) {
    const double magnitude = g->length();
    CheckWritable(magnitude, "a gravity");
    const vec3d direction = *g * (1.0 / magnitude);
    for (double component : {direction.x, direction.y, direction.z}) CheckWritable(component, "value");
    gravity = Gravity{magnitude, direction};
  }
  for (const auto& [node, m] : pointMasses_) {
    AddNodal(nodal, node, vec3d(m[0] * g->x, m[1] * g->y, m[2] * g->z), {});
  }
  return gravity;
}

// The non-zero components of the summed nodal loads, by node and dof. A
// moment on a rotation fixed at the node itself (a support held directly)
// goes straight into the support, and the solver rejects it; it is left out.
std::vector<NodalLoad> SolverModelReader::NodalLoadsOf(const std::map<long, Dofs>& nodal) const {
  std::vector<NodalLoad> loads;
  for (const auto& [node, dofs] : nodal) {
    const auto fixed = boundaries_.find(node);
    for (int k = 0; k < 6; ++k) {
      if (k >= 3 && fixed != boundaries_.end() &&
          std::count(fixed->second.begin(), fixed->second.end(), k + 1)) {
        continue;
      }
      if (dofs[k] == 0.0) continue;
      CheckWritable(dofs[k], "a nodal load");
      loads.push_back({node, k + 1, dofs[k]});
    }
  }
  return loads;
}

// The inertia force of the node's lumped mass under acceleration `a` (and
// of its point inertias under angular acceleration `alpha`): -m a.
void SolverModelReader::AddInertiaForce(std::map<long, Dofs>& nodal, long node, const vec3d& a,
                                        const vec3d& alpha, const std::string& label) {
  std::array<double, 6> m{};
  if (auto it = lumpedMass_.find(node); it != lumpedMass_.end()) m[0] = m[1] = m[2] = it->second;
  if (auto it = pointMasses_.find(node); it != pointMasses_.end()) {
    for (int k = 0; k < 6; ++k) m[k] += it->second[k];
  }
  if (m[0] == 0.0 && m[1] == 0.0 && m[2] == 0.0 && m[3] == 0.0 && m[4] == 0.0 && m[5] == 0.0) {
    if (!isZero(a) || !isZero(alpha)) {
      deck_->notes.push_back("node acceleration on a node without mass has no effect (" + label + ")");
    }
    return;
  }
  AddNodal(nodal, node, vec3d(-m[0] * a.x, -m[1] * a.y, -m[2] * a.z),
           vec3d(-m[3] * alpha.x, -m[4] * alpha.y, -m[5] * alpha.z));
}

}  // namespace Kestrum::Quilm::Solver::detail
