// The records, ranges and journal that the ranks of orvalis-scan-mpi share, and
// the figures rank 0 makes from scores alone against those of whole results.
#include "cli/mpi/scan_records.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <tuple>

#include "analysis/result_listing.h"
#include "engine/comparison_cache.h"
#include "engine/scan.h"
#include "engine/text.h"
#include "tests/support/scan_fixture.h"
#include "tests/support/temp_dir.h"

namespace orvalis::cli::mpi {
namespace {

std::string describe(const RangeRecords& records) {
  std::string text = std::to_string(records.range.first) + "-" + std::to_string(records.range.end);
  for (const PairRecords& pair : records.pairs) {
    text += " [" + hexText(pair.digestA) + hexText(pair.digestB) + (pair.complete ? "+" : "-");
    for (const PairResult& r : pair.results) {
      for (const std::int64_t number :
           {std::int64_t{r.startA}, std::int64_t{r.endA}, std::int64_t{r.startB},
            std::int64_t{r.endB}, std::int64_t{std::bit_cast<std::uint32_t>(r.score)}}) {
        text.append(" ").append(std::to_string(number));
      }
      text.append(" ").append(r.consensusA).append("|").append(r.consensusB);
    }
    for (const float score : pair.scores)
      text += " s" + std::to_string(std::bit_cast<std::uint32_t>(score));
    text += "]";
  }
  return text;
}

// Pair `first` complete with scores that only bits tell apart, pair
// `first + 1` incomplete, pair `first + 2` such scores alone.
RangeRecords sampleRange(std::int64_t first) {
  RangeRecords records;
  records.range = {first, first + 3};
  PairRecords& done = records.pairs.emplace_back();
  done.digestA = sha256(std::string("a").append(std::to_string(first)));
  done.digestB = sha256("b");
  done.complete = true;
  done.results.push_back({nullptr, nullptr, 1, 9, 2, 20, -0.0f, "x * ", std::string("y\0z ", 4)});
  done.results.push_back(
      {nullptr, nullptr, 0, 0, 0, 0, std::numeric_limits<float>::denorm_min(), "", "\xc3\xa9 "});
  done.results.push_back(
      {nullptr, nullptr, -1, 7, 3, 4, std::bit_cast<float>(0x7fc00123u), "", ""});
  records.pairs.emplace_back().digestA = sha256("c");
  PairRecords& scores = records.pairs.emplace_back();
  scores.complete = true;
  scores.scores = {-0.0f, std::numeric_limits<float>::denorm_min(),
                   std::bit_cast<float>(0x7fc00123u)};
  return records;
}

TEST(ScanRecords, RangesGoThroughBytesBitForBitAndNothingElseDecodes) {
  const RangeRecords original = sampleRange(5);
  const std::string bytes = encodeRange(original);
  const auto decoded = decodeRange(bytes);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(describe(*decoded), describe(original));
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    EXPECT_FALSE(decodeRange(std::string_view(bytes).substr(0, size))) << size;
  }
  EXPECT_FALSE(decodeRange(bytes + '\0'));
}

TEST(ScanRecords, RangesHoldTheirCellsAndStopAtPairsDone) {
  // Each pair's cells, the pairs done, the cells a range aims at, the ranges.
  const std::tuple<std::vector<std::uint64_t>, std::vector<bool>, std::uint64_t,
                   std::vector<PairRange>>
      cases[] = {
          {{}, {}, 10, {}},
          {{5, 5, 5, 5, 5}, {false, false, false, false, false}, 10, {{0, 2}, {2, 4}, {4, 5}}},
          {{5, 5, 5, 5, 5}, {false, false, false, false, false}, 11, {{0, 3}, {3, 5}}},
          {{30, 1, 1}, {false, false, false}, 10, {{0, 1}, {1, 3}}},
          {{1, 1, 1, 1, 1}, {false, true, false, false, true}, 100, {{0, 1}, {2, 4}}},
          {{1, 1}, {true, true}, 100, {}},
      };
  for (const auto& [cells, done, target, expected] : cases) {
    std::vector<WorkPair> pairs;
    for (const std::uint64_t count : cells) pairs.push_back({nullptr, nullptr, count});
    EXPECT_EQ(splitRanges(pairs, done, target), expected) << target;
  }
}

// Records the keys a scan asks its cache for and finds nothing.
struct KeyRecorder : ComparisonCache {
  bool find(const ComparisonKey& key, std::size_t, std::vector<PairResult>&) override {
    keys.push_back(hexText(key.first) + hexText(key.second));
    return false;
  }
  void store(const ComparisonKey&, const std::vector<PairResult>&) override {}
  std::vector<std::string> keys;
};

// The workers number pairs as the scan asks for them: same pairs, same order,
// without files lacking words or pairs of earlier work.
TEST(ScanRecords, WorkPairsAreThePairsTheScanAsksForInOrder) {
  const testing::TempDir dir;
  const std::vector<std::filesystem::path> files = {
      dir.write("a.txt", "one two three four five"), dir.write("b.txt", " \n"),
      dir.write("c.txt", "one two six"), dir.write("d.txt", "seven one two three")};
  const std::vector<std::filesystem::path> earlier = {dir.write("old/e.txt", "two three"),
                                                      dir.write("old/f.txt", "four five one")};
  KeyRecorder recorder;
  CompareEngine engine;
  engine.groupSize = 3;  // groups of 2 words
  engine.resultCache = &recorder;
  testing::runScan(engine, files, nullptr, earlier);

  std::vector<std::string> planned;
  for (const WorkPair& pair : planWorkPairs(engine)) {
    planned.push_back(hexText(*pair.fileA->digest) + hexText(*pair.fileB->digest));
  }
  EXPECT_EQ(planned, recorder.keys);
  EXPECT_EQ(planned.size(), 3u + 2u * 3u);  // a, c, d among themselves; e and f with each
}

class JournalTest : public ::testing::Test {
 protected:
  const testing::TempDir dir;
  const std::filesystem::path file = dir.path() / "journal";
  const Sha256Digest fingerprint = sha256("scan");

