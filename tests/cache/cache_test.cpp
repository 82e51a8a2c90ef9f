#include <gtest/gtest.h>

#include "cache/pair_record.h"

#if ORVALIS_TEST_RESULTS_CACHE
#include <sqlite3.h>

#include <functional>
#include <thread>

#include "cache/results_cache.h"
#include "tests/support/temp_dir.h"
#endif

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

#if ORVALIS_TEST_RESULTS_CACHE
// The SQLite results cache on real files: what it keeps and drops, and what
// it does with files it cannot use.
namespace fs = std::filesystem;

ComparisonKey keyOf(const std::string& a) { return {sha256(a), sha256("b"), -0.33f, -0.5f, 1000}; }

std::unique_ptr<ResultsCache> openCache(const fs::path& file, std::vector<std::string>& warnings,
                                        std::uint64_t maxSize = kDefaultCacheMaxSize,
                                        std::chrono::milliseconds touchInterval = {}) {
  return ResultsCache::open({file, maxSize, false, touchInterval}, warnings);
}

bool has(ResultsCache& cache, const std::string& a, std::size_t size = 1) {
  std::vector<PairResult> found;
  return cache.find(keyOf(a), 1, found) && found[0].consensusA.size() == size;
}

void runSql(const fs::path& file, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// The pair used least recently goes first; one found at every scan stays.
TEST(ResultsCache, DropsThePairsUsedLeastRecentlyToKeepWithinItsSize) {
  const testing::TempDir dir;
  const fs::path file = dir.path() / "sub" / "cache.sqlite";
  std::vector<std::string> warnings;
  std::vector<PairResult> big(1);
  big[0].consensusA = std::string(20000, 'w');
  for (int n = 0; n < 40; ++n) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // each scan later
    auto cache = openCache(file, warnings, 256 * 1024);
    ASSERT_TRUE(cache);
    ASSERT_TRUE(n == 0 || has(*cache, "0", 20000)) << n;
    cache->store(keyOf(std::to_string(n)), big);
  }
  auto cache = openCache(file, warnings);
  EXPECT_FALSE(has(*cache, "1", 20000));
  EXPECT_TRUE(has(*cache, "39", 20000));
  EXPECT_LE(fs::file_size(file), 320u * 1024);
  EXPECT_TRUE(warnings.empty());
}

// A record found again within the interval keeps the time it was stored at,
// and so goes before one stored after it.
TEST(ResultsCache, WritesTheTimeOfUseOnlyOnceTheIntervalHasPassed) {
  for (const std::chrono::milliseconds interval :
       {std::chrono::milliseconds(0), std::chrono::milliseconds(std::chrono::hours(1))}) {
    const testing::TempDir dir;
    const fs::path file = dir.path() / "cache.sqlite";
    std::vector<std::string> warnings;
    std::vector<PairResult> big(1);
    big[0].consensusA = std::string(20000, 'w');
    for (const char* name : {"old", "new", "found"}) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      auto cache = openCache(file, warnings, 256 * 1024, interval);
      if (std::string_view(name) == "found") {
        EXPECT_TRUE(has(*cache, "old", 20000));
      } else {
        cache->store(keyOf(name), big);
      }
    }
    // Ten records more make the cache drop its least recently used.
    for (int n = 0; n < 10; ++n) {
      openCache(file, warnings, 256 * 1024, interval)->store(keyOf(std::to_string(n)), big);
    }
    auto cache = openCache(file, warnings);
    const bool touched = interval.count() == 0;
    EXPECT_EQ(has(*cache, "old", 20000), touched) << interval.count();
    EXPECT_EQ(has(*cache, "new", 20000), !touched) << interval.count();
  }
}

