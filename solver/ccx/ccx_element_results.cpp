// Recovery of rotations, beam section forces, reaction moments and shell
// stresses.
//
// The solver expands every beam into solid elements and prints neither
// rotations nor beam forces, so both are taken from the expanded model:
//  * the rotation of a beam node is the rigid rotation fitted (least
//    squares) to the displacements of the expanded nodes in its section;
//  * a rectangle's beam (B31, expanded into an eight-node brick) has the
//    section forces of its brick's nodal forces, integrated from the
//    stresses at its 2 x 2 x 2 integration points: the face of a node takes
//    -A/8 sum(sigma t) and the moment of that about the node, which is the
//    solver's own element equilibrium and so exact for it;
//  * a pipe or box (B32R, a twenty-node brick whose section the solver
//    integrates at points round its walls, beam_section_points.hpp) likewise:
//    the shape functions of the nodes of an end face sum to xi (xi -+ 1) / 2
//    along the element, so the face's nodal force is the integral of sigma
//    times that function's gradient, and its moment about the beam node the
//    integral of the same with the face's own shape of the section offsets.
//    Their middle sections follow from the first end's by statics.
// Shells (S8R, a layer of twenty-node bricks) have their stresses at their
// centres from the means of their integration points, and the rotations of
// their nodes from the top and bottom expanded nodes.
// The deck applies line loads as consistent nodal loads and gravity inside
// the elements; the section forces of the element under its real load
// follow by adding the first node's consistent load and subtracting the
// last node's.
#include "solver/ccx/ccx_element_results.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

#include "solver/ccx/beam_line_load.hpp"
#include "solver/ccx/beam_section_points.hpp"
#include "solver/shared/load_combination.hpp"

namespace Kestrum::Quilm::Solver::detail {
namespace {

constexpr double kGauss = 0.57735026918962576;  // 1 / sqrt(3)

// The element's local axes.
struct Frame {
  vec3d x, y, z;
  vec3d Local(const vec3d& v) const { return {v.dot(x), v.dot(y), v.dot(z)}; }
  vec3d Global(const vec3d& v) const { return x * v.x + y * v.y + z * v.z; }
};

SectionForces Section(const vec3d& f, const vec3d& m) { return {f.x, f.y, f.z, m.x, m.y, m.z}; }
vec3d ForceOf(const SectionForces& s) { return {s.N, s.Vy, s.Vz}; }
vec3d MomentOf(const SectionForces& s) { return {s.T, s.My, s.Mz}; }

SectionForces Plus(const SectionForces& s, const vec3d& f, const vec3d& m) {
  return Section(ForceOf(s) + f, MomentOf(s) + m);
}

double Distance(const pos3d& a, const pos3d& b) { return vec3d(a, b).length(); }

// Solves the symmetric 3 x 3 system a v = b by Cramer's rule.
vec3d Solve3(const double a[3][3], const vec3d& b) {
  auto det = [](const double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  };
  const double d = det(a);
  if (d == 0.0) throw SolverError("the expanded nodes of a beam section are collinear");
  const double rhs[3] = {b.x, b.y, b.z};
  double out[3];
  for (int c = 0; c < 3; ++c) {
    double m[3][3];
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) m[i][j] = j == c ? rhs[i] : a[i][j];
    }
    out[c] = det(m) / d;
  }
  return {out[0], out[1], out[2]};
}

// The rigid rotation that best fits the displacements of `nodes`.
vec3d FitRigidRotation(const std::vector<long>& nodes, const FrdResults& frd,
                       const std::map<long, vec3d>& u) {
  vec3d c, mean;
  for (long n : nodes) {
    const pos3d& p = frd.nodes.at(n);
    c += vec3d(p.x, p.y, p.z);
    mean += u.at(n);
  }
  c *= 1.0 / nodes.size();
  mean *= 1.0 / nodes.size();
  double a[3][3] = {};
  vec3d b;
  for (long n : nodes) {
    const pos3d& p = frd.nodes.at(n);
    const vec3d r = vec3d(p.x, p.y, p.z) - c;
    const double rr[3] = {r.x, r.y, r.z};
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) a[i][j] += (i == j ? r.dot(r) : 0.0) - rr[i] * rr[j];
    }
    b += r.cross(u.at(n) - mean);
  }
  return Solve3(a, b);
}

