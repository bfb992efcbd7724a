// Tests of the persistent store: type registration, refusal of unknown
// types, live-allocation accounting and the standard allocator built on it.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <thread>
#include <vector>

#include "storage/database_handle.hpp"
#include "storage/os_pse.hpp"

namespace Kestrum::Quilm::Core {
namespace {

// Distinct types so that each test owns its descriptions.
struct Plain16 {
  double a, b;
};
struct Other16 {
  double a, b;
};
struct NeverRegistered {
  int x;
};

template <class T>
os_pse::os_typespec& TypeSpecOf() {
  return os_pse::os_ts<T>::the_instance;
}

class StorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os_pse::os_ts<Plain16>::initialize();
    os_pse::os_ts<Other16>::initialize();
  }
  void TearDown() override {
    os_pse::objectstore::deregister_type(TypeSpecOf<Plain16>());
    os_pse::objectstore::deregister_type(TypeSpecOf<Other16>());
  }
};

TEST_F(StorageTest, RegistrationRecordsNameAndSizeOnce) {
  EXPECT_TRUE(TypeSpecOf<Plain16>().is_registered());
  EXPECT_EQ(TypeSpecOf<Plain16>().name(), typeid(Plain16).name());
  EXPECT_EQ(TypeSpecOf<Plain16>().size(), sizeof(Plain16));
  const std::size_t count = os_pse::objectstore::registered_type_count();
  os_pse::os_ts<Plain16>::initialize();  // again: no change
  EXPECT_EQ(os_pse::objectstore::registered_type_count(), count);
  os_pse::objectstore::deregister_type(TypeSpecOf<Plain16>());
  EXPECT_FALSE(TypeSpecOf<Plain16>().is_registered());
  EXPECT_EQ(os_pse::objectstore::registered_type_count(), count - 1);
  os_pse::os_ts<Plain16>::initialize();
  EXPECT_TRUE(TypeSpecOf<Plain16>().is_registered());
  EXPECT_EQ(os_pse::objectstore::registered_type_count(), count);
}

TEST_F(StorageTest, EmptyNameIsRefused) {
  os_pse::os_basic_typespec typeSpec;
  EXPECT_THROW(os_pse::os_basic_typespec::initialize(typeSpec, "", 4), std::invalid_argument);
  EXPECT_FALSE(typeSpec.is_registered());
}

TEST_F(StorageTest, UnregisteredAndDeregisteredTypesAreRefused) {
  EXPECT_THROW(DatabaseHandle::StaticAllocArray(1, sizeof(NeverRegistered), this, TypeSpecOf<NeverRegistered>()),
               StorageError);
  os_pse::objectstore::deregister_type(TypeSpecOf<Other16>());
  try {
    DatabaseHandle::StaticAllocArray(1, sizeof(Other16), this, TypeSpecOf<Other16>());
    FAIL() << "allocation of a deregistered type succeeded";
  } catch (const StorageError& e) {
    // The message names the type so that the fault can be traced.
    EXPECT_NE(std::string(e.what()).find(typeid(Other16).name()), std::string::npos) << e.what();
  }
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<Other16>()), 0);
}

TEST_F(StorageTest, SizeMismatchAndOverflowAreRefused) {
  EXPECT_THROW(DatabaseHandle::StaticAllocArray(1, sizeof(Plain16) + 1, this, TypeSpecOf<Plain16>()), StorageError);
  EXPECT_THROW(DatabaseHandle::StaticAllocArray(SIZE_MAX / 8, sizeof(Plain16), this, TypeSpecOf<Plain16>()),
               std::bad_alloc);
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<Plain16>()), 0);
  EXPECT_EQ(DatabaseHandle::LiveBytes(TypeSpecOf<Plain16>()), 0);
}

