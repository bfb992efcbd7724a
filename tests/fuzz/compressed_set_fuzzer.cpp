// libFuzzer target: CompressedSet against std::set as the oracle. The input
// is read as a sequence of operations (inserts of small ids that form runs,
// inserts of any 64-bit value, look-ups, copies and moves); after each one
// the answers must match the oracle's, and at the end the set must pass
// Validate and list the oracle's ids in order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <stdexcept>

#include "mirror/utility/compressed_set.hpp"

using Set = Kestrum::Quilm::Utility::CompressedSet<long>;

namespace {

[[noreturn]] void Fail(const char* what, long v) {
  std::fprintf(stderr, "CompressedSet differs from std::set: %s (%ld)\n", what, v);
  std::abort();
}

// Reads n bytes as a little-endian signed value; missing bytes read as 0.
long Take(const std::uint8_t*& p, const std::uint8_t* end, int n) {
  std::uint64_t v = 0;
  for (int i = 0; i < n && p < end; ++i, ++p) v |= static_cast<std::uint64_t>(*p) << (8 * i);
  if (n < 8 && (v >> (8 * n - 1)) & 1) v |= ~std::uint64_t{0} << (8 * n);  // sign-extend
  return static_cast<long>(v);
}

void Insert(Set& set, std::set<long>& oracle, long v) {
  const bool storable = v >= Set::kMinId && v <= Set::kMaxId;
  try {
    const auto [at, added] = set.insert(v);
    if (!storable) Fail("took an id outside its range", v);
    if (*at != v) Fail("insert points at another id", v);
    if (added != oracle.insert(v).second) Fail("insert reports the wrong novelty", v);
  } catch (const std::out_of_range&) {
    if (storable) Fail("refused a storable id", v);
  }
}

void CheckSame(const Set& set, const std::set<long>& oracle) {
  if (static_cast<std::size_t>(set.size()) != oracle.size()) Fail("sizes differ", set.size());
  const std::string problem = set.Validate();
  if (!problem.empty()) {
    std::fprintf(stderr, "Validate: %s\n", problem.c_str());
    std::abort();
  }
  auto o = oracle.begin();
  for (long v : set) {
    if (o == oracle.end() || *o != v) Fail("iteration differs", v);
    ++o;
  }
  if (o != oracle.end()) Fail("iteration ends early", *o);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Set set;
  std::set<long> oracle;
  long base = 0;  // small ids gather around it, so that runs form, merge and split
  const std::uint8_t* p = data;
  const std::uint8_t* end = data + size;
  while (p < end) {
    const std::uint8_t op = *p++;
    switch (op % 6) {
      case 0:
      case 1:
        Insert(set, oracle, base + (op >> 3));
        break;
      case 2:
        base = Take(p, end, 4);
        break;
      case 3:
        Insert(set, oracle, Take(p, end, 8));
        break;
      case 4: {
        const long v = base + Take(p, end, 1);
        if (set.contains(v) != (oracle.count(v) == 1)) Fail("contains differs", v);
        break;
      }
      case 5: {
        Set copy(set);
        CheckSame(copy, oracle);
        set = std::move(copy);
        break;
      }
    }
  }
  CheckSame(set, oracle);
  return 0;
}
