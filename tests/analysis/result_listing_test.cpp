#include "analysis/result_listing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <locale>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

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

// Results keyed 0, 1, 2, ... with these scores.
ResultMap results(const std::vector<float>& scores, std::int32_t spanB = 0) {
  ResultMap map;
  for (const float score : scores) map.emplace(map.size(), result(score, spanB));
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

TEST(Listing, ScoresAboveTheThresholdLongStretchesOfSmallScansAndAtMost200) {
  // Equal scores: the threshold is that score, which is not above itself; with
  // four results long stretches no longer count.
  EXPECT_EQ(listedKeys(results({2, 2, 2, 2}, 50)), Keys{});
  ResultMap small = results({5, 5, 5}, 15);
  small.at(1).endB = small.at(1).startB + 16;
  EXPECT_EQ(listedKeys(small), Keys{1});
  Keys first200(200);
  std::iota(first200.begin(), first200.end(), 0);
  EXPECT_EQ(listedKeys(results(std::vector<float>(250, 1.0f)), true), first200);

  const ResultMap map{{40, result(4)}, {-7, result(1)}, {3, result(3)}, {12, result(2)}};
  const auto listed = listResults(map, computeThreshold(map), false);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].comparison, 40);
  EXPECT_EQ(listed[0].result, &map.at(40));
  EXPECT_EQ(listed[0].text, "a.c & b.c (4.00)");
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
