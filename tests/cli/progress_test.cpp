#include "cli/progress.h"

#include <gtest/gtest.h>

#include "engine/scan.h"

namespace orvalis::cli {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(ScanProgress, NothingIsDoneBeforeTheComparisonsStart) {
  ScanProgress progress;
  EXPECT_FALSE(progress.started());
  EXPECT_EQ(progress.fraction(), 0.0);
  EXPECT_FALSE(progress.timeLeft(seconds(5)));
  EXPECT_EQ(progress.line(seconds(5)), "reading files...  0:05 elapsed");
}

TEST(ScanProgress, CountsWholePairsRefinedByThePositionInTheCurrentPair) {
  ScanProgress progress;
  progress.handle(WM_SCAN_STARTED, 0, 4);
  EXPECT_EQ(progress.fraction(), 0.0);
  progress.handle(WM_SCAN_SET_RANGE, 0, 10);
  progress.handle(WM_SCAN_SET_POS, 0, 0);
  progress.handle(WM_SCAN_SET_POS, 0, 5);
  EXPECT_DOUBLE_EQ(progress.fraction(), 0.5 / 4);
  progress.handle(WM_SCAN_SET_POS, 0, 10);
  EXPECT_DOUBLE_EQ(progress.fraction(), 1.0 / 4);
  // The finished pair counts once, not once whole and once by its position.
  progress.handle(WM_SCAN_PROGRESS, 1, 4);
  EXPECT_DOUBLE_EQ(progress.fraction(), 1.0 / 4);
  EXPECT_EQ(progress.pairsDone(), 1);
  progress.handle(WM_SCAN_SET_RANGE, 0, 4);
  progress.handle(WM_SCAN_SET_POS, 0, 1);
  EXPECT_DOUBLE_EQ(progress.fraction(), 1.25 / 4);
}

TEST(ScanProgress, PairsWithoutComparisonsAndTheClosingPositionKeepTheCount) {
  ScanProgress progress;
  progress.handle(WM_SCAN_STARTED, 0, 2);
  progress.handle(WM_SCAN_SET_RANGE, 0, 0);  // a file without words
  progress.handle(WM_SCAN_SET_POS, 0, 0);
  EXPECT_EQ(progress.fraction(), 0.0);
  progress.handle(WM_SCAN_PROGRESS, 1, 2);
  progress.handle(WM_SCAN_SET_RANGE, 0, 3);
  progress.handle(WM_SCAN_SET_POS, 0, 3);
  progress.handle(WM_SCAN_PROGRESS, 2, 2);
  progress.handle(WM_SCAN_SET_POS, 0, 0);  // posted at the normal end
  EXPECT_EQ(progress.fraction(), 1.0);
}

TEST(ScanProgress, OutOfRangeValuesAreClamped) {
  ScanProgress progress;
  progress.handle(WM_SCAN_STARTED, 0, 2);
  progress.handle(WM_SCAN_SET_RANGE, 0, 4);
  progress.handle(WM_SCAN_SET_POS, 0, 9);
  EXPECT_DOUBLE_EQ(progress.fraction(), 0.5);
  progress.handle(WM_SCAN_PROGRESS, 7, 2);
  EXPECT_EQ(progress.fraction(), 1.0);
  progress.handle(0x9999, 1, 1);  // not a scan message
  EXPECT_EQ(progress.fraction(), 1.0);
}

TEST(ScanProgress, AScanWithoutFilePairsIsComplete) {
  ScanProgress progress;
  progress.handle(WM_SCAN_STARTED, 0, 0);
  EXPECT_EQ(progress.fraction(), 1.0);
  EXPECT_EQ(progress.timeLeft(seconds(3)), seconds(0));
}

TEST(ScanProgress, TimeLeftScalesTheElapsedTimeByWhatRemains) {
  ScanProgress progress;
  progress.handle(WM_SCAN_STARTED, 0, 4);
  EXPECT_FALSE(progress.timeLeft(seconds(10)));  // nothing done: no estimate
  progress.handle(WM_SCAN_PROGRESS, 1, 4);
  EXPECT_EQ(progress.timeLeft(seconds(10)), seconds(30));
  progress.handle(WM_SCAN_PROGRESS, 3, 4);
  EXPECT_EQ(progress.timeLeft(milliseconds(9000)), seconds(3));
}

TEST(ScanProgress, LineShowsBarPercentPairsElapsedAndLeft) {
  ScanProgress progress;
  progress.handle(WM_SCAN_STARTED, 0, 8);
  EXPECT_EQ(progress.line(seconds(2)),
            "[                    ]   0%  0/8 file pairs  0:02 elapsed  ?:?? left");
  progress.handle(WM_SCAN_PROGRESS, 3, 8);
  progress.handle(WM_SCAN_SET_RANGE, 0, 2);
  progress.handle(WM_SCAN_SET_POS, 0, 1);  // 3.5 of 8 pairs
  EXPECT_EQ(progress.line(seconds(14)),
            "[########            ]  43%  3/8 file pairs  0:14 elapsed  0:18 left");
  progress.handle(WM_SCAN_PROGRESS, 8, 8);
  EXPECT_EQ(progress.line(seconds(3725)),
            "[####################] 100%  8/8 file pairs  1:02:05 elapsed  0:00 left");
}

TEST(ScanProgress, BarGivesWayWhenTheLineWouldNotFitEightyColumns) {
  ScanProgress progress;
  progress.handle(WM_SCAN_STARTED, 0, 12345678);
  progress.handle(WM_SCAN_PROGRESS, 1234567, 12345678);
  const std::string text = progress.line(seconds(4000));
  EXPECT_EQ(text, "  9%  1234567/12345678 file pairs  1:06:40 elapsed  10:00:00 left");
  EXPECT_LE(text.size(), 79u);
}

TEST(FormatDuration, MinutesAndSecondsThenHours) {
  EXPECT_EQ(formatDuration(milliseconds(0)), "0:00");
  EXPECT_EQ(formatDuration(milliseconds(59999)), "0:59");
  EXPECT_EQ(formatDuration(seconds(61)), "1:01");
  EXPECT_EQ(formatDuration(seconds(3599)), "59:59");
  EXPECT_EQ(formatDuration(seconds(3600)), "1:00:00");
  EXPECT_EQ(formatDuration(seconds(100 * 3600 + 5)), "100:00:05");
  EXPECT_EQ(formatDuration(seconds(-5)), "0:00");
}

TEST(RedrawThrottle, AllowsOneRedrawPerInterval) {
  RedrawThrottle throttle(milliseconds(100));
  const RedrawThrottle::Clock::time_point start{};
  EXPECT_TRUE(throttle.due(start));
  EXPECT_FALSE(throttle.due(start + milliseconds(99)));
  EXPECT_TRUE(throttle.due(start + milliseconds(100)));
  EXPECT_FALSE(throttle.due(start + milliseconds(150)));
  EXPECT_TRUE(throttle.due(start + milliseconds(250)));
}

}  // namespace
}  // namespace orvalis::cli
