// The deck's steps: the load cases chosen for export, each read as a static
// step of nodal forces (point loads, line loads as consistent nodal loads,
// node accelerations as inertia forces, gravity on point masses), pressures
// and gravity, then the optional frequency step.
#include <algorithm>

#include "solver/ccx/beam_line_load.hpp"
#include "solver/ccx/ccx_export_internal.hpp"

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

namespace {

// Where a load is, for the messages: "load case 3 node 12".
std::string LoadLabel(long lc, const LoadEntry& entry) {
  const bool onNode = entry.kind == LoadKind::Point || entry.kind == LoadKind::NodeAcceleration;
  return "load case " + std::to_string(lc) + " " +
         (onNode ? NodeLabel(entry.target) : ElementLabel(entry.target));
}

}  // namespace

// Consistent nodal loads of a straight beam (see ConsistentLineLoads).
void SolverModelReader::AddLineLoad(NodalSums& loads, const BeamEnds& beam, const vec3d& q1,
                                    const vec3d& q2) {
  const EndLoads ends = ConsistentLineLoads(beam.firstPos, beam.lastPos, q1, q2);
  loads.Add(beam.first, ends.force1, ends.moment1);
  loads.Add(beam.last, ends.force2, ends.moment2);
}

// Reads every step once, for its problems and what the results reader
// needs; its loads are dropped and read again when it is written
// (ReloadStepLoads), so that only one step's loads are held at a time.
void SolverModelReader::ReadSteps() {
  for (long lc : cases_) {
    solver_.steps.push_back(ReadStaticStep({{lc, 1.0}}, LoadCaseName(lc)));
    deck_->loadCaseSteps.push_back(lc);
    deck_->loadCaseNames.push_back(solver_.steps.back().name);
  }
  for (const LoadCombination& combination : options_.combinations) {
    if (combination.factors.empty()) {
      throw ExportError("combination '" + combination.name + "' has no load case");
    }
    solver_.steps.push_back(ReadStaticStep(combination.factors, combination.name));
    solver_.steps.back().loadCase = 0;
    deck_->combinationNames.push_back(combination.name);
  }
  if (options_.bucklingCase > 0) {
    if (options_.bucklingModes < 1) throw ExportError("a buckling step needs at least one mode");
    const std::size_t stepLoads = deck_->stepLoads.size();
    solver_.buckling = ReadStaticStep({{options_.bucklingCase, 1.0}}, LoadCaseName(options_.bucklingCase));
    deck_->stepLoads.resize(stepLoads);  // the buckling step's shapes need no load corrections
    deck_->appliedForces.pop_back();     // nor a balance line
    solver_.bucklingModes = options_.bucklingModes;
    deck_->bucklingCase = options_.bucklingCase;
    deck_->bucklingModes = options_.bucklingModes;
  }
  if (options_.frequencyCount > 0) deck_->frequencyCount = options_.frequencyCount;
}

std::string SolverModelReader::LoadCaseName(long lc) {
  return model_.Loads().GetLoadCaseName(lc).value_or("");
}

