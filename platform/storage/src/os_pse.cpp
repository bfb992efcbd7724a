// The persistent store's type registry. Registration is rare (library load
// and unload), so one mutex guards the set of registered descriptions.
#include "storage/os_pse.hpp"

#include <cstring>
#include <mutex>
#include <set>
#include <stdexcept>

#include "block_header.hpp"

namespace os_pse {
namespace {

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

// Heap-allocated and never destroyed: libraries may deregister their types
// from their unload code, after this library's static objects are gone.
std::set<const os_typespec*>& Registry() {
  static auto* registry = new std::set<const os_typespec*>;
  return *registry;
}

}  // namespace

void os_basic_typespec::initialize(os_basic_typespec& spec, const char* name, std::size_t size) {
  if (name == nullptr || *name == '\0') throw std::invalid_argument("os_basic_typespec::initialize: empty type name");
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (spec.registered_.load(std::memory_order_relaxed)) return;
  // The name is copied once and kept: a description outlives any string that
  // a caller may have passed. Re-registration under another name replaces it.
  if (spec.name_ == nullptr || std::strcmp(spec.name_, name) != 0) {
    char* copy = new char[std::strlen(name) + 1];
    std::strcpy(copy, name);
    delete[] spec.name_;
    spec.name_ = copy;
  }
  spec.size_ = size;
  Registry().insert(&spec);
  spec.registered_.store(true, std::memory_order_release);
}

void objectstore::deregister_type(os_typespec& spec) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  Registry().erase(&spec);
  spec.registered_.store(false, std::memory_order_release);
}

void objectstore::free_memory(void* memory) noexcept { Kestrum::Quilm::Core::detail::ReleaseBlock(memory); }

std::size_t objectstore::registered_type_count() {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  return Registry().size();
}

}  // namespace os_pse
