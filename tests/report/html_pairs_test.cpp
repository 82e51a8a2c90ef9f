// The parts of the HTML page about file pairs: the shares in the pair table,
// the groups, and each pair's two files with all its matches marked.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "report/html_report.h"
#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

// E = m·n·e^(−score): a score of 20 is a significant match, 1 is chance.
const SignificanceModel kModel{1.0, 1.0, 1, 1};

struct Scan {
  testing::TempDir dir;
  FileTable files;
  ResultMap results;

  // A file holding `text`, one word group of all its words.
  const WordGroup* file(std::int32_t index, const std::string& name, std::string_view text) {
    auto entry = std::make_unique<FileEntry>();
    entry->path = dir.write(name, text);
    entry->displayName = name;
    entry->index = index;
    auto group = std::make_unique<WordGroup>();
    group->file = entry.get();
    std::size_t at = 0;
    while (at < text.size()) {
      const std::size_t end = std::min(text.find(' ', at), text.size());
      group->words.push_back(
          {std::string(text.substr(at, end - at)), static_cast<std::int32_t>(end)});
      at = end + 1;
    }
    const WordGroup* made = group.get();
    entry->groups.emplace(0, std::move(group));
    files.emplace(index, std::move(entry));
    return made;
  }

  std::string page(bool withPairs) const {
    std::vector<ListedResult> listed;
    for (const auto& [key, result] : results)
      listed.push_back({resultLineText(result), key, &result});
    const FilePairTable table = buildFilePairs(filesOf(files), results, kModel);
    std::ostringstream out;
    writeHtmlReport(out, results, listed, 1.0f, kModel, withPairs ? &table : nullptr);
    return out.str();
  }
};

// The text between `start` and the next `end`.
std::string between(const std::string& html, const std::string& start, const std::string& end) {
  const auto from = html.find(start);
  if (from == std::string::npos) return {};
  return html.substr(from, html.find(end, from) - from);
}

TEST(HtmlPairs, EachPairShowsBothFilesOnceWithEveryMatchInItsTintInBoth) {
  Scan scan;
  // x1 and y0 share "one two" and "six seven", in the other order in y0.
  const WordGroup* y = scan.file(0, "y0.txt", "six seven a b one two");
  const WordGroup* x = scan.file(1, "x1.txt", "one two c six seven");
  // The later match in x1 comes first: matches are numbered in x1's order.
  scan.results[0] = {x, y, 10, 19, 0, 9, 21.0f, "", ""};
  scan.results[1] = {x, y, 0, 7, 14, 21, 20.0f, "", ""};
  const std::string html = scan.page(true);
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
  const WordGroup* c = scan.file(0, "c0.txt", "p q r s");
  const WordGroup* b = scan.file(1, "b1.txt", "p q r t");
  const WordGroup* a = scan.file(2, "a2.txt", "p q r u");
  const WordGroup* d = scan.file(3, "d3.txt", "v w x y");
  scan.results[0] = {b, c, 0, 5, 0, 5, 20.0f, "", ""};
  scan.results[1] = {a, c, 0, 5, 0, 5, 20.0f, "", ""};
  scan.results[2] = {a, b, 0, 5, 0, 5, 20.0f, "", ""};
  scan.results[3] = {d, c, 0, 1, 0, 1, 1.0f, "", ""};  // chance
  const std::string html = scan.page(true);
  EXPECT_NE(html.find("<li id=\"group-1\"><strong>c0.txt, b1.txt, a2.txt</strong>: 3 pairs: "
                      "<a href=\"#pair-1-0\">b1.txt &amp; c0.txt</a>, <a href=\"#pair-2-0\">"
                      "a2.txt &amp; c0.txt</a>, <a href=\"#pair-2-1\">a2.txt &amp; b1.txt</a>"
                      "</li>"),
            std::string::npos)
      << html;
  EXPECT_EQ(html.find("id=\"group-2\""), std::string::npos);
  EXPECT_EQ(html.find("id=\"pair-3-0\""), std::string::npos);  // no significant match
  // Each of the three pairs has its section; the page without pairs has none.
  const std::string plain = scan.page(false);
  for (const char* id : {"id=\"pair-1-0\"", "id=\"pair-2-0\"", "id=\"pair-2-1\""}) {
    EXPECT_NE(html.find(id), std::string::npos) << id;
    EXPECT_EQ(plain.find(id), std::string::npos) << id;
  }
  EXPECT_EQ(plain.find("id=\"groups\""), std::string::npos);
  EXPECT_NE(plain.find("<td class=\"n\" data-v=\"0.75\">75 %</td>"), std::string::npos);
}

}  // namespace
}  // namespace orvalis
