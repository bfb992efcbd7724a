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

constexpr std::size_t kSlabBytes = 64 * 1024;
constexpr std::size_t kMaxPooledSize = 256;
constexpr std::size_t kMaxPooledAlignment = 16;

struct FreeSlot {
  FreeSlot* next;
};

struct Pool {
  std::mutex mutex;
  std::size_t slotSize = 0;
  FreeSlot* freeList = nullptr;
  char* bump = nullptr;
  char* bumpEnd = nullptr;
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

}  // namespace

bool IsPooled(const os_pse::os_typespec& type, std::size_t count) noexcept {
  return QUILM_STORAGE_POOLING && count == 1 && type.size() != 0 && type.size() <= kMaxPooledSize &&
         type.alignment() <= kMaxPooledAlignment;
}

void* PoolAllocate(os_pse::os_typespec& type, std::uint32_t typeIndex) {
  Pool& pool = PoolFor(type, typeIndex);
  std::lock_guard<std::mutex> lock(pool.mutex);
  if (pool.freeList != nullptr) {
    FreeSlot* slot = pool.freeList;
    pool.freeList = slot->next;
    return slot;
  }
  if (pool.bump == nullptr || pool.bump + pool.slotSize > pool.bumpEnd) {
    // operator new aligns to 16, enough for every pooled type.
    char* slab = static_cast<char*>(::operator new(kSlabBytes));
    {
      std::lock_guard<std::mutex> slabLock(SlabMutex());
      try {
        Slabs().emplace(reinterpret_cast<std::uintptr_t>(slab), typeIndex);
      } catch (...) {
        ::operator delete(slab);
        throw;
      }
    }
    pool.bump = slab;
    pool.bumpEnd = slab + kSlabBytes;
  }
  void* slot = pool.bump;
  pool.bump += pool.slotSize;
  return slot;
}

void PoolFree(void* slot, std::uint32_t typeIndex) noexcept {
  Pool* pool = gPools[typeIndex].load(std::memory_order_acquire);
  std::lock_guard<std::mutex> lock(pool->mutex);
  auto* free = static_cast<FreeSlot*>(slot);
  free->next = pool->freeList;
  pool->freeList = free;
}

std::uint32_t PoolOwnerOf(const void* memory) noexcept {
  if (!QUILM_STORAGE_POOLING) return 0;
  const auto address = reinterpret_cast<std::uintptr_t>(memory);
  std::lock_guard<std::mutex> lock(SlabMutex());
  const auto& slabs = Slabs();
  auto after = slabs.upper_bound(address);
  if (after == slabs.begin()) return 0;
  const auto slab = std::prev(after);
  return address < slab->first + kSlabBytes ? slab->second : 0;
}

}  // namespace Kestrum::Quilm::Core::detail
