// Tests of CompressedSet: the boundary map after each kind of insertion,
// iteration order, the id range, node reuse, exception safety under failing
// allocations, and random operation sequences against std::set.
#include "mirror/utility/compressed_set.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "mirror/utility/persistent_node_types.hpp"
#include "storage/database_handle.hpp"

namespace Kestrum::Quilm::Utility {
namespace {

using Core::DatabaseAllocator;
using Core::DatabaseHandle;
using Boundary = std::pair<long, bool>;

// Registers the persistent node types for the whole test program, as the
// mirror library does when it is loaded.
class PersistentTypesEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { RegisterPersistentNodeTypes(); }
  void TearDown() override { DeregisterPersistentNodeTypes(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new PersistentTypesEnvironment);

template <class Set>
std::vector<Boundary> BoundariesOf(const Set& set) {
  return {set.boundaries().begin(), set.boundaries().end()};
}

template <class Set>
std::vector<long> IdsOf(const Set& set) {
  std::vector<long> ids;
  for (auto it = set.begin(); it != set.end(); ++it) ids.push_back(*it);
  return ids;
}

std::int64_t LiveBoundaryNodes() {
  return DatabaseHandle::LiveAllocations(os_pse::os_ts<BoundaryMapNode>::the_instance);
}

template <class Alloc>
class CompressedSetTest : public ::testing::Test {
 protected:
  using Set = CompressedSet<long, Alloc>;
};
using Allocators = ::testing::Types<std::allocator<long>, DatabaseAllocator<long>>;
TYPED_TEST_SUITE(CompressedSetTest, Allocators);

struct InsertCase {
  const char* name;
  std::vector<long> inserts;
  std::vector<Boundary> expected;
  bool lastAdded;
};

TYPED_TEST(CompressedSetTest, BoundariesAfterInsertions) {
  const std::vector<InsertCase> cases = {
      {"single id", {5}, {{5, true}, {6, false}}, true},
      {"extends a run upwards", {5, 6}, {{5, true}, {7, false}}, true},
      {"extends a run downwards", {5, 6, 4}, {{4, true}, {7, false}}, true},
      {"bridges two runs", {5, 6, 8, 9, 7}, {{5, true}, {10, false}}, true},
      {"separate runs", {3, 4, 5, 9}, {{3, true}, {6, false}, {9, true}, {10, false}}, true},
      {"duplicate inside a run", {3, 4, 5, 4}, {{3, true}, {6, false}}, false},
      {"duplicate at a run start", {3, 4, 3}, {{3, true}, {5, false}}, false},
      {"negative ids", {-1, 0}, {{-1, true}, {1, false}}, true},
      {"negative run below zero", {-5, -3, -4}, {{-5, true}, {-2, false}}, true},
      {"new run just below another", {10, 8}, {{8, true}, {9, false}, {10, true}, {11, false}}, true},
      {"new run just above another", {10, 12}, {{10, true}, {11, false}, {12, true}, {13, false}}, true},
      {"joins the run above it", {20, 21, 10, 19}, {{10, true}, {11, false}, {19, true}, {22, false}}, true},
      {"fills a gap of one between three runs", {1, 3, 5, 2, 4}, {{1, true}, {6, false}}, true},
      {"largest storable id", {2147483646}, {{2147483646, true}, {2147483647, false}}, true},
      {"smallest storable id", {INT32_MIN, INT32_MIN + 1}, {{INT32_MIN, true}, {INT32_MIN + 2, false}}, true},
      {"descending block", {9, 8, 7, 6, 5}, {{5, true}, {10, false}}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    typename TestFixture::Set set;
    std::set<long> oracle;
    std::pair<typename TestFixture::Set::const_iterator, bool> result;
    for (long v : c.inserts) {
      result = set.insert(v);
      oracle.insert(v);
      EXPECT_EQ(*result.first, v);
    }
    EXPECT_EQ(result.second, c.lastAdded);
    EXPECT_EQ(BoundariesOf(set), c.expected);
    EXPECT_EQ(set.size(), static_cast<int>(oracle.size()));
    EXPECT_EQ(set.Validate(), "");
  }
}

TYPED_TEST(CompressedSetTest, DuplicateChangesNothingAndPointsAtTheId) {
  typename TestFixture::Set set;
  for (long v : {1, 2, 3, 4, 10, 11}) set.insert(v);
  const auto before = BoundariesOf(set);
  for (long v : {1, 3, 4, 10, 11}) {
    SCOPED_TRACE(v);
    auto [it, added] = set.insert(v);
    EXPECT_FALSE(added);
    EXPECT_EQ(*it, v);
    EXPECT_EQ(set.size(), 6);
    EXPECT_EQ(BoundariesOf(set), before);
  }
  // The returned iterator continues in ascending order from the id.
  auto it = set.insert(3).first;
  std::vector<long> rest;
  for (; it != set.end(); ++it) rest.push_back(*it);
  EXPECT_EQ(rest, (std::vector<long>{3, 4, 10, 11}));
}

TYPED_TEST(CompressedSetTest, InsertReturnsIteratorIntoTheMergedRun) {
  typename TestFixture::Set set;
  for (long v : {5, 6, 8, 9}) set.insert(v);
  auto [it, added] = set.insert(7);
  ASSERT_TRUE(added);
  std::vector<long> rest;
  for (; it != set.end(); ++it) rest.push_back(*it);
  EXPECT_EQ(rest, (std::vector<long>{7, 8, 9}));
}

// An iterator caches its run's length; the run may grow after the iterator
// was taken (extended upwards, or bridged to the next run), and stepping must
// then continue into the grown part rather than jump to the next run.
TYPED_TEST(CompressedSetTest, IteratorContinuesIntoItsRunAfterTheRunGrows) {
  typename TestFixture::Set set;
  for (long v : {1, 2, 3, 10, 11, 20}) set.insert(v);
  auto it = set.begin();
  ++it;  // at 2: the run [1, 3] is now cached
  set.insert(4);
  set.insert(6);
  set.insert(5);  // bridges [1, 4] and [6, 6]
  auto fromThree = set.insert(3).first;
  set.insert(7);
  std::vector<long> rest;
  for (; it != set.end(); ++it) rest.push_back(*it);
  EXPECT_EQ(rest, (std::vector<long>{2, 3, 4, 5, 6, 7, 10, 11, 20}));
  rest.clear();
  for (; fromThree != set.end(); ++fromThree) rest.push_back(*fromThree);
  EXPECT_EQ(rest, (std::vector<long>{3, 4, 5, 6, 7, 10, 11, 20}));
}

TYPED_TEST(CompressedSetTest, IteratesAscendingWhateverTheInsertionOrder) {
  typename TestFixture::Set set;
  for (long v : {9, 3, 5, 4}) set.insert(v);
  EXPECT_EQ(IdsOf(set), (std::vector<long>{3, 4, 5, 9}));
  // Post-increment returns the old position.
  auto it = set.begin();
  auto old = it++;
  EXPECT_EQ(*old, 3);
  EXPECT_EQ(*it, 4);
}

TYPED_TEST(CompressedSetTest, EmptyAndClearedSetsIterateNothing) {
  typename TestFixture::Set set;
  EXPECT_TRUE(set.begin() == set.end());
  EXPECT_EQ(set.size(), 0);
  for (long v : {1, 2, 7}) set.insert(v);
  set.clear();
  EXPECT_TRUE(set.begin() == set.end());
  EXPECT_EQ(set.size(), 0);
  EXPECT_TRUE(set.boundaries().empty());
  EXPECT_EQ(set.Validate(), "");
  // A cleared set is fully usable again.
  set.insert(4);
  EXPECT_EQ(IdsOf(set), std::vector<long>{4});
}

TYPED_TEST(CompressedSetTest, IdsOutsideTheStorableRangeThrowAndChangeNothing) {
  typename TestFixture::Set set;
  for (long v : {2147483645, 2147483646, -7}) set.insert(v);
  const auto before = BoundariesOf(set);
  const std::vector<long> bad = {2147483647L, 2147483648L, LONG_MAX, static_cast<long>(INT32_MIN) - 1,
                                 LONG_MIN};
  for (long v : bad) {
    SCOPED_TRACE(v);
    EXPECT_THROW(set.insert(v), std::out_of_range);
    EXPECT_EQ(BoundariesOf(set), before);
    EXPECT_EQ(set.size(), 3);
    EXPECT_FALSE(set.contains(v));
  }
  EXPECT_EQ(set.Validate(), "");
}

TYPED_TEST(CompressedSetTest, ContainsAnswersForRunsAndGaps) {
  typename TestFixture::Set set;
  for (long v : {3, 4, 5, 9}) set.insert(v);
  for (long v = 0; v < 12; ++v) {
    SCOPED_TRACE(v);
    EXPECT_EQ(set.contains(v), (v >= 3 && v <= 5) || v == 9);
  }
}

TYPED_TEST(CompressedSetTest, CopiesAreIndependentAndMovesEmptyTheSource) {
  typename TestFixture::Set original;
  for (long v : {1, 2, 3, 8}) original.insert(v);
  typename TestFixture::Set copy(original);
  copy.insert(4);
  EXPECT_EQ(IdsOf(original), (std::vector<long>{1, 2, 3, 8}));
  EXPECT_EQ(IdsOf(copy), (std::vector<long>{1, 2, 3, 4, 8}));

  typename TestFixture::Set assigned;
  assigned.insert(100);
  assigned = original;
  EXPECT_EQ(IdsOf(assigned), IdsOf(original));
  EXPECT_EQ(assigned.size(), 4);

  typename TestFixture::Set moved(std::move(copy));
  EXPECT_EQ(moved.size(), 5);
  EXPECT_EQ(copy.size(), 0);  // NOLINT(bugprone-use-after-move): the moved-from state is specified
  EXPECT_EQ(copy.Validate(), "");
  EXPECT_TRUE(copy.begin() == copy.end());

  assigned = std::move(moved);
  EXPECT_EQ(assigned.size(), 5);
  EXPECT_EQ(moved.size(), 0);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(moved.Validate(), "");
}

// Random operation sequences compared with std::set<long>: content, order,
// size and the invariants of the boundary map after every step.
TYPED_TEST(CompressedSetTest, MatchesStdSetOverRandomOperationSequences) {
  std::mt19937 rng(20261207);
  for (int sequence = 0; sequence < 300; ++sequence) {
    SCOPED_TRACE("sequence " + std::to_string(sequence));
    // Narrow ranges force merges and duplicates; wide ones isolated ids.
    const long span = std::uniform_int_distribution<long>(1, 200)(rng);
    // Every tenth sequence runs up to the top of the range, one id past the
    // largest storable one; another every tenth starts at the bottom.
    long base = std::uniform_int_distribution<long>(-100, 100)(rng);
    if (sequence % 10 == 0) base = 2147483647L - span;
    if (sequence % 10 == 1) base = INT32_MIN;
    std::uniform_int_distribution<long> id(base, base + span);
    std::uniform_int_distribution<int> op(0, 99);
    typename TestFixture::Set set;
    std::set<long> oracle;
    for (int step = 0; step < 150; ++step) {
      const int what = op(rng);
      if (what == 0) {
        set.clear();
        oracle.clear();
      } else if (what == 1) {
        typename TestFixture::Set copy(set);
        set = std::move(copy);
      } else {
        const long v = id(rng);
        if (v > 2147483646L) {
          ASSERT_THROW(set.insert(v), std::out_of_range);
          continue;
        }
        auto [it, added] = set.insert(v);
        ASSERT_EQ(added, oracle.insert(v).second) << "id " << v;
        ASSERT_EQ(*it, v);
      }
      ASSERT_EQ(set.Validate(), "") << "after step " << step;
      ASSERT_EQ(set.size(), static_cast<int>(oracle.size()));
    }
    ASSERT_EQ(IdsOf(set), std::vector<long>(oracle.begin(), oracle.end()));
    // Two entries per maximal run of the oracle.
    std::size_t runs = 0;
    long previous = 0;
    for (long v : oracle) {
      if (runs == 0 || v != previous + 1) ++runs;
      previous = v;
    }
    EXPECT_EQ(set.boundaries().size(), 2 * runs);
  }
}

// Node accounting through the persistent store.
class CompressedSetStorageTest : public ::testing::Test {
 protected:
  using Set = CompressedSet<long, DatabaseAllocator<long>>;
  void SetUp() override { baseline_ = LiveBoundaryNodes(); }
  std::int64_t Live() const { return LiveBoundaryNodes() - baseline_; }
  std::int64_t baseline_ = 0;
};

TEST_F(CompressedSetStorageTest, ExtendingARunAllocatesNothing) {
  Set set;
  set.insert(1000);
  EXPECT_EQ(Live(), 2);
  for (long v = 1001; v < 2000; ++v) {
    set.insert(v);
    ASSERT_EQ(Live(), 2) << "ascending at " << v;
  }
  for (long v = 999; v > 0; --v) {
    set.insert(v);
    ASSERT_EQ(Live(), 2) << "descending at " << v;
  }
  EXPECT_EQ(set.size(), 1999);
}

TEST_F(CompressedSetStorageTest, ShuffledBlockEndsWithTwoNodes) {
  std::vector<long> ids(5000);
  for (long i = 0; i < 5000; ++i) ids[i] = i * 1 + 70000;
  std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
  Set set;
  for (long v : ids) set.insert(v);
  EXPECT_EQ(Live(), 2);
  EXPECT_EQ(set.size(), 5000);
}

TEST_F(CompressedSetStorageTest, BridgingReleasesTheInnerBoundariesAndClearReleasesAll) {
  Set set;
  for (long v : {1, 2, 4, 5}) set.insert(v);
  EXPECT_EQ(Live(), 4);
  set.insert(3);
  EXPECT_EQ(Live(), 2);
  set.insert(10);
  EXPECT_EQ(Live(), 4);
  {
    Set copy(set);
    EXPECT_EQ(Live(), 8);
  }
  EXPECT_EQ(Live(), 4);
  set.clear();
  EXPECT_EQ(Live(), 0);
}

TEST_F(CompressedSetStorageTest, StorageIsReleasedWhenTheSetDies) {
  {
    Set set;
    for (long v = 0; v < 100; v += 2) set.insert(v);
    EXPECT_EQ(Live(), 100);
  }
  EXPECT_EQ(Live(), 0);
}

TEST_F(CompressedSetStorageTest, UnregisteredNodeTypeFailsTheInsertWithoutChange) {
  Set set;
  set.insert(1);
  DeregisterPersistentNodeTypes();
  std::vector<Boundary> before = BoundariesOf(set);
  EXPECT_THROW(set.insert(5), Core::StorageError);
  // Extending a run needs no node, so it still works.
  EXPECT_NO_THROW(set.insert(2));
  RegisterPersistentNodeTypes();
  EXPECT_EQ(BoundariesOf(set), (std::vector<Boundary>{{1, true}, {3, false}}));
  EXPECT_EQ(set.size(), 2);
  EXPECT_EQ(set.Validate(), "");
}

// An allocator that fails at its n-th allocation, for exception safety.
struct FailureBudget {
  int remaining = -1;  // -1: never fail
};
FailureBudget gBudget;

template <class T>
struct FailingAllocator {
  using value_type = T;
  FailingAllocator() = default;
  template <class U>
  FailingAllocator(const FailingAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (gBudget.remaining == 0) throw std::bad_alloc();
    if (gBudget.remaining > 0) --gBudget.remaining;
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) noexcept { std::allocator<T>().deallocate(p, n); }
  template <class U>
  bool operator==(const FailingAllocator<U>&) const noexcept {
    return true;
  }
  template <class U>
  bool operator!=(const FailingAllocator<U>&) const noexcept {
    return false;
  }
};

TEST(CompressedSetFaultTest, FailedAllocationLeavesTheSetUnchanged) {
  using Set = CompressedSet<long, FailingAllocator<long>>;
  // Each insertion that starts a new run needs two nodes; fail the first or
  // the second of them.
  for (int failAt = 0; failAt < 2; ++failAt) {
    SCOPED_TRACE("failing allocation " + std::to_string(failAt));
    Set set;
    for (long v : {10, 11, 20}) set.insert(v);
    const auto before = BoundariesOf(set);
    gBudget.remaining = failAt;
    EXPECT_THROW(set.insert(15), std::bad_alloc);
    gBudget.remaining = -1;
    EXPECT_EQ(BoundariesOf(set), before);
    EXPECT_EQ(set.size(), 3);
    EXPECT_EQ(set.Validate(), "");
    // Insertions that only re-key nodes succeed even with no memory at all.
    gBudget.remaining = 0;
    EXPECT_NO_THROW(set.insert(12));
    EXPECT_NO_THROW(set.insert(19));
    EXPECT_NO_THROW(set.insert(13));
    gBudget.remaining = -1;
    EXPECT_EQ(IdsOf(set), (std::vector<long>{10, 11, 12, 13, 19, 20}));
  }
}

TEST(CompressedSetFaultTest, FailedCopyAssignmentLeavesTheTargetUnchanged) {
  using Set = CompressedSet<long, FailingAllocator<long>>;
  Set source;
  for (long v : {1, 3, 5, 7}) source.insert(v);  // four runs, eight nodes
  Set target;
  for (long v : {40, 41}) target.insert(v);
  const auto before = BoundariesOf(target);
  for (int failAt = 0; failAt < 8; ++failAt) {
    SCOPED_TRACE("failing allocation " + std::to_string(failAt));
    gBudget.remaining = failAt;
    EXPECT_THROW(target = source, std::bad_alloc);
    gBudget.remaining = -1;
    EXPECT_EQ(BoundariesOf(target), before);
    EXPECT_EQ(target.size(), 2);
    EXPECT_EQ(target.Validate(), "");
  }
  target = source;
  EXPECT_EQ(IdsOf(target), (std::vector<long>{1, 3, 5, 7}));
  EXPECT_EQ(target.size(), 4);
}

}  // namespace
}  // namespace Kestrum::Quilm::Utility
