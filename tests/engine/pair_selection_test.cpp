// Which file pairs a scan compares (earlier work, a pair filter) and how
// results found in a cache stand in for computed ones.
#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/comparison_cache.h"
#include "engine/scan.h"
#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

// Counts the file pairs a scan announces and compares.
struct PairCounter : ScanTarget {
  void post(std::uint32_t message, std::int64_t, std::int64_t lParam) override {
    if (message == WM_SCAN_STARTED) announced = lParam;
    if (message == WM_SCAN_PROGRESS) ++done;
  }
  void filesUnreadable(const std::vector<UnreadableFile>&) override {}
  void scanFailed(const std::string& message) override { failure = message; }
  void showNotice(const std::string&) override {}
  std::int64_t announced = -1;
  std::int64_t done = 0;
  std::string failure;
};

// `count` files of 4 to 15 words from a vocabulary of 8, so that pairs
// match in stretches of every length; named so that their order is theirs.
std::vector<std::filesystem::path> writeFiles(const testing::TempDir& dir,
                                              const std::string& prefix, int count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::filesystem::path> paths;
  for (int i = 0; i < count; ++i) {
    std::string text;
    const int words = 4 + static_cast<int>(random() % 12);
    for (int w = 0; w < words; ++w) text += "w" + std::to_string(random() % 8) + " ";
    paths.push_back(dir.write(prefix + std::to_string(1000 + i) + ".txt", text));
  }
  return paths;
}

// Everything a result says, its files by index and its score by its bits.
std::string describe(const PairResult& r) {
  return std::to_string(r.groupA->file->index) + "/" + std::to_string(r.groupB->file->index) + " " +
         std::to_string(r.startA) + "-" + std::to_string(r.endA) + " " + std::to_string(r.startB) +
         "-" + std::to_string(r.endB) + " " +
         std::to_string(std::bit_cast<std::uint32_t>(r.score)) + " " + r.consensusA + "|" +
         r.consensusB;
}

struct ScanRun {
  std::vector<std::string> results;  // in comparison order
  PairCounter counter;
};

void runScan(CompareEngine& engine, std::vector<std::filesystem::path> paths,
             std::vector<std::filesystem::path> earlier, ScanRun& run) {
  engine.comparisonPause = std::chrono::milliseconds(0);
  engine.running = true;
  ASSERT_TRUE(engine.startScan(&run.counter, std::move(paths), std::move(earlier)));
  engine.waitForWorker();
  ASSERT_EQ(run.counter.failure, "");
  std::int32_t expected = 0;
  for (const auto& [number, result] : engine.pairResults) {
    ASSERT_EQ(number, expected++);  // numbered without gaps
    run.results.push_back(describe(result));
  }
}

TEST(EarlierWork, ComparesEveryPairWithANewFileAndGivesTheFullScansResultsForThem) {
  const testing::TempDir dir;
  const auto fresh = writeFiles(dir, "new", 30, 1);
  const auto earlier = writeFiles(dir, "old", 600, 2);
  const std::int64_t expectedPairs = 30 * 629 - 30 * 29 / 2;

  // The same 630 files scanned as one folder in the same order, kept to the
  // pairs with a new file.
  CompareEngine whole;
  whole.comparisonThreads = 2;
  std::vector<std::filesystem::path> all = fresh;
  all.insert(all.end(), earlier.begin(), earlier.end());
  ScanRun full;
  runScan(whole, all, {}, full);
  EXPECT_EQ(full.counter.announced, 630 * 629 / 2);
  std::vector<std::string> kept;
  for (const auto& [number, result] : whole.pairResults) {
    if (result.groupA->file->index < 30 || result.groupB->file->index < 30) {
      kept.push_back(full.results[static_cast<std::size_t>(number)]);
    }
  }

  for (const int threads : {1, 2}) {
    CompareEngine restricted;
    restricted.comparisonThreads = threads;
    ScanRun part;
    runScan(restricted, fresh, earlier, part);
    EXPECT_EQ(part.counter.announced, expectedPairs);
    EXPECT_EQ(part.counter.done, expectedPairs);
    EXPECT_EQ(restricted.filePairsCompared, expectedPairs);
    for (const auto& [index, file] : restricted.fileTable) EXPECT_EQ(file->earlier, index >= 30);
    ASSERT_EQ(part.results.size(), kept.size());
    EXPECT_TRUE(part.results == kept) << threads << " threads";
  }
}

