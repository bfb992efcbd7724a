// The call trace: event text and argument rendering.
#include "analysis_model/trace.hpp"

#include <charconv>
#include <cmath>

#include "trace_format.hpp"

namespace Kestrum::Quilm::AnalysisModel {

std::string TraceEvent::ToString() const {
  std::string text = operation + "(";
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) text += ", ";
    text += arguments[i];
  }
  return text + ")";
}

std::vector<std::string> RecordingTraceSink::Calls() const {
  std::vector<std::string> calls;
  calls.reserve(events_.size());
  for (const TraceEvent& e : events_) calls.push_back(e.ToString());
  return calls;
}

std::vector<std::string> RecordingTraceSink::Operations() const {
  std::vector<std::string> ops;
  ops.reserve(events_.size());
  for (const TraceEvent& e : events_) ops.push_back(e.operation);
  return ops;
}

namespace TraceFormat {

std::string Number(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, result.ptr);
}

namespace {
std::string Triple(double x, double y, double z) {
  return "(" + Number(x) + ", " + Number(y) + ", " + Number(z) + ")";
}
template <class Range>
std::string IdList(const Range& ids) {
  std::string text = "[";
  bool first = true;
  for (long id : ids) {
    if (!first) text += ", ";
    first = false;
    text += std::to_string(id);
  }
  return text + "]";
}
}  // namespace

std::string Arg(long v) { return std::to_string(v); }
std::string Arg(int v) { return std::to_string(v); }
std::string Arg(unsigned v) { return std::to_string(v); }
std::string Arg(bool v) { return v ? "true" : "false"; }
std::string Arg(double v) { return Number(v); }
std::string Arg(const char* v) { return Arg(std::string(v)); }

std::string Arg(const std::string& v) {
  std::string text = "\"";
  for (char c : v) {
    if (c == '"' || c == '\\') text += '\\';
    text += c;
  }
  return text + "\"";
}

std::string Arg(const vec3d& v) { return Triple(v.x, v.y, v.z); }
std::string Arg(const pos3d& v) { return Triple(v.x, v.y, v.z); }
std::string Arg(const locsys3d& v) { return "(x " + Arg(v.x()) + ", z " + Arg(v.z()) + ")"; }
std::string Arg(const qlMaterial& v) { return v.Describe(); }
std::string Arg(const qlSection& v) { return v.Describe(); }
std::string Arg(const qlElementType& v) { return v.Name() + "(" + std::to_string(v.Number()) + ")"; }
std::string Arg(const std::vector<long>& v) { return IdList(v); }

std::string Arg(const EntitySet& v) {
  return "EntitySet(nodes " + IdList(v.Nodes()) + ", elements " + IdList(v.Elements()) + ")";
}

std::string Arg(const Mass& v) {
  const auto& m = v.Values();
  return "Mass(" + Triple(m[0], m[1], m[2]) + ", " + Triple(m[3], m[4], m[5]) + ")";
}

std::string Arg(const Hinge& v) {
  std::string text = "Hinge(";
  for (int i = 0; i < 6; ++i) text += (i ? ", " : "") + Number(v.Fixation(i));
  return text + ")";
}

std::string Arg(const Load& v) { return v.Describe(); }
std::string Arg(Element::SortOrder v) { return std::to_string(static_cast<int>(v)); }

}  // namespace TraceFormat
}  // namespace Kestrum::Quilm::AnalysisModel
