// Per-concept maxima of quilm-export's solve summary.
#include "concept_maxima.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "analysis_model/concept_summary.hpp"
#include "quantity.hpp"

namespace quilm_export {

namespace {

namespace am = Kestrum::Quilm::AnalysisModel;

// The name cut to `width` characters (bytes of a UTF-8 sequence kept whole).
std::string Fit(const std::string& name, std::size_t width) {
  std::size_t characters = 0, end = 0;
  for (; end < name.size(); ++end) {
    if ((static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) continue;
    if (++characters > width) break;
  }
  return name.substr(0, end);
}

std::string Padded(const std::string& text, std::size_t width) {
  std::size_t characters = 0;
  for (unsigned char c : text) characters += (c & 0xC0) != 0x80;
  return text + std::string(width > characters ? width - characters : 0, ' ');
}

std::string Right(const std::string& text, std::size_t width) {
  std::size_t characters = 0;
  for (unsigned char c : text) characters += (c & 0xC0) != 0x80;
  return std::string(width > characters ? width - characters : 0, ' ') + text;
}

double Magnitude(const std::array<double, 6>& r) {
  return std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
}

// The larger bending moment of a segment, which orders the section force list.
double Bending(const am::ConceptSummary& s) {
  return std::max(std::fabs(s.maxForce[4]), std::fabs(s.maxForce[5]));
}

template <class Less>
std::vector<const am::ConceptSummary*> Top(const std::vector<const am::ConceptSummary*>& all,
                                           std::size_t limit, Less less) {
  std::vector<const am::ConceptSummary*> list = all;
  std::stable_sort(list.begin(), list.end(), less);
  if (limit > 0 && list.size() > limit) list.resize(limit);
  return list;
}

void More(std::ostream& out, std::size_t shown, std::size_t total) {
  if (total > shown) out << "    ... " << total - shown << " more (--full lists all)\n";
}

void PrintDisplacements(std::ostream& out, const std::vector<const am::ConceptSummary*>& all,
                        std::size_t limit) {
  const auto list = Top(all, limit, [](auto* a, auto* b) { return a->maxDisplacement > b->maxDisplacement; });
  if (list.empty()) return;
  out << "  largest displacement per concept\n";
  for (const am::ConceptSummary* s : list)
    out << "    " << Padded(Fit(s->name, 32), 32) << " " << Right(quilm_tools::In(s->maxDisplacement, quilm_tools::kLength), 12)
        << " at node " << s->maxDisplacementNode << "\n";
  More(out, list.size(), all.size());
}

void PrintReactions(std::ostream& out, const std::vector<const am::ConceptSummary*>& all, std::size_t limit) {
  const auto list =
      Top(all, limit, [](auto* a, auto* b) { return Magnitude(a->reaction) > Magnitude(b->reaction); });
  if (list.empty()) return;
  out << "  reaction per support point\n";
  for (const am::ConceptSummary* s : list)
    out << "    " << Padded(Fit(s->name, 32), 32) << " "
        << quilm_tools::InAll(s->reaction.data(), 3, quilm_tools::kForce)
        << "\n";
  More(out, list.size(), all.size());
}

void PrintForces(std::ostream& out, const std::vector<const am::ConceptSummary*>& all, std::size_t limit) {
  const auto list = Top(all, limit, [](auto* a, auto* b) { return Bending(*a) > Bending(*b); });
  if (list.empty()) return;
  out << "  largest section forces per segment (N, Vy, Vz, T, My, Mz)\n";
  for (const am::ConceptSummary* s : list) {
    out << "    " << Padded(Fit(s->name, 32), 32);
    for (int k = 0; k < 6; ++k) out << " " << Right(quilm_tools::In(s->maxForce[k], k < 3 ? quilm_tools::kForce : quilm_tools::kMoment), 11);
    out << "\n";
  }
  More(out, list.size(), all.size());
}

}  // namespace

void PrintConceptMaxima(am::XafModel& model, const ConceptMaximaOptions& options, std::ostream& out) {
  auto& concepts = model.StructureConcepts();
  for (const am::ResultAnalysis& a : model.Results().GetAnalyses()) {
    if (a.stale || (a.kind != am::AnalysisKind::LoadCase && a.kind != am::AnalysisKind::Combination))
      continue;
    const std::vector<am::ConceptSummary> summaries = am::SummarizeConcepts(model, a.id);
    std::vector<const am::ConceptSummary*> moved, supports, segments;
    for (const am::ConceptSummary& s : summaries) {
      if (s.maxDisplacementNode >= 0) moved.push_back(&s);
      if (s.reactionNodes > 0 && s.type == 1) supports.push_back(&s);
      if (s.maxForceElement[0] >= 0 && !concepts.GetConceptMembers(s.concept).elements.empty())
        segments.push_back(&s);
    }
    if (moved.empty() && supports.empty() && segments.empty()) continue;
    out << "Per concept, " << am::AnalysisKindName(a.kind) << " " << a.number
        << (a.name.empty() ? "" : " \"" + a.name + "\"") << "\n";
    PrintDisplacements(out, moved, options.limit);
    PrintReactions(out, supports, options.limit);
    PrintForces(out, segments, options.limit);
  }
}

}  // namespace quilm_export