  // Three blocks; returns the journal's size after each.
  std::vector<std::size_t> writeThree() {
    std::string error;
    auto journal = Journal::create(file, fingerprint, error);
    EXPECT_TRUE(journal) << error;
    std::vector<std::size_t> sizes{std::filesystem::file_size(file)};
    for (int block = 0; block < 3; ++block) {
      EXPECT_TRUE(journal->append(encodeRange(sampleRange(2 * block))));
      sizes.push_back(std::filesystem::file_size(file));
    }
    return sizes;
  }

  std::vector<std::string> resumed(std::string* error = nullptr) {
    std::vector<RangeRecords> finished;
    std::string failure;
    auto journal = Journal::resume(file, fingerprint, finished, failure);
    if (error) *error = failure;
    std::vector<std::string> described;
    for (const RangeRecords& records : finished) described.push_back(describe(records));
    if (!journal) described.push_back("failed");
    return described;
  }
};

TEST_F(JournalTest, AResumeTakesTheWholeBlocksOfARunKilledAnywhere) {
  const std::vector<std::size_t> sizes = writeThree();
  const std::string whole = testing::contents(file);
  for (std::size_t cut = sizes[0]; cut <= whole.size(); ++cut) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << whole.substr(0, cut);
    const auto blocks = static_cast<std::size_t>(std::upper_bound(sizes.begin(), sizes.end(), cut) -
                                                 sizes.begin() - 1);
    const auto taken = resumed();
    ASSERT_EQ(taken.size(), blocks) << cut;
    for (std::size_t b = 0; b < blocks; ++b) {
      EXPECT_EQ(taken[b], describe(sampleRange(2 * static_cast<std::int64_t>(b))));
    }
    EXPECT_EQ(std::filesystem::file_size(file), sizes[blocks]) << cut;
  }
}

TEST_F(JournalTest, ADamagedBlockEndsWhatIsTaken) {
  const std::vector<std::size_t> sizes = writeThree();
  std::string bytes = testing::contents(file);
  bytes[sizes[1] + 20] ^= 1;  // inside the second block's records
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  EXPECT_EQ(resumed().size(), 1u);
  // Blocks added after the resume follow the good one.
  {
    std::vector<RangeRecords> finished;
    std::string error;
    auto journal = Journal::resume(file, fingerprint, finished, error);
    ASSERT_TRUE(journal);
    ASSERT_TRUE(journal->append(encodeRange(sampleRange(9))));
  }
  const auto taken = resumed();
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[1], describe(sampleRange(9)));
}

