// The recall of the fast scan on a folder that make_planted_folder wrote, where
// the full scan of every comparison would take too long: the reference aligns
// every comparison of every file pair that shares a planted passage (pairs.tsv),
// which holds every significant result but chance ones, and both scans fit
// their E-values to the same sample of all comparisons.
//
//   planted_recall FOLDER
//
// Prints the results of E-value at most 0.01 in the planted file pairs, how
// many of them the fast scan found, and how many the fast scan listed outside
// those pairs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/fast_scan.h"
#include "analysis/sampled_significance.h"
#include "discovery/file_discovery.h"
#include "engine/records.h"
#include "engine/seed_index.h"

namespace fs = std::filesystem;
using namespace orvalis;

namespace {

constexpr double kMaxEvalue = 0.01;

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void scan(CompareEngine& engine, const std::vector<fs::path>& paths) {
  engine.comparisonPause = std::chrono::milliseconds(0);
  engine.comparisonThreads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  engine.running = true;
  if (!engine.startScan(nullptr, paths)) throw std::runtime_error("cannot start a scan");
  engine.waitForWorker();
}

// The comparisons of E-value at most kMaxEvalue, by number.
std::set<std::int32_t> significant(const ResultTable& results, const SignificanceModel& model) {
  std::set<std::int32_t> found;
  for (const auto& [number, result] : results) {
    if (evalueOf(model, result) <= kMaxEvalue) found.insert(number);
  }
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: planted_recall FOLDER\n";
    return 2;
  }
  const fs::path folder = argv[1];
  const Discovery found = discoverFiles(folder / "f000.txt");
  std::map<std::string, std::int32_t> indexOf;
  for (std::size_t i = 0; i < found.files.size(); ++i) {
    indexOf[found.files[i].filename().string()] = static_cast<std::int32_t>(i);
  }
  std::set<std::pair<std::int32_t, std::int32_t>> planted;  // higher index first
  std::ifstream pairs(folder / "pairs.tsv");
  for (std::string a, b; pairs >> a >> b;) {
    const std::int32_t x = indexOf.at(a), y = indexOf.at(b);
    planted.insert({std::max(x, y), std::min(x, y)});
  }

  // The reference: every group pair of the planted file pairs, and the sample.
  auto start = std::chrono::steady_clock::now();
  CompareEngine reference;
  std::vector<std::int32_t> sample;
  reference.comparisonChooser = [&](const CompareEngine& engine, const MemoryBudget&) {
    ChosenComparisons chosen;
    for (const auto& [a, b] : planted) {
      const auto& groupsA = engine.fileTable.at(a)->groups;
      const auto& groupsB = engine.fileTable.at(b)->groups;
      for (const auto& [ga, groupA] : groupsA) {
        for (const auto& [gb, groupB] : groupsB) chosen.pairs.push_back({a, b, ga, gb});
      }
    }
    sample = sampleComparisons(engine.comparisonsTotal, kSignificanceSample);
    const auto sampled = comparisonPlaces(engine, sample);
    chosen.pairs.insert(chosen.pairs.end(), sampled.begin(), sampled.end());
    return chosen;
  };
  scan(reference, found.files);
  const double referenceSeconds = seconds(start);
  const SignificanceModel referenceModel =
      sampledSignificance(reference.pairResults, sample, reference.comparisonsTotal);
  std::set<std::int32_t> expected;
  for (const std::int32_t number : significant(reference.pairResults, referenceModel)) {
    const PairResult& result = reference.pairResults.at(number);
    const std::int32_t a = result.groupA->file->index, b = result.groupB->file->index;
    if (planted.contains({std::max(a, b), std::min(a, b)})) expected.insert(number);
  }

  start = std::chrono::steady_clock::now();
  CompareEngine engine;
  FastScan fast;
  chooseFastComparisons(engine, fast);
  scan(engine, found.files);
  const double fastSeconds = seconds(start);
  const std::set<std::int32_t> listed =
      significant(engine.pairResults, fastScanSignificance(engine, fast));

  std::size_t recalled = 0;
  for (const std::int32_t number : expected) recalled += listed.contains(number) ? 1 : 0;
  std::printf("files %zu, comparisons %lld, planted file pairs %zu\n", found.files.size(),
              static_cast<long long>(engine.comparisonsTotal), planted.size());
  std::printf("reference: %zu comparisons aligned in %.1f s, %zu of E <= %g in planted pairs\n",
              reference.pairResults.size(), referenceSeconds, expected.size(), kMaxEvalue);
  std::printf(
      "fast scan: %lld comparisons aligned in %.1f s, found %zu of them (%.3f %%), "
      "%zu more listed outside them\n",
      static_cast<long long>(fast.chosen), fastSeconds, recalled,
      expected.empty()
          ? 100.0
          : 100.0 * static_cast<double>(recalled) / static_cast<double>(expected.size()),
      listed.size() - std::min(listed.size(), recalled));
  return 0;
}
