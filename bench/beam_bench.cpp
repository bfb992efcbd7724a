// Cost of writing beams through the mirror library against a plain loop that
// makes the same analysis-model calls directly.
//
// The model: 100,000 beams along x, each of 2 segments of 5 two-node
// elements (1,000,000 elements), 200 sections (each used by 1,000 segments),
// 10 materials, one constant eccentricity per beam and one local system.
//  * FirstWrite: the first Write of every beam (eccentricity, local system,
//    section and material of every element).
//  * Rewrite: one section changes; the 1,000 segments that use it are marked
//    and only their beams are written again.
// Each case runs once through the mirrors and once as a direct loop, each on
// a model of its own built outside the timing. The ratios are printed at the
// end.
#include <benchmark/benchmark.h>

#include <boost/intrusive_ptr.hpp>
#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "mirror/beams/beam_callbacks.hpp"
#include "mirror/beams/mirror_beam.hpp"
#include "mirror/beams/mirror_segment.hpp"
#include "mirror/core/mirror_model.hpp"
#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_section.hpp"
#include "tests/support/host_mirrors.hpp"
#include "tests/support/scratch_file.hpp"

namespace {

using namespace Kestrum::Quilm::Mirror;

constexpr int kBeams = 100000;
constexpr int kSegmentsPerBeam = 2;
constexpr int kElementsPerSegment = 5;
constexpr int kSections = 200;
constexpr int kMaterials = 10;
constexpr int kChangedSection = 0;

const vec3d kConstantEccentricity(0.0, 0.0, 0.1);
const vec3d kLocalX(1.0, 0.0, 0.0);
const vec3d kLocalZ(0.0, 0.0, 1.0);

using Kestrum::Quilm::Testing::ConstantEccentricity;
using Kestrum::Quilm::Testing::ConstantLocalSystem;
using Kestrum::Quilm::Testing::HostBeam;
using Kestrum::Quilm::Testing::HostMaterial;
using Kestrum::Quilm::Testing::HostSection;
using Kestrum::Quilm::Testing::HostSegment;

qlSection SectionOfHeight(double height) { return qlSection::Rectangle(height, 0.2); }

// The mesh, the property tables and, for the mirror runs, the mirrors.
// Beam b runs along x at y = b; its element k (0..9) is element id
// 10 b + k + 1, and belongs to segment 2 b + k / 5.
struct World {
  explicit World(bool withMirrors) : model(Kestrum::Quilm::Testing::ScratchFilePath("beam_bench")) {
    boost::shared_ptr<XafModel> xaf = model.GetXafModel();
    for (int s = 0; s < kSections; ++s) {
      sections.push_back(new HostSection(SectionOfHeight(0.1 + 0.001 * s)));
      sections.back()->Write(model);
    }
    for (int m = 0; m < kMaterials; ++m) {
      materials.push_back(new HostMaterial(qlMaterial(200e9 + 1e9 * m, 0.3, 7850.0)));
      materials.back()->Write(model);
    }
    const int elementsPerBeam = kSegmentsPerBeam * kElementsPerSegment;
    for (int b = 0; b < kBeams; ++b) {
      long previous = xaf->Nodes().AddNode(pos3d(0.0, b, 0.0));
      for (int k = 0; k < elementsPerBeam; ++k) {
        const long next = xaf->Nodes().AddNode(pos3d(k + 1.0, b, 0.0));
        xaf->Elements().AddElement(qlElementType::Beam2(), {previous, next});
        previous = next;
      }
    }
    if (!withMirrors) return;
    auto eccentricity = boost::make_shared<ConstantEccentricity>(kConstantEccentricity);
    auto localSystem = boost::make_shared<ConstantLocalSystem>(locsys3d(kLocalX, kLocalZ));
    beams.reserve(kBeams);
    for (int b = 0; b < kBeams; ++b) {
      boost::intrusive_ptr<HostBeam> beam(new HostBeam);
      beam->segments.reserve(kSegmentsPerBeam);
      beam->eccentricity = eccentricity;
      beam->localSystem = localSystem;
      for (int s = 0; s < kSegmentsPerBeam; ++s) {
        const int segment = kSegmentsPerBeam * b + s;
        boost::intrusive_ptr<HostSegment> mirror(
            new HostSegment(sections[SectionOf(segment)], materials[segment % kMaterials]));
        for (int k = 0; k < kElementsPerSegment; ++k) mirror->AddElement(FirstElement(segment) + k);
        beam->segments.push_back(mirror);
      }
      beams.push_back(beam);
    }
  }