// In-plane stresses in a shell's local system.
struct InPlane {
  double sx, sy, sxy;
};

// The in-plane components of the global stress s (sxx, syy, szz, sxy, sxz,
// syz) in the shell's axes.
InPlane InPlaneStresses(const std::array<double, 6>& s, const DeckShell& shell) {
  auto apply = [&](const vec3d& v) {
    return vec3d(s[0] * v.x + s[3] * v.y + s[4] * v.z, s[3] * v.x + s[1] * v.y + s[5] * v.z,
                 s[4] * v.x + s[5] * v.y + s[2] * v.z);
  };
  const vec3d sx = apply(shell.x), sy = apply(shell.y);
  return {shell.x.dot(sx), shell.y.dot(sy), shell.x.dot(sy)};
}

// The section forces of a beam at its first and last node.
struct EndSections {
  SectionForces first, last;
};

class Recovery {
 public:
  Recovery(const CcxDeck& deck, const FrdResults& frd) : deck_(deck), frd_(frd) {}

  // The rotation of the section of `beam` through `at`, from its expanded
  // element's nodes in that plane.
  vec3d SectionRotation(const DeckBeam& beam, const pos3d& at, const std::map<long, vec3d>& u) const {
    const auto element = frd_.elements.find(beam.solverElement);
    if (element == frd_.elements.end()) {
      throw SolverError("the solver wrote no expanded element for element " +
                        std::to_string(beam.solverElement));
    }
    const double tolerance = 0.2 * Distance(beam.firstPos, beam.lastPos);
    std::vector<long> nodes;
    for (long n : element->second) {
      const auto p = frd_.nodes.find(n);
      if (p == frd_.nodes.end() || !u.count(n)) continue;
      if (std::abs(vec3d(at, p->second).dot(beam.tangent)) < tolerance) nodes.push_back(n);
    }
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    if (nodes.size() < 3) {
      throw SolverError("the solver wrote too few expanded nodes for element " +
                        std::to_string(beam.solverElement));
    }
    return FitRigidRotation(nodes, frd_, u);
  }

  // Rotations of the printed nodes that beams join, averaged over the beams.
  void Rotations(const std::map<long, vec3d>& u, StepResults& step) const {
    std::map<long, std::pair<vec3d, int>> sums;
    for (const DeckBeam& beam : deck_.beams) {
      const std::pair<long, pos3d> ends[] = {{beam.first, beam.firstPos}, {beam.last, beam.lastPos}};
      for (const auto& [node, at] : ends) {
        if (node == 0 || !step.displacements.count(node)) continue;
        auto& sum = sums[node];
        sum.first += SectionRotation(beam, at, u);
        ++sum.second;
      }
    }
    for (const auto& [node, sum] : sums) step.rotations[node] = sum.first * (1.0 / sum.second);
    // Nodes that only shells join: the rotation about the in-plane axes
    // from the difference of the top and bottom expanded nodes; none about
    // the normal (the solver's shells have no such stiffness).
    std::map<long, std::pair<vec3d, int>> shellSums;
    for (const DeckShell& shell : deck_.shells) {
      for (std::size_t k = 0; k < shell.corners.size(); ++k) {
        const long node = shell.corners[k];
        if (sums.count(node) || !step.displacements.count(node)) continue;
        if (auto rotation = ShellRotation(shell, shell.cornerPositions[k], u)) {
          auto& sum = shellSums[node];
          sum.first += *rotation;
          ++sum.second;
        }
      }
    }
    for (const auto& [node, sum] : shellSums) step.rotations[node] = sum.first * (1.0 / sum.second);
  }

