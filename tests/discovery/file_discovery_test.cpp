#include "discovery/file_discovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<fs::path>;

TEST(FileDiscovery, FindsTheFilesOfTheChosenExtensionAndAsksForTwoOrMore) {
  const testing::TempDir dir;
  // A folder whose name has the extension, with a file of its own.
  for (const char* name : {"a.txt", "B.TXT", "c.cpp", "sub.txt/inner.txt"}) dir.write(name, "x");
  // The chosen file need not exist; its extension still picks the files.
  const Discovery found = discoverFiles(dir.path() / "chosen.TxT");
  EXPECT_FALSE(found.error);
  EXPECT_EQ(found.files, (Paths{dir.path() / "a.txt", dir.path() / "B.TXT"}));
  ASSERT_EQ(found.skipped.size(), 1u);
  EXPECT_EQ(found.skipped[0].path, dir.path() / "sub.txt");
  EXPECT_TRUE(discoverFiles(dir.path() / "no-such-folder/a.txt").error);
}

TEST(Selection, MatchesTheLastExtensionIgnoringAsciiCaseInAnOrderIndependentOfTheListing) {
  EXPECT_EQ(
      selectFiles({{"a.txt"}, {"b.TXT"}, {"c.tXt"}, {"d.txt.bak"}, {"e.text"}, {"txt"}}, ".Txt"),
      (Paths{"a.txt", "b.TXT", "c.tXt"}));
  // Case is ignored first, then exact bytes decide; bytes above 0x7F come after
  // ASCII, and "_" lies between the upper and the lower case letters.
  const Paths ordered{"_x", "A", "a", "B", "b", "Z", "\xC3\x89t\xC3\xA9"};
  EXPECT_EQ(selectFiles({{"b"}, {"A"}, {"Z"}, {"a"}, {"\xC3\x89t\xC3\xA9"}, {"_x"}, {"B"}}, ""),
            ordered);
  EXPECT_EQ(selectFiles({{"B"}, {"\xC3\x89t\xC3\xA9"}, {"a"}, {"b"}, {"A"}, {"_x"}, {"Z"}}, ""),
            ordered);
}

}  // namespace
}  // namespace orvalis
