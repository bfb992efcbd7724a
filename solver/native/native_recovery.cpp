// One load case's results from its displacements: node motions, support
// reactions from the element forces, beam section forces at the ends, at
// stations and their extremes, shell resultants and stresses.
#include <cmath>

#include "solver/native/native_internal.hpp"
#include "solver/shared/load_combination.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

SectionForces ToSectionForces(const Vector6& s) { return {s(kN), s(kVy), s(kVz), s(kT), s(kMy), s(kMz)}; }

Eigen::VectorXd Gather(const std::vector<int>& nodes, const std::vector<double>& raw) {
  Eigen::VectorXd u(static_cast<Eigen::Index>(nodes.size()) * kNodeDofs);
  for (std::size_t k = 0; k < nodes.size(); ++k)
    for (int d = 0; d < kNodeDofs; ++d)
      u(static_cast<Eigen::Index>(k) * kNodeDofs + d) = raw[static_cast<std::size_t>(nodes[k]) * kNodeDofs + d];
  return u;
}

void RecoverNodes(const RecoveryInput& in, const std::vector<double>& u, StepResults& step) {
  const std::size_t nodes = in.model.nodeIds.size();
  for (std::size_t n = 0; n < nodes; ++n) {
    bool held = false;  // the solver holds the node: an element joins it or a support holds it
    for (int d = 0; d < kNodeDofs; ++d) held = held || !in.equations.inactive[n * kNodeDofs + d];
    if (!held) continue;
    // Node ids ascend with the index: each entry goes at the end.
    const double* v = &u[n * kNodeDofs];
    step.displacements.emplace_hint(step.displacements.end(), in.model.nodeIds[n], vec3d(v[0], v[1], v[2]));
    step.rotations.emplace_hint(step.rotations.end(), in.model.nodeIds[n], vec3d(v[3], v[4], v[5]));
  }
}

// Reactions: the elements' forces on each supported node less the loads
// applied there (K u - f), in the directions the support holds.
void RecoverReactions(const RecoveryInput& in, const std::vector<double>& u, const std::vector<double>& f,
                      StepResults& step) {
  if (in.model.supports.empty()) return;
  std::vector<double> internal(u.size(), 0.0);
  for (std::size_t i = 0; i < in.matrices.Count(); ++i) {
    const std::vector<int>& nodes = in.matrices.Nodes(i);
    bool supported = false;
    for (int node : nodes) supported = supported || in.model.supports.count(node) > 0;
    if (!supported) continue;
    const int n = in.matrices.Size(i);
    const Eigen::VectorXd ue = Gather(nodes, u);
    const Eigen::VectorXd fe =
        Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>(in.matrices.Matrix(i), n, n) * ue;
    for (std::size_t k = 0; k < nodes.size(); ++k)
      for (int d = 0; d < kNodeDofs; ++d)
        internal[static_cast<std::size_t>(nodes[k]) * kNodeDofs + d] += fe(static_cast<Eigen::Index>(k) * kNodeDofs + d);
  }
  for (const auto& [node, fixity] : in.model.supports) {
    double r[kNodeDofs];
    for (int d = 0; d < kNodeDofs; ++d) {
      const std::size_t raw = static_cast<std::size_t>(node) * kNodeDofs + static_cast<std::size_t>(d);
      r[d] = fixity[static_cast<std::size_t>(d)] > 0.0 ? internal[raw] - f[raw] : 0.0;
    }
    const long id = in.model.nodeIds[static_cast<std::size_t>(node)];
    step.reactions[id] = vec3d(r[0], r[1], r[2]);
    step.reactionMoments[id] = vec3d(r[3], r[4], r[5]);
  }
}

// Section forces of one beam part: its end forces from its local
// displacements, then statics along it.
struct PartForces {
  Vector12 endForces;
  BeamSpanLoads span;
  double length;
};

PartForces ForcesOf(const BeamPart& part, const NativeElements& elements, const NativeLoads& loads,
                    const std::vector<double>& u) {
  const Vector12 local = part.transformation.matrix * Gather({part.nodes[0], part.nodes[1]}, u);
  PartForces out{Vector12::Zero(), elements.SpanLoadsOf(part, loads), part.transformation.length};
  out.endForces = part.element.EndForces(local, out.span);
  return out;
}

Vector6 At(const PartForces& p, double x, CutSide side) {
  return SectionForcesAt(p.span, p.length, p.endForces, BeamStation{x, side});
}

