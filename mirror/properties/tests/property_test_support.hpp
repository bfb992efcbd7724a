// Test scaffolding for the property mirrors: a fresh analysis model with a
// call trace that can fail a chosen operation, a mirror model that counts (or
// refuses) GetXafModel, and host property mirrors that log their answers.
#pragma once

#include <gtest/gtest.h>

#include <boost/shared_ptr.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis_model/trace.hpp"
#include "mirror/core/mirror_model.hpp"
#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_point_mass.hpp"
#include "mirror/properties/mirror_section.hpp"
#include "mirror/properties/mirror_set.hpp"
#include "mirror/properties/mirror_thickness.hpp"
#include "tests/support/counting_model.hpp"
#include "tests/support/fault_injecting_sink.hpp"
#include "tests/support/scratch_file.hpp"

namespace Kestrum::Quilm::Mirror::Testing {

using AnalysisModel::TraceEvent;

// Thrown by test hosts to stand for a failing host override.
struct HostError : std::runtime_error {
  HostError() : std::runtime_error("host override failed") {}
};

using Quilm::Testing::CountingModel;
using Quilm::Testing::FaultInjectingSink;
using Quilm::Testing::InjectedFault;

// The analysis model with the trace paused for as long as this object lives
// (one full expression when used as a temporary): for the test's own
// reads and set-up, which are not the calls under test.
class QuietModel {
 public:
  QuietModel(FaultInjectingSink& sink, boost::shared_ptr<XafModel> xaf) : sink_(sink), xaf_(std::move(xaf)) {
    sink_.paused = true;
  }
  QuietModel(const QuietModel&) = delete;
  QuietModel& operator=(const QuietModel&) = delete;
  ~QuietModel() { sink_.paused = false; }
  XafModel* operator->() const { return xaf_.get(); }

 private:
  FaultInjectingSink& sink_;
  boost::shared_ptr<XafModel> xaf_;
};

// Host calls in the order they happen, e.g. "a.GetName", "b.GetSection".
using CallLog = std::vector<std::string>;

// What every test host shares: its answers' bookkeeping. Each host call is
// counted, noted in the shared log as "<tag>.<operation>" and can be made to
// throw HostError.
struct HostCalls {
  std::string tag;
  std::string name;
  CallLog* log = nullptr;
  mutable int nameCalls = 0;
  mutable int definitionCalls = 0;
  bool failName = false;
  bool failDefinition = false;

  std::string AnswerName() const {
    Note("GetName");
    ++nameCalls;
    if (failName) throw HostError();
    return name;
  }
  void NoteDefinition(const char* operation) const {
    Note(operation);
    ++definitionCalls;
    if (failDefinition) throw HostError();
  }
  void Note(const std::string& operation) const {
    if (log) log->push_back(tag + "." + operation);
  }
};

class HostMaterial : public IMirrorMaterial, public HostCalls {
 public:
  std::string GetName() const override { return AnswerName(); }
  boost::shared_ptr<qlMaterial> GetMaterial() const override {
    NoteDefinition("GetMaterial");
    return material;
  }
  boost::shared_ptr<qlMaterial> material;
};

class HostSection : public IMirrorSection, public HostCalls {
 public:
  std::string GetName() const override { return AnswerName(); }
  boost::shared_ptr<qlSection> GetSection() const override {
    NoteDefinition("GetSection");
    return section;
  }
  boost::shared_ptr<qlSection> section;
};

class HostThickness : public IMirrorThickness, public HostCalls {
 public:
  std::string GetName() const override { return AnswerName(); }
  double GetThickness() const override {
    NoteDefinition("GetThickness");
    return thickness;
  }
  double thickness = 0.0;
};

class HostSet : public IMirrorSet, public HostCalls {
 public:
  std::string GetName() const override { return AnswerName(); }
  boost::shared_ptr<EntitySet> GetEntitySet() const override {
    NoteDefinition("GetEntitySet");
    return content;
  }
  boost::shared_ptr<EntitySet> content;
};

class HostPointMass : public IMirrorPointMass, public HostCalls {
 public:
  std::string GetName() const override { return AnswerName(); }
  boost::shared_ptr<Mass> GetMass() const override {
    NoteDefinition("GetMass");
    return mass;
  }
  boost::shared_ptr<Mass> mass;
};

// A fresh in-memory analysis model (nothing is flushed) with the failing
// trace sink attached.
class PropertyTest : public ::testing::Test {
 protected:
  PropertyTest() : mirrorModel_(Quilm::Testing::ScratchFilePath("props")), model_(mirrorModel_) {
    Xaf()->SetTraceSink(&trace_);
  }
  ~PropertyTest() override { Xaf()->SetTraceSink(nullptr); }

  boost::shared_ptr<XafModel> Xaf() { return mirrorModel_.GetXafModel(); }
  // The analysis model for the test's own reads and set-up, left out of the
  // trace.
  QuietModel Table() { return QuietModel(trace_, Xaf()); }
  // Operation names of the calls recorded so far, then forgets them.
  std::vector<std::string> TakeOperations() {
    std::vector<std::string> ops = trace_.Operations();
    trace_.Clear();
    return ops;
  }
  // The single recorded event, which must be `operation`.
  TraceEvent OnlyEvent(const std::string& operation) {
    const std::vector<TraceEvent> events = trace_.Events();
    trace_.Clear();
    EXPECT_EQ(events.size(), 1u);
    // On a mismatch the caller still gets three arguments to look at.
    if (events.size() != 1u) return {operation, {"<none>", "<none>", "<none>"}};
    EXPECT_EQ(events[0].operation, operation);
    return events[0];
  }
  // Adds a node without leaving its call in the trace.
  long AddNode(double x) { return Table()->Nodes().AddNode(pos3d(x, 0.0, 0.0)); }

  TestMirrorModel mirrorModel_;
  CountingModel model_;  // counts GetXafModel, can hand out nothing
  FaultInjectingSink trace_;
};

}  // namespace Kestrum::Quilm::Mirror::Testing
