#include "analysis/result_listing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <locale>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "analysis/listing_cap.h"

namespace orvalis {
namespace {

using Keys = std::vector<std::int32_t>;

template <typename Name>
FileEntry named(const Name* name) {
  FileEntry entry;
  entry.displayName = name;
  return entry;
}

FileEntry fileA = named("a.c"), fileB = named("b.c");
const WordGroup groupA{.file = &fileA, .words = {}}, groupB{.file = &fileB, .words = {}};

PairResult result(float score, std::int32_t spanB = 0, const WordGroup& a = groupA,
                  const WordGroup& b = groupB) {
  // Groups a and b; the stretch in the second file starts at 100 and spans spanB bytes.
  return {&a, &b, 0, 0, 100, 100 + spanB, score, {}, {}};
}

// `count` results keyed 0, 1, ... with these scores in turn; the stretch in
// the second file spans spanB bytes.
ResultMap results(const std::vector<float>& scores, std::size_t count = 0, std::int32_t spanB = 0) {
  ResultMap map;
  for (std::size_t i = 0; i < std::max(count, scores.size()); ++i) {
    map.emplace(static_cast<std::int32_t>(i), result(scores[i % scores.size()], spanB));
  }
  return map;
}

Keys listedKeys(const ResultMap& map, bool showAll = false) {
  Keys keys;
  for (const auto& entry : listResults(map, computeThreshold(map), showAll))
    keys.push_back(entry.comparison);
  return keys;
}

TEST(Threshold, IsMeanPlusPopulationDeviationAccumulatedInSinglePrecisionInKeyOrder) {
  EXPECT_TRUE(std::isnan(computeThreshold({})));
  // Mean 2.5, population variance 1.25 (a sample variance would be 5/3).
  EXPECT_EQ(computeThreshold(results({1, 2, 3, 4})), 2.5f + std::sqrt(1.25f));
  // 2^24 then fifteen 1s: every 1 is lost from both float sums, so the threshold
  // is 2^20 * (1 + sqrt(15)) = 5109693.5; in double precision it rounds to 5109694.
  std::vector<float> scores(16, 1.0f);
  scores.front() = 16777216.0f;
  EXPECT_EQ(computeThreshold(results(scores)), 5109693.5f);
  // The 1s first: the sum reaches 15, and 2^24 + 15 rounds to 2^24 + 16.
  std::swap(scores.front(), scores.back());
  EXPECT_EQ(computeThreshold(results(scores)), 5109694.0f);
  // In single precision the variance of these scores rounds below zero.
  std::vector<float> nearlyEqual(200, 999.0f);
  nearlyEqual.push_back(1010.0f);
  EXPECT_EQ(listedKeys(results(nearlyEqual)), Keys{200});
}

TEST(Listing, ScoresAboveTheThresholdLongStretchesOfSmallScansAndAtMost200InKeyOrder) {
  struct Case {
    const char* name;
    ResultMap results;
    bool showAll;
    std::size_t listable;
    Keys first;  // the first keys listed
  };
  // Scores 1 and 9 in turn: the threshold is 9, so none passes the score rule;
  // with 1, 1, 1, 9 in turn it is 3 + 3.46, and every fourth result passes.
  ResultMap oneLong = results({5, 5, 5}, 3, 15);
  oneLong.at(1).endB = oneLong.at(1).startB + 16;
  const Case cases[] = {
      {"no results", {}, false, 0, {}},
      {"no results, all", {}, true, 0, {}},
      {"equal to the threshold", results({1, 9}, 1000), false, 0, {}},
      {"a quarter above", results({1, 1, 1, 9}, 1000), false, 250, {3, 7}},
      {"a quarter above, all", results({1, 1, 1, 9}, 1000), true, 1000, {0, 1}},
      {"just under the cap", results({1, 1, 1, 9}, 800), false, 200, {3}},
      {"just over the cap", results({1, 1, 1, 9}, 804), false, 201, {3}},
      // Fewer than four results: a long stretch in the second file lists each.
      {"small scan, long stretches", results({1, 2, 3}, 3, 16), false, 3, {0, 1, 2}},
      {"small scan, short stretches", results({1, 2, 3}, 3, 15), false, 1, {2}},
      {"small scan, one long stretch", oneLong, false, 1, {1}},
      {"four results, long stretches", results({2, 2, 2, 2}, 4, 50), false, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const float threshold = computeThreshold(c.results);
    const std::size_t listable = countListable(c.results, threshold, c.showAll);
    EXPECT_EQ(listable, c.listable);
    // The listing itself stops at the cap, and agrees below it.
    const Keys keys = listedKeys(c.results, c.showAll);
    EXPECT_EQ(keys.size(), std::min<std::size_t>(listable, kMaxListedResults));
    EXPECT_EQ(Keys(keys.begin(), keys.begin() + std::min(keys.size(), c.first.size())), c.first);
    const ListingCount count = cappedCount(listable);
    EXPECT_EQ(count.shown, keys.size());
    EXPECT_EQ(count.capped(), listable > keys.size());
  }
  const ResultMap map{{40, result(4)}, {-7, result(1)}, {3, result(3)}, {12, result(2)}};
  const auto listed = listResults(map, computeThreshold(map), false);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(std::tuple(listed[0].comparison, listed[0].result, listed[0].text),
            std::tuple(40, &map.at(40), std::string("a.c & b.c (4.00)")));
  EXPECT_EQ(cappedListingText(cappedCount(201), ListingRule::kEvalue, 1e-5),
            "200 of 201 results of E-value 1e-05 or less shown, strongest first");
}

// A number format with a decimal comma, as in a German locale.
struct DecimalComma : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(LineText, ShowsTwoDecimalsRoundedLikePrintfOfTheWidenedScoreInAnyGlobalLocale) {
  const std::locale previous = std::locale::global(std::locale(std::locale(), new DecimalComma));
  // 2.675f is 2.67499995..., so it rounds down; 0.125 is a tie, kept even.
  const std::pair<float, const char*> rows[] = {
      {7.5f, "7.50"}, {2.675f, "2.67"}, {0.125f, "0.12"}, {-0.33f, "-0.33"}, {1234.5f, "1234.50"}};
  for (const auto& [score, text] : rows)
    EXPECT_EQ(resultLineText(result(score)), "a.c & b.c (" + std::string(text) + ")");
  std::locale::global(previous);
#ifdef _WIN32
  // Names are UTF-16; a surrogate without its partner is shown as U+FFFD.
  FileEntry latin = named(L"caf\u00E9\u20AC.c"), broken = named(L"\xD800\u00E9.c");
  const WordGroup first{.file = &latin, .words = {}}, second{.file = &broken, .words = {}};
  EXPECT_EQ(resultLineText(result(3, 0, first, second)),
            "caf\xC3\xA9\xE2\x82\xAC.c & \xEF\xBF\xBD\xC3\xA9.c (3.00)");
#else
  // Names that are not UTF-8 are shown as Windows-1252.
  FileEntry latin = named("caf\xE9\x80.c"), utf8 = named("\xC3\xA9t\xC3\xA9.c");
  const WordGroup first{.file = &latin, .words = {}}, second{.file = &utf8, .words = {}};
  EXPECT_EQ(resultLineText(result(3, 0, first, second)),
            "caf\xC3\xA9\xE2\x82\xAC.c & \xC3\xA9t\xC3\xA9.c (3.00)");
#endif
}

}  // namespace
}  // namespace orvalis
