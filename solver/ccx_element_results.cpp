// Recovery of rotations, beam section forces and reaction moments.
//
// The solver expands every beam into solid elements and prints neither
// rotations nor beam forces, so both are taken from the expanded model:
//  * the rotation of a beam node is the rigid rotation fitted (least
//    squares) to the displacements of the expanded nodes in its section;
//  * a rectangle's beam (B31, an eight-node brick C3D8I) has the section
//    forces of its brick's nodal forces, integrated from the stresses at its
//    2 x 2 x 2 integration points: the face of a node takes
//    -A/8 sum(sigma t) and the moment of that about the node, which is the
//    solver's own element equilibrium and so exact for it;
//  * a pipe or box beam (B32R, whose section the solver integrates in a way
//    of its own) has bending moments from the rotations of its three
//    sections (the curvature between them), which no shear deformation
//    disturbs, the axial force and torque from the stretch and twist of its
//    ends with the section's stiffness, and shear forces as the slope of the
//    moments.
// The deck applies line loads as consistent nodal loads and gravity inside
// the elements; the section forces of the element under its real load
// follow by adding the first node's consistent load and subtracting the
// last node's.
#include "solver/ccx_element_results.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "solver/beam_line_load.hpp"
#include "solver/ccx_runner.hpp"

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

// Translation and rotation of a section.
struct Motion {
  vec3d translation, rotation;
};

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

// The rigid motion that best fits the displacements of `nodes`.
Motion FitRigidMotion(const std::vector<long>& nodes, const FrdResults& frd, const std::map<long, vec3d>& u) {
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
  return {mean, Solve3(a, b)};
}

// The end forces of a beam in the solver's world (line loads as nodal
// loads), as section forces at its first and last node and, where the
// recovery gives it, at its middle.
struct SolverSections {
  SectionForces first, last;
  std::optional<SectionForces> middle;
};

class Recovery {
 public:
  Recovery(const CcxDeck& deck, const FrdResults& frd) : deck_(deck), frd_(frd) {}

  // The motion of the section of `beam` through `at`, from its expanded
  // element's nodes in that plane.
  Motion SectionMotion(const DeckBeam& beam, const pos3d& at, const std::map<long, vec3d>& u) const {
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
    return FitRigidMotion(nodes, frd_, u);
  }

  // Rotations of the printed nodes that beams join, averaged over the beams.
  void Rotations(const std::map<long, vec3d>& u, StepResults& step) const {
    std::map<long, std::pair<vec3d, int>> sums;
    for (const DeckBeam& beam : deck_.beams) {
      const std::pair<long, pos3d> ends[] = {
          {beam.first, beam.firstPos}, {beam.last, beam.lastPos}, {beam.middle, beam.middlePos}};
      for (const auto& [node, at] : ends) {
        if (node == 0 || !step.displacements.count(node)) continue;
        auto& sum = sums[node];
        sum.first += SectionMotion(beam, at, u).rotation;
        ++sum.second;
      }
    }
    for (const auto& [node, sum] : sums) step.rotations[node] = sum.first * (1.0 / sum.second);
  }

  SolverSections FromBrickStresses(const DeckBeam& beam, const std::vector<std::array<double, 6>>& points,
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
    const bool forward = t.dot(beam.x) > 0.0;
    const Frame frame{beam.x, beam.y, beam.z};
    const vec3d& f1 = forward ? fa : fb;
    const vec3d& m1 = forward ? ma : mb;
    const vec3d& f2 = forward ? fb : fa;
    const vec3d& m2 = forward ? mb : ma;
    return {Section(frame.Local(f1) * -1.0, frame.Local(m1) * -1.0),
            Section(frame.Local(f2), frame.Local(m2)), std::nullopt};
  }