// Every scan that writes adds to the log; the one that closes the cache keeps
// it short, so that a cache rescanned again and again does not grow.
TEST(ResultsCache, KeepsItsLogShortFromScanToScan) {
  const testing::TempDir dir;
  const fs::path file = dir.path() / "cache.sqlite";
  fs::path log = file;
  log += "-wal";
  std::vector<std::string> warnings;
  std::vector<PairResult> big(1);
  big[0].consensusA = std::string(200000, 'w');
  for (int n = 0; n < 40; ++n) openCache(file, warnings)->store(keyOf(std::to_string(n)), big);
  EXPECT_LT(fs::exists(log) ? fs::file_size(log) : 0, 5u << 20);
  auto cache = openCache(file, warnings);
  EXPECT_TRUE(has(*cache, "0", 200000));
  EXPECT_TRUE(has(*cache, "39", 200000));
  EXPECT_TRUE(warnings.empty());
}

// A damaged record is dropped, and the results computed again in its place
// are found by the next scan.
TEST(ResultsCache, KeepsTheResultsComputedAgainForADamagedRecord) {
  const testing::TempDir dir;
  const fs::path file = dir.path() / "cache.sqlite";
  std::vector<std::string> warnings;
  std::vector<PairResult> results(1);
  results[0].consensusA = "a ";
  openCache(file, warnings)->store(keyOf("a"), results);
  runSql(file, "UPDATE pair_results SET results = x'00'");
  {
    auto cache = openCache(file, warnings);
    EXPECT_FALSE(has(*cache, "a", 2));
    cache->store(keyOf("a"), results);
  }
  EXPECT_TRUE(has(*openCache(file, warnings), "a", 2));
  EXPECT_TRUE(warnings.empty());
}

// Each kind of file that is no usable cache: moved aside with a warning that
// says what it is, and a new cache made in its place.
TEST(ResultsCache, SetsAsideFilesItCannotUseAndStartsANewOne) {
  const testing::TempDir dir;
  const fs::path good = dir.path() / "good.sqlite";
  std::vector<std::string> warnings;
  {
    const auto cache = openCache(good, warnings);
    for (int n = 0; n < 200; ++n) cache->store(keyOf(std::to_string(n)), {{}});
  }
  runSql(good, "PRAGMA wal_checkpoint(TRUNCATE)");  // everything in the file itself
  const std::string goodBytes = testing::contents(good);
  ASSERT_GT(goodBytes.size(), 6000u);
  // The file, how it is made, and the warning (empty: none, it is used as it is).
  const std::tuple<const char*, std::function<void(const fs::path&)>, const char*> cases[] = {
      {"empty", [&](const fs::path& f) { dir.write(f, ""); }, ""},
      {"zeroed", [&](const fs::path& f) { dir.write(f, std::string(goodBytes.size(), '\0')); },
       "is damaged"},
      {"truncated", [&](const fs::path& f) { dir.write(f, goodBytes.substr(0, 6000)); },
       "is damaged"},
      {"foreign", [](const fs::path& f) { runSql(f, "CREATE TABLE notes(text)"); },
       "is not a results cache of Orvalis"},
      {"newer",
       [&](const fs::path& f) {
         dir.write(f, goodBytes);
         runSql(f, "PRAGMA user_version=2");
       },
       "is of a newer version"},
  };
  for (const auto& [name, make, warning] : cases) {
    SCOPED_TRACE(name);
    const fs::path file = dir.path() / name;
    make(file);
    warnings.clear();
    auto cache = openCache(file, warnings);
    ASSERT_TRUE(cache);
    EXPECT_FALSE(has(*cache, "1", 0));  // whatever was there, nothing is found
    cache->store(keyOf("new"), {{}});
    cache->scanEnded();
    EXPECT_TRUE(has(*cache, "new", 0));
    if (*warning == '\0') {
      EXPECT_TRUE(warnings.empty());
      continue;
    }
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(warning), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("moved to"), std::string::npos) << warnings[0];
    EXPECT_TRUE(fs::exists(dir.path() / (std::string(name) + ".unusable")));
  }
  // A folder that cannot be made: no cache, and the warning says so.
  warnings.clear();
  EXPECT_FALSE(openCache(good / "cache.sqlite", warnings));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].rfind("cannot use the results cache ", 0), 0u) << warnings[0];
}
#endif

}  // namespace
}  // namespace orvalis
