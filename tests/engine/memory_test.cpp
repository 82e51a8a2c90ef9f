#include "engine/memory.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "engine/records.h"

namespace orvalis {
namespace {

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = 1024 * kKiB;
constexpr std::uint64_t kGiB = 1024 * kMiB;

TEST(MemorySize, TextHasOneDecimalBelowTenOfItsLargestUnitAndParsingTakesUnitsOf1024) {
  const std::vector<std::pair<std::uint64_t, std::string>> texts = {
      {0, "0 bytes"},
      {1, "1 byte"},
      {1023, "1023 bytes"},
      {1536, "1.5 KiB"},
      {10 * kKiB - 1, "10 KiB"},
      {12 * kMiB + 512 * kKiB, "13 MiB"},
      {std::numeric_limits<std::uint64_t>::max(), "16 EiB"}};
  for (const auto& [bytes, text] : texts) EXPECT_EQ(memorySizeText(bytes), text) << bytes;
  const std::vector<std::pair<std::string, std::uint64_t>> good = {
      {"100000", 100000}, {"512MB", 512 * kMiB}, {"2gib", 2 * kGiB}};
  for (const auto& [text, bytes] : good) EXPECT_EQ(parseMemorySize(text), bytes) << text;
  for (const std::string text : {"", "0", "0.0001", "-1G", "1 G", "1GG", "nan", "99999999T"}) {
    EXPECT_EQ(parseMemorySize(text), std::nullopt) << text;
  }
}

TEST(MemoryBudget, TheSmallerLimitBindsAndTheShortfallSaysWhichItIs) {
  MemoryBudget own(kGiB, 4 * kGiB);
  EXPECT_TRUE(own.ownLimitBinds());
  EXPECT_EQ(std::pair(own.fits(kGiB), own.fits(kGiB + 1)), std::pair(true, false));
  own.take(kGiB / 2);
  EXPECT_EQ(own.left(), kGiB / 2);
  // The total that would be needed, against the limit as a whole.
  EXPECT_EQ(own.shortfallText(kGiB), "about 1.5 GiB in all, and the memory limit is 1 GiB");
  own.take(kGiB);
  EXPECT_EQ(own.left(), 0u);
  const MemoryBudget system(8 * kGiB, 3 * kGiB);
  EXPECT_FALSE(system.ownLimitBinds());
  EXPECT_EQ(system.shortfallText(5 * kGiB), "about 5 GiB in all, and 3 GiB is available");
  // No limit of its own and none known of the system: everything fits.
  EXPECT_TRUE(MemoryBudget(0, std::nullopt).fits(std::numeric_limits<std::uint64_t>::max()));
  EXPECT_EQ(desktopScanMemoryLimit(std::nullopt), 0u);
  EXPECT_EQ(desktopScanMemoryLimit(8 * kGiB), 6 * kGiB);
}

TEST(SystemMemory, MeminfoAndControlGroupFilesAreRead) {
  const std::string meminfo =
      "MemTotal:       24683748 kB\nMemFree:        1000 kB\nMemAvailable:   24156756 kB\n";
  EXPECT_EQ(meminfoAvailable(meminfo), 24156756 * kKiB);
  EXPECT_EQ(meminfoTotal(meminfo), 24683748 * kKiB);
  EXPECT_EQ(meminfoAvailable("MemTotal: 5 kB\n"), std::nullopt);
  // Version 2: "max" is no limit; the inactive file cache counts as free.
  EXPECT_EQ(cgroupMemoryLeft("max\n", "1000\n", ""), std::nullopt);
  EXPECT_EQ(cgroupMemoryLeft("8192\n", "5000\n", "anon 3000\ninactive_file 1000\n"), 4192u);
  // Version 1 names the hierarchy's counts "total_"; its "no limit" is near 2^63.
  EXPECT_EQ(cgroupMemoryLeft("8192\n", "5000\n", "inactive_file 10\ntotal_inactive_file 2000\n"),
            5192u);
  EXPECT_EQ(cgroupMemoryLeft("9223372036854771712\n", "5000\n", ""), std::nullopt);
  // Over the limit: nothing left, not a wrapped-around number.
  EXPECT_EQ(cgroupMemoryLeft("4096\n", "5000\n", ""), 0u);
  // The control group folders run from the process's group to the top.
  const auto paths = [](const std::string& procSelfCgroup) {
    std::string found;
    for (const auto& folder : memoryCgroupFolders(procSelfCgroup)) {
      found += (folder.version2 ? "2 " : "1 ") + folder.path + "\n";
    }
    return found;
  };
  EXPECT_EQ(paths("0::/user.slice/app.scope\n"),
            "2 /sys/fs/cgroup/user.slice/app.scope\n2 /sys/fs/cgroup/user.slice\n"
            "2 /sys/fs/cgroup\n");
  EXPECT_EQ(paths("5:cpu,cpuacct:/a\n4:memory:/job/7\n0::/\n"),
            "1 /sys/fs/cgroup/memory/job/7\n1 /sys/fs/cgroup/memory/job\n"
            "1 /sys/fs/cgroup/memory\n2 /sys/fs/cgroup\n");
#if defined(__linux__) || defined(_WIN32)
  // And this machine tells what it has and gives.
  EXPECT_GT(installedMemory().value_or(0), 64 * kMiB);
  EXPECT_GT(availableMemory().value_or(0), 0u);
#endif
}

TEST(ScanMemoryEstimate, WordsCountWithTheirRecordsAndLongWordsWithTheirText) {
  // One long word keeps its text beside its record.
  EXPECT_GE(wordMemoryOf(std::string(1000, 'x'), 1000).kept, 1000 + sizeof(WordEntry));
  // Splitting holds the text too, and at least one list of records beside the groups'.
  EXPECT_GE(wordMemoryOf(std::string(10000, ' ') + "word", 1000).peak, 10000u);
  std::string letters;
  for (int i = 0; i < 5000; ++i) letters += "a ";
  const WordMemory many = wordMemoryOf(letters, 1000);
  EXPECT_EQ(many.words, 5000u);
  EXPECT_GE(many.peak, 2 * many.words * sizeof(WordEntry));
}

}  // namespace
}  // namespace orvalis
