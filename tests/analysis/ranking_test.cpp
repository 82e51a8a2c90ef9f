// How results are listed and ranked: the threshold, E-values, file pairs and
// their groups.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <locale>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "analysis/file_pairs.h"
#include "analysis/listing_cap.h"
#include "analysis/result_listing.h"
#include "analysis/significance.h"

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
  EXPECT_TRUE(isFixed(significanceOf(ResultTable{})));
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
  ResultTable results;
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
  ResultTable results;
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

using Keys = std::vector<std::int32_t>;

template <typename Name>
FileEntry named(const Name* name) {
  FileEntry entry;
  entry.displayName = name;
  return entry;
}

FileEntry fileAc = named("a.c"), fileBc = named("b.c");
const WordGroup groupAc{.file = &fileAc, .words = {}}, groupBc{.file = &fileBc, .words = {}};

PairResult result(float score, std::int32_t spanB = 0, const WordGroup& a = groupAc,
                  const WordGroup& b = groupBc) {
  // Groups a and b; the stretch in the second file starts at 100 and spans spanB bytes.
  return {&a, &b, 0, 0, 100, 100 + spanB, score, {}, {}};
}

// `count` results keyed 0, 1, ... with these scores in turn; the stretch in
// the second file spans spanB bytes.
ResultTable results(const std::vector<float>& scores, std::size_t count = 0,
                    std::int32_t spanB = 0) {
  ResultTable map;
  for (std::size_t i = 0; i < std::max(count, scores.size()); ++i) {
    map.emplace(static_cast<std::int32_t>(i), result(scores[i % scores.size()], spanB));
  }
  return map;
}

Keys listedKeys(const ResultTable& map, bool showAll = false) {
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
    ResultTable results;
    bool showAll;
    std::size_t listable;
    Keys first;  // the first keys listed
  };
  // Scores 1 and 9 in turn: the threshold is 9, so none passes the score rule;
  // with 1, 1, 1, 9 in turn it is 3 + 3.46, and every fourth result passes.
  ResultTable oneLong = results({5, 5, 5}, 3, 15);
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
  const ResultTable map{{40, result(4)}, {-7, result(1)}, {3, result(3)}, {12, result(2)}};
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

// E = m·n·e^(−score): with groups of 10 words a score of 10 gives 0.0045, a
// significant match, and a score of 2 gives 13.5, chance.
const SignificanceModel kModel{1.0, 1.0, 1, 1};
constexpr float kStrong = 10.0f;
constexpr float kWeak = 2.0f;

// Files of one-byte words "x x x ...": word i stands at bytes [2i, 2i + 1).
struct Scan {
  FileTable files;
  ResultTable results;

  // A file of `words` words cut into groups of 10.
  void file(std::int32_t index, int words) {
    auto entry = std::make_unique<FileEntry>();
    entry->index = index;
    entry->displayName = entry->path =
        std::string("f").append(std::to_string(index)).append(".txt");
    for (int first = 0, key = 0; first < words; first += 10, ++key) {
      auto group = std::make_unique<WordGroup>();
      group->file = entry.get();
      group->startOffset = 2 * first;
      for (int w = first; w < std::min(words, first + 10); ++w) {
        group->words.push_back({"x", 2 * (w - first) + 1});
      }
      entry->groups.emplace(key, std::move(group));
    }
    files.emplace(index, std::move(entry));
  }
  const WordGroup* group(std::int32_t file, std::int32_t key) const {
    return files.at(file)->groups.at(key).get();
  }
  void result(std::int32_t fileA, std::int32_t groupA, std::int32_t fileB, std::int32_t groupB,
              std::int32_t startA, std::int32_t endA, std::int32_t startB, std::int32_t endB,
              float score) {
    results[static_cast<std::int32_t>(results.size())] = {
        group(fileA, groupA), group(fileB, groupB), startA, endA, startB, endB, score, {}, {}};
  }
  FilePairTable table(const SetAsideWords* setAside = nullptr) const {
    return buildFilePairs(filesOf(files), results, kModel, kPairMaxEvalue, setAside);
  }
};

struct Match {
  std::int32_t groupB;  // of file 0; file 1 has one group
  std::int32_t startA, endA, startB, endB;
  float score;
  bool swapped = false;  // file 0 as the result's first
};

