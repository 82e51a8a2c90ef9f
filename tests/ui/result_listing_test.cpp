#include "ui/results/result_listing.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale>
#include <string>
#include <vector>

namespace orvalis {
namespace {

// Two files with one word group each, for results that need only names.
class Listing : public ::testing::Test {
 protected:
  Listing() {
    fileA_.displayName = "a.c";
    fileA_.index = 1;
    fileB_.displayName = "b.c";
    groupA_.file = &fileA_;
    groupB_.file = &fileB_;
  }

  PairResult result(float score, std::int32_t spanB = 0) const {
    PairResult made;
    made.groupA = &groupA_;
    made.groupB = &groupB_;
    made.startB = 100;
    made.endB = 100 + spanB;
    made.score = score;
    return made;
  }

  // Results keyed 0, 1, 2, ... with these scores.
  ResultMap results(const std::vector<float>& scores, std::int32_t spanB = 0) const {
    ResultMap map;
    for (const float score : scores) {
      map.emplace(static_cast<std::int32_t>(map.size()), result(score, spanB));
    }
    return map;
  }

  static std::vector<std::int32_t> keys(const std::vector<ListedResult>& listed) {
    std::vector<std::int32_t> out;
    for (const auto& entry : listed)
      out.push_back(entry.comparison);
    return out;
  }

  FileEntry fileA_;
  FileEntry fileB_;
  WordGroup groupA_;
  WordGroup groupB_;
};

using Threshold = Listing;
using LineText = Listing;

TEST_F(Threshold, NoResultsGiveNotANumberAndAnEmptyListing) {
  const ResultMap none;
  const float threshold = computeThreshold(none);
  EXPECT_TRUE(std::isnan(threshold));
  EXPECT_TRUE(listResults(none, threshold, false).empty());
  EXPECT_TRUE(listResults(none, threshold, true).empty());
}

TEST_F(Threshold, IsMeanPlusPopulationStandardDeviation) {
  // Mean 2.5, population variance 7.5 - 6.25 = 1.25 (a sample variance would be 5/3).
  EXPECT_EQ(computeThreshold(results({1, 2, 3, 4})), 2.5f + std::sqrt(1.25f));
  EXPECT_EQ(computeThreshold(results({3, 1, 4, 2})), 2.5f + std::sqrt(1.25f));
  // A single result: no spread, the threshold is its own score.
  EXPECT_EQ(computeThreshold(results({7.5f})), 7.5f);
}

TEST_F(Threshold, AccumulatesInSinglePrecisionInKeyOrder) {
  // 2^24 then fifteen 1s: in single precision every 1 is lost from both sums
  // (2^24 + 1 rounds to even), so sum = 2^24, sum of squares = 2^48, mean = 2^20,
  // variance = 2^44 - 2^40 = 15 * 2^40, all exact, and the threshold is
  // 2^20 * (1 + sqrt(15)) = 5109693.5. In double precision the 1s count and the
  // threshold rounds to 5109694.
  std::vector<float> scores(16, 1.0f);
  scores.front() = 16777216.0f;
  const float threshold = computeThreshold(results(scores));
  EXPECT_EQ(threshold, 5109693.5f);
  EXPECT_EQ(threshold, 1048576.0f * (1.0f + std::sqrt(15.0f)));

  // The 1s first: the sum reaches 15 before 2^24 is added, and 2^24 + 15 rounds
  // to 2^24 + 16, so the mean is 2^20 + 1.
  std::vector<float> reordered(16, 1.0f);
  reordered.back() = 16777216.0f;
  EXPECT_EQ(computeThreshold(results(reordered)), 5109694.0f);
}

TEST_F(Threshold, EqualScoresGiveExactlyThatScore) {
  EXPECT_EQ(computeThreshold(results({2, 2, 2, 2})), 2.0f);
  EXPECT_EQ(computeThreshold(results({2, 2, 2, 2, 2, 2, 2})), 2.0f);
}

TEST_F(Threshold, RoundingNeverMakesItNotANumber) {
  // In single precision the variance of these scores rounds below zero.
  std::vector<float> scores(200, 999.0f);
  scores.push_back(1010.0f);
  const ResultMap map = results(scores);
  const float threshold = computeThreshold(map);
  ASSERT_FALSE(std::isnan(threshold));
  EXPECT_EQ(keys(listResults(map, threshold, false)), (std::vector<std::int32_t>{200}));
}

TEST_F(Listing, ScoreEqualToThresholdIsNotListed) {
  // Four or more results: the small-scan rule no longer applies, even for long stretches.
  const ResultMap map = results({2, 2, 2, 2}, 50);
  const float threshold = computeThreshold(map);
  ASSERT_EQ(threshold, 2.0f);
  EXPECT_TRUE(listResults(map, threshold, false).empty());
  EXPECT_EQ(keys(listResults(map, threshold, true)), (std::vector<std::int32_t>{0, 1, 2, 3}));
}

TEST_F(Listing, OnlyScoresAboveThresholdAreListedWithKeyAndPointer) {
  ResultMap map;
  map.emplace(40, result(4));
  map.emplace(-7, result(1));
  map.emplace(3, result(3));
  map.emplace(12, result(2));
  const auto listed = listResults(map, computeThreshold(map), false);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].comparison, 40);
  EXPECT_EQ(listed[0].result, &map.at(40));
  EXPECT_EQ(listed[0].text, "a.c & b.c (4.00)");
}