// The static step of load cases with factors (one load case with factor 1
// for a load case's own step).
StaticStep SolverModelReader::ReadStaticStep(const std::vector<std::pair<long, double>>& factors,
                                             const std::string& name) {
  const auto known = model_.Loads().GetLoadCaseIds();
  StaticStep step;
  step.loadCase = factors.front().first;
  step.name = name;
  step.factors = factors;
  NodalSums nodal;
  DeckStepLoads loads;
  vec3d gravity, applied;
  for (const auto& [lc, factor] : factors) {
    if (!std::binary_search(known.begin(), known.end(), lc)) {
      throw ExportError("load case " + std::to_string(lc) + " does not exist in the model");
    }
    CheckWritable(factor, "a load factor");
    NodalSums caseNodal;
    std::vector<Pressure> pressures;
    std::map<long, std::pair<vec3d, vec3d>> lineLoads;
    vec3d pressureResultant;
    ReadLoadCase(lc, caseNodal, pressures, lineLoads, pressureResultant);
    applied += pressureResultant * factor;
    nodal.AddScaled(std::move(caseNodal), factor);
    auto& stepPressures = step.loads.pressures;
    if (stepPressures.empty()) {
      stepPressures = std::move(pressures);
      for (Pressure& p : stepPressures) p.value *= factor;
    } else {
      for (Pressure p : pressures) {
        p.value *= factor;
        stepPressures.push_back(p);
      }
    }
    for (const auto& [element, q] : lineLoads) {
      auto& sum = loads.lineLoads[element];
      sum.first += q.first * factor;
      sum.second += q.second * factor;
    }
    if (const auto g = model_.Loads().GetGravityLoad(lc)) gravity += *g * factor;
  }
  step.gravity = ReadGravity(gravity, nodal);
  nodal.Settle();
  // What the step applies in all: pressures, the elements' weight and every
  // nodal force (point loads, line loads, inertia, the masses' weight).
  if (step.gravity) applied += step.gravity->direction * (step.gravity->magnitude * structuralMass_);
  for (const auto& force : nodal.Forces()) applied += vec3d(force.value[0], force.value[1], force.value[2]);
  deck_->appliedForces.push_back(applied);
  step.loads.nodalCount = LeaveOutHeldMoments(nodal, &loads.heldMoments);
  step.loads.nodal = std::move(nodal);
  step.loadCount = step.loads.Count();
  loads.gravity = gravity;
  if (options_.elementResults) deck_->stepLoads.push_back(std::move(loads));
  if (reread_) return step;
  // Held until written while the steps held fit where the edge table was
  // (memory the export has used already); otherwise read again then.
  const std::size_t bytes = step.loads.MemoryBytes();
  if (bytes <= stepRoom_) {
    stepRoom_ -= bytes;
    step.loadsHeld = true;
  } else {
    step.loads = StepLoads();
  }
  return step;
}

StepLoads SolverModelReader::ReloadStepLoads(const StaticStep& step, const SolverModel& written) {
  // What the first reading recorded (problems, notes, the results reader's
  // data) goes to scratch copies this time.
  CcxDeck scratchDeck;
  Problems scratchProblems;
  struct Restore {
    SolverModelReader& reader;
    Problems& scratch;
    ~Restore() {
      std::swap(reader.problems_, scratch);
      reader.deck_ = nullptr;
      reader.written_ = nullptr;
      reader.reread_ = false;
    }
  } restore{*this, scratchProblems};
  std::swap(problems_, scratchProblems);
  deck_ = &scratchDeck;
  written_ = &written;
  reread_ = true;
  return ReadStaticStep(step.factors, step.name).loads;
}

// The loads of one load case: nodal loads (point loads, line loads as
// consistent nodal loads, inertia forces), pressures, and the line loads
// per solver element as given.
void SolverModelReader::ReadLoadCase(long lc, NodalSums& nodal, std::vector<Pressure>& pressures,
                                     std::map<long, std::pair<vec3d, vec3d>>& lineLoads,
                                     vec3d& pressureResultant) {
  // Visited in place, not copied: a large model's load case may hold a
  // load on every node. Counted first, so that the sums and the pressures
  // are sized once (a line load adds to at most four nodes).
  std::size_t nodalAdds = 0, surfaceLoads = 0;
  model_.Loads().ForEachLoad(lc, [&](const LoadEntry& entry) {
    if (entry.kind == LoadKind::Surface) {
      ++surfaceLoads;
    } else {
      nodalAdds += entry.kind == LoadKind::Line ? 4 : 1;
    }
  });
  nodal.Reserve(nodalAdds);
  pressures.reserve(pressures.size() + surfaceLoads);
  model_.Loads().ForEachLoad(lc, [&](const LoadEntry& entry) {
    ReadLoad(lc, entry, nodal, pressures, lineLoads, pressureResultant);
  });
}

// One load of a load case, by its kind.
void SolverModelReader::ReadLoad(long lc, const LoadEntry& entry, NodalSums& nodal,
                                 std::vector<Pressure>& pressures,
                                 std::map<long, std::pair<vec3d, vec3d>>& lineLoads,
                                 vec3d& pressureResultant) {
  if (!entry.record) return;
  const bool onNode = entry.kind == LoadKind::Point || entry.kind == LoadKind::NodeAcceleration;
  if (!onNode && refused_.count(entry.target)) return;
  if (entry.kind == LoadKind::InitialStrain || entry.record->loadType() == LoadType::InitialStrain) {
    problems_.Add("initial strain loads are not supported", LoadLabel(lc, entry), true);
    return;
  }
  switch (entry.kind) {
    case LoadKind::Point:
    case LoadKind::NodeAcceleration:
      ReadNodeLoad(lc, entry, nodal);
      break;
    case LoadKind::Line:
      ReadLineLoad(lc, entry, nodal, lineLoads);
      break;
    case LoadKind::Surface:
      ReadPressure(lc, entry, pressures, pressureResultant);
      break;
    case LoadKind::InitialStrain:
      break;  // reported above
  }
}

