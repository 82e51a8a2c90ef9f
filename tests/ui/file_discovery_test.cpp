#include "ui/main/file_discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::vector<FolderEntry> files(std::initializer_list<const char*> names) {
  std::vector<FolderEntry> entries;
  for (const char* name : names)
    entries.push_back(FolderEntry{name, false});
  return entries;
}

std::vector<std::string> asStrings(const std::vector<fs::path>& paths) {
  std::vector<std::string> out;
  for (const auto& path : paths)
    out.push_back(path.string());
  return out;
}

// A folder holding a.txt, B.TXT, c.cpp and a subfolder whose name has the
// extension too, with a file of its own.
class MixedFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("a.txt", "alpha");
    dir_.write("B.TXT", "beta");
    dir_.write("c.cpp", "gamma");
    dir_.write("sub.txt/inner.txt", "delta");
  }
  fs::path at(const char* name) const { return dir_.path() / name; }

  TempDir dir_;
};

TEST_F(MixedFolder, ChosenFileFindsFilesOfItsExtensionOnlyInCaseInsensitiveOrder) {
  const Discovery found = discoverFiles(at("a.txt"));
  EXPECT_FALSE(found.error);
  EXPECT_EQ(found.folder, dir_.path());
  EXPECT_EQ(found.files, (std::vector<fs::path>{at("a.txt"), at("B.TXT")}));
}

TEST_F(MixedFolder, TypedNameThatDoesNotExistUsesOnlyItsFolderAndExtension) {
  const Discovery found = discoverFiles(at("missing.TxT"));
  EXPECT_FALSE(found.error);
  EXPECT_EQ(found.files, (std::vector<fs::path>{at("a.txt"), at("B.TXT")}));
}

TEST_F(MixedFolder, NameWithoutExtensionTakesEveryFileButNoFolder) {
  const Discovery found = discoverFiles(at("anything"));
  EXPECT_FALSE(found.error);
  EXPECT_EQ(found.files, (std::vector<fs::path>{at("a.txt"), at("B.TXT"), at("c.cpp")}));
}

TEST_F(MixedFolder, ChosenPathWithoutFolderSearchesTheWorkingFolder) {
  const fs::path previous = fs::current_path();
  fs::current_path(dir_.path());
  const Discovery found = discoverFiles("x.cpp");
  fs::current_path(previous);
  EXPECT_FALSE(found.error);
  EXPECT_EQ(found.folder, fs::path("."));
  EXPECT_EQ(found.files, (std::vector<fs::path>{fs::path(".") / "c.cpp"}));
}

TEST_F(MixedFolder, ListingMarksFoldersAndNamesEachEntryOnce) {
  std::error_code error;
  auto entries = listFolder(dir_.path(), error);
  EXPECT_FALSE(error);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, "B.TXT");
  EXPECT_EQ(entries[1].name, "a.txt");
  EXPECT_EQ(entries[2].name, "c.cpp");
  EXPECT_EQ(entries[3].name, "sub.txt");
  EXPECT_FALSE(entries[0].isDirectory);
  EXPECT_FALSE(entries[1].isDirectory);
  EXPECT_FALSE(entries[2].isDirectory);
  EXPECT_TRUE(entries[3].isDirectory);
}

TEST(FileDiscovery, SymbolicLinksCountAsWhatTheyPointAtAndBrokenOnesAsFiles) {
  TempDir dir;
  dir.write("real.txt", "x");
  dir.write("folder/inner.txt", "y");
  std::error_code linkError;
  fs::create_symlink(dir.path() / "real.txt", dir.path() / "link.txt", linkError);
  if (linkError) GTEST_SKIP() << "no symbolic links here: " << linkError.message();
  fs::create_directory_symlink(dir.path() / "folder", dir.path() / "dirlink.txt");
  fs::create_symlink(dir.path() / "gone", dir.path() / "broken.txt");

  const Discovery found = discoverFiles(dir.path() / "real.txt");
  EXPECT_FALSE(found.error);
  EXPECT_EQ(found.files, (std::vector<fs::path>{dir.path() / "broken.txt", dir.path() / "link.txt",
                                                dir.path() / "real.txt"}));
}

