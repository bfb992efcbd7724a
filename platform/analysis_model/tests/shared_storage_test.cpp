// The model's storage helpers (recycled handle blocks, in-place shared
// objects, huge-page tables) and what callers see of them: element handles
// and cloned load records behave as plain shared objects.
#include <gtest/gtest.h>

#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <thread>
#include <typeinfo>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "handle_pool.hpp"
#include "in_place_shared.hpp"
#include "large_table_allocator.hpp"
#include "model_fixture.hpp"

namespace Kestrum::Quilm::AnalysisModel {
namespace {

using namespace Testing;

// ---- recycled blocks -------------------------------------------------------

// A block size no other code uses, so that each test sees its own list.
struct Probe {
  char bytes[200];
};
using ProbeBlocks = FreeBlockList<sizeof(Probe)>;

TEST(FreeBlockListTest, GivenBlockIsTakenAgainOnTheSameThread) {
  void* first = ProbeBlocks::Take();
  ProbeBlocks::Give(first);
  void* again = ProbeBlocks::Take();
  EXPECT_EQ(again, first);
  ProbeBlocks::Give(again);
}

TEST(FreeBlockListTest, KeepsAtMostItsLimitAndHandsOutDistinctBlocks) {
  const std::size_t n = ProbeBlocks::kMaxKept + 40;
  std::vector<void*> blocks;
  for (std::size_t i = 0; i < n; ++i) blocks.push_back(ProbeBlocks::Take());
  EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(), n);
  for (void* b : blocks) ProbeBlocks::Give(b);
  // Only kMaxKept came back to the list; taking more than that allocates.
  std::set<void*> kept;
  for (std::size_t i = 0; i < n; ++i) kept.insert(ProbeBlocks::Take());
  EXPECT_EQ(kept.size(), n);
  std::size_t reused = 0;
  for (void* b : blocks) reused += kept.count(b);
  EXPECT_GE(reused, ProbeBlocks::kMaxKept);
  for (void* b : kept) ProbeBlocks::Give(b);
}

TEST(FreeBlockListTest, BlockTakenOnOneThreadMayBeGivenOnAnother) {
  void* block = ProbeBlocks::Take();
  void* takenThere = nullptr;
  std::thread other([&] {
    ProbeBlocks::Give(block);
    // The other thread's list now holds it; this thread's does not.
    takenThere = ProbeBlocks::Take();
    ProbeBlocks::Give(takenThere);
  });
  other.join();
  EXPECT_EQ(takenThere, block);
  // The other thread ended and gave its blocks back to the heap (checked by
  // the leak checker of sanitised builds).
}

TEST(RecyclingAllocatorTest, ArraysBypassTheList) {
  RecyclingAllocator<Probe> allocator;
  Probe* many = allocator.allocate(3);
  many[2].bytes[199] = 1;  // the whole array is usable
  allocator.deallocate(many, 3);
  EXPECT_TRUE(allocator == RecyclingAllocator<int>());
}

// ---- objects inside their count block --------------------------------------

struct Counted {
  static int alive;
  explicit Counted(int v, bool fail = false) : value(v) {
    if (fail) throw std::runtime_error("constructor failed");
    ++alive;
  }
  Counted(const Counted& o) : value(o.value) { ++alive; }
  virtual ~Counted() { --alive; }
  int value;
};
int Counted::alive = 0;

struct DerivedCounted : Counted {
  using Counted::Counted;
};

TEST(InPlaceSharedTest, ObjectLivesUntilTheLastOwnerAndWeakPointersExpire) {
  boost::weak_ptr<Counted> weak;
  {
    boost::shared_ptr<Counted> p = MakeSharedInPlace<Counted, DerivedCounted>(7);
    EXPECT_EQ(p.use_count(), 1);
    EXPECT_EQ(p->value, 7);
    EXPECT_NE(dynamic_cast<DerivedCounted*>(p.get()), nullptr);
    EXPECT_EQ(Counted::alive, 1);
    weak = p;
    boost::shared_ptr<Counted> second = p;
    p.reset();
    EXPECT_EQ(Counted::alive, 1);
    EXPECT_FALSE(weak.expired());
  }
  EXPECT_EQ(Counted::alive, 0);
  EXPECT_TRUE(weak.expired());
  EXPECT_FALSE(weak.lock());
}

TEST(InPlaceSharedTest, ThrowingConstructorLeavesNothingBehind) {
  EXPECT_THROW((MakeSharedInPlace<Counted, Counted>(1, true)), std::runtime_error);
  EXPECT_THROW((AllocateSharedInPlace<Counted, Counted>(RecyclingAllocator<Counted>(), 1, true)),
               std::runtime_error);
  EXPECT_EQ(Counted::alive, 0);
}

TEST(InPlaceSharedTest, RecycledBlocksHoldFreshObjects) {
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    auto p = AllocateSharedInPlace<Counted, Counted>(RecyclingAllocator<Counted>(), i);
    EXPECT_EQ(p->value, i);
    EXPECT_EQ(Counted::alive, 1);
  }
  EXPECT_EQ(Counted::alive, 0);
}