// A point load (force and moment) or a node acceleration (as the inertia
// force of the node's mass).
void SolverModelReader::ReadNodeLoad(long lc, const LoadEntry& entry, NodalSums& nodal) {
  auto point = dynamic_cast<const AnalysisModel::PointLoad*>(entry.record.get());
  if (!point || !HasModelNode(entry.target)) {
    problems_.Add("node loads on a missing node or without a point record", LoadLabel(lc, entry), false);
    return;
  }
  if (!point->HasPosition()) {
    deck_->notes.push_back("empty point load record left out (" + LoadLabel(lc, entry) + ")");
    return;
  }
  if (point->GetValues().size() > 1) {
    problems_.Add("point load records with several positions are not supported", LoadLabel(lc, entry), true);
    return;
  }
  if (entry.kind == LoadKind::Point) {
    nodal.Add(entry.target, point->Force(), point->Moment());
  } else {
    AddInertiaForce(nodal, entry.target, point->Force(), point->Moment(), lc);
  }
}

// A line load on a beam, as consistent nodal loads; a beam written as two
// halves takes each half on its own, the load halfway between.
void SolverModelReader::ReadLineLoad(long lc, const LoadEntry& entry, NodalSums& nodal,
                                     std::map<long, std::pair<vec3d, vec3d>>& lineLoads) {
  auto line = dynamic_cast<const AnalysisModel::LineLoad*>(entry.record.get());
  if (!line || !beams_.count(entry.target)) {
    problems_.Add("line loads are only supported on beam elements", LoadLabel(lc, entry), true);
    return;
  }
  const BeamEnds ends = beams_.at(entry.target);
  const auto parts = SolverElements(entry.target);
  auto record = [&](std::size_t part, const vec3d& q1, const vec3d& q2) {
    auto& sum = lineLoads[parts.at(part)];
    sum.first += q1;
    sum.second += q2;
  };
  if (ends.middle == 0 || parts.size() == 1) {
    // One solver element (a B32R keeps its middle node: the load stays one).
    if (ends.middle == 0) {
      AddLineLoad(nodal, ends, line->Start(), line->End());
    } else {
      const vec3d q = (line->Start() + line->End()) * 0.5;
      const pos3d m = PositionOf(ends.middle);
      AddLineLoad(nodal, BeamEnds{ends.first, ends.middle, ends.firstPos, m}, line->Start(), q);
      AddLineLoad(nodal, BeamEnds{ends.middle, ends.last, m, ends.lastPos}, q, line->End());
    }
    record(0, line->Start(), line->End());
    return;
  }
  const vec3d q = (line->Start() + line->End()) * 0.5;
  const pos3d m = PositionOf(ends.middle);
  AddLineLoad(nodal, BeamEnds{ends.first, ends.middle, ends.firstPos, m}, line->Start(), q);
  AddLineLoad(nodal, BeamEnds{ends.middle, ends.last, m, ends.lastPos}, q, line->End());
  record(0, line->Start(), q);
  record(1, q, line->End());
}

// A pressure on a shell, on every solver element the shell was written as;
// adds its resultant, the pressure times the shell's vector area (along the
// normal of its node order), to `resultant`.
void SolverModelReader::ReadPressure(long lc, const LoadEntry& entry, std::vector<Pressure>& pressures,
                                     vec3d& resultant) {
  auto surface = dynamic_cast<const AnalysisModel::SurfaceLoad*>(entry.record.get());
  if (!surface || !IsShell(entry.target)) {
    problems_.Add("pressures are only supported on shell elements", LoadLabel(lc, entry), true);
    return;
  }
  const double pressure = surface->Pressure();
  CheckWritable(pressure, "a pressure");
  extra_.ForEach(entry.target, [&](long part) { pressures.push_back({part, pressure}); });
  if (reread_) return;  // the resultant was added up the first time
  const Element shell = model_.GetConnectivityManager().GetElementById(entry.target);
  const unsigned count = shell.NodeCount();
  // The vector area: half the sum of the cross products of the corners
  // seen from the first one (exact for a warped quadrilateral too).
  const pos3d origin = PositionOf(shell.GetNode(0, Element::Geometric));
  vec3d area;
  for (unsigned i = 1; i + 1 < count; ++i) {
    const vec3d a(origin, PositionOf(shell.GetNode(i, Element::Geometric)));
    const vec3d b(origin, PositionOf(shell.GetNode(i + 1, Element::Geometric)));
    area += a.cross(b) * 0.5;
  }
  resultant += area * pressure;
}

