// Stored results read onto the points and cells of the gathered model.
#include "analysis_fields.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "analysis_model/results.hpp"

namespace quilm_view {
namespace {

using am::AnalysisKind;
using am::ResultArray;
using am::ResultQuantity;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const char* const kForceUnits = "N N N N·m N·m N·m";

// Calls `visit(index, values, count)` for every entity of `stored` that
// `ids` (ascending, as the results are) also holds.
template <class Visit>
void Match(const ResultArray& stored, const std::vector<std::int32_t>& ids, Visit visit) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < stored.Size(); ++i) {
    while (at < ids.size() && ids[at] < stored.ids[i]) ++at;
    if (at == ids.size()) return;
    if (ids[at] != stored.ids[i]) continue;
    visit(at, stored.values.data() + stored.offsets[i], stored.offsets[i + 1] - stored.offsets[i]);
  }
}

std::string Title(const am::ResultAnalysis& r) {
  char number[64];
  std::snprintf(number, sizeof number, "%ld", r.number);
  std::string title = number;
  if (!r.name.empty()) title += " \"" + r.name + "\"";
  if (r.kind == AnalysisKind::Mode || r.kind == AnalysisKind::Buckling) {
    char value[64];
    std::snprintf(value, sizeof value, r.kind == AnalysisKind::Mode ? ": %.4g Hz" : ": load factor %.4g", r.value);
    title += value;
  }
  if (r.stale) title += " (stale: the model changed after the solve)";
  return title;
}

class FieldBuilder {
 public:
  FieldBuilder(StoredResults& out, AnalysisFields& fields) : out_(out), fields_(fields) {}

  // A new array of `count` tuples of `components`, filled with `fill`.
  std::vector<double>& Add(std::string name, std::size_t count, int components, double fill) {
    std::vector<double>& values = out_.values.emplace_back(count * components, fill);
    DataArray view{std::move(name), ValueType::Float64, components, values.data(), values.size()};
    (onPoints_ ? fields_.pointData : fields_.cellData).push_back(view);
    return values;
  }
  void OnCells() { onPoints_ = false; }

 private:
  StoredResults& out_;
  AnalysisFields& fields_;
  bool onPoints_ = true;
};

}  // namespace

StoredResults GatherResults(am::XafModel& model, const ModelArrays& a) {
  StoredResults out;
  am::XafResultManager& results = model.Results();
  for (const am::ResultAnalysis& r : results.GetAnalyses()) {
    AnalysisFields fields;
    fields.kind = am::AnalysisKindName(r.kind);
    fields.number = r.number;
    fields.stale = r.stale;
    fields.name = Title(r);
    FieldBuilder add(out, fields);
    const std::size_t points = a.PointCount(), cells = a.CellCount();

    const ResultArray motion = results.GetArray(r.id, ResultQuantity::NodeMotion);
    if (motion.Size()) {
      // Zero where nothing is stored, so that the deformed shape stays whole.
      std::vector<double>& u = add.Add("displacement", points, 3, 0.0);
      std::vector<double>& rot = add.Add("rotation", points, 3, kNaN);
      Match(motion, a.nodeIds, [&](std::size_t p, const double* v, std::size_t n) {
        for (std::size_t k = 0; k < 3 && k < n; ++k) u[3 * p + k] = std::isnan(v[k]) ? 0.0 : v[k];
        for (std::size_t k = 3; k < 6 && k < n; ++k) rot[3 * p + k - 3] = v[k];
      });
      fields.units.insert(fields.units.end(), {"m", "rad"});
    }
    const ResultArray reaction = results.GetArray(r.id, ResultQuantity::NodeReaction);
    if (reaction.Size()) {
      std::vector<double>& f = add.Add("reaction", points, 6, kNaN);
      Match(reaction, a.nodeIds, [&](std::size_t p, const double* v, std::size_t n) {
        for (std::size_t k = 0; k < 6 && k < n; ++k) f[6 * p + k] = v[k];
      });
      fields.units.emplace_back(kForceUnits);
    }
    add.OnCells();
    const ResultArray beams = results.GetArray(r.id, ResultQuantity::BeamForces);
    if (beams.Size()) {
      // The two ends: the first two stored points (a three-node beam's
      // middle follows them).
      std::vector<double>& f = add.Add("section_force", cells, 12, kNaN);
      Match(beams, a.elementIds, [&](std::size_t c, const double* v, std::size_t n) {
        for (std::size_t k = 0; k < 12 && k < n; ++k) f[12 * c + k] = v[k];
      });
      fields.units.emplace_back(kForceUnits);
    }
    const ResultArray shells = results.GetArray(r.id, ResultQuantity::ShellStress);
    if (shells.Size()) {
      std::vector<double>& s = add.Add("von_mises", cells, 3, kNaN);
      Match(shells, a.elementIds, [&](std::size_t c, const double* v, std::size_t n) {
        for (std::size_t k = 0; k < 3 && k < n; ++k) s[3 * c + k] = v[k];
      });
      fields.units.emplace_back("Pa");
    }
    // A mode or buckling shape is normalised: its values have no unit.
    if (r.kind == AnalysisKind::Mode || r.kind == AnalysisKind::Buckling)
      for (std::string& units : fields.units) units.clear();
    out.analyses.push_back(std::move(fields));
  }
  return out;
}

int FindAnalysis(const std::vector<AnalysisFields>& analyses, const std::string& which) {
  for (std::size_t i = 0; i < analyses.size(); ++i) {
    const AnalysisFields& f = analyses[i];
    const std::string kind = f.kind == "buckling shape" ? "buckling" : f.kind;
    if (which == kind + " " + std::to_string(f.number) || which == f.kind + " " + std::to_string(f.number))
      return static_cast<int>(i);
  }
  for (std::size_t i = 0; i < analyses.size(); ++i) {
    const std::string& name = analyses[i].name;
    if (name == which || name.find("\"" + which + "\"") != std::string::npos) return static_cast<int>(i);
  }
  char* end = nullptr;
  const long index = std::strtol(which.c_str(), &end, 10);
  if (!which.empty() && *end == '\0' && index >= 0 && static_cast<std::size_t>(index) < analyses.size())
    return static_cast<int>(index);
  return -1;
}

}  // namespace quilm_view
