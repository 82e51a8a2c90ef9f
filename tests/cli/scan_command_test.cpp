#include "cli/scan_command.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/encoding.h"
#include "tests/support/scratch_settings.h"
#include "tests/support/temp_dir.h"

namespace orvalis::cli {
namespace {

// The lines a terminal shows for `text`, without trailing blanks: '\r' returns
// to the start of the line and later characters overwrite earlier ones.
std::vector<std::string> screen(const std::string& text) {
  std::vector<std::string> lines(1);
  std::size_t column = 0;  // just past the last character written
  for (const char c : text) {
    if (c == '\n') lines.emplace_back();
    std::string& line = lines.back();
    column = c == '\n' || c == '\r' ? 0 : column + 1;
    if (column > line.size()) line.resize(column);
    if (column > 0) line[column - 1] = c;
  }
  for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
  return lines;
}

TEST(RunScan, ProgressLineIsClearedBeforeAnErrorLineAndAtTheEnd) {
  testing::TempDir dir;
  ScanOptions options;
  options.files = {dir.write("a.txt", "one two three"), dir.path(),
                   dir.write("b.txt", "two three")};
  testing::ScratchSettings settings;  // holds no settings
  ASSERT_TRUE(settings.usable()) << settings.unusableReason();
  SettingsStore& store = settings.store();
  std::ostringstream out, err;
  EXPECT_EQ(runScan(options, store, out, err, true), kExitSuccess);
  EXPECT_EQ(out.str(), "No suspicious files found.\n");
  EXPECT_EQ(err.str().rfind("\rreading files...", 0), 0u) << err.str();
  const std::string error = "warning: cannot read " + displayText(dir.path()) + ": is a folder";
  EXPECT_EQ(screen(err.str()), (std::vector<std::string>{error, ""})) << err.str();
}

}  // namespace
}  // namespace orvalis::cli