  SolverSections FromStiffness(const DeckBeam& beam, const std::map<long, vec3d>& u,
                               const vec3d& gravity) const {
    const Frame frame{beam.x, beam.y, beam.z};
    const Motion a = SectionMotion(beam, beam.firstPos, u), m = SectionMotion(beam, beam.middlePos, u);
    const Motion b = SectionMotion(beam, beam.lastPos, u);
    const double L = Distance(beam.firstPos, beam.lastPos), s = Distance(beam.firstPos, beam.middlePos);
    const vec3d du = frame.Local(b.translation - a.translation);
    const vec3d r1 = frame.Local(a.rotation), rm = frame.Local(m.rotation), r2 = frame.Local(b.rotation);
    const vec3d q = frame.Local(gravity * beam.massPerLength);
    const double E = beam.youngsModulus, G = beam.shearModulus;
    // N' = -qx; the stretch is the integral of N / EA.
    const double n0 = E * beam.area * du.x / L + q.x * L / 2.0;
    const double torque = G * beam.torsion * (r2.x - r1.x) / L;
    // M(x) = a + b x + c x^2, c from the load; rotation differences are
    // integrals of M / EI, at the middle section and at the last.
    auto bending = [&](double atMiddle, double atLast, double c, double EI) {
      const double e1 = EI * atMiddle - c * s * s * s / 3.0, e2 = EI * atLast - c * L * L * L / 3.0;
      const double det = s * L * (L - s) / 2.0;
      return std::pair<double, double>((e1 * L * L / 2.0 - e2 * s * s / 2.0) / det, (s * e2 - L * e1) / det);
    };
    const double cy = -q.z / 2.0, cz = q.y / 2.0;  // My'' = -qz, Mz'' = qy
    const auto [ay, by] = bending(rm.y - r1.y, r2.y - r1.y, cy, E * beam.iy);
    const auto [az, bz] = bending(rm.z - r1.z, r2.z - r1.z, cz, E * beam.iz);
    auto at = [&](double x) {
      return SectionForces{n0 - q.x * x, -(bz + 2 * cz * x),       by + 2 * cy * x,
                           torque,       ay + by * x + cy * x * x, az + bz * x + cz * x * x};
    };
    SolverSections sections{at(0.0), at(L), std::nullopt};
    if (beam.middle != 0) sections.middle = at(s);
    return sections;
  }

  // Section forces of one static step; solver-world end forces of every
  // line element kept for the reaction moments.
  void SectionForcesOf(const std::map<long, vec3d>& u, const ElementStresses& stresses,
                       const DeckStepLoads& loads, StepResults& step) {
    endForces_.clear();
    for (const DeckBeam& beam : deck_.beams) {
      SolverSections sections;
      if (beam.recovery == DeckBeam::Recovery::BrickStresses) {
        const auto points = stresses.find(beam.solverElement);
        if (points == stresses.end()) {
          throw SolverError("the solver printed no stresses for element " +
                            std::to_string(beam.solverElement));
        }
        sections = FromBrickStresses(beam, points->second, loads.gravity);
      } else {
        sections = FromStiffness(beam, u, loads.gravity);
      }
      const Frame frame{beam.x, beam.y, beam.z};
      endForces_.push_back(
          {frame.Global(MomentOf(sections.first)) * -1.0, frame.Global(MomentOf(sections.last))});
      if (beam.modelElement == 0) continue;
      CorrectForLineLoad(beam, loads, sections);
      Solver::BeamForces& forces = step.beamForces[beam.modelElement];
      if (beam.half != 2) forces.start = sections.first;
      if (beam.half != 1) forces.end = sections.last;
      if (beam.half == 1) forces.middle = sections.last;
      if (sections.middle) forces.middle = sections.middle;
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
        if (deck_.beams[i].first == node) moment += endForces_[i].first;
        if (deck_.beams[i].last == node) moment += endForces_[i].second;
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
  // end, the last node's leaves them at the last end, and a middle section
  // also carries the load between the first end and itself.
  static void CorrectForLineLoad(const DeckBeam& beam, const DeckStepLoads& loads, SolverSections& sections) {
    const auto line = loads.lineLoads.find(beam.solverElement);
    if (line == loads.lineLoads.end()) return;
    const auto& [q1, q2] = line->second;
    const EndLoads f0 = ConsistentLineLoads(beam.firstPos, beam.lastPos, q1, q2);
    const Frame frame{beam.x, beam.y, beam.z};
    sections.first = Plus(sections.first, frame.Local(f0.force1), frame.Local(f0.moment1));
    sections.last = Plus(sections.last, frame.Local(f0.force2) * -1.0, frame.Local(f0.moment2) * -1.0);
    if (!sections.middle) return;
    const double L = Distance(beam.firstPos, beam.lastPos), s = Distance(beam.firstPos, beam.middlePos);
    const vec3d k = (q2 - q1) * (1.0 / L);
    const vec3d force = f0.force1 - q1 * s - k * (s * s / 2.0);
    const vec3d moment =
        f0.moment1 - beam.x.cross(f0.force1) * s + beam.x.cross(q1 * (s * s / 2.0) + k * (s * s * s / 6.0));
    sections.middle = Plus(*sections.middle, frame.Local(force), frame.Local(moment));
  }

  const CcxDeck& deck_;
  const FrdResults& frd_;
  // Per deck beam: the moments its first and last node exert on it.
  std::vector<std::pair<vec3d, vec3d>> endForces_;
};

}  // namespace

void RecoverElementResults(const CcxDeck& deck, const FrdResults& frd,
                           const std::vector<ElementStresses>& stresses, SolveResults& results) {
  // The .frd holds a displacement block per static step, per mode, and per
  // buckling mode after the buckling step's preloading.
  const std::size_t statics = results.steps.size(), modes = results.modes.size();
  const std::size_t needed = statics + modes + (results.buckling.empty() ? 0 : 1 + results.buckling.size());
  if (frd.displacementBlocks.size() != needed || stresses.size() != statics ||
      deck.stepLoads.size() != statics) {
    throw SolverError("the solver's result files do not match the deck (" +
                      std::to_string(frd.displacementBlocks.size()) + " displacement blocks for " +
                      std::to_string(needed) + " analyses)");
  }
  Recovery recovery(deck, frd);
  for (std::size_t i = 0; i < statics; ++i) {
    const auto& u = frd.displacementBlocks[i];
    recovery.Rotations(u, results.steps[i]);
    recovery.SectionForcesOf(u, stresses[i], deck.stepLoads[i], results.steps[i]);
    recovery.ReactionMoments(deck.stepLoads[i], results.steps[i]);
  }
  for (std::size_t i = 0; i < modes; ++i)
    recovery.Rotations(frd.displacementBlocks[statics + i], results.modes[i]);
  for (std::size_t i = 0; i < results.buckling.size(); ++i) {
    recovery.Rotations(frd.displacementBlocks[statics + modes + 1 + i], results.buckling[i]);
  }
}

}  // namespace Kestrum::Quilm::Solver::detail

