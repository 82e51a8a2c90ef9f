#include "engine/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;
using ::orvalis::testing::TempDir;

constexpr std::string_view kDefaultFileText =
    "MU=-0.33\nDELTA=-0.50\nNUM_WORDS_PER_GROUPING=1000\n";
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A store kept in memory, for what the loading does with the values it gets.
class FakeSettingsStore : public SettingsStore {
 public:
  bool keyExists() override { return exists; }
  void createWithDefaults() override { ++createCalls; }
  std::optional<std::string> readValue(std::string_view name) override {
    queried.emplace_back(name);
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }

  bool exists = true;
  std::map<std::string, std::string, std::less<>> values = {
      {"MU", "-0.25"}, {"DELTA", "-0.75"}, {"NUM_WORDS_PER_GROUPING", "40"}};
  int createCalls = 0;
  std::vector<std::string> queried;
};

// Values no store holds, so that a test sees which fields loading wrote.
void setUnlikelyValues(CompareEngine& engine) {
  engine.mismatchScore = 7.5f;
  engine.gapScore = 8.5f;
  engine.groupSize = 9;
}

void expectBuiltInDefaults(const CompareEngine& engine) {
  EXPECT_EQ(engine.mismatchScore, -0.33f);
  EXPECT_EQ(engine.gapScore, -0.5f);
  EXPECT_EQ(engine.groupSize, 1000);
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

std::vector<std::string> entriesOf(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string repeated(std::string_view piece, int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += piece;
  return text;
}

// Sets or unsets an environment variable for one test and restores it after.
class ScopedEnvironmentVariable {
 public:
  explicit ScopedEnvironmentVariable(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) saved_ = value;
  }
  ~ScopedEnvironmentVariable() {
    if (saved_) {
      ::setenv(name_, saved_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

  void set(const std::string& value) { ::setenv(name_, value.c_str(), 1); }
  void unset() { ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// --- First start: the file is created only where it can be --------------------

TEST(SettingsFirstStart, CreatesTheFileWithTheThreeDefaultTextsAndLoadsThem) {
  TempDir dir;
  XdgSettingsStore store(dir.path());
  ensureDefaultSettings(store);

  EXPECT_EQ(store.filePath(), dir.path() / "Tovimar" / "Orvalis.conf");
  EXPECT_EQ(readFile(store.filePath()), kDefaultFileText);
  // Nothing but the file itself is left in the folder.
  EXPECT_EQ(entriesOf(dir.path() / "Tovimar"), std::vector<std::string>{"Orvalis.conf"});
  // Settings of the whole machine are readable by every user.
  EXPECT_NE(fs::status(store.filePath()).permissions() & fs::perms::others_read, fs::perms::none);

  CompareEngine engine;
  setUnlikelyValues(engine);
  EXPECT_TRUE(loadScanSettings(store, engine));
  expectBuiltInDefaults(engine);
}

TEST(SettingsFirstStart, WritesIntoAnExistingEmptyMakerFolder) {
  TempDir dir;
  fs::create_directory(dir.path() / "Tovimar");
  XdgSettingsStore store(dir.path());
  ensureDefaultSettings(store);
  EXPECT_EQ(readFile(store.filePath()), kDefaultFileText);
}

TEST(SettingsFirstStart, MissingConfigFolderIsNotCreatedAndLoadingFails) {
  TempDir dir;
  XdgSettingsStore store(dir.path() / "absent");
  ensureDefaultSettings(store);
  EXPECT_FALSE(fs::exists(dir.path() / "absent"));

  CompareEngine engine;
  EXPECT_FALSE(loadScanSettings(store, engine));
  expectBuiltInDefaults(engine);
}

TEST(SettingsFirstStart, MakerFolderThatCannotBeCreatedLeavesEverythingAlone) {
  TempDir dir;
  dir.write("Tovimar", "a plain file");
  XdgSettingsStore store(dir.path());
  ensureDefaultSettings(store);
  EXPECT_EQ(readFile(dir.path() / "Tovimar"), "a plain file");
  EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"Tovimar"});

  CompareEngine engine;
  EXPECT_FALSE(loadScanSettings(store, engine));
  expectBuiltInDefaults(engine);
}

TEST(SettingsFirstStart, ReadOnlyFoldersGiveDefaultsAndFailure) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop the superuser";
  TempDir dir;
  const auto config = dir.path() / "config";
  const auto maker = dir.path() / "config-with-maker";
  fs::create_directories(config);
  fs::create_directories(maker / "Tovimar");
  const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec;
  fs::permissions(config, readOnly);
  fs::permissions(maker / "Tovimar", readOnly);

  for (const auto& folder : {config, maker}) {
    SCOPED_TRACE(folder.string());
    XdgSettingsStore store(folder);
    ensureDefaultSettings(store);
    CompareEngine engine;
    EXPECT_FALSE(loadScanSettings(store, engine));
    expectBuiltInDefaults(engine);
  }
  EXPECT_TRUE(entriesOf(config).empty());
  EXPECT_TRUE(entriesOf(maker / "Tovimar").empty());  // no temporary file left behind
  fs::permissions(config, fs::perms::owner_all);
  fs::permissions(maker / "Tovimar", fs::perms::owner_all);
}

// --- An existing file is used as it is and never rewritten -------------------

TEST(SettingsExistingFile, MissingGapScoreFailsKeepsItsDefaultAndIsNotRewritten) {
  TempDir dir;
  const std::string text = "MU=-0.25\nNUM_WORDS_PER_GROUPING=40\n";
  dir.write("Tovimar/Orvalis.conf", text);
  XdgSettingsStore store(dir.path());
  ensureDefaultSettings(store);

  CompareEngine engine;
  EXPECT_FALSE(loadScanSettings(store, engine));
  EXPECT_EQ(engine.mismatchScore, -0.25f);
  EXPECT_EQ(engine.gapScore, -0.5f);
  EXPECT_EQ(engine.groupSize, 40);
  EXPECT_EQ(readFile(store.filePath()), text);
}

TEST(SettingsExistingFile, EmptyFileIsNotRewritten) {
  TempDir dir;
  dir.write("Tovimar/Orvalis.conf", "");
  XdgSettingsStore store(dir.path());
  ensureDefaultSettings(store);
  EXPECT_EQ(readFile(store.filePath()), "");

  CompareEngine engine;
  EXPECT_FALSE(loadScanSettings(store, engine));
  expectBuiltInDefaults(engine);
}

TEST(SettingsExistingFile, CreatingNeverReplacesAFileThatIsThere) {
  TempDir dir;
  dir.write("Tovimar/Orvalis.conf", "MU=1\n");
  XdgSettingsStore store(dir.path());
  store.createWithDefaults();
  EXPECT_EQ(readFile(store.filePath()), "MU=1\n");
  EXPECT_EQ(entriesOf(dir.path() / "Tovimar"), std::vector<std::string>{"Orvalis.conf"});
}

TEST(SettingsExistingFile, FolderInPlaceOfTheFileCountsAsPresentButUnreadable) {
  TempDir dir;
  fs::create_directories(dir.path() / "Tovimar" / "Orvalis.conf");
  XdgSettingsStore store(dir.path());
  ensureDefaultSettings(store);
  EXPECT_TRUE(fs::is_directory(store.filePath()));
  CompareEngine engine;
  EXPECT_FALSE(loadScanSettings(store, engine));
  expectBuiltInDefaults(engine);
}

TEST(SettingsExistingFile, LettersOnlyMismatchScoreBecomesZeroWithoutFailure) {
  TempDir dir;
  dir.write("Tovimar/Orvalis.conf", "MU=abc\nDELTA=-0.50\nNUM_WORDS_PER_GROUPING=1000\n");
  XdgSettingsStore store(dir.path());
  CompareEngine engine;
  EXPECT_TRUE(loadScanSettings(store, engine));
  EXPECT_EQ(engine.mismatchScore, 0.0f);
}

TEST(SettingsFileFormat, ReadsTheFirstLineThatNamesTheValue) {
  TempDir dir;
  dir.write("Tovimar/Orvalis.conf",
            "\xEF\xBB\xBFMU=0.25\r\n"  // byte order mark and CR LF
            "a line without a value\n"
            "DELTA\n"
            "DELTAX=5\n"
            "DELTA=-0.75=x\r\n"
            "DELTA=9\n"
            "EMPTY=\n"
            "NUM_WORDS_PER_GROUPING=12");  // no line end at the end of the file
  XdgSettingsStore store(dir.path());
  EXPECT_EQ(store.readValue("MU"), "0.25");
  EXPECT_EQ(store.readValue("DELTA"), "-0.75=x");
  EXPECT_EQ(store.readValue("EMPTY"), "");
  EXPECT_EQ(store.readValue("NUM_WORDS_PER_GROUPING"), "12");
  EXPECT_EQ(store.readValue("DELT"), std::nullopt);
  EXPECT_EQ(store.readValue("a line without a value"), std::nullopt);

  CompareEngine engine;
  EXPECT_TRUE(loadScanSettings(store, engine));
  EXPECT_EQ(engine.mismatchScore, 0.25f);
  EXPECT_EQ(engine.gapScore, -0.75f);
  EXPECT_EQ(engine.groupSize, 12);
}

TEST(SettingsFileFormat, MissingFileHasNoValues) {
  TempDir dir;
  XdgSettingsStore store(dir.path());
  EXPECT_FALSE(store.keyExists());
  EXPECT_EQ(store.readValue("MU"), std::nullopt);
}

// --- A text too long for the registry's 255-byte buffer counts as missing -----

TEST(SettingsValueLength, TextOf126Utf16UnitsIsReadAnd127IsMissing) {
  struct Case {
    const char* what;
    std::string text;
    bool readable;
  };
  const std::string number = "0.25";  // 4 units
  const std::vector<Case> cases = {
      {"ASCII 126", number + std::string(122, 'x'), true},
      {"ASCII 127", number + std::string(123, 'x'), false},
      {"two-byte characters count 1", number + repeated("\xC3\xA9", 122), true},
      {"three-byte characters count 1", number + repeated("\xE2\x82\xAC", 122), true},
      {"three-byte characters, 127", number + repeated("\xE2\x82\xAC", 123), false},
      {"non-BMP characters count 2", number + repeated("\xF0\x9F\x98\x80", 61), true},
      {"non-BMP characters, 127", number + repeated("\xF0\x9F\x98\x80", 61) + "x", false},
      {"invalid bytes count 1", number + std::string(122, '\xFF'), true},
      {"invalid bytes, 127", number + std::string(123, '\xFF'), false},
      {"cut four-byte sequence counts per byte", number + repeated("\xF0\x9F\x98", 41), false},
      {"encoded surrogate counts per byte", number + repeated("\xED\xA0\x80", 41), false},
      {"overlong form counts per byte", number + repeated("\xE0\x80\xAE", 41), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    dir.write("Tovimar/Orvalis.conf",
              "MU=" + c.text + "\nDELTA=-0.50\nNUM_WORDS_PER_GROUPING=1000\n");
    XdgSettingsStore store(dir.path());
    EXPECT_EQ(store.readValue("MU").has_value(), c.readable);

    CompareEngine engine;
    EXPECT_EQ(loadScanSettings(store, engine), c.readable);
    EXPECT_EQ(engine.mismatchScore, c.readable ? 0.25f : -0.33f);
  }
}

// --- Loading: what is stored when a value is missing --------------------------

TEST(SettingsLoading, UnopenableKeyReturnsFalseAndLeavesTheEngineAlone) {
  FakeSettingsStore store;
  store.exists = false;
  CompareEngine engine;
  setUnlikelyValues(engine);
  EXPECT_FALSE(loadScanSettings(store, engine));
  EXPECT_EQ(engine.mismatchScore, 7.5f);
  EXPECT_EQ(engine.gapScore, 8.5f);
  EXPECT_EQ(engine.groupSize, 9);
  EXPECT_TRUE(store.queried.empty());
}

TEST(SettingsLoading, AllThreeValuesReadReturnsTrue) {
  FakeSettingsStore store;
  CompareEngine engine;
  EXPECT_TRUE(loadScanSettings(store, engine));
  EXPECT_EQ(engine.mismatchScore, -0.25f);
  EXPECT_EQ(engine.gapScore, -0.75f);
  EXPECT_EQ(engine.groupSize, 40);
}

TEST(SettingsLoading, MissingGroupSizeReturnsFalseButKeepsTheScoresRead) {
  FakeSettingsStore store;
  store.values.erase("NUM_WORDS_PER_GROUPING");
  CompareEngine engine;
  setUnlikelyValues(engine);
  EXPECT_FALSE(loadScanSettings(store, engine));
  EXPECT_EQ(engine.mismatchScore, -0.25f);
  EXPECT_EQ(engine.gapScore, -0.75f);
  EXPECT_EQ(engine.groupSize, 9);
}

TEST(SettingsLoading, MissingScoreReturnsFalseButStoresTheOtherValues) {
  for (const std::string missing : {"MU", "DELTA"}) {
    SCOPED_TRACE(missing);
    FakeSettingsStore store;
    store.values.erase(missing);
    CompareEngine engine;
    setUnlikelyValues(engine);
    EXPECT_FALSE(loadScanSettings(store, engine));
    EXPECT_EQ(engine.mismatchScore, missing == "MU" ? 7.5f : -0.25f);
    EXPECT_EQ(engine.gapScore, missing == "DELTA" ? 8.5f : -0.75f);
    EXPECT_EQ(engine.groupSize, 40);
  }
}

TEST(SettingsLoading, GroupSizeIsTheNumberTruncatedTowardZeroAndClampedToInt32) {
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      {"250.7", 250},
      {"-3", -3},
      {"1e3", 1000},
      {"-2.9", -2},
      {"0.99", 0},
      {"abc", 0},
      {"2147483647.9", kInt32Max},
      {"-2147483648.9", kInt32Min},
      {"3000000000", kInt32Max},
      {"-3000000000", kInt32Min},
      {"1e400", kInt32Max},
      {"-1e400", kInt32Min},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    FakeSettingsStore store;
    store.values["NUM_WORDS_PER_GROUPING"] = text;
    CompareEngine engine;
    EXPECT_TRUE(loadScanSettings(store, engine));
    EXPECT_EQ(engine.groupSize, expected);
  }
}

TEST(SettingsLoading, ScoresAreTheNumberRoundedToSinglePrecision) {
  constexpr float kFloatMax = std::numeric_limits<float>::max();
  constexpr float kFloatInfinity = std::numeric_limits<float>::infinity();
  const std::vector<std::pair<std::string, float>> cases = {
      {"-0.33", -0.33f},
      {"0.1", 0.1f},
      {"1e-50", 0.0f},
      {"3.4028235e38", kFloatMax},  // above the largest float, but rounds to it
      {"-3.4028235e38", -kFloatMax},
      {"3.4028236e38", kFloatInfinity},
      {"1e39", kFloatInfinity},
      {"-1e39", -kFloatInfinity},
      {"1e400", kFloatInfinity},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    FakeSettingsStore store;
    store.values["MU"] = text;
    store.values["DELTA"] = text;
    CompareEngine engine;
    EXPECT_TRUE(loadScanSettings(store, engine));
    EXPECT_EQ(engine.mismatchScore, expected);
    EXPECT_EQ(engine.gapScore, expected);
  }
}

TEST(SettingsDefaults, AreCreatedOnlyWhenTheKeyCannotBeOpened) {
  FakeSettingsStore present;
  ensureDefaultSettings(present);
  EXPECT_EQ(present.createCalls, 0);

  FakeSettingsStore absent;
  absent.exists = false;
  ensureDefaultSettings(absent);
  EXPECT_EQ(absent.createCalls, 1);
}

// --- Text to number ------------------------------------------------------------

TEST(SettingNumber, ReadsTheLongestDecimalPrefix) {
  const std::vector<std::pair<std::string, double>> cases = {
      {"250.7", 250.7},
      {"  -3", -3.0},
      {"\t\n\v\f\r 7", 7.0},
      {"1e3", 1000.0},
      {"1E+2", 100.0},
      {"1e-2", 0.01},
      {"1e", 1.0},
      {"1e+", 1.0},
      {"1ex", 1.0},
      {"1.", 1.0},
      {"1.e2", 100.0},
      {"+.5", 0.5},
      {"-.5", -0.5},
      {"00012", 12.0},
      {"7 8", 7.0},
      {"1,5", 1.0},  // the decimal separator is always "."
      {"12abc", 12.0},
      {"0.1", 0.1},
      {"123456789012345678901234567890", 123456789012345678901234567890.0},
      {"", 0.0},
      {".", 0.0},
      {".e1", 0.0},
      {"-", 0.0},
      {"+", 0.0},
      {"- 1", 0.0},
      {"abc", 0.0},
      {"e5", 0.0},
      {"0x10", 0.0},
      {"inf", 0.0},
      {"infinity", 0.0},
      {"nan", 0.0},
      {"\xC2\xA0"
       "5",
       0.0},  // only the "C" locale's white space is skipped
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(parseSettingNumber(text), expected);
  }
}

TEST(SettingNumber, BeyondTheDoubleRangeGivesInfinityOrZero) {
  const std::string hugeDigits = "1" + std::string(400, '0');
  const std::string tinyFraction = "0." + std::string(400, '0') + "1";
  EXPECT_EQ(parseSettingNumber("1e400"), kInfinity);
  EXPECT_EQ(parseSettingNumber("-1e400"), -kInfinity);
  EXPECT_EQ(parseSettingNumber(hugeDigits), kInfinity);
  EXPECT_EQ(parseSettingNumber("1e99999999999999999999"), kInfinity);
  EXPECT_EQ(parseSettingNumber("0.001e310"), 1e307);
  EXPECT_EQ(parseSettingNumber("1000e-323"), 1e-320);  // a subnormal is kept

  EXPECT_EQ(parseSettingNumber("1e-400"), 0.0);
  EXPECT_EQ(parseSettingNumber(tinyFraction), 0.0);
  EXPECT_EQ(parseSettingNumber(hugeDigits + "e-99999999999999999999"), 0.0);
  EXPECT_EQ(parseSettingNumber("0e99999999999999999999"), 0.0);
  const double negativeTiny = parseSettingNumber("-1e-400");
  EXPECT_EQ(negativeTiny, 0.0);
  EXPECT_TRUE(std::signbit(negativeTiny));
}

// --- A group size that cannot group words ---------------------------------------

TEST(UnusableGroupSize, BelowTwoIsReplacedByTheDefault) {
  for (const std::int32_t size : {1, 0, -3, kInt32Min}) {
    SCOPED_TRACE(size);
    CompareEngine engine;
    engine.groupSize = size;
    EXPECT_TRUE(replaceUnusableGroupSize(engine));
    EXPECT_EQ(engine.groupSize, 1000);
  }
  for (const std::int32_t size : {2, 3, kInt32Max}) {
    SCOPED_TRACE(size);
    CompareEngine engine;
    engine.groupSize = size;
    EXPECT_FALSE(replaceUnusableGroupSize(engine));
    EXPECT_EQ(engine.groupSize, size);
  }
}

// --- Where the system's settings live ---------------------------------------------

TEST(SystemConfigFolder, IsTheFirstAbsoluteEntryOfXdgConfigDirs) {
  ScopedEnvironmentVariable dirs("XDG_CONFIG_DIRS");
  const std::vector<std::pair<std::string, fs::path>> cases = {
      {"/a/b:/c", "/a/b"}, {"/only", "/only"}, {"relative:/abs", "/abs"},    {":/x", "/x"},
      {"", "/etc/xdg"},    {":", "/etc/xdg"},  {"rel:also/rel", "/etc/xdg"},
  };
  for (const auto& [value, expected] : cases) {
    SCOPED_TRACE(value);
    dirs.set(value);
    EXPECT_EQ(XdgSettingsStore::systemConfigFolder(), expected);
  }
  dirs.unset();
  EXPECT_EQ(XdgSettingsStore::systemConfigFolder(), "/etc/xdg");
}

TEST(SystemConfigFolder, SystemStoreUsesIt) {
  ScopedEnvironmentVariable dirs("XDG_CONFIG_DIRS");
  TempDir dir;
  dirs.set(dir.path().string() + ":/nonexistent");
  const auto store = openSystemSettingsStore();
  ASSERT_NE(store, nullptr);
  ensureDefaultSettings(*store);
  EXPECT_EQ(readFile(dir.path() / "Tovimar" / "Orvalis.conf"), kDefaultFileText);
}

}  // namespace
}  // namespace orvalis