  static int SectionOf(int segment) { return segment % kSections; }
  static long FirstElement(int segment) { return static_cast<long>(segment) * kElementsPerSegment + 1; }

  TestMirrorModel model;
  std::vector<boost::intrusive_ptr<HostSection>> sections;
  std::vector<boost::intrusive_ptr<HostMaterial>> materials;
  std::vector<boost::intrusive_ptr<HostBeam>> beams;
};

// What a beam's first Write does, written out by hand against the model.
void DirectFirstWrite(World& world, int beam) {
  boost::shared_ptr<XafModel> xaf = world.model.GetXafModel();
  const long eccentricity = xaf->Eccentricities().AddEccentricity(kConstantEccentricity, -1);
  for (int s = 0; s < kSegmentsPerBeam; ++s) {
    const int segment = kSegmentsPerBeam * beam + s;
    const long first = World::FirstElement(segment);
    for (long e = first; e < first + kElementsPerSegment; ++e) {
      xaf->Elements().GetElement(e)->SetEccentricity(eccentricity);
      const boost::shared_ptr<XafElement> element = xaf->Elements().GetElement(e);
      const Element record = xaf->GetConnectivityManager().GetElementById(e);
      const pos3d start = xaf->GetConnectivityManager().GetNodeById(record.GetNodeIds().front()).GetPos();
      const pos3d end = xaf->GetConnectivityManager().GetNodeById(record.GetNodeIds().back()).GetPos();
      const locsys3d system(kLocalX, kLocalZ);
      element->SetTransformation(xaf->Transformations().AddTransformation(system.z(), -1));
      if (vec3d(start, end).dot(system.x()) < 0.0) xaf->Elements().ReverseNodeNumbers(e);
    }
    const long section = world.sections[World::SectionOf(segment)]->GetId();
    const long material = world.materials[segment % kMaterials]->GetId();
    for (long e = first; e < first + kElementsPerSegment; ++e) {
      const boost::shared_ptr<XafElement> element = xaf->Elements().GetElement(e);
      benchmark::DoNotOptimize(xaf->GetConnectivityManager().GetElementPoint(e));
      element->SetSection(section);
      element->SetMaterial(material);
    }
  }
}

// What rewriting the segments of one section does, written out by hand.
void DirectSectionRewrite(World& world, int segment) {
  boost::shared_ptr<XafModel> xaf = world.model.GetXafModel();
  const long section = world.sections[World::SectionOf(segment)]->GetId();
  const long first = World::FirstElement(segment);
  for (long e = first; e < first + kElementsPerSegment; ++e) {
    const boost::shared_ptr<XafElement> element = xaf->Elements().GetElement(e);
    benchmark::DoNotOptimize(xaf->GetConnectivityManager().GetElementPoint(e));
    element->SetSection(section);
  }
}

// One iteration per repetition: a first write needs a fresh world, which is
// built before the timed loop and torn down after it.
// The section rewrite once more, fetching the analysis model from the mirror
// model for every step as the mirrors do: what the library costs beyond that
// protocol.
void DirectSectionRewritePerStep(World& world, int segment) {
  const long section = world.sections[World::SectionOf(segment)]->GetId();
  const long first = World::FirstElement(segment);
  for (long e = first; e < first + kElementsPerSegment; ++e) {
    const boost::shared_ptr<XafElement> element = world.model.GetXafModel()->Elements().GetElement(e);
    benchmark::DoNotOptimize(world.model.GetXafModel()->GetConnectivityManager().GetElementPoint(e));
    element->SetSection(section);
  }
}

void FirstWrite_Mirror(benchmark::State& state) {
  World world(true);
  for (auto _ : state) {
    for (const auto& beam : world.beams) beam->Write(world.model);
  }
  state.SetItemsProcessed(state.iterations() * kBeams * kSegmentsPerBeam * kElementsPerSegment);
}

void FirstWrite_Direct(benchmark::State& state) {
  World world(false);
  for (auto _ : state) {
    for (int b = 0; b < kBeams; ++b) DirectFirstWrite(world, b);
  }
  state.SetItemsProcessed(state.iterations() * kBeams * kSegmentsPerBeam * kElementsPerSegment);
}

// The segments that use the changed section, and their beams.
std::vector<int> ChangedSegments() {
  std::vector<int> segments;
  for (int s = kChangedSection; s < kBeams * kSegmentsPerBeam; s += kSections) segments.push_back(s);
  return segments;
}

void Rewrite_Mirror(benchmark::State& state) {
  World world(true);
  for (const auto& beam : world.beams) beam->Write(world.model);
  world.sections[kChangedSection]->Change(SectionOfHeight(0.5));
  world.sections[kChangedSection]->Write(world.model);
  const std::vector<int> segments = ChangedSegments();
  for (auto _ : state) {
    state.PauseTiming();
    for (int s : segments)
      world.beams[s / kSegmentsPerBeam]->GetSegment(s % kSegmentsPerBeam)->SetSectionModified(true);
    state.ResumeTiming();
    for (int s : segments) world.beams[s / kSegmentsPerBeam]->Write(world.model);
  }
  state.counters["segments"] = static_cast<double>(segments.size());
}

void Rewrite_Direct(benchmark::State& state) {
  World world(false);
  for (int b = 0; b < kBeams; ++b) DirectFirstWrite(world, b);
  world.sections[kChangedSection]->Change(SectionOfHeight(0.5));
  world.sections[kChangedSection]->Write(world.model);
  const std::vector<int> segments = ChangedSegments();
  for (auto _ : state) {
    for (int s : segments) DirectSectionRewrite(world, s);
  }
  state.counters["segments"] = static_cast<double>(segments.size());
}

void Rewrite_DirectPerStep(benchmark::State& state) {
  World world(false);
  for (int b = 0; b < kBeams; ++b) DirectFirstWrite(world, b);
  const std::vector<int> segments = ChangedSegments();
  for (auto _ : state) {
    for (int s : segments) DirectSectionRewritePerStep(world, s);
  }
  state.counters["segments"] = static_cast<double>(segments.size());
}

BENCHMARK(FirstWrite_Mirror)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(FirstWrite_Direct)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(Rewrite_Mirror)->Unit(benchmark::kMicrosecond);
BENCHMARK(Rewrite_Direct)->Unit(benchmark::kMicrosecond);
BENCHMARK(Rewrite_DirectPerStep)->Unit(benchmark::kMicrosecond);

// Prints what the benchmarks print and, at the end, the ratios the targets
// are stated in (medians for the repeated first writes), by wall-clock time
// and by CPU time (steadier on a shared machine).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const std::string name = run.run_name.function_name;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      if (run.run_type == Run::RT_Aggregate || real_.count(name) == 0) {
        real_[name] = run.GetAdjustedRealTime() * Scale(run.time_unit);
        cpu_[name] = run.GetAdjustedCPUTime() * Scale(run.time_unit);
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    Print("real", real_);
    Print("cpu", cpu_);
  }

 private:
  static void Print(const char* clock, std::map<std::string, double>& t) {
    const double first = t["FirstWrite_Mirror"], firstDirect = t["FirstWrite_Direct"];
    const double re = t["Rewrite_Mirror"], reDirect = t["Rewrite_Direct"],
                 rePerStep = t["Rewrite_DirectPerStep"];
    std::printf("[%s] first write: mirror %.1f ms, direct %.1f ms, ratio %.2f (target <= 1.5)\n", clock,
                first * 1e3, firstDirect * 1e3, firstDirect > 0 ? first / firstDirect : 0.0);
    std::printf(
        "[%s] rewrite: mirror %.1f us, direct %.1f us, ratio %.2f (target <= 1.5); "
        "direct fetching the model per step %.1f us, ratio %.2f\n",
        clock, re * 1e6, reDirect * 1e6, reDirect > 0 ? re / reDirect : 0.0, rePerStep * 1e6,
        rePerStep > 0 ? re / rePerStep : 0.0);
    std::printf("[%s] rewrite / first write: 1/%.0f (target under 1/100)\n", clock,
                re > 0 ? first / re : 0.0);
  }
  static double Scale(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kNanosecond:
        return 1e-9;
      case benchmark::kMicrosecond:
        return 1e-6;
      case benchmark::kMillisecond:
        return 1e-3;
      default:
        return 1.0;
    }
  }
  std::map<std::string, double> real_, cpu_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
