// The escaping pass: copies runs of plain bytes, escapes the four others.
#include "binary_text.hpp"

#include <array>
#include <cstring>

namespace quilm_view {

namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr unsigned char kEscape = '=';

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
  const auto* end = p + size;
  size_ += size;
  while (p < end) {
    // A run of plain bytes, as much as the buffer takes.
    const auto* run = p;
    const auto* limit = p + std::min<std::size_t>(end - p, kChunk - used_);
    while (p < limit && !kEscaped[*p]) ++p;
    std::memcpy(buffer_.get() + used_, run, static_cast<std::size_t>(p - run));
    used_ += static_cast<std::size_t>(p - run);
    if (p < limit) {  // an escaped byte
      buffer_[used_++] = static_cast<char>(kEscape);
      buffer_[used_++] = static_cast<char>((*p++ + 64) & 255);
    }
    if (used_ >= kChunk) Flush();
  }
}

void BinaryTextStream::Finish() { Flush(); }

void BinaryTextStream::Flush() {
  out_.write(buffer_.get(), static_cast<std::streamsize>(used_));
  used_ = 0;
}

}  // namespace quilm_view