namespace Kestrum::Quilm::Solver::detail {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

SolveResults ReadRunResults(const CcxDeck& deck, const std::string& directory) {
  const std::size_t cases = deck.loadCaseSteps.size();
  DatLayout layout;
  layout.staticSteps = cases + deck.combinationNames.size();
  layout.frequencies = deck.frequencyCount > 0;
  layout.buckling = deck.bucklingModes > 0;
  std::vector<ElementStresses> stresses;
  SolveResults results =
      ParseCcxDat(ReadText(directory + "/job.dat"), layout, deck.elementResults ? &stresses : nullptr);
  for (std::size_t i = 0; i < results.steps.size(); ++i) {
    StepResults& step = results.steps[i];
    if (i < cases) {
      step.loadCase = deck.loadCaseSteps[i];
      step.name = i < deck.loadCaseNames.size() ? deck.loadCaseNames[i] : "";
    } else {
      step.kind = AnalysisKind::Combination;
      step.name = deck.combinationNames[i - cases];
    }
  }
  for (StepResults& mode : results.buckling) mode.loadCase = deck.bucklingCase;
  FoldSupportReactions(deck, results);
  // Shapes keep the model's nodes only; the forces printed with them are
  // no reactions.
  for (auto* shapes : {&results.modes, &results.buckling}) {
    for (StepResults& shape : *shapes) {
      for (const SupportSpring& spring : deck.supportSprings) shape.displacements.erase(spring.end);
      shape.reactions.clear();
    }
  }
  if (deck.elementResults) {
    std::ifstream frdFile(directory + "/job.frd");
    if (!frdFile) throw SolverError("the solver wrote no " + directory + "/job.frd");
    RecoverElementResults(deck, ReadFrd(frdFile), stresses, results);
  }
  results.combinations.assign(std::make_move_iterator(results.steps.begin() + static_cast<long>(cases)),
                              std::make_move_iterator(results.steps.end()));
  results.steps.resize(cases);
  return results;
}

}  // namespace Kestrum::Quilm::Solver::detail