  // The in-plane rotation of a shell at its corner `at`, from the expanded
  // nodes of its solver element(s) on the normal through that corner.
  std::optional<vec3d> ShellRotation(const DeckShell& shell, const pos3d& at,
                                     const std::map<long, vec3d>& u) const {
    // Well inside the spacing of the expanded nodes (half an edge), well
    // outside the rounding of their printed coordinates.
    double edge = Distance(shell.cornerPositions.front(), shell.cornerPositions.back());
    for (std::size_t k = 1; k < shell.cornerPositions.size(); ++k)
      edge = std::min(edge, Distance(shell.cornerPositions[k - 1], shell.cornerPositions[k]));
    const double tolerance = 0.05 * edge;
    double low = 0.0, high = 0.0;
    std::optional<vec3d> bottom, top;
    for (long part : shell.parts) {
      const auto element = frd_.elements.find(part);
      if (element == frd_.elements.end()) continue;
      for (long n : element->second) {
        const auto p = frd_.nodes.find(n);
        const auto d = u.find(n);
        if (p == frd_.nodes.end() || d == u.end()) continue;
        const vec3d r(at, p->second);
        const double depth = r.dot(shell.z);
        if ((r - shell.z * depth).length() > tolerance) continue;
        if (!bottom || depth < low) low = depth, bottom = d->second;
        if (!top || depth > high) high = depth, top = d->second;
      }
    }
    if (!bottom || !(high - low > 0.5 * shell.thickness)) return std::nullopt;
    return shell.z.cross(*top - *bottom) * (1.0 / (high - low));
  }

  // The section forces at the model element's first and last node from
  // what the solver element's first (a) and last (b) node exert on it.
  static EndSections Oriented(const DeckBeam& beam, const vec3d& fa, const vec3d& ma, const vec3d& fb,
                              const vec3d& mb) {
    const bool forward = beam.tangent.dot(beam.x) > 0.0;
    const Frame frame{beam.x, beam.y, beam.z};
    const vec3d& f1 = forward ? fa : fb;
    const vec3d& m1 = forward ? ma : mb;
    const vec3d& f2 = forward ? fb : fa;
    const vec3d& m2 = forward ? mb : ma;
    return {Section(frame.Local(f1) * -1.0, frame.Local(m1) * -1.0),
            Section(frame.Local(f2), frame.Local(m2))};
  }

  // The section forces of the solver's element (line loads as nodal loads).
  EndSections FromBrickStresses(const DeckBeam& beam, const std::vector<std::array<double, 6>>& points,
                                const vec3d& gravity) const {
    if (points.size() != 8) {
      throw SolverError("expected 8 integration points of element " + std::to_string(beam.solverElement) +
                        ", the solver printed " + std::to_string(points.size()));
    }
    const vec3d t = beam.tangent, n1 = beam.n1, n2 = t.cross(n1);
    const double L = Distance(beam.firstPos, beam.lastPos);
    const double w = beam.width1 * beam.width2 / 8.0;
    // What the solver's first and last node exert on the element.
    vec3d fa, ma, fb, mb;
    for (std::size_t g = 0; g < 8; ++g) {
      // Integration points run through xi (along t), then eta (along -n2),
      // then zeta (along n1), as the solver expands the beam.
      const double xi = (g & 1 ? 1 : -1) * kGauss, eta = (g & 2 ? 1 : -1) * kGauss;
      const double zeta = (g & 4 ? 1 : -1) * kGauss;
      const auto& s = points[g];  // sxx, syy, szz, sxy, sxz, syz
      const vec3d traction(s[0] * t.x + s[3] * t.y + s[4] * t.z, s[3] * t.x + s[1] * t.y + s[5] * t.z,
                           s[4] * t.x + s[5] * t.y + s[2] * t.z);
      const vec3d r = t * ((1 + xi) * L / 2) + n1 * (zeta * beam.width1 / 2) - n2 * (eta * beam.width2 / 2);
      fa = fa - traction * w;
      ma = ma - r.cross(traction) * w;
      fb += traction * w;
      mb += (r - t * L).cross(traction) * w;
    }
    // Gravity acts inside the brick: half its weight goes to each end.
    const vec3d weight = gravity * (beam.massPerLength * L / 2.0);
    fa = fa - weight;
    fb = fb - weight;
    return Oriented(beam, fa, ma, fb, mb);
  }