// ---- large tables -----------------------------------------------------------

TEST(LargeTableAllocatorTest, LargeBlocksAreHugePageAlignedAndUsable) {
  LargeTableAllocator<std::int64_t> allocator;
  const std::size_t n = kLargeTableBytes / sizeof(std::int64_t) + 3;
  std::int64_t* p = allocator.allocate(n);
  if (kAdviseHugePages) {
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % kHugePageSize, 0u);
  }
  p[0] = 1;
  p[n - 1] = 2;
  EXPECT_EQ(p[0] + p[n - 1], 3);
  allocator.deallocate(p, n);
  EXPECT_THROW(allocator.allocate(static_cast<std::size_t>(-1) / 2), std::bad_array_new_length);
}

TEST(LargeTableAllocatorTest, VectorKeepsItsContentsWhileGrowingPastTheThreshold) {
  std::vector<std::int32_t, LargeTableAllocator<std::int32_t>> v;
  const std::int32_t n = static_cast<std::int32_t>(3 * kLargeTableBytes / sizeof(std::int32_t));
  for (std::int32_t i = 0; i < n; ++i) v.push_back(i);
  bool intact = true;
  for (std::int32_t i = 0; i < n; ++i) intact = intact && v[i] == i;
  EXPECT_TRUE(intact);
  v.resize(10);
  v.shrink_to_fit();  // back below the threshold: freed the other way
  EXPECT_EQ(v.back(), 9);
}

// ---- what callers of the model see -----------------------------------------

class HandleTest : public XafModelTest {
 protected:
  void SetUp() override {
    XafModelTest::SetUp();
    long previous = AddNode(0, 0, 0);
    for (int i = 1; i <= 3; ++i) {
      const long next = AddNode(i, 0, 0);
      model->Elements().AddElement(qlElementType::Beam2(), {previous, next});
      previous = next;
    }
    section = model->Sections().AddSection(qlSection::Rectangle(0.1, 0.2), "s", -1);
  }
  long section = 0;
};

TEST_F(HandleTest, ManyLiveHandlesStayDistinctAndWriteTheirOwnRows) {
  std::vector<boost::shared_ptr<XafElement>> handles;
  for (int round = 0; round < 200; ++round)
    for (long e = 1; e <= 3; ++e) handles.push_back(model->Elements().GetElement(e));
  std::set<XafElement*> distinct;
  for (const auto& h : handles) distinct.insert(h.get());
  EXPECT_EQ(distinct.size(), handles.size());
  for (std::size_t i = 0; i < handles.size(); ++i)
    EXPECT_EQ(handles[i]->GetId(), static_cast<long>(i % 3) + 1);
  handles[1]->SetSection(section);
  handles.clear();
  // Handles fetched after many were released see the rows as written.
  EXPECT_EQ(model->Elements().GetElement(1)->GetSection(), 0);
  EXPECT_EQ(model->Elements().GetElement(2)->GetSection(), section);
  EXPECT_EQ(model->Elements().GetElement(3)->GetSection(), 0);
}

TEST_F(HandleTest, ReleasedHandleIsGoneForWeakPointers) {
  boost::weak_ptr<XafElement> weak = model->Elements().GetElement(2);
  EXPECT_TRUE(weak.expired());
  boost::shared_ptr<XafElement> kept = model->Elements().GetElement(3);
  weak = kept;
  // A new handle never reuses the block of one still held.
  EXPECT_NE(model->Elements().GetElement(1).get(), kept.get());
  EXPECT_EQ(weak.lock()->GetId(), 3);
}

TEST_F(HandleTest, HandleMayBeReleasedOnAnotherThreadAndAfterTheModel) {
  boost::shared_ptr<XafElement> handle = model->Elements().GetElement(1);
  std::thread([h = model->Elements().GetElement(2)]() mutable { h.reset(); }).join();
  model.reset();
  handle.reset();  // no access to the model, no leak
  SUCCEED();
}

TEST_F(HandleTest, UnknownElementGivesNoHandle) {
  EXPECT_THROW(model->Elements().GetElement(4), ModelError);
  EXPECT_THROW(model->Elements().GetElement(0), ModelError);
}

TEST(LoadCloneTest, ClonesAreIndependentCopiesOfTheSameClass) {
  const LineLoad line(vec3d(0, 0, -5), vec3d(0, 0, -7));
  const SurfaceLoad surface(-3.5);
  const InitialStrainLoad strain(0.002);
  const Load* records[] = {&line, &surface, &strain};
  for (const Load* record : records) {
    SCOPED_TRACE(record->Describe());
    boost::weak_ptr<Load> weak;
    {
      boost::shared_ptr<Load> copy = record->Clone();
      ASSERT_TRUE(copy);
      EXPECT_NE(copy.get(), record);
      EXPECT_EQ(typeid(*copy), typeid(*record));
      EXPECT_TRUE(copy->Equals(*record));
      EXPECT_EQ(copy.use_count(), 1);
      weak = copy;
    }
    EXPECT_TRUE(weak.expired());
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel
