// Shared pieces of the load tests: a fresh in-memory model, a call log that
// can fail a chosen call, and a small mesh with a node shared by four
// elements.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mirror/core/mirror_model.hpp"
#include "tests/support/counting_model.hpp"
#include "tests/support/fault_injecting_sink.hpp"
#include "tests/support/scratch_file.hpp"

namespace Kestrum::Quilm::Mirror::Testing {

// The analysis model's calls as "Operation arg1 arg2": the first two
// arguments, the load case and the node or element for load calls.
inline std::string Brief(const AnalysisModel::TraceEvent& event) {
  std::string entry = event.operation;
  for (std::size_t i = 0; i < event.arguments.size() && i < 2; ++i) entry += " " + event.arguments[i];
  return entry;
}

// The load tests' call log: each analysis-model call in brief, failing a
// chosen call on request.
struct CallLog : Quilm::Testing::FaultInjectingSink {
  CallLog() : FaultInjectingSink(Brief) {}
};

// A mirror model over another that notes every GetXafModel in a call log,
// between the analysis-model calls, together with the number of references
// to the analysis model that were held elsewhere at that moment. A reference
// kept from an earlier call shows up as a count above the baseline.
struct NotingMirrorModel : Quilm::Testing::CountingModel {
  NotingMirrorModel(IMirrorModel& inner, CallLog& log) : CountingModel(inner) {
    onRequest = [this, &log](const boost::shared_ptr<XafModel>& xaf) {
      log.Annotate("GetXafModel");
      heldElsewhere.push_back(xaf.use_count() - 1);
    };
  }
  std::vector<long> heldElsewhere;
};

// The operation names of log entries, without their arguments.
inline std::vector<std::string> OperationsOf(const std::vector<std::string>& entries) {
  std::vector<std::string> out;
  for (const std::string& e : entries) out.push_back(e.substr(0, e.find(' ')));
  return out;
}

// Nodes 1..6 on a 3 x 2 grid (x = 0, 1, 2; y = 0, 1):
//   shells 1 = (1, 2, 5, 4) and 2 = (2, 3, 6, 5), beams 3 = (1, 2) and 4 = (2, 3);
// node 2 at (1, 0, 0) belongs to all four elements.
class MeshTest : public ::testing::Test {
 protected:
  void SetUp() override {
    xaf_ = model_.GetXafModel();
    for (double y : {0.0, 1.0})
      for (double x : {0.0, 1.0, 2.0}) {
        const long id = xaf_->Nodes().AddNode({x, y, 0});
        ASSERT_EQ(id, static_cast<long>(y * 3 + x + 1));
      }
    ASSERT_EQ(xaf_->Elements().AddElement(qlElementType::Shell4(), {1, 2, 5, 4}), 1);
    ASSERT_EQ(xaf_->Elements().AddElement(qlElementType::Shell4(), {2, 3, 6, 5}), 2);
    ASSERT_EQ(xaf_->Elements().AddElement(qlElementType::Beam2(), {1, 2}), 3);
    ASSERT_EQ(xaf_->Elements().AddElement(qlElementType::Beam2(), {2, 3}), 4);
    xaf_->SetTraceSink(&log_);
  }
  void TearDown() override { xaf_->SetTraceSink(nullptr); }

  // The kinds and targets of the loads of a load case, in the order added.
  std::vector<std::pair<AnalysisModel::LoadKind, long>> LoadsOf(long loadCase) {
    std::vector<std::pair<AnalysisModel::LoadKind, long>> out;
    for (const auto& entry : xaf_->Loads().GetLoads(loadCase)) out.emplace_back(entry.kind, entry.target);
    return out;
  }

  TestMirrorModel model_{Quilm::Testing::ScratchFilePath("loads")};
  boost::shared_ptr<XafModel> xaf_;
  CallLog log_;
};

}  // namespace Kestrum::Quilm::Mirror::Testing
