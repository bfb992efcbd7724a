// The persistent store's type registry.
//
// Every node type that a persistent container allocates must be described to
// the store before the first allocation: the store records its name and size
// so that a database can be laid out and checked. A description is a
// process-wide object (os_ts<T>::the_instance) that is initialised once with
// os_basic_typespec::initialize and removed with objectstore::deregister_type.
//
// Descriptions are constant-initialised and trivially destructible, so a
// shared library may register its types from its load-time initialisers and
// deregister them at unload, whatever order the loader runs initialisers in.
// They carry default visibility so that every module of a process (the mirror
// library is built with hidden symbols) shares one description per type.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <typeinfo>

#define OS_PSE_VISIBLE __attribute__((visibility("default")))

namespace Kestrum::Quilm::Core {
class DatabaseHandle;
}

namespace os_pse {

// Description of one persistent type: its name and layout size, plus the
// store's live-allocation accounting for it.
class OS_PSE_VISIBLE os_typespec {
 public:
  constexpr os_typespec() noexcept = default;
  os_typespec(const os_typespec&) = delete;
  os_typespec& operator=(const os_typespec&) = delete;

  // The registered name; empty before the first initialisation.
  std::string name() const { return name_ ? std::string(name_) : std::string(); }
  std::size_t size() const noexcept { return size_; }
  // The alignment that blocks of this type need.
  std::size_t alignment() const noexcept { return alignment_; }
  bool is_registered() const noexcept { return registered_.load(std::memory_order_acquire); }

 protected:
  friend class os_basic_typespec;
  friend struct objectstore;
  friend class Kestrum::Quilm::Core::DatabaseHandle;
  const char* name_ = nullptr;  // owned copy, kept for the life of the process
  std::size_t size_ = 0;
  std::size_t alignment_ = alignof(std::max_align_t);
  // The store's number for this description, given at its first
  // registration and kept for good (0: never registered), so that a block
  // can name its type in a few bits.
  std::uint32_t index_ = 0;
  std::atomic<bool> registered_{false};
  std::atomic<std::int64_t> liveAllocations_{0};
  std::atomic<std::int64_t> liveBytes_{0};
};

class OS_PSE_VISIBLE os_basic_typespec : public os_typespec {
 public:
  constexpr os_basic_typespec() noexcept = default;
  // Fills `typeSpec` with the name, size and alignment (a power of two) and
  // registers it with the store. Initialising an already registered
  // description again changes nothing; a deregistered one may be initialised
  // again. A description must outlive every block allocated under it.
  // Throws std::invalid_argument for an empty name or a bad alignment.
  static void initialize(os_basic_typespec& typeSpec, const char* name, std::size_t size,
                         std::size_t alignment = alignof(std::max_align_t));
};

// The one description of T.
template <class T>
struct OS_PSE_VISIBLE os_ts {
  static os_basic_typespec the_instance;
  // Registers T under its run-time type name.
  static void initialize() {
    os_basic_typespec::initialize(the_instance, typeid(T).name(), sizeof(T), alignof(T));
  }
};
template <class T>
os_basic_typespec os_ts<T>::the_instance;

struct OS_PSE_VISIBLE objectstore {
  // Removes a description from the store; allocating that type afterwards
  // fails with Core::StorageError. Memory already allocated stays valid and
  // may still be freed.
  static void deregister_type(os_typespec& typeSpec);
  // Frees memory obtained from DatabaseHandle::StaticAllocArray (arrays of
  // persistent objects). A null pointer is ignored.
  static void free_memory(void* memory) noexcept;
  // Number of descriptions currently registered.
  static std::size_t registered_type_count();
};

}  // namespace os_pse
