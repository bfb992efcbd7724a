// The call trace: an optional observer of every operation of the model.
//
// When a sink is attached (XafModel::SetTraceSink), every operation of the
// managers, of the connectivity manager, of XafElement records and of the
// model itself (Flush, GetArchive), reads included, reports one event before
// it acts: the operation as "Manager.Operation" and its arguments as text in
// call order (ids in decimal, doubles in shortest round-trip form, strings
// quoted, vectors and points as "(x, y, z)", records by their Describe()).
// Manager is the name of the XafModel accessor giving the manager
// ("Sections", "Loads", ...; "Archive" for GetArchive's XafArchive),
// "Connectivity" for the connectivity manager,
// "Element" for an XafElement record (its element id first among the
// arguments) and "Model" for the model. Accessors themselves (Loads()) and
// reads of value records (Node, Element, load records) are not events.
//
// A sink that throws from OnCall makes the operation fail before it has any
// effect, which tests use to inject failures at a chosen call.
#pragma once

#include <string>
#include <vector>

namespace Kestrum::Quilm::AnalysisModel {

struct TraceEvent {
  std::string operation;               // e.g. "Sections.AddSection"
  std::vector<std::string> arguments;  // e.g. {"Pipe(0.3, 0.01)", "\"HE200A\"", "-1"}
  // "Sections.AddSection(Pipe(0.3, 0.01), \"HE200A\", -1)"
  std::string ToString() const;
};

class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void OnCall(const TraceEvent& event) = 0;
};

// A sink that keeps every event, for tests and diagnostics.
class RecordingTraceSink : public TraceSink {
 public:
  void OnCall(const TraceEvent& event) override { events_.push_back(event); }
  const std::vector<TraceEvent>& Events() const noexcept { return events_; }
  // Each event as ToString() gives it.
  std::vector<std::string> Calls() const;
  // Only the operation names.
  std::vector<std::string> Operations() const;
  void Clear() noexcept { events_.clear(); }

 private:
  std::vector<TraceEvent> events_;
};

}  // namespace Kestrum::Quilm::AnalysisModel