TEST_F(Listing, SingleResultIsListedOnlyWhenItsSecondStretchSpansMoreThan15) {
  const ResultMap longStretch = results({9}, 16);
  EXPECT_EQ(listResults(longStretch, computeThreshold(longStretch), false).size(), 1u);
  const ResultMap shortStretch = results({9}, 15);
  EXPECT_TRUE(listResults(shortStretch, computeThreshold(shortStretch), false).empty());
}

TEST_F(Listing, SmallScanRuleCountsEveryResultNotOnlyListedOnes) {
  ResultMap three = results({5, 5, 5}, 15);
  three.at(1).endB = three.at(1).startB + 16;
  EXPECT_EQ(keys(listResults(three, computeThreshold(three), false)),
            (std::vector<std::int32_t>{1}));

  ResultMap four = three;
  four.emplace(3, result(5, 15));
  EXPECT_TRUE(listResults(four, computeThreshold(four), false).empty());
}

TEST_F(Listing, ThresholdThatIsNotANumberListsByScoreNothing) {
  const ResultMap map = results({1, 5, 100, 7, 3});
  const float nan = std::nanf("");
  EXPECT_TRUE(listResults(map, nan, false).empty());
  EXPECT_EQ(listResults(map, nan, true).size(), 5u);
  // The small-scan rule still lists by stretch.
  EXPECT_EQ(listResults(results({1, 5}, 20), nan, false).size(), 2u);
}

TEST_F(Listing, ShowAllListsExactlyTheFirst200InKeyOrder) {
  ResultMap map;
  for (std::int32_t key = 249; key >= 0; --key)
    map.emplace(key - 100, result(1));
  const auto listed = listResults(map, computeThreshold(map), true);
  ASSERT_EQ(listed.size(), 200u);
  for (std::size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(listed[i].comparison, static_cast<std::int32_t>(i) - 100);
    EXPECT_EQ(listed[i].result, &map.at(listed[i].comparison));
  }
}

TEST_F(Listing, ListingByScoreStopsAt200Too) {
  // 1000 results, every fifth scoring 10 and the rest 0: mean 2, deviation 4,
  // so the 200 high scores pass; one more high score at the end is cut off.
  std::vector<float> scores;
  for (int i = 0; i < 1000; ++i)
    scores.push_back(i % 5 == 0 ? 10.0f : 0.0f);
  scores.push_back(10.0f);
  const ResultMap map = results(scores);
  const auto listed = listResults(map, computeThreshold(map), false);
  ASSERT_EQ(listed.size(), 200u);
  EXPECT_EQ(listed.front().comparison, 0);
  EXPECT_EQ(listed.back().comparison, 995);
  for (const auto& entry : listed)
    EXPECT_EQ(entry.result->score, 10.0f);
}

TEST_F(LineText, JoinsBothNamesAndTheScoreWithTwoDecimals) {
  EXPECT_EQ(resultLineText(result(7.5f)), "a.c & b.c (7.50)");
  EXPECT_EQ(resultLineText(result(12.0f)), "a.c & b.c (12.00)");
  EXPECT_EQ(resultLineText(result(0.0f)), "a.c & b.c (0.00)");
  EXPECT_EQ(resultLineText(result(1234567.0f)), "a.c & b.c (1234567.00)");
}

TEST_F(LineText, RoundsLikePrintfOfTheWidenedScore) {
  for (const float score : {2.675f, 0.125f, 0.375f, 1.005f, 0.005f, 99.995f, 3.14159f, -0.33f}) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "a.c & b.c (%.2f)", static_cast<double>(score));
    EXPECT_EQ(resultLineText(result(score)), expected) << "score " << score;
  }
  // 2.675f is 2.67499995..., so it rounds down; 0.125 is an exact tie, kept even.
  EXPECT_EQ(resultLineText(result(2.675f)), "a.c & b.c (2.67)");
  EXPECT_EQ(resultLineText(result(0.125f)), "a.c & b.c (0.12)");
}

// A number format with a decimal comma, as in a German locale.
struct DecimalComma : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST_F(LineText, IgnoresTheGlobalLocaleOfStreams) {
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new DecimalComma));
  const std::string line = resultLineText(result(1234.5f));
  std::locale::global(previous);
  EXPECT_EQ(line, "a.c & b.c (1234.50)");
}

TEST_F(LineText, IgnoresTheCLibraryLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no German locale here";
  const std::string line = resultLineText(result(1234.5f));
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(line, "a.c & b.c (1234.50)");
}

TEST_F(LineText, FirstNameIsTheFirstGroupsFileAndNamesAreShownAsText) {
  FileEntry latin1;
  latin1.displayName = std::string("caf\xE9.c");
  FileEntry utf8;
  utf8.displayName = std::string("\xC3\xA9t\xC3\xA9.c");
  WordGroup first{&latin1, {}, 0, 0};
  WordGroup second{&utf8, {}, 0, 0};
  PairResult made;
  made.groupA = &first;
  made.groupB = &second;
  made.score = 3.0f;
  EXPECT_EQ(resultLineText(made), "caf\xC3\xA9.c & \xC3\xA9t\xC3\xA9.c (3.00)");
}

}  // namespace
}  // namespace orvalis
