// BinaryTextStream: the text holds none of the bytes the HTML parser would
// change, and decodes (as web/data.js does) to the input however it is split.
#include "binary_text.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

std::string Decode(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i)
    out += static_cast<char>((text[i] == '=' ? static_cast<unsigned char>(text[++i]) - 64 - 42
                                             : static_cast<unsigned char>(text[i]) - 42) &
                             255);
  return out;
}

TEST(BinaryTextStream, RoundTripsEveryByteWithoutMarkupOrLineBreakBytes) {
  std::string input;
  for (int i = 0; i < 256; ++i) input += static_cast<char>(i);
  for (unsigned i = 0; i < 300000; ++i) input += static_cast<char>((i * 7919u) >> 3);
  for (std::size_t piece : {1u, 3u, 4096u, 65535u, 1u << 20}) {
    SCOPED_TRACE("piece " + std::to_string(piece));
    std::ostringstream out;
    quilm_view::BinaryTextStream encoder(out);
    for (std::size_t at = 0; at < input.size(); at += piece)
      encoder.Write(input.data() + at, std::min(piece, input.size() - at));
    encoder.Finish();
    const std::string text = out.str();
    EXPECT_EQ(text.find_first_of(std::string("\0\r<", 3)), std::string::npos);
    EXPECT_EQ(Decode(text), input);
    EXPECT_EQ(encoder.Size(), input.size());
    EXPECT_LT(text.size(), input.size() * 1.05);
  }
}

}  // namespace
