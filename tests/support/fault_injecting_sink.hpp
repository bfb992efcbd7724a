// The fault-injection trace sink: one ordered log of the analysis model's
// calls and of the calls host doubles answer, which can fail a chosen call on
// purpose so that tests see what a failure at that point leaves behind.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "analysis_model/trace.hpp"

namespace Kestrum::Quilm::Testing {

// What FaultInjectingSink throws when it fails a call.
struct InjectedFault : std::runtime_error {
  explicit InjectedFault(const std::string& call) : std::runtime_error("injected fault at " + call) {}
};

// Attach with XafModel::SetTraceSink; host doubles add their own calls with
// Record (counted, can be failed) or Annotate (only logged).
//
// Two ways to fail a call:
//  - FailAt(n): call number n counted from now (1-based, host calls given to
//    Record included) throws once; it is not logged, so afterwards the log
//    holds exactly the calls that took effect.
//  - FailOn(operation): every model call of that operation is logged and
//    then throws, until FailOn("").
// While `paused` nothing is logged, counted or failed: for a test's own set-up
// and reads, which are not the calls under test.
class FaultInjectingSink : public AnalysisModel::TraceSink {
 public:
  // How a model call is written into the log.
  using Format = std::function<std::string(const AnalysisModel::TraceEvent&)>;

  // Logs model calls as TraceEvent::ToString gives them.
  FaultInjectingSink() : format_([](const AnalysisModel::TraceEvent& e) { return e.ToString(); }) {}
  explicit FaultInjectingSink(Format format) : format_(std::move(format)) {}

  // A Format that logs only the operation name, e.g. "Nodes.AddNode".
  static std::string OperationOnly(const AnalysisModel::TraceEvent& event) { return event.operation; }

  void OnCall(const AnalysisModel::TraceEvent& event) override {
    if (paused) return;
    std::string call = format_(event);
    CountOrFail(call);
    calls_.push_back(std::move(call));
    events_.push_back(event);
    if (!failOn_.empty() && event.operation == failOn_) throw InjectedFault(calls_.back());
  }

  // A call answered by a host double: counted like a model call and failed
  // the same way by FailAt.
  void Record(const std::string& call) {
    if (paused) return;
    CountOrFail(call);
    calls_.push_back(call);
  }
  // A note between the calls (e.g. the host handing out the model), neither
  // counted nor failed.
  void Annotate(std::string note) {
    if (!paused) calls_.push_back(std::move(note));
  }

  // Fails call number `call` counted from now (1-based); 0 or less: none.
  void FailAt(long call) noexcept {
    counted_ = 0;
    failAt_ = call;
  }
  // Fails every call of `operation` ("Sections.AddSection"); "": none.
  void FailOn(std::string operation) { failOn_ = std::move(operation); }

  // Every logged entry in order: model calls as formatted, host calls, notes.
  const std::vector<std::string>& Calls() const noexcept { return calls_; }
  // The model calls alone, as the trace reported them.
  const std::vector<AnalysisModel::TraceEvent>& Events() const noexcept { return events_; }
  // The operation names of the model calls, e.g. "Nodes.AddNode".
  std::vector<std::string> Operations() const {
    std::vector<std::string> names;
    for (const AnalysisModel::TraceEvent& e : events_) names.push_back(e.operation);
    return names;
  }
  // The model calls of one operation.
  std::vector<AnalysisModel::TraceEvent> EventsOf(const std::string& operation) const {
    std::vector<AnalysisModel::TraceEvent> found;
    for (const AnalysisModel::TraceEvent& e : events_)
      if (e.operation == operation) found.push_back(e);
    return found;
  }
  // The logged entries that start with `prefix` ("Loads.", "Host."), in order.
  std::vector<std::string> Matching(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& call : calls_)
      if (call.compare(0, prefix.size(), prefix) == 0) found.push_back(call);
    return found;
  }
  std::size_t Count(const std::string& prefix) const { return Matching(prefix).size(); }
  void Clear() noexcept {
    calls_.clear();
    events_.clear();
  }

  bool paused = false;

 private:
  void CountOrFail(const std::string& call) {
    if (failAt_ > 0 && ++counted_ == failAt_) {
      failAt_ = 0;  // one failure only: a retry and the test's checks run normally
      throw InjectedFault(call);
    }
  }

  Format format_;
  std::vector<std::string> calls_;
  std::vector<AnalysisModel::TraceEvent> events_;
  std::string failOn_;
  long failAt_ = 0;
  long counted_ = 0;
};

}  // namespace Kestrum::Quilm::Testing
