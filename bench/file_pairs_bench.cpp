// The File Pairs table of a folder of 200 files of 2,000 words (19,900 pairs,
// three word groups a file, so 179,100 results): how long it takes to be ready
// after a scan (the statistics and the table with its groups), and to sort it
// by a column. Should stay within 0.5 s and 100 ms.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "analysis/file_pairs.h"

namespace orvalis {
namespace {

constexpr int kFiles = 200;
constexpr int kWords = 2000;
constexpr int kGroupWords = 999;

struct SyntheticScan {
  FileTable files;
  ResultTable results;

  SyntheticScan() {
    for (int f = 0; f < kFiles; ++f) {
      auto entry = std::make_unique<FileEntry>();
      entry->index = f;
      std::string name = "f";
      name += std::to_string(1000 + f).substr(1);
      entry->displayName = name + ".txt";
      for (int first = 0, key = 0; first < kWords; first += kGroupWords, ++key) {
        auto group = std::make_unique<WordGroup>();
        group->file = entry.get();
        group->startOffset = first * 6;  // words of five letters and a blank
        for (int w = first; w < std::min(kWords, first + kGroupWords); ++w) {
          group->words.push_back({"wordy", (w - first) * 6 + 5});
        }
        entry->groups.emplace(key, std::move(group));
      }
      files.emplace(f, std::move(entry));
    }
    // Every group of a file against every group of each file before it, as a
    // scan compares them: mostly chance scores, one comparison in 200 a copy.
    std::mt19937 random(7);
    std::gamma_distribution<float> chance(6.0f, 0.6f);
    std::uniform_int_distribution<int> place(0, kGroupWords - 200);
    std::uniform_int_distribution<int> length(5, 150);
    std::uniform_int_distribution<int> copy(0, 199);
    std::int32_t key = 0;
    for (int a = 1; a < kFiles; ++a) {
      for (int b = 0; b < a; ++b) {
        for (const auto& [ka, groupA] : files.at(a)->groups) {
          for (const auto& [kb, groupB] : files.at(b)->groups) {
            const bool copied = copy(random) == 0;
            const int words = copied ? length(random) : 3;
            const int startA =
                groupA->startOffset +
                6 * std::min(place(random), static_cast<int>(groupA->words.size()) - 1);
            const int startB =
                groupB->startOffset +
                6 * std::min(place(random), static_cast<int>(groupB->words.size()) - 1);
            results[key++] = {groupA.get(),
                              groupB.get(),
                              startA,
                              startA + 6 * words - 1,
                              startB,
                              startB + 6 * words - 1,
                              copied ? static_cast<float>(words) * 0.9f : chance(random),
                              {},
                              {}};
          }
        }
      }
    }
  }
};

const SyntheticScan& scan() {
  static const SyntheticScan made;
  return made;
}

// From the scan's end to the table: the statistics of the E-values, then the
// table with its shares and groups.
void BM_FilePairTableReady(benchmark::State& state) {
  const SyntheticScan& s = scan();
  for (auto _ : state) {
    const SignificanceModel model = significanceOf(s.results);
    FilePairTable table = buildFilePairs(filesOf(s.files), s.results, model);
    benchmark::DoNotOptimize(table.pairs.data());
  }
  state.counters["pairs"] = static_cast<double>(kFiles * (kFiles - 1) / 2);
  state.counters["results"] = static_cast<double>(s.results.size());
}
BENCHMARK(BM_FilePairTableReady)->Unit(benchmark::kMillisecond);

// Sorting all 19,900 rows by one column.
void BM_SortFilePairs(benchmark::State& state) {
  static const FilePairTable table = [] {
    const SyntheticScan& s = scan();
    return buildFilePairs(filesOf(s.files), s.results, significanceOf(s.results));
  }();
  std::vector<std::size_t> rows(table.pairs.size());
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = i;
  const auto column = static_cast<PairColumn>(state.range(0));
  for (auto _ : state) {
    auto ordered = orderPairs(table, rows, column, true);
    benchmark::DoNotOptimize(ordered.data());
  }
  state.SetLabel(std::to_string(table.groups.size()) + " groups");
}
BENCHMARK(BM_SortFilePairs)
    ->DenseRange(static_cast<int>(PairColumn::kFileA), static_cast<int>(PairColumn::kGroup))
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvalis

BENCHMARK_MAIN();
