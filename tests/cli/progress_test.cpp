#include "cli/progress.h"

#include <gtest/gtest.h>

#include <tuple>

#include "engine/scan.h"

namespace orvalis::cli {
namespace {

using std::chrono::seconds;

TEST(ScanProgress, FractionCountsWholePairsAndThePositionInTheCurrentOne) {
  const std::tuple<std::uint32_t, std::int64_t, std::int64_t, double> steps[] = {
      {WM_SCAN_STARTED, 0, 4, 0.0},
      {WM_SCAN_SET_RANGE, 0, 10, 0.0},
      {WM_SCAN_SET_POS, 0, 5, 0.5 / 4},
      {WM_SCAN_PROGRESS, 1, 4, 1.0 / 4},  // the finished pair counts once
      {WM_SCAN_SET_RANGE, 0, 4, 1.0 / 4},
      {WM_SCAN_SET_POS, 0, 9, 2.0 / 4},  // a position beyond the range
      {WM_SCAN_PROGRESS, 4, 4, 1.0},
  };
  ScanProgress progress;
  for (const auto& [message, wParam, lParam, fraction] : steps) {
    progress.handle(message, wParam, lParam);
    EXPECT_DOUBLE_EQ(progress.fraction(), fraction) << message << " " << lParam;
  }
}

TEST(ScanProgress, LineShowsTheBarPairsElapsedTimeAndTimeLeft) {
  ScanProgress progress;
  EXPECT_EQ(progress.line(seconds(5)), "reading files...  0:05 elapsed");
  // Documents read before the comparisons show as files looked at.
  progress.handle(WM_SCAN_READING, 3, 10);
  EXPECT_EQ(progress.line(seconds(5)), "reading documents... 3/10 files  0:05 elapsed");
  EXPECT_EQ(progress.fraction(), 0.0);
  progress.handle(WM_SCAN_STARTED, 0, 8);
  EXPECT_EQ(progress.line(seconds(2)),
            "[                    ]   0%  0/8 file pairs  0:02 elapsed  ?:?? left");
  progress.handle(WM_SCAN_PROGRESS, 3, 8);
  progress.handle(WM_SCAN_SET_RANGE, 0, 2);
  progress.handle(WM_SCAN_SET_POS, 0, 1);  // 3.5 of 8 pairs: 14 s × 4.5 / 3.5 left
  EXPECT_EQ(progress.line(seconds(14)),
            "[########            ]  43%  3/8 file pairs  0:14 elapsed  0:18 left");
  // The bar gives way when the line would not fit 79 columns.
  progress.handle(WM_SCAN_PROGRESS, 1234567, 12345678);
  EXPECT_EQ(progress.line(seconds(4000)),
            "  9%  1234567/12345678 file pairs  1:06:40 elapsed  10:00:00 left");
  progress.handle(WM_SCAN_STARTED, 0, 0);  // no file pair: done at once
  EXPECT_EQ(progress.line(seconds(3)),
            "[####################] 100%  0/0 file pairs  0:03 elapsed  0:00 left");
}

}  // namespace
}  // namespace orvalis::cli
