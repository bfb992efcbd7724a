// Rendering of call-trace arguments and the one-pointer-test emit helper.
// Internal to the library.
#pragma once

#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"

namespace Kestrum::Quilm::AnalysisModel::TraceFormat {

std::string Arg(long v);
std::string Arg(int v);
std::string Arg(unsigned v);
std::string Arg(bool v);
std::string Arg(double v);
std::string Arg(const std::string& v);
std::string Arg(const char* v);
std::string Arg(const vec3d& v);
std::string Arg(const pos3d& v);
std::string Arg(const locsys3d& v);
std::string Arg(const qlMaterial& v);
std::string Arg(const qlSection& v);
std::string Arg(const qlElementType& v);
std::string Arg(const std::vector<long>& v);
std::string Arg(const EntitySet& v);
std::string Arg(const Mass& v);
std::string Arg(const Hinge& v);
std::string Arg(const Load& v);
std::string Arg(Element::SortOrder v);

// A double in its shortest round-trip form.
std::string Number(double v);

}  // namespace Kestrum::Quilm::AnalysisModel::TraceFormat

namespace Kestrum::Quilm::AnalysisModel {

// Renders the call and hands it to the sink. Kept out of line so that the
// untraced path below stays one pointer test in the caller.
template <class... Args>
[[gnu::noinline, gnu::cold]] void EmitTrace(TraceSink& sink, const char* operation, const Args&... args) {
  TraceEvent event;
  event.operation = operation;
  event.arguments.reserve(sizeof...(Args));
  (event.arguments.push_back(TraceFormat::Arg(args)), ...);
  sink.OnCall(event);
}

// Reports one call to the model's sink, if one is attached. The arguments
// are rendered only when a sink is attached.
template <class... Args>
inline void Trace(const XafModel& model, const char* operation, const Args&... args) {
  TraceSink* sink = model.GetTraceSink();
  if (__builtin_expect(sink != nullptr, 0)) EmitTrace(*sink, operation, args...);
}

}  // namespace Kestrum::Quilm::AnalysisModel
