#include "analysis/significance.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <map>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

namespace orvalis {
namespace {

// Word scores lie on a coarse lattice: in English text most chance matches are
// runs of two to four words, so the lowest fifth or so of the scores are a few
// tied values that say little about the tail. The middle and upper middle do;
// the top tenth, where copies stand, is left out.
constexpr double kLowestPosition = 0.30;
constexpr double kHighestPosition = 0.90;
constexpr int kMaxFitRounds = 200;
constexpr int kMaxTrimRounds = 20;
// Matches this unlikely by chance in the whole scan are taken for copies.
constexpr double kTrimEvalue = 0.01;

SignificanceModel fixedModel(std::int64_t comparisons) {
  return {kFixedLambda, kFixedK, comparisons, 0};
}

std::int64_t wordsOf(const WordGroup* group) {
  return group != nullptr ? static_cast<std::int64_t>(group->words.size()) : 0;
}

// The steps of a consensus string: a word followed by one blank, or " * " for a
// gap. A word never begins with a blank, so a leading blank marks the gap.
std::vector<std::string_view> consensusSteps(std::string_view text) {
  std::vector<std::string_view> steps;
  std::size_t at = 0;
  while (at < text.size()) {
    if (text[at] == ' ') {
      steps.push_back({});  // a gap
      at += std::min<std::size_t>(3, text.size() - at);
      continue;
    }
    const std::size_t end = std::min(text.find(' ', at), text.size());
    steps.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return steps;
}

}  // namespace

namespace {

struct Law {
  double lambda = 0.0;
  double k = 0.0;
};

// Sorts `items` by value with an insertion sort that gives up after `budget`
// moves, which leaves them in some order; false then.
template <typename Item>
bool sortedByInsertion(std::vector<Item>& items, std::size_t budget) {
  std::size_t moves = 0;
  for (std::size_t i = 1; i < items.size(); ++i) {
    const Item item = items[i];
    std::size_t j = i;
    for (; j > 0 && item.value < items[j - 1].value; --j) {
      if (++moves > budget) {
        items[j] = item;
        return false;
      }
      items[j] = items[j - 1];
    }
    items[j] = item;
  }
  return true;
}

// A sample's x = S − ln(m·n)/λ.
struct Adjusted {
  double value;
  std::uint32_t sample;
};

// λ and K of samples (score, ln m·n) that are all chance matches; none when the
// scores do not spread (all equal, say) and so say nothing about λ. `adjusted`
// is work space, kept from call to call.
std::optional<Law> fitLaw(const std::vector<std::pair<double, double>>& usable,
                          std::vector<Adjusted>& adjusted) {
  // The Gumbel quantiles at the plotting positions (i + 0.5) / count used in the
  // line, and their mean and spread, which stay the same in every round.
  const std::size_t count = usable.size();
  const auto first = static_cast<std::size_t>(std::ceil(kLowestPosition * count - 0.5));
  const auto last = std::min(count - 1, static_cast<std::size_t>(kHighestPosition * count - 0.5));
  std::vector<double> quantiles;
  quantiles.reserve(last + 1 - first);
  for (std::size_t i = first; i <= last; ++i) {
    const double position = (static_cast<double>(i) + 0.5) / static_cast<double>(count);
    quantiles.push_back(-std::log(-std::log(position)));
  }
  double meanQuantile = 0.0;
  for (const double q : quantiles) meanQuantile += q;
  meanQuantile /= static_cast<double>(quantiles.size());
  double quantileSpread = 0.0;
  for (const double q : quantiles) quantileSpread += (q - meanQuantile) * (q - meanQuantile);

  // The sorted x = S − ln(m·n)/λ and their mean over the line's positions.
  // The order of the adjusted scores changes little from one λ to the next:
  // each round computes them in the last round's order, and a sort by
  // insertion puts the few that moved in place. A round whose λ moved far
  // falls back to a full sort. Either way the sorted values are the same.
  adjusted.resize(count);
  for (std::size_t i = 0; i < count; ++i) adjusted[i].sample = static_cast<std::uint32_t>(i);
  const auto adjust = [&](double lambda) {
    for (Adjusted& item : adjusted) {
      item.value = usable[item.sample].first - usable[item.sample].second / lambda;
    }
    if (!sortedByInsertion(adjusted, count)) {
      std::sort(adjusted.begin(), adjusted.end(),
                [](const Adjusted& a, const Adjusted& b) { return a.value < b.value; });
    }
    double mean = 0.0;
    for (std::size_t i = first; i <= last; ++i) mean += adjusted[i].value;
    return mean / static_cast<double>(quantiles.size());
  };

  double lambda = kFixedLambda;
  for (int round = 0; round < kMaxFitRounds; ++round) {
    const double meanAdjusted = adjust(lambda);
    double covariance = 0.0;
    for (std::size_t i = first; i <= last; ++i) {
      covariance += (adjusted[i].value - meanAdjusted) * (quantiles[i - first] - meanQuantile);
    }
    const double scale = covariance / quantileSpread;
    if (!(scale > 0.0) || !std::isfinite(scale)) return std::nullopt;
    const double next = 1.0 / scale;
    const bool settled = std::fabs(next - lambda) <= 1e-12 * lambda;
    lambda = next;
    if (settled) break;
  }
  // The location with the x of the final λ, so that K agrees with it.
  const double location = adjust(lambda) - meanQuantile / lambda;
  const double k = std::exp(lambda * location);
  if (!std::isfinite(lambda) || !std::isfinite(k) || !(k > 0.0)) return std::nullopt;
  return Law{lambda, k};
}

}  // namespace

SignificanceModel fitSignificance(std::span<const ScoreSample> samples, std::int64_t comparisons) {
  ChanceSamples usable;
  usable.reserve(samples.size());
  for (const ScoreSample& sample : samples) usable.add(sample);
  return std::move(usable).fit(comparisons);
}

SignificanceModel ChanceSamples::fit(std::int64_t comparisons) && {
  std::vector<std::pair<double, double>> usable = std::move(usable_);
  if (usable.size() < kMinFitComparisons) return fixedModel(comparisons);
  // Sorted, so that the fit depends on the samples as a set, not their order.
  std::sort(usable.begin(), usable.end());

  // Copies raise the plotting positions of every chance score by their share.
  // Samples that the law fitted so far calls far beyond chance (scan-wide
  // E-value below kTrimEvalue) are left out and the law fitted again, until
  // the samples kept stay the same.
  const double trials = static_cast<double>(std::max<std::int64_t>(comparisons, 1));
  std::vector<std::pair<double, double>> kept = usable;
  std::vector<Adjusted> adjusted;
  std::optional<Law> law;
  for (int round = 0; round < kMaxTrimRounds; ++round) {
    const std::optional<Law> next = fitLaw(kept, adjusted);
    if (!next) break;
    law = next;
    const double logTrialsK = std::log(trials * law->k);
    const double logTrimEvalue = std::log(kTrimEvalue);
    const auto chance = [&](const std::pair<double, double>& sample) {
      const double logE = logTrialsK + sample.second - law->lambda * sample.first;
      return logE >= logTrimEvalue;
    };
    const auto chanceCount =
        static_cast<std::size_t>(std::count_if(usable.begin(), usable.end(), chance));
    if (chanceCount == kept.size() || chanceCount < kMinFitComparisons) break;
    kept.clear();  // its capacity holds every usable sample
    std::copy_if(usable.begin(), usable.end(), std::back_inserter(kept), chance);
  }
  if (!law) return fixedModel(comparisons);
  return {law->lambda, law->k, comparisons, static_cast<std::int64_t>(kept.size())};
}

std::string SignificanceModel::noteText() const {
  if (!note.empty()) return note;
  return usesFixedValues() ? kFixedValuesNote : std::string();
}

SignificanceModel significanceOf(const ResultTable& results) {
  ChanceSamples samples;
  samples.reserve(results.size());
  for (const auto& [key, result] : results) {
    samples.add({result.score, wordsOf(result.groupA), wordsOf(result.groupB)});
  }
  return std::move(samples).fit(static_cast<std::int64_t>(results.size()));
}

double logEvalue(const SignificanceModel& model, float score, std::int64_t wordsA,
                 std::int64_t wordsB) {
  // A group has at least one word; the guard keeps the logarithm finite.
  const double m = static_cast<double>(std::max<std::int64_t>(wordsA, 1));
  const double n = static_cast<double>(std::max<std::int64_t>(wordsB, 1));
  const double trials = static_cast<double>(std::max<std::int64_t>(model.comparisons, 1));
  // m·n first, exactly, so that groups of equal product give equal E-values.
  return std::log(trials * model.k * (m * n)) - model.lambda * static_cast<double>(score);
}

double logEvalue(const SignificanceModel& model, const PairResult& result) {
  return logEvalue(model, result.score, wordsOf(result.groupA), wordsOf(result.groupB));
}

double evalueOf(const SignificanceModel& model, const PairResult& result) {
  return std::exp(logEvalue(model, result));
}

std::string evalueText(double evalue) {
  if (std::isnan(evalue)) return "nan";
  std::array<char, 64> text{};
  const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), evalue,
                                          std::chars_format::scientific, 2);
  if (error != std::errc()) return "nan";
  return std::string(text.data(), end);
}

