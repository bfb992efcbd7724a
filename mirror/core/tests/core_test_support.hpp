// Helpers shared by the mirror core tests: a fresh in-memory model per test
// with the call trace attached, and a log of host overrides, requests for the
// analysis model and model calls in one order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mirror/core/mirror_model.hpp"
#include "tests/support/counting_model.hpp"
#include "tests/support/fault_injecting_sink.hpp"
#include "tests/support/scratch_file.hpp"

namespace Kestrum::Quilm::Mirror::Testing {

using AnalysisModel::TraceEvent;
using Quilm::Testing::CountingModel;
using Quilm::Testing::FaultInjectingSink;
using Quilm::Testing::ScratchFilePath;

// One log of everything that happens in a test, in order: the host's
// overrides (Annotate), the model being asked for the analysis model, and
// every analysis-model call as its operation name.
struct SequenceLog : FaultInjectingSink {
  SequenceLog() : FaultInjectingSink(FaultInjectingSink::OperationOnly) {}
};

// A host's own model around a shared analysis model: it notes each time the
// library asks for the analysis model in `log`, which must outlive it.
struct LoggingModel : CountingModel {
  LoggingModel(boost::shared_ptr<XafModel> xaf, SequenceLog& log) : CountingModel(std::move(xaf)) {
    onRequest = [&log](const boost::shared_ptr<XafModel>&) { log.Annotate("GetXafModel"); };
  }
};

// A model per test with the call trace attached.
class TracedModelTest : public ::testing::Test {
 protected:
  TracedModelTest() : model_(ScratchFilePath("core")), xaf_(model_.GetXafModel()) {
    xaf_->SetTraceSink(&trace_);
  }
  ~TracedModelTest() override { xaf_->SetTraceSink(nullptr); }

  // Operation names recorded since the last Clear, e.g. "Nodes.AddNode".
  std::vector<std::string> Operations() const { return trace_.Operations(); }
  // Recorded events with the given operation name.
  std::vector<TraceEvent> EventsOf(const std::string& operation) const { return trace_.EventsOf(operation); }

  TestMirrorModel model_;
  boost::shared_ptr<XafModel> xaf_;
  FaultInjectingSink trace_;
};

}  // namespace Kestrum::Quilm::Mirror::Testing
