// Helpers shared by the mirror core tests: a fresh in-memory model per test
// with a recording call trace, a sink that fails a chosen call, and a
// counter of destroyed objects.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "mirror/core/mirror_model.hpp"

namespace Kestrum::Quilm::Mirror::Testing {

using AnalysisModel::RecordingTraceSink;
using AnalysisModel::TraceEvent;
using AnalysisModel::TraceSink;

// A file name no test has used yet; the file does not exist, so the model
// starts empty and stays in memory until Flush.
inline std::string UniqueModelFile(const std::string& tag) {
  static std::atomic<int> counter{0};
  return "/tmp/quilm_core_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) +
         ".qdb";
}

// Records every call and throws std::runtime_error("injected") from the
// first call of `failing` (operation name, e.g. "StructureConcepts.AddConcept")
// while armed. The failing call is recorded before it throws.
class FailingTraceSink : public TraceSink {
 public:
  explicit FailingTraceSink(std::string failing) : failing_(std::move(failing)) {}
  void OnCall(const TraceEvent& event) override {
    recorder_.OnCall(event);
    if (armed_ && event.operation == failing_) throw std::runtime_error("injected");
  }
  void Disarm() { armed_ = false; }
  RecordingTraceSink& Recorder() { return recorder_; }

 private:
  std::string failing_;
  bool armed_ = true;
  RecordingTraceSink recorder_;
};

// One log of everything that happens in a test, in order: the host's
// overrides, the model being asked for the analysis model, and every
// analysis-model call (as its operation name).
class SequenceLog : public TraceSink {
 public:
  void OnCall(const TraceEvent& event) override { entries.push_back(event.operation); }
  void Add(std::string entry) { entries.push_back(std::move(entry)); }
  std::vector<std::string> entries;
};

// A host's own model around a shared analysis model: it logs each time the
// library asks for the analysis model.
class LoggingModel : public IMirrorModel {
 public:
  LoggingModel(boost::shared_ptr<XafModel> xaf, SequenceLog& log) : xaf_(std::move(xaf)), log_(&log) {}
  boost::shared_ptr<XafModel> GetXafModel() override {
    log_->Add("GetXafModel");
    return xaf_;
  }

 private:
  boost::shared_ptr<XafModel> xaf_;
  SequenceLog* log_;
};

// A model per test with the call trace attached.
class ModelFixture : public ::testing::Test {
 protected:
  ModelFixture() : model_(UniqueModelFile("fixture")), xaf_(model_.GetXafModel()) {
    xaf_->SetTraceSink(&trace_);
  }
  ~ModelFixture() override { xaf_->SetTraceSink(nullptr); }

  // Operation names recorded since the last Clear, e.g. "Nodes.AddNode".
  std::vector<std::string> Operations() const { return trace_.Operations(); }
  // Recorded events with the given operation name.
  std::vector<TraceEvent> EventsOf(const std::string& operation) const {
    std::vector<TraceEvent> found;
    for (const TraceEvent& e : trace_.Events())
      if (e.operation == operation) found.push_back(e);
    return found;
  }

  TestMirrorModel model_;
  boost::shared_ptr<XafModel> xaf_;
  RecordingTraceSink trace_;
};

}  // namespace Kestrum::Quilm::Mirror::Testing
