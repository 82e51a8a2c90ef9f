#include "cli/html_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encoding.h"
#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

// The texts of the <mark> elements of a page, in page order, as written.
std::vector<std::string> marksOf(const std::string& html) {
  std::vector<std::string> marks;
  const std::string open = "<mark>";
  const std::string close = "</mark>";
  for (auto at = html.find(open); at != std::string::npos; at = html.find(open, at)) {
    at += open.size();
    const auto end = html.find(close, at);
    if (end == std::string::npos) break;
    marks.push_back(html.substr(at, end - at));
  }
  return marks;
}

// The contents of the <pre> elements, in page order, as written.
std::vector<std::string> presOf(const std::string& html) {
  std::vector<std::string> pres;
  const std::string open = "<pre>\n";
  for (auto at = html.find(open); at != std::string::npos; at = html.find(open, at)) {
    at += open.size();
    const auto end = html.find("</pre>", at);
    if (end == std::string::npos) break;
    pres.push_back(html.substr(at, end - at));
  }
  return pres;
}

std::size_t countOf(const std::string& text, std::string_view part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

// Offset of `part` in `text`, as the scan would report it for that stretch.
std::int32_t offsetOf(std::string_view text, std::string_view part) {
  const auto at = text.find(part);
  EXPECT_NE(at, std::string_view::npos) << part;
  return static_cast<std::int32_t>(at);
}

// An engine filled by hand as a finished scan would leave it, over files in a
// folder of the test's own.
class HtmlReportTest : public ::testing::Test {
 protected:
  // Writes `bytes` as the file `name` and adds it to the scan; returns its group.
  const WordGroup* addFile(const std::string& name, std::string_view bytes) {
    return addEntry(dir_.write(name, bytes), name);
  }

  // Adds a file of the scan that does not exist on disk.
  const WordGroup* addMissingFile(const std::string& name) {
    return addEntry(dir_.path() / name, name);
  }

  // Adds a result and lists it with the line `line`.
  void addResult(const WordGroup* a, std::int32_t startA, std::int32_t endA, const WordGroup* b,
                 std::int32_t startB, std::int32_t endB, std::string line = "line",
                 std::string consensusA = "", std::string consensusB = "") {
    const auto key = static_cast<std::int32_t>(engine_.pairResults.size());
    PairResult& result = engine_.pairResults[key];
    result = {a, b, startA, endA, startB, endB, 2.5f, std::move(consensusA), std::move(consensusB)};
    listed_.push_back({std::move(line), key, &result});
  }

  std::string report(float threshold = 1.0f) {
    std::ostringstream out;
    writeHtmlReport(out, engine_, listed_, threshold);
    EXPECT_TRUE(out.good());
    const std::string html = out.str();
    EXPECT_TRUE(isValidUtf8(html));
    EXPECT_EQ(html.find('\0'), std::string::npos);
    EXPECT_EQ(html.find('\r'), std::string::npos);
    return html;
  }

  testing::TempDir dir_;
  CompareEngine engine_;
  std::vector<ListedResult> listed_;

 private:
  const WordGroup* addEntry(const std::filesystem::path& path, const std::string& name) {
    const auto index = static_cast<std::int32_t>(engine_.fileTable.size());
    auto entry = std::make_unique<FileEntry>();
    entry->path = path;
    entry->displayName = name;
    entry->index = index;
    auto group = std::make_unique<WordGroup>();
    group->file = entry.get();
    const WordGroup* groupPointer = group.get();
    entry->groups.emplace(0, std::move(group));
    engine_.fileTable.emplace(index, std::move(entry));
    return groupPointer;
  }
};

TEST_F(HtmlReportTest, CrLfPairCountsAsOnePositionOfTheStretch) {
  // Text as read: "one two\nthree four\nfive"; the stretch is "two\nthree four".
  const auto* a = addFile("a.txt", "one two\r\nthree four\r\nfive\r\n");
  const auto* b = addFile("b.txt", "two three four");
  addResult(a, 4, 18, b, 0, 14);

  const std::string html = report();

  EXPECT_EQ(marksOf(html), (std::vector<std::string>{"two\nthree four", "two three four"}));
  EXPECT_EQ(presOf(html)[0], "one <mark>two\nthree four</mark>\nfive\n");
}

TEST_F(HtmlReportTest, Utf8TextIsCutAtByteOffsetsBeforeDecoding) {
  const std::string text = "Grüße aus Köln: café naïve 東京 end";
  const auto* a = addFile("a.txt", text);
  const auto* b = addFile("b.txt", "東京");
  addResult(a, offsetOf(text, "café"), offsetOf(text, " end"), b, 0, 6);

  const std::string html = report();

  EXPECT_EQ(marksOf(html), (std::vector<std::string>{"café naïve 東京", "東京"}));
  EXPECT_EQ(presOf(html)[0], "Grüße aus Köln: <mark>café naïve 東京</mark> end");
}

TEST_F(HtmlReportTest, Windows1252FileIsDecodedAsAWholeNotPieceByPiece) {
  // 0xEF before 'v' makes the file invalid UTF-8; the stretch alone, 0xC3 0xA9,
  // would be valid UTF-8 but is two Windows-1252 characters here.
  const auto* a = addFile("a.txt", "caf\xE9 na\xEFve \xC3\xA9t\xC3\xA9");
  const auto* b = addFile("b.txt", "caf\xC3\xA9");
  addResult(a, 11, 16, b, 0, 5);

  const std::string html = report();

  EXPECT_EQ(marksOf(html), (std::vector<std::string>{"Ã©tÃ©", "café"}));
  EXPECT_EQ(presOf(html)[0], "café naïve <mark>Ã©tÃ©</mark>");
}

TEST_F(HtmlReportTest, EmptyStretchMarksNothingAndKeepsTheWholeText) {
  const auto* a = addFile("a.txt", "alpha beta");
  const auto* b = addFile("b.txt", "gamma");
  addResult(a, 6, 6, b, 0, 0);

  const std::string html = report();

  EXPECT_EQ(marksOf(html), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(presOf(html),
            (std::vector<std::string>{"alpha <mark></mark>beta", "<mark></mark>gamma"}));
}

TEST_F(HtmlReportTest, SpecialCharactersInTextNamesLinesAndConsensusAreEscaped) {
  const std::string name = "<a&b>'q\".txt";
  const std::string text = "if (a < b && c > \"d\") 'e'";
  const auto* a = addFile(name, text);
  const auto* b = addFile("b.txt", "x");
  addResult(a, offsetOf(text, "a <"), offsetOf(text, " 'e'"), b, 0, 1, name + " & b.txt (2.50)",
            "<i>&amp; ", "x ");

  const std::string html = report();

  EXPECT_EQ(marksOf(html)[0], "a &lt; b &amp;&amp; c &gt; &quot;d&quot;)");
  EXPECT_EQ(html.find(name), std::string::npos);
  EXPECT_EQ(html.find("<i>"), std::string::npos);
  const std::string escapedName = "&lt;a&amp;b&gt;&#39;q&quot;.txt";
  EXPECT_NE(html.find("<h3>" + escapedName + "</h3>"), std::string::npos);
  // The line text appears in the list of links and in the result's heading.
  EXPECT_EQ(countOf(html, escapedName + " &amp; b.txt (2.50)"), 2u);
  EXPECT_NE(html.find("&lt;i&gt;&amp;amp; "), std::string::npos);
}

TEST_F(HtmlReportTest, ControlCharactersShowAsVisibleSymbols) {
  // A NUL, a carriage return without a line feed, and Windows-1252's undefined 0x81.
  const auto* a = addFile("a.txt", std::string("ab\0cd\ref \x81g", 11));
  const auto* b = addFile("b.txt", "x\ty");
  addResult(a, 0, 11, b, 0, 3);

  const std::string html = report();

  EXPECT_EQ(marksOf(html), (std::vector<std::string>{"ab␀cd␍ef \uFFFDg", "x\ty"}));
}

TEST_F(HtmlReportTest, OffsetsOutsideTheTextAreMovedIntoIt) {
  // The text ends at the 0x1A byte: "alpha beta", 10 bytes.
  const auto* a = addFile("a.txt", "alpha beta\x1A hidden");
  const auto* b = addFile("b.txt", "gamma");
  addResult(a, 6, 1000, b, -5, 3);                  // end beyond the text, start before it
  addResult(a, 50, 60, b, 2147483647, 2147483647);  // both beyond the text
  addResult(a, 8, 2, b, 4, -2147483647 - 1);        // end before start

  const std::string html = report();

  EXPECT_EQ(marksOf(html), (std::vector<std::string>{"beta", "gam", "", "", "", ""}));
  EXPECT_EQ(html.find("hidden"), std::string::npos);
  const auto pres = presOf(html);
  ASSERT_EQ(pres.size(), 6u);
  EXPECT_EQ(pres[2], "alpha beta<mark></mark>");
  EXPECT_EQ(pres[3], "gamma<mark></mark>");
  EXPECT_EQ(pres[4], "alpha be<mark></mark>ta");
  EXPECT_EQ(pres[5], "gamm<mark></mark>a");
}

TEST_F(HtmlReportTest, FileThatCannotBeReadIsShownAsSuch) {
  const auto* missing = addMissingFile("gone.txt");
  const auto* present = addFile("here.txt", "shared words here");
  std::filesystem::create_directory(dir_.path() / "folder.txt");
  const auto* folder = addMissingFile("folder.txt");
  addResult(missing, 0, 6, present, 0, 12, "gone.txt & here.txt (2.50)", "shared words ",
            "shared words ");
  addResult(folder, 0, 6, present, 7, 12);

  const std::string html = report();

  EXPECT_EQ(countOf(html, "This file could not be read."), 2u);
  EXPECT_EQ(marksOf(html), (std::vector<std::string>{"shared words", "words"}));
  EXPECT_NE(html.find("<h3>gone.txt</h3>"), std::string::npos);
  EXPECT_EQ(countOf(html, "<code>shared words </code>"), 2u);
}

TEST_F(HtmlReportTest, ResultsFollowTheListWithFirstFileOnTheLeft) {
  const auto* a = addFile("a.txt", "one two three");
  const auto* b = addFile("b.txt", "four five six");
  const auto* c = addFile("c.txt", "seven eight");
  addResult(c, 0, 5, a, 4, 7, "c.txt & a.txt (2.50)");
  addResult(b, 5, 9, a, 8, 13, "b.txt & a.txt (2.50)");
  addResult(c, 6, 11, b, 0, 4, "c.txt & b.txt (2.50)");

  const std::string html = report(2.25f);

  // a.txt is shown by two results, on the right both times, with a stretch of its own each.
  EXPECT_EQ(marksOf(html),
            (std::vector<std::string>{"seven", "two", "five", "three", "eight", "four"}));
  const auto first = html.find("<section id=\"result-1\">");
  const auto second = html.find("<section id=\"result-2\">");
  const auto third = html.find("<section id=\"result-3\">");
  ASSERT_NE(first, std::string::npos);
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
  EXPECT_LT(html.find("<h3>c.txt</h3>", first), html.find("<h3>a.txt</h3>", first));
  const auto links = html.find("<nav>");
  EXPECT_LT(links, first);
  EXPECT_LT(html.find("href=\"#result-1\">c.txt &amp; a.txt (2.50)", links),
            html.find("href=\"#result-3\">c.txt &amp; b.txt (2.50)", links));
  EXPECT_NE(html.find("Threshold: 2.25."), std::string::npos);
  EXPECT_NE(html.find("Listed results: 3."), std::string::npos);
  EXPECT_NE(html.find("<title>Orvalis report</title>"), std::string::npos);
}

TEST_F(HtmlReportTest, PageWithoutResultsSaysSoAndHasNoExternalResource) {
  const std::string html = report(std::nanf(""));

  EXPECT_NE(html.find("Threshold: not a number."), std::string::npos);
  EXPECT_NE(html.find("Listed results: 0."), std::string::npos);
  EXPECT_NE(html.find(kNoSuspiciousFilesLine), std::string::npos);
  EXPECT_TRUE(marksOf(html).empty());
  for (const char* external : {"http:", "https:", "src=", "@import", "url("}) {
    EXPECT_EQ(html.find(external), std::string::npos) << external;
  }
}

}  // namespace
}  // namespace orvalis
