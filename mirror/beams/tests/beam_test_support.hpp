// Host-side stand-ins for the beam tests: segments, beams, property mirrors
// and callbacks that report what they are asked into one call log shared with
// the analysis model's call trace, so tests see host and model calls in one
// order. The log can also fail the N-th call (host or model) on purpose.
#pragma once

#include <boost/intrusive_ptr.hpp>
#include <boost/shared_ptr.hpp>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "mirror/beams/beam_callbacks.hpp"
#include "mirror/beams/mirror_beam.hpp"
#include "mirror/beams/mirror_segment.hpp"
#include "mirror/core/mirror_model.hpp"
#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_section.hpp"

namespace Kestrum::Quilm::Mirror::BeamTest {

// The fault the call log throws when told to fail a call.
struct InjectedFault : std::runtime_error {
  InjectedFault() : std::runtime_error("injected fault") {}
};

// One log of host and analysis-model calls, in the order they happen.
class CallLog : public AnalysisModel::TraceSink {
 public:
  void OnCall(const AnalysisModel::TraceEvent& event) override { Record(event.ToString()); }
  // Records one call, or throws InjectedFault when it is call number
  // `failAt` (0-based; the failed call is not recorded). Fails once.
  void Record(const std::string& call);

  const std::vector<std::string>& Calls() const noexcept { return calls_; }
  // The calls whose text starts with `prefix`, in order.
  std::vector<std::string> Matching(const std::string& prefix) const;
  // How many calls start with `prefix`.
  std::size_t Count(const std::string& prefix) const { return Matching(prefix).size(); }
  void Clear() noexcept { calls_.clear(); }
  // Makes call number `index` (0-based from now on) fail; -1 never.
  void FailAt(long index) noexcept {
    calls_.clear();
    failAt_ = index;
  }

 private:
  std::vector<std::string> calls_;
  long failAt_ = -1;
};

// "(x, y, z)" as the call trace writes points.
std::string Text(const pos3d& p);

class TestSection : public IMirrorSection {
 public:
  explicit TestSection(long id) { SetId(id); }
  boost::shared_ptr<qlSection> GetSection() const override { return {}; }
};

class TestMaterial : public IMirrorMaterial {
 public:
  explicit TestMaterial(long id) { SetId(id); }
  boost::shared_ptr<qlMaterial> GetMaterial() const override { return {}; }
};

// A segment whose section and material are the same everywhere unless a
// function of the position is given. Logs "Host.GetSection(p)" and
// "Host.GetMaterial(p)".
class TestSegment : public IMirrorSegment {
 public:
  explicit TestSegment(CallLog* log = nullptr) : log_(log) {}

  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override { return {}; }
  ConceptType GetConceptType() const override { return ConceptType(1, 1, 0); }
  boost::intrusive_ptr<IMirrorSection> GetSection(const pos3d& position) override;
  boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d& position) override;

  void SetLog(CallLog* log) noexcept { log_ = log; }
  boost::intrusive_ptr<IMirrorSection> section;
  boost::intrusive_ptr<IMirrorMaterial> material;
  std::function<boost::intrusive_ptr<IMirrorSection>(const pos3d&)> sectionAt;

 private:
  CallLog* log_;
};

class TestEccentricityCallback : public IEccentricityCallback {
 public:
  explicit TestEccentricityCallback(CallLog* log) : log_(log) {}
  vec3d GetEccentricity(const pos3d& position) override;
  bool GetConstantEccentricity(vec3d& eccentricity) override;

  // Answer of GetConstantEccentricity and the vector it stores (if any).
  bool isConstant = false;
  bool fillsVector = true;
  vec3d constant;
  // Answer of GetEccentricity; defaults to (0, 0, position.x).
  std::function<vec3d(const pos3d&)> eccentricityAt;

 private:
  CallLog* log_;
};

class TestLocalSystemCallback : public ILocalSystemCallback {
 public:
  explicit TestLocalSystemCallback(CallLog* log) : log_(log) {}
  locsys3d GetLocalSystem(const pos3d& position) override;

  // Answer of GetLocalSystem; defaults to the global system.
  std::function<locsys3d(const pos3d&)> systemAt;

 private:
  CallLog* log_;
};

// A beam over a list of segments. Logs "Host.GetEccentricityCallback",
// "Host.GetLocalSystemCallback" and "Host.GetSegment(i)".
class TestBeam : public IMirrorBeam {
 public:
  explicit TestBeam(CallLog* log = nullptr) : log_(log) {}

  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override { return {}; }
  ConceptType GetConceptType() const override { return ConceptType(2, 1, 0); }
  boost::shared_ptr<IEccentricityCallback> GetEccentricityCallback() override;
  boost::shared_ptr<ILocalSystemCallback> GetLocalSystemCallback() override;
  boost::intrusive_ptr<IMirrorSegment> GetSegment(unsigned int index) const override;
  unsigned int GetSegmentCount() const override {
    ++segmentCountCalls;
    return static_cast<unsigned int>(segments.size());
  }

  std::vector<boost::intrusive_ptr<IMirrorSegment>> segments;
  boost::shared_ptr<IEccentricityCallback> eccentricity;
  boost::shared_ptr<ILocalSystemCallback> localSystem;
  mutable int segmentCountCalls = 0;

 private:
  CallLog* log_;
};

// A model that hands out the fixture's analysis model and counts how often.
class CountingModel : public IMirrorModel {
 public:
  explicit CountingModel(boost::shared_ptr<XafModel> xaf) : xaf_(std::move(xaf)) {}
  boost::shared_ptr<XafModel> GetXafModel() override {
    ++calls;
    return xaf_;
  }
  int calls = 0;

 private:
  boost::shared_ptr<XafModel> xaf_;
};

// A fresh in-memory analysis model reached through a TestMirrorModel, with
// sections 11 and 12 and material 21, and helpers to build a mesh before the
// call log is attached.
class ModelFixture {
 public:
  ModelFixture();
  ~ModelFixture();

  long Node(double x, double y, double z);
  // A two-node beam element between two new nodes.
  long Beam2(const pos3d& a, const pos3d& b);
  // A three-node beam element (stored end, end, middle) on new nodes.
  long Beam3(const pos3d& a, const pos3d& b, const pos3d& middle);
  // Starts logging every analysis-model call into `log`.
  void Attach() { xaf->SetTraceSink(&log); }
  void Detach() { xaf->SetTraceSink(nullptr); }

  static std::string UniqueFileName();

  TestMirrorModel model;
  boost::shared_ptr<XafModel> xaf;
  CallLog log;
};

}  // namespace Kestrum::Quilm::Mirror::BeamTest
