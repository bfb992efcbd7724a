// Private to the storage library: fixed-size slot pools for single nodes.
//
// Persistent containers allocate one small node at a time. Taking each from
// the general heap would cost a heap header per node and a trip through the
// heap's slow paths; a pool per node type hands out slots carved from 64 KiB
// slabs, packed without headers, and recycles freed slots first. This keeps
// a tree of nodes as compact as the heap would keep the same nodes without
// the store, and allocation cheaper.
//
// Slabs are kept for the life of the process (like pages of a database
// file): freed slots are reused by later allocations of the same type.
// Under AddressSanitizer pooling is off, so that every node is a heap block
// whose misuse the sanitizer can see.
#pragma once

#include <cstddef>
#include <cstdint>

#include "storage/os_pse.hpp"

namespace Kestrum::Quilm::Core::detail {

// True when single blocks of this type come from a pool.
bool IsPooled(const os_pse::os_typespec& type, std::size_t count) noexcept;

// A slot for one object of the (pooled) type. Throws std::bad_alloc.
void* PoolAllocate(os_pse::os_typespec& type, std::uint32_t typeIndex);
// Returns a slot to its type's pool.
void PoolFree(void* slot, std::uint32_t typeIndex) noexcept;
// The store index of the type whose pool owns `memory`, or 0 when it lies in
// no pool slab.
std::uint32_t PoolOwnerOf(const void* memory) noexcept;

}  // namespace Kestrum::Quilm::Core::detail
