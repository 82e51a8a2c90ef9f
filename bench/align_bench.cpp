// Speed of the word alignment and of whole scans.
//
//   build/dev/bench/orvalis_bench
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/align.h"
#include "engine/records.h"
#include "engine/text.h"

namespace orvalis {
namespace {

// An essay-like text: words drawn from a vocabulary of `vocabulary` words.
std::string randomText(std::size_t words, std::size_t vocabulary, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> pick(0, vocabulary - 1);
  std::string text;
  for (std::size_t i = 0; i < words; ++i) {
    text += "word" + std::to_string(pick(random));
    text += (i % 12 == 11) ? '\n' : ' ';
  }
  return text;
}

WordGroup makeGroup(const std::string& text) {
  WordGroup group;
  group.words = splitWords(text);
  return group;
}

// One comparison of two full groups (999 words each, the default maximum), the
// second holding a 300-word passage of the first.
void BM_AlignFullGroups(benchmark::State& state) {
  const auto vocabulary = static_cast<std::size_t>(state.range(0));
  const std::string textA = randomText(999, vocabulary, 1);
  std::string textB = randomText(699, vocabulary, 2);
  textB.insert(textB.size() / 2, " " + textA.substr(textA.size() / 3, textA.size() / 3) + " ");
  WordGroup groupA = makeGroup(textA);
  WordGroup groupB = makeGroup(textB);
  groupB.words.resize(std::min<std::size_t>(groupB.words.size(), 999));

  AlignWorkspace workspace;
  PairResult result;
  result.groupA = &groupA;
  result.groupB = &groupB;
  for (auto _ : state) {
    benchmark::DoNotOptimize(alignGroups(AlignScores{}, workspace, result, 0, 0));
  }
  const double cells = static_cast<double>(groupA.words.size() * groupB.words.size());
  state.counters["cells/s"] =
      benchmark::Counter(cells, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_AlignFullGroups)->Arg(50)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvalis

BENCHMARK_MAIN();
