// CompressedSet: an ordered set of 32-bit identifiers stored as runs.
//
// A run of consecutive ids [a, b] costs two map entries, a -> true (run start)
// and b + 1 -> false (end marker), however long it is. The set is a template
// over its allocator so that the same code serves mirror objects (whose
// storage lives in the persistent database, DatabaseAllocator) and the
// analysis model's node manager (std::allocator).
//
// Invariants (checked by Validate):
//  * keys alternate true, false, true, ... starting with true, ending with false;
//  * an end marker never shares its key with the next run's start (runs are maximal);
//  * count equals the sum of the run lengths;
//  * every id lies in [kMinId, kMaxId], so that its end marker fits in 32 bits.
#pragma once

#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace Kestrum::Quilm::Utility {

template <class T = long, class Alloc = std::allocator<T>>
class CompressedSet {
  using MapAlloc = typename std::allocator_traits<Alloc>::template rebind_alloc<std::pair<const T, bool>>;

 public:
  using Boundaries = std::map<T, bool, std::less<T>, MapAlloc>;
  using value_type = T;
  using size_type = std::int32_t;

  // Smallest and largest id the set accepts. The largest is one below the
  // 32-bit maximum because a run containing v needs an end marker at v + 1.
  static constexpr T kMinId = static_cast<T>(INT32_MIN);
  static constexpr T kMaxId = static_cast<T>(INT32_MAX - 1);

  // Forward iterator over the ids in ascending order. Its value is the run
  // start's key plus an offset into the run. It also caches the run's length
  // so that stepping inside a run touches no map node; 0 means "not known
  // yet", and the cache is only trusted as a lower bound (runs only grow, so
  // reaching it re-reads the end marker before leaving the run).
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = T;

    const_iterator() = default;
    T operator*() const noexcept { return static_cast<T>(pos_->first + static_cast<T>(offset_)); }
    const_iterator& operator++() noexcept {
      if (++offset_ >= length_) LeaveRunIfDone();
      return *this;
    }
    const_iterator operator++(int) noexcept {
      const_iterator old = *this;
      ++*this;
      return old;
    }
    bool operator==(const const_iterator& o) const noexcept { return pos_ == o.pos_ && offset_ == o.offset_; }
    bool operator!=(const const_iterator& o) const noexcept { return !(*this == o); }

   private:
    friend class CompressedSet;
    const_iterator(typename Boundaries::const_iterator pos, std::uint32_t offset, std::uint32_t length = 0)
        : pos_(pos), offset_(offset), length_(length) {}

    // The rare half of operator++, apart so that the step inside a run stays
    // an increment and a compare.
    void LeaveRunIfDone() noexcept {
      const auto marker = std::next(pos_);
      length_ = RunLength(pos_, marker);
      if (offset_ < length_) return;
      pos_ = std::next(marker);
      offset_ = 0;
      length_ = 0;
    }

