// Superposition of linear load-case results and envelopes over analyses.
#include "solver/shared/load_combination.hpp"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace Kestrum::Quilm::Solver {
namespace {

// A whole number or a decimal number at `at`, moving `at` past it.
double ReadNumber(const std::string& text, std::size_t& at, const std::string& what) {
  const char* begin = text.c_str() + at;
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  if (end == begin || !std::isfinite(value)) {
    throw std::invalid_argument("combination '" + text + "': expected " + what + " at '" + text.substr(at) +
                                "'");
  }
  at += static_cast<std::size_t>(end - begin);
  return value;
}

// factor * (values of one step), added into the sum; places missing from
// the step are dropped from the sum (the first step defines the places).
template <typename Map, typename AddScaled>
void Accumulate(Map& sum, const Map& part, double factor, bool first, AddScaled addScaled) {
  if (first) {
    for (const auto& [id, value] : part) addScaled(sum[id], value, factor);
    return;
  }
  for (auto it = sum.begin(); it != sum.end();) {
    auto found = part.find(it->first);
    if (found == part.end()) {
      it = sum.erase(it);
      continue;
    }
    addScaled(it->second, found->second, factor);
    ++it;
  }
}

void AddVector(vec3d& sum, const vec3d& v, double f) { sum += v * f; }

void AddSection(SectionForces& s, const SectionForces& v, double f) {
  s.N += f * v.N, s.Vy += f * v.Vy, s.Vz += f * v.Vz, s.T += f * v.T, s.My += f * v.My, s.Mz += f * v.Mz;
}

// Stations superpose where they lie at the same places.
void AddStations(std::vector<BeamStationForces>& sum, const std::vector<BeamStationForces>& v, double f) {
  if (sum.empty()) {
    for (const BeamStationForces& station : v) sum.push_back({station.x, {}});
  }
  if (sum.size() != v.size()) return sum.clear();
  for (std::size_t k = 0; k < v.size(); ++k) {
    if (sum[k].x != v[k].x) return sum.clear();
    AddSection(sum[k].forces, v[k].forces, f);
  }
}

void AddBeam(BeamForces& sum, const BeamForces& v, double f) {
  AddSection(sum.start, v.start, f);
  AddSection(sum.end, v.end, f);
  if (v.middle) AddSection(sum.middle ? *sum.middle : sum.middle.emplace(), *v.middle, f);
}

void AddShell(ShellStresses& s, const ShellStresses& v, double f) {
  const bool fresh = s.thickness == 0.0;  // a shell's thickness is positive
  s.thickness = v.thickness;
  s.nx += f * v.nx, s.ny += f * v.ny, s.nxy += f * v.nxy;
  s.mx += f * v.mx, s.my += f * v.my, s.mxy += f * v.mxy;
  s.qx += f * v.qx, s.qy += f * v.qy;
  // Corners superpose where every analysis has them.
  if (fresh) s.corners.resize(v.corners.size());
  if (s.corners.size() == v.corners.size()) {
    for (std::size_t k = 0; k < v.corners.size(); ++k) AddShell(s.corners[k], v.corners[k], f);
  } else {
    s.corners.clear();
  }
  // Von Mises stresses do not superpose; they are recomputed below from the
  // superposed resultants.
}

// Enters `values` of analysis `index` into `extremes`.
template <std::size_t N>
void Enter(std::array<Extreme, N>& extremes, const std::array<double, N>& values, std::size_t index,
           bool first) {
  for (std::size_t k = 0; k < N; ++k) {
    Extreme& e = extremes[k];
    if (first || values[k] > e.max) e.max = values[k], e.maxAt = index;
    if (first || values[k] < e.min) e.min = values[k], e.minAt = index;
  }
}

template <std::size_t N, typename Map, typename ToArray>
void EnvelopeOf(std::map<long, std::array<Extreme, N>>& out, const Map& values, std::size_t index,
                ToArray toArray) {
  for (const auto& [id, value] : values) {
    auto [it, inserted] = out.try_emplace(id);
    Enter(it->second, toArray(value), index, inserted);
  }
}

std::array<double, 3> Components(const vec3d& v) { return {v.x, v.y, v.z}; }

std::array<double, 18> Components(const BeamForces& b) {
  std::array<double, 18> out{};
  const SectionForces none;
  const SectionForces* parts[] = {&b.start, b.middle ? &*b.middle : &none, &b.end};
  for (std::size_t p = 0; p < 3; ++p) {
    const SectionForces& s = *parts[p];
    const double v[] = {s.N, s.Vy, s.Vz, s.T, s.My, s.Mz};
    for (std::size_t k = 0; k < 6; ++k) out[6 * p + k] = v[k];
  }
  return out;
}

std::array<double, 9> Components(const ShellStresses& s) {
  return {s.nx, s.ny, s.nxy, s.mx, s.my, s.mxy, s.vonMisesTop, s.vonMisesMiddle, s.vonMisesBottom};
}

}  // namespace

