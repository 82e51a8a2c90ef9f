#include "report/html_report.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
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

// E = m·n·e^(−score): a score of 20 is a significant match, 1 is chance.
const SignificanceModel kModel{1.0, 1.0, 1, 1};

// Files of a made-up scan, each with one word group of all its words, and the
// page of results listed over them.
struct Scan {
  testing::TempDir dir;
  FileTable files;
  ResultTable results;

  // File `index` named `name`, holding `bytes`; none: missing from the disk.
  const WordGroup* file(std::int32_t index, const std::string& name,
                        std::optional<std::string_view> bytes) {
    FileEntry& entry = *(files[index] = std::make_unique<FileEntry>());
    entry.path = bytes ? dir.write(std::to_string(index), *bytes) : dir.path() / "missing";
    entry.displayName = name;
    entry.index = index;
    entry.groups[0] = std::make_unique<WordGroup>();
    entry.groups[0]->file = &entry;
    for (std::size_t at = 0; bytes && at < bytes->size();) {
      const std::size_t end = std::min(bytes->find(' ', at), bytes->size());
      entry.groups[0]->words.push_back(
          {std::string(bytes->substr(at, end - at)), static_cast<std::int32_t>(end)});
      at = end + 1;
    }
    return entry.groups[0].get();
  }

  // The page of every result, each listed with its line text; with the file
  // pairs' parts when a model for them is given.
  std::string page(const SignificanceModel* pairModel = nullptr) const {
    std::vector<ListedResult> listed;
    for (const auto& [key, result] : results)
      listed.push_back({resultLineText(result), key, &result});
    const SignificanceModel model = pairModel ? *pairModel : significanceOf(results);
    const FilePairTable table = buildFilePairs(filesOf(files), results, model);
    std::ostringstream out;
    writeHtmlReport(out, results, listed, 1.0f, model, pairModel ? &table : nullptr);
    // UTF-8 without NUL or carriage return, whatever the files hold.
    EXPECT_TRUE(isValidUtf8(out.str()));
    EXPECT_EQ(out.str().find_first_of("\r\0"sv), std::string::npos);
    return out.str();
  }
};

// The text between `start` and the next `end`.
std::string between(const std::string& html, const std::string& start, const std::string& end) {
  const auto from = html.find(start);
  if (from == std::string::npos) return {};
  return html.substr(from, html.find(end, from) - from);
}

// What the page shows of file `index`: everything after its heading.
std::string fileText(const std::string& html, std::int32_t index) {
  const std::string section =
      between(html, "<section id=\"file-" + std::to_string(index) + "\">\n", "</section>");
  return section.substr(section.find("</h3>\n") + 6);
}

