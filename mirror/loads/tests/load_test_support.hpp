// Shared pieces of the load tests: a fresh in-memory model, a call log that
// can fail a chosen call, and a small mesh with a node shared by four
// elements.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "mirror/core/mirror_model.hpp"

namespace Kestrum::Quilm::Mirror::LoadTests {

inline std::string FreshModelPath() {
  static std::atomic<int> counter{0};
  return "/tmp/quilm_load_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ".qdb";
}

// Keeps each analysis-model call as "Operation arg1 arg2" (the first two
// arguments: load case and node or element for load calls) and, when armed,
// fails call number `failAt` (counted from arming) before it acts.
class CallLog : public AnalysisModel::TraceSink {
 public:
  void OnCall(const AnalysisModel::TraceEvent& event) override {
    if (++calls_ == failAt_) throw std::runtime_error("injected failure at " + event.ToString());
    std::string entry = event.operation;
    for (std::size_t i = 0; i < event.arguments.size() && i < 2; ++i) entry += " " + event.arguments[i];
    entries.push_back(entry);
    events.push_back(event);
  }
  void FailAt(int call) {
    calls_ = 0;
    failAt_ = call;
  }
  void Clear() {
    entries.clear();
    events.clear();
  }
  // Only the entries of one manager ("Loads.", "Connectivity.").
  std::vector<std::string> Only(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& e : entries)
      if (e.rfind(prefix, 0) == 0) out.push_back(e);
    return out;
  }
  std::vector<std::string> entries;
  std::vector<AnalysisModel::TraceEvent> events;

 private:
  int calls_ = 0;
  int failAt_ = -1;
};

// A mirror model over another that notes every GetXafModel in a call log,
// between the analysis-model calls, together with the number of references
// to the analysis model that were held elsewhere at that moment. A reference
// kept from an earlier call shows up as a count above the baseline.
class NotingMirrorModel : public IMirrorModel {
 public:
  NotingMirrorModel(IMirrorModel& inner, CallLog& log) : inner_(inner), log_(log) {}
  boost::shared_ptr<XafModel> GetXafModel() override {
    boost::shared_ptr<XafModel> xaf = inner_.GetXafModel();
    log_.entries.push_back("GetXafModel");
    heldElsewhere.push_back(xaf.use_count() - 1);
    return xaf;
  }
  std::vector<long> heldElsewhere;

 private:
  IMirrorModel& inner_;
  CallLog& log_;
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

  TestMirrorModel model_{FreshModelPath()};
  boost::shared_ptr<XafModel> xaf_;
  CallLog log_;
};

}  // namespace Kestrum::Quilm::Mirror::LoadTests
