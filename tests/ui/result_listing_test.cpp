#include "ui/results/result_listing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <locale>
#include <numeric>
#include <string>
#include <vector>

namespace orvalis {
namespace {

FileEntry named(const char* name) {
  FileEntry file;
  file.displayName = name;
  return file;
}

FileEntry fileA = named("a.c"), fileB = named("b.c");
const WordGroup groupA{&fileA, {}, 0, 0}, groupB{&fileB, {}, 0, 0};

PairResult result(float score, std::int32_t spanB = 0, const WordGroup& a = groupA,
                  const WordGroup& b = groupB) {
  PairResult made;
  made.groupA = &a;
  made.groupB = &b;
  made.startB = 100;
  made.endB = 100 + spanB;
  made.score = score;
  return made;
}

// Results keyed 0, 1, 2, ... with these scores.
ResultMap results(const std::vector<float>& scores, std::int32_t spanB = 0) {
  ResultMap map;
  for (const float score : scores)
    map.emplace(static_cast<std::int32_t>(map.size()), result(score, spanB));
  return map;
}

std::vector<std::int32_t> listedKeys(const ResultMap& map, bool showAll = false) {
  std::vector<std::int32_t> keys;
  for (const auto& entry : listResults(map, computeThreshold(map), showAll))
    keys.push_back(entry.comparison);
  return keys;
}

using Keys = std::vector<std::int32_t>;

TEST(Threshold, IsNotANumberOnlyWithoutResults) {
  EXPECT_TRUE(std::isnan(computeThreshold({})));
  EXPECT_EQ(listedKeys({}), Keys{});
  EXPECT_EQ(listedKeys({}, true), Keys{});
  // In single precision the variance of these scores rounds below zero.
  std::vector<float> scores(200, 999.0f);
  scores.push_back(1010.0f);
  EXPECT_EQ(listedKeys(results(scores)), Keys{200});
}

TEST(Threshold, IsMeanPlusPopulationDeviationAccumulatedInSinglePrecisionInKeyOrder) {
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
}

TEST(Listing, ScoresAboveTheThresholdAndLongSecondStretchesOfSmallScans) {
  // Equal scores: the threshold is that score, which is not above itself; with
  // four results long stretches no longer count.
  EXPECT_EQ(listedKeys(results({2, 2, 2, 2}, 50)), Keys{});
  ResultMap small = results({5, 5, 5}, 15);
  small.at(1).endB = small.at(1).startB + 16;
  EXPECT_EQ(listedKeys(small), Keys{1});
}

TEST(Listing, EntriesCarryTheirKeyPointerAndText) {
  const ResultMap map{{40, result(4)}, {-7, result(1)}, {3, result(3)}, {12, result(2)}};
  const auto listed = listResults(map, computeThreshold(map), false);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].comparison, 40);
  EXPECT_EQ(listed[0].result, &map.at(40));
  EXPECT_EQ(listed[0].text, "a.c & b.c (4.00)");
}

TEST(Listing, ShowAllListsExactlyTheFirst200InKeyOrder) {
  Keys first200(200);
  std::iota(first200.begin(), first200.end(), 0);
  EXPECT_EQ(listedKeys(results(std::vector<float>(250, 1.0f)), true), first200);
}

TEST(LineText, ShowsTheScoreWithTwoDecimalsRoundedLikePrintfOfTheWidenedScore) {
  EXPECT_EQ(resultLineText(result(7.5f)), "a.c & b.c (7.50)");
  EXPECT_EQ(resultLineText(result(12.0f)), "a.c & b.c (12.00)");
  // 2.675f is 2.67499995..., so it rounds down; 0.125 is a tie, kept even.
  for (const float score : {2.675f, 0.125f, 1.005f, 99.995f, -0.33f}) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "a.c & b.c (%.2f)", static_cast<double>(score));
    EXPECT_EQ(resultLineText(result(score)), expected) << score;
  }
}

// A number format with a decimal comma, as in a German locale.
struct DecimalComma : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(LineText, IgnoresTheGlobalLocale) {
  const std::locale previous = std::locale::global(std::locale(std::locale(), new DecimalComma));
  const std::string line = resultLineText(result(1234.5f));
  std::locale::global(previous);
  EXPECT_EQ(line, "a.c & b.c (1234.50)");
}

TEST(LineText, ShowsNamesThatAreNotUtf8AsWindows1252) {
  FileEntry latin = named("caf\xE9\x80.c"), utf8 = named("\xC3\xA9t\xC3\xA9.c");
  const WordGroup first{&latin, {}, 0, 0}, second{&utf8, {}, 0, 0};
  EXPECT_EQ(resultLineText(result(3, 0, first, second)),
            "caf\xC3\xA9\xE2\x82\xAC.c & \xC3\xA9t\xC3\xA9.c (3.00)");
}

}  // namespace
}  // namespace orvalis
