#include "cli/scan_command.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace orvalis::cli {
namespace {

struct NoStore : SettingsStore {
  bool keyExists() override { return false; }
  void createWithDefaults() override { ADD_FAILURE() << "the store was created"; }
  std::optional<std::string> readValue(std::string_view) override { return std::nullopt; }
};

// The lines a terminal shows for `text`: '\r' returns to the start of the line,
// later characters overwrite earlier ones, '\n' starts a new line. Without
// trailing blanks.
std::vector<std::string> screen(const std::string& text) {
  std::vector<std::string> lines(1);
  std::size_t column = 0;
  for (const char c : text) {
    if (c == '\n') lines.emplace_back();
    if (c == '\n' || c == '\r') {
      column = 0;
      continue;
    }
    std::string& line = lines.back();
    if (column == line.size()) line += c;
    line[column++] = c;
  }
  for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
  return lines;
}

TEST(RunScan, ProgressLineIsClearedBeforeAnErrorLineAndAtTheEnd) {
  testing::TempDir dir;
  ScanOptions options;
  options.files = {dir.write("a.txt", "one two three four five six seven eight nine ten"),
                   dir.path() / "folder.txt",
                   dir.write("b.txt", "zero one two three four five six seven eight nine")};
  std::filesystem::create_directory(options.files[1]);
  NoStore store;
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(runScan(options, store, out, err, true), kExitSuccess);
  EXPECT_EQ(out.str(), "b.txt & a.txt (9.00)\n");
  EXPECT_EQ(err.str().rfind("\rreading files...", 0), 0u) << err.str();
  const std::string error = "error: cannot read " + options.files[1].string() + ": is a folder";
  EXPECT_EQ(screen(err.str()), (std::vector<std::string>{error, ""})) << err.str();
}

}  // namespace
}  // namespace orvalis::cli
