#include "section_check.hpp"

#include <set>
#include <vector>

namespace quilm_export {

namespace {

using namespace Kestrum::Quilm;

// "I-profile "IPE 300" (section 3)", the name left out when there is none.
std::string Describe(long id, const AnalysisModel::XafSection& row) {
  const bool iProfile = row.GetSection()->GetKind() == qlSection::Kind::IProfile;
  std::string text = iProfile ? "I-profile " : "section by properties ";
  if (!row.GetName().empty()) text += "\"" + row.GetName() + "\" ";
  return text + "(section " + std::to_string(id) + ")";
}

}  // namespace

std::string SectionsNeedingEquivalents(AnalysisModel::XafModel& model) {
  std::set<long> used;
  model.Elements().ForEachElement([&used](const AnalysisModel::ElementView& e) { used.insert(e.section); });
  std::vector<std::string> refused;
  for (const long id : used) {
    if (id <= 0) continue;
    const auto row = model.Sections().GetSection(id);
    if (!row || !row->GetSection()) continue;  // a thickness, or a broken reference the export reports
    const auto kind = row->GetSection()->GetKind();
    if (kind == qlSection::Kind::IProfile || kind == qlSection::Kind::General) refused.push_back(Describe(id, *row));
  }
  if (refused.empty()) return {};
  std::string text = "the solver has no form of its own for ";
  for (std::size_t i = 0; i < refused.size() && i < 3; ++i) text += (i > 0 ? ", " : "") + refused[i];
  if (refused.size() > 3) text += " and " + std::to_string(refused.size() - 3) + " more";
  return text + "; add --equivalent-sections to export I-profiles as boxes of equal area and Iy and "
                "sections by properties as rectangles of equal Iy and Iz (each listed as a note)";
}

}  // namespace quilm_export