// The step's gravity `g`: on the elements with a density (none when there
// are none), and as the weight m*g of every point mass.
std::optional<Gravity> SolverModelReader::ReadGravity(const vec3d& g, NodalSums& nodal) {
  if (isZero(g)) return std::nullopt;
  std::optional<Gravity> gravity;
  if (!denseElements_.empty()) {
    const double magnitude = g.length();
    CheckWritable(magnitude, "a gravity");
    const vec3d direction = g * (1.0 / magnitude);
    for (double component : {direction.x, direction.y, direction.z}) CheckWritable(component, "value");
    gravity = Gravity{magnitude, direction};
  }
  for (const auto& [node, m] : pointMasses_) nodal.Add(node, vec3d(m[0] * g.x, m[1] * g.y, m[2] * g.z), {});
  return gravity;
}

// Leaves out of the summed nodal loads every moment on a rotation fixed at
// the node itself (a support held directly): it goes straight into the
// support, and the solver rejects it; `held` gets those moments. Checks the
// rest can be written and returns how many are not zero (the deck lists
// those, by node and dof).
std::size_t SolverModelReader::LeaveOutHeldMoments(NodalSums& nodal, std::map<long, vec3d>* held) const {
  std::size_t nonZero = 0;
  for (const auto& force : nodal.Forces()) {
    for (double d : force.value) {
      if (d == 0.0) continue;
      CheckWritable(d, "a nodal load");
      ++nonZero;
    }
  }
  for (auto& [node, order, moment] : nodal.Moments()) {
    (void)order;
    const auto fixed = boundaries_.find(node);
    for (int k = 0; k < 3; ++k) {
      if (fixed != boundaries_.end() && std::count(fixed->second.begin(), fixed->second.end(), k + 4)) {
        if (held && moment[k] != 0.0) {
          vec3d& m = (*held)[node];
          (k == 0 ? m.x : k == 1 ? m.y : m.z) += moment[k];
        }
        moment[k] = 0.0;
        continue;
      }
      if (moment[k] == 0.0) continue;
      CheckWritable(moment[k], "a nodal load");
      ++nonZero;
    }
  }
  return nonZero;
}

// The inertia force of the node's lumped mass under acceleration `a` (and
// of its point inertias under angular acceleration `alpha`): -m a.
void SolverModelReader::AddInertiaForce(NodalSums& nodal, long node, const vec3d& a, const vec3d& alpha,
                                        long lc) {
  std::array<double, 6> m{};
  if (node >= 0 && static_cast<std::size_t>(node) < lumpedMass_.size())
    m[0] = m[1] = m[2] = lumpedMass_[static_cast<std::size_t>(node)];
  if (auto it = HasPointMass(node) ? pointMasses_.find(node) : pointMasses_.end(); it != pointMasses_.end()) {
    for (int k = 0; k < 6; ++k) m[k] += it->second[k];
  }
  if (m[0] == 0.0 && m[1] == 0.0 && m[2] == 0.0 && m[3] == 0.0 && m[4] == 0.0 && m[5] == 0.0) {
    if (!isZero(a) || !isZero(alpha)) {
      deck_->notes.push_back("node acceleration on a node without mass has no effect (load case " +
                             std::to_string(lc) + " " + NodeLabel(node) + ")");
    }
    return;
  }
  nodal.Add(node, vec3d(-m[0] * a.x, -m[1] * a.y, -m[2] * a.z),
            vec3d(-m[3] * alpha.x, -m[4] * alpha.y, -m[5] * alpha.z));
}

}  // namespace Kestrum::Quilm::Solver::detail