  // The section forces of a pipe's or box's twenty-node brick from the
  // stresses at its two stations of section points (line loads as nodal
  // loads). Gravity acts inside the brick: a sixth of its weight goes to
  // each end face, two thirds to the middle.
  EndSections FromWallStresses(const DeckBeam& beam, const std::vector<std::array<double, 6>>& points,
                               const vec3d& gravity) const {
    const std::vector<SectionPoint> section = SolverSectionPoints(beam);
    if (points.size() != 2 * section.size()) {
      throw SolverError("expected " + std::to_string(2 * section.size()) + " integration points of element " +
                        std::to_string(beam.solverElement) + ", the solver printed " +
                        std::to_string(points.size()));
    }
    const vec3d t = beam.tangent, n1 = beam.n1, n2 = t.cross(n1);
    const double L = Distance(beam.firstPos, beam.lastPos);
    vec3d fa, ma, fb, mb;  // the element's nodal forces at its first and last face
    for (std::size_t station = 0; station < 2; ++station) {
      const double xi = station == 0 ? -kGauss : kGauss;
      const double valueA = xi * (xi - 1) / 2, slopeA = (2 * xi - 1) / L;
      const double valueB = xi * (xi + 1) / 2, slopeB = (2 * xi + 1) / L;
      for (std::size_t k = 0; k < section.size(); ++k) {
        const auto& s = points[station * section.size() + k];  // sxx, syy, szz, sxy, sxz, syz
        auto stress = [&s](const vec3d& v) {
          return vec3d(s[0] * v.x + s[3] * v.y + s[4] * v.z, s[3] * v.x + s[1] * v.y + s[5] * v.z,
                       s[4] * v.x + s[5] * v.y + s[2] * v.z);
        };
        const double volume = section[k].area * L / 2;  // Gauss weight 1 along the element
        const vec3d traction = stress(t);
        const vec3d r = n1 * section[k].along1 + n2 * section[k].along2;
        const vec3d twist = n1.cross(stress(n1)) + n2.cross(stress(n2));
        fa += traction * (slopeA * volume);
        fb += traction * (slopeB * volume);
        ma += (r.cross(traction) * slopeA + twist * valueA) * volume;
        mb += (r.cross(traction) * slopeB + twist * valueB) * volume;
      }
    }
    const vec3d weight = gravity * (beam.massPerLength * L / 6.0);
    return Oriented(beam, fa - weight, ma, fb - weight, mb);
  }

  // Section forces of one static step; the solver's end moments of every
  // line element are kept for the reaction moments.
  void SectionForcesOf(const ElementStresses& stresses, const DeckStepLoads& loads, StepResults& step) {
    endMoments_.assign(deck_.beams.size(), {});
    for (std::size_t i = 0; i < deck_.beams.size(); ++i) {
      const DeckBeam& beam = deck_.beams[i];
      const auto points = stresses.find(beam.solverElement);
      if (points == stresses.end()) {
        throw SolverError("the solver printed no stresses for element " + std::to_string(beam.solverElement));
      }
      const bool wall = beam.recovery != DeckBeam::Recovery::BrickStresses;
      EndSections sections = wall ? FromWallStresses(beam, points->second, loads.gravity)
                                  : FromBrickStresses(beam, points->second, loads.gravity);
      const Frame frame{beam.x, beam.y, beam.z};
      endMoments_[i] = {frame.Global(MomentOf(sections.first)) * -1.0, frame.Global(MomentOf(sections.last))};
      if (beam.modelElement == 0) continue;
      CorrectForLineLoad(beam, loads, sections);
      Solver::BeamForces& forces = step.beamForces[beam.modelElement];
      if (beam.half != 2) forces.start = sections.first;
      if (beam.half != 1) forces.end = sections.last;
      if (beam.half == 1) forces.middle = sections.last;
      if (wall) forces.middle = MiddleFromFirst(beam, loads, sections.first);
    }
  }

