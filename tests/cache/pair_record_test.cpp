#include "cache/pair_record.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "cache/results_cache.h"

namespace orvalis {
namespace {

ComparisonKey someKey() {
  ComparisonKey key;
  key.first = sha256("first file");
  key.second = sha256("second file");
  key.mismatchScore = -0.33f;
  key.gapScore = -0.5f;
  key.groupSize = 1000;
  return key;
}

std::vector<PairResult> someResults() {
  std::vector<PairResult> results(3);
  results[0] = {nullptr, nullptr, 0, 17, 40, 57, 3.25f, "a b c ", "a  *  c "};
  // Scores kept bit for bit, also where a decimal text would lose them.
  results[1] = {nullptr, nullptr, -1, 2147483647, 5, 5, std::nextafter(1.0f, 2.0f), "", ""};
  results[2] = {nullptr, nullptr, 9, 9, 0, 0, -0.0f, std::string("\xff\x00\xe9", 3), "\n\t"};
  return results;
}

std::string describe(const std::vector<PairResult>& results) {
  std::string text;
  for (const PairResult& r : results) {
    text += std::to_string(r.startA) + "," + std::to_string(r.endA) + "," +
            std::to_string(r.startB) + "," + std::to_string(r.endB) + "," +
            std::to_string(std::bit_cast<std::uint32_t>(r.score)) + "," + r.consensusA + "," +
            r.consensusB + ";";
  }
  return text;
}

TEST(PairRecord, GivesBackEveryResultBitForBit) {
  const std::string record = encodePairRecord(someKey(), someResults());
  std::vector<PairResult> back;
  ASSERT_TRUE(decodePairRecord(someKey(), record, 3, back));
  EXPECT_EQ(describe(back), describe(someResults()));
  ASSERT_TRUE(decodePairRecord(someKey(), encodePairRecord(someKey(), {}), 0, back));
  EXPECT_TRUE(back.empty());
}

TEST(PairRecord, RefusesAnyDamageAnotherKeyOrAnotherCount) {
  const ComparisonKey key = someKey();
  const std::string record = encodePairRecord(key, someResults());
  std::vector<PairResult> back;
  EXPECT_FALSE(decodePairRecord(key, record, 2, back));
  EXPECT_FALSE(decodePairRecord(key, record, 4, back));
  for (std::size_t at = 0; at < record.size(); ++at) {
    std::string flipped = record;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x10);
    EXPECT_FALSE(decodePairRecord(key, flipped, 3, back)) << "byte " << at;
    EXPECT_FALSE(decodePairRecord(key, record.substr(0, at), 3, back)) << at << " bytes";
    EXPECT_TRUE(back.empty());
  }
  EXPECT_FALSE(decodePairRecord(key, record + "x", 3, back));
  // Every part of the key counts.
  const auto changed = [&](auto change) {
    ComparisonKey other = key;
    change(other);
    return decodePairRecord(other, record, 3, back);
  };
  EXPECT_FALSE(changed([](ComparisonKey& k) { k.first[31] ^= 1; }));
  EXPECT_FALSE(changed([](ComparisonKey& k) { std::swap(k.first, k.second); }));
  EXPECT_FALSE(changed([](ComparisonKey& k) { k.mismatchScore = -0.34f; }));
  EXPECT_FALSE(changed([](ComparisonKey& k) { k.gapScore = -0.51f; }));
  EXPECT_FALSE(changed([](ComparisonKey& k) { k.groupSize = 999; }));
  EXPECT_FALSE(changed([](ComparisonKey& k) { k.splitting = kWordSplittingVersion + 1; }));
  EXPECT_TRUE(changed([](ComparisonKey&) {}));
}

#ifndef _WIN32
TEST(CacheLocation, FollowsXdgCacheHomeThenHome) {
  const struct {
    const char* xdg;
    const char* home;
    const char* expected;
  } cases[] = {
      {"/x/cache", "/home/u", "/x/cache/Tovimar/Orvalis/results.sqlite"},
      {nullptr, "/home/u", "/home/u/.cache/Tovimar/Orvalis/results.sqlite"},
      {"relative", "/home/u", "/home/u/.cache/Tovimar/Orvalis/results.sqlite"},
      {"", "/home/u", "/home/u/.cache/Tovimar/Orvalis/results.sqlite"},
      {nullptr, nullptr, ""},
      {nullptr, "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(defaultCacheFileFor(c.xdg, c.home).generic_string(), c.expected)
        << (c.xdg ? c.xdg : "(unset)") << " " << (c.home ? c.home : "(unset)");
  }
}
#endif

}  // namespace
}  // namespace orvalis
