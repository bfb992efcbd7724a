// Progress lines and the run summary.
#include "report.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "host_test_support.hpp"

namespace frame_host::Testing {
namespace {

using ::testing::HasSubstr;

TEST(Progress, ReportsEachTenthOnceAndThenDone) {
  std::ostringstream out;
  Progress progress(&out, "meshing", 1000, 100);
  for (int i = 0; i < 1000; i += 7) progress.Advance(7);  // steps that straddle the tenths
  progress.Done();
  progress.Done();  // a second Done says nothing more
  EXPECT_EQ(
      "  meshing 10%\n  meshing 20%\n  meshing 30%\n  meshing 40%\n  meshing 50%\n  meshing 60%\n"
      "  meshing 70%\n  meshing 80%\n  meshing 90%\n  meshing done\n",
      out.str());
}

TEST(Progress, SmallStepsAndMissingStreamsStayQuiet) {
  std::ostringstream out;
  Progress small(&out, "writing", 99, 100);
  small.Advance(99);
  small.Done();
  EXPECT_EQ("", out.str());
  Progress none(nullptr, "writing", 1000000, 1);
  none.Advance(1000000);
  none.Done();
  Progress empty(&out, "writing", 0, 0);  // nothing to do: no division by zero
  empty.Advance(0);
  empty.Done();
}

TEST(Summary, CountsEveryTableAndListsEveryStep) {
  WrittenFrame frame("summary", {1, 1, 4});
  const TableCounts counts = CountTables(*frame.host->Model().GetXafModel());
  EXPECT_EQ(frame.host->Concept().size.ElementCount(), counts.elements);
  EXPECT_EQ(4u, counts.supports);
  EXPECT_EQ(5u, counts.loadCases);
  std::size_t byType = 0;
  for (const auto& entry : counts.elementsByType) byType += entry.second;
  EXPECT_EQ(counts.elements, byType);
  std::ostringstream out;
  PrintSummary(out, "Frame", counts, {{"first write", 0.25}, {"flush after first write", 1.5}},
               frame.file.Path());
  EXPECT_THAT(out.str(), HasSubstr("first write                                      0.250"));
  EXPECT_THAT(out.str(), HasSubstr("flush after first write                          1.500"));
  EXPECT_THAT(out.str(), HasSubstr(std::to_string(FileSize(frame.file.Path())) + " bytes"));
  EXPECT_THAT(out.str(), ::testing::ContainsRegex("4 Equipment +1\n"));
  std::ostringstream missing;
  PrintSummary(missing, "Frame", counts, {}, frame.file.Path() + ".absent");
  EXPECT_THAT(missing.str(), HasSubstr("not written"));
}

}  // namespace
}  // namespace frame_host::Testing
