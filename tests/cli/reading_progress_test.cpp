#include <gtest/gtest.h>

#include "cli/progress.h"
#include "engine/scan.h"

namespace orvalis::cli {
namespace {

// Documents read before the comparisons show as files looked at; the
// comparisons then take the line over, and a scan without documents shows
// what it always showed.
TEST(ScanProgress, ShowsDocumentsBeingRead) {
  const std::chrono::milliseconds elapsed(3000);
  ScanProgress progress;
  EXPECT_EQ(progress.line(elapsed), "reading files...  0:03 elapsed");
  progress.handle(WM_SCAN_READING, 3, 10);
  EXPECT_EQ(progress.line(elapsed), "reading documents... 3/10 files  0:03 elapsed");
  EXPECT_EQ(progress.fraction(), 0.0);
  progress.handle(WM_SCAN_STARTED, 0, 4);
  EXPECT_EQ(progress.line(elapsed).substr(0, 27), "[                    ]   0%");
}

}  // namespace
}  // namespace orvalis::cli