TEST(HtmlReport, StretchIsCutAtTheScansByteOffsetsThenDecodedAndEscaped) {
  // The file's bytes, the stretch, and what the page shows for the file.
  const std::tuple<std::optional<std::string_view>, std::int32_t, std::int32_t, std::string_view>
      cases[] = {
          // A CR LF pair counts as one byte, as the scan counted it.
          {"one two\r\nthree\r\n", 4, 13,
           "<pre>\none <span id=\"result-1-a\"></span><mark title=\"Result 1\">two\nthree</mark>\n"
           "</pre>\n"},
          {"Köln: café 東京 end", 7, 19,
           "<pre>\nKöln: <span id=\"result-1-a\"></span><mark title=\"Result 1\">café 東京</mark> "
           "end</pre>\n"},
          // Not UTF-8 as a whole, so the stretch, valid UTF-8 alone, is Windows-1252 too.
          {"caf\xE9 \xC3\xA9t\xC3\xA9", 5, 10,
           "<pre>\ncafé <span id=\"result-1-a\"></span><mark title=\"Result "
           "1\">Ã©tÃ©</mark></pre>\n"},
          // Special characters escaped; a NUL, a lone CR and Windows-1252's undefined 0x81 visible.
          {"<&>\"'\0\r\x81"sv, 1, 4,
           "<pre>\n&lt;<span id=\"result-1-a\"></span><mark title=\"Result "
           "1\">&amp;&gt;&quot;</mark>"
           "&#39;␀␍\uFFFD</pre>\n"},
          // Offsets outside the text (which ends at the 0x1A) are moved into it.
          {"alpha beta\x1A hidden", -5, 1000,
           "<pre>\n<span id=\"result-1-a\"></span><mark title=\"Result 1\">alpha "
           "beta</mark></pre>\n"},
          {"alpha beta", INT_MAX, INT_MIN,
           "<pre>\nalpha beta<span id=\"result-1-a\"></span></pre>\n"},
          {std::nullopt, 0, 5, "<p class=\"unreadable\">This file could not be read.</p>\n"},
      };
  for (const auto& [bytes, start, end, shown] : cases) {
    Scan scan;
    const WordGroup* a = scan.file(1, kName, bytes);
    const WordGroup* b = scan.file(0, "b.txt", std::nullopt);
    scan.results[0] = {a, b, start, end, 0, 1, 2.5f, kName, "x"};
    const std::string html = scan.page();
    EXPECT_EQ(fileText(html, 1), shown);
    EXPECT_NE(html.find("<h3>&lt;a&amp;b&gt;&#39;q&quot;.txt</h3>"), std::string::npos);
    EXPECT_EQ(html.find(kName), std::string::npos);  // raw nowhere: list, headings, consensus
  }
}

TEST(HtmlReport, EachFileShowsOnceWithTheStretchesOfEveryListedResult) {
  Scan scan;
  const WordGroup* a = scan.file(2, "a.txt", "alpha bravo charlie delta echo"sv);
  const WordGroup* b = scan.file(1, "b.txt", "foxtrot golf"sv);
  const WordGroup* c = scan.file(0, "c.txt", "hotel india juliet"sv);
  // a.txt against b.txt and against c.txt, with stretches in a.txt that
  // overlap; then b.txt against c.txt.
  scan.results[0] = {a, b, 6, 19, 0, 7, 3.0f, "x", "y"};
  scan.results[1] = {a, c, 12, 25, 6, 11, 2.0f, "x", "y"};
  scan.results[2] = {b, c, 8, 12, 0, 0, 1.0f, "x", "y"};
  const std::string html = scan.page();
  EXPECT_EQ(fileText(html, 2),
            "<pre>\nalpha <span id=\"result-1-a\"></span><mark title=\"Result 1\">bravo </mark>"
            "<span id=\"result-2-a\"></span><mark title=\"Results 1, 2\">charlie</mark>"
            "<mark title=\"Result 2\"> delta</mark> echo</pre>\n");
  EXPECT_EQ(fileText(html, 1),
            "<pre>\n<span id=\"result-1-b\"></span><mark title=\"Result 1\">foxtrot</mark> "
            "<span id=\"result-3-a\"></span><mark title=\"Result 3\">golf</mark></pre>\n");
  // An empty stretch has its anchor and no mark.
  EXPECT_EQ(fileText(html, 0),
            "<pre>\n<span id=\"result-3-b\"></span>hotel <span id=\"result-2-b\"></span>"
            "<mark title=\"Result 2\">india</mark> juliet</pre>\n");
  // Each text once, in the order of the scan's files; each side links to its stretch.
  for (const char* word : {"alpha", "foxtrot", "hotel"}) {
    EXPECT_EQ(html.find(word, html.find(word) + 1), std::string::npos) << word;
  }
  EXPECT_LT(html.find("id=\"file-0\""), html.find("id=\"file-1\""));
  EXPECT_LT(html.find("id=\"file-1\""), html.find("id=\"file-2\""));
  EXPECT_NE(html.find("<h4><a href=\"#result-2-b\">c.txt</a></h4>"), std::string::npos);
  EXPECT_NE(html.find("Results: 3. Listed results: 3. Files shown: 3."), std::string::npos);
}