std::string strongLineText(const PairResult& result, double evalue) {
  return resultLineText(result) + " E=" + evalueText(evalue);
}

std::vector<ListedResult> listByEvalue(const ResultTable& results, const SignificanceModel& model,
                                       double maxEvalue, bool showAll) {
  struct Candidate {
    double logE;
    std::int32_t key;
    const PairResult* result;
  };
  std::vector<Candidate> candidates;
  for (const auto& [key, result] : results) {
    const double logE = logEvalue(model, result);
    if (showAll || std::exp(logE) <= maxEvalue) candidates.push_back({logE, key, &result});
  }
  // Stable: equal E-values keep the key order the map gave.
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.logE < b.logE; });
  std::vector<ListedResult> listed;
  listed.reserve(candidates.size());
  for (const Candidate& c : candidates) {
    const double evalue = std::exp(c.logE);
    listed.push_back({strongLineText(*c.result, evalue), c.key, c.result, evalue});
  }
  return listed;
}

void setEvalues(std::vector<ListedResult>& listed, const SignificanceModel& model) {
  for (ListedResult& item : listed) {
    if (item.result != nullptr) item.evalue = evalueOf(model, *item.result);
  }
}

std::int64_t matchedWords(const PairResult& result) {
  const auto stepsA = consensusSteps(result.consensusA);
  const auto stepsB = consensusSteps(result.consensusB);
  std::int64_t matched = 0;
  for (std::size_t i = 0; i < std::min(stepsA.size(), stepsB.size()); ++i) {
    if (!stepsA[i].empty() && stepsA[i] == stepsB[i]) ++matched;
  }
  return matched;
}

