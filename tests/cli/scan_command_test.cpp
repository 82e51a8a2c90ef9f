#include "cli/scan_command.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace orvalis::cli {
namespace {

// A settings store held in memory, which records whether anyone wrote to it.
class MemoryStore : public SettingsStore {
 public:
  explicit MemoryStore(bool exists, std::map<std::string, std::string> values = {})
      : exists_(exists), values_(std::move(values)) {}
  bool keyExists() override { return exists_; }
  void createWithDefaults() override { created = true; }
  std::optional<std::string> readValue(std::string_view name) override {
    if (!exists_) return std::nullopt;
    const auto found = values_.find(std::string(name));
    if (found == values_.end()) return std::nullopt;
    return found->second;
  }
  bool created = false;

 private:
  bool exists_;
  std::map<std::string, std::string> values_;
};

ScanOptions optionsFor(std::vector<std::filesystem::path> files) {
  ScanOptions options;
  options.files = std::move(files);
  return options;
}

TEST(RunSettings, NoStoreGivesTheBuiltInDefaultsSilentlyAndCreatesNothing) {
  MemoryStore store(false);
  CompareEngine engine;
  engine.mismatchScore = 5.0f;  // proves that nothing was loaded
  std::ostringstream err;
  loadRunSettings(store, {}, engine, err);
  EXPECT_EQ(engine.mismatchScore, 5.0f);
  EXPECT_EQ(engine.groupSize, kDefaultGroupSize);
  EXPECT_EQ(err.str(), "");
  EXPECT_FALSE(store.created);
}

TEST(RunSettings, StoredValuesAreUsed) {
  MemoryStore store(true, {{"MU", "-1.25"}, {"DELTA", "-2"}, {"NUM_WORDS_PER_GROUPING", "40"}});
  CompareEngine engine;
  std::ostringstream err;
  loadRunSettings(store, {}, engine, err);
  EXPECT_EQ(engine.mismatchScore, -1.25f);
  EXPECT_EQ(engine.gapScore, -2.0f);
  EXPECT_EQ(engine.groupSize, 40);
  EXPECT_EQ(err.str(), "");
  EXPECT_FALSE(store.created);
}

TEST(RunSettings, IncompleteStoreWarnsAndGoesOn) {
  MemoryStore store(true, {{"MU", "-1.25"}});
  CompareEngine engine;
  std::ostringstream err;
  loadRunSettings(store, {}, engine, err);
  EXPECT_EQ(err.str(), "warning: Error! Cannot find settings.\n");
  EXPECT_EQ(engine.mismatchScore, -1.25f);
  EXPECT_EQ(engine.gapScore, kDefaultGapScore);
  EXPECT_FALSE(store.created);
}

TEST(RunSettings, UnusableStoredGroupSizeIsReplacedWithAWarning) {
  MemoryStore store(true, {{"MU", "-1"}, {"DELTA", "-1"}, {"NUM_WORDS_PER_GROUPING", "1"}});
  CompareEngine engine;
  std::ostringstream err;
  loadRunSettings(store, {}, engine, err);
  EXPECT_EQ(engine.groupSize, kDefaultGroupSize);
  EXPECT_EQ(err.str(), "warning: Error! NUM_WORDS_PER_GROUPING must be 2 or more. Using 1000.\n");
}

TEST(RunSettings, CommandLineOverridesWinAndSilenceTheGroupSizeWarning) {
  MemoryStore store(true, {{"MU", "-1"}, {"DELTA", "-1"}, {"NUM_WORDS_PER_GROUPING", "0"}});
  ScanOptions options;
  options.mismatchScore = -0.75f;
  options.gapScore = -0.125f;
  options.groupSize = 20;
  CompareEngine engine;
  std::ostringstream err;
  loadRunSettings(store, options, engine, err);
  EXPECT_EQ(engine.mismatchScore, -0.75f);
  EXPECT_EQ(engine.gapScore, -0.125f);
  EXPECT_EQ(engine.groupSize, 20);
  EXPECT_EQ(err.str(), "");
}

TEST(ChooseScanFiles, TwoOrMoreFilesAreTakenAsGivenWithoutLooking) {
  const auto selection = chooseScanFiles(optionsFor({"/nowhere/b.txt", "/nowhere/a.c"}));
  EXPECT_EQ(selection.status, kExitSuccess);
  EXPECT_EQ(selection.files,
            (std::vector<std::filesystem::path>{"/nowhere/b.txt", "/nowhere/a.c"}));
}

TEST(RunScan, ProgressLineIsLeftClearedBeforeTheResults) {
  testing::TempDir dir;
  dir.write("a.txt", "one two three four five six seven eight nine ten");
  dir.write("b.txt", "zero one two three four five six seven eight nine");
  MemoryStore store(false);
  std::ostringstream out;
  std::ostringstream err;
  const int status = runScan(optionsFor({dir.path() / "a.txt"}), store, out, err, true);
  EXPECT_EQ(status, kExitSuccess) << err.str();
  EXPECT_EQ(out.str(), "b.txt & a.txt (9.00)\n");
  const std::string progress = err.str();
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), '\r');
  EXPECT_EQ(progress.find('\n'), std::string::npos) << progress;
  // The last thing written blanks the line and returns to its start.
  const auto lastText = progress.rfind('\r', progress.size() - 2);
  ASSERT_NE(lastText, std::string::npos);
  EXPECT_EQ(progress.back(), '\r');
  EXPECT_EQ(progress.find_first_not_of(' ', lastText + 1), progress.size() - 1) << progress;
}

TEST(RunScanCommand, UsageErrorsGoToStandardErrorWithStatusTwo) {
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(runScanCommand(std::vector<std::string>{"--jobs", "0", "f"}, out, err, false),
            kExitUsage);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str().rfind("orvalis-scan: option --jobs needs", 0), 0u) << err.str();
  EXPECT_NE(err.str().find("usage: orvalis-scan"), std::string::npos);
}

}  // namespace
}  // namespace orvalis::cli