TEST(HtmlReport, HeatBandsStartAtEachPowerOfTenOfTheLegend) {
  const std::pair<double, int> rows[] = {
      {std::nan(""), 0}, {1e9, 0},   {1.0, 0},   {0.999, 1},  {1e-2, 1},     {0.99e-2, 2},
      {1e-5, 2},         {1e-10, 3}, {1e-30, 4}, {1e-100, 5}, {0.9e-100, 6}, {0.0, 6},
  };
  for (const auto& [evalue, band] : rows) EXPECT_EQ(heatBand(evalue), band) << evalue;
}

TEST(HtmlReport, MapAndPairTableLinkEachPairToItsFirstListedResultStrongestFirst) {
  Scan scan;
  const WordGroup* a = scan.file(2, "a.txt", "alpha"sv);
  const WordGroup* b = scan.file(1, "b.txt", "bravo"sv);
  const WordGroup* c = scan.file(0, kName, "charlie"sv);
  scan.results[0] = {b, c, 0, 0, 0, 0, 20.0f, "x ", "x "};
  scan.results[1] = {a, c, 0, 0, 0, 0, 40.0f, "y ", "y "};
  scan.results[2] = {a, b, 0, 0, 0, 0, 0.0f, "z ", "w "};  // weakest
  scan.results[3] = {a, c, 0, 0, 0, 0, 10.0f, "v ", "v "};
  const std::string html = scan.page();
  // The table: a.txt & c first (results 2 and 4, best 40), then b.txt & c,
  // each row linked to its first listed result.
  const auto row = [&](const char* number, const char* first) {
    const std::string link = std::string("<a href=\"#result-") + number + "\">";
    const auto at = html.find(link + first + "</a></td><td>" + link +
                              "&lt;a&amp;b&gt;&#39;q&quot;.txt</a></td>");
    return at == std::string::npos ? std::string() : html.substr(at, html.find("</tr>", at) - at);
  };
  const std::string rowAC = row("2", "a.txt"), rowBC = row("1", "b.txt");
  EXPECT_NE(rowAC.find(">40.00</td>"), std::string::npos) << rowAC;
  EXPECT_NE(rowAC.find("data-v=\"2\">2</td>"), std::string::npos) << rowAC;
  EXPECT_NE(rowBC.find(">20.00</td>"), std::string::npos) << html;
  EXPECT_LT(html.find(rowAC), html.find(rowBC));
  EXPECT_LT(html.find(rowBC),
            html.find("<a href=\"#result-3\">a.txt</a></td><td><a href=\"#result-3\">b.txt"));
  // The map: both cells of each pair linked to its first listed result and
  // coloured by its band: the chance match in the palest.
  for (const char* cell : {"<a href=\"#result-1\"><rect", "<a href=\"#result-2\"><rect",
                           "<a href=\"#result-3\"><rect"}) {
    const auto at = html.find(cell);
    ASSERT_NE(at, std::string::npos) << cell;
    EXPECT_NE(html.find(cell, at + 1), std::string::npos) << cell;
  }
  EXPECT_NE(html.find("fill=\"#ffffb2\"><title>a.txt &amp; b.txt: E="), std::string::npos);
  EXPECT_EQ(html.find("<a href=\"#result-4\"><rect"), std::string::npos);
  EXPECT_NE(html.find("fixed values."), std::string::npos);  // four comparisons are too few
}

