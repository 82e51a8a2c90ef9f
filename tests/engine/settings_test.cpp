#include "engine/settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;
using ::orvalis::testing::TempDir;

constexpr std::string_view kDefaultFileText =
    "MU=-0.33\nDELTA=-0.50\nNUM_WORDS_PER_GROUPING=1000\n";

// A store kept in memory, for what the loading does with the values it gets.
class FakeSettingsStore : public SettingsStore {
 public:
  bool keyExists() override { return exists; }
  void createWithDefaults() override {}
  std::optional<std::string> readValue(std::string_view name) override {
    const auto it = values.find(name);
    return it == values.end() ? std::nullopt : std::optional(it->second);
  }

  bool exists = true;
  std::map<std::string, std::string, std::less<>> values = {
      {"MU", "-0.25"}, {"DELTA", "-0.75"}, {"NUM_WORDS_PER_GROUPING", "40"}};
};

// The three settings, compared at once.
std::tuple<float, float, std::int32_t> valuesOf(const CompareEngine& engine) {
  return {engine.mismatchScore, engine.gapScore, engine.groupSize};
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(SettingsFile, FirstStartCreatesTheDefaultFileOnlyInAnExistingConfigFolder) {
  TempDir dir;
  XdgSettingsStore store(dir.path());
  ensureDefaultSettings(store);
  EXPECT_EQ(store.filePath(), dir.path() / "Tovimar" / "Orvalis.conf");
  EXPECT_EQ(readFile(store.filePath()), kDefaultFileText);
  // Only the finished file is left, readable by every user.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "Tovimar"), {}), 1);
  EXPECT_NE(fs::status(store.filePath()).permissions() & fs::perms::others_read, fs::perms::none);
  CompareEngine engine;  // values no store holds, to see which fields loading wrote
  std::tie(engine.mismatchScore, engine.gapScore, engine.groupSize) = std::tuple(7.5f, 8.5f, 9);
  EXPECT_TRUE(loadScanSettings(store, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(-0.33f, -0.5f, 1000));

  // The configuration folder belongs to the system: a missing one is not created.
  XdgSettingsStore absent(dir.path() / "absent");
  ensureDefaultSettings(absent);
  EXPECT_FALSE(fs::exists(dir.path() / "absent"));
  CompareEngine untouched;
  EXPECT_FALSE(loadScanSettings(absent, untouched));
  EXPECT_EQ(valuesOf(untouched), std::tuple(-0.33f, -0.5f, 1000));
}

TEST(SettingsFile, AnExistingFileIsUsedAsItIsAndNeverRewritten) {
  TempDir dir;
  const std::string text = "MU=-0.25\nNUM_WORDS_PER_GROUPING=40\n";
  dir.write("Tovimar/Orvalis.conf", text);
  XdgSettingsStore store(dir.path());
  ensureDefaultSettings(store);
  store.createWithDefaults();  // a second program that saw no file a moment ago
  EXPECT_EQ(readFile(store.filePath()), text);
  CompareEngine engine;
  EXPECT_FALSE(loadScanSettings(store, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(-0.25f, -0.5f, 40));
}

TEST(SettingsLoading, StoresWhatItCanReadAndFailsWhenAnythingIsMissing) {
  FakeSettingsStore closed;
  closed.exists = false;
  CompareEngine engine;  // values no store holds, to see which fields loading wrote
  std::tie(engine.mismatchScore, engine.gapScore, engine.groupSize) = std::tuple(7.5f, 8.5f, 9);
  EXPECT_FALSE(loadScanSettings(closed, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(7.5f, 8.5f, 9));

  FakeSettingsStore noGroupSize;
  noGroupSize.values.erase("NUM_WORDS_PER_GROUPING");
  EXPECT_FALSE(loadScanSettings(noGroupSize, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(-0.25f, -0.75f, 9));

  FakeSettingsStore lettersOnly;
  lettersOnly.values["MU"] = "abc";
  EXPECT_TRUE(loadScanSettings(lettersOnly, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(0.0f, -0.75f, 40));

  // The group size is the number truncated toward zero.
  for (const auto& [text, expected] : {std::pair{"250.7", 250}, {"-3.9", -3}}) {
    FakeSettingsStore store;
    store.values["NUM_WORDS_PER_GROUPING"] = text;
    EXPECT_TRUE(loadScanSettings(store, engine));
    EXPECT_EQ(engine.groupSize, expected) << text;
  }
}

TEST(SettingsLoading, TextBecomesTheNumberOfItsLongestDecimalPrefix) {
  const std::vector<std::pair<std::string, double>> numbers = {
      {"250.7", 250.7}, {"  -3", -3.0}, {"1e3", 1000.0},
      {"1e", 1.0},      {"+.5", 0.5},   {"abc", 0.0},
      {"0x10", 0.0},    {"inf", 0.0},   {"1e999", std::numeric_limits<double>::infinity()},
  };
  for (const auto& [text, expected] : numbers) {
    EXPECT_EQ(parseSettingNumber(text), expected) << text;
  }
}

// The registry's 255-byte read buffer holds 126 UTF-16 units; a longer text is missing.
TEST(SettingsFile, TextOf126Utf16UnitsIsReadAnd127IsMissing) {
  std::string nonBmp;  // 61 characters of 4 bytes and 2 UTF-16 units each
  for (int i = 0; i < 61; ++i) nonBmp += "\xF0\x9F\x98\x80";
  const std::vector<std::pair<std::string, bool>> cases = {{std::string(122, 'x'), true},
                                                           {std::string(123, 'x'), false},
                                                           {nonBmp, true},
                                                           {nonBmp + "x", false}};
  for (const auto& [tail, readable] : cases) {
    SCOPED_TRACE(tail.size());
    TempDir dir;
    dir.write("Tovimar/Orvalis.conf", "MU=0.25" + tail + "\nDELTA=1\nNUM_WORDS_PER_GROUPING=5\n");
    XdgSettingsStore store(dir.path());
    CompareEngine engine;
    EXPECT_EQ(loadScanSettings(store, engine), readable);
    EXPECT_EQ(engine.mismatchScore, readable ? 0.25f : -0.33f);
  }
}

TEST(SettingsPlatform, UnusableGroupSizeAndTheSystemConfigFolder) {
  CompareEngine engine;
  engine.groupSize = 1;
  EXPECT_TRUE(replaceUnusableGroupSize(engine));
  EXPECT_EQ(engine.groupSize, 1000);
  engine.groupSize = 2;
  EXPECT_FALSE(replaceUnusableGroupSize(engine));
  EXPECT_EQ(engine.groupSize, 2);

  const char* saved = std::getenv("XDG_CONFIG_DIRS");
  const std::string original = saved ? saved : "";
  for (const auto& [value, expected] :
       {std::pair{"relative:/a/b:/c", "/a/b"}, {"rel:also/rel", "/etc/xdg"}, {"", "/etc/xdg"}}) {
    SCOPED_TRACE(value);
    ::setenv("XDG_CONFIG_DIRS", value, 1);
    EXPECT_EQ(XdgSettingsStore::systemConfigFolder(), fs::path(expected));
  }
  ::unsetenv("XDG_CONFIG_DIRS");
  EXPECT_EQ(XdgSettingsStore::systemConfigFolder(), fs::path("/etc/xdg"));
  if (saved) ::setenv("XDG_CONFIG_DIRS", original.c_str(), 1);
}

}  // namespace
}  // namespace orvalis
