#include "engine/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <tuple>

#include "tests/support/scratch_settings.h"
#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;

auto valuesOf(CompareEngine& e) { return std::tie(e.mismatchScore, e.gapScore, e.groupSize); }

// The store of this platform: the settings file, or on Windows the registry key.
class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!scratch.usable()) GTEST_SKIP() << scratch.unusableReason();
  }
  testing::ScratchSettings scratch;
  SettingsStore& store = scratch.store();
};

TEST_F(SettingsStoreTest, FirstStartCreatesTheThreeDefaultsAndLoadsThem) {
  CompareEngine engine;
  valuesOf(engine) = std::tuple(7.5f, 8.5f, 9);  // to see that loading writes each field
  // Before the first start nothing can be read and the engine keeps its values.
  EXPECT_FALSE(store.keyExists());
  EXPECT_FALSE(loadScanSettings(store, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(7.5f, 8.5f, 9));
  ensureDefaultSettings(store);
  EXPECT_TRUE(store.keyExists());
  EXPECT_EQ(std::tuple(store.readValue("MU"), store.readValue("DELTA"),
                       store.readValue("NUM_WORDS_PER_GROUPING")),
            std::tuple("-0.33", "-0.50", "1000"));
  EXPECT_TRUE(loadScanSettings(store, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(-0.33f, -0.5f, 1000));
}

// The registry's 255-byte read buffer holds 126 UTF-16 units and the NUL; a
// longer text counts as missing in every store.
TEST_F(SettingsStoreTest, AnExistingKeyIsLeftAloneAndTextsOver126Utf16UnitsAreMissing) {
  const std::string x126(126, 'x');
  std::string nonBmp;  // 63 characters of 2 UTF-16 units each
  for (int i = 0; i < 63; ++i) nonBmp += "\xF0\x9F\x98\x80";
  scratch.write({{"MU", "-0.25"},
                 {"NUM_WORDS_PER_GROUPING", "40"},
                 {"A", x126},
                 {"B", x126 + "x"},
                 {"C", nonBmp},
                 {"D", nonBmp + "x"}});
  ensureDefaultSettings(store);
  EXPECT_EQ(store.readValue("DELTA"), std::nullopt);  // not created again
  CompareEngine engine;
  EXPECT_FALSE(loadScanSettings(store, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(-0.25f, -0.5f, 40));
  using Text = std::optional<std::string>;
  EXPECT_EQ(std::tuple(store.readValue("A"), store.readValue("B"), store.readValue("C"),
                       store.readValue("D")),
            std::tuple(Text(x126), Text(), Text(nonBmp), Text()));
}

#ifndef _WIN32

TEST(SettingsFile, DefaultsAreOneFileWrittenWholeOnlyInAnExistingConfigFolder) {
  const testing::TempDir dir;
  XdgSettingsStore store(dir.path()), absent(dir.path() / "absent");
  ensureDefaultSettings(store);
  // Only the finished file is left, readable by every user.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "Tovimar"), {}), 1);
  EXPECT_NE(fs::status(store.filePath()).permissions() & fs::perms::others_read, fs::perms::none);
  // The configuration folder belongs to the system: a missing one is not created.
  ensureDefaultSettings(absent);
  EXPECT_FALSE(fs::exists(dir.path() / "absent"));
  CompareEngine engine;
  EXPECT_FALSE(loadScanSettings(absent, engine));
  // A file that appeared meanwhile, from another program, is not replaced.
  dir.write("Tovimar/Orvalis.conf", "MU=-0.25\n");
  store.createWithDefaults();
  EXPECT_EQ(std::pair(store.readValue("MU"), store.readValue("DELTA")),
            std::pair(std::optional<std::string>("-0.25"), std::optional<std::string>()));
}

TEST(SettingsFile, AValueIsTheRestOfTheFirstLineThatNamesIt) {
  const std::string tooLong = "MU=" + std::string(127, 'x') + "\nMU=1\n";
  const std::tuple<std::string, std::optional<std::string>> cases[] = {
      {"\xEF\xBB\xBFMU=1\r\n", "1"},          // a byte order mark and a CR LF line end
      {"MUX=2\nMU=3\nMU=4\n", "3"},           // the whole name, the first line that has it
      {" MU=1\nmu=2\n\xEF\xBB\xBFMU=3", {}},  // no line that starts with "MU="
      {tooLong, {}},                          // the first line counts even when too long
  };
  for (const auto& [contents, expected] : cases) {
    EXPECT_EQ(settingsFileValue(contents, "MU"), expected) << contents;
  }
}

#endif

TEST_F(SettingsStoreTest, LoadingStoresWhatItCanReadAndFailsWhenAnythingIsMissing) {
  CompareEngine engine;  // starts with the defaults, which the store does not hold
  scratch.write({{"MU", "abc"}, {"DELTA", "-0.75"}});
  EXPECT_FALSE(loadScanSettings(store, engine));
  EXPECT_EQ(valuesOf(engine), std::tuple(0.0f, -0.75f, 1000));  // letters count as 0
  // The group size is the number truncated toward zero; below 2 it is replaced.
  for (const auto& [text, loaded, used] :
       {std::tuple{"2.9", 2, 2}, {"1.9", 1, 1000}, {"-0.9", 0, 1000}}) {
    scratch.write({{"MU", "abc"}, {"DELTA", "-0.75"}, {"NUM_WORDS_PER_GROUPING", text}});
    EXPECT_TRUE(loadScanSettings(store, engine));
    EXPECT_EQ(valuesOf(engine), std::tuple(0.0f, -0.75f, loaded)) << text;
    EXPECT_EQ(replaceUnusableGroupSize(engine), used != loaded) << text;
    EXPECT_EQ(engine.groupSize, used) << text;
  }
}

TEST(SettingsLoading, TextBecomesTheNumberOfItsLongestDecimalPrefix) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<const char*, double> numbers[] = {
      {" -2.5e1x", -25.0}, {"1e", 1.0}, {"0x10", 0.0}, {"1e999", inf}};
  for (const auto& [text, number] : numbers) EXPECT_EQ(parseSettingNumber(text), number) << text;
}

}  // namespace
}  // namespace orvalis
