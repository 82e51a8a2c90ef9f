#include "ui/main/dialog_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/results/results_texts.h"

namespace orvalis {
namespace {

TEST(OpenFilter, GivesTheToolkitAllThirtyFivePatternsThenTheDocumentsThenEveryFile) {
  const std::string filter = toToolkitFilter(openFilterText());
  EXPECT_EQ(filter.find_first_of("\t;|"), std::string::npos) << filter;
  EXPECT_TRUE(filter.starts_with("Text Files (*.txt *.c *.cpp ")) << filter;
  EXPECT_TRUE(filter.ends_with(" *.jsl *.java)")) << filter;
  EXPECT_EQ(std::count(filter.begin(), filter.end(), '*'), 35);
  EXPECT_EQ(toToolkitFilter("A (*.a)|*.a|B|*.b; *.c||"), "A (*.a);;B (*.b *.c)");
  // The first entry stays exactly as it was; the documents' follows it.
  const std::string chooser = openDialogFilter();
  ASSERT_EQ(chooser.substr(0, filter.size()), filter);
  if (ORVALIS_READ_OFFICE && ORVALIS_READ_RTF && ORVALIS_READ_PDF && ORVALIS_READ_OLD_WORD) {
    EXPECT_EQ(chooser.substr(filter.size()),
              ";;Documents (*.docx *.odt *.rtf *.pdf *.doc);;" + std::string(kAllFilesFilterEntry));
  }
}

TEST(DialogTexts, UnreadableFilesAreListedInOneMessage) {
  EXPECT_EQ(unreadableFilesMessage({{1, "/d/a.txt", "no permission"}}),
            "This file could not be read and is compared as an empty file:\n\n"
            "/d/a.txt: no permission");
  EXPECT_EQ(unreadableFilesMessage({{1, "/d/a.txt", "gone"}, {4, "/d/\xE9.txt", "is a folder"}}),
            "These files could not be read and are compared as empty files:\n\n"
            "/d/a.txt: gone\n/d/\xC3\xA9.txt: is a folder");
}

TEST(CappedListLine, SaysWhatTheListLeavesOutAndHowToSeeTheRest) {
  struct Case {
    bool showAll, strongestFirst;
    std::size_t shown, total;
    const char* line;
  };
  const Case cases[] = {
      {false, false, 200, 200, ""},
      {false, false, 200, 701,
       "200 of 701 results above the threshold shown, in scan order. Tick \"Strongest first\" "
       "to list the strongest first; orvalis-scan --all --json lists every result."},
      {true, false, 200, 9870,
       "200 of 9870 results shown, in scan order. Tick \"Strongest first\" to list the "
       "strongest first; orvalis-scan --all --json lists every result."},
      {false, true, 200, 350,
       "200 of 350 results of E-value 0.01 or less shown, strongest first. orvalis-scan "
       "--max-evalue 0.01 --pairs lists every pair of files of them, --json every result."},
      {true, true, 200, 9870,
       "200 of 9870 results shown, strongest first. orvalis-scan --all --max-evalue 0.01 "
       "--json lists every result."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cappedListLine({c.shown, c.total}, windowListingRule(c.showAll, c.strongestFirst)),
              c.line);
  }
}

}  // namespace
}  // namespace orvalis