void UpdateVonMises(ShellStresses& s) {
  const double t = s.thickness;
  if (!(t > 0.0)) return;
  auto at = [&](double side) {  // 1 top, 0 middle, -1 bottom: n / t + 6 m / t^2 on the surfaces
    const double k = 6.0 * side / (t * t);
    const double sx = s.nx / t + k * s.mx, sy = s.ny / t + k * s.my, sxy = s.nxy / t + k * s.mxy;
    return std::sqrt(sx * sx - sx * sy + sy * sy + 3 * sxy * sxy);
  };
  s.vonMisesTop = at(1.0), s.vonMisesMiddle = at(0.0), s.vonMisesBottom = at(-1.0);
  // The transverse shear stress is parabolic through the thickness: 1.5 q/t
  // at the middle surface, nothing at the faces.
  const double txz = 1.5 * s.qx / t, tyz = 1.5 * s.qy / t;
  s.vonMisesMiddle = std::sqrt(s.vonMisesMiddle * s.vonMisesMiddle + 3 * (txz * txz + tyz * tyz));
  for (ShellStresses& corner : s.corners) UpdateVonMises(corner);
}

LoadCombination ParseLoadCombination(const std::string& text) {
  LoadCombination combination;
  const auto equals = text.find('=');
  if (equals == std::string::npos || equals == 0) {
    throw std::invalid_argument("combination '" + text + "': expected NAME=factor*case+...");
  }
  combination.name = text.substr(0, equals);
  std::size_t at = equals + 1;
  while (at < text.size()) {
    double sign = 1.0;
    if (text[at] == '+' || text[at] == '-') {
      sign = text[at] == '-' ? -1.0 : 1.0;
      ++at;
    } else if (!combination.factors.empty()) {
      throw std::invalid_argument("combination '" + text + "': expected + or - at '" + text.substr(at) + "'");
    }
    double factor = ReadNumber(text, at, "a factor or a load case");
    double loadCase = factor;
    if (at < text.size() && text[at] == '*') {
      ++at;
      loadCase = ReadNumber(text, at, "a load case");
    } else {
      factor = 1.0;
    }
    if (loadCase != std::floor(loadCase) || loadCase <= 0) {
      throw std::invalid_argument("combination '" + text + "': load cases are positive whole numbers");
    }
    combination.factors.emplace_back(static_cast<long>(loadCase), sign * factor);
  }
  if (combination.factors.empty()) throw std::invalid_argument("combination '" + text + "' has no load case");
  return combination;
}

StepResults Superpose(const SolveResults& results, const LoadCombination& combination) {
  if (combination.factors.empty()) {
    throw std::invalid_argument("combination '" + combination.name + "' has no load case");
  }
  StepResults sum;
  sum.kind = AnalysisKind::Combination;
  sum.name = combination.name;
  bool first = true;
  for (const auto& [loadCase, factor] : combination.factors) {
    const StepResults* step = nullptr;
    for (const StepResults& s : results.steps) {
      if (s.loadCase == loadCase) step = &s;
    }
    if (!step) {
      throw SolverError("combination '" + combination.name + "': load case " + std::to_string(loadCase) +
                        " has no results");
    }
    Accumulate(sum.displacements, step->displacements, factor, first, AddVector);
    Accumulate(sum.rotations, step->rotations, factor, first, AddVector);
    Accumulate(sum.reactions, step->reactions, factor, first, AddVector);
    Accumulate(sum.reactionMoments, step->reactionMoments, factor, first, AddVector);
    Accumulate(sum.beamForces, step->beamForces, factor, first, AddBeam);
    Accumulate(sum.shellStresses, step->shellStresses, factor, first, AddShell);
    Accumulate(sum.beamStations, step->beamStations, factor, first, AddStations);
    first = false;
  }
  for (auto& entry : sum.shellStresses) UpdateVonMises(entry.second);
  return sum;
}

Envelope MakeEnvelope(const std::vector<const StepResults*>& analyses) {
  Envelope envelope;
  for (std::size_t i = 0; i < analyses.size(); ++i) {
    const StepResults& a = *analyses[i];
    envelope.analyses.push_back(a.name);
    auto vector = [](const vec3d& v) { return Components(v); };
    EnvelopeOf(envelope.displacements, a.displacements, i, vector);
    EnvelopeOf(envelope.rotations, a.rotations, i, vector);
    EnvelopeOf(envelope.reactions, a.reactions, i, vector);
    EnvelopeOf(envelope.reactionMoments, a.reactionMoments, i, vector);
    EnvelopeOf(envelope.beamForces, a.beamForces, i, [](const BeamForces& b) { return Components(b); });
    EnvelopeOf(envelope.shellStresses, a.shellStresses, i,
               [](const ShellStresses& s) { return Components(s); });
  }
  return envelope;
}

}  // namespace Kestrum::Quilm::Solver
