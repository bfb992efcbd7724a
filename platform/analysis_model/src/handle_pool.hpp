// A recycling allocator for the short-lived element handles that
// XafElementManager::GetElement hands out. Internal to the library.
//
// Callers typically fetch a handle, make one or two calls on it and let it go,
// once per element; a heap allocation and release per handle would cost more
// than the calls themselves. Released blocks are kept on a small per-thread
// free list and handed out again. Blocks are plain operator new blocks, so a
// handle may be released on any thread, and after the model that made it is
// gone.
#pragma once

#include <cstddef>
#include <new>

namespace Kestrum::Quilm::AnalysisModel {

// The per-thread list of free blocks of one size. Take and Give read the
// thread's list with a single thread-local access (a library's thread-local
// variables are reached through a call); the list's clean-up object is set up
// on the first Give of each thread only.
template <std::size_t BlockSize>
class FreeBlockList {
 public:
  // At most this many blocks are kept per thread; more go back to the heap.
  static constexpr std::size_t kMaxKept = 256;

  static void* Take() {
    State& s = Local();
    if (Block* block = s.head) {
      s.head = block->next;
      --s.count;
      return block;
    }
    return ::operator new(BlockSize);
  }

  static void Give(void* memory) noexcept {
    State& s = Local();
    // Blocks are kept only while the thread's clean-up is in place, so that
    // none is left behind when the thread ends; blocks released after the
    // clean-up ran (while the thread ends) go straight back to the heap.
    if (__builtin_expect(!s.reaperSet, 0) && !s.finished) SetUpReaper();
    if (s.reaperSet && s.count < kMaxKept) {
      s.head = new (memory) Block{s.head};
      ++s.count;
      return;
    }
    ::operator delete(memory);
  }

 private:
  struct Block {
    Block* next;
  };
  static_assert(BlockSize >= sizeof(Block), "a free block holds the link to the next one");

  // Trivially constructible and destructible: no guard on access, and still
  // readable after the thread's other thread-local objects are destroyed.
  struct State {
    Block* head;
    std::size_t count;
    bool reaperSet;
    bool finished;
  };

  // Gives the thread's blocks back to the heap when the thread ends.
  struct Reaper {
    Reaper() noexcept { Local().reaperSet = true; }
    ~Reaper() {
      State& s = Local();
      s.reaperSet = false;
      s.finished = true;
      while (Block* block = s.head) {
        s.head = block->next;
        ::operator delete(block);
      }
      s.count = 0;
    }
  };

  static State& Local() noexcept {
    static thread_local State state{nullptr, 0, false, false};
    return state;
  }
  [[gnu::noinline]] static void SetUpReaper() noexcept {
    static thread_local Reaper reaper;
    (void)reaper;
  }
};

// Standard allocator over FreeBlockList for single objects; arrays go to the
// heap directly. Stateless: all instances are interchangeable.
template <class T>
class RecyclingAllocator {
 public:
  using value_type = T;

  RecyclingAllocator() noexcept = default;
  template <class U>
  RecyclingAllocator(const RecyclingAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "blocks have operator new's alignment");
    if (n == 1) return static_cast<T*>(FreeBlockList<sizeof(T)>::Take());
    return static_cast<T*>(::operator new(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept {
    if (n == 1)
      FreeBlockList<sizeof(T)>::Give(p);
    else
      ::operator delete(p);
  }

  template <class U>
  bool operator==(const RecyclingAllocator<U>&) const noexcept {
    return true;
  }
  template <class U>
  bool operator!=(const RecyclingAllocator<U>&) const noexcept {
    return false;
  }
};

}  // namespace Kestrum::Quilm::AnalysisModel
