#include "ui/main/dialog_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace orvalis {
namespace {

std::vector<std::string> patternsOf(const std::string& toolkitFilter) {
  const auto open = toolkitFilter.find('('), close = toolkitFilter.rfind(')');
  std::vector<std::string> patterns;
  std::string pattern;
  for (char c : toolkitFilter.substr(open + 1, close - open - 1)) {
    if (c == ' ') {
      patterns.push_back(pattern);
      pattern.clear();
    } else {
      pattern += c;
    }
  }
  patterns.push_back(pattern);
  return patterns;
}

TEST(OpenFilter, KeepsTheTextsExactlyAndGivesTheToolkitAllThirtyFivePatterns) {
  const std::string text = openFilterText();
  ASSERT_TRUE(text.starts_with("Text Files (*.txt;*.c;*.cpp;"));
  ASSERT_TRUE(text.ends_with(";*.jsl;*.java||"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 2 * 12);
  EXPECT_NE(text.find(";*.rc;\t\t\t\t\t\t*.resx;*.idl;"), std::string::npos);
  EXPECT_NE(text.find(";*.aspx;\t\t\t\t\t\t*.ascx;"), std::string::npos);

  const std::string filter = toToolkitFilter(text);
  EXPECT_EQ(filter.find_first_of("\t;|"), std::string::npos) << filter;
  EXPECT_TRUE(filter.starts_with("Text Files (*.txt *.c *.cpp ")) << filter;
  const std::vector<std::string> patterns = patternsOf(filter);
  EXPECT_EQ(patterns.size(), 35u);
  EXPECT_EQ(std::count(patterns.begin(), patterns.end(), "*.resx"), 2);
  EXPECT_EQ(patterns.back(), "*.java");
  EXPECT_EQ(toToolkitFilter("A (*.a)|*.a|B|*.b; *.c||"), "A (*.a);;B (*.b *.c)");
}

TEST(DialogTexts, CountsAndFilesAreSpelledOut) {
  EXPECT_EQ(comparingText(0, 10), "Comparing... (Completed 0 / 10 comparisons so far)");
  EXPECT_EQ(comparingText(3, 100000), "Comparing... (Completed 3 / 100000 comparisons so far)");
  EXPECT_EQ(unreadableFilesMessage({{1, "/d/a.txt", "no permission"}}),
            "This file could not be read and is compared as an empty file:\n\n"
            "/d/a.txt: no permission");
  EXPECT_EQ(unreadableFilesMessage({{1, "/d/a.txt", "gone"}, {4, "/d/\xE9.txt", "is a folder"}}),
            "These files could not be read and are compared as empty files:\n\n"
            "/d/a.txt: gone\n/d/\xC3\xA9.txt: is a folder");
}

}  // namespace
}  // namespace orvalis