  // Stresses at the centres of the shells: the solver's quadrilateral
  // (S8R, a twenty-node brick through the thickness) has its integration
  // points at +-1/sqrt(3) of its half sides and half thickness, the upper
  // four (zeta > 0) towards its normal; their means are the centre's
  // stresses at those depths, from which the resultants follow (stresses
  // linear through the thickness). A triangle's three quadrilaterals are
  // averaged.
  void ShellStressesOf(const ElementStresses& stresses, StepResults& step) const {
    for (const DeckShell& shell : deck_.shells) {
      std::array<double, 6> lower{}, upper{};
      for (long part : shell.parts) {
        const auto points = stresses.find(part);
        if (points == stresses.end() || points->second.size() != 8) {
          throw SolverError("expected 8 integration points of shell element " + std::to_string(part));
        }
        for (std::size_t g = 0; g < 8; ++g) {
          auto& layer = g & 4 ? upper : lower;
          for (std::size_t k = 0; k < 6; ++k) layer[k] += points->second[g][k] / (4.0 * shell.parts.size());
        }
      }
      const double t = shell.thickness;
      const InPlane below = InPlaneStresses(lower, shell), above = InPlaneStresses(upper, shell);
      ShellStresses& out = step.shellStresses[shell.modelElement];
      out.thickness = t;
      // Mean times t; the slope between the layers (t / sqrt(3) apart) times t^3 / 12.
      const double bending = t * t / (4.0 * std::sqrt(3.0));
      out.nx = t * (above.sx + below.sx) / 2, out.ny = t * (above.sy + below.sy) / 2;
      out.nxy = t * (above.sxy + below.sxy) / 2;
      out.mx = bending * (above.sx - below.sx), out.my = bending * (above.sy - below.sy);
      out.mxy = bending * (above.sxy - below.sxy);
      UpdateVonMises(out);
    }
  }

  // Reaction moments at supports with fixed rotations that only beams join:
  // the moments the beams take from the node, less the moments that the
  // deck left out there (the support takes them).
  void ReactionMoments(const DeckStepLoads& loads, StepResults& step) const {
    for (const auto& [node, dofs] : deck_.rotationSupports) {
      if (std::binary_search(deck_.shellNodes.begin(), deck_.shellNodes.end(), node)) continue;
      vec3d moment;
      for (std::size_t i = 0; i < deck_.beams.size(); ++i) {
        const DeckBeam& beam = deck_.beams[i];
        if (beam.first != node && beam.last != node) continue;
        moment += beam.first == node ? endMoments_[i].first : endMoments_[i].second;
      }
      if (auto held = loads.heldMoments.find(node); held != loads.heldMoments.end())
        moment = moment - held->second;
      vec3d fixed;
      for (int dof : dofs) (dof == 4 ? fixed.x : dof == 5 ? fixed.y : fixed.z) = 1.0;
      step.reactionMoments[node] = vec3d(moment.x * fixed.x, moment.y * fixed.y, moment.z * fixed.z);
    }
  }

 private:
  // From the deck's consistent nodal loads back to the line load along the
  // element: the first node's load joins the section forces from the first
  // end, the last node's leaves them at the last end. A three-node model
  // element took the load as two halves meeting at its middle node.
  static void CorrectForLineLoad(const DeckBeam& beam, const DeckStepLoads& loads, EndSections& sections) {
    const auto line = loads.lineLoads.find(beam.solverElement);
    if (line == loads.lineLoads.end()) return;
    const auto& [q1, q2] = line->second;
    EndLoads first, last;
    if (beam.middle == 0) {
      first = last = ConsistentLineLoads(beam.firstPos, beam.lastPos, q1, q2);
    } else {
      const pos3d m = Middle(beam);
      first = ConsistentLineLoads(beam.firstPos, m, q1, (q1 + q2) * 0.5);
      last = ConsistentLineLoads(m, beam.lastPos, (q1 + q2) * 0.5, q2);
    }
    const Frame frame{beam.x, beam.y, beam.z};
    sections.first = Plus(sections.first, frame.Local(first.force1), frame.Local(first.moment1));
    sections.last = Plus(sections.last, frame.Local(last.force2) * -1.0, frame.Local(last.moment2) * -1.0);
  }

  static pos3d Middle(const DeckBeam& beam) {
    return pos3d((beam.firstPos.x + beam.lastPos.x) / 2, (beam.firstPos.y + beam.lastPos.y) / 2,
                 (beam.firstPos.z + beam.lastPos.z) / 2);
  }

