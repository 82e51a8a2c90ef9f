#include "ui/main/dialog_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace orvalis {
namespace {

TEST(OpenFilter, GivesTheToolkitAllThirtyFivePatterns) {
  const std::string filter = toToolkitFilter(openFilterText());
  EXPECT_EQ(filter.find_first_of("\t;|"), std::string::npos) << filter;
  EXPECT_TRUE(filter.starts_with("Text Files (*.txt *.c *.cpp ")) << filter;
  EXPECT_TRUE(filter.ends_with(" *.jsl *.java)")) << filter;
  EXPECT_EQ(std::count(filter.begin(), filter.end(), '*'), 35);
  EXPECT_EQ(toToolkitFilter("A (*.a)|*.a|B|*.b; *.c||"), "A (*.a);;B (*.b *.c)");
}

TEST(DialogTexts, CountsAndFilesAreSpelledOut) {
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
