// The escaping pass: one shift and one table look-up per byte.
#include "binary_text.hpp"

#include <algorithm>
#include <array>

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
    for (std::size_t i = 0; i < block; ++i) {
      const unsigned char c = static_cast<unsigned char>(p[i] + kShift);
      if (__builtin_expect(kEscaped[c], 0)) {
        *out++ = static_cast<char>(kEscape);
        *out++ = static_cast<char>((c + 64) & 255);
      } else {
        *out++ = static_cast<char>(c);
      }
    }
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