  // The section forces at the middle of an element, by statics from those
  // at its first end and the loads on its first half (line load and
  // weight, varying linearly from q1 to qm over the half h): their
  // resultant h (q1 + qm) / 2 and their moment about the middle
  // -h^2 x cross (2 q1 + qm) / 6.
  static SectionForces MiddleFromFirst(const DeckBeam& beam, const DeckStepLoads& loads,
                                       const SectionForces& first) {
    vec3d q1 = loads.gravity * beam.massPerLength, qm = q1;
    if (const auto line = loads.lineLoads.find(beam.solverElement); line != loads.lineLoads.end()) {
      q1 += line->second.first;
      qm += (line->second.first + line->second.second) * 0.5;
    }
    const Frame frame{beam.x, beam.y, beam.z};
    const double h = Distance(beam.firstPos, beam.lastPos) / 2;
    const vec3d force = frame.Global(ForceOf(first)), moment = frame.Global(MomentOf(first));
    const vec3d middleForce = force - (q1 + qm) * (h / 2);
    const vec3d middleMoment = moment - beam.x.cross(force) * h + beam.x.cross(q1 * 2.0 + qm) * (h * h / 6);
    return Section(frame.Local(middleForce), frame.Local(middleMoment));
  }

  const CcxDeck& deck_;
  const FrdResults& frd_;
  // Per deck beam: the moments its first and last node exert on it.
  std::vector<std::pair<vec3d, vec3d>> endMoments_;
};

// Participation factors and effective masses of a mode from the lumped
// node masses: for a unit rigid motion r (a translation, or a rotation about
// an axis through the origin), factor = sum m (phi . r) / sum m phi^2 and
// effective mass = (sum m (phi . r))^2 / sum m phi^2.
void LumpedParticipation(const CcxDeck& deck, StepResults& mode) {
  std::array<double, 6> projection{};
  double norm = 0.0;
  for (const auto& [node, m] : deck.nodeMasses) {
    const auto u = mode.displacements.find(node);
    if (u == mode.displacements.end() || m == 0.0) continue;
    const vec3d& phi = u->second;
    const pos3d& p = deck.nodePositions.at(node);
    const vec3d moment = vec3d(p.x, p.y, p.z).cross(phi);
    const double parts[6] = {phi.x, phi.y, phi.z, moment.x, moment.y, moment.z};
    for (std::size_t k = 0; k < 6; ++k) projection[k] += m * parts[k];
    norm += m * phi.dot(phi);
  }
  if (!(norm > 0.0)) return;
  for (std::size_t k = 0; k < 6; ++k) {
    mode.participation[k] = projection[k] / norm;
    mode.effectiveMass[k] = projection[k] * projection[k] / norm;
  }
}

}  // namespace

void RecoverElementResults(const CcxDeck& deck, const FrdResults& frd,
                           const std::vector<ElementStresses>& stresses, SolveResults& results) {
  // The .frd holds a displacement block per static step, per mode, and per
  // buckling mode after the buckling step's preloading.
  const std::size_t statics = results.steps.size(), modes = results.modes.size();
  const std::size_t needed = statics + modes + (results.buckling.empty() ? 0 : 1 + results.buckling.size());
  if (frd.displacementBlocks.size() != needed || stresses.size() < statics ||
      deck.stepLoads.size() != statics) {
    throw SolverError("the solver's result files do not match the deck (" +
                      std::to_string(frd.displacementBlocks.size()) + " displacement blocks for " +
                      std::to_string(needed) + " analyses)");
  }
  Recovery recovery(deck, frd);
  for (std::size_t i = 0; i < statics; ++i) {
    const auto& u = frd.displacementBlocks[i];
    recovery.Rotations(u, results.steps[i]);
    recovery.SectionForcesOf(stresses[i], deck.stepLoads[i], results.steps[i]);
    recovery.ReactionMoments(deck.stepLoads[i], results.steps[i]);
    recovery.ShellStressesOf(stresses[i], results.steps[i]);
  }
  // A mode's section forces are those of its shape, which carries no load.
  const DeckStepLoads unloaded;
  for (std::size_t i = 0; i < modes; ++i) {
    recovery.Rotations(frd.displacementBlocks[statics + i], results.modes[i]);
    const std::size_t at = statics + static_cast<std::size_t>(results.modes[i].mode) - 1;
    if (results.modes[i].mode >= 1 && at < stresses.size())
      recovery.SectionForcesOf(stresses[at], unloaded, results.modes[i]);
    LumpedParticipation(deck, results.modes[i]);
  }
  for (std::size_t i = 0; i < results.buckling.size(); ++i) {
    recovery.Rotations(frd.displacementBlocks[statics + modes + 1 + i], results.buckling[i]);
  }
}

}  // namespace Kestrum::Quilm::Solver::detail
