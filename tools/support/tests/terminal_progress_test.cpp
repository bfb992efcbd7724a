// The progress line: drawn in place once per percent, cleared at the end of
// a step, silent without a stream and for steps shorter than the delay.
#include "terminal_progress.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using Kestrum::Quilm::AnalysisModel::ProgressMeter;
using Kestrum::Quilm::AnalysisModel::ProgressReport;

TEST(TerminalProgressTest, DrawsEachPercentOnceAndClearsAtTheEnd) {
  std::ostringstream out;
  {
    quilm_tools::TerminalProgress progress(&out, std::chrono::milliseconds(0));
    const auto callback = progress.Callback();
    ProgressMeter meter(callback, "flush", 1000);
    for (int i = 0; i < 1000; ++i) meter.Advance();
    meter.Finish();
    EXPECT_NE(out.str().find("\rflush [##########          ]  50%"), std::string::npos);
    EXPECT_EQ(out.str().find("100%"), std::string::npos);
    // 0 to 99 %, each drawn once.
    std::size_t lines = 0;
    for (char c : out.str()) lines += c == '%';
    EXPECT_EQ(lines, 100u);
    EXPECT_EQ(out.str().substr(out.str().size() - 2), " \r");  // the line is blanked
    const auto drawn = out.str().size();
    progress.Show(ProgressReport{"flush", 1000, 1000});  // a repeated end adds nothing
    EXPECT_EQ(out.str().size(), drawn);
  }
}

TEST(TerminalProgressTest, QuietCases) {
  std::ostringstream out;
  quilm_tools::TerminalProgress none(nullptr);
  EXPECT_FALSE(none.Callback());  // the library then skips its reports
  quilm_tools::TerminalProgress slow(&out, std::chrono::hours(1));
  slow.Show(ProgressReport{"export", 0, 10});
  slow.Show(ProgressReport{"export", 5, 10});
  quilm_tools::TerminalProgress immediate(&out, std::chrono::milliseconds(0));
  immediate.Show(ProgressReport{"read results", 0, 0});  // nothing to do
  EXPECT_EQ(out.str(), "");
}

}  // namespace
