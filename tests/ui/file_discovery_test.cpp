#include "ui/main/file_discovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<fs::path>;

TEST(FileDiscovery, TakesTheFilesOfTheChosenExtensionInCaseInsensitiveOrder) {
  const testing::TempDir dir;
  // A folder whose name has the extension, with a file of its own.
  for (const char* name : {"a.txt", "B.TXT", "c.cpp", "sub.txt/inner.txt"}) dir.write(name, "x");
  const auto at = [&](const char* name) { return dir.path() / name; };
  const std::pair<const char*, Paths> rows[] = {
      {"a.txt", {at("a.txt"), at("B.TXT")}},
      {"missing.TxT", {at("a.txt"), at("B.TXT")}},
      {"anything", {at("a.txt"), at("B.TXT"), at("c.cpp")}}};
  for (const auto& [chosen, expected] : rows) {
    const Discovery found = discoverFiles(at(chosen));
    EXPECT_FALSE(found.error) << chosen;
    EXPECT_EQ(found.files, expected) << chosen;
  }
  const Discovery missing = discoverFiles(at("no-such-folder/a.txt"));
  EXPECT_TRUE(missing.error);
  EXPECT_TRUE(missing.files.empty());
}

Paths selected(std::initializer_list<const char*> names, const fs::path& extension) {
  std::vector<FolderEntry> entries;
  for (const char* name : names) entries.push_back(FolderEntry{name, false});
  return selectFiles(entries, extension);
}

TEST(Selection, MatchesTheExtensionIgnoringAsciiCaseInAnOrderIndependentOfTheListing) {
  EXPECT_EQ(selected({"a.txt", "b.TXT", "c.tXt", "d.txt.bak", "e.text", "txt"}, ".Txt"),
            (Paths{"a.txt", "b.TXT", "c.tXt"}));
  // Case is ignored first; names equal that way go by their exact bytes, and
  // bytes above 0x7F come after ASCII.
  const Paths ordered{"_x", "A", "a", "B", "b", "\xC3\x89t\xC3\xA9"};
  EXPECT_EQ(selected({"b", "A", "a", "\xC3\x89t\xC3\xA9", "_x", "B"}, ""), ordered);
  EXPECT_EQ(selected({"B", "\xC3\x89t\xC3\xA9", "a", "b", "A", "_x"}, ""), ordered);
}

TEST(Extension, RunsFromTheLastDotOfTheLastComponent) {
  EXPECT_EQ(extensionOf("notes.v2.txt"), ".txt");
  EXPECT_EQ(extensionOf(".profile"), ".profile");
  EXPECT_EQ(extensionOf("noext"), "");
  EXPECT_EQ(extensionOf("/d.d/noext"), "");
}

TEST(DiscoveryMessage, AsksForTwoOrMoreFiles) {
  EXPECT_EQ(discoveryMessage(0), kNoFilesFoundMessage);
  EXPECT_EQ(discoveryMessage(1), kOnlyOneFileMessage);
  EXPECT_EQ(discoveryMessage(2), "");
}

}  // namespace
}  // namespace orvalis
