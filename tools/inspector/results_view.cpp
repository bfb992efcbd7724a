// The inspector's views of stored results.
#include "results_view.hpp"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "analysis_model/concept_summary.hpp"
#include "quantity.hpp"

namespace quilm_inspect {

namespace {

using quilm_tools::Si;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// "load case 1 "Dead"", "mode 2 (3.25 Hz)", with " [stale]" once the model
// changed since the analysis was stored.
std::string Label(const am::ResultAnalysis& a) {
  std::string text = std::string(am::AnalysisKindName(a.kind)) + " " + std::to_string(a.number);
  if (!a.name.empty()) text += " " + Quoted(a.name);
  if (a.kind == am::AnalysisKind::Mode) text += " (" + Si(a.value, "Hz") + ")";
  if (a.kind == am::AnalysisKind::Buckling) text += " (load factor " + quilm_tools::Number(a.value) + ")";
  if (a.stale) text += " [stale: the model changed since]";
  return text;
}

using quilm_tools::EngineeringUnit;
using quilm_tools::In;
using quilm_tools::kForce;
using quilm_tools::kLength;
using quilm_tools::kMoment;

// Values in their engineering unit, "-" for a component the solver did not give.
std::string Values(const double* v, int n, const EngineeringUnit& unit) { return quilm_tools::InAll(v, n, unit); }

// A mode or buckling shape is normalised: its values carry no unit.
bool IsShape(const am::ResultAnalysis& a) {
  return a.kind == am::AnalysisKind::Mode || a.kind == am::AnalysisKind::Buckling;
}

void PrintNodeValues(const am::ResultAnalysis& a, const std::vector<double>& motion,
                     const std::vector<double>& reaction, std::ostream& out) {
  const bool shape = IsShape(a);
  if (!motion.empty())
    out << "      u " << Values(motion.data(), 3, shape ? quilm_tools::kShape : kLength) << "  r "
        << Values(motion.data() + 3, 3, shape ? quilm_tools::kShape : quilm_tools::kRotation) << "\n";
  if (!reaction.empty())
    out << "      reaction F " << Values(reaction.data(), 3, shape ? quilm_tools::kShape : kForce) << "  M "
        << Values(reaction.data() + 3, 3, shape ? quilm_tools::kShape : kMoment) << "\n";
}

const char* const kBeamPoints[2][3] = {{"start", "end", ""}, {"start", "middle", "end"}};

void PrintElementValues(am::XafModel& model, const am::ResultAnalysis& a, long element, std::ostream& out) {
  const long analysis = a.id;
  const bool shape = IsShape(a);
  const EngineeringUnit& force = shape ? quilm_tools::kShape : kForce;
  const EngineeringUnit& moment = shape ? quilm_tools::kShape : kMoment;
  auto& r = model.Results();
  const auto forces = r.GetValues(analysis, am::ResultQuantity::BeamForces, element);
  const std::size_t points = forces.size() / 6;
  for (std::size_t p = 0; p < points; ++p)
    out << "      " << (points <= 3 ? kBeamPoints[points == 3][p] : std::to_string(p).c_str())
        << ": N, Vy, Vz " << Values(&forces[6 * p], 3, force) << "  T, My, Mz "
        << Values(&forces[6 * p + 3], 3, moment) << "\n";
  const auto stress = r.GetValues(analysis, am::ResultQuantity::ShellStress, element);
  if (stress.size() == 3)
    out << "      von Mises top, middle, bottom " << Values(stress.data(), 3, shape ? quilm_tools::kShape : quilm_tools::kStress) << "\n";
  const auto shell = r.GetValues(analysis, am::ResultQuantity::ShellForces, element);
  if (shell.size() == 6)
    out << "      nx, ny, nxy " << Values(shell.data(), 3, shape ? quilm_tools::kShape : quilm_tools::kForcePerLength) << "  mx, my, mxy "
        << Values(shell.data() + 3, 3, shape ? quilm_tools::kShape : quilm_tools::kMomentPerLength) << "\n";
}

}  // namespace

void PrintAnalyses(am::XafModel& model, std::ostream& out) {
  const auto analyses = model.Results().GetAnalyses();
  out << "Stored analyses: " << analyses.size() << "\n";
  for (const am::ResultAnalysis& a : analyses) {
    std::set<std::int32_t> nodes, elements;  // distinct ids over the quantities
    for (am::ResultQuantity q : am::kResultQuantities) {
      const am::ResultArray values = model.Results().GetArray(a.id, q);
      (am::IsNodeQuantity(q) ? nodes : elements).insert(values.ids.begin(), values.ids.end());
    }
    out << "  " << a.id << ": " << Label(a) << ", " << nodes.size() << " nodes, " << elements.size()
        << " elements\n";
  }
}

void PrintAnalysis(am::XafModel& model, long analysis, std::ostream& out, std::size_t limit) {
  auto& r = model.Results();
  const am::ResultAnalysis a = r.GetAnalysis(analysis);
  out << "Analysis " << a.id << ": " << Label(a) << "\n";
  for (am::ResultQuantity q : am::kResultQuantities)
    out << "  " << am::ResultQuantityName(q) << ": " << r.GetArray(analysis, q).Size()
        << (am::IsNodeQuantity(q) ? " nodes\n" : " elements\n");
  std::vector<am::ConceptSummary> concepts = am::SummarizeConcepts(model, analysis);
  concepts.erase(std::remove_if(concepts.begin(), concepts.end(),
                                [](const am::ConceptSummary& s) { return s.maxDisplacementNode < 0; }),
                 concepts.end());
  std::stable_sort(concepts.begin(), concepts.end(),
                   [](const auto& x, const auto& y) { return x.maxDisplacement > y.maxDisplacement; });
  out << "  concepts by largest displacement: " << concepts.size() << "\n";
  const std::size_t shown = limit == 0 ? concepts.size() : std::min(limit, concepts.size());
  for (std::size_t i = 0; i < shown; ++i) {
    const am::ConceptSummary& s = concepts[i];
    out << "    " << s.concept << " " << Quoted(s.name) << ": " << In(s.maxDisplacement, IsShape(a) ? quilm_tools::kShape : kLength) << " at node "
        << s.maxDisplacementNode << "\n";
  }
  if (concepts.size() > shown) out << "    ... " << concepts.size() - shown << " more (LIMIT 0 lists all)\n";
}

void PrintNodeResults(am::XafModel& model, long node, std::ostream& out) {
  out << "  results:\n";
  std::size_t printed = 0;
  for (const am::ResultAnalysis& a : model.Results().GetAnalyses()) {
    const auto motion = model.Results().GetValues(a.id, am::ResultQuantity::NodeMotion, node);
    const auto reaction = model.Results().GetValues(a.id, am::ResultQuantity::NodeReaction, node);
    if (motion.empty() && reaction.empty()) continue;
    out << "    " << Label(a) << "\n";
    PrintNodeValues(a, motion, reaction, out);
    ++printed;
  }
  if (printed == 0) out << "    none\n";
}

void PrintElementResults(am::XafModel& model, long element, std::ostream& out) {
  out << "  results:\n";
  std::size_t printed = 0;
  for (const am::ResultAnalysis& a : model.Results().GetAnalyses()) {
    bool any = false;
    for (am::ResultQuantity q : am::kResultQuantities)
      any = any || (!am::IsNodeQuantity(q) && !model.Results().GetValues(a.id, q, element).empty());
    if (!any) continue;
    out << "    " << Label(a) << "\n";
    PrintElementValues(model, a, element, out);
    ++printed;
  }
  if (printed == 0) out << "    none\n";
}

void PrintConcept(am::XafModel& model, long concept, std::ostream& out) {
  const am::StructureConcept c = model.StructureConcepts().GetConcept(concept);
  const am::ConceptMembers members = model.StructureConcepts().GetConceptMembers(concept);
  out << "Concept " << c.id << " " << Quoted(c.name) << " (type " << c.type << ", role " << c.role;
  if (c.parent >= 0) out << ", in " << c.parent;
  out << ")\n";
  out << "  recorded members: " << members.nodes.size() << " nodes, " << members.elements.size()
      << " elements\n";
  out << "  results:\n";
  std::size_t printed = 0;
  for (const am::ResultAnalysis& a : model.Results().GetAnalyses()) {
    for (const am::ConceptSummary& s : am::SummarizeConcepts(model, a.id)) {
      if (s.concept != concept) continue;
      out << "    " << Label(a) << " (as " << Quoted(s.name) << ", " << s.elements << " elements, " << s.nodes
          << " nodes)\n";
      if (s.maxDisplacementNode >= 0)
        out << "      largest displacement " << In(s.maxDisplacement, IsShape(a) ? quilm_tools::kShape : kLength)
            << " at node "
            << s.maxDisplacementNode << "\n";
      if (s.reactionNodes > 0)
        out << "      reaction F " << Values(s.reaction.data(), 3, kForce) << "  M "
            << Values(s.reaction.data() + 3, 3, kMoment) << "\n";
      if (s.maxForceElement[0] >= 0)
        out << "      largest N, Vy, Vz " << Values(s.maxForce.data(), 3, kForce) << "  T, My, Mz "
            << Values(s.maxForce.data() + 3, 3, kMoment) << "\n";
      ++printed;
    }
  }
  if (printed == 0) out << "    none (no stored analysis, or the concept owns nothing now)\n";
}

}  // namespace quilm_inspect
