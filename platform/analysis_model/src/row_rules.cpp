// The reference and kind rules of loads and concept members.
#include "row_rules.hpp"

#include "value_checks.hpp"

namespace Kestrum::Quilm::AnalysisModel {

namespace {

const char* KindName(LoadKind kind) {
  switch (kind) {
    case LoadKind::Point:
      return "point";
    case LoadKind::Line:
      return "line";
    case LoadKind::Surface:
      return "surface";
    case LoadKind::InitialStrain:
      return "initial strain";
    case LoadKind::NodeAcceleration:
      return "node acceleration";
  }
  return "unknown";
}

const char* RecordName(const Load& record) {
  if (dynamic_cast<const PointLoad*>(&record)) return "point";
  if (dynamic_cast<const LineLoad*>(&record)) return "line";
  if (dynamic_cast<const SurfaceLoad*>(&record)) return "surface";
  if (dynamic_cast<const InitialStrainLoad*>(&record)) return "initial strain";
  return "other";
}

// The record class a load kind takes; nullptr for any.
const char* RecordFor(LoadKind kind) {
  switch (kind) {
    case LoadKind::Point:
    case LoadKind::NodeAcceleration:
      return "point";
    case LoadKind::Line:
      return "line";
    case LoadKind::Surface:
      return "surface";
    case LoadKind::InitialStrain:
      return nullptr;
  }
  return nullptr;
}

bool IsNodeKind(LoadKind kind) { return kind == LoadKind::Point || kind == LoadKind::NodeAcceleration; }

bool WasHandedOut(const ModelData& d, long element) {
  return element >= 1 && static_cast<std::size_t>(element) <= d.elementIdsIssued;
}

}  // namespace

std::string LoadProblem(const ModelData& d, const LoadEntry& load) {
  const std::string kind = KindName(load.kind);
  if (!load.record) return kind + " load without record";
  const std::string record = RecordName(*load.record);
  const char* wanted = RecordFor(load.kind);
  if (wanted && record != wanted) return kind + " load holds a " + record + " record";
  if (const auto* p = dynamic_cast<const PointLoad*>(load.record.get()); p && p->GetValues().empty())
    return kind + " load has no values";
  const std::string target = std::to_string(load.target);
  if (IsNodeKind(load.kind)) return d.HasNode(load.target) ? "" : kind + " load on missing node " + target;
  if (!WasHandedOut(d, load.target)) return kind + " load on element " + target + ", which was never created";
  if (!d.HasElement(load.target)) return "";
  try {
    CheckLoadFitsElement(load.kind, load.target, ElementTypeOf(d.elements[load.target - 1]));
  } catch (const ModelError& e) {
    return e.what();
  }
  return "";
}

std::string ConceptMembersProblem(const ModelData& d, long concept, const ConceptMembers& members) {
  if (d.concepts.count(concept) == 0) return "names missing concept " + std::to_string(concept);
  for (long n : members.nodes)
    if (!d.HasNode(n)) return "names missing node " + std::to_string(n);
  for (long e : members.elements)
    if (!WasHandedOut(d, e)) return "names element " + std::to_string(e) + ", which was never created";
  return "";
}

}  // namespace Kestrum::Quilm::AnalysisModel
