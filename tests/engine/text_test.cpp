#include "engine/text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

using Words = std::vector<std::pair<std::string, std::int32_t>>;

Words wordsOf(const std::vector<WordEntry>& entries) {
  Words words;
  for (const auto& entry : entries) words.emplace_back(entry.text, entry.endOffset);
  return words;
}

std::string numberedWords(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? " w" : "w") + std::to_string(i);
  return text;
}

TEST(TextMode, FoldsCrLfAndStopsAtByte1A) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"x\r\ny", "x\ny"},
      {"a\r\r\nb", "a\r\nb"},
      {"lone\rcr\r", "lone\rcr\r"},
      {"before\x1A"
       "after",
       "before"},
      {"x\r\x1A\n", "x\r"},
      {std::string("a\0b\t\xFF", 5), std::string("a\0b\t\xFF", 5)}};
  for (const auto& [raw, text] : cases) EXPECT_EQ(applyTextMode(raw), text);
}

TEST(WordSplitting, OnlyBlanksAndLineFeedsSeparateWords) {
  const std::vector<std::pair<std::string, Words>> cases = {
      {"a b", {{"a", 1}, {"b", 3}}},
      {"  a  b ", {{"a", 3}, {"b", 6}}},
      {"one two\n", {{"one", 3}, {"two", 7}}},
      {"a\tb a\rb", {{"a\tb", 3}, {"a\rb", 7}}},
      {std::string("\0\xFF", 2), {{std::string("\0\xFF", 2), 2}}},
      {"", {}},
      {"  \n \n\n ", {}}};
  for (const auto& [text, words] : cases) EXPECT_EQ(wordsOf(splitWords(text)), words) << text;
}

TEST(Grouping, GroupsHoldAtMostGroupSizeMinusOneWords) {
  const std::vector<std::tuple<int, std::int32_t, std::vector<std::size_t>>> cases = {
      {999, 1000, {999}}, {1000, 1000, {500, 500}},
      {5, 1000, {5}},     {2000, 1000, {667, 667, 666}},
      {3, 2, {1, 1, 1}},  {0, 1000, {}}};
  for (const auto& [count, groupSize, expected] : cases) {
    FileEntry entry;
    groupWords(entry, splitWords(numberedWords(count)), groupSize);
    std::vector<std::size_t> sizes;
    for (const auto& [number, group] : entry.groups) sizes.push_back(group->words.size());
    EXPECT_EQ(sizes, expected) << count << " words";
  }
  EXPECT_EQ(effectiveGroupSize(1), kDefaultGroupSize);
  EXPECT_EQ(effectiveGroupSize(2), 2);
}

TEST(Grouping, CountsOfVeryLongFilesCoverEveryWordWithinTheGroupSize) {
  // Word counts that single precision rounds: before, the first two lost their
  // last words, the next two made groups longer than groupSize - 1.
  const std::pair<std::int32_t, std::int32_t> large[] = {{16'779'205, 1000},
                                                         {16'777'217, 2},
                                                         {65'473'462, 1000},
                                                         {51'904'811, 100},
                                                         {2'147'483'647, 2},
                                                         {2'147'483'647, 1000},
                                                         {2'147'483'647, 2'147'483'647}};
  for (const auto& [wordCount, groupSize] : large) {
    const GroupCounts counts = groupCounts(wordCount, groupSize);
    EXPECT_GE(std::int64_t{counts.count} * counts.length, wordCount) << wordCount;
    EXPECT_LE(counts.length, groupSize - 1) << wordCount;
    EXPECT_GE(counts.length, 1) << wordCount;
  }
  // Where single precision covers every word within the limit, its counts stay.
  EXPECT_EQ(groupCounts(2000, 1000), (GroupCounts{3, 667}));
  EXPECT_EQ(groupCounts(16'780'203, 1000), (GroupCounts{16'798, 999}));
  EXPECT_EQ(groupCounts(0, 1000), (GroupCounts{0, 0}));
}

TEST(Grouping, GroupsKnowTheirSpanAndWhereTheyBegin) {
  // Leading separators, and several separators at the group boundary.
  const std::string text = "\n\n  alpha beta \n\n gamma delta";
  FileEntry entry;
  groupWords(entry, splitWords(text), 3);
  ASSERT_EQ(entry.groups.size(), 2u);
  const WordGroup& first = *entry.groups.at(0);
  const WordGroup& last = *entry.groups.at(1);
  EXPECT_EQ(first.file, &entry);
  EXPECT_EQ(first.startOffset, 4);
  EXPECT_EQ(first.length, 11);  // "alpha beta" and the one blank after it
  EXPECT_EQ(last.startOffset, 18);
  EXPECT_EQ(last.length, 11);  // the last group counts no separator after it
  EXPECT_EQ(wordsOf(last.words), (Words{{"gamma", 5}, {"delta", 11}}));
}

TEST(FileLoading, ReadsInTextModeAndKnowsTheEncoding) {
  testing::TempDir dir;
  FileEntry entry;
  entry.path = dir.write("crlf.txt", "x\r\ny");
  EXPECT_FALSE(loadFileEntry(entry, 1000));
  ASSERT_EQ(entry.groups.size(), 1u);
  EXPECT_EQ(wordsOf(entry.groups.at(0)->words), (Words{{"x", 1}, {"y", 3}}));
  EXPECT_TRUE(entry.textIsUtf8);

  FileEntry latin;
  latin.path = dir.write("latin.txt", "caf\xE9");
  EXPECT_FALSE(loadFileEntry(latin, 1000));
  EXPECT_FALSE(latin.textIsUtf8);

  FileEntry empty;
  empty.path = dir.write("empty.txt",
                         " \r\n\x1A"
                         "words after the end");
  EXPECT_FALSE(loadFileEntry(empty, 1000));
  EXPECT_TRUE(empty.groups.empty());
}

TEST(FileLoading, MissingFilesAndFoldersAreReportedNotFatal) {
  testing::TempDir dir;
  FileEntry missing;
  missing.path = dir.path() / "missing.txt";
  EXPECT_TRUE(loadFileEntry(missing, 1000));
  FileEntry folder;
  folder.path = dir.path();
  EXPECT_EQ(loadFileEntry(folder, 1000).message, "is a folder");
  EXPECT_TRUE(folder.groups.empty());
}

}  // namespace
}  // namespace orvalis