TEST_F(JournalTest, OnlyAJournalOfTheSameScanIsResumedAndOthersAreLeftAlone) {
  writeThree();
  const std::string bytes = testing::contents(file);
  std::vector<RangeRecords> finished;
  std::string error;
  EXPECT_FALSE(Journal::resume(file, sha256("another"), finished, error));
  EXPECT_NE(error.find("another scan"), std::string::npos) << error;
  EXPECT_EQ(testing::contents(file), bytes);

  std::ofstream(file, std::ios::binary | std::ios::trunc) << "some other file, long enough to "
                                                             "hold a header";
  EXPECT_EQ(resumed(&error), std::vector<std::string>{"failed"});
  EXPECT_NE(error.find("not a journal"), std::string::npos) << error;

  std::filesystem::remove(file);
  EXPECT_TRUE(resumed().empty());
  EXPECT_TRUE(resumed().empty());  // the missing one was started, empty
}

// The job goes through bytes whole; its fingerprint, which tells a journal's
// scan apart, follows the settings, the files, their sizes and what is kept.
TEST(ScanRecords, TheJobGoesThroughBytesAndItsFingerprintFollowsWhatTheScanIs) {
  const testing::TempDir dir;
  const auto a = dir.write("a.txt", "one two");
  const auto b = dir.write("b.txt", "three");
  const ScanJob job{-0.33f, -0.5f, 1000, {a, b}, {}};
  const Sha256Digest base = scanFingerprint(job);
  EXPECT_EQ(scanFingerprint(job), base);
  const std::function<void(ScanJob&)> changes[] = {
      [](ScanJob& j) { j.gapScore = -0.51f; },
      [&](ScanJob& j) {
        j.files = {b, a};
      },
      [&](ScanJob& j) {
        j.files = {a};
        j.earlierFiles = {b};
      },
      [](ScanJob& j) { j.scoresOnly = true; },
  };
  for (const auto& change : changes) {
    ScanJob changed = job;
    change(changed);
    EXPECT_NE(scanFingerprint(changed), base);
    const auto decoded = decodeJob(encodeJob(changed));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(encodeJob(*decoded), encodeJob(changed));
    EXPECT_EQ(decoded->scoresOnly, changed.scoresOnly);
    EXPECT_FALSE(decodeJob(encodeJob(changed) + "x"));
  }
  dir.write("b.txt", "three four");
  EXPECT_NE(scanFingerprint(job), base);
}

// The threshold of scores in key order is the threshold of the results
// holding them, to the bit: sums of floats depend on their order.
TEST(MpiScores, ThresholdOfScoresIsThatOfTheResults) {
  const std::vector<std::vector<float>> cases = {
      {},
      {1e8f, 1.0f, -1e8f, 1.0f, 0.1f},
      {16777216.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f},  // lost in one order only
  };
  for (const auto& scores : cases) {
    ResultTable results;
    for (std::size_t i = 0; i < scores.size(); ++i) {
      results[static_cast<std::int32_t>(i * 3)].score = scores[i];
    }
    EXPECT_EQ(std::bit_cast<std::uint32_t>(computeScoreThreshold(scores)),
              std::bit_cast<std::uint32_t>(computeThreshold(results)))
        << scores.size();
  }
}

// A listing made from part of a scan's results takes the small-scan rule
// (long stretches listed whatever their score) from the whole scan's count.
TEST(MpiScores, ListingOfPartOfAScanTakesTheWholeScansSize) {
  ResultTable results;
  results[4].score = 1.0f;
  results[4].endB = 40;
  results[9].score = 5.0f;
  EXPECT_EQ(listResults(results, 2.0f, false, 3).size(), 2u);
  EXPECT_EQ(listResults(results, 2.0f, false, 4).size(), 1u);
}

}  // namespace
}  // namespace orvalis::cli::mpi