TEST_F(StorageTest, LiveCountsFollowAllocationsPerType) {
  void* one = DatabaseHandle::StaticAllocArray(1, sizeof(Plain16), this, TypeSpecOf<Plain16>());
  void* three = DatabaseHandle::StaticAllocArray(3, sizeof(Plain16), this, TypeSpecOf<Plain16>());
  void* other = DatabaseHandle::StaticAllocArray(2, sizeof(Other16), this, TypeSpecOf<Other16>());
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<Plain16>()), 2);
  EXPECT_EQ(DatabaseHandle::LiveBytes(TypeSpecOf<Plain16>()), 4 * 16);
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<Other16>()), 1);
  EXPECT_EQ(DatabaseHandle::LiveBytes(TypeSpecOf<Other16>()), 2 * 16);

  // The memory is usable and suitably aligned for the type.
  auto* objects = static_cast<Plain16*>(three);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(objects) % alignof(Plain16), 0u);
  for (int i = 0; i < 3; ++i) objects[i] = {1.0 * i, 2.0 * i};
  EXPECT_EQ(objects[2].b, 4.0);

  DatabaseHandle::StaticFreeArray(three, 3, sizeof(Plain16), TypeSpecOf<Plain16>());
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<Plain16>()), 1);
  EXPECT_EQ(DatabaseHandle::LiveBytes(TypeSpecOf<Plain16>()), 16);
  // free_memory needs only the address.
  os_pse::objectstore::free_memory(one);
  os_pse::objectstore::free_memory(other);
  os_pse::objectstore::free_memory(nullptr);
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<Plain16>()), 0);
  EXPECT_EQ(DatabaseHandle::LiveBytes(TypeSpecOf<Plain16>()), 0);
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<Other16>()), 0);
}

TEST(StorageAlignmentTest, BlocksHonourTheRegisteredAlignment) {
  struct alignas(64) CacheLine {
    char bytes[64];
  };
  struct alignas(16) Pair16 {
    long double value;
  };
  os_pse::os_ts<CacheLine>::initialize();
  os_pse::os_ts<Pair16>::initialize();
  EXPECT_EQ(TypeSpecOf<CacheLine>().alignment(), 64u);
  std::vector<void*> blocks;
  for (std::size_t count : {1, 2, 7}) {
    void* wide = DatabaseHandle::StaticAllocArray(count, sizeof(CacheLine), nullptr, TypeSpecOf<CacheLine>());
    void* pair = DatabaseHandle::StaticAllocArray(count, sizeof(Pair16), nullptr, TypeSpecOf<Pair16>());
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(wide) % 64, 0u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pair) % 16, 0u);
    std::memset(wide, 0xAB, count * sizeof(CacheLine));  // the whole block is writable
    blocks.push_back(wide);
    blocks.push_back(pair);
  }
  EXPECT_EQ(DatabaseHandle::LiveBytes(TypeSpecOf<CacheLine>()), 10 * 64);
  for (void* block : blocks) os_pse::objectstore::free_memory(block);
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<CacheLine>()), 0);
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<Pair16>()), 0);
  EXPECT_EQ(DatabaseHandle::LiveBytes(TypeSpecOf<Pair16>()), 0);
  os_pse::objectstore::deregister_type(TypeSpecOf<CacheLine>());
  os_pse::objectstore::deregister_type(TypeSpecOf<Pair16>());
}

TEST(StorageRegistrationTest, AlignmentMustBeAPowerOfTwo) {
  os_pse::os_basic_typespec typeSpec;
  EXPECT_THROW(os_pse::os_basic_typespec::initialize(typeSpec, "odd", 12, 12), std::invalid_argument);
  EXPECT_THROW(os_pse::os_basic_typespec::initialize(typeSpec, "zero", 12, 0), std::invalid_argument);
  EXPECT_FALSE(typeSpec.is_registered());
}

