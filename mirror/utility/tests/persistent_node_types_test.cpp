// The node types named in persistent_node_types.hpp must be the ones the
// standard library really allocates for the persistent containers; a wrong
// name would register a type no container ever asks for.
#include "mirror/utility/persistent_node_types.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <typeindex>
#include <utility>
#include <vector>

namespace Kestrum::Quilm::Utility {
namespace {

// Heap memory, recording the type of every allocation.
template <class T>
struct RecordingAllocator {
  using value_type = T;
  static std::vector<std::type_index>& Types() {
    static std::vector<std::type_index> types;
    return types;
  }
  RecordingAllocator() noexcept = default;
  template <class U>
  RecordingAllocator(const RecordingAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    RecordingAllocator<void>::Types().emplace_back(typeid(T));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) noexcept { std::allocator<T>().deallocate(p, n); }
  friend bool operator==(const RecordingAllocator&, const RecordingAllocator&) noexcept { return true; }
  friend bool operator!=(const RecordingAllocator&, const RecordingAllocator&) noexcept { return false; }
};

// The types a container allocates for its first element.
template <class Container, class... Args>
std::vector<std::type_index> TypesAllocatedFor(Args... element) {
  RecordingAllocator<void>::Types().clear();
  Container container;
  container.emplace(element...);
  return RecordingAllocator<void>::Types();
}

using Types = std::vector<std::type_index>;

TEST(PersistentNodeTypesTest, AreTheTypesTheContainersAllocate) {
  using Boundaries = std::map<long, bool, std::less<long>, RecordingAllocator<std::pair<const long, bool>>>;
  using IdSet = std::set<long, std::less<long>, RecordingAllocator<long>>;
  using IdMap = std::map<long, long, std::less<long>, RecordingAllocator<std::pair<const long, long>>>;
  EXPECT_EQ(TypesAllocatedFor<Boundaries>(1L, true), Types{typeid(BoundaryMapNode)});
  EXPECT_EQ(TypesAllocatedFor<IdSet>(1L), Types{typeid(IdSetNode)});
  EXPECT_EQ(TypesAllocatedFor<IdMap>(1L, 2L), Types{typeid(IdMapNode)});
}

}  // namespace
}  // namespace Kestrum::Quilm::Utility