void MergeExtremes(const PartForces& p, double offset, bool first, BeamExtremes& into) {
  const auto extremes = SectionForceExtremes(p.span, p.length, p.endForces);
  double* mins[6] = {&into.min.N, &into.min.Vy, &into.min.Vz, &into.min.T, &into.min.My, &into.min.Mz};
  double* maxs[6] = {&into.max.N, &into.max.Vy, &into.max.Vz, &into.max.T, &into.max.My, &into.max.Mz};
  for (int q = 0; q < 6; ++q) {
    if (first || extremes[q].min < *mins[q]) *mins[q] = extremes[q].min, into.minAt[q] = offset + extremes[q].atMin.x;
    if (first || extremes[q].max > *maxs[q]) *maxs[q] = extremes[q].max, into.maxAt[q] = offset + extremes[q].atMax.x;
  }
}

void RecoverBeams(const RecoveryInput& in, const NativeLoads& loads, const std::vector<double>& u, StepResults& step) {
  const auto& parts = in.elements.Beams();
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool halves = parts[i].half == 1 && i + 1 < parts.size() && parts[i + 1].half == 2;
    const PartForces first = ForcesOf(parts[i], in.elements, loads, u);
    const PartForces last = halves ? ForcesOf(parts[i + 1], in.elements, loads, u) : first;
    const long id = in.model.beams[parts[i].beam].id;
    BeamForces forces;
    forces.start = ToSectionForces(At(first, 0.0, CutSide::After));
    forces.end = ToSectionForces(At(last, last.length, CutSide::Before));
    if (halves) forces.middle = ToSectionForces(At(first, first.length, CutSide::Before));
    step.beamForces.emplace_hint(step.beamForces.end(), id, forces);
    BeamExtremes extremes;
    MergeExtremes(first, 0.0, true, extremes);
    if (halves) MergeExtremes(last, first.length, false, extremes);
    step.beamExtremes.emplace_hint(step.beamExtremes.end(), id, extremes);
    if (in.beamStations >= 2) {
      const double total = first.length + (halves ? last.length : 0.0);
      auto& stations = step.beamStations.emplace_hint(step.beamStations.end(), id, std::vector<BeamStationForces>())->second;
      stations.reserve(static_cast<std::size_t>(in.beamStations));
      for (int k = 0; k < in.beamStations; ++k) {
        const double x = total * k / (in.beamStations - 1);
        const bool inFirst = !halves || x <= first.length;
        const CutSide side = k == 0 ? CutSide::After : CutSide::Before;
        const Vector6 s = inFirst ? At(first, std::min(x, first.length), side)
                                  : At(last, std::min(x - first.length, last.length), side);
        stations.push_back({x, ToSectionForces(s)});
      }
    }
    if (halves) ++i;
  }
}

ShellStresses ToShellStresses(const ShellPointResults& r, double thickness) {
  ShellStresses s;
  s.thickness = thickness;
  s.nx = r.resultants.nx, s.ny = r.resultants.ny, s.nxy = r.resultants.nxy;
  s.mx = r.resultants.mx, s.my = r.resultants.my, s.mxy = r.resultants.mxy;
  s.qx = r.resultants.qx, s.qy = r.resultants.qy;
  return s;
}

void RecoverShells(const RecoveryInput& in, const std::vector<double>& u, StepResults& step) {
  for (const ShellPart& part : in.elements.Shells()) {
    const NativeShell& shell = in.model.shells[part.shell];
    const std::vector<int> nodes(shell.nodes.begin(), shell.nodes.begin() + shell.nodeCount);
    const Eigen::VectorXd ue = Gather(nodes, u);
    const ShellElementResults r = std::visit(
        [&](const auto& kernel) { return kernel.Results(ue); }, part.kernel);
    ShellStresses s = ToShellStresses(r.centre, shell.thickness);
    s.corners.reserve(r.corners.size());
    for (const ShellPointResults& corner : r.corners) s.corners.push_back(ToShellStresses(corner, shell.thickness));
    UpdateVonMises(s);
    step.shellStresses.emplace_hint(step.shellStresses.end(), shell.id, std::move(s));
  }
}

}  // namespace

void RecoverStep(const RecoveryInput& in, const NativeLoads& loads, const std::vector<double>& u,
                 const std::vector<double>& f, StepResults& step, RecoveryPart part) {
  switch (part) {
    case RecoveryPart::Nodes:
      RecoverNodes(in, u, step);
      RecoverReactions(in, u, f, step);
      return;
    case RecoveryPart::Beams:
      return RecoverBeams(in, loads, u, step);
    case RecoveryPart::Shells:
      return RecoverShells(in, u, step);
  }
}

}  // namespace Kestrum::Quilm::Solver::Native
