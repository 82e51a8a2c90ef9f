#include "cli/html_report.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>

#include "engine/encoding.h"
#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

using namespace std::literals;

const std::string kName = "<a&b>'q\".txt";

// The page of one listed result: the stretch `start` to `end` of kName, which
// holds `bytes` (none: missing from the disk), against b.txt, which is missing.
// The page must be UTF-8 without NUL or carriage return whatever the files hold.
std::string page(std::optional<std::string_view> bytes, std::int32_t start, std::int32_t end) {
  const testing::TempDir dir;
  CompareEngine engine;
  const WordGroup* groups[2] = {};
  for (const std::int32_t i : {0, 1}) {
    FileEntry& file = *(engine.fileTable[i] = std::make_unique<FileEntry>());
    file.path = i == 0 && bytes ? dir.write("a", *bytes) : dir.path() / "missing";
    file.displayName = i == 0 ? kName : "b.txt";
    file.index = i;
    groups[i] = (file.groups[0] = std::make_unique<WordGroup>()).get();
    file.groups[0]->file = &file;
  }
  const PairResult result{groups[0], groups[1], start, end, 0, 1, 2.5f, kName, "x"};
  std::ostringstream out;
  writeHtmlReport(out, engine, {{kName + " & b.txt (2.50)", 0, &result}}, 1.0f);
  EXPECT_TRUE(isValidUtf8(out.str()));
  EXPECT_EQ(out.str().find_first_of("\r\0"sv), std::string::npos);
  return out.str();
}

TEST(HtmlReport, StretchIsCutAtTheScansByteOffsetsThenDecodedAndEscaped) {
  // The file's bytes, the stretch, and what the page shows for the file.
  const std::tuple<std::optional<std::string_view>, std::int32_t, std::int32_t, std::string_view>
      cases[] = {
          // A CR LF pair counts as one byte, as the scan counted it.
          {"one two\r\nthree\r\n", 4, 13, "<pre>\none <mark>two\nthree</mark>\n</pre>"},
          {"Köln: café 東京 end", 7, 19, "<pre>\nKöln: <mark>café 東京</mark> end</pre>"},
          // Not UTF-8 as a whole, so the stretch, valid UTF-8 alone, is Windows-1252 too.
          {"caf\xE9 \xC3\xA9t\xC3\xA9", 5, 10, "<pre>\ncafé <mark>Ã©tÃ©</mark></pre>"},
          // Special characters escaped; a NUL, a lone CR and Windows-1252's undefined 0x81 visible.
          {"<&>\"'\0\r\x81"sv, 1, 4, "<pre>\n&lt;<mark>&amp;&gt;&quot;</mark>&#39;␀␍\uFFFD</pre>"},
          // Offsets outside the text (which ends at the 0x1A) are moved into it.
          {"alpha beta\x1A hidden", -5, 1000, "<pre>\n<mark>alpha beta</mark></pre>"},
          {"alpha beta", INT_MAX, INT_MIN, "<pre>\nalpha beta<mark></mark></pre>"},
          {std::nullopt, 0, 5, "<p class=\"unreadable\">This file could not be read.</p>"},
      };
  const std::string paneStart = "<h3>&lt;a&amp;b&gt;&#39;q&quot;.txt</h3>\n";
  for (const auto& [bytes, start, end, pane] : cases) {
    const std::string html = page(bytes, start, end);
    const auto from = html.find(paneStart) + paneStart.size();
    EXPECT_EQ(html.substr(from, html.find("\n<p class=\"consensus\">", from) - from), pane);
    EXPECT_EQ(html.find(kName), std::string::npos);  // raw nowhere: list, headings, consensus
  }
}

}  // namespace
}  // namespace orvalis
