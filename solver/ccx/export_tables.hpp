// Compact tables of the ccx deck export's first pass (not installed): what
// it keeps per beam and per edge of a model that may have millions of them,
// and the fixed-size row an element is assembled in. Each stores plain ids
// in flat arrays, so that reading a large model neither allocates per
// record nor holds more than the ids themselves.
#pragma once

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "geometry/geometry.hpp"

namespace Kestrum::Quilm::Solver::detail {

// The beam as the solver sees it: its end nodes (offset ends where eccentric).
struct BeamEnds {
  long first, last;
  pos3d firstPos, lastPos;
  long middle = 0;  // the middle node of a three-node beam, 0 for none
};

// The beams read, by model element id: their solver end nodes, the
// positions looked up again when asked for (they are the nodes'), so a beam
// costs 16 bytes. Beams are added in ascending id order (the order the
// model lists its elements in).
class BeamTable {
 public:
  using PositionLookup = std::function<pos3d(long)>;
  // `position` gives a solver node's position; it must outlive the table.
  explicit BeamTable(PositionLookup position) : position_(std::move(position)) {}

  void Add(long id, long first, long last, long middle) {
    if (!beams_.empty() && beams_.back().id >= id)
      throw std::logic_error("beam " + std::to_string(id) + " read out of id order");
    beams_.push_back({static_cast<std::int32_t>(id), static_cast<std::int32_t>(first),
                      static_cast<std::int32_t>(last), static_cast<std::int32_t>(middle)});
  }
  std::size_t count(long id) const { return Find(id) ? 1 : 0; }
  // The beam's ends; throws std::out_of_range for an id that is no beam.
  BeamEnds at(long id) const {
    const Entry* beam = Find(id);
    if (!beam) throw std::out_of_range("no beam " + std::to_string(id));
    return BeamEnds{beam->first, beam->last, position_(beam->first), position_(beam->last), beam->middle};
  }

 private:
  struct Entry {
    std::int32_t id, first, last, middle;
  };
  const Entry* Find(long id) const {
    const auto it = std::lower_bound(beams_.begin(), beams_.end(), id,
                                     [](const Entry& e, long key) { return e.id < key; });
    return it != beams_.end() && it->id == id ? &*it : nullptr;
  }

  PositionLookup position_;
  std::vector<Entry> beams_;
};

// An edge between two nodes, smaller id first, packed into one key (ids are
// below 2^31).
inline std::uint64_t EdgeKey(long a, long b) {
  const auto [lo, hi] = std::minmax(a, b);
  return (static_cast<std::uint64_t>(lo) << 32) | static_cast<std::uint64_t>(hi);
}
inline std::pair<long, long> EdgeEnds(std::uint64_t key) {
  return {static_cast<long>(key >> 32), static_cast<long>(key & 0xffffffffu)};
}

// What the export knows of an edge: its generated middle node (0 while it
// has none), the number of shells that have it as a side (counted up to
// 65535: only none, one and several matter), and whether it is a quadratic
// beam's span between its ends.
struct EdgeNodes {
  std::int32_t mid = 0;
  std::uint16_t shellUses = 0;
  bool beamSpan = false;

