#include "analysis/sampled_significance.h"

#include <algorithm>
#include <unordered_set>

namespace orvalis {
namespace {

// SplitMix64: a small generator whose output is fixed by its definition, unlike
// the standard library's distributions.
class Generator {
 public:
  explicit Generator(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

 private:
  std::uint64_t state_;
};

}  // namespace

std::vector<std::int32_t> sampleComparisons(std::int64_t total, std::int64_t count) {
  std::vector<std::int32_t> numbers;
  if (total <= 0 || count <= 0) return numbers;
  if (count >= total) {
    numbers.resize(static_cast<std::size_t>(total));
    for (std::int64_t i = 0; i < total; ++i)
      numbers[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(i);
    return numbers;
  }
  // Floyd's draw of `count` distinct numbers, each set of them equally likely.
  Generator generator(0x5eed5a3b1e0fULL ^ static_cast<std::uint64_t>(total));
  std::unordered_set<std::int64_t> taken;
  for (std::int64_t j = total - count; j < total; ++j) {
    const auto t = static_cast<std::int64_t>(generator.next() % static_cast<std::uint64_t>(j + 1));
    taken.insert(taken.contains(t) ? j : t);
  }
  numbers.assign(taken.begin(), taken.end());
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

SignificanceModel sampledSignificance(const ResultTable& results,
                                      std::span<const std::int32_t> sampled,
                                      std::int64_t comparisons) {
  std::vector<ScoreSample> samples;
  samples.reserve(sampled.size());
  for (const std::int32_t number : sampled) {
    const auto found = results.find(number);
    if (found == results.end()) continue;
    const PairResult& result = found->second;
    const auto words = [](const WordGroup* group) {
      return group != nullptr ? static_cast<std::int64_t>(group->words.size()) : 0;
    };
    samples.push_back({result.score, words(result.groupA), words(result.groupB)});
  }
  return fitSignificance(samples, comparisons);
}

}  // namespace orvalis
