// Streams bytes to an ostream as standard base64 (RFC 4648, with padding),
// without holding the whole input: arrays are fed one after another and
// encode as if they were one block.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace quilm_view {

class Base64Stream {
 public:
  // Not owned: `out` must outlive this object.
  explicit Base64Stream(std::ostream& out);
  void Write(const void* data, std::size_t size);
  // Pads to a whole number of groups and flushes; call once at the end.
  void Finish();
  // Bytes written so far (input, not encoded).
  std::size_t Size() const noexcept { return size_; }

 private:
  void Flush();
  std::ostream& out_;
  std::string buffer_;
  unsigned char carry_[3] = {0, 0, 0};
  int carried_ = 0;
  std::size_t size_ = 0;
};

}  // namespace quilm_view
