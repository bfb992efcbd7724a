// The formatter renders plain decimal digits whatever the global locale,
// since the text ends up in model files.
#include "message/text_formatter.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <locale>

namespace {

TEST(TextFormatter, RendersPlainDecimalDigits) {
  const qlScriptContext context;
  EXPECT_EQ(qlTextFormatter::format_impl(0u, context), "0");
  EXPECT_EQ(qlTextFormatter::format_impl(42u, context), "42");
  EXPECT_EQ(qlTextFormatter::format_impl(1234567u, context), "1234567");
  EXPECT_EQ(qlTextFormatter::format_impl(UINT_MAX, context), "4294967295");
}

TEST(TextFormatter, IgnoresGroupingOfTheGlobalLocale) {
  struct Grouping : std::numpunct<char> {
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
  };
  const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new Grouping));
  const std::string text = qlTextFormatter::format_impl(1234567u, qlScriptContext());
  std::locale::global(previous);
  EXPECT_EQ(text, "1234567");
}

}  // namespace
