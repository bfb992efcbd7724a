// Supports held through stiff springs. The solver prints, at a node, the
// sum of its reaction and of the loads at the node (point loads and the
// node's share of distributed loads), and at beam and shell nodes with
// fixed rotations the forces of the rotation constraints are missing. So
// each fixed translation of a node is held by a stiff spring along it to a
// fixed generated node: that node carries no load, and its printed force is
// the support reaction. Fixed rotations stay on the node itself.
//
// The springs are SPRING2 elements, which join one fixed direction of their
// two nodes linearly. The solver's axial spring (SPRINGA) follows its
// deformed length instead: a node free to move across its spring (a
// symmetry edge's node moving out of the plane) stretches it to second
// order, which at this stiffness gives reactions wrong by orders of
// magnitude, and the next step starts from that stretched state, whose
// stiffness across the spring holds the node (a later load case's
// deflection came back at about 1e-5 of the right one, a frequency step's
// first eigenvalue negative).
#include <algorithm>
#include <cmath>

#include "solver/ccx/ccx_export_internal.hpp"

namespace Kestrum::Quilm::Solver::detail {
namespace {

// The springs' length: small against the model (its bounding box).
double SpringLength(const NodeTable& nodes) {
  if (nodes.empty()) return 1.0;
  bool first = true;
  pos3d lo, hi;
  nodes.ForEach([&](long, const pos3d& p) {
    if (first) lo = hi = p, first = false;
    lo = pos3d(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
    hi = pos3d(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
  });
  const double size = vec3d(lo, hi).length();
  return size > 0.0 ? 0.01 * size : 1.0;
}

}  // namespace

void SolverModelReader::HoldSupportsBySprings() {
  if (boundaries_.empty()) return;
  const double d = SpringLength(nodes_);
  double modulus = 0.0;
  for (const auto& entry : materials_) modulus = std::max(modulus, entry.second.YoungsModulus());
  // Stiff against any member of the model, and no stiffer (the reactions
  // are the springs' forces, read from their tiny elongations): the arm
  // factor times a cube of the stiffest material as large as the spring.
  for (int k = 0; k < 3; ++k) {
    ElementGroup& springs = springGroups_[static_cast<std::size_t>(k)];
    springs.name = "SUPPORTS" + std::to_string(k + 1);
    springs.type = "SPRING2";
    springs.section.kind = SectionCard::Kind::Spring;
    springs.section.dof = k + 1;
    springs.section.stiffness = options_.armStiffnessFactor * (modulus > 0.0 ? modulus : 1.0) * d;
  }
  std::map<long, std::vector<int>> fixities;
  for (const auto& [node, fixed] : boundaries_) {
    std::vector<int> rotations;
    for (int dof : fixed) {
      if (dof > 3) {
        rotations.push_back(dof);
        continue;
      }
      vec3d offset;
      (dof == 1 ? offset.x : dof == 2 ? offset.y : offset.z) = d;
      const pos3d at = PositionOf(node);
      const long end = NewNode(pos3d(at.x + offset.x, at.y + offset.y, at.z + offset.z));
      springGroups_[static_cast<std::size_t>(dof - 1)].AddRow({nextElement_++, node, end});
      fixities[end] = {1, 2, 3};
      deck_->supportSprings.push_back({end, node, offset});
    }
    if (!rotations.empty()) {
      fixities[node] = rotations;
      deck_->rotationSupports[node] = rotations;
    }
    if (!nodes_.count(node)) {
      const long mid = node;  // a structured binding cannot be captured before C++20
      edges_.ForEach([&](std::uint64_t key, const EdgeNodes& nodes) {
        if (nodes.mid == mid) deck_->supportedMidNodes[mid] = EdgeEnds(key);
      });
    }
  }
  boundaries_ = std::move(fixities);
}

}  // namespace Kestrum::Quilm::Solver::detail
