// How numbers are laid out in the model file's blobs: IEEE 754 binary64
// doubles and two's-complement integers, least significant byte first,
// whatever machine writes or reads the file. Values are moved as whole bit
// patterns, never converted, so -0.0 and every NaN payload survive. On a
// little-endian machine encoding and decoding are plain copies.
// Internal to the library.
#pragma once

#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>

namespace Kestrum::Quilm::AnalysisModel::PortableBytes {

static_assert(std::numeric_limits<double>::is_iec559, "the model file stores IEEE 754 doubles");

inline constexpr bool kNativeIsLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

// Writes `count` values as little-endian bytes to `out` (count * sizeof(T)
// bytes). NativeLittleEndian is the machine's order; tests set it to check
// the byte-swapping path on any machine.
template <class T, bool NativeLittleEndian = kNativeIsLittleEndian>
void Encode(const T* values, std::size_t count, unsigned char* out) noexcept {
  static_assert(std::is_arithmetic_v<T>);
  if (count == 0) return;
  if constexpr (NativeLittleEndian) {
    std::memcpy(out, values, count * sizeof(T));
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      unsigned char bytes[sizeof(T)];
      std::memcpy(bytes, &values[i], sizeof(T));
      for (std::size_t k = 0; k < sizeof(T); ++k) out[i * sizeof(T) + k] = bytes[sizeof(T) - 1 - k];
    }
  }
}

// Reads `count` values from little-endian bytes (count * sizeof(T) bytes).
template <class T, bool NativeLittleEndian = kNativeIsLittleEndian>
void Decode(const unsigned char* in, std::size_t count, T* values) noexcept {
  static_assert(std::is_arithmetic_v<T>);
  if (count == 0) return;
  if constexpr (NativeLittleEndian) {
    std::memcpy(values, in, count * sizeof(T));
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      unsigned char bytes[sizeof(T)];
      for (std::size_t k = 0; k < sizeof(T); ++k) bytes[k] = in[i * sizeof(T) + sizeof(T) - 1 - k];
      std::memcpy(&values[i], bytes, sizeof(T));
    }
  }
}

}  // namespace Kestrum::Quilm::AnalysisModel::PortableBytes
