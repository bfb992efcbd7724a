// The node types of the library's persistent containers, and their
// registration with the persistent store.
//
// Every persistent container allocates its nodes through DatabaseAllocator,
// which asks the store for the node's run-time type description. Three node
// types occur: the boundary map of CompressedSet (long -> bool), DatabaseSet
// of long, and DatabaseMap of long -> long. The mirror library registers them
// when it is loaded and deregisters them when it is unloaded; tests that use
// these containers without the library register them themselves.
#pragma once

#include <map>
#include <set>
#include <utility>

#include "storage/database_handle.hpp"
#include "storage/os_pse.hpp"

namespace Kestrum::Quilm::Utility {

// The standard library's tree node types.
//
// The store must know each node type before the first node is allocated (the
// library registers them when it is loaded), and the tests and benchmarks
// count its nodes by that type, so the types must be named here. The
// standard gives no name for the node of a std::map or std::set: every
// standard library has its own, internal one. This names the GNU library's
// (used by GCC and by Debian's clang alike) and stops the build with the
// message below on any other, rather than registering a wrong type that
// would fail only at run time. The test persistent_node_types_test checks
// that these are the types the containers really allocate.
//
// The node type depends on the value type only, not on the allocator, so a
// map over DatabaseAllocator allocates exactly these.
#if defined(__GLIBCXX__)
using BoundaryMapNode = std::_Rb_tree_node<std::pair<const long, bool>>;
using IdSetNode = std::_Rb_tree_node<long>;
using IdMapNode = std::_Rb_tree_node<std::pair<const long, long>>;
#else
#error "Unknown standard library: name its std::map and std::set node types here (see above)."
#endif

// Registers the three node types with the persistent store. Registering
// again while registered changes nothing.
inline void RegisterPersistentNodeTypes() {
  os_pse::os_ts<BoundaryMapNode>::initialize();
  os_pse::os_ts<IdSetNode>::initialize();
  os_pse::os_ts<IdMapNode>::initialize();
}

// Removes the three node types from the persistent store; allocating them
// afterwards throws Core::StorageError until they are registered again.
inline void DeregisterPersistentNodeTypes() {
  os_pse::objectstore::deregister_type(os_pse::os_ts<BoundaryMapNode>::the_instance);
  os_pse::objectstore::deregister_type(os_pse::os_ts<IdSetNode>::the_instance);
  os_pse::objectstore::deregister_type(os_pse::os_ts<IdMapNode>::the_instance);
}

}  // namespace Kestrum::Quilm::Utility
