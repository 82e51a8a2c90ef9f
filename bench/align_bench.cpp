// Speed of the word alignment, of word splitting and grouping, and of giving
// words their ids, on English text (the license texts of /usr/share/common-licenses).
//
//   build/dev/bench/orvalis_bench
//   build/dev/bench/orvalis_bench --benchmark_filter=Align --benchmark_repetitions=3
//
// The alignment benchmarks report ns/cell: time per comparison divided by the
// nA * nB cells of its matrix. The whole-scan benchmark is scripts/bench-scan.
#include <benchmark/benchmark.h>

#include <random>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <string>
#include <vector>

#include "bench/english.h"
#include "engine/align.h"
#include "engine/records.h"
#include "engine/text.h"
#include "tests/engine/align_reference.h"

namespace orvalis {
namespace {

constexpr std::size_t kGroupWords = 999;  // the longest group of the default group size

enum PairKind { kUnrelated = 0, kSharedPassage = 1 };

// Two 999-word groups of English. Unrelated: from two different licenses.
// Shared passage: the second holds a lightly edited copy (about one word in 15
// changed) of a 200-word passage of the first, amid text of another license.
struct GroupPair {
  FileEntry fileA;
  FileEntry fileB;
  const WordGroup* groupA = nullptr;
  const WordGroup* groupB = nullptr;

  explicit GroupPair(PairKind kind) {
    const auto gpl = bench::licenseWords("GPL-3");
    const auto apache = bench::licenseWords("Apache-2.0");
    const auto mpl = bench::licenseWords("MPL-2.0");
    std::vector<std::string> a = bench::window(gpl, 1000, kGroupWords);
    std::vector<std::string> b;
    if (kind == kUnrelated) {
      b = bench::window(apache, 100, kGroupWords);
    } else {
      std::mt19937 random(7);
      b = bench::window(mpl, 200, 400);
      for (auto& word : bench::editLightly(bench::window(a, 500, 200), 15, random)) {
        b.push_back(std::move(word));
      }
      for (auto& word : bench::window(mpl, 1500, kGroupWords - b.size())) b.push_back(word);
    }
    b.resize(kGroupWords);
    groupWords(fileA, splitWords(bench::joinWords(a)), static_cast<std::int32_t>(kGroupWords + 1));
    groupWords(fileB, splitWords(bench::joinWords(b)), static_cast<std::int32_t>(kGroupWords + 1));
    groupA = fileA.groups.at(0).get();
    groupB = fileB.groups.at(0).get();
    giveWordIds({fileA.groups.at(0).get(), fileB.groups.at(0).get()});
  }

  double cells() const { return static_cast<double>(groupA->words.size() * groupB->words.size()); }
};

void reportNsPerCell(benchmark::State& state, double cells) {
  state.counters["ns/cell"] = benchmark::Counter(
      cells * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// alignGroups on one kernel: range(0) the kernel, range(1) the pair kind.
void BM_Align(benchmark::State& state) {
  const auto kernel = static_cast<AlignKernel>(state.range(0));
  if (!alignKernelSupported(kernel)) {
    state.SkipWithError("this processor lacks the kernel");
    return;
  }
  const GroupPair pair(static_cast<PairKind>(state.range(1)));
  AlignWorkspace workspace;
  workspace.kernel = kernel;
  PairResult result;
  result.groupA = pair.groupA;
  result.groupB = pair.groupB;
  for (auto _ : state) {
    benchmark::DoNotOptimize(alignGroups(AlignScores{}, workspace, result, 0, 0));
  }
  state.SetLabel(std::string(alignKernelName(kernel)) +
                 (state.range(1) == kUnrelated ? " unrelated" : " shared passage") + " score " +
                 std::to_string(result.score));
  reportNsPerCell(state, pair.cells());
}
BENCHMARK(BM_Align)
    ->ArgsProduct({{static_cast<int>(AlignKernel::kPortable), static_cast<int>(AlignKernel::kAvx2),
                    static_cast<int>(AlignKernel::kAvx512)},
                   {kUnrelated, kSharedPassage}})
    ->ArgNames({"kernel", "pair"})
    ->Unit(benchmark::kMicrosecond);

// The plain reference of the tests, on the same pairs: the yardstick for the
// ratios.
void BM_AlignPlainReference(benchmark::State& state) {
  const GroupPair pair(static_cast<PairKind>(state.range(0)));
  PairResult result;
  result.groupA = pair.groupA;
  result.groupB = pair.groupB;
  for (auto _ : state) {
    benchmark::DoNotOptimize(testing::referenceAlign(-0.33f, -0.5f, result, 0, 0));
  }
  state.SetLabel(state.range(0) == kUnrelated ? "unrelated" : "shared passage");
  reportNsPerCell(state, pair.cells());
}
BENCHMARK(BM_AlignPlainReference)
    ->Arg(kUnrelated)
    ->Arg(kSharedPassage)
    ->ArgName("pair")
    ->Unit(benchmark::kMillisecond);

// A 50 MB text: the license texts over and over.
const std::string& fiftyMegabytes() {
  static const std::string text = [] {
    const std::string corpus = bench::joinWords(bench::allLicenseWords());
    std::string all;
    while (all.size() < 50'000'000) all += corpus;
    all.resize(50'000'000);
    return all;
  }();
  return text;
}

// Word splitting and grouping (the default group size) of the 50 MB text.
void BM_SplitAndGroup(benchmark::State& state) {
  const std::string& text = fiftyMegabytes();
  for (auto _ : state) {
    FileEntry entry;
    groupWords(entry, splitWords(text), kDefaultGroupSize);
    benchmark::DoNotOptimize(entry.groups.size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_SplitAndGroup)->Unit(benchmark::kMillisecond);

// Giving every word of the 50 MB text its id, as a scan does once.
void BM_GiveWordIds(benchmark::State& state) {
  const std::string& text = fiftyMegabytes();
  FileEntry entry;
  groupWords(entry, splitWords(text), kDefaultGroupSize);
  std::vector<WordGroup*> groups;
  for (auto& [number, group] : entry.groups) groups.push_back(group.get());
  for (auto _ : state) {
    giveWordIds(groups);
    benchmark::DoNotOptimize(groups.front()->wordIds.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_GiveWordIds)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvalis

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // The plain reference allocates its three matrices on every call. Left to
  // itself, the C library returns them to the system after each call and the
  // next call faults them back in, which then costs more than the alignment
  // and varies with the heap's history; keeping freed memory measures the
  // reference's own work, and only flatters it.
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
