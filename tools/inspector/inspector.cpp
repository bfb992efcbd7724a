// The inspector's views of a model file.
#include "inspector.hpp"

#include <algorithm>
#include <cctype>
#include <functional>
#include <iomanip>
#include <map>
#include <ostream>
#include <sstream>

#include "describe.hpp"
#include "quantity.hpp"

namespace quilm_inspect {

namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string KindName(am::LoadKind kind) {
  switch (kind) {
    case am::LoadKind::Point:
      return "point load";
    case am::LoadKind::Line:
      return "line load";
    case am::LoadKind::Surface:
      return "surface load";
    case am::LoadKind::InitialStrain:
      return "initial strain";
    case am::LoadKind::NodeAcceleration:
      return "node acceleration";
  }
  return "load";
}

bool IsElementLoad(am::LoadKind kind) {
  return kind == am::LoadKind::Line || kind == am::LoadKind::Surface || kind == am::LoadKind::InitialStrain;
}

std::string SectionText(am::XafModel& model, long id) {
  if (id == 0) return "none";
  if (id < 0) return "not written (" + std::to_string(id) + ")";
  auto row = model.Sections().GetSection(id);
  if (!row) return std::to_string(id) + " (missing)";
  std::ostringstream out;
  out << id << " " << Quoted(row->GetName()) << " ";
  if (row->GetSection())
    out << DescribeSection(*row->GetSection());
  else if (row->GetThickness())
    out << "thickness " << quilm_tools::Si(*row->GetThickness(), "m");
  return out.str();
}

std::string MaterialText(am::XafModel& model, long id) {
  if (id == 0) return "none";
  if (id < 0) return "not written (" + std::to_string(id) + ")";
  auto row = model.Materials().GetMaterial(id);
  if (!row) return std::to_string(id) + " (missing)";
  return std::to_string(id) + " " + Quoted(row->GetName()) + " " +
         (row->GetMaterial() ? DescribeMaterial(*row->GetMaterial()) : "");
}

std::string EccentricityText(am::XafModel& model, long id) {
  if (id <= 0) return "none";
  std::ostringstream out;
  const vec3d v = model.Eccentricities().GetEccentricity(id)->GetEccentricity();
  out << "#" << id << " " << quilm_tools::Triple(v.x, v.y, v.z, "m");
  return out.str();
}

std::string TransformationText(am::XafModel& model, long id) {
  if (id <= 0) return "none";
  std::ostringstream out;
  const vec3d z = model.Transformations().GetTransformation(id)->GetTransformationVector();
  out << "#" << id << " local z (" << quilm_tools::Number(z.x) << ", " << quilm_tools::Number(z.y) << ", "
      << quilm_tools::Number(z.z) << ")";
  return out.str();
}

std::string HingeText(am::XafModel& model, long id) {
  if (id <= 0) return "none";
  std::ostringstream out;
  out << "#" << id << " (";
  const auto& f = model.Hinges().GetHinge(id)->GetHinge().Fixations();
  for (std::size_t i = 0; i < f.size(); ++i) out << (i ? ", " : "") << f[i];
  out << ")";
  return out.str();
}

// One line per aspect: the element-wide id, or one entry per stored node.
void PrintPerNode(std::ostream& out, const char* label, long elementWide, unsigned nodes,
                  const std::function<long(unsigned)>& perNode,
                  const std::function<std::string(long)>& text) {
  out << "  " << std::left << std::setw(16) << label << std::right;
  if (elementWide != -1) {
    out << text(elementWide) << "\n";
    return;
  }
  out << "per node:";
  for (unsigned i = 0; i < nodes; ++i) out << (i ? "; " : " ") << i << ": " << text(perNode(i));
  out << "\n";
}

void PrintLoadsOn(am::XafModel& model, long target, bool elementLoads, std::ostream& out) {
  std::size_t n = 0;
  for (long lc : model.Loads().GetLoadCaseIds()) {
    for (const am::LoadEntry& entry : model.Loads().GetLoads(lc)) {
      if (entry.target != target || IsElementLoad(entry.kind) != elementLoads) continue;
      out << "    case " << lc << ": " << KindName(entry.kind) << " " << DescribeLoad(entry) << "\n";
      ++n;
    }
  }
  if (n == 0) out << "    none\n";
}

}  // namespace

std::unique_ptr<am::XafModel> OpenReadOnly(const std::string& fileName) {
  return std::make_unique<am::XafModel>(fileName, 0, 1, false);
}

