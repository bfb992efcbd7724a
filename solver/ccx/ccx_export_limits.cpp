// Notes on where a model meets the accuracy limits of the solver's brick
// expansion (measured; the README's solver section gives the figures): it
// expands each beam and shell into bricks, and those bricks are stiffer or
// softer than the beam or shell theory in three known places.
#include <algorithm>
#include <cmath>

#include "solver/ccx/ccx_export_internal.hpp"

namespace Kestrum::Quilm::Solver::detail {
namespace {

// Normals closer than this (the sine of the angle between them) count as
// one plane: a flat shell meshed with rounding in its coordinates.
constexpr double kFlatTolerance = 1e-6;

vec3d ShellNormal(const std::array<pos3d, 4>& p, unsigned count) {
  vec3d n =
      count == 4 ? vec3d(p[0], p[2]).cross(vec3d(p[1], p[3])) : vec3d(p[0], p[1]).cross(vec3d(p[0], p[2]));
  if (n.length() > 0.0) n.normalise();
  return n;
}

}  // namespace

// Supported nodes with a fixed rotation: only these are watched for curved
// shells, so that the check costs nothing for a model's free nodes.
void SolverModelReader::FindRotationHeldNodes() {
  for (const NodeProperties& node : nodeProperties_) {
    if (!node.support) continue;
    for (int dof = 3; dof < 6; ++dof) {
      if (node.support->Fixation(dof) == 1.0) heldShellNormals_.emplace(node.node, vec3d());
    }
  }
}

void SolverModelReader::CheckShellLimits(const std::array<long, 4>& corners, unsigned count,
                                         double thickness) {
  std::array<pos3d, 4> p;
  double shortest = INFINITY;
  for (unsigned i = 0; i < count; ++i) p[i] = PositionOf(corners[i]);
  for (unsigned i = 0; i < count; ++i)
    shortest = std::min(shortest, vec3d(p[i], p[(i + 1) % count]).length());
  if (shortest < 2.0 * thickness) ++thickShells_;
  if (heldShellNormals_.empty()) return;
  const vec3d normal = ShellNormal(p, count);
  for (unsigned i = 0; i < count; ++i) {
    auto held = heldShellNormals_.find(corners[i]);
    if (held == heldShellNormals_.end()) continue;
    if (held->second.length() == 0.0) {
      held->second = normal;
    } else if (held->second.cross(normal).length() > kFlatTolerance) {
      curvedHeldNodes_.insert(corners[i]);
    }
  }
}

void SolverModelReader::NoteExpansionLimits() {
  std::size_t rectangles = 0;
  for (const auto& entry : beamGroups_) {
    if (entry.second.section.sectionType == "RECT") rectangles += entry.second.RowCount();
  }
  if (rectangles > 0) {
    deck_->notes.push_back(std::to_string(rectangles) +
                           " solid rectangular beam element(s): the solver's bricks make them stiffer in "
                           "torsion than Saint-Venant's theory (+19 % square, +16 % at 2:1, +11 % at 4:1, "
                           "+5 % at 10:1)");
  }
  if (!curvedHeldNodes_.empty()) {
    deck_->notes.push_back(
        std::to_string(curvedHeldNodes_.size()) +
        " supported node(s) of curved shells with a fixed rotation: the solver holds such "
        "nodes too stiffly (a pinched cylinder's octant with symmetry conditions deflects "
        "a quarter of the right amount); model curved shells whole rather than by symmetry");
  }
  if (thickShells_ > 0) {
    deck_->notes.push_back(std::to_string(thickShells_) +
                           " shell element(s) with a side shorter than twice their thickness: the solver's "
                           "bricks lose accuracy in the shell's plane (a strip's in-plane bending 5 % off at "
                           "sides 1.7 times the thickness, 15 % at 0.8 times)");
  }
}

}  // namespace Kestrum::Quilm::Solver::detail
