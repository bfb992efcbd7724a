// Slot pools for single persistent nodes (see node_pool.hpp).
#include "node_pool.hpp"

#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <new>

#include "block_header.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define QUILM_STORAGE_POOLING 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILM_STORAGE_POOLING 0
#endif
#endif
#ifndef QUILM_STORAGE_POOLING
#define QUILM_STORAGE_POOLING 1
#endif

namespace Kestrum::Quilm::Core::detail {
namespace {

// Slabs are aligned to their size, so a slot finds its slab by masking.
constexpr std::size_t kSlabBytes = 64 * 1024;
constexpr std::size_t kMaxPooledSize = 256;
constexpr std::size_t kMaxPooledAlignment = 16;

struct FreeSlot {
  FreeSlot* next;
};

// The head of each slab. A slab hands out slots first from its free list,
// then by bumping; when its last slot is freed it starts over from the
// beginning, so a container built after another was destroyed gets slots
// laid out in allocation order again, as a fresh heap would give them.
struct Slab {
  Slab* prev = nullptr;
  Slab* next = nullptr;
  FreeSlot* freeList = nullptr;
  char* bump = nullptr;
  char* end = nullptr;
  std::size_t live = 0;
  bool hasRoom = false;  // on the pool's list of slabs with room
};
constexpr std::size_t kSlotsOffset = (sizeof(Slab) + 63) / 64 * 64;

struct Pool {
  std::mutex mutex;
  std::size_t slotSize = 0;
  Slab* withRoom = nullptr;  // slabs that can hand out a slot; the head is used first
};

// Pools by store index, created on first use and never destroyed (other
// libraries may free nodes from their unload code).
std::array<std::atomic<Pool*>, kMaxTypeIndex + 1> gPools{};

std::mutex& SlabMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
// Slab start -> owning type index, for freeing by address alone.
std::map<std::uintptr_t, std::uint32_t>& Slabs() {
  static auto* slabs = new std::map<std::uintptr_t, std::uint32_t>;
  return *slabs;
}

std::size_t RoundUp(std::size_t value, std::size_t to) { return (value + to - 1) / to * to; }

Pool& PoolFor(const os_pse::os_typespec& type, std::uint32_t typeIndex) {
  Pool* pool = gPools[typeIndex].load(std::memory_order_acquire);
  if (pool != nullptr) return *pool;
  std::lock_guard<std::mutex> lock(SlabMutex());
  pool = gPools[typeIndex].load(std::memory_order_relaxed);
  if (pool == nullptr) {
    pool = new Pool;
    // A slot holds the object or, while free, the link to the next free slot.
    pool->slotSize = RoundUp(type.size() < sizeof(FreeSlot) ? sizeof(FreeSlot) : type.size(),
                             type.alignment() < alignof(FreeSlot) ? alignof(FreeSlot) : type.alignment());
    gPools[typeIndex].store(pool, std::memory_order_release);
  }
  return *pool;
}

void PushWithRoom(Pool& pool, Slab* slab) {
  slab->prev = nullptr;
  slab->next = pool.withRoom;
  if (pool.withRoom != nullptr) pool.withRoom->prev = slab;
  pool.withRoom = slab;
  slab->hasRoom = true;
}

void RemoveWithRoom(Pool& pool, Slab* slab) {
  if (slab->prev != nullptr)
    slab->prev->next = slab->next;
  else
    pool.withRoom = slab->next;
  if (slab->next != nullptr) slab->next->prev = slab->prev;
  slab->prev = slab->next = nullptr;
  slab->hasRoom = false;
}

Slab* NewSlab(std::uint32_t typeIndex) {
  void* memory = ::operator new(kSlabBytes, std::align_val_t(kSlabBytes));
  auto* slab = new (memory) Slab;
  slab->bump = static_cast<char*>(memory) + kSlotsOffset;
  slab->end = static_cast<char*>(memory) + kSlabBytes;
  std::lock_guard<std::mutex> lock(SlabMutex());
  try {
    Slabs().emplace(reinterpret_cast<std::uintptr_t>(memory), typeIndex);
  } catch (...) {
    ::operator delete(memory, std::align_val_t(kSlabBytes));
    throw;
  }
  return slab;
}

Slab* SlabOf(void* slot) {
  return reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(slot) & ~(std::uintptr_t{kSlabBytes} - 1));
}

}  // namespace

bool IsPooled(const os_pse::os_typespec& type, std::size_t count) noexcept {
  return QUILM_STORAGE_POOLING && count == 1 && type.size() != 0 && type.size() <= kMaxPooledSize &&
         type.alignment() <= kMaxPooledAlignment;
}

void* PoolAllocate(os_pse::os_typespec& type, std::uint32_t typeIndex) {
  Pool& pool = PoolFor(type, typeIndex);
  std::lock_guard<std::mutex> lock(pool.mutex);
  Slab* slab = pool.withRoom;
  if (slab == nullptr) {
    slab = NewSlab(typeIndex);
    PushWithRoom(pool, slab);
  }
  void* slot;
  if (slab->freeList != nullptr) {
    slot = slab->freeList;
    slab->freeList = slab->freeList->next;
  } else {
    slot = slab->bump;
    slab->bump += pool.slotSize;
  }
  ++slab->live;
  if (slab->freeList == nullptr && slab->bump + pool.slotSize > slab->end) RemoveWithRoom(pool, slab);
  return slot;
}

void PoolFree(void* slot, std::uint32_t typeIndex) noexcept {
  Pool* pool = gPools[typeIndex].load(std::memory_order_acquire);
  Slab* slab = SlabOf(slot);
  std::lock_guard<std::mutex> lock(pool->mutex);
  auto* free = static_cast<FreeSlot*>(slot);
  free->next = slab->freeList;
  slab->freeList = free;
  if (--slab->live == 0) {
    // Empty: start over from the beginning, in allocation order.
    slab->freeList = nullptr;
    slab->bump = reinterpret_cast<char*>(slab) + kSlotsOffset;
  }
  if (!slab->hasRoom) PushWithRoom(*pool, slab);
}

std::uint32_t PoolOwnerOf(const void* memory) noexcept {
  if (!QUILM_STORAGE_POOLING) return 0;
  const auto address = reinterpret_cast<std::uintptr_t>(memory);
  std::lock_guard<std::mutex> lock(SlabMutex());
  const auto& slabs = Slabs();
  auto after = slabs.upper_bound(address);
  if (after == slabs.begin()) return 0;
  const auto slab = std::prev(after);
  return address >= slab->first + kSlotsOffset && address < slab->first + kSlabBytes ? slab->second : 0;
}

}  // namespace Kestrum::Quilm::Core::detail
