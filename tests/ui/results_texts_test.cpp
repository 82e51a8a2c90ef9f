#include "ui/results/results_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace orvalis {
namespace {

TEST(CappedListLine, SaysWhatTheListLeavesOutAndHowToSeeTheRest) {
  struct Case {
    bool showAll, strongestFirst;
    std::size_t shown, total;
    const char* line;
  };
  const Case cases[] = {
      {false, false, 150, 150, ""},
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
