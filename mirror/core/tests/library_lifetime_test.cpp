// The persistent node types are registered while the mirror library is
// loaded: containers of mirror objects can allocate from the store.
#include <gtest/gtest.h>

#include "mirror/core/mirror_model.hpp"
#include "mirror/utility/compressed_set.hpp"
#include "mirror/utility/database_set.hpp"
#include "mirror/utility/persistent_node_types.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

TEST(LibraryLifetime, NodeTypesAreRegisteredWhileTheLibraryIsLoaded) {
  // Referencing a class of the library keeps it among this program's
  // dependencies, so it is loaded before main.
  ASSERT_NE(&typeid(TestMirrorModel), nullptr);
  EXPECT_TRUE(os_pse::os_ts<Utility::BoundaryMapNode>::the_instance.is_registered());
  EXPECT_TRUE(os_pse::os_ts<Utility::IdSetNode>::the_instance.is_registered());
  EXPECT_TRUE(os_pse::os_ts<Utility::IdMapNode>::the_instance.is_registered());
}

TEST(LibraryLifetime, PersistentContainersAllocateAndRelease) {
  const auto& setType = os_pse::os_ts<Utility::IdSetNode>::the_instance;
  const auto& mapType = os_pse::os_ts<Utility::IdMapNode>::the_instance;
  const auto& boundaryType = os_pse::os_ts<Utility::BoundaryMapNode>::the_instance;
  const auto setBefore = Core::DatabaseHandle::LiveAllocations(setType);
  const auto mapBefore = Core::DatabaseHandle::LiveAllocations(mapType);
  const auto boundaryBefore = Core::DatabaseHandle::LiveAllocations(boundaryType);
  {
    Utility::DatabaseSet<long> nodes;
    nodes.insert({3, 1, 2});
    Utility::DatabaseMap<long, long> map;
    map[7] = 8;
    Utility::CompressedSet<long, Core::DatabaseAllocator<long>> elements;
    elements.insert(5);
    elements.insert(6);
    EXPECT_EQ(Core::DatabaseHandle::LiveAllocations(setType), setBefore + 3);
    EXPECT_EQ(Core::DatabaseHandle::LiveAllocations(mapType), mapBefore + 1);
    EXPECT_EQ(Core::DatabaseHandle::LiveAllocations(boundaryType), boundaryBefore + 2);
  }
  EXPECT_EQ(Core::DatabaseHandle::LiveAllocations(setType), setBefore);
  EXPECT_EQ(Core::DatabaseHandle::LiveAllocations(mapType), mapBefore);
  EXPECT_EQ(Core::DatabaseHandle::LiveAllocations(boundaryType), boundaryBefore);
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
