// The solve summary of quilm-export.
#include "results_summary.hpp"

#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "quantity.hpp"

namespace quilm_export {

namespace {

using quilm_tools::In;
using quilm_tools::Si;

double Length(const vec3d& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

std::string Forces(const vec3d& f) {
  const double v[3] = {f.x, f.y, f.z};
  return quilm_tools::InAll(v, 3, quilm_tools::kForce);
}

// `text` right-aligned in `width` characters (not bytes: "µ" is two).
std::string Right(const std::string& text, std::size_t width) {
  std::size_t characters = 0;
  for (unsigned char c : text) characters += (c & 0xC0) != 0x80;
  return std::string(width > characters ? width - characters : 0, ' ') + text;
}

// One aligned table row: a label column and three values in engineering form.
void Row(std::ostream& out, const std::string& label, const vec3d& v, const quilm_tools::EngineeringUnit& unit) {
  char first[32];
  std::snprintf(first, sizeof first, "    %-10s", label.c_str());
  out << first << " " << Right(In(v.x, unit), 14) << " " << Right(In(v.y, unit), 14) << " "
      << Right(In(v.z, unit), 14) << "\n";
}

// `v` with the components that are rounding noise beside its length
// (below a part in a billion) set to zero.
vec3d WithoutNoise(vec3d v) {
  const double noise = 1e-9 * Length(v);
  for (double* c : {&v.x, &v.y, &v.z})
    if (std::abs(*c) < noise) *c = 0.0;
  return v;
}

// What the support reactions leave of the applied loads: a few parts in a
// million for a model in equilibrium.
void PrintBalance(std::ostream& out, const vec3d& applied, const vec3d& reactions) {
  const vec3d rest(applied.x + reactions.x, applied.y + reactions.y, applied.z + reactions.z);
  out << "  out of balance    " << Forces(rest);
  if (Length(applied) > 0.0) {
    char share[48];
    std::snprintf(share, sizeof share, ", %.2g %% of the applied loads",
                  100.0 * Length(rest) / Length(applied));
    out << share;
  }
  out << "\n";
}

void Header(std::ostream& out, const char* first, const char* a, const char* b, const char* c) {
  char line[160];
  std::snprintf(line, sizeof line, "    %-10s %14s %14s %14s\n", first, a, b, c);
  out << line;
}

}  // namespace

void PrintSummary(const Solver::SolveResults& results, const Solver::SolvedModel& deck,
                  const SummaryOptions& options, std::ostream& out) {
  std::map<long, long> modelNodeOf;  // printed beam axis node -> the model node it stands for
  for (const auto& [node, axis] : deck.axisNodes) modelNodeOf[axis] = node;
  auto shown = [&](long node) {
    if (modelNodeOf.count(node)) return true;
    if (node >= deck.firstGeneratedNode && deck.firstGeneratedNode > 0) return false;
    return options.usedNodes.empty() || options.usedNodes.count(node) > 0;
  };
  auto nodeLabel = [&](long node) {
    auto it = modelNodeOf.find(node);
    return it == modelNodeOf.end()
               ? "node " + std::to_string(node)
               : "node " + std::to_string(it->second) + " (its beam axis point " + std::to_string(node) + ")";
  };

  std::vector<const Solver::StepResults*> statics;
  for (const auto* steps : {&results.steps, &results.combinations})
    for (const auto& step : *steps) statics.push_back(&step);
  for (const Solver::StepResults* analysis : statics) {
    const Solver::StepResults& step = *analysis;
    if (step.kind == Solver::AnalysisKind::Combination)
      out << "Combination \"" << step.name << "\"\n";
    else
      out << "Load case " << step.loadCase << (step.name.empty() ? "" : " \"" + step.name + "\"") << "\n";
    long maxNode = -1;
    double maxLength = -1;
    for (const auto& [node, u] : step.displacements) {
      if (!shown(node) || Length(u) <= maxLength) continue;
      maxLength = Length(u);
      maxNode = node;
    }
    if (maxNode >= 0) {
      const vec3d& u = step.displacements.at(maxNode);
      out << "  max displacement  " << In(maxLength, quilm_tools::kLength) << " at " << nodeLabel(maxNode)
          << " (ux " << In(u.x, quilm_tools::kLength) << ", uy " << In(u.y, quilm_tools::kLength) << ", uz "
          << In(u.z, quilm_tools::kLength) << ")\n";
    }
    vec3d sum{0, 0, 0};
    std::size_t supports = 0;
    for (long node : deck.supportNodes) {
      auto it = step.reactions.find(node);
      if (it == step.reactions.end()) continue;
      sum = vec3d(sum.x + it->second.x, sum.y + it->second.y, sum.z + it->second.z);
      ++supports;
    }
    const auto stepIndex = static_cast<std::size_t>(&step - results.steps.data());
    const bool hasApplied = stepIndex < deck.appliedForces.size();
    const vec3d applied = hasApplied ? WithoutNoise(deck.appliedForces[stepIndex]) : vec3d();
    if (hasApplied)
      out << "  applied loads     "
          << Forces(applied) << "\n";
    if (supports > 0)
      out << "  support reactions " << Forces(sum)
          << " summed over " << supports << " supported node" << (supports == 1 ? "" : "s") << "\n";
    if (hasApplied && supports > 0) PrintBalance(out, applied, sum);
    if (!options.fullTables) continue;
    out << "  displacements\n";
    Header(out, "node", "ux", "uy", "uz");
    for (const auto& [node, u] : step.displacements)
      if (shown(node))
        Row(out, modelNodeOf.count(node) ? std::to_string(modelNodeOf[node]) + "*" : std::to_string(node), u,
            quilm_tools::kLength);
    if (!modelNodeOf.empty()) out << "    * at the beam axis point of an eccentric node\n";
    if (supports > 0) {
      out << "  reactions\n";
      Header(out, "node", "Fx", "Fy", "Fz");
      for (long node : deck.supportNodes)
        if (auto it = step.reactions.find(node); it != step.reactions.end())
          Row(out, std::to_string(node), it->second, quilm_tools::kForce);
    }
  }
  if (!results.frequencies.empty()) {
    out << "Eigenfrequencies\n";
    for (std::size_t i = 0; i < results.frequencies.size(); ++i) {
      char line[80];
      std::snprintf(line, sizeof line, "  %3zu  %s\n", i + 1, Si(results.frequencies[i], "Hz").c_str());
      out << line;
    }
  }
  if (!results.buckling.empty()) {
    out << "Buckling factors of load case " << results.buckling.front().loadCase << "\n";
    for (const auto& mode : results.buckling) {
      char line[80];
      std::snprintf(line, sizeof line, "  %3d  %.6g\n", mode.mode, mode.eigenvalue);
      out << line;
    }
  }
  if (!options.fullTables && !results.steps.empty()) out << "(--full prints every node and support)\n";
}

}  // namespace quilm_export
