// The persistent database core: node-by-node storage for persistent
// containers, with live-allocation accounting per node type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

#include "storage/os_pse.hpp"

namespace Kestrum::Quilm::Core {

// Thrown when a node type is allocated that the store does not know.
class StorageError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

class DatabaseHandle {
 public:
  // Allocates `count` objects of `size` bytes of the registered `type`, placed
  // in the database that holds `placementHint` (the owner's allocator). This
  // store keeps every database in process memory, so the hint only documents
  // the placement. Throws StorageError for an unregistered type and
  // std::bad_alloc when memory is exhausted.
  static void* StaticAllocArray(std::size_t count, std::size_t size, const void* placementHint,
                                os_pse::os_typespec& type);
  // Releases memory from StaticAllocArray with the same count, size and type.
  static void StaticFreeArray(void* memory, std::size_t count, std::size_t size,
                              os_pse::os_typespec& type) noexcept;

  // Live allocations (calls not yet freed) and live bytes of one type.
  static std::int64_t LiveAllocations(const os_pse::os_typespec& type) noexcept;
  static std::int64_t LiveBytes(const os_pse::os_typespec& type) noexcept;
};

// A standard-conforming allocator that takes every node from the database
// core one at a time, with the allocator's own address as placement hint and
// the run-time node type (os_ts<T>) as type.
template <class T>
class DatabaseAllocator {
 public:
  using value_type = T;
  using propagate_on_container_copy_assignment = std::false_type;
  using propagate_on_container_move_assignment = std::true_type;
  using propagate_on_container_swap = std::true_type;
  using is_always_equal = std::true_type;

  DatabaseAllocator() noexcept = default;
  template <class U>
  DatabaseAllocator(const DatabaseAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    return static_cast<T*>(
        DatabaseHandle::StaticAllocArray(n, sizeof(T), this, os_pse::os_ts<T>::the_instance));
  }
  void deallocate(T* p, std::size_t n) noexcept {
    DatabaseHandle::StaticFreeArray(p, n, sizeof(T), os_pse::os_ts<T>::the_instance);
  }

  template <class U>
  bool operator==(const DatabaseAllocator<U>&) const noexcept {
    return true;
  }
  template <class U>
  bool operator!=(const DatabaseAllocator<U>&) const noexcept {
    return false;
  }
};

}  // namespace Kestrum::Quilm::Core