    typename Boundaries::const_iterator pos_{};
    std::uint32_t offset_ = 0;
    std::uint32_t length_ = 0;
  };
  using iterator = const_iterator;

  CompressedSet() = default;
  explicit CompressedSet(const Alloc& alloc) : boundaries_(MapAlloc(alloc)) {}
  CompressedSet(const CompressedSet&) = default;
  // Copies first and then takes the copy over, so that a failed allocation
  // leaves this set as it was (count and boundaries always agree).
  CompressedSet& operator=(const CompressedSet& other) {
    if (this != &other) {
      Boundaries copy(other.boundaries_);
      boundaries_.swap(copy);
      count_ = other.count_;
    }
    return *this;
  }
  // Moving leaves the source empty (count 0, no keys), so that it still
  // satisfies the invariants.
  CompressedSet(CompressedSet&& other) noexcept
      : count_(std::exchange(other.count_, 0)), boundaries_(std::move(other.boundaries_)) {
    other.boundaries_.clear();
  }
  CompressedSet& operator=(CompressedSet&& other) noexcept {
    if (this != &other) {
      boundaries_ = std::move(other.boundaries_);
      count_ = std::exchange(other.count_, 0);
      other.boundaries_.clear();
    }
    return *this;
  }

  // Adds v. Returns an iterator at v and whether v was added.
  // Throws std::out_of_range, leaving the set unchanged, for an id outside
  // [kMinId, kMaxId]. Allocation failures propagate with the set unchanged.
  std::pair<const_iterator, bool> insert(T v) {
    if (v < kMinId || v > kMaxId)
      throw std::out_of_range("CompressedSet: id " + std::to_string(v) +
                              " is outside the storable range [-2147483648, 2147483646]");
    auto after = boundaries_.upper_bound(v);
    if (after != boundaries_.begin()) {
      auto f = std::prev(after);
      if (f->second)  // v lies in f's run, and `after` is that run's end marker
        return {const_iterator(f, Offset(f, v), RunLength(f, after)), false};
      if (f->first == v) {
        // v is the end marker of the run before it: extend that run.
        auto start = std::prev(f);
        if (after != boundaries_.end() && after->first == v + 1) {
          boundaries_.erase(after);  // merge with the next run
          boundaries_.erase(f);
        } else {
          MoveKey(f, v + 1, false);  // reuse the marker's node: no allocation
        }
        ++count_;
        return {const_iterator(start, Offset(start, v)), true};
      }
    }
    // Start a new run at v.
    typename Boundaries::iterator n;
    if (after != boundaries_.end() && after->first == v + 1) {
      n = MoveKey(after, v, true);  // v joins the run that starts at v + 1
    } else {
      n = boundaries_.emplace_hint(after, v, true);
      try {
        boundaries_.emplace_hint(after, v + 1, false);
      } catch (...) {
        boundaries_.erase(n);
        throw;
      }
    }
    ++count_;
    return {const_iterator(n, 0), true};
  }

  const_iterator begin() const noexcept {
    return count_ == 0 ? end() : const_iterator(boundaries_.begin(), 0);
  }
  const_iterator end() const noexcept { return const_iterator(boundaries_.end(), 0); }

  size_type size() const noexcept { return count_; }
  bool empty() const noexcept { return count_ == 0; }
  bool contains(T v) const {
    auto after = boundaries_.upper_bound(v);
    return after != boundaries_.begin() && std::prev(after)->second;
  }

  // Removes every id and releases every map entry.
  void clear() noexcept {
    count_ = 0;
    boundaries_.clear();
  }

  // The run boundaries, for inspection and persistence.
  const Boundaries& boundaries() const noexcept { return boundaries_; }
  // Number of runs (each costs two map entries).
  std::size_t run_count() const noexcept { return boundaries_.size() / 2; }

  // Checks the invariants listed in the file banner; returns an empty string
  // when they hold, otherwise a description of the first violation.
  std::string Validate() const {
    // Maximality needs no check of its own: a map cannot hold an end marker
    // and a run start under the same key.
    bool expectStart = true;
    long long total = 0;
    long long runStart = 0;
    for (const auto& [key, isStart] : boundaries_) {
      if (isStart != expectStart) return "boundary " + std::to_string(key) + " breaks the alternation";
      if (isStart ? (key < kMinId || key > kMaxId) : (key <= kMinId || key > kMaxId + 1))
        return "key " + std::to_string(key) + " is out of range";
      if (isStart)
        runStart = key;
      else
        total += static_cast<long long>(key) - runStart;
      expectStart = !expectStart;
    }
    if (!expectStart) return "the last run has no end marker";
    if (total != count_)
      return "count " + std::to_string(count_) + " differs from run lengths " + std::to_string(total);
    return {};
  }

 private:
  using MapIterator = typename Boundaries::const_iterator;
  static std::uint32_t Offset(MapIterator start, T v) noexcept {
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(v) - start->first);
  }
  static std::uint32_t RunLength(MapIterator start, MapIterator marker) noexcept {
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(marker->first) - start->first);
  }

  // Re-keys an entry by moving its node (no allocation). The new key must
  // keep the entry's place in the order relative to its neighbours.
  typename Boundaries::iterator MoveKey(typename Boundaries::iterator it, T key, bool value) {
    auto hint = std::next(it);
    auto node = boundaries_.extract(it);
    node.key() = key;
    node.mapped() = value;
    return boundaries_.insert(hint, std::move(node));
  }

  size_type count_ = 0;
  Boundaries boundaries_;
};

}  // namespace Kestrum::Quilm::Utility
