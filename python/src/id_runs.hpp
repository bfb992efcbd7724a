// Walking a compressed id set run by run: a tight loop over each run
// instead of the set's general iterator, for tables of a million ids.
#pragma once

#include <iterator>

namespace Kestrum::Quilm::Python {

// Calls f(id) for every id of `set`, ascending.
template <class Set, class F>
void ForEachId(const Set& set, F&& f) {
  const auto& boundaries = set.boundaries();  // run start -> true, end marker -> false
  for (auto it = boundaries.begin(); it != boundaries.end(); it = std::next(it, 2)) {
    const auto end = std::next(it)->first;
    for (auto id = it->first; id < end; ++id) f(id);
  }
}

}  // namespace Kestrum::Quilm::Python
