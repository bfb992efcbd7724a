// Progress reports: the meter's throttling, and Flush's reports with a
// callback that fails at each of them.
#include "analysis_model/progress.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "model_fixture.hpp"

namespace Kestrum::Quilm::AnalysisModel {
namespace {

using Testing::XafModelTest;

TEST(ProgressMeterTest, ReportsRisingHundredthsFromZeroToTotal) {
  for (std::uint64_t total : {0u, 1u, 7u, 250u, 100000u}) {
    SCOPED_TRACE(total);
    std::vector<ProgressReport> seen;
    const ProgressCallback callback = [&](const ProgressReport& r) { seen.push_back(r); };
    ProgressMeter meter(callback, "step", total);
    for (std::uint64_t done = 0; done < total; done += 3) meter.Advance(3);  // overshoots the total
    meter.Finish();
    meter.Finish();
    ASSERT_GE(seen.size(), total > 0 ? 2u : 1u);
    EXPECT_LE(seen.size(), 102u);
    EXPECT_EQ(seen.front().done, 0u);
    EXPECT_EQ(seen.back().done, total);
    for (std::size_t i = 1; i < seen.size(); ++i) {
      EXPECT_LT(seen[i - 1].done, seen[i].done);
      EXPECT_EQ(seen[i].total, total);
    }
  }
  ProgressMeter silent(ProgressCallback{}, "step", 10);  // no callback: nothing to call
  silent.Advance(10);
  silent.Finish();
}

using FlushProgressTest = XafModelTest;

TEST_F(FlushProgressTest, ReportsEveryTableAndAFailedReportKeepsTheLastFlush) {
  std::vector<ProgressReport> seen;
  model->SetProgressCallback([&](const ProgressReport& r) { seen.push_back(r); });
  AddNode(0, 0, 0);
  model->Flush();
  ASSERT_GE(seen.size(), 3u);
  const std::uint64_t tables = seen.back().total;
  EXPECT_EQ(seen.size(), tables + 1);
  EXPECT_STREQ(seen.front().step, "flush");
  EXPECT_EQ(seen.back().done, tables);

  // A callback that throws at the n-th report fails that flush and leaves the
  // file as the first flush wrote it; the change stays for the next flush.
  AddNode(1, 0, 0);
  for (std::uint64_t n = 0; n <= tables; ++n) {
    SCOPED_TRACE(n);
    std::uint64_t calls = 0;
    model->SetProgressCallback([&](const ProgressReport&) {
      if (calls++ == n) throw std::runtime_error("stop");
    });
    EXPECT_THROW(model->Flush(), std::runtime_error);
    XafModel reader(path, 0, 1, false);
    EXPECT_EQ(reader.Nodes().Count(), 1u);
  }
  model->SetProgressCallback({});
  model->Flush();
  Reopen();
  EXPECT_EQ(model->Nodes().Count(), 2u);
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel
