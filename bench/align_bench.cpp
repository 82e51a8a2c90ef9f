// Speed of the word alignment and of whole scans.
//
//   build/dev/bench/orvalis_bench
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/align.h"
#include "engine/records.h"
#include "engine/scan.h"
#include "engine/text.h"

namespace orvalis {
namespace {

// An essay-like text: words drawn from a vocabulary of `vocabulary` words.
std::string randomText(std::size_t words, std::size_t vocabulary, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> pick(0, vocabulary - 1);
  std::string text;
  for (std::size_t i = 0; i < words; ++i) {
    text.append("word").append(std::to_string(pick(random)));
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
  // Built by appending: `" " + std::string` makes g++ 12 at -O3 report a false
  // overlap (-Wrestrict) inside the standard library's insert.
  std::string passage(" ");
  passage.append(textA, textA.size() / 3, textA.size() / 3).append(" ");
  textB.insert(textB.size() / 2, passage);
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

// A whole scan without pauses: 12 essays of 1500 words (two groups each), on
// one or more comparison threads.
void BM_ScanFolder(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / "orvalis-bench-scan";
  std::filesystem::create_directories(folder);
  std::vector<std::filesystem::path> paths;
  for (std::uint32_t i = 0; i < 12; ++i) {
    paths.push_back(folder / ("essay" + std::to_string(i) + ".txt"));
    std::ofstream(paths.back(), std::ios::binary) << randomText(1500, 3000, 100 + i);
  }
  for (auto _ : state) {
    CompareEngine engine;
    engine.comparisonPause = std::chrono::milliseconds(0);
    engine.comparisonThreads = static_cast<int>(state.range(0));
    engine.running = true;
    engine.startScan(nullptr, paths);
    engine.waitForWorker();
    benchmark::DoNotOptimize(engine.pairResults.size());
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ScanFolder)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvalis

BENCHMARK_MAIN();
