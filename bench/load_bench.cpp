// Cost of writing loads through the mirror library against plain loops that
// make the same load-manager calls directly.
//
//  * Rotation: AddRigidBodyRotationLoad over 1,000,000 nodes (a 100^3 grid)
//    against a loop that looks every node up, computes the same acceleration
//    and calls AddNodeAccelerationLoad.
//  * LineLoads: IMirrorLoad::Write of a line load on each of 1,000,000 beam
//    elements against a loop calling AddLineLoad per element.
//  * PointLoads: IMirrorLoad::Write of point loads at 100,000 nodes, each
//    shared by the two elements listed for it (two members over every pair of
//    consecutive nodes), against a loop calling AddPointLoad once per node.
// Each iteration runs both variants of a case, in alternating order; loads
// written are removed outside the timing. The best run of each variant is
// kept and the ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <boost/shared_ptr.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "mirror/core/mirror_model.hpp"
#include "mirror/loads/mirror_load.hpp"
#include "mirror/loads/mirror_load_manager.hpp"
#include "tests/support/host_mirrors.hpp"
#include "tests/support/scratch_file.hpp"

namespace {

using namespace Kestrum::Quilm::Mirror;

constexpr int kGrid = 100;               // 100^3 nodes for the rotation
constexpr long kLineElements = 1000000;  // beams for the line loads
constexpr long kLoadedNodes = 100000;    // nodes for the point loads
constexpr long kLoadCase = 1;

std::map<std::string, double> g_best;  // case name -> best seconds

void Keep(const std::string& name, double seconds) {
  auto it = g_best.find(name);
  if (it == g_best.end() || seconds < it->second) g_best[name] = seconds;
}

std::string FreshPath(const char* tag) {
  return Kestrum::Quilm::Testing::ScratchFilePath(std::string("load_bench_") + tag);
}

// ---- rotation ------------------------------------------------------------------

TestMirrorModel& RotationModel() {
  static TestMirrorModel model(FreshPath("rotation"));
  static bool built = false;
  if (!built) {
    auto xaf = model.GetXafModel();
    for (int i = 0; i < kGrid; ++i)
      for (int j = 0; j < kGrid; ++j)
        for (int k = 0; k < kGrid; ++k) xaf->Nodes().AddNode({double(i), double(j), double(k)});
    built = true;
  }
  return model;
}

using BenchManager = Kestrum::Quilm::Testing::HostLoadManager;

const pos3d kAxisStart(10.5, 20.25, 0.0);
const pos3d kAxisEnd(30.0, 40.0, 100.0);
constexpr double kOmega = 2.0;
constexpr double kAlpha = 3.0;

// Runs `body` once, timed; `prepare` and `cleanup` run outside the timing.
template <class Body>
double TimeOnce(IMirrorModel& model, Body body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  model.GetXafModel()->Loads().DeleteAllLoadsInLoadCase(kLoadCase);
  return seconds;
}

// Each iteration runs both variants, in alternating order so that neither
// always meets the heap as the other left it; the best time of each is kept.
template <class Mirror, class Direct>
void Compare(benchmark::State& state, const std::string& name, IMirrorModel& model, Mirror mirror,
             Direct direct) {
  int round = 0;
  for (auto _ : state) {
    double m, d;
    if (round++ % 2 == 0) {
      m = mirror();
      d = direct();
    } else {
      d = direct();
      m = mirror();
    }
    Keep(name + " mirror", m);
    Keep(name + " direct", d);
    state.SetIterationTime(m + d);
  }
  state.counters["mirror_ms"] = g_best[name + " mirror"] * 1e3;
  state.counters["direct_ms"] = g_best[name + " direct"] * 1e3;
  state.counters["ratio"] = g_best[name + " mirror"] / g_best[name + " direct"];
  (void)model;
}

void BM_Rotation(benchmark::State& state) {
  TestMirrorModel& model = RotationModel();
  BenchManager manager(model);
  auto mirror = [&] {
    return TimeOnce(
        model, [&] { manager.AddRigidBodyRotationLoad(kLoadCase, kAxisStart, kAxisEnd, kOmega, kAlpha); });
  };
  auto direct = [&] {
    return TimeOnce(model, [&] {
      const auto xaf = model.GetXafModel();
      const vec3d axis(kAxisStart, kAxisEnd);
      const double length = axis.length();
      const vec3d unit(axis.x / length, axis.y / length, axis.z / length);
      for (const long node : xaf->Nodes()) {
        const pos3d n = xaf->GetConnectivityManager().GetNodeById(node).GetPos();
        const vec3d fromStart(kAxisStart, n);
        const vec3d radial = fromStart - unit * fromStart.dot(unit);  // from the axis to the node
        if (radial.length() == 0.0) continue;
        const vec3d a = radial * (-kOmega * kOmega) + unit.cross(radial) * kAlpha;
        xaf->Loads().AddNodeAccelerationLoad(kLoadCase, node, PointLoad(n, a, vec3d()));
      }
    });
  };
  Compare(state, "rotation", model, mirror, direct);
}

// ---- element and point loads ---------------------------------------------------

// A load on a range of elements; each element's record comes from `record`.
class BenchLoad : public IMirrorLoad {
 public:
  BenchLoad(long first, long last, std::vector<boost::shared_ptr<Load>> const* perElement,
            boost::shared_ptr<Load> common)
      : first_(first), last_(last), perElement_(perElement), common_(std::move(common)) {}
  bool GetElements(std::list<long>& elements) override {
    for (long e = first_; e <= last_; ++e) elements.push_back(e);
    return true;
  }
  long GetLoadCase() override { return kLoadCase; }
  boost::shared_ptr<Load> GetElementLoad(long element) override {
    return perElement_ ? (*perElement_)[element] : common_;
  }

