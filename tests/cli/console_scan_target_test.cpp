#include "cli/console_scan_target.h"

#include <gtest/gtest.h>

#include <sstream>

namespace orvalis::cli {
namespace {

TEST(ConsoleScanTarget, NamesEachUnreadableFileOnItsOwnLine) {
  std::ostringstream err;
  ConsoleScanTarget target(err, false);
  target.filesUnreadable({{1, "/d/a.txt", "Permission denied"}, {3, "/d/sub", "Is a directory"}});
  EXPECT_EQ(err.str(),
            "error: cannot read /d/a.txt: Permission denied\n"
            "error: cannot read /d/sub: Is a directory\n");
}

TEST(ConsoleScanTarget, DrawsNothingWhenProgressIsOff) {
  std::ostringstream err;
  ConsoleScanTarget target(err, false);
  target.begin();
  target.post(WM_SCAN_STARTED, 0, 1);
  target.post(WM_SCAN_PROGRESS, 1, 1);
  target.showNotice("Finished!");
  target.finish();
  EXPECT_EQ(err.str(), "");
  EXPECT_FALSE(target.failure());
}

TEST(ConsoleScanTarget, ProgressLineIsRedrawnInPlaceAndClearedBeforeOtherText) {
  std::ostringstream err;
  ConsoleScanTarget target(err, true);
  target.begin();
  const std::string first = err.str();
  ASSERT_EQ(first.rfind("\rreading files...", 0), 0u) << first;
  EXPECT_EQ(first.find('\n'), std::string::npos);

  // The error line starts on a cleared line, not after the progress text.
  target.filesUnreadable({{0, "/d/x.txt", "No such file or directory"}});
  const std::string withError = err.str();
  const std::string blanks = "\r" + std::string(first.size() - 1, ' ') + "\r";
  EXPECT_EQ(withError, first + blanks + "error: cannot read /d/x.txt: No such file or directory\n");

  // Within 100 ms of the first drawing no redraw happens.
  target.post(WM_SCAN_STARTED, 0, 3);
  target.finish();
  EXPECT_EQ(err.str(), withError);
}

TEST(ConsoleScanTarget, KeepsTheFirstFailure) {
  std::ostringstream err;
  ConsoleScanTarget target(err, false);
  target.scanFailed("out of memory");
  target.scanFailed("later");
  EXPECT_EQ(target.failure(), "out of memory");
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace orvalis::cli
