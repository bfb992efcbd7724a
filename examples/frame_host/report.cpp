// Progress lines, timings and the end-of-run summary.
#include "report.hpp"

#include <filesystem>
#include <iomanip>
#include <map>
#include <ostream>

namespace frame_host {

Progress::Progress(std::ostream* out, std::string step, std::size_t total, std::size_t threshold)
    : out_(out),
      step_(std::move(step)),
      total_(total),
      active_(out != nullptr && total > 0 && total >= threshold) {}

void Progress::Advance(std::size_t n) {
  done_ += n;
  if (!active_) return;
  const int tenth = static_cast<int>(done_ * 10 / total_);
  if (tenth > lastTenth_ && tenth < 10) {
    lastTenth_ = tenth;
    *out_ << "  " << step_ << " " << tenth * 10 << "%" << std::endl;
  }
}

void Progress::Done() {
  if (active_) *out_ << "  " << step_ << " done" << std::endl;
  active_ = false;
}

double Stopwatch::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

TableCounts CountTables(AnalysisModel::XafModel& model) {
  TableCounts c;
  c.nodes = model.Nodes().Count();
  c.elements = model.Elements().Count();
  std::map<std::string, std::size_t> byType;
  auto& connectivity = model.GetConnectivityManager();
  for (long e : model.Elements().GetElementIds())
    ++byType[connectivity.GetElementById(e).GetElementType().Name()];
  c.elementsByType.assign(byType.begin(), byType.end());
  c.materials = model.Materials().GetMaterialIds().size();
  c.sections = model.Sections().GetSectionIds().size();
  c.sets = model.Sets().GetSetIds().size();
  c.concepts = model.StructureConcepts().GetConceptIds().size();
  c.eccentricities = model.Eccentricities().Count();
  c.transformations = model.Transformations().Count();
  auto& nodeProperties = model.NodeProperties();
  for (long n : model.Nodes()) {
    if (!nodeProperties.GetName(n).empty()) ++c.namedNodes;
    if (!nodeProperties.GetMasses(n).empty()) ++c.nodesWithMass;
    if (nodeProperties.GetBoundaryCondition(n)) ++c.supports;
  }
  for (long lc : model.Loads().GetLoadCaseIds()) {
    ++c.loadCases;
    const std::size_t n = model.Loads().GetLoads(lc).size() + (model.Loads().GetGravityLoad(lc) ? 1 : 0);
    c.loads += n;
    c.loadsByCase.emplace_back(
        std::to_string(lc) + " " + model.Loads().GetLoadCaseName(lc).value_or("(unnamed)"), n);
  }
  return c;
}

long long FileSize(const std::string& fileName) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(fileName, ec);
  return ec ? -1 : static_cast<long long>(size);
}

void PrintSummary(std::ostream& out, const std::string& title, const TableCounts& c,
                  const std::vector<TimedStep>& steps, const std::string& fileName) {
  auto row = [&out](const std::string& label, std::size_t n) {
    out << "  " << std::left << std::setw(34) << label << std::right << std::setw(10) << n << "\n";
  };
  out << title << "\n\nTables\n";
  row("nodes", c.nodes);
  row("elements", c.elements);
  for (const auto& [type, n] : c.elementsByType) row("  " + type, n);
  row("materials", c.materials);
  row("sections and thicknesses", c.sections);
  row("sets", c.sets);
  row("structure concepts", c.concepts);
  row("eccentricities", c.eccentricities);
  row("transformations", c.transformations);
  row("named nodes", c.namedNodes);
  row("nodes with masses", c.nodesWithMass);
  row("supported nodes", c.supports);
  row("load cases", c.loadCases);
  row("loads (gravity counted as one)", c.loads);
  for (const auto& [name, n] : c.loadsByCase) row("  " + name, n);
  out << "\nTimes (seconds)\n";
  for (const TimedStep& s : steps)
    out << "  " << std::left << std::setw(44) << s.name << std::right << std::fixed << std::setprecision(3)
        << std::setw(10) << s.seconds << "\n";
  out.unsetf(std::ios::fixed);
  const long long bytes = FileSize(fileName);
  out << "\nModel file\n  " << fileName << ": ";
  if (bytes < 0)
    out << "not written\n";
  else
    out << bytes << " bytes (" << std::fixed << std::setprecision(1) << bytes / 1048576.0 << " MiB)\n";
  out.unsetf(std::ios::fixed);
  out << std::flush;
}

}  // namespace frame_host
