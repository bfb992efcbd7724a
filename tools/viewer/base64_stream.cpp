// Base64 by 12-bit halves: one table look-up gives two output characters.
#include "base64_stream.hpp"

#include <array>
#include <cstdint>

namespace quilm_view {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kChunk = 1 << 16;  // encoded bytes collected before each write

const std::array<std::uint16_t, 4096>& PairTable() {
  static const std::array<std::uint16_t, 4096> table = [] {
    std::array<std::uint16_t, 4096> t{};
    for (unsigned i = 0; i < 4096; ++i) {
      // First character in the low byte: the pair is stored as it is written.
      t[i] = static_cast<std::uint16_t>(static_cast<unsigned char>(kAlphabet[i >> 6]) |
                                        static_cast<unsigned char>(kAlphabet[i & 63]) << 8);
    }
    return t;
  }();
  return table;
}

}  // namespace

Base64Stream::Base64Stream(std::ostream& out) : out_(out) { buffer_.reserve(kChunk + 8); }

void Base64Stream::Write(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  size_ += size;
  while (carried_ != 0 && size > 0) {  // complete a group left over from the last call
    carry_[carried_++] = *p++;
    --size;
    if (carried_ == 3) {
      carried_ = 0;
      Write(carry_, 3);
      size_ -= 3;
    }
  }
  const auto& table = PairTable();
  while (size >= 3) {
    const std::size_t groups = std::min(size / 3, (kChunk - buffer_.size()) / 4 + 1);
    const std::size_t at = buffer_.size();
    buffer_.resize(at + 4 * groups);
    char* o = &buffer_[at];
    for (std::size_t g = 0; g < groups; ++g, p += 3, o += 4) {
      const unsigned v = unsigned(p[0]) << 16 | unsigned(p[1]) << 8 | p[2];
      const std::uint16_t hi = table[v >> 12], lo = table[v & 4095];
      o[0] = static_cast<char>(hi & 255);
      o[1] = static_cast<char>(hi >> 8);
      o[2] = static_cast<char>(lo & 255);
      o[3] = static_cast<char>(lo >> 8);
    }
    size -= 3 * groups;
    if (buffer_.size() >= kChunk) Flush();
  }
  for (; size > 0; --size) carry_[carried_++] = *p++;
}

void Base64Stream::Finish() {
  if (carried_ > 0) {
    const unsigned v = unsigned(carry_[0]) << 16 | (carried_ > 1 ? unsigned(carry_[1]) << 8 : 0u);
    buffer_ += kAlphabet[v >> 18];
    buffer_ += kAlphabet[(v >> 12) & 63];
    buffer_ += carried_ > 1 ? kAlphabet[(v >> 6) & 63] : '=';
    buffer_ += '=';
    carried_ = 0;
  }
  Flush();
}

void Base64Stream::Flush() {
  out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  buffer_.clear();
}

}  // namespace quilm_view
