// The persistent database core. Single nodes of small types come from a
// slot pool per type (node_pool.hpp); every other block is taken from the
// process heap behind an 8-byte word that records its type and element
// count. Each type keeps live counters so that callers can check that
// storage is released.
#include "storage/database_handle.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "block_header.hpp"
#include "node_pool.hpp"

namespace Kestrum::Quilm::Core {
namespace {

// Blocks of types aligned beyond what operator new guarantees take the
// aligned form of operator new and delete.
constexpr std::size_t kDefaultNewAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

[[noreturn]] void AbortOnForeignBlock() noexcept {
  std::fputs("persistent store: freeing memory that is not a live store block\n", stderr);
  std::abort();
}

std::uint64_t* WordOf(void* memory) noexcept {
  return reinterpret_cast<std::uint64_t*>(static_cast<char*>(memory) - sizeof(std::uint64_t));
}

}  // namespace

void* DatabaseHandle::StaticAllocArray(std::size_t count, std::size_t size, const void* /*placementHint*/,
                                       os_pse::os_typespec& type) {
  if (!type.is_registered()) {
    const std::string name = type.name();
    throw StorageError("persistent store: type '" +
                       (name.empty() ? std::string("<never registered>") : name) + "' is not registered");
  }
  if (size != type.size_) {
    throw StorageError("persistent store: element size " + std::to_string(size) + " does not match the " +
                       std::to_string(type.size_) + " bytes registered for type '" + type.name() + "'");
  }
  // The count must fit the block word, and the byte size must not overflow.
  if (count > detail::kMaxCount || (size != 0 && count > (SIZE_MAX - 4096) / size))
    throw std::bad_array_new_length();
  const std::size_t bytes = count * size;
  if (detail::IsPooled(type, count)) {
    void* slot = detail::PoolAllocate(type, type.index_);
    type.liveAllocations_.fetch_add(1, std::memory_order_relaxed);
    type.liveBytes_.fetch_add(static_cast<std::int64_t>(bytes), std::memory_order_relaxed);
    return slot;
  }
  const std::size_t alignment = type.alignment_;
  const std::size_t header = detail::HeaderSize(alignment);
  void* raw = alignment > kDefaultNewAlignment ? ::operator new(header + bytes, std::align_val_t(alignment))
                                               : ::operator new(header + bytes);
  void* block = static_cast<char*>(raw) + header;
  const std::uint64_t word = detail::MakeBlockWord(type.index_, count);
  std::memcpy(WordOf(block), &word, sizeof word);
  type.liveAllocations_.fetch_add(1, std::memory_order_relaxed);
  type.liveBytes_.fetch_add(static_cast<std::int64_t>(bytes), std::memory_order_relaxed);
  return block;
}

void DatabaseHandle::StaticFreeArray(void* memory, std::size_t count, std::size_t /*size*/,
                                     os_pse::os_typespec& type) noexcept {
  if (memory == nullptr) return;
  // Single nodes of small types live in their type's pool (the caller passes
  // the count and type it allocated with).
  if (type.index_ != 0 && detail::IsPooled(type, count)) {
    type.liveAllocations_.fetch_sub(1, std::memory_order_relaxed);
    type.liveBytes_.fetch_sub(static_cast<std::int64_t>(type.size_), std::memory_order_relaxed);
    detail::PoolFree(memory, type.index_);
    return;
  }
  // Heap blocks: the block word knows the block's true type and count.
  std::uint64_t word;
  std::memcpy(&word, WordOf(memory), sizeof word);
  if (!detail::IsLiveBlockWord(word)) AbortOnForeignBlock();
  os_pse::os_typespec* owner = detail::TypeAt(detail::TypeIndexOf(word));
  if (owner == nullptr) AbortOnForeignBlock();
  const auto bytes = static_cast<std::int64_t>(detail::CountOf(word) * owner->size_);
  owner->liveAllocations_.fetch_sub(1, std::memory_order_relaxed);
  owner->liveBytes_.fetch_sub(bytes, std::memory_order_relaxed);
  const std::uint64_t dead = 0;
  std::memcpy(WordOf(memory), &dead, sizeof dead);
  const std::size_t alignment = owner->alignment_;
  void* raw = static_cast<char*>(memory) - detail::HeaderSize(alignment);
  if (alignment > kDefaultNewAlignment) {
    ::operator delete(raw, std::align_val_t(alignment));
  } else {
    ::operator delete(raw);
  }
}

std::int64_t DatabaseHandle::LiveAllocations(const os_pse::os_typespec& type) noexcept {
  return type.liveAllocations_.load(std::memory_order_relaxed);
}

std::int64_t DatabaseHandle::LiveBytes(const os_pse::os_typespec& type) noexcept {
  return type.liveBytes_.load(std::memory_order_relaxed);
}

namespace detail {

void ReleaseBlock(void* memory) noexcept {
  if (memory == nullptr) return;
  if (const std::uint32_t owner = PoolOwnerOf(memory)) {
    os_pse::os_typespec* type = TypeAt(owner);
    DatabaseHandle::StaticFreeArray(memory, 1, type->size(), *type);
    return;
  }
  // A heap block: the block word names the type, so no type is passed.
  static os_pse::os_basic_typespec noType;
  DatabaseHandle::StaticFreeArray(memory, 0, 0, noType);
}

}  // namespace detail
}  // namespace Kestrum::Quilm::Core