TEST(FileDiscovery, FolderThatCannotBeListedGivesAnErrorAndNoFiles) {
  TempDir dir;
  const Discovery missing = discoverFiles(dir.path() / "no-such-folder" / "a.txt");
  EXPECT_TRUE(missing.error);
  EXPECT_TRUE(missing.files.empty());

  // A file where the folder should be.
  dir.write("plain", "x");
  std::error_code error;
  EXPECT_TRUE(listFolder(dir.path() / "plain", error).empty());
  EXPECT_TRUE(error);
}

TEST(FileDiscovery, ListingClearsAnEarlierError) {
  TempDir dir;
  dir.write("a.txt", "x");
  std::error_code error = std::make_error_code(std::errc::io_error);
  EXPECT_EQ(listFolder(dir.path(), error).size(), 1u);
  EXPECT_FALSE(error);
}

TEST(Extension, RunsFromTheLastDotOfTheLastComponent) {
  EXPECT_EQ(extensionOf("notes.v2.txt"), ".txt");
  EXPECT_EQ(extensionOf("/some/dir.d/a.CPP"), ".CPP");
  EXPECT_EQ(extensionOf("/some/dir.d/noext"), "");
  EXPECT_EQ(extensionOf("noext"), "");
  EXPECT_EQ(extensionOf(".profile"), ".profile");
  EXPECT_EQ(extensionOf("/home/me/.profile"), ".profile");
  EXPECT_EQ(extensionOf("a."), ".");
  EXPECT_EQ(extensionOf("a.tar.gz"), ".gz");
}

TEST(Selection, KeepsNamesEndingWithTheExtensionIgnoringAsciiCase) {
  auto entries = files({"a.txt", "b.TXT", "c.tXt", "d.txt.bak", "e.text", "ftxt", "txt"});
  entries.push_back(FolderEntry{"folder.txt", true});
  EXPECT_EQ(asStrings(selectFiles(entries, ".Txt")),
            (std::vector<std::string>{"a.txt", "b.TXT", "c.tXt"}));
}

TEST(Selection, DotfileExtensionMatchesTheDotfileAndLongerNames) {
  EXPECT_EQ(asStrings(selectFiles(files({"x.profile", ".profile", "profile", "a.txt"}),
                                  extensionOf(".profile"))),
            (std::vector<std::string>{".profile", "x.profile"}));
}

TEST(Selection, LastExtensionOfADottedNameIsWhatCounts) {
  EXPECT_EQ(asStrings(selectFiles(files({"notes.v2.txt", "notes.v2", "other.txt"}),
                                  extensionOf("notes.v2.txt"))),
            (std::vector<std::string>{"notes.v2.txt", "other.txt"}));
}

TEST(Selection, EmptyExtensionTakesEveryFileButNoFolder) {
  std::vector<FolderEntry> entries = files({"b", "a.c", ".hidden"});
  entries.push_back(FolderEntry{"dir", true});
  EXPECT_EQ(asStrings(selectFiles(entries, "")), (std::vector<std::string>{".hidden", "a.c", "b"}));
}

TEST(Selection, OrderIgnoresCaseAndBreaksTiesByExactBytesWhateverTheListingOrder) {
  const std::vector<std::string> expected = {"_x", "A", "a",    "alpha",
                                             "B",  "b", "Zeta", "\xC3\x89t\xC3\xA9"};
  std::vector<std::string> names = expected;
  std::sort(names.begin(), names.end());
  do {
    std::vector<FolderEntry> entries;
    for (const auto& name : names)
      entries.push_back(FolderEntry{name, false});
    ASSERT_EQ(asStrings(selectFiles(entries, "")), expected);
  } while (std::next_permutation(names.begin(), names.begin() + 4));
  // Reversed as a whole as well, which moves every name.
  std::vector<FolderEntry> reversed;
  for (auto it = expected.rbegin(); it != expected.rend(); ++it) {
    reversed.push_back(FolderEntry{*it, false});
  }
  EXPECT_EQ(asStrings(selectFiles(reversed, "")), expected);
}

TEST(DiscoveryMessage, AsksForTwoOrMoreFiles) {
  EXPECT_EQ(discoveryMessage(0), kNoFilesFoundMessage);
  EXPECT_EQ(discoveryMessage(1), kOnlyOneFileMessage);
  EXPECT_EQ(discoveryMessage(2), "");
  EXPECT_EQ(discoveryMessage(1000), "");
}

}  // namespace
}  // namespace orvalis