std::vector<FilePair> aggregatePairs(const std::vector<ListedResult>& listed) {
  std::map<std::pair<std::int32_t, std::int32_t>, FilePair> pairs;
  for (const ListedResult& item : listed) {
    const PairResult* result = item.result;
    if (result == nullptr || result->groupA == nullptr || result->groupB == nullptr) continue;
    const FileEntry* fileA = result->groupA->file;
    const FileEntry* fileB = result->groupB->file;
    if (fileA == nullptr || fileB == nullptr) continue;
    FilePair& pair = pairs[{fileA->index, fileB->index}];
    const bool stronger = pair.best == nullptr || item.evalue < pair.bestEvalue ||
                          (item.evalue == pair.bestEvalue && item.comparison < pair.bestComparison);
    if (stronger) {
      pair.fileA = fileA;
      pair.fileB = fileB;
      pair.best = result;
      pair.bestComparison = item.comparison;
      pair.bestEvalue = item.evalue;
    }
    ++pair.results;
    pair.wordsMatched += matchedWords(*result);
  }
  std::vector<FilePair> ordered;
  ordered.reserve(pairs.size());
  for (auto& [key, pair] : pairs) ordered.push_back(pair);
  std::sort(ordered.begin(), ordered.end(), [](const FilePair& a, const FilePair& b) {
    if (a.bestEvalue != b.bestEvalue) return a.bestEvalue < b.bestEvalue;
    return a.bestComparison < b.bestComparison;
  });
  return ordered;
}

std::string pairLineText(const FilePair& pair) {
  // The result line's names and score, then what the pair adds.
  std::string line = pair.best != nullptr ? resultLineText(*pair.best) : std::string("()");
  const auto open = line.rfind(" (");
  const std::string score = line.substr(open + 2, line.size() - open - 3);
  line.erase(open);
  line += ": best score " + score + ", E=" + evalueText(pair.bestEvalue) + ", " +
          std::to_string(pair.results) + (pair.results == 1 ? " result, " : " results, ") +
          std::to_string(pair.wordsMatched) + (pair.wordsMatched == 1 ? " word" : " words") +
          " matched";
  return line;
}

}  // namespace orvalis
