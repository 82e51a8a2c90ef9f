#include "engine/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;

// A store kept in memory, for what the loading does with the values it gets.
struct FakeSettingsStore : SettingsStore {
  bool keyExists() override { return exists; }
  void createWithDefaults() override {}
  std::optional<std::string> readValue(std::string_view name) override {
    const auto it = values.find(std::string(name));
    return it == values.end() ? std::nullopt : std::optional(it->second);
  }
  bool exists = true;
  std::map<std::string, std::string> values = {
      {"MU", "-0.25"}, {"DELTA", "-0.75"}, {"NUM_WORDS_PER_GROUPING", "40"}};
};

auto valuesOf(CompareEngine& e) { return std::tie(e.mismatchScore, e.gapScore, e.groupSize); }

TEST(SettingsFile, FirstStartCreatesTheDefaultFileOnlyInAnExistingConfigFolder) {
  const testing::TempDir dir;
  XdgSettingsStore store(dir.path()), absent(dir.path() / "absent");
  ensureDefaultSettings(store);
  std::ifstream file(dir.path() / "Tovimar/Orvalis.conf", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}),
            "MU=-0.33\nDELTA=-0.50\nNUM_WORDS_PER_GROUPING=1000\n");
  // Only the finished file is left, readable by every user.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "Tovimar"), {}), 1);
  EXPECT_NE(fs::status(store.filePath()).permissions() & fs::perms::others_read, fs::perms::none);
  CompareEngine engine;
  valuesOf(engine) = std::tuple(7.5f, 8.5f, 9);  // to see that loading writes each field
  EXPECT_TRUE(loadScanSettings(store, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(-0.33f, -0.5f, 1000));
  // The configuration folder belongs to the system: a missing one is not created.
  ensureDefaultSettings(absent);
  EXPECT_FALSE(fs::exists(dir.path() / "absent"));
  EXPECT_FALSE(loadScanSettings(absent, engine));
}

// The registry's 255-byte read buffer holds 126 UTF-16 units; a longer text is missing.
TEST(SettingsFile, AnExistingFileIsNeverRewrittenAndTextsOver126Utf16UnitsAreMissing) {
  const testing::TempDir dir;
  std::string x126(126, 'x'), nonBmp;  // 63 characters of 2 UTF-16 units each
  for (int i = 0; i < 63; ++i) nonBmp += "\xF0\x9F\x98\x80";
  dir.write("Tovimar/Orvalis.conf", "MU=-0.25\nNUM_WORDS_PER_GROUPING=40\nA=" + x126 +
                                        "\nB=" + x126 + "x\nC=" + nonBmp + "\nD=" + nonBmp + "x\n");
  XdgSettingsStore store(dir.path());
  ensureDefaultSettings(store);
  store.createWithDefaults();  // a second program that saw no file a moment ago
  CompareEngine engine;
  EXPECT_FALSE(loadScanSettings(store, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(-0.25f, -0.5f, 40));
  EXPECT_EQ(store.readValue("A"), x126);
  EXPECT_EQ(store.readValue("B"), std::nullopt);
  EXPECT_EQ(store.readValue("C"), nonBmp);
  EXPECT_EQ(store.readValue("D"), std::nullopt);
}

TEST(SettingsFile, AValueIsTheRestOfTheFirstLineThatNamesIt) {
  const std::string tooLong = "MU=" + std::string(127, 'x') + "\nMU=1\n";
  const std::tuple<std::string, std::optional<std::string>> cases[] = {
      {"\xEF\xBB\xBFMU=1\r\n", "1"},          // a byte order mark and a CR LF line end
      {"MUX=2\nMU=3\nMU=4\n", "3"},           // the whole name, the first line that has it
      {"MU=a=b\r\r\n", "a=b\r"},              // only the CR of the line end is dropped
      {"X=1\n\nMU=", ""},                     // the last line without a line end
      {" MU=1\nmu=2\n\xEF\xBB\xBFMU=3", {}},  // no line that starts with "MU="
      {tooLong, {}},                          // the first line counts even when too long
  };
  for (const auto& [contents, expected] : cases) {
    EXPECT_EQ(settingsFileValue(contents, "MU"), expected) << contents;
  }
}

TEST(SettingsLoading, StoresWhatItCanReadAndFailsWhenAnythingIsMissing) {
  FakeSettingsStore store;
  CompareEngine engine;  // starts with the defaults, which the fake store does not hold
  store.exists = false;
  EXPECT_FALSE(loadScanSettings(store, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(-0.33f, -0.5f, 1000));
  store.exists = true;
  store.values.erase("NUM_WORDS_PER_GROUPING");
  store.values["MU"] = "abc";
  EXPECT_FALSE(loadScanSettings(store, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(0.0f, -0.75f, 1000));
  // The group size is the number truncated toward zero; below 2 it is replaced.
  for (const auto& [text, loaded, used] :
       {std::tuple{"2.9", 2, 2}, {"1.9", 1, 1000}, {"-0.9", 0, 1000}}) {
    store.values["NUM_WORDS_PER_GROUPING"] = text;
    EXPECT_TRUE(loadScanSettings(store, engine));  // letters count as 0
    EXPECT_EQ(valuesOf(engine), std::tuple(0.0f, -0.75f, loaded)) << text;
    EXPECT_EQ(replaceUnusableGroupSize(engine), used != loaded) << text;
    EXPECT_EQ(engine.groupSize, used) << text;
  }
}

TEST(SettingsLoading, TextBecomesTheNumberOfItsLongestDecimalPrefix) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<const char*, double> numbers[] = {
      {" -2.5e1x", -25.0}, {"+.5", 0.5},    {"1e", 1.0},   {"0x10", 0.0},
      {"inf", 0.0},        {"1e-999", 0.0}, {"1e999", inf}};
  for (const auto& [text, number] : numbers) EXPECT_EQ(parseSettingNumber(text), number) << text;
}

TEST(SettingsPlatform, SystemConfigFolderIsTheFirstAbsoluteXdgConfigDir) {
  const char* saved = std::getenv("XDG_CONFIG_DIRS");
  const std::string original = saved ? saved : "";
  for (const auto& [value, expected] :  // nullptr unsets it
       {std::pair{"rel:/a/b:/c", "/a/b"}, {"x:y/z", "/etc/xdg"}, {nullptr, "/etc/xdg"}}) {
    value ? ::setenv("XDG_CONFIG_DIRS", value, 1) : ::unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(XdgSettingsStore::systemConfigFolder(), fs::path(expected)) << (value ? value : "");
  }
  if (saved) ::setenv("XDG_CONFIG_DIRS", original.c_str(), 1);
}

}  // namespace
}  // namespace orvalis
