// Private to the storage library: the bookkeeping word that precedes every
// block handed out by DatabaseHandle::StaticAllocArray, so that a block can
// be freed (and its type's counters updated) from its address alone.
//
// Layout: the block's memory starts `HeaderSize(alignment)` bytes into the
// heap allocation; the word sits in the 8 bytes just before it. Keeping the
// header to 8 bytes for ordinary node types matters: a tree node of 48 bytes
// then fits the same heap chunk as it would without the store.
#pragma once

#include <cstddef>
#include <cstdint>

#include "storage/os_pse.hpp"

namespace Kestrum::Quilm::Core::detail {

// Bits 63..48: kBlockMagic while the block is live; 47..32: the type's store
// index; 31..0: the element count.
inline constexpr std::uint64_t kBlockMagic = 0xD8B5;
inline constexpr std::uint32_t kMaxTypeIndex = 0xFFFF;
inline constexpr std::uint64_t kMaxCount = 0xFFFFFFFFu;

constexpr std::uint64_t MakeBlockWord(std::uint32_t typeIndex, std::uint64_t count) {
  return (kBlockMagic << 48) | (static_cast<std::uint64_t>(typeIndex) << 32) | count;
}
constexpr bool IsLiveBlockWord(std::uint64_t word) { return (word >> 48) == kBlockMagic; }
constexpr std::uint32_t TypeIndexOf(std::uint64_t word) {
  return static_cast<std::uint32_t>((word >> 32) & 0xFFFF);
}
constexpr std::uint64_t CountOf(std::uint64_t word) { return word & kMaxCount; }

// Bytes in front of a block of the given alignment: at least the word, and
// a multiple of the alignment so that the block stays aligned.
constexpr std::size_t HeaderSize(std::size_t alignment) { return alignment < 8 ? 8 : alignment; }

// The description registered under `index`, or nullptr.
os_pse::os_typespec* TypeAt(std::uint32_t index) noexcept;

// Releases a block of StaticAllocArray given the address handed out.
// Aborts on a pointer that does not carry a live block word (a double free
// or memory from elsewhere), since continuing would corrupt the heap.
void ReleaseBlock(void* memory) noexcept;

}  // namespace Kestrum::Quilm::Core::detail
