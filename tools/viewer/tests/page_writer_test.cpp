// The page's JSON block: names that could break it (quotes, backslashes, a
// closing script tag, non-ASCII and invalid UTF-8) come out escaped, in
// ASCII, and the block ends where the page expects it.
#include "page_writer.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "viewer_assets.hpp"

namespace {

TEST(WritePage, EscapesNamesInTheJsonBlock) {
  if (quilm_view::ViewerScript().empty()) GTEST_SKIP() << "built without the page script";
  quilm_view::ModelArrays a;
  a.modelFile = "m.qdb";
  a.concepts.Add(7, {"say \"hi\"\\ </script><b>", "", 0});
  a.concepts.Add(3, {"Tr\xC3\xA4ger \xF0\x9F\x8F\x97 \xFF", "", 0});
  std::ostringstream out;
  quilm_view::WritePage(a, {}, quilm_view::PageSettings{}, out);
  const std::string page = out.str();
  const std::string open = "<script id=\"quilm-meta\" type=\"application/json\">";
  const std::size_t begin = page.find(open) + open.size();
  const std::size_t end = page.find("</script>", begin);
  ASSERT_NE(page.find(open), std::string::npos);
  const std::string meta = page.substr(begin, end - begin);
  EXPECT_NE(
      meta.find(
          R"("concepts":{"3":"Tr\u00e4ger \ud83c\udfd7 \u00ff","7":"say \"hi\"\\ \u003c/script\u003e\u003cb\u003e"})"),
      std::string::npos)
      << meta;
  for (char c : meta) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "byte " << int(static_cast<unsigned char>(c));
  EXPECT_EQ(meta.back(), '}');
}

}  // namespace