TEST(FilePairs, SharesCountEachWordOfTheSignificantMatchesOnce) {
  // File 1: 10 words, bytes 0 to 19. File 0: 20 words in two groups, bytes 0 to 39.
  // The matches; the words of each file shared, the longest match, the matches.
  using Row = std::tuple<const char*, std::vector<Match>, std::int64_t, std::int64_t, std::int64_t,
                         std::size_t>;
  const Row rows[] = {
      {"chance only", {{0, 0, 19, 0, 19, kWeak}}, 0, 0, 0, 0},
      {"words 2-4 and 0-2", {{0, 4, 9, 0, 5, kStrong}}, 3, 3, 3, 1},
      {"blanks only", {{0, 3, 4, 5, 6, kStrong}}, 0, 0, 0, 1},
      {"overlap in A", {{0, 0, 9, 0, 9, kStrong}, {1, 6, 13, 20, 27, kStrong}}, 7, 9, 5, 2},
      {"all of A twice", {{0, 0, 19, 0, 19, kStrong}, {1, 0, 19, 20, 39, kStrong}}, 10, 20, 10, 2},
      {"touching", {{0, 0, 3, 0, 3, kStrong}, {0, 4, 7, 4, 7, kStrong}}, 4, 4, 2, 2},
      {"one of two", {{0, 0, 3, 0, 3, kStrong}, {1, 4, 19, 20, 39, kWeak}}, 2, 2, 2, 1},
      {"empty stretch", {{0, 6, 6, 8, 8, kStrong}}, 0, 0, 0, 1},
      // File 0 as the result's first: its words 0-4 and words 2-4 of file 1.
      {"the other way round", {{0, 0, 9, 4, 9, kStrong, true}}, 3, 5, 5, 1},
  };

  for (const auto& [what, matches, sharedA, sharedB, longest, count] : rows) {
    Scan scan;
    scan.file(0, 20);
    scan.file(1, 10);
    for (const Match& m : matches) {
      if (m.swapped) {
        scan.result(0, m.groupB, 1, 0, m.startA, m.endA, m.startB, m.endB, m.score);
      } else {
        scan.result(1, 0, 0, m.groupB, m.startA, m.endA, m.startB, m.endB, m.score);
      }
    }
    const FilePairTable table = scan.table();
    ASSERT_EQ(table.pairs.size(), 1u) << what;
    const FilePairStats& pair = table.pairs[0];
    EXPECT_EQ(std::tuple(pair.sharedA, pair.sharedB, pair.longestMatch, pair.matches.size(),
                         pair.shareA(), pair.shareB(), pair.group),
              std::tuple(sharedA, sharedB, longest, count, static_cast<double>(sharedA) / 10,
                         static_cast<double>(sharedB) / 20, count > 0 ? 1 : 0))
        << what;
  }
}

TEST(FilePairs, FilesOfNoWordsHaveNoShareAndNoEvalue) {
  Scan scan;
  scan.file(0, 10);
  scan.file(1, 10);
  scan.file(2, 0);
  scan.result(1, 0, 0, 0, 0, 19, 0, 19, kStrong);
  const FilePairTable table = scan.table();
  ASSERT_EQ(table.pairs.size(), 3u);  // (1, 0), (2, 0), (2, 1)
  for (const std::size_t at : {1u, 2u}) {
    const FilePairStats& pair = table.pairs[at];
    EXPECT_EQ(
        std::tuple(pair.shareA(), std::isnan(pair.bestEvalue), pair.bestComparison, pair.group),
        std::tuple(0.0, true, -1, 0));
  }
  EXPECT_EQ(pairSharesText(table.pairs[0]), "100 % of f1.txt, 100 % of f0.txt");
  EXPECT_EQ(filesOf(scan.results).size(), 2u);  // the file of no words has no result
  EXPECT_EQ(table.find(2, 1), std::optional<std::size_t>(2));
}

TEST(FilePairs, WordsSetAsideCountAsNotSharedButStayAmongTheFilesWords) {
  Scan scan;
  scan.file(0, 20);
  scan.file(1, 10);
  scan.result(1, 0, 0, 0, 0, 9, 0, 9, kStrong);     // words 0-4 of each
  scan.result(1, 0, 0, 1, 6, 13, 20, 27, kStrong);  // words 3-6 of file 1
  const SetAsideWords setAside{{1, {false, false, false, true, false, false, true}},
                               {0, std::vector<bool>(30, true)}};  // more flags than words
  const FilePairStats pair = scan.table(&setAside).pairs[0];
  EXPECT_EQ(pair.wordsA, 10);
  EXPECT_EQ(pair.sharedA, 5);  // words 0-6 less 3 and 6
  EXPECT_EQ(pair.sharedB, 0);
}

// The groups of `files` files linked by `links` ("10 21": 1 with 0, 2 with 1), as
// "members:pairs" largest first ("012:3 23:1"); each linked pair in its group.
std::string groupsOf(int files, const std::string& links) {
  Scan scan;
  for (int f = 0; f < files; ++f) scan.file(f, 10);
  for (std::size_t i = 0; i + 1 < links.size(); i += 3) {
    scan.result(links[i] - '0', 0, links[i + 1] - '0', 0, 0, 5, 0, 5, kStrong);
  }
  const FilePairTable table = scan.table();
  std::string text;
  std::size_t grouped = 0;
  for (std::size_t g = 0; g < table.groups.size(); ++g) {
    text += g > 0 ? " " : "";
    for (const std::int32_t member : table.groups[g].members) text += std::to_string(member);
    text.append(":").append(std::to_string(table.groups[g].pairs.size()));
    for (const std::size_t at : table.groups[g].pairs) {
      grouped += table.pairs[at].group == static_cast<int>(g + 1) ? 1 : 0;
    }
  }
  return grouped == (links.size() + 1) / 3 ? text : "pairs not in their groups";
}