TEST(HtmlPairs, EachPairShowsBothFilesOnceWithEveryMatchInItsTintInBoth) {
  Scan scan;
  // x1 and y0 share "one two" and "six seven", in the other order in y0.
  const WordGroup* y = scan.file(0, "y0.txt", "six seven a b one two"sv);
  const WordGroup* x = scan.file(1, "x1.txt", "one two c six seven"sv);
  // The later match in x1 comes first: matches are numbered in x1's order.
  scan.results[0] = {x, y, 10, 19, 0, 9, 21.0f, "", ""};
  scan.results[1] = {x, y, 0, 7, 14, 21, 20.0f, "", ""};
  const std::string html = scan.page(&kModel);
  const std::string section = between(html, "<section id=\"pair-1-0\">", "</section>");
  ASSERT_FALSE(section.empty()) << html;
  EXPECT_NE(section.find("<p class=\"score\">80 % of x1.txt, 67 % of y0.txt. Longest match: 2 "
                         "words. Best E-value: "),
            std::string::npos)
      << section;
  const std::string tint1 = std::string("<mark style=\"background:") + kMatchTints[0];
  const std::string tint2 = std::string("<mark style=\"background:") + kMatchTints[1];
  EXPECT_NE(section.find("<h4>x1.txt</h4>\n<pre>\n<span id=\"pair-1-0-a-1\"></span>" + tint1 +
                         "\" title=\"Match 1\">one two</mark> c <span id=\"pair-1-0-a-2\"></span>" +
                         tint2 + "\" title=\"Match 2\">six seven</mark></pre>"),
            std::string::npos)
      << section;
  EXPECT_NE(section.find("<h4>y0.txt</h4>\n<pre>\n<span id=\"pair-1-0-b-2\"></span>" + tint2 +
                         "\" title=\"Match 2\">six seven</mark> a b <span id=\"pair-1-0-b-1\">"
                         "</span>" +
                         tint1 + "\" title=\"Match 1\">one two</mark></pre>"),
            std::string::npos)
      << section;
  // The row's number links to the pair's section.
  EXPECT_NE(html.find("<td class=\"n\" data-v=\"1\"><a href=\"#pair-1-0\">1</a></td>"),
            std::string::npos);
  EXPECT_NE(html.find("<td class=\"n\" data-v=\"0.80000000000000004\">80 %</td>"
                      "<td class=\"n\" data-v=\"0.66666666666666663\">67 %</td>"),
            std::string::npos);
}

TEST(HtmlPairs, GroupsListTheirMembersAndLinkTheirPairsAndAppearOnlyWithPairs) {
  Scan scan;
  const WordGroup* c = scan.file(0, "c0.txt", "p q r s"sv);
  const WordGroup* b = scan.file(1, "b1.txt", "p q r t"sv);
  const WordGroup* a = scan.file(2, "a2.txt", "p q r u"sv);
  const WordGroup* d = scan.file(3, "d3.txt", "v w x y"sv);
  scan.results[0] = {b, c, 0, 5, 0, 5, 20.0f, "", ""};
  scan.results[1] = {a, c, 0, 5, 0, 5, 20.0f, "", ""};
  scan.results[2] = {a, b, 0, 5, 0, 5, 20.0f, "", ""};
  scan.results[3] = {d, c, 0, 1, 0, 1, 1.0f, "", ""};  // chance
  const std::string html = scan.page(&kModel);
  EXPECT_NE(html.find("<li id=\"group-1\"><strong>c0.txt, b1.txt, a2.txt</strong>: 3 pairs: "
                      "<a href=\"#pair-1-0\">b1.txt &amp; c0.txt</a>, <a href=\"#pair-2-0\">"
                      "a2.txt &amp; c0.txt</a>, <a href=\"#pair-2-1\">a2.txt &amp; b1.txt</a>"
                      "</li>"),
            std::string::npos)
      << html;
  EXPECT_EQ(html.find("id=\"group-2\""), std::string::npos);
  EXPECT_EQ(html.find("id=\"pair-3-0\""), std::string::npos);  // no significant match
  // The page without pairs has no pair sections.
  const std::string plain = scan.page();
  EXPECT_NE(html.find("id=\"pair-2-1\""), std::string::npos);
  EXPECT_EQ(plain.find("id=\"pair-"), std::string::npos);
  EXPECT_EQ(plain.find("id=\"groups\""), std::string::npos);
  EXPECT_NE(plain.find("<td class=\"n\" data-v=\"0.75\">75 %</td>"), std::string::npos);
}

}  // namespace
}  // namespace orvalis
