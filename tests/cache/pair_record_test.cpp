#include "cache/pair_record.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

namespace orvalis {
namespace {

std::string describe(const std::vector<PairResult>& results) {
  std::string text;
  for (const PairResult& r : results) {
    for (const std::int32_t n : {r.startA, r.endA, r.startB, r.endB})
      text += std::to_string(n) + ",";
    text += std::to_string(std::bit_cast<std::uint32_t>(r.score)) + r.consensusA + "|" +
            r.consensusB + ";";
  }
  return text;
}

// A record gives back every result bit for bit, and only for its own key, its
// own count and without any byte changed, missing or added.
TEST(PairRecord, GivesBackItsResultsBitForBitAndRefusesAnythingElse) {
  ComparisonKey key{sha256("first file"), sha256("second file"), -0.33f, -0.5f, 1000};
  std::vector<PairResult> results(3);
  results[0] = {nullptr, nullptr, 0, 17, 40, 57, 3.25f, "a b c ", "a  *  c "};
  results[1] = {nullptr, nullptr, -1, 2147483647, 5, 5, std::nextafter(1.0f, 2.0f), "", ""};
  results[2] = {nullptr, nullptr, 9, 9, 0, 0, -0.0f, std::string("\xff\x00\xe9", 3), "\n"};
  const std::string record = encodePairRecord(key, results);
  std::vector<PairResult> back;
  ASSERT_TRUE(decodePairRecord(key, record, 3, back));
  EXPECT_EQ(describe(back), describe(results));

  EXPECT_FALSE(decodePairRecord(key, record, 2, back));
  EXPECT_FALSE(decodePairRecord(key, record + "x", 3, back));
  for (std::size_t at = 0; at < record.size(); ++at) {
    std::string flipped = record;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x10);
    EXPECT_FALSE(decodePairRecord(key, flipped, 3, back)) << "byte " << at;
    EXPECT_FALSE(decodePairRecord(key, record.substr(0, at), 3, back)) << at << " bytes";
    EXPECT_TRUE(back.empty());
  }
  const auto other = [&](auto change) {
    ComparisonKey changed = key;
    change(changed);
    return decodePairRecord(changed, record, 3, back);
  };
  EXPECT_FALSE(other([](ComparisonKey& k) { std::swap(k.first, k.second); }));
  EXPECT_FALSE(other([](ComparisonKey& k) { k.mismatchScore = -0.34f; }));
  EXPECT_FALSE(other([](ComparisonKey& k) { k.splitting = kWordSplittingVersion + 1; }));
}

}  // namespace
}  // namespace orvalis
