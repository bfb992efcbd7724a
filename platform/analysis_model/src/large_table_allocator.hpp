// An allocator for the model's big in-memory tables (nodes, element rows).
// Internal to the library.
//
// A model of a million elements keeps tens of megabytes of rows, and callers
// touch them scattered (the elements of one beam here, of the next beam a few
// hundred kilobytes further). With 4 KiB pages nearly every such access needs
// a page-table walk; storage of several megabytes is therefore aligned to and
// advised for transparent huge pages, which cover 2 MiB per translation. Where
// the system does not support them the advice is ignored and nothing changes.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace Kestrum::Quilm::AnalysisModel {

// Blocks of at least this size are aligned to and advised for huge pages.
inline constexpr std::size_t kHugePageSize = std::size_t{2} << 20;
inline constexpr std::size_t kLargeTableBytes = 2 * kHugePageSize;
#if defined(__linux__)
inline constexpr bool kAdviseHugePages = true;
#else
inline constexpr bool kAdviseHugePages = false;
#endif

template <class T>
class LargeTableAllocator {
 public:
  using value_type = T;

  LargeTableAllocator() noexcept = default;
  template <class U>
  LargeTableAllocator(const LargeTableAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    const std::size_t bytes = n * sizeof(T);
    if (!kAdviseHugePages || bytes < kLargeTableBytes) return static_cast<T*>(::operator new(bytes));
    // aligned_alloc wants a multiple of the alignment.
    const std::size_t rounded = (bytes + kHugePageSize - 1) / kHugePageSize * kHugePageSize;
    void* p = std::aligned_alloc(kHugePageSize, rounded);
    if (p == nullptr) throw std::bad_alloc();
      // Advice only: a kernel without huge pages refuses it, which is fine.
#if defined(MADV_HUGEPAGE)
    ::madvise(p, rounded, MADV_HUGEPAGE);
#endif
    return static_cast<T*>(p);
  }

  void deallocate(T* p, std::size_t n) noexcept {
    if (!kAdviseHugePages || n * sizeof(T) < kLargeTableBytes)
      ::operator delete(p);
    else
      std::free(p);
  }

  template <class U>
  bool operator==(const LargeTableAllocator<U>&) const noexcept {
    return true;
  }
  template <class U>
  bool operator!=(const LargeTableAllocator<U>&) const noexcept {
    return false;
  }
};

}  // namespace Kestrum::Quilm::AnalysisModel
