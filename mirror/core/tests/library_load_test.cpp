// Loading the mirror library at run time registers the persistent node
// types; unloading it deregisters them. This program does not link the
// library, so it sees the store before and after.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "mirror/utility/persistent_node_types.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

bool AllRegistered() {
  using namespace Utility;
  return os_pse::os_ts<BoundaryMapNode>::the_instance.is_registered() &&
         os_pse::os_ts<IdSetNode>::the_instance.is_registered() &&
         os_pse::os_ts<IdMapNode>::the_instance.is_registered();
}

bool NoneRegistered() {
  using namespace Utility;
  return !os_pse::os_ts<BoundaryMapNode>::the_instance.is_registered() &&
         !os_pse::os_ts<IdSetNode>::the_instance.is_registered() &&
         !os_pse::os_ts<IdMapNode>::the_instance.is_registered();
}

TEST(LibraryLoad, LoadRegistersAndUnloadDeregisters) {
  ASSERT_TRUE(NoneRegistered());
  void* library = dlopen(QUILM_MIRROR_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  EXPECT_TRUE(AllRegistered());

  ASSERT_EQ(dlclose(library), 0) << dlerror();
  // The loader may keep a library mapped; once it is gone, its types are too.
  if (void* still = dlopen(QUILM_MIRROR_LIBRARY, RTLD_NOW | RTLD_NOLOAD)) {
    dlclose(still);
  } else {
    EXPECT_TRUE(NoneRegistered());
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
