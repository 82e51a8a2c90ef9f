#include "analysis/significance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace orvalis {
namespace {

// Scores drawn from the law itself: groups of 200 to 1,000 words, and
// S = (ln(K·m·n) + G) / λ with G a standard Gumbel variate.
std::vector<ScoreSample> chanceScores(double lambda, double k, int count, unsigned seed) {
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<std::int64_t> words(200, 1000);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<ScoreSample> samples;
  for (int i = 0; i < count; ++i) {
    const std::int64_t m = words(random), n = words(random);
    const double gumbel = -std::log(-std::log(std::max(unit(random), 1e-300)));
    const double score = (std::log(k * static_cast<double>(m * n)) + gumbel) / lambda;
    samples.push_back({static_cast<float>(score), m, n});
  }
  return samples;
}

TEST(Significance, FitRecoversLambdaAndKOfChanceScoresWhateverTheCopiesAndTheirOrder) {
  struct Law {
    double lambda, k;
  };
  for (const Law law : {Law{2.4, 0.0011}, Law{0.8, 0.05}, Law{1.3, 0.3}}) {
    auto samples = chanceScores(law.lambda, law.k, 20000, 7);
    const SignificanceModel clean = fitSignificance(samples, 12345);
    EXPECT_EQ(clean.fitted, 20000);
    EXPECT_EQ(clean.comparisons, 12345);
    // One in twenty becomes a copy with a score far above chance: the fit
    // stays within 10 %.
    for (std::size_t i = 0; i < samples.size(); i += 20) samples[i].score += 60.0f;
    const SignificanceModel copied = fitSignificance(samples, 12345);
    for (const SignificanceModel& model : {clean, copied}) {
      EXPECT_NEAR(model.lambda / law.lambda, 1.0, 0.10) << law.lambda;
      EXPECT_NEAR(model.k / law.k, 1.0, 0.10) << law.k;
    }
    // The same samples in another order give exactly the same model, as a scan
    // on any number of threads must.
    std::shuffle(samples.begin(), samples.end(), std::mt19937(3));
    const SignificanceModel shuffled = fitSignificance(samples, 12345);
    EXPECT_EQ(std::pair(shuffled.lambda, shuffled.k), std::pair(copied.lambda, copied.k));
  }
}

TEST(Significance, TooFewComparisonsSmallGroupsOrScoresThatDoNotSpreadUseTheFixedValues) {
  const auto isFixed = [](const SignificanceModel& model) {
    return model.usesFixedValues() && model.lambda == kFixedLambda && model.k == kFixedK;
  };
  auto samples = chanceScores(1.0, 0.1, static_cast<int>(kMinFitComparisons), 5);
  EXPECT_FALSE(isFixed(fitSignificance(samples, 1000)));
  samples.pop_back();
  EXPECT_TRUE(isFixed(fitSignificance(samples, 1000)));
  // Enough comparisons, but each has a group of fewer than kMinFitWords words.
  samples = chanceScores(1.0, 0.1, 1000, 5);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    (i % 2 == 0 ? samples[i].wordsA : samples[i].wordsB) = kMinFitWords - 1;
  }
  EXPECT_TRUE(isFixed(fitSignificance(samples, 1000)));
  // Every score the same.
  for (ScoreSample& sample : samples) sample = {3.0f, 500, 500};
  EXPECT_TRUE(isFixed(fitSignificance(samples, 1000)));
  EXPECT_TRUE(isFixed(significanceOf(ResultMap{})));
}

// Results over groups of given word counts; the groups live as long as the test.
struct Groups {
  FileEntry files[3];
  std::deque<WordGroup> groups;

  Groups() {
    const char* names[] = {"a.c", "b.c", "c.c"};
    for (int i = 0; i < 3; ++i) {
      files[i].displayName = names[i];
      files[i].index = i;
    }
  }
  const WordGroup* group(int file, std::size_t words) {
    groups.push_back(WordGroup{.file = &files[file], .words = std::vector<WordEntry>(words)});
    return &groups.back();
  }
  PairResult result(int fileA, std::size_t m, int fileB, std::size_t n, float score,
                    std::string consensusA = {}, std::string consensusB = {}) {
    return {group(fileA, m), group(fileB, n), 0, 0, 0, 0, score, consensusA, consensusB};
  }
};