 private:
  long first_, last_;
  std::vector<boost::shared_ptr<Load>> const* perElement_;
  boost::shared_ptr<Load> common_;
};

TestMirrorModel& LineModel() {
  static TestMirrorModel model(FreshPath("line"));
  static bool built = false;
  if (!built) {
    auto xaf = model.GetXafModel();
    long previous = xaf->Nodes().AddNode({0, 0, 0});
    for (long e = 1; e <= kLineElements; ++e) {
      const long next = xaf->Nodes().AddNode({double(e), 0, 0});
      xaf->Elements().AddElement(qlElementType::Beam2(), {previous, next});
      previous = next;
    }
    built = true;
  }
  return model;
}

void BM_LineLoads(benchmark::State& state) {
  TestMirrorModel& model = LineModel();
  const boost::shared_ptr<Load> record(new LineLoad(vec3d(0, 0, -5)));
  auto mirror = [&] {
    BenchLoad load(1, kLineElements, nullptr, record);  // made and destroyed outside the timing
    return TimeOnce(model, [&] { load.Write(model); });
  };
  auto direct = [&] {
    return TimeOnce(model, [&] {
      const auto xaf = model.GetXafModel();
      for (long e = 1; e <= kLineElements; ++e)
        xaf->Loads().AddLineLoad(kLoadCase, e, static_cast<const LineLoad&>(*record));
    });
  };
  Compare(state, "line loads", model, mirror, direct);
}

// The same line loads through a direct loop that keeps the bookkeeping the
// mirror must keep (the host's element list, a persistent set of loaded
// elements): what remains of the ratio is the mirror's own overhead.
void BM_LineLoadsSameBookkeeping(benchmark::State& state) {
  TestMirrorModel& model = LineModel();
  const boost::shared_ptr<Load> record(new LineLoad(vec3d(0, 0, -5)));
  auto mirror = [&] {
    BenchLoad load(1, kLineElements, nullptr, record);
    return TimeOnce(model, [&] { load.Write(model); });
  };
  auto direct = [&] {
    IMirrorLoad::IdSet loaded;
    return TimeOnce(model, [&] {
      const auto xaf = model.GetXafModel();
      std::list<long> elements;
      for (long e = 1; e <= kLineElements; ++e) elements.push_back(e);
      for (const long e : elements) {
        xaf->Loads().AddLineLoad(kLoadCase, e, static_cast<const LineLoad&>(*record));
        loaded.insert(loaded.end(), e);
      }
    });
  };
  Compare(state, "line loads, same bookkeeping", model, mirror, direct);
}

// Nodes 1 .. kLoadedNodes + 1 on a line; elements 2i-1 and 2i both join
// nodes i and i + 1, and both carry a point load at node i + 1.
struct PointSetup {
  TestMirrorModel model{FreshPath("point")};
  std::vector<boost::shared_ptr<Load>> records;
  PointSetup() {
    auto xaf = model.GetXafModel();
    records.resize(2 * kLoadedNodes + 1);
    long previous = xaf->Nodes().AddNode({0, 0, 0});
    for (long i = 1; i <= kLoadedNodes; ++i) {
      const pos3d at(double(i), 0, 0);
      const long next = xaf->Nodes().AddNode(at);
      const boost::shared_ptr<Load> record(new PointLoad(at, vec3d(0, 0, -1), vec3d()));
      for (int twice = 0; twice < 2; ++twice) {
        const long e = xaf->Elements().AddElement(qlElementType::Beam2(), {previous, next});
        records[e] = record;
      }
      previous = next;
    }
  }
};

PointSetup& Points() {
  static PointSetup setup;
  return setup;
}

void BM_PointLoads(benchmark::State& state) {
  PointSetup& setup = Points();
  auto mirror = [&] {
    BenchLoad load(1, 2 * kLoadedNodes, &setup.records, nullptr);
    return TimeOnce(setup.model, [&] { load.Write(setup.model); });
  };
  auto direct = [&] {
    return TimeOnce(setup.model, [&] {
      const auto xaf = setup.model.GetXafModel();
      for (long i = 1; i <= kLoadedNodes; ++i)
        xaf->Loads().AddPointLoad(kLoadCase, i + 1, static_cast<const PointLoad&>(*setup.records[2 * i]));
    });
  };
  Compare(state, "point loads", setup.model, mirror, direct);
}

// The same point loads through a direct loop that makes the look-ups the
// mirror must make (element node positions, element record, a set of loaded
// nodes): what remains of the ratio is the mirror's own overhead.
void BM_PointLoadsSameLookups(benchmark::State& state) {
  PointSetup& setup = Points();
  auto mirror = [&] {
    BenchLoad load(1, 2 * kLoadedNodes, &setup.records, nullptr);
    return TimeOnce(setup.model, [&] { load.Write(setup.model); });
  };
  auto direct = [&] {
    return TimeOnce(setup.model, [&] {
      const auto xaf = setup.model.GetXafModel();
      std::set<long> loaded;
      std::vector<pos3d> positions;
      for (long e = 1; e <= 2 * kLoadedNodes; ++e) {
        const auto& record = static_cast<const PointLoad&>(*setup.records[e]);
        const pos3d at = record.GetValues().begin()->first;
        xaf->GetConnectivityManager().GetElementNodes(e, positions, Element::Geometric);
        for (unsigned i = 0; i < positions.size(); ++i) {
          if (!at.isEqual(positions[i])) continue;
          const long node = xaf->GetConnectivityManager().GetElementById(e).GetNode(i, Element::Geometric);
          if (loaded.insert(node).second) xaf->Loads().AddPointLoad(kLoadCase, node, record);
        }
      }
    });
  };
  Compare(state, "point loads, same look-ups", setup.model, mirror, direct);
}

BENCHMARK(BM_Rotation)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_LineLoads)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_LineLoadsSameBookkeeping)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_PointLoads)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_PointLoadsSameLookups)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

void PrintRatio(const char* what, const std::string& mirror, const std::string& direct, double target) {
  if (!g_best.count(mirror) || !g_best.count(direct)) return;
  const double ratio = g_best[mirror] / g_best[direct];
  std::printf("%-22s mirror %8.1f ms  direct %8.1f ms  ratio %.2f (target <= %.1f) %s\n", what,
              g_best[mirror] * 1e3, g_best[direct] * 1e3, ratio, target, ratio <= target ? "ok" : "OVER");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatio("rotation", "rotation mirror", "rotation direct", 1.3);
  PrintRatio("line loads", "line loads mirror", "line loads direct", 1.5);
  PrintRatio("line, same bookkeeping", "line loads, same bookkeeping mirror",
             "line loads, same bookkeeping direct", 1.5);
  PrintRatio("point loads", "point loads mirror", "point loads direct", 1.5);
  PrintRatio("point, same look-ups", "point loads, same look-ups mirror", "point loads, same look-ups direct",
             1.5);
  return 0;
}
