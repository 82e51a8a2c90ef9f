#include "cli/html_report.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "engine/encoding.h"
#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

using namespace std::string_view_literals;

// An engine filled by hand as a finished scan would leave it, over files in a
// folder of its own.
struct Scan {
  // Adds a file holding `bytes`, or missing from the disk; returns its group.
  const WordGroup* addFile(const std::string& name, std::optional<std::string_view> bytes) {
    const auto index = static_cast<std::int32_t>(engine.fileTable.size());
    auto& entry = engine.fileTable[index] = std::make_unique<FileEntry>();
    entry->path = bytes ? dir.write(name, *bytes) : dir.path() / name;
    entry->displayName = name;
    entry->index = index;
    auto& group = entry->groups[0] = std::make_unique<WordGroup>();
    group->file = entry.get();
    return group.get();
  }
  void addResult(PairResult result, std::string line) {
    const auto key = static_cast<std::int32_t>(engine.pairResults.size());
    listed.push_back({std::move(line), key, &(engine.pairResults[key] = std::move(result))});
  }
  // The page, which must be UTF-8 without NUL or carriage return whatever the files hold.
  std::string page() {
    std::ostringstream out;
    writeHtmlReport(out, engine, listed, 1.0f);
    EXPECT_TRUE(isValidUtf8(out.str()));
    EXPECT_EQ(out.str().find_first_of("\r\0"sv), std::string::npos);
    return out.str();
  }

  testing::TempDir dir;
  CompareEngine engine;
  std::vector<ListedResult> listed;
};

TEST(HtmlReport, StretchIsCutAtTheScansByteOffsetsThenDecodedAndEscaped) {
  // A file's bytes (none: missing), the stretch, and what the page shows for the file.
  const std::tuple<std::optional<std::string_view>, std::int32_t, std::int32_t, std::string_view>
      cases[] = {
          // A CR LF pair counts as one byte, as the scan counted it.
          {"one two\r\nthree four\r\nfive\r\n", 4, 18,
           "<pre>\none <mark>two\nthree four</mark>\nfive\n</pre>"},
          {"Grüße aus Köln: café naïve 東京 end", 19, 38,
           "<pre>\nGrüße aus Köln: <mark>café naïve 東京</mark> end</pre>"},
          // Not UTF-8 as a whole, so the stretch, valid UTF-8 alone, is Windows-1252 too.
          {"caf\xE9 na\xEFve \xC3\xA9t\xC3\xA9", 11, 16,
           "<pre>\ncafé naïve <mark>Ã©tÃ©</mark></pre>"},
          {"if (a < b && c > \"d\") 'e'", 4, 21,
           "<pre>\nif (<mark>a &lt; b &amp;&amp; c &gt; &quot;d&quot;)</mark> &#39;e&#39;</pre>"},
          // A NUL, a lone CR and Windows-1252's undefined 0x81 stay visible.
          {"ab\0cd\ref \x81g"sv, 0, 11, "<pre>\n<mark>ab␀cd␍ef \uFFFDg</mark></pre>"},
          // Offsets outside the text (which ends at the 0x1A) are moved into it.
          {"alpha beta\x1A hidden", 6, 1000, "<pre>\nalpha <mark>beta</mark></pre>"},
          {"alpha beta", INT_MAX, INT_MAX, "<pre>\nalpha beta<mark></mark></pre>"},
          {"alpha beta", -5, 3, "<pre>\n<mark>alp</mark>ha beta</pre>"},
          {"alpha beta", 8, INT_MIN, "<pre>\nalpha be<mark></mark>ta</pre>"},
          {std::nullopt, 0, 5, "<p class=\"unreadable\">This file could not be read.</p>"},
      };
  for (const auto& [bytes, start, end, pane] : cases) {
    Scan scan;
    const auto* a = scan.addFile("a.txt", bytes);
    scan.addResult({a, scan.addFile("b.txt", "x"), start, end, 0, 1, 2.5f, "", ""}, "line");
    const std::string html = scan.page();
    const auto from = html.find("<h3>a.txt</h3>\n");
    ASSERT_NE(from, std::string::npos);
    const auto to = html.find("\n<p class=\"consensus\">", from);
    EXPECT_EQ(html.substr(from + 15, to - from - 15), pane);
  }
}

TEST(HtmlReport, NamesLinesAndConsensusAreEscaped) {
  Scan scan;
  const std::string name = "<a&b>'q\".txt";
  const auto* a = scan.addFile(name, "text");
  scan.addResult({a, scan.addFile("b.txt", "x"), 0, 4, 0, 1, 2.5f, "<i>&amp; ", "x "},
                 name + " & b.txt (2.50)");
  const std::string html = scan.page();
  const std::string escaped = "&lt;a&amp;b&gt;&#39;q&quot;.txt";
  EXPECT_EQ(html.find(name), std::string::npos);
  EXPECT_EQ(html.find("<i>"), std::string::npos);
  EXPECT_NE(html.find("<h3>" + escaped + "</h3>"), std::string::npos);
  EXPECT_NE(html.find("\">" + escaped + " &amp; b.txt (2.50)</a></li>"), std::string::npos);
  EXPECT_NE(html.find("1. " + escaped + " &amp; b.txt (2.50)</a></h2>"), std::string::npos);
  EXPECT_NE(html.find("<code>&lt;i&gt;&amp;amp; </code>"), std::string::npos);
}

}  // namespace
}  // namespace orvalis
