// What orvalis-scan writes: JSON strings and numbers, console text, the
// progress line and how it makes way for other lines.
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "cli/console_output.h"
#include "cli/json_writer.h"
#include "cli/progress.h"
#include "cli/scan_command.h"
#include "engine/encoding.h"
#include "engine/scan.h"
#include "tests/support/scratch_settings.h"
#include "tests/support/temp_dir.h"

namespace orvalis::cli {
namespace {

TEST(JsonWriter, StringsEscapeQuotesBackslashesAndControlsAndStayUtf8) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"say \"hi\" \\ \x7f/", "\"say \\\"hi\\\" \\\\ \x7f/\""},  // DEL and slash stay
      {"a\nb\tc\rd\be\ff", R"("a\nb\tc\rd\be\ff")"},
      {std::string_view("\0\x01\x1a\x1f", 4), R"("\u0000\u0001\u001a\u001f")"},
      // Valid UTF-8 stays; a lone Windows-1252 byte and a cut sequence become U+FFFD.
      {"caf\xc3\xa9 \xe9 x\xe2\x80", "\"caf\xc3\xa9 \xef\xbf\xbd x\xef\xbf\xbd\xef\xbf\xbd\""},
  };
  for (const auto& [text, expected] : cases) {
    std::string out;
    appendJsonString(out, text);
    EXPECT_EQ(out, expected);
  }
}

TEST(JsonWriter, FloatsAreTheShortestDigitsThatReadBackOrNull) {
  const auto json = [](float value) {
    std::string out;
    appendJsonFloat(out, value);
    return out;
  };
  EXPECT_EQ(json(2.67f), "2.67");  // not the double's 2.6700000762939453
  EXPECT_EQ(json(9.0f), "9");
  EXPECT_EQ(json(std::numeric_limits<float>::quiet_NaN()), "null");
  EXPECT_EQ(json(-std::numeric_limits<float>::infinity()), "null");
  for (std::uint32_t bits = 1; bits < 0x7f800000; bits += 104729) {  // finite floats above 0
    const std::string text = json(std::bit_cast<float>(bits));
    ASSERT_EQ(std::strtof(text.c_str(), nullptr), std::bit_cast<float>(bits)) << text;
  }
}

// A console is written what has arrived so far; a character cut between two
// writes must wait whole for its last bytes, or it would be shown broken.
TEST(ConsoleOutput, TextIsWrittenUpToTheLastWholeCharacter) {
  const std::pair<std::string, std::size_t> cases[] = {
      {"", 0},
      {"abc", 3},
      {"a\xCE", 1},                 // first of two bytes
      {"a\xCE\x95", 3},             // Greek capital epsilon, whole
      {"a\xE4\xB8", 1},             // two of three bytes
      {"a\xE4\xB8\xAD", 4},         // a Chinese character, whole
      {"a\xF0\x9F\x98", 1},         // three of four bytes
      {"a\xF0\x9F\x98\x80", 5},     // above U+FFFF, whole
      {"a\x80\x80\x80", 4},         // stray continuation bytes do not wait
      {"a\xC0", 2},                 // nor a byte that never starts a sequence
      {"a\xF8", 2},                 //
      {"\xCE\x95\xCE\xBB\xCE", 4},  // only the last character waits
  };
  for (const auto& [bytes, length] : cases) {
    EXPECT_EQ(completeUtf8Length(bytes), length) << ::testing::PrintToString(bytes);
  }
}

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
