// Which file pairs a scan compares when some files are earlier work.
#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <string>
#include <vector>

#include "engine/scan.h"
#include "tests/support/scan_fixture.h"

namespace orvalis {
namespace {

struct PairCounter : ScanTarget {
  void post(std::uint32_t message, std::int64_t, std::int64_t lParam) override {
    if (message == WM_SCAN_STARTED) announced = lParam;
    if (message == WM_SCAN_PROGRESS) ++done;
  }
  void filesUnreadable(const std::vector<UnreadableFile>&) override {}
  void scanFailed(const std::string&) override {}
  void showNotice(const std::string&) override {}
  std::int64_t announced = -1, done = 0;
};

// `count` files of 4 to 15 words from a vocabulary of 8, so that pairs match
// in stretches of every length.
std::vector<std::filesystem::path> writeFiles(const testing::TempDir& dir, const char* prefix,
                                              int count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::filesystem::path> paths;
  for (int i = 0; i < count; ++i) {
    const auto words = static_cast<int>(4 + random() % 12);
    paths.push_back(dir.write(prefix + std::to_string(1000 + i) + ".txt",
                              testing::randomWords(random, words, 8)));
  }
  return paths;
}

// Every result in comparison order, with its files' indices and score bits.
std::vector<std::string> scan(CompareEngine& engine, std::vector<std::filesystem::path> paths,
                              std::vector<std::filesystem::path> earlier, PairCounter& counter) {
  testing::runScan(engine, std::move(paths), &counter, std::move(earlier));
  std::vector<std::string> results;
  for (const auto& [number, r] : engine.pairResults) {
    EXPECT_EQ(number, static_cast<std::int32_t>(results.size()));  // numbered without gaps
    results.push_back(
        std::to_string(r.groupA->file->index) + "/" + std::to_string(r.groupB->file->index) + " " +
        std::to_string(r.startA) + "-" + std::to_string(r.endA) + " " + std::to_string(r.startB) +
        "-" + std::to_string(r.endB) + " " + std::to_string(std::bit_cast<std::uint32_t>(r.score)) +
        r.consensusA + "|" + r.consensusB);
  }
  return results;
}

TEST(EarlierWork, ComparesEveryPairWithANewFileAndGivesTheFullScansResultsForThem) {
  const testing::TempDir dir;
  const auto fresh = writeFiles(dir, "new", 30, 1);
  const auto earlier = writeFiles(dir, "old", 200, 2);

  // The same 230 files in the same order as one scan, kept to the pairs with a
  // new file (indices 0 to 29).
  CompareEngine whole;
  whole.comparisonThreads = 2;
  std::vector<std::filesystem::path> all = fresh;
  all.insert(all.end(), earlier.begin(), earlier.end());
  PairCounter fullCounter;
  const auto full = scan(whole, all, {}, fullCounter);
  EXPECT_EQ(fullCounter.announced, 230 * 229 / 2);
  std::vector<std::string> kept;
  for (const auto& [number, result] : whole.pairResults) {
    if (result.groupA->file->index < 30 || result.groupB->file->index < 30) {
      kept.push_back(full[static_cast<std::size_t>(number)]);
    }
  }

  for (const int threads : {1, 2}) {
    CompareEngine engine;
    engine.comparisonThreads = threads;
    PairCounter counter;
    const auto part = scan(engine, fresh, earlier, counter);
    EXPECT_EQ(counter.announced, 30 * 229 - 30 * 29 / 2);
    EXPECT_EQ(counter.done, 30 * 229 - 30 * 29 / 2);
    EXPECT_EQ(engine.filePairsCompared, 30 * 229 - 30 * 29 / 2);
    EXPECT_TRUE(engine.fileTable.at(30)->earlier && !engine.fileTable.at(29)->earlier);
    EXPECT_TRUE(part == kept) << threads << " threads";
  }
}

}  // namespace
}  // namespace orvalis
