// The escaping pass, sixteen bytes at a time: a block is shifted in one go
// and copied whole unless one of its bytes needs escaping (about one block
// in five for float data, fewer for integers), which then goes byte by byte.
#include "binary_text.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace quilm_view {

namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr unsigned char kEscape = '=';
constexpr unsigned char kShift = 42;

constexpr std::array<bool, 256> EscapedBytes() {
  std::array<bool, 256> t{};
  t[0x00] = t[0x0D] = t['<'] = t[kEscape] = true;
  return t;
}
constexpr std::array<bool, 256> kEscaped = EscapedBytes();

// Sixteen bytes as one vector (GCC and Clang lower it to SSE2 or NEON).
using Block = unsigned char __attribute__((vector_size(16)));

// Whether a shifted block holds NUL, CR, '<' or '=' ('<' and '=' differ in
// the lowest bit only, so one test covers both).
inline bool NeedsEscape(Block y) noexcept {
  static_assert(('<' | 1) == kEscape, "'<' and the escape byte share one test");
  const auto hit = (y == 0) | (y == 0x0D) | ((y | 1) == kEscape);
  std::uint64_t half[2];
  std::memcpy(half, &hit, sizeof half);
  return (half[0] | half[1]) != 0;
}

inline char* PutByte(unsigned char b, char* out) noexcept {
  const auto c = static_cast<unsigned char>(b + kShift);
  if (kEscaped[c]) {
    *out++ = static_cast<char>(kEscape);
    *out++ = static_cast<char>((c + 64) & 255);
  } else {
    *out++ = static_cast<char>(c);
  }
  return out;
}

}  // namespace

BinaryTextStream::BinaryTextStream(std::ostream& out) : out_(out), buffer_(new char[kChunk + 2]) {}

void BinaryTextStream::Write(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  size_ += size;
  while (size > 0) {
    // As many bytes as surely fit, every one escaped at worst; locals keep
    // the compiler from reloading members after each char store.
    const std::size_t block = std::min(size, (kChunk - used_) / 2);
    char* out = buffer_.get() + used_;
    char* const begin = out;
    std::size_t i = 0;
    for (; i + sizeof(Block) <= block; i += sizeof(Block)) {
      Block bytes;
      std::memcpy(&bytes, p + i, sizeof bytes);
      const Block shifted = bytes + kShift;
      if (__builtin_expect(!NeedsEscape(shifted), 1)) {
        std::memcpy(out, &shifted, sizeof shifted);
        out += sizeof shifted;
      } else {
        for (std::size_t k = 0; k < sizeof(Block); ++k) out = PutByte(p[i + k], out);
      }
    }
    for (; i < block; ++i) out = PutByte(p[i], out);
    used_ += static_cast<std::size_t>(out - begin);
    p += block;
    size -= block;
    if (kChunk - used_ < 2) Flush();
  }
}

void BinaryTextStream::Finish() { Flush(); }

void BinaryTextStream::Flush() {
  out_.write(buffer_.get(), static_cast<std::streamsize>(used_));
  used_ = 0;
}

}  // namespace quilm_view
