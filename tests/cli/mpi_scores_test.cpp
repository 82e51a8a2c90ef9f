// What orvalis-scan-mpi's rank 0 keeps when it keeps scores alone: scores
// through bytes, and the figures it makes from them against those the scan
// makes from whole results.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "analysis/result_listing.h"
#include "cli/mpi/scan_records.h"

namespace orvalis::cli::mpi {
namespace {

std::vector<std::uint32_t> bitsOf(const std::vector<float>& scores) {
  std::vector<std::uint32_t> bits;
  for (const float score : scores) bits.push_back(std::bit_cast<std::uint32_t>(score));
  return bits;
}

TEST(MpiScores, ScoresAloneGoThroughBytesBitForBit) {
  RangeRecords records;
  records.range = {3, 6};
  records.pairs.resize(3);  // the last incomplete
  PairRecords& scores = records.pairs[0];
  scores.digestA = sha256("a");
  scores.complete = true;
  scores.scores = {-0.0f, std::numeric_limits<float>::denorm_min(),
                   std::bit_cast<float>(0x7fc00123u), 7.5f};
  PairRecords& whole = records.pairs[1];
  whole.complete = true;
  whole.results.push_back({nullptr, nullptr, 1, 2, 3, 4, 2.5f, "a ", "b "});
  records.pairs[2].digestB = sha256("c");

  const std::string bytes = encodeRange(records);
  const auto decoded = decodeRange(bytes);
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->pairs.size(), 3u);
  EXPECT_EQ(bitsOf(decoded->pairs[0].scores), bitsOf(scores.scores));
  // What else the records hold comes back as the bytes they came from.
  EXPECT_EQ(encodeRange(*decoded), bytes);
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    EXPECT_FALSE(decodeRange(std::string_view(bytes).substr(0, size))) << size;
  }
}

TEST(MpiScores, TheJobSaysWhetherScoresComeAloneAndItsJournalTellsTheRunsApart) {
  ScanJob job{-0.25f, -1.5f, 7, {"a b.txt", "dir/c.txt"}, {"old/d.txt"}};
  for (const bool alone : {false, true}) {
    job.scoresOnly = alone;
    const auto decoded = decodeJob(encodeJob(job));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->scoresOnly, alone);
    EXPECT_EQ(encodeJob(*decoded), encodeJob(job));
    EXPECT_FALSE(decodeJob(encodeJob(job) + "x"));
  }
  ScanJob whole = job;
  whole.scoresOnly = false;
  EXPECT_NE(scanFingerprint(job), scanFingerprint(whole));
}

// The threshold of scores in key order is the threshold of the results
// holding them, to the bit: sums of floats depend on their order.
TEST(MpiScores, ThresholdOfScoresIsThatOfTheResults) {
  const std::vector<std::vector<float>> cases = {
      {},
      {1e8f, 1.0f, -1e8f, 1.0f, 0.1f},
      {2.0f, 2.0f, 2.0f, 2.0f},
      {16777216.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f},  // lost in one order only
  };
  for (const auto& scores : cases) {
    ResultMap results;
    for (std::size_t i = 0; i < scores.size(); ++i) {
      results[static_cast<std::int32_t>(i * 3)].score = scores[i];
    }
    const float fromResults = computeThreshold(results);
    const float fromScores = computeScoreThreshold(scores);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(fromScores), std::bit_cast<std::uint32_t>(fromResults))
        << scores.size();
  }
}

// A listing made from part of a scan's results takes the small-scan rule
// (long stretches listed whatever their score) from the whole scan's count.
TEST(MpiScores, ListingOfPartOfAScanTakesTheWholeScansSize) {
  ResultMap results;
  results[4].score = 1.0f;
  results[4].endB = 40;
  results[9].score = 5.0f;
  const struct {
    std::size_t scanResults;
    std::size_t listed;
  } cases[] = {{3, 2}, {4, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(listResults(results, 2.0f, false, c.scanResults).size(), c.listed) << c.scanResults;
  }
}

}  // namespace
}  // namespace orvalis::cli::mpi