TEST(PairFilter, LeavesOutThePairsItRefusesWithoutNumberingThem) {
  const testing::TempDir dir;
  const auto paths = writeFiles(dir, "f", 5, 3);
  CompareEngine engine;
  // Only pairs whose indices differ by one.
  engine.pairFilter = [](const FileEntry& a, const FileEntry& b) { return a.index - b.index == 1; };
  ScanRun run;
  runScan(engine, paths, {}, run);
  EXPECT_EQ(run.counter.announced, 4);
  ASSERT_EQ(run.results.size(), 4u);  // one group each
  EXPECT_EQ(run.results[0].substr(0, 4), "1/0 ");
  EXPECT_EQ(run.results[3].substr(0, 4), "4/3 ");
}

// A cache in memory that counts what it is asked and told.
struct MemoryCache : ComparisonCache {
  bool find(const ComparisonKey& key, std::size_t, std::vector<PairResult>& results) override {
    ++finds;
    for (const auto& [stored, kept] : entries) {
      if (stored == key) {  // whatever the count: the engine must check it
        results = kept;
        for (PairResult& result : results) result.groupA = result.groupB = nullptr;
        return true;
      }
    }
    return false;
  }
  void store(const ComparisonKey& key, const std::vector<PairResult>& results) override {
    ++stores;
    entries.emplace_back(key, results);
  }
  void scanEnded() override { ++endings; }
  std::vector<std::pair<ComparisonKey, std::vector<PairResult>>> entries;
  int finds = 0, stores = 0, endings = 0;
};

TEST(ResultCache, ARescanTakesUnchangedPairsFromTheCacheAndGivesTheSameResults) {
  const testing::TempDir dir;
  auto paths = writeFiles(dir, "f", 6, 4);
  MemoryCache cache;
  const auto scanWith = [&](int threads) {
    CompareEngine engine;
    engine.groupSize = 6;  // files of one to three groups
    engine.comparisonThreads = threads;
    engine.resultCache = &cache;
    ScanRun run;
    runScan(engine, paths, {}, run);
    return std::make_pair(run.results, engine.filePairsFromCache);
  };
  const auto first = scanWith(1);
  EXPECT_EQ(first.second, 0);
  EXPECT_EQ(cache.stores, 15);
  EXPECT_EQ(cache.endings, 1);

  const auto again = scanWith(2);
  EXPECT_EQ(again.second, 15);
  EXPECT_EQ(cache.stores, 15);  // nothing computed, nothing stored
  EXPECT_TRUE(again.first == first.first);

  // One file changed: its five pairs are computed and stored, the rest found.
  dir.write(paths[2].filename(), "w1 w2 w3 w4 w5 w6 w7 w8 w9 w10 w11 w1 w2 w3");
  const auto changed = scanWith(2);
  EXPECT_EQ(changed.second, 10);
  EXPECT_EQ(cache.stores, 20);

  // Other settings make other keys: nothing found.
  CompareEngine engine;
  engine.groupSize = 6;
  engine.mismatchScore = -0.4f;
  engine.resultCache = &cache;
  ScanRun run;
  runScan(engine, paths, {}, run);
  EXPECT_EQ(engine.filePairsFromCache, 0);
}

TEST(ResultCache, StoredResultsOfTheWrongCountAreNotUsed) {
  const testing::TempDir dir;
  const auto paths = writeFiles(dir, "f", 3, 5);
  MemoryCache cache;
  {
    CompareEngine engine;
    engine.resultCache = &cache;
    ScanRun run;
    runScan(engine, paths, {}, run);
  }
  for (auto& [key, results] : cache.entries) results.push_back(results.front());
  CompareEngine engine;
  engine.resultCache = &cache;
  ScanRun run;
  runScan(engine, paths, {}, run);
  EXPECT_EQ(engine.filePairsFromCache, 0);
  EXPECT_EQ(run.results.size(), 3u);
}

}  // namespace
}  // namespace orvalis
