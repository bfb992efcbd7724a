// Host-side stand-ins for the beam tests: segments, beams, property mirrors
// and callbacks that report what they are asked into one call log shared with
// the analysis model's call trace, so tests see host and model calls in one
// order. The log can also fail the N-th call (host or model) on purpose.
#pragma once

#include <boost/intrusive_ptr.hpp>
#include <boost/shared_ptr.hpp>
#include <functional>
#include <string>
#include <vector>

#include "mirror/beams/beam_callbacks.hpp"
#include "mirror/beams/mirror_beam.hpp"
#include "mirror/beams/mirror_segment.hpp"
#include "mirror/core/mirror_model.hpp"
#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_section.hpp"
#include "tests/support/counting_model.hpp"
#include "tests/support/fault_injecting_sink.hpp"

namespace Kestrum::Quilm::Mirror::Testing {

using Quilm::Testing::CountingModel;
using Quilm::Testing::InjectedFault;
// One log of host and analysis-model calls, in the order they happen; host
// doubles add theirs with Record, so FailAt can fail either kind.
using CallLog = Quilm::Testing::FaultInjectingSink;

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

// A fresh in-memory analysis model reached through a TestMirrorModel, with
// sections 11 and 12 and material 21, and helpers to build a mesh before the
// call log is attached.
class BeamModel {
 public:
  BeamModel();
  ~BeamModel();

  long Node(double x, double y, double z);
  // A two-node beam element between two new nodes.
  long Beam2(const pos3d& a, const pos3d& b);
  // A three-node beam element (stored end, end, middle) on new nodes.
  long Beam3(const pos3d& a, const pos3d& b, const pos3d& middle);
  // Starts logging every analysis-model call into `log`.
  void Attach() { xaf->SetTraceSink(&log); }
  void Detach() { xaf->SetTraceSink(nullptr); }

  TestMirrorModel model;
  boost::shared_ptr<XafModel> xaf;
  CallLog log;
};

// A beam along x of two segments: segment 0 holds elements 1 and 2, segment 1
// element 3; element k runs from (k-1, 0, 0) to (k, 0, 0) on nodes 2k-1, 2k.
// Section 11 and material 21 everywhere, a local system with the given x axis
// and z up, and an eccentricity of (0, 0, 0.5), constant or asked per node.
// The host doubles log into fx.log; the log is not attached yet.
struct TwoSegmentBeam {
  explicit TwoSegmentBeam(const vec3d& localX = vec3d(1, 0, 0), bool constantEccentricity = true);

  BeamModel fx;
  boost::intrusive_ptr<TestSection> section{new TestSection(11)};
  boost::intrusive_ptr<TestMaterial> material{new TestMaterial(21)};
  boost::intrusive_ptr<TestSegment> s0{new TestSegment}, s1{new TestSegment};
  boost::intrusive_ptr<TestBeam> beam{new TestBeam(&fx.log)};
  boost::shared_ptr<TestEccentricityCallback> eccentricity{new TestEccentricityCallback(&fx.log)};
  boost::shared_ptr<TestLocalSystemCallback> localSystem{new TestLocalSystemCallback(&fx.log)};
};

}  // namespace Kestrum::Quilm::Mirror::Testing
