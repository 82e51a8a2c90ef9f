// The SQLite results cache on real files: what it keeps, and what it does
// with files it cannot use.
#include "cache/results_cache.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orvalis {
namespace {

namespace fs = std::filesystem;

ComparisonKey keyOf(const std::string& a, const std::string& b) {
  ComparisonKey key;
  key.first = sha256(a);
  key.second = sha256(b);
  key.mismatchScore = -0.33f;
  key.gapScore = -0.5f;
  key.groupSize = 1000;
  return key;
}

std::vector<PairResult> resultsOf(float score) {
  std::vector<PairResult> results(2);
  results[0] = {nullptr, nullptr, 1, 2, 3, 4, score, "x ", "y "};
  results[1] = {nullptr, nullptr, 5, 6, 7, 8, -score, "", ""};
  return results;
}

std::unique_ptr<ResultsCache> openCache(const fs::path& file, std::vector<std::string>& warnings,
                                        std::uint64_t maxSize = kDefaultCacheMaxSize) {
  CacheOptions options;
  options.file = file;
  options.maxSize = maxSize;
  return ResultsCache::open(options, warnings);
}

bool has(const std::unique_ptr<ResultsCache>& cache, const ComparisonKey& key, float score) {
  std::vector<PairResult> found;
  return cache->find(key, 2, found) && found[0].score == score && found[1].endB == 8;
}

std::string readAll(const fs::path& file) {
  std::stringstream text;
  text << std::ifstream(file, std::ios::binary).rdbuf();
  return text.str();
}

void writeAll(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// Runs SQL on a database file of its own making.
void runSql(const fs::path& file, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

TEST(ResultsCache, KeepsResultsBetweenOpeningsUntilCleared) {
  const testing::TempDir dir;
  const fs::path file = dir.path() / "sub" / "folder" / "cache.sqlite";
  std::vector<std::string> warnings;
  {
    auto cache = openCache(file, warnings);
    ASSERT_TRUE(cache);
    cache->store(keyOf("a", "b"), resultsOf(1.5f));
    cache->scanEnded();
  }
  auto cache = openCache(file, warnings);
  ASSERT_TRUE(cache);
  EXPECT_TRUE(has(cache, keyOf("a", "b"), 1.5f));
  EXPECT_FALSE(has(cache, keyOf("b", "a"), 1.5f));  // a pair has a direction
  std::vector<PairResult> found;
  EXPECT_FALSE(cache->find(keyOf("a", "b"), 3, found));  // another count of comparisons
  cache.reset();

  CacheOptions clearing;
  clearing.file = file;
  clearing.clear = true;
  cache = ResultsCache::open(clearing, warnings);
  EXPECT_FALSE(has(cache, keyOf("a", "b"), 1.5f));
  EXPECT_TRUE(warnings.empty()) << warnings.front();
}

TEST(ResultsCache, DropsThePairsUsedLeastRecentlyToKeepWithinItsSize) {
  const testing::TempDir dir;
  const fs::path file = dir.path() / "cache.sqlite";
  std::vector<std::string> warnings;
  const std::uint64_t maxSize = 256 * 1024;
  std::vector<PairResult> big(1);
  big[0].consensusA = std::string(20000, 'w');
  const auto key = [](int n) { return keyOf("f" + std::to_string(n), "g"); };
  std::vector<PairResult> found;
  for (int n = 0; n < 40; ++n) {
    // One scan a step, each at a later time.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    auto cache = openCache(file, warnings, maxSize);
    ASSERT_TRUE(cache);
    // The first pair is used again every time: it stays.
    if (n > 0) {
      ASSERT_TRUE(cache->find(key(0), 1, found)) << n;
    }
    cache->store(key(n), big);
    cache->scanEnded();
  }
  auto cache = openCache(file, warnings, maxSize);
  EXPECT_FALSE(cache->find(key(1), 1, found));
  EXPECT_TRUE(cache->find(key(39), 1, found));
  cache.reset();
  EXPECT_LE(fs::file_size(file), maxSize + 64 * 1024);
  EXPECT_TRUE(warnings.empty());
}

// Each kind of file that is not a usable cache: moved aside with a warning
// that says what it is, and a new cache made in its place.
TEST(ResultsCache, SetsAsideFilesItCannotUseAndStartsANewOne) {
  const testing::TempDir dir;
  const fs::path good = dir.path() / "good.sqlite";
  {
    std::vector<std::string> warnings;
    auto cache = openCache(good, warnings);
    for (int n = 0; n < 200; ++n) cache->store(keyOf(std::to_string(n), "x"), resultsOf(2.0f));
  }
  runSql(good, "PRAGMA wal_checkpoint(TRUNCATE)");  // everything in the file itself
  const std::string goodBytes = readAll(good);
  ASSERT_GT(goodBytes.size(), 8192u);

  const struct {
    const char* name;
    std::function<void(const fs::path&)> make;
    const char* warning;  // empty: none, the file is used as it is
  } cases[] = {
      {"empty", [](const fs::path& f) { writeAll(f, ""); }, ""},
      {"zeroed", [&](const fs::path& f) { writeAll(f, std::string(goodBytes.size(), '\0')); },
       "is damaged"},
      {"text", [](const fs::path& f) { writeAll(f, std::string(5000, 'z')); }, "is damaged"},
      {"truncated", [&](const fs::path& f) { writeAll(f, goodBytes.substr(0, 6000)); },
       "is damaged"},
      {"foreign",
       [](const fs::path& f) {
         runSql(f, "CREATE TABLE notes(text); INSERT INTO notes VALUES(1)");
       },
       "is not a results cache of Orvalis"},
      {"newer",
       [&](const fs::path& f) {
         writeAll(f, goodBytes);
         runSql(f, "PRAGMA user_version=2");
       },
       "is of a newer version"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir.path() / (std::string(c.name) + ".sqlite");
    c.make(file);
    std::vector<std::string> warnings;
    auto cache = openCache(file, warnings);
    ASSERT_TRUE(cache);
    // Whatever was there, nothing wrong is found and new results are kept.
    EXPECT_FALSE(has(cache, keyOf("1", "x"), 2.0f));
    cache->store(keyOf("a", "b"), resultsOf(4.0f));
    cache->scanEnded();
    EXPECT_TRUE(has(cache, keyOf("a", "b"), 4.0f));
    for (const std::string& warning : cache->takeWarnings()) warnings.push_back(warning);
    if (*c.warning == '\0') {
      EXPECT_TRUE(warnings.empty()) << warnings.front();
      continue;
    }
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find(".unusable"), std::string::npos) << warnings[0];
    fs::path aside = file;
    aside += ".unusable";
    EXPECT_TRUE(fs::exists(aside));
  }
}

TEST(ResultsCache, AFolderThatCannotBeMadeOrWrittenGivesAWarningAndNoCache) {
  const testing::TempDir dir;
  std::vector<fs::path> places = {dir.write("plain-file", "x") / "cache.sqlite"};
#ifndef _WIN32
  // Permissions do not hold back the superuser.
  if (geteuid() != 0) {
    const fs::path locked = dir.path() / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    places.push_back(locked / "cache.sqlite");
  }
#endif
  for (const fs::path& place : places) {
    std::vector<std::string> warnings;
    EXPECT_FALSE(openCache(place, warnings)) << place;
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("cannot use the results cache ", 0), 0u) << warnings[0];
    EXPECT_NE(warnings[0].find("the scan goes on without it"), std::string::npos);
  }
}

}  // namespace
}  // namespace orvalis
