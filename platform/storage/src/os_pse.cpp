// The persistent store's type registry. Registration is rare (library load
// and unload), so one mutex guards it; the table from store index to
// description is read without the lock when blocks are freed.
#include "storage/os_pse.hpp"

#include <array>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>

#include "block_header.hpp"
#include "storage/database_handle.hpp"

namespace os_pse {
namespace {

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

// Index -> description, for every description ever registered. Constant-
// initialised and trivially destructible, so it is usable from other
// libraries' load and unload code whatever the order of initialisation.
std::array<std::atomic<os_typespec*>, Kestrum::Quilm::Core::detail::kMaxTypeIndex + 1> gTypes{};
std::uint32_t gNextIndex = 1;      // guarded by RegistryMutex
std::size_t gRegisteredCount = 0;  // guarded by RegistryMutex

}  // namespace

void os_basic_typespec::initialize(os_basic_typespec& typeSpec, const char* name, std::size_t size,
                                   std::size_t alignment) {
  if (name == nullptr || *name == '\0')
    throw std::invalid_argument("os_basic_typespec::initialize: empty type name");
  if (alignment == 0 || (alignment & (alignment - 1)) != 0)
    throw std::invalid_argument("os_basic_typespec::initialize: alignment " + std::to_string(alignment) +
                                " of type '" + name + "' is not a power of two");
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (typeSpec.registered_.load(std::memory_order_relaxed)) return;
  if (typeSpec.index_ == 0) {
    if (gNextIndex > Kestrum::Quilm::Core::detail::kMaxTypeIndex)
      throw Kestrum::Quilm::Core::StorageError("persistent store: too many registered types");
    typeSpec.index_ = gNextIndex++;
    gTypes[typeSpec.index_].store(&typeSpec, std::memory_order_release);
  }
  // The name is copied once and kept: a description outlives any string that
  // a caller may have passed. Re-registration under another name replaces it.
  if (typeSpec.name_ == nullptr || std::strcmp(typeSpec.name_, name) != 0) {
    char* copy = new char[std::strlen(name) + 1];
    std::strcpy(copy, name);
    delete[] typeSpec.name_;
    typeSpec.name_ = copy;
  }
  typeSpec.size_ = size;
  typeSpec.alignment_ = alignment;
  ++gRegisteredCount;
  typeSpec.registered_.store(true, std::memory_order_release);
}

void objectstore::deregister_type(os_typespec& typeSpec) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  // The index stays assigned: blocks of the type may still be freed.
  if (typeSpec.registered_.exchange(false, std::memory_order_acq_rel)) --gRegisteredCount;
}

void objectstore::free_memory(void* memory) noexcept { Kestrum::Quilm::Core::detail::ReleaseBlock(memory); }

std::size_t objectstore::registered_type_count() {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  return gRegisteredCount;
}

}  // namespace os_pse

namespace Kestrum::Quilm::Core::detail {

os_pse::os_typespec* TypeAt(std::uint32_t index) noexcept {
  return index == 0 || index > kMaxTypeIndex ? nullptr
                                             : os_pse::gTypes[index].load(std::memory_order_acquire);
}

}  // namespace Kestrum::Quilm::Core::detail
