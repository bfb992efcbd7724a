// Insertion, iteration and storage of 1,000,000 ids in CompressedSet,
// compared in the same run with std::set<long> and boost::icl::interval_set.
//
// Workloads:
//   ConsecutiveAscending  1 .. N in ascending order
//   ConsecutiveShuffled   the same ids in a random order
//   Random1Percent        N distinct ids drawn uniformly from [0, 100 N), in random order
//   RunsOf8               runs of 8 consecutive ids separated by gaps of 8; the runs in
//                         random order, each run's ids ascending (as a mesher numbers them)
//
// Counters: time_per_id (time per inserted or visited id), nodes (tree nodes
// holding the final content) and bytes (their storage: the persistent store's
// live bytes for the persistent set, node count x node size for the others;
// the heap's own per-block overhead is not included for any of them).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <boost/icl/interval_set.hpp>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "mirror/utility/compressed_set.hpp"
#include "mirror/utility/persistent_node_types.hpp"
#include "storage/database_handle.hpp"

namespace {

using Kestrum::Quilm::Core::DatabaseAllocator;
using Kestrum::Quilm::Core::DatabaseHandle;
using Kestrum::Quilm::Utility::BoundaryMapNode;
using Kestrum::Quilm::Utility::CompressedSet;

constexpr long kIdCount = 1000000;

enum Workload { kConsecutiveAscending, kConsecutiveShuffled, kRandom1Percent, kRunsOf8 };

std::vector<long> MakeIds(Workload workload) {
  std::mt19937_64 rng(12345);
  std::vector<long> ids;
  ids.reserve(kIdCount);
  switch (workload) {
    case kConsecutiveAscending:
    case kConsecutiveShuffled:
      for (long i = 1; i <= kIdCount; ++i) ids.push_back(i);
      if (workload == kConsecutiveShuffled) std::shuffle(ids.begin(), ids.end(), rng);
      break;
    case kRandom1Percent: {
      std::vector<bool> taken(100 * kIdCount, false);
      std::uniform_int_distribution<long> pick(0, 100 * kIdCount - 1);
      while (static_cast<long>(ids.size()) < kIdCount) {
        const long v = pick(rng);
        if (!taken[v]) {
          taken[v] = true;
          ids.push_back(v);
        }
      }
      break;
    }
    case kRunsOf8: {
      std::vector<long> runs(kIdCount / 8);
      for (long r = 0; r < kIdCount / 8; ++r) runs[r] = r;
      std::shuffle(runs.begin(), runs.end(), rng);
      for (long r : runs)
        for (long i = 0; i < 8; ++i) ids.push_back(16 * r + i);
      break;
    }
  }
  return ids;
}

const std::vector<long>& Ids(Workload workload) {
  static std::map<Workload, std::vector<long>> cache;
  auto it = cache.find(workload);
  if (it == cache.end()) it = cache.emplace(workload, MakeIds(workload)).first;
  return it->second;
}

// Container adapters: insertion, storage accounting.
struct PersistentCompressed {
  using Set = CompressedSet<long, DatabaseAllocator<long>>;
  static void Insert(Set& s, long v) { s.insert(v); }
  static std::int64_t Nodes(const Set&) {
    return DatabaseHandle::LiveAllocations(os_pse::os_ts<BoundaryMapNode>::the_instance);
  }
  static std::int64_t Bytes(const Set&) {
    return DatabaseHandle::LiveBytes(os_pse::os_ts<BoundaryMapNode>::the_instance);
  }
};

struct StdCompressed {
  using Set = CompressedSet<long>;
  static void Insert(Set& s, long v) { s.insert(v); }
  static std::int64_t Nodes(const Set& s) { return static_cast<std::int64_t>(s.boundaries().size()); }
  static std::int64_t Bytes(const Set& s) { return Nodes(s) * sizeof(BoundaryMapNode); }
};

struct StdSet {
  using Set = std::set<long>;
  static void Insert(Set& s, long v) { s.insert(v); }
  static std::int64_t Nodes(const Set& s) { return static_cast<std::int64_t>(s.size()); }
  static std::int64_t Bytes(const Set& s) { return Nodes(s) * sizeof(std::_Rb_tree_node<long>); }
};

struct IntervalSet {
  using Set = boost::icl::interval_set<long>;
  static void Insert(Set& s, long v) { s.insert(v); }
  static std::int64_t Nodes(const Set& s) { return static_cast<std::int64_t>(s.iterative_size()); }
  static std::int64_t Bytes(const Set& s) {
    return Nodes(s) * sizeof(std::_Rb_tree_node<Set::interval_type>);
  }
};

template <class Adapter>
void BM_Insert(benchmark::State& state) {
  const auto& ids = Ids(static_cast<Workload>(state.range(0)));
  std::int64_t nodes = 0, bytes = 0;
  for (auto _ : state) {
    auto* set = new typename Adapter::Set;
    for (long v : ids) Adapter::Insert(*set, v);
    benchmark::DoNotOptimize(set);
    state.PauseTiming();
    nodes = Adapter::Nodes(*set);
    bytes = Adapter::Bytes(*set);
    delete set;
    state.ResumeTiming();
  }
  state.counters["time_per_id"] =
      benchmark::Counter(static_cast<double>(ids.size()),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["bytes"] = static_cast<double>(bytes);
}

template <class Adapter>
void BM_Iterate(benchmark::State& state) {
  const auto& ids = Ids(static_cast<Workload>(state.range(0)));
  typename Adapter::Set set;
  for (long v : ids) Adapter::Insert(set, v);
  std::int64_t visited = 0;
  for (auto _ : state) {
    long sum = 0;
    visited = 0;
    if constexpr (std::is_same_v<Adapter, IntervalSet>) {
      // Element-wise iteration over the intervals, as a caller needs the ids.
      for (auto it = boost::icl::elements_begin(set); it != boost::icl::elements_end(set); ++it) {
        sum += *it;
        ++visited;
      }
    } else {
      for (long v : set) {
        sum += v;
        ++visited;
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  if (visited != static_cast<std::int64_t>(ids.size())) state.SkipWithError("iteration missed ids");
  state.counters["time_per_id"] =
      benchmark::Counter(static_cast<double>(ids.size()),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Workloads(benchmark::internal::Benchmark* b) {
  b->ArgName("workload");
  for (int w : {kConsecutiveAscending, kConsecutiveShuffled, kRandom1Percent, kRunsOf8}) b->Arg(w);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK_TEMPLATE(BM_Insert, PersistentCompressed)->Apply(Workloads);
BENCHMARK_TEMPLATE(BM_Insert, StdCompressed)->Apply(Workloads);
BENCHMARK_TEMPLATE(BM_Insert, StdSet)->Apply(Workloads);
BENCHMARK_TEMPLATE(BM_Insert, IntervalSet)->Apply(Workloads);
BENCHMARK_TEMPLATE(BM_Iterate, PersistentCompressed)->Apply(Workloads);
BENCHMARK_TEMPLATE(BM_Iterate, StdCompressed)->Apply(Workloads);
BENCHMARK_TEMPLATE(BM_Iterate, StdSet)->Apply(Workloads);
BENCHMARK_TEMPLATE(BM_Iterate, IntervalSet)->Apply(Workloads);

}  // namespace

int main(int argc, char** argv) {
  Kestrum::Quilm::Utility::RegisterPersistentNodeTypes();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Kestrum::Quilm::Utility::DeregisterPersistentNodeTypes();
  return 0;
}
