// Load and unload of the mirror shared library.
//
// The persistent containers inside mirror objects allocate their nodes from
// the persistent store, which refuses node types it has not been told about.
// The library therefore registers its three node types as soon as it is
// loaded, before the host can construct any mirror object, and deregisters
// them when it is unloaded. The type descriptions are constant-initialised,
// so the order in which the loader runs initialisers does not matter.
#include "mirror/utility/persistent_node_types.hpp"

#if defined(_WIN32)
#include <windows.h>

// The library keeps no per-thread state, so it asks not to be told of
// threads starting and ending.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
#endif

namespace Kestrum::Quilm::Mirror {
namespace {

// One static object: constructed when the library is loaded, destroyed when
// it is unloaded (or at process exit).
struct PersistentNodeTypeRegistration {
  PersistentNodeTypeRegistration() { Utility::RegisterPersistentNodeTypes(); }
  ~PersistentNodeTypeRegistration() { Utility::DeregisterPersistentNodeTypes(); }
  PersistentNodeTypeRegistration(const PersistentNodeTypeRegistration&) = delete;
  PersistentNodeTypeRegistration& operator=(const PersistentNodeTypeRegistration&) = delete;
};

const PersistentNodeTypeRegistration registration;

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
