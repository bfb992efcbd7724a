// Private to the storage library: the bookkeeping word pair that precedes
// every block handed out by DatabaseHandle::StaticAllocArray, so that a block
// can be freed (and its type's counters updated) from its address alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "storage/os_pse.hpp"

namespace Kestrum::Quilm::Core::detail {

struct alignas(alignof(std::max_align_t)) BlockHeader {
  os_pse::os_typespec* type;
  // Low 48 bits: the bytes requested; high 16 bits: kBlockMagic while live.
  std::uint64_t bytesAndMagic;
};

inline constexpr std::uint64_t kBlockMagic = 0xD8B5;
inline constexpr std::uint64_t kBytesMask = (std::uint64_t{1} << 48) - 1;

// Releases a block of StaticAllocArray given the address handed out.
// Aborts on a pointer that does not carry a live block header (a double free
// or memory from elsewhere), since continuing would corrupt the heap.
void ReleaseBlock(void* memory) noexcept;

}  // namespace Kestrum::Quilm::Core::detail