void PrintCounts(am::XafModel& model, std::ostream& out) {
  auto row = [&out](const std::string& label, std::size_t n) {
    out << "  " << std::left << std::setw(34) << label << std::right << std::setw(10) << n << "\n";
  };
  out << "Model " << model.GetFileName() << "\n";
  row("nodes", model.Nodes().Count());
  row("elements", model.Elements().Count());
  std::map<std::string, std::size_t> byType;
  for (long e : model.Elements().GetElementIds())
    ++byType[model.GetConnectivityManager().GetElementById(e).GetElementType().Name()];
  for (const auto& [type, n] : byType) row("  " + type, n);
  row("materials", model.Materials().GetMaterialIds().size());
  row("sections and thicknesses", model.Sections().GetSectionIds().size());
  row("sets", model.Sets().GetSetIds().size());
  row("structure concepts", model.StructureConcepts().GetConceptIds().size());
  row("eccentricities", model.Eccentricities().Count());
  row("transformations", model.Transformations().Count());
  std::size_t named = 0, massed = 0, supported = 0;
  for (long n : model.Nodes()) {
    named += !model.NodeProperties().GetName(n).empty();
    massed += !model.NodeProperties().GetMasses(n).empty();
    supported += static_cast<bool>(model.NodeProperties().GetBoundaryCondition(n));
  }
  row("named nodes", named);
  row("nodes with masses", massed);
  row("supported nodes", supported);
  const auto cases = model.Loads().GetLoadCaseIds();
  row("load cases", cases.size());
  // A load case's gravity counts as one load, as frame_host counts it.
  std::size_t total = 0;
  std::vector<std::pair<std::string, std::size_t>> perCase;
  for (long lc : cases) {
    const std::size_t n = model.Loads().GetLoads(lc).size() + (model.Loads().GetGravityLoad(lc) ? 1 : 0);
    perCase.emplace_back(std::to_string(lc) + " " + model.Loads().GetLoadCaseName(lc).value_or(""), n);
    total += n;
  }
  row("loads (gravity counted as one)", total);
  for (const auto& [label, n] : perCase) row("  " + label, n);
}

void PrintElement(am::XafModel& model, long id, std::ostream& out) {
  auto& connectivity = model.GetConnectivityManager();
  const am::Element e = connectivity.GetElementById(id);
  auto record = model.Elements().GetElement(id);
  const qlElementType& type = e.GetElementType();
  out << "Element " << id << ": " << type.Name() << " (type " << type.Number() << ")\n";
  out << "  nodes (stored order):\n";
  for (unsigned i = 0; i < e.NodeCount(); ++i) {
    const long n = e.GetNode(i, am::Element::Stored);
    out << "    " << i << ": node " << n << " at " << DescribePosition(connectivity.GetNodeById(n).GetPos());
    const std::string name = model.NodeProperties().GetName(n);
    if (!name.empty()) out << " " << Quoted(name);
    out << "\n";
  }
  out << "  geometric order:";
  for (unsigned i = 0; i < e.NodeCount(); ++i) out << " " << e.GetNode(i, am::Element::Geometric);
  out << "\n";
  out << "  " << std::left << std::setw(16) << "section" << std::right
      << SectionText(model, record->GetSection()) << "\n";
  out << "  " << std::left << std::setw(16) << "material" << std::right
      << MaterialText(model, record->GetMaterial()) << "\n";
  const unsigned n = e.NodeCount();
  PrintPerNode(
      out, "eccentricity", record->GetEccentricity(), n,
      [&](unsigned i) { return record->GetNodeEccentricity(i); },
      [&](long ecc) { return EccentricityText(model, ecc); });
  PrintPerNode(
      out, "transformation", record->GetTransformation(), n,
      [&](unsigned i) { return record->GetNodeTransformation(i); },
      [&](long t) { return TransformationText(model, t); });
  PrintPerNode(
      out, "fixation", record->GetFixation(), n, [&](unsigned i) { return record->GetNodeFixation(i); },
      [&](long h) { return HingeText(model, h); });
  out << "  loads:\n";
  PrintLoadsOn(model, id, true, out);
}

