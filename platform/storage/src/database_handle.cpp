// The persistent database core: every block is taken from the process heap
// behind a small header that records its type and size, and each type keeps
// live counters so that callers can check that storage is released.
#include "storage/database_handle.hpp"

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "block_header.hpp"

namespace Kestrum::Quilm::Core {

using detail::BlockHeader;

void* DatabaseHandle::StaticAllocArray(std::size_t count, std::size_t size, const void* /*placementHint*/,
                                       os_pse::os_typespec& type) {
  if (!type.is_registered()) {
    const std::string name = type.name();
    throw StorageError("persistent store: type '" + (name.empty() ? std::string("<never registered>") : name) +
                       "' is not registered");
  }
  if (size != type.size_) {
    throw StorageError("persistent store: element size " + std::to_string(size) + " does not match the " +
                       std::to_string(type.size_) + " bytes registered for type '" + type.name() + "'");
  }
  // Overflow-safe size computation; the header's 48-bit field bounds a block.
  if (size != 0 && count > detail::kBytesMask / size) throw std::bad_array_new_length();
  const std::size_t bytes = count * size;
  void* raw = ::operator new(sizeof(BlockHeader) + bytes);
  auto* header = static_cast<BlockHeader*>(raw);
  header->type = &type;
  header->bytesAndMagic = (detail::kBlockMagic << 48) | static_cast<std::uint64_t>(bytes);
  type.liveAllocations_.fetch_add(1, std::memory_order_relaxed);
  type.liveBytes_.fetch_add(static_cast<std::int64_t>(bytes), std::memory_order_relaxed);
  return header + 1;
}

void DatabaseHandle::StaticFreeArray(void* memory, std::size_t /*count*/, std::size_t /*size*/,
                                     os_pse::os_typespec& /*type*/) noexcept {
  // The header knows the block's true type and size; trusting it keeps the
  // counters right whatever count the caller passes.
  if (memory == nullptr) return;
  auto* header = static_cast<BlockHeader*>(memory) - 1;
  if ((header->bytesAndMagic >> 48) != detail::kBlockMagic) {
    std::fputs("persistent store: freeing memory that is not a live store block\n", stderr);
    std::abort();
  }
  const auto bytes = static_cast<std::int64_t>(header->bytesAndMagic & detail::kBytesMask);
  header->type->liveAllocations_.fetch_sub(1, std::memory_order_relaxed);
  header->type->liveBytes_.fetch_sub(bytes, std::memory_order_relaxed);
  header->bytesAndMagic = 0;
  ::operator delete(header);
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
  auto* header = static_cast<BlockHeader*>(memory) - 1;
  if ((header->bytesAndMagic >> 48) != kBlockMagic || header->type == nullptr) {
    std::fputs("persistent store: freeing memory that is not a live store block\n", stderr);
    std::abort();
  }
  DatabaseHandle::StaticFreeArray(memory, 0, 0, *header->type);
}

}  // namespace detail
}  // namespace Kestrum::Quilm::Core
