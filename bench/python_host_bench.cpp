// The C++ side of the Python host comparison (python_host_bench.py): the
// same host, written in C++, writing 100,000 beam elements.
//
// The model: 10,000 beams along x, each of 2 segments of 5 two-node
// elements, 200 sections (each used by 100 segments), 10 materials, one
// constant eccentricity and one local system per beam. FirstWrite times the
// first Write of every beam on a model meshed outside the timing.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <boost/intrusive_ptr.hpp>
#include <boost/make_shared.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "mirror/mirror.hpp"

namespace {

using namespace Kestrum::Quilm::Mirror;

constexpr int kBeams = 10000;
constexpr int kSegmentsPerBeam = 2;
constexpr int kElementsPerSegment = 5;
constexpr int kSections = 200;
constexpr int kMaterials = 10;

class HostSection : public IMirrorSection {
 public:
  explicit HostSection(double height) : height_(height) {}
  std::string GetName() const override { return "R" + std::to_string(height_); }
  boost::shared_ptr<qlSection> GetSection() const override {
    return boost::make_shared<qlSection>(qlSection::Rectangle(height_, 0.2));
  }

 private:
  double height_;
};

class HostMaterial : public IMirrorMaterial {
 public:
  explicit HostMaterial(double e) : e_(e) {}
  boost::shared_ptr<qlMaterial> GetMaterial() const override {
    return boost::make_shared<qlMaterial>(e_, 0.3, 7850.0);
  }

 private:
  double e_;
};

class HostSegment : public IMirrorSegment {
 public:
  HostSegment(IMirrorConcept* beam, boost::intrusive_ptr<IMirrorSection> section,
              boost::intrusive_ptr<IMirrorMaterial> material)
      : beam_(beam), section_(std::move(section)), material_(std::move(material)) {}
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override { return beam_; }
  ConceptType GetConceptType() const override { return ConceptType(12, 0, 0); }
  boost::intrusive_ptr<IMirrorSection> GetSection(const pos3d&) override { return section_; }
  boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d&) override { return material_; }

 private:
  IMirrorConcept* beam_;  // not owned: the beam owns its segments
  boost::intrusive_ptr<IMirrorSection> section_;
  boost::intrusive_ptr<IMirrorMaterial> material_;
};

class Offset : public IEccentricityCallback {
 public:
  vec3d GetEccentricity(const pos3d&) override { return vec3d(0.0, 0.0, 0.1); }
  bool GetConstantEccentricity(vec3d& eccentricity) override {
    eccentricity = vec3d(0.0, 0.0, 0.1);
    return true;
  }
};

class Straight : public ILocalSystemCallback {
 public:
  locsys3d GetLocalSystem(const pos3d&) override { return locsys3d(vec3d(1, 0, 0), vec3d(0, 0, 1)); }
};

class HostBeam : public IMirrorBeam {
 public:
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override { return {}; }
  ConceptType GetConceptType() const override { return ConceptType(11, 0, 0); }
  boost::shared_ptr<IEccentricityCallback> GetEccentricityCallback() override {
    return boost::make_shared<Offset>();
  }
  boost::shared_ptr<ILocalSystemCallback> GetLocalSystemCallback() override {
    return boost::make_shared<Straight>();
  }
  boost::intrusive_ptr<IMirrorSegment> GetSegment(unsigned int index) const override {
    return segments[index];
  }
  unsigned int GetSegmentCount() const override { return static_cast<unsigned>(segments.size()); }

  std::vector<boost::intrusive_ptr<IMirrorSegment>> segments;
  boost::shared_ptr<IEccentricityCallback> offset = boost::make_shared<Offset>();
  boost::shared_ptr<ILocalSystemCallback> system = boost::make_shared<Straight>();
};

// The meshed model with its property mirrors written and its beams ready.
struct Host {
  explicit Host(const std::string& file) : model(file) {
    boost::shared_ptr<XafModel> xaf = model.GetXafModel();
    for (int s = 0; s < kSections; ++s) {
      sections.push_back(new HostSection(0.1 + 0.001 * s));
      sections.back()->Write(model);
    }
    for (int m = 0; m < kMaterials; ++m) {
      materials.push_back(new HostMaterial(200e9 + 1e9 * m));
      materials.back()->Write(model);
    }
    for (int b = 0; b < kBeams; ++b) {
      boost::intrusive_ptr<HostBeam> beam(new HostBeam);
      long previous = xaf->Nodes().AddNode(pos3d(0.0, b, 0.0));
      for (int s = 0; s < kSegmentsPerBeam; ++s) {
        const int index = kSegmentsPerBeam * b + s;
        boost::intrusive_ptr<HostSegment> segment(
            new HostSegment(beam.get(), sections[index % kSections], materials[index % kMaterials]));
        for (int k = 0; k < kElementsPerSegment; ++k) {
          const long next = xaf->Nodes().AddNode(pos3d(s * kElementsPerSegment + k + 1.0, b, 0.0));
          segment->AddElement(xaf->Elements().AddElement(qlElementType::Beam2(), {previous, next}));
          previous = next;
        }
        beam->segments.push_back(segment);
      }
      beams.push_back(beam);
    }
  }

  TestMirrorModel model;
  std::vector<boost::intrusive_ptr<IMirrorSection>> sections;
  std::vector<boost::intrusive_ptr<IMirrorMaterial>> materials;
  std::vector<boost::intrusive_ptr<HostBeam>> beams;
};

void FirstWrite(benchmark::State& state) {
  int run = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string file =
        "/tmp/quilm-python-host-bench-" + std::to_string(::getpid()) + "-" + std::to_string(run++) + ".qdb";
    auto host = std::make_unique<Host>(file);
    state.ResumeTiming();
    for (auto& beam : host->beams) beam->Write(host->model);
    state.PauseTiming();
    host.reset();
    std::remove(file.c_str());
    state.ResumeTiming();
  }
  state.counters["elements"] = kBeams * kSegmentsPerBeam * kElementsPerSegment;
}
BENCHMARK(FirstWrite)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