TEST(Significance, EvalueIsComparisonsTimesKmnTimesTheExponentialOfTheScore) {
  const SignificanceModel model{2.0, 0.01, 500, 400};
  Groups g;
  EXPECT_NEAR(evalueOf(model, g.result(1, 300, 0, 40, 7.5f)),
              500.0 * 0.01 * 300 * 40 * std::exp(-15.0), 1e-15);
  // Far beyond what a double holds, the logarithm still orders the results.
  EXPECT_EQ(evalueOf(model, g.result(1, 300, 0, 40, 5000.0f)), 0.0);
  EXPECT_LT(logEvalue(model, 5001.0f, 300, 40), logEvalue(model, 5000.0f, 300, 40));
  for (const auto& [evalue, text] : {std::pair{1.2345e-5, "1.23e-05"},
                                     {0.01, "1.00e-02"},
                                     {123456.0, "1.23e+05"},
                                     {0.0, "0.00e+00"},
                                     {std::nan(""), "nan"}}) {
    EXPECT_EQ(evalueText(evalue), text);
  }
}

TEST(Significance, ListingByEvalueIsStrongestFirstWithTiesInKeyOrderAndTheCutIncluded) {
  Groups g;
  const SignificanceModel model{1.0, 1.0, 1, 400};  // E = m·n·e^(−score)
  ResultMap results;
  results[5] = g.result(1, 10, 0, 10, 10.0f);  // E = 100·e^−10
  results[2] = g.result(2, 10, 0, 10, 12.0f);  // E = 100·e^−12
  results[9] = g.result(2, 10, 1, 10, 10.0f);  // ties with 5
  results[-1] = g.result(2, 1, 1, 1, 0.0f);    // E = 1
  results[7] = g.result(2, 100, 1, 1, 10.0f);  // the same E as 5 and 9
  const auto keys = [](const std::vector<ListedResult>& listed) {
    std::vector<std::int32_t> out;
    for (const auto& item : listed) out.push_back(item.comparison);
    return out;
  };
  const double cut = evalueOf(model, results.at(5));
  EXPECT_EQ(keys(listByEvalue(results, model, cut, false)),
            (std::vector<std::int32_t>{2, 5, 7, 9}));
  EXPECT_EQ(keys(listByEvalue(results, model, 1e-9, false)), std::vector<std::int32_t>{});
  EXPECT_EQ(keys(listByEvalue(results, model, 0.0, true)),
            (std::vector<std::int32_t>{2, 5, 7, 9, -1}));
  const auto listed = listByEvalue(results, model, 1.0, false);
  ASSERT_EQ(listed.size(), 5u);
  EXPECT_EQ(listed.back().text, "c.c & b.c (0.00) E=1.00e+00");
  EXPECT_EQ(std::pair(listed.front().text, listed.front().result),
            std::pair(std::string("c.c & a.c (12.00) E=6.14e-04"),
                      static_cast<const PairResult*>(&results.at(2))));
  EXPECT_DOUBLE_EQ(listed.front().evalue, 100.0 * std::exp(-12.0));
}

TEST(Significance, PairsGatherTheirResultsBestEvalueAndMatchedWords) {
  // "*" alone is a word; gaps, even at the same step of both, match nothing.
  EXPECT_EQ(matchedWords({nullptr, nullptr, 0, 0, 0, 0, 0.0f, "a b  * d e * ", "a x c  * e * "}),
            3);
  EXPECT_EQ(matchedWords({nullptr, nullptr, 0, 0, 0, 0, 0.0f, "a  * b ", "a  * c "}), 1);
  Groups g;
  const SignificanceModel model{1.0, 1.0, 1, 400};
  ResultMap results;
  results[0] = g.result(1, 10, 0, 10, 6.0f, "p q r ", "p q r ");
  results[1] = g.result(2, 10, 0, 10, 9.0f, "s t ", "s u ");
  results[2] = g.result(1, 10, 0, 10, 8.0f, "v  * w ", "v x w ");
  results[3] = g.result(2, 10, 1, 10, 9.0f, "y ", "y ");  // ties with 1, a later key
  auto listed = listResults(results, 0.0f, true);
  setEvalues(listed, model);
  const auto pairs = aggregatePairs(listed);
  std::string lines;
  for (const FilePair& pair : pairs) lines += pairLineText(pair) + "\n";
  EXPECT_EQ(lines,
            "c.c & a.c: best score 9.00, E=1.23e-02, 1 result, 1 word matched\n"
            "c.c & b.c: best score 9.00, E=1.23e-02, 1 result, 1 word matched\n"
            "b.c & a.c: best score 8.00, E=3.35e-02, 2 results, 5 words matched\n");
  EXPECT_EQ(pairs[2].best, &results.at(2));
  EXPECT_EQ(pairs[2].bestComparison, 2);
  EXPECT_TRUE(aggregatePairs({}).empty());
}

}  // namespace
}  // namespace orvalis