TEST_F(StorageTest, SingleNodesAreFreedByEitherRoute) {
  // Many single nodes (the pooled case outside sanitizer builds), freed
  // alternately through StaticFreeArray and free_memory.
  std::vector<Plain16*> nodes;
  for (int i = 0; i < 5000; ++i) {
    auto* node =
        static_cast<Plain16*>(DatabaseHandle::StaticAllocArray(1, sizeof(Plain16), this, TypeSpecOf<Plain16>()));
    *node = {double(i), -double(i)};
    nodes.push_back(node);
  }
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<Plain16>()), 5000);
  EXPECT_EQ(DatabaseHandle::LiveBytes(TypeSpecOf<Plain16>()), 5000 * 16);
  for (int i = 0; i < 5000; ++i) {
    ASSERT_EQ(nodes[i]->a, double(i)) << "node " << i << " was overwritten";
    if (i % 2 == 0) {
      DatabaseHandle::StaticFreeArray(nodes[i], 1, sizeof(Plain16), TypeSpecOf<Plain16>());
    } else {
      os_pse::objectstore::free_memory(nodes[i]);
    }
  }
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<Plain16>()), 0);
  EXPECT_EQ(DatabaseHandle::LiveBytes(TypeSpecOf<Plain16>()), 0);
}

TEST_F(StorageTest, ConcurrentAllocationKeepsCountsExact) {
  auto work = [this] {
    std::vector<void*> held;
    for (int round = 0; round < 20; ++round) {
      for (int i = 0; i < 500; ++i)
        held.push_back(DatabaseHandle::StaticAllocArray(1, sizeof(Other16), this, TypeSpecOf<Other16>()));
      for (void* p : held) DatabaseHandle::StaticFreeArray(p, 1, sizeof(Other16), TypeSpecOf<Other16>());
      held.clear();
    }
  };
  std::thread first(work), second(work);
  first.join();
  second.join();
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<Other16>()), 0);
  EXPECT_EQ(DatabaseHandle::LiveBytes(TypeSpecOf<Other16>()), 0);
}

TEST_F(StorageTest, MemoryOutlivesDeregistration) {
  void* block = DatabaseHandle::StaticAllocArray(1, sizeof(Plain16), this, TypeSpecOf<Plain16>());
  os_pse::objectstore::deregister_type(TypeSpecOf<Plain16>());
  DatabaseHandle::StaticFreeArray(block, 1, sizeof(Plain16), TypeSpecOf<Plain16>());
  EXPECT_EQ(DatabaseHandle::LiveAllocations(TypeSpecOf<Plain16>()), 0);
}

TEST_F(StorageTest, FreeingForeignMemoryAborts) {
  // Memory that did not come from the store lacks the block header; freeing
  // it must stop the process rather than corrupt the heap.
  alignas(std::max_align_t) unsigned char buffer[64] = {};
  EXPECT_DEATH(os_pse::objectstore::free_memory(buffer + 32), "not a live store block");
}

// The allocator with standard containers: every node of a container is one
// allocation of the container's node type.

TEST(DatabaseAllocatorTest, ContainersAllocateNodeByNodeUnderTheirNodeType) {
  using Map = std::map<int, double, std::less<int>, DatabaseAllocator<std::pair<const int, double>>>;
#ifdef __GLIBCXX__
  using Node = std::_Rb_tree_node<std::pair<const int, double>>;
  os_pse::os_ts<Node>::initialize();
  {
    Map map;
    for (int i = 0; i < 10; ++i) map[i] = i;
    EXPECT_EQ(DatabaseHandle::LiveAllocations(os_pse::os_ts<Node>::the_instance), 10);
    EXPECT_EQ(DatabaseHandle::LiveBytes(os_pse::os_ts<Node>::the_instance),
              static_cast<std::int64_t>(10 * sizeof(Node)));
    Map copy(map);
    EXPECT_EQ(DatabaseHandle::LiveAllocations(os_pse::os_ts<Node>::the_instance), 20);
    map.erase(3);
    EXPECT_EQ(DatabaseHandle::LiveAllocations(os_pse::os_ts<Node>::the_instance), 19);
  }
  EXPECT_EQ(DatabaseHandle::LiveAllocations(os_pse::os_ts<Node>::the_instance), 0);
  os_pse::objectstore::deregister_type(os_pse::os_ts<Node>::the_instance);
  Map refused;
  EXPECT_THROW(refused[1] = 1.0, StorageError);
  EXPECT_TRUE(refused.empty());
#else
  GTEST_SKIP() << "node type names are known for libstdc++ only";
#endif
}

}  // namespace
}  // namespace Kestrum::Quilm::Core
