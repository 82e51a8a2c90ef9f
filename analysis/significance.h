// How significant each result of a scan is: the statistics of chance local
// alignments fitted to the scan's own scores, E-values, the listing of the
// strongest results and the file pairs they fall into. Shared by the results
// window, orvalis-scan and the HTML report.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "analysis/result_listing.h"

namespace orvalis {

// Chance matches follow an extreme-value law: between unrelated groups of m and
// n words, a score of at least S turns up K·m·n·e^(−λ·S) times in one comparison.
// A scan makes `comparisons` such comparisons, so the E-value of a result, the
// number of matches at least as strong as it that chance alone gives in the
// whole scan, is comparisons · K · m · n · e^(−λ·S).
struct SignificanceModel {
  double lambda = 0.0;
  double k = 0.0;
  std::int64_t comparisons = 0;  // results of the scan
  std::int64_t fitted = 0;       // comparisons the fit used; 0 when the fixed values are used
  // What the statistics rest on when they are not the plain fit to all
  // comparisons (or the fixed values for too few): empty otherwise.
  std::string note = {};
  bool usesFixedValues() const { return fitted == 0; }
  // The note to show with the E-values: `note`, or the fixed values' note.
  std::string noteText() const;
};

// Values fitted to English text (a folder of 200 files of 2,000 words made by
// scripts/planted-folder from a word model of the licence texts that every
// Debian system has), used when a scan has too few comparisons to fit.
inline constexpr double kFixedLambda = 2.58;
inline constexpr double kFixedK = 0.0042;

// A fit needs this many comparisons between groups of at least kMinFitWords
// words each; smaller groups follow the law too loosely to take part.
inline constexpr std::size_t kMinFitComparisons = 300;
inline constexpr std::size_t kMinFitWords = 30;

inline constexpr const char* kFixedValuesNote =
    "Too few comparisons to fit the statistics of chance matches: E-values use fixed values "
    "measured on English text.";

// The E-value cut of the results window's "Strongest first".
inline constexpr double kStrongestMaxEvalue = 0.01;

// One comparison as the fit sees it: its score and its two groups' word counts.
struct ScoreSample {
  float score = 0.0f;
  std::int64_t wordsA = 0;
  std::int64_t wordsB = 0;
};

// Fits λ and K to samples of which nearly all compare unrelated texts. With x =
// S − ln(m·n)/λ, chance scores follow a Gumbel law of scale 1/λ and location
// ln(K)/λ; λ and the location come from a least-squares line through the
// sorted x against the Gumbel quantiles at the plotting positions from 30 % to
// 90 %, repeated as λ changes x. Then the samples whose E-value under the law
// is below 0.01 are taken for copies, left out, and the law fitted again, until
// the samples kept stay the same; so copies, at the top, move no position.
// Uses the fixed values when fewer than kMinFitComparisons samples have both
// groups of kMinFitWords words or more, or when they cannot be fitted. The
// result depends only on the samples as a set; `fitted` counts those kept.
SignificanceModel fitSignificance(std::span<const ScoreSample> samples, std::int64_t comparisons);

// The samples of a fit gathered one by one, without a list of them all: each
// sample that the law describes is kept as (score, ln m·n), the others are
// left out as the fit leaves them out.
class ChanceSamples {
 public:
  void reserve(std::size_t count) { usable_.reserve(count); }
  void add(const ScoreSample& sample) {
    if (sample.wordsA < static_cast<std::int64_t>(kMinFitWords) ||
        sample.wordsB < static_cast<std::int64_t>(kMinFitWords) || !std::isfinite(sample.score)) {
      return;
    }
    usable_.emplace_back(sample.score, std::log(static_cast<double>(sample.wordsA) *
                                                static_cast<double>(sample.wordsB)));
  }
  // fitSignificance of the samples added, which are then spent.
  SignificanceModel fit(std::int64_t comparisons) &&;

 private:
  std::vector<std::pair<double, double>> usable_;
};

// The model of a scan's results.
SignificanceModel significanceOf(const ResultTable& results);

// Natural logarithm of the E-value, finite for every score (the E-value itself
// underflows to 0 for very long matches).
double logEvalue(const SignificanceModel& model, float score, std::int64_t wordsA,
                 std::int64_t wordsB);
double logEvalue(const SignificanceModel& model, const PairResult& result);
double evalueOf(const SignificanceModel& model, const PairResult& result);

// An E-value with three significant digits in the same form on every platform:
// "1.23e-05". Not a number gives "nan".
std::string evalueText(double evalue);

// "first & second (score) E=1.23e-05": the line of a result listed by E-value.
std::string strongLineText(const PairResult& result, double evalue);

// The results whose E-value is at most maxEvalue (every result when showAll is
// set), smallest E-value first, equal E-values in key order; each line as
// strongLineText gives it. Not capped: a front end caps what it shows.
std::vector<ListedResult> listByEvalue(const ResultTable& results, const SignificanceModel& model,
                                       double maxEvalue, bool showAll);

// Sets the evalue field of every listed result.
void setEvalues(std::vector<ListedResult>& listed, const SignificanceModel& model);

// All the listed results of one pair of files.
struct FilePair {
  const FileEntry* fileA = nullptr;  // the higher file index, as in every result
  const FileEntry* fileB = nullptr;
  const PairResult* best = nullptr;  // the result with the smallest E-value
  std::int32_t bestComparison = 0;
  double bestEvalue = 0.0;
  int results = 0;
  std::int64_t wordsMatched = 0;  // identical aligned words, over the results
};

// Identical words aligned with each other in a result: the steps of its two
// consensus strings where both sides hold the same word.
std::int64_t matchedWords(const PairResult& result);

// The file pairs of `listed`, whose evalue fields are set: smallest best E-value
// first, pairs of equal E-values in the key order of their best results.
std::vector<FilePair> aggregatePairs(const std::vector<ListedResult>& listed);

// "first & second: best score 31.67, E=1.23e-05, 2 results, 58 words matched"
std::string pairLineText(const FilePair& pair);

}  // namespace orvalis