TEST(FileGroups, TrianglesJoinLinksAndOneCommonFileDoesNotChain) {
  // What is linked: files, links, and the groups they make.
  const std::tuple<const char*, int, const char*, const char*> rows[] = {
      {"nothing linked", 3, "", ""},
      {"one pair", 3, "10", "01:1"},
      {"a triangle and a link from one corner", 4, "10 20 21 32", "012:3 23:1"},
      {"a file shared by three others, not among themselves", 4, "10 20 30", "01:1 02:1 03:1"},
      {"a chain", 4, "10 21 32", "01:1 12:1 23:1"},
      {"two triangles with one file in common", 5, "10 20 21 32 42 43", "012:3 234:3"},
      {"two triangles with a link in common", 4, "10 20 21 31 32", "0123:5"},
      {"four files all linked, and a lone pair", 6, "10 20 30 21 31 32 54", "0123:6 45:1"},
  };
  for (const auto& [what, files, links, groups] : rows) {
    EXPECT_EQ(groupsOf(files, links), groups) << what;
  }
}

TEST(FileGroups, ThreeFilesLinkedByThreeDifferentTextsAreNoTriangle) {
  // Each pair shares words at its own place: 0 and 1 at words 0-2 of both, 0
  // and 2 at words 5-7, 1 and 2 at words 5-7 of 1 and 0-2 of 2.
  Scan scan;
  for (int f = 0; f < 3; ++f) scan.file(f, 10);
  scan.result(1, 0, 0, 0, 0, 5, 0, 5, kStrong);
  scan.result(2, 0, 0, 0, 10, 15, 10, 15, kStrong);
  scan.result(2, 0, 1, 0, 0, 5, 10, 15, kStrong);
  EXPECT_EQ(scan.table().groups.size(), 3u);
  // The same text in all three files: one group.
  scan.results.at(1) = {scan.group(2, 0), scan.group(0, 0), 0, 5, 0, 5, kStrong, {}, {}};
  scan.results.at(2) = {scan.group(2, 0), scan.group(1, 0), 0, 5, 0, 5, kStrong, {}, {}};
  EXPECT_EQ(scan.table().groups.size(), 1u);
}

TEST(FilePairs, OrderByAnyColumnPutsPairsWithoutAValueLast) {
  Scan scan;
  scan.file(0, 10);  // names f0.txt, f1.txt, ...
  scan.file(1, 20);
  scan.file(2, 10);
  scan.file(3, 0);
  scan.result(1, 0, 0, 0, 0, 9, 0, 9, kStrong);      // (1,0): 5/20 and 5/10
  scan.result(2, 0, 0, 0, 0, 3, 0, 3, kStrong + 1);  // (2,0): 2/10 and 2/10, stronger
  scan.result(2, 0, 1, 0, 0, 1, 0, 1, kWeak);        // (2,1): chance
  const FilePairTable table = scan.table();
  std::vector<std::size_t> all(table.pairs.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  // Positions: 0 (1,0), 1 (2,0), 2 (2,1), 3 (3,0), 4 (3,1), 5 (3,2).
  const std::tuple<PairColumn, bool, std::vector<std::size_t>> rows[] = {
      {PairColumn::kShare, true, {0, 1, 2, 3, 4, 5}},
      {PairColumn::kShare, false, {2, 3, 4, 5, 1, 0}},
      {PairColumn::kShareB, true, {0, 1, 2, 3, 4, 5}},
      {PairColumn::kEvalue, false, {1, 0, 2, 3, 4, 5}},
      {PairColumn::kEvalue, true, {2, 0, 1, 3, 4, 5}},
      {PairColumn::kLongest, false, {2, 3, 4, 5, 1, 0}},
      {PairColumn::kFileA, false, {0, 1, 2, 3, 4, 5}},
      {PairColumn::kFileB, false, {0, 1, 3, 2, 4, 5}},
  };
  for (const auto& [column, descending, order] : rows) {
    EXPECT_EQ(orderPairs(table, all, column, descending), order)
        << static_cast<int>(column) << ' ' << descending;
  }
  EXPECT_EQ(orderPairs(table, {5, 0}, PairColumn::kShare, true), (std::vector<std::size_t>{0, 5}));
}

TEST(FilePairs, ShareTextIsAWholePercentThatNeverHidesAShareOrOverstatesIt) {
  const std::tuple<std::int64_t, std::int64_t, const char*> rows[] = {
      {0, 10, "0 %"},       {3, 0, "0 %"},        {1, 1000, "<1 %"}, {5, 1000, "1 %"},
      {1, 3, "33 %"},       {2, 3, "67 %"},       {34, 100, "34 %"}, {994, 1000, "99 %"},
      {995, 1000, ">99 %"}, {999, 1000, ">99 %"}, {10, 10, "100 %"},
  };
  for (const auto& [shared, words, text] : rows) {
    EXPECT_EQ(shareText(shared, words), text) << shared << '/' << words;
  }
  EXPECT_EQ(cutText(0.01), "0.01");
  EXPECT_EQ(cutText(1e-5), "1e-05");
}

}  // namespace
}  // namespace orvalis
