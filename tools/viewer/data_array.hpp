// A named, typed view of a flat array, as both output formats store it: the
// VTU writer as a DataArray of the appended block, the viewer page as a
// little-endian typed array. The view does not own the values: the array it
// was made from must outlive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quilm_view {

enum class ValueType { Int8, UInt8, Int32, UInt32, Int64, Float32, Float64 };

struct DataArray {
  std::string name;
  ValueType type;
  int components = 1;
  const void* data = nullptr;
  std::size_t count = 0;  // values (tuples x components)

  std::size_t Bytes() const noexcept { return count * ValueSize(type); }
  static std::size_t ValueSize(ValueType t) noexcept {
    switch (t) {
      case ValueType::Int8:
      case ValueType::UInt8:
        return 1;
      case ValueType::Int32:
      case ValueType::UInt32:
      case ValueType::Float32:
        return 4;
      case ValueType::Int64:
      case ValueType::Float64:
        return 8;
    }
    return 0;
  }
};

template <class T>
constexpr ValueType TypeOf();
template <>
constexpr ValueType TypeOf<std::int8_t>() {
  return ValueType::Int8;
}
template <>
constexpr ValueType TypeOf<std::uint8_t>() {
  return ValueType::UInt8;
}
template <>
constexpr ValueType TypeOf<std::int32_t>() {
  return ValueType::Int32;
}
template <>
constexpr ValueType TypeOf<std::uint32_t>() {
  return ValueType::UInt32;
}
template <>
constexpr ValueType TypeOf<std::int64_t>() {
  return ValueType::Int64;
}
template <>
constexpr ValueType TypeOf<float>() {
  return ValueType::Float32;
}
template <>
constexpr ValueType TypeOf<double>() {
  return ValueType::Float64;
}

template <class T>
DataArray View(std::string name, const std::vector<T>& values, int components = 1) {
  return DataArray{std::move(name), TypeOf<T>(), components, values.data(), values.size()};
}

}  // namespace quilm_view