void PrintNode(am::XafModel& model, long id, std::ostream& out) {
  const am::Node node = model.GetConnectivityManager().GetNodeById(id);
  auto& properties = model.NodeProperties();
  out << "Node " << id << " at " << DescribePosition(node.GetPos()) << "\n";
  const std::string name = properties.GetName(id);
  out << "  name            " << (name.empty() ? "(none)" : Quoted(name)) << "\n";
  const auto masses = properties.GetMasses(id);
  out << "  masses          " << (masses.empty() ? "none" : std::to_string(masses.size())) << "\n";
  for (const am::Mass& m : masses) {
    out << "    " << DescribeMass(m) << "\n";
  }
  const auto fixation = properties.GetBoundaryCondition(id);
  out << "  support         ";
  if (fixation) {
    out << "(";
    for (std::size_t i = 0; i < 6; ++i) out << (i ? ", " : "") << fixation->Fixation(static_cast<int>(i));
    out << ")\n";
  } else {
    out << "none\n";
  }
  const auto transnod = properties.GetTransnod(id);
  out << "  transformation  " << TransformationText(model, transnod ? *transnod : 0) << "\n";
  out << "  loads:\n";
  PrintLoadsOn(model, id, false, out);
}

void PrintLoadCase(am::XafModel& model, long lc, std::ostream& out, std::size_t limit) {
  const auto cases = model.Loads().GetLoadCaseIds();
  if (std::find(cases.begin(), cases.end(), lc) == cases.end())
    throw am::ModelError("model file \"" + model.GetFileName() + "\" has no load case " + std::to_string(lc));
  const auto name = model.Loads().GetLoadCaseName(lc);
  out << "Load case " << lc << " " << (name ? Quoted(*name) : "(unnamed)") << "\n";
  const auto gravity = model.Loads().GetGravityLoad(lc);
  out << "  gravity  ";
  if (gravity)
    out << quilm_tools::Triple(gravity->x, gravity->y, gravity->z, "m/s²") << "\n";
  else
    out << "none\n";
  const auto loads = model.Loads().GetLoads(lc);
  out << "  loads    " << loads.size() << "\n";
  for (std::size_t i = 0; i < loads.size() && i < limit; ++i) {
    const am::LoadEntry& entry = loads[i];
    out << "    " << KindName(entry.kind) << " on " << (IsElementLoad(entry.kind) ? "element " : "node ")
        << entry.target << ": " << DescribeLoad(entry) << "\n";
  }
  if (loads.size() > limit) out << "    ... " << loads.size() - limit << " more\n";
}

void PrintConceptTree(am::XafModel& model, std::ostream& out, const ConceptFilter& filter) {
  auto& concepts = model.StructureConcepts();
  const std::string wanted = Lower(filter.name);
  std::map<long, std::vector<am::StructureConcept>> children;
  std::vector<am::StructureConcept> matches;
  for (long id : concepts.GetConceptIds()) {
    am::StructureConcept c = concepts.GetConcept(id);
    if (!wanted.empty()) {
      if (Lower(c.name).find(wanted) != std::string::npos) matches.push_back(std::move(c));
      continue;
    }
    children[c.parent].push_back(std::move(c));
  }
  const std::size_t total = concepts.GetConceptIds().size();
  const std::size_t limit = filter.limit == 0 ? total : filter.limit;
  std::size_t printed = 0;
  auto line = [&](const am::StructureConcept& c, int depth) {
    out << std::string(2 * depth, ' ') << c.id << " " << Quoted(c.name) << " (type " << c.type << ", role "
        << c.role;
    if (!wanted.empty() && c.parent >= 0) out << ", in " << c.parent;
    out << ")\n";
    ++printed;
  };
  if (!wanted.empty()) {
    out << "Structure concepts named like " << Quoted(filter.name) << ": " << matches.size() << " of "
        << total << "\n";
    for (const auto& c : matches) {
      if (printed == limit) break;
      line(c, 1);
    }
    if (matches.size() > printed)
      out << "  ... " << matches.size() - printed << " more (--limit 0 lists all)\n";
    return;
  }
  out << "Structure concepts: " << total << "\n";
  // Iterative depth-first walk: deep trees must not exhaust the stack.
  std::vector<std::pair<const am::StructureConcept*, int>> stack;
  auto push = [&](long parent, int depth) {
    auto it = children.find(parent);
    if (it == children.end()) return;
    for (auto c = it->second.rbegin(); c != it->second.rend(); ++c) stack.emplace_back(&*c, depth);
  };
  push(-1, 1);
  while (!stack.empty() && printed < limit) {
    const auto [c, depth] = stack.back();
    stack.pop_back();
    line(*c, depth);
    push(c->id, depth + 1);
  }
  if (total > printed) out << "  ... " << total - printed << " more (--limit 0 lists all, --name filters)\n";
}

}  // namespace quilm_inspect
