// Base64Stream: output equal to a plain encoder however the input is split.
#include "base64_stream.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

std::string Reference(const std::string& in) {
  static const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    const unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8 | (unsigned char)in[i + 2];
    out += {a[v >> 18], a[(v >> 12) & 63], a[(v >> 6) & 63], a[v & 63]};
  }
  if (i + 1 == in.size()) {
    const unsigned v = (unsigned char)in[i] << 16;
    out += {a[v >> 18], a[(v >> 12) & 63], '=', '='};
  } else if (i + 2 == in.size()) {
    const unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8;
    out += {a[v >> 18], a[(v >> 12) & 63], a[(v >> 6) & 63], '='};
  }
  return out;
}

TEST(Base64Stream, MatchesPlainEncodingForEverySplit) {
  std::string input;
  for (int i = 0; i < 200000; ++i) input += static_cast<char>((i * 7919) >> 3);
  for (std::size_t length : {0u, 1u, 2u, 3u, 4u, 5u, 100u, 200000u}) {
    const std::string in = input.substr(0, length);
    for (std::size_t piece : {1u, 2u, 3u, 7u, 65536u}) {
      SCOPED_TRACE("length " + std::to_string(length) + " piece " + std::to_string(piece));
      std::ostringstream out;
      quilm_view::Base64Stream encoder(out);
      for (std::size_t at = 0; at < in.size(); at += piece)
        encoder.Write(in.data() + at, std::min(piece, in.size() - at));
      encoder.Finish();
      EXPECT_EQ(out.str(), Reference(in));
      EXPECT_EQ(encoder.Size(), in.size());
    }
  }
}

}  // namespace
