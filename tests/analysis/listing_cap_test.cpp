#include "analysis/listing_cap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvalis {
namespace {

FileEntry fileA, fileB;
const WordGroup groupA{.file = &fileA, .words = {}}, groupB{.file = &fileB, .words = {}};

// `count` results keyed 0, 1, ... with these scores in turn; the stretch in the
// second file spans spanB bytes.
ResultMap results(const std::vector<float>& scores, std::size_t count, std::int32_t spanB = 0) {
  ResultMap map;
  for (std::size_t i = 0; i < count; ++i) {
    map.emplace(
        static_cast<std::int32_t>(i),
        PairResult{&groupA, &groupB, 0, 0, 100, 100 + spanB, scores[i % scores.size()], {}, {}});
  }
  return map;
}

TEST(ListingCap, CountsWhatTheListingRulesTakeBeforeTheCap) {
  struct Case {
    const char* name;
    ResultMap results;
    bool showAll;
    std::size_t listable;
  };
  // Scores 1 and 9 in turn: the threshold is 9, so none passes the score rule;
  // with 1, 1, 1, 9 in turn it is 3 + 3.46, and every fourth result passes.
  const Case cases[] = {
      {"no results", {}, false, 0},
      {"no results, all", {}, true, 0},
      {"equal to the threshold", results({1, 9}, 1000), false, 0},
      {"a quarter above", results({1, 1, 1, 9}, 1000), false, 250},
      {"a quarter above, all", results({1, 1, 1, 9}, 1000), true, 1000},
      {"just under the cap", results({1, 1, 1, 9}, 800), false, 200},
      {"just over the cap", results({1, 1, 1, 9}, 804), false, 201},
      // Fewer than four results: a long stretch in the second file lists each.
      {"small scan, long stretches", results({1, 2, 3}, 3, 16), false, 3},
      {"small scan, short stretches", results({1, 2, 3}, 3, 15), false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const float threshold = computeThreshold(c.results);
    const std::size_t listable = countListable(c.results, threshold, c.showAll);
    EXPECT_EQ(listable, c.listable);
    // The listing itself stops at the cap, and agrees below it.
    const std::size_t listed = listResults(c.results, threshold, c.showAll).size();
    EXPECT_EQ(listed, std::min<std::size_t>(listable, kMaxListedResults));
    const ListingCount count = cappedCount(listable);
    EXPECT_EQ(count.shown, listed);
    EXPECT_EQ(count.capped(), listable > listed);
  }
}

TEST(ListingCap, SaysHowManyOfHowManyAreShownAndByWhichRule) {
  struct Case {
    std::size_t total;
    ListingRule rule;
    double maxEvalue;
    const char* text;
  };
  const Case cases[] = {
      {701, ListingRule::kThreshold, 0.01,
       "200 of 701 results above the threshold shown, in scan order"},
      {9870, ListingRule::kAll, 0.01, "200 of 9870 results shown, in scan order"},
      {350, ListingRule::kEvalue, 0.01,
       "200 of 350 results of E-value 0.01 or less shown, strongest first"},
      {201, ListingRule::kEvalue, 1e-5,
       "200 of 201 results of E-value 1e-05 or less shown, strongest first"},
      {9870, ListingRule::kAllByEvalue, 0.01, "200 of 9870 results shown, strongest first"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cappedListingText(cappedCount(c.total), c.rule, c.maxEvalue), c.text);
  }
}

}  // namespace
}  // namespace orvalis