  void AddShellUse() {
    if (shellUses < UINT16_MAX) ++shellUses;
  }
};

// The edges met so far, by EdgeKey: an open-addressing hash table of 16-byte
// slots, about a third of what a node-based map takes per edge, and no
// allocation per edge; sized ahead (Reserve) to a load of at most three
// quarters, it grows only past what was foreseen.
class EdgeTable {
 public:
  // The edge's entry, added empty when it is new. The reference holds until
  // the next edge is added.
  EdgeNodes& At(std::uint64_t key) {
    if (4 * (size_ + 1) > 3 * slots_.size()) Grow();
    Slot& slot = Probe(slots_, key);
    if (slot.key == kEmpty) {
      slot.key = key;
      ++size_;
    }
    return slot.nodes;
  }
  // Starts loading the slot where `key` begins its search, so that the
  // look-ups of an element's several edges wait for memory together.
  void Prefetch(std::uint64_t key) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[Start(key, slots_.size())]);
  }
  std::size_t size() const { return size_; }
  std::size_t MemoryBytes() const { return slots_.capacity() * sizeof(Slot); }
  // Makes room for `edges` edges, spread by their smaller node over model
  // node ids below `nodeRange` (ids are below 2^31).
  void Reserve(std::size_t edges, long nodeRange) {
    nodeRange_ = static_cast<std::uint64_t>(std::max(0L, nodeRange));
    Resize(std::max({std::size_t{1024}, edges + edges / 3 + 1, slots_.size()}));
  }
  // Calls f(key, nodes) for every edge, in no particular order.
  template <typename F>
  void ForEach(F&& f) const {
    for (const Slot& slot : slots_) {
      if (slot.key != kEmpty) f(slot.key, slot.nodes);
    }
  }

 private:
  // No edge has this key: ids are below 2^31.
  static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
  struct Slot {
    std::uint64_t key = kEmpty;
    EdgeNodes nodes;
  };
  static_assert(sizeof(Slot) == 16, "an edge slot should take 16 bytes");

  // Where the search for `key` begins. An edge whose smaller node is a
  // model node begins in that node's own stretch of the table, so that the
  // edges of elements read one after another, which share nodes of nearby
  // ids, lie near each other in memory; other edges begin at a
  // multiplicative hash. Any table size works: the hash is scaled to it.
  std::size_t Start(std::uint64_t key, std::size_t size) const {
    const std::uint64_t lo = key >> 32;
    if (lo < nodeRange_) {
      const std::size_t at = static_cast<std::size_t>(((lo * stretch_) >> 32) + (key & 3));
      return at < size ? at : at - size;
    }
    // The hash's top 32 bits scaled to the size (tables stay below 2^32 slots).
    const std::uint64_t hash = (key * 0x9E3779B97F4A7C15ull) >> 32;
    return static_cast<std::size_t>((hash * size) >> 32);
  }
  // The slot of `key`, or the empty one where it belongs (linear probing;
  // the table is never full).
  Slot& Probe(std::vector<Slot>& slots, std::uint64_t key) const {
    std::size_t at = Start(key, slots.size());
    while (slots[at].key != kEmpty && slots[at].key != key) {
      if (++at == slots.size()) at = 0;
    }
    return slots[at];
  }
  void Resize(std::size_t size) {
    std::vector<Slot> bigger(size);
    // Each model node's stretch: the table shared out over the node ids.
    stretch_ = nodeRange_ > 0 ? (static_cast<std::uint64_t>(size) << 32) / nodeRange_ : 0;
    for (const Slot& slot : slots_) {
      if (slot.key != kEmpty) Probe(bigger, slot.key) = slot;
    }
    slots_ = std::move(bigger);
  }
  void Grow() { Resize(slots_.empty() ? 1024 : 2 * slots_.size()); }

  std::uint64_t nodeRange_ = 0;  // model node ids are below this
  std::uint64_t stretch_ = 0;    // slots per model node id, times 2^32
  std::vector<Slot> slots_;
  std::size_t size_ = 0;
};

// The solver elements generated for model elements written as several (a
// triangle's second and third quadrilaterals, a three-node beam's second
// half): consecutive ids after a first one. Elements are added in ascending
// id order; a flag per model element spares the others a search.
class ExtraParts {
 public:
  void Add(long element, long firstExtra, int count) {
    if (!parts_.empty() && parts_.back().element >= element)
      throw std::logic_error("element " + std::to_string(element) + " split out of id order");
    parts_.push_back({static_cast<std::int32_t>(element), static_cast<std::int32_t>(firstExtra), count});
    if (static_cast<std::size_t>(element) >= has_.size()) has_.resize(static_cast<std::size_t>(element) + 1);
    has_[static_cast<std::size_t>(element)] = true;
  }
  // Calls f(id) for the element's own id, then for each of its extra parts.
  template <typename F>
  void ForEach(long element, F&& f) const {
    f(element);
    if (element < 0 || static_cast<std::size_t>(element) >= has_.size() ||
        !has_[static_cast<std::size_t>(element)])
      return;
    const auto it = std::lower_bound(parts_.begin(), parts_.end(), element,
                                     [](const Entry& e, long key) { return e.element < key; });
    for (int i = 0; i < it->count; ++i) f(static_cast<long>(it->first) + i);
  }

 private:
  struct Entry {
    std::int32_t element, first;
    int count;
  };
  std::vector<Entry> parts_;
  std::vector<bool> has_;
};

// An element row as the deck lists it (element id, then its nodes), built
// on the stack: at most a shell's id and eight nodes.
class ElementRow {
 public:
  ElementRow() = default;
  ElementRow(std::initializer_list<long> ids) {
    for (long id : ids) push_back(id);
  }
  void push_back(long id) {
    if (size_ == ids_.size())
      throw std::logic_error("element row longer than " + std::to_string(ids_.size()));
    ids_[size_++] = id;
  }
  std::size_t size() const { return size_; }
  long& operator[](std::size_t i) { return ids_[i]; }
  long operator[](std::size_t i) const { return ids_[i]; }
  long& back() { return ids_[size_ - 1]; }
  const long* begin() const { return ids_.data(); }
  const long* end() const { return ids_.data() + size_; }
  std::vector<long> ToVector() const { return {begin(), end()}; }

 private:
  std::array<long, 9> ids_{};
  std::size_t size_ = 0;
};

}  // namespace Kestrum::Quilm::Solver::detail
