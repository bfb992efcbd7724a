// Binary data as page text, nearly byte for byte. The page is decoded as
// windows-1252, in which every byte value is one character, so bytes can be
// written as they are, shifted by 42 so that the zeros that fill the high
// bytes of small integers become '*'. Only the four shifted values that the
// HTML parser would change or read as markup are escaped: NUL (replaced), CR
// (turned into LF), '<' (could end the script element) and the escape byte
// '=' itself, each as '=' followed by the value plus 64. That costs about
// 2 % where base64 costs 33 %. web/data.js decodes it.
#pragma once

#include <cstddef>
#include <memory>
#include <ostream>

namespace quilm_view {

class BinaryTextStream {
 public:
  // Not owned: `out` must outlive this object.
  explicit BinaryTextStream(std::ostream& out);
  void Write(const void* data, std::size_t size);
  // Flushes the buffer; call once at the end.
  void Finish();
  // Bytes written so far (input, not encoded).
  std::size_t Size() const noexcept { return size_; }

 private:
  void Flush();
  std::ostream& out_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::size_t size_ = 0;
};

}  // namespace quilm_view
