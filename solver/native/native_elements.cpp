// Building the element parts and asking their kernels.
#include "solver/native/native_elements.hpp"

#include "solver/native/elements/beam_geometric.hpp"
#include "solver/native/elements/shell_geometric.hpp"

#include <sstream>

namespace Kestrum::Quilm::Solver::Native {
namespace {

BeamEndFixity FixityOf(const NativeBeam& beam, int half) {
  BeamEndFixity fixity;
  if (half != 2) fixity.start = beam.startFixity;
  if (half != 1) fixity.end = beam.endFixity;
  return fixity;
}

template <typename Kernel, int N>
Kernel MakeShell(const NativeModel& model, const NativeShell& shell) {
  std::array<Eigen::Vector3d, N> corners;
  for (int i = 0; i < N; ++i) corners[i] = model.positions[static_cast<std::size_t>(shell.nodes[i])];
  ShellSection section{shell.youngsModulus, shell.poissonsRatio, shell.thickness, shell.density};
  return Kernel(corners, section);
}

}  // namespace

NativeElements::NativeElements(const NativeModel& model) : model_(model) {
  std::vector<std::string> refused;
  std::size_t parts = 0;
  for (const NativeBeam& beam : model.beams) parts += beam.nodeCount == 3 ? 2 : 1;
  beams_.reserve(parts);
  shells_.reserve(model.shells.size());
  for (std::size_t b = 0; b < model.beams.size(); ++b) AddBeam(b, refused);
  for (std::size_t s = 0; s < model.shells.size(); ++s) AddShell(s, refused);
  if (refused.empty()) return;
  std::ostringstream out;
  out << "the native solver cannot analyse this model: ";
  for (std::size_t i = 0; i < refused.size() && i < 10; ++i) out << (i ? "; " : "") << refused[i];
  if (refused.size() > 10) out << "; and " << refused.size() - 10 << " more elements";
  throw NativeModelError(out.str());
}

void NativeElements::AddBeam(std::size_t index, std::vector<std::string>& refused) {
  const NativeBeam& beam = model_.beams[index];
  const int parts = beam.nodeCount == 3 ? 2 : 1;
  // Nodes are in geometric order (first, [middle,] last): the halves of a
  // three-node beam run 0 -> 1 and 1 -> 2.
  std::vector<BeamPart> made;
  double total = 0.0;
  try {
    for (int p = 0; p < parts; ++p) {
      const int a = parts == 1 ? 0 : p, b = parts == 1 ? 1 : p + 1;
      const auto ia = static_cast<std::size_t>(beam.nodes[a]), ib = static_cast<std::size_t>(beam.nodes[b]);
      BeamTransformation t = MakeBeamTransformation(model_.positions[ia], model_.positions[ib],
                                                    beam.eccentricities[a], beam.eccentricities[b], beam.zAxis);
      const int half = parts == 1 ? 0 : p + 1;
      BeamElement element(t.length, beam.section, FixityOf(beam, half));
      total += t.length;
      made.push_back(BeamPart{index, half, {beam.nodes[a], beam.nodes[b]}, 0.0, 1.0, std::move(t), std::move(element)});
    }
  } catch (const std::invalid_argument& e) {
    refused.push_back("beam element " + std::to_string(beam.id) + ": " + e.what());
    return;
  }
  if (parts == 2) {
    const double split = made[0].transformation.length / total;
    made[0].to = split;
    made[1].from = split;
  }
  for (auto& part : made) beams_.push_back(std::move(part));
}

void NativeElements::AddShell(std::size_t index, std::vector<std::string>& refused) {
  const NativeShell& shell = model_.shells[index];
  try {
    if (shell.nodeCount == 4)
      shells_.push_back(ShellPart{index, MakeShell<ShellQuad4, 4>(model_, shell)});
    else
      shells_.push_back(ShellPart{index, MakeShell<ShellTri3, 3>(model_, shell)});
  } catch (const std::invalid_argument& e) {
    refused.push_back("shell element " + std::to_string(shell.id) + ": " + e.what());
  }
}

std::vector<int> NativeElements::NodesOf(std::size_t i) const {
  if (i < beams_.size()) return {beams_[i].nodes[0], beams_[i].nodes[1]};
  const NativeShell& shell = model_.shells[shells_[i - beams_.size()].shell];
  return std::vector<int>(shell.nodes.begin(), shell.nodes.begin() + shell.nodeCount);
}

Eigen::MatrixXd NativeElements::StiffnessOf(std::size_t i) const {
  if (i < beams_.size()) return ToGlobal(beams_[i].transformation, beams_[i].element.Stiffness());
  return std::visit([](const auto& kernel) -> Eigen::MatrixXd { return kernel.Stiffness(); },
                    shells_[i - beams_.size()].kernel);
}

Eigen::MatrixXd NativeElements::MassOf(std::size_t i, bool lumped) const {
  if (i < beams_.size()) {
    const BeamPart& part = beams_[i];
    const NativeBeam& beam = model_.beams[part.beam];
    return ToGlobal(part.transformation, BeamMassMatrix(beam.section, part.transformation.length, beam.density,
                                                        lumped ? BeamMassForm::Lumped : BeamMassForm::Consistent));
  }
  const ShellMassKind kind = lumped ? ShellMassKind::kLumped : ShellMassKind::kConsistent;
  return std::visit([kind](const auto& kernel) -> Eigen::MatrixXd { return kernel.Mass(kind); },
                    shells_[i - beams_.size()].kernel);
}

namespace {

Eigen::VectorXd GatherNodes(const std::vector<int>& nodes, const std::vector<double>& raw) {
  Eigen::VectorXd u(static_cast<Eigen::Index>(nodes.size()) * 6);
  for (std::size_t k = 0; k < nodes.size(); ++k)
    for (int d = 0; d < 6; ++d)
      u(static_cast<Eigen::Index>(k) * 6 + d) = raw[static_cast<std::size_t>(nodes[k]) * 6 + static_cast<std::size_t>(d)];
  return u;
}

template <std::size_t N>
std::array<Eigen::Vector3d, N> CornersOf(const NativeModel& model, const NativeShell& shell) {
  std::array<Eigen::Vector3d, N> corners;
  for (std::size_t k = 0; k < N; ++k) corners[k] = model.positions[static_cast<std::size_t>(shell.nodes[k])];
  return corners;
}

}  // namespace

Eigen::MatrixXd NativeElements::GeometricStiffnessOf(std::size_t i, const std::vector<double>& u,
                                                     const NativeLoads& loads) const {
  const Eigen::VectorXd ue = GatherNodes(NodesOf(i), u);
  if (i < beams_.size()) {
    const BeamPart& part = beams_[i];
    const NativeBeam& beam = model_.beams[part.beam];
    const Vector12 local = part.transformation.matrix * ue;
    const Vector12 endForces = part.element.EndForces(local, SpanLoadsOf(part, loads));
    const double L = part.transformation.length;
    const Matrix12 member = BeamGeometricStiffness(beam.section, L, BeamPrestressFromEndForces(endForces));
    return ToGlobal(part.transformation, CondenseGeometricStiffness(member, L, beam.section, FixityOf(beam, part.half)));
  }
  const ShellPart& part = shells_[i - beams_.size()];
  const NativeShell& shell = model_.shells[part.shell];
  const ShellElementResults results =
      std::visit([&](const auto& kernel) { return kernel.Results(ue); }, part.kernel);
  const ShellMembraneForces forces = MembraneForcesOf(results.centre);
  if (shell.nodeCount == 4) return ShellQuad4GeometricStiffness(CornersOf<4>(model_, shell), forces);
  return ShellTri3GeometricStiffness(CornersOf<3>(model_, shell), forces);
}

BeamSpanLoads NativeElements::SpanLoadsOf(const BeamPart& part, const NativeLoads& loads) const {
  BeamSpanLoads span;
  const NativeBeam& beam = model_.beams[part.beam];
  if (auto line = loads.lineLoads.find(part.beam); line != loads.lineLoads.end()) {
    const auto& [q1, q2] = line->second;
    span.q0 = ToLocal(part.transformation, q1 + (q2 - q1) * part.from);
    span.q1 = ToLocal(part.transformation, q1 + (q2 - q1) * part.to);
  }
  if (!loads.gravity.isZero(0.0) && beam.density > 0.0) {
    const Eigen::Vector3d weight = ToLocal(part.transformation, loads.gravity * (beam.density * beam.section.A));
    span.q0 += weight;
    span.q1 += weight;
  }
  if (auto strain = loads.initialStrains.find(part.beam); strain != loads.initialStrains.end())
    span.eps0 = strain->second;
  return span;
}

Eigen::VectorXd NativeElements::LoadsOf(std::size_t i, const NativeLoads& loads) const {
  if (i < beams_.size()) {
    const BeamPart& part = beams_[i];
    return ToGlobal(part.transformation, part.element.EquivalentNodalLoads(SpanLoadsOf(part, loads)));
  }
  const ShellPart& part = shells_[i - beams_.size()];
  double pressure = 0.0;
  if (auto p = loads.pressures.find(part.shell); p != loads.pressures.end()) pressure = p->second;
  const bool heavy = !loads.gravity.isZero(0.0) && model_.shells[part.shell].density > 0.0;
  return std::visit(
      [&](const auto& kernel) -> Eigen::VectorXd {
        using Vector = typename std::decay_t<decltype(kernel)>::Vector;
        Eigen::VectorXd f = Vector::Zero();
        if (pressure != 0.0) f += kernel.PressureLoad(pressure);
        if (heavy) f += kernel.BodyLoad(loads.gravity);
        return f;
      },
      part.kernel);
}

}  // namespace Kestrum::Quilm::Solver::Native
