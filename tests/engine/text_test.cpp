#include "engine/text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

using Words = std::vector<std::pair<std::string, std::int32_t>>;

Words wordsOf(const std::vector<WordEntry>& entries) {
  Words words;
  for (const auto& entry : entries)
    words.emplace_back(entry.text, entry.endOffset);
  return words;
}

Words wordsOf(std::string_view text) {
  return wordsOf(splitWords(text));
}

std::string numberedWords(int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += (i ? " w" : "w") + std::to_string(i);
  return text;
}

std::vector<std::size_t> groupSizes(const FileEntry& entry) {
  std::vector<std::size_t> sizes;
  for (const auto& [number, group] : entry.groups)
    sizes.push_back(group->words.size());
  return sizes;
}

TEST(TextMode, CarriageReturnLineFeedBecomesOneLineFeed) {
  EXPECT_EQ(applyTextMode("x\r\ny"), "x\ny");
  EXPECT_EQ(applyTextMode("a\r\r\nb"), "a\r\nb");
  EXPECT_EQ(applyTextMode("lone\rcr\r"), "lone\rcr\r");
  EXPECT_EQ(applyTextMode("\r\n\r\n"), "\n\n");
}

TEST(TextMode, Byte1AEndsTheInput) {
  EXPECT_EQ(applyTextMode("before\x1A"
                          "after"),
            "before");
  EXPECT_EQ(applyTextMode("x\r\x1A\n"), "x\r");
}

TEST(TextMode, OtherBytesPassUnchanged) {
  const std::string bytes("a\0b\t\xFF\xC3\xA9", 7);
  EXPECT_EQ(applyTextMode(bytes), bytes);
}

TEST(TextMode, ReadWholeTextAppliesTextModeToTheStream) {
  std::istringstream in("one two\r\nthree\r\n");
  EXPECT_EQ(readWholeText(in), "one two\nthree\n");
}

TEST(WordSplitting, BlanksAndLineFeedsSeparateWords) {
  EXPECT_EQ(wordsOf("a b"), (Words{{"a", 1}, {"b", 3}}));
  EXPECT_EQ(wordsOf("  a  b "), (Words{{"a", 3}, {"b", 6}}));
  EXPECT_EQ(wordsOf("x\ny"), (Words{{"x", 1}, {"y", 3}}));
}

TEST(WordSplitting, OtherBytesStayInsideWords) {
  EXPECT_EQ(wordsOf("a\tb"), (Words{{"a\tb", 3}}));
  EXPECT_EQ(wordsOf("a\rb c"), (Words{{"a\rb", 3}, {"c", 5}}));
  EXPECT_EQ(wordsOf(std::string_view("\0\xFF", 2)), (Words{{std::string("\0\xFF", 2), 2}}));
  EXPECT_EQ(wordsOf("End; end"), (Words{{"End;", 4}, {"end", 8}}));
}

TEST(WordSplitting, TextsWithoutWordsGiveNone) {
  EXPECT_TRUE(splitWords("").empty());
  EXPECT_TRUE(splitWords("  \n \n\n ").empty());
}

TEST(WordSplitting, FinalLineBreakChangesNothing) {
  EXPECT_EQ(wordsOf("one two\n"), wordsOf("one two"));
}

TEST(Grouping, GroupsHoldAtMostGroupSizeMinusOneWords) {
  const std::vector<std::pair<int, std::vector<std::size_t>>> cases = {
      {999, {999}}, {1000, {500, 500}}, {2000, {667, 667, 666}}, {5, {5}}};
  for (const auto& [count, expected] : cases) {
    FileEntry entry;
    groupWords(entry, splitWords(numberedWords(count)), 1000);
    EXPECT_EQ(groupSizes(entry), expected) << count << " words";
  }
  FileEntry single;
  groupWords(single, splitWords("a b c"), 2);
  EXPECT_EQ(groupSizes(single), (std::vector<std::size_t>{1, 1, 1}));
}

TEST(Grouping, NoWordsGiveNoGroup) {
  FileEntry entry;
  groupWords(entry, {}, 1000);
  EXPECT_TRUE(entry.groups.empty());
}

TEST(Grouping, LengthCountsOneSeparatorAfterEveryGroupButTheLast) {
  FileEntry entry;
  groupWords(entry, splitWords("one two\n"), 1000);
  ASSERT_EQ(entry.groups.size(), 1u);
  const WordGroup& group = *entry.groups.at(0);
  EXPECT_EQ(group.length, 7);
  EXPECT_EQ(group.words[0].endOffset, 3);
  EXPECT_EQ(group.words[1].endOffset, 7);
  EXPECT_EQ(group.file, &entry);

  FileEntry split;
  groupWords(split, splitWords("aa bb cc dd"), 3);  // two groups of two words
  EXPECT_EQ(split.groups.at(0)->length, 6);         // "aa bb" and one blank
  EXPECT_EQ(split.groups.at(1)->length, 5);         // "cc dd"
}

TEST(Grouping, GroupsKnowWhereTheyBeginAndWordsCountFromThere) {
  // Leading separators and several separators at the group boundary.
  const std::string text = "\n\n  alpha beta \n\n gamma delta";
  FileEntry entry;
  groupWords(entry, splitWords(text), 3);
  ASSERT_EQ(entry.groups.size(), 2u);
  for (const auto& [number, group] : entry.groups) {
    for (const WordEntry& word : group->words) {
      const auto start = static_cast<std::size_t>(group->startOffset + word.startOffset());
      EXPECT_EQ(text.substr(start, word.text.size()), word.text);
    }
  }
  EXPECT_EQ(entry.groups.at(0)->startOffset, 4);
  EXPECT_EQ(entry.groups.at(0)->words[0].endOffset, 5);
  EXPECT_EQ(entry.groups.at(1)->startOffset, 18);
}

TEST(Grouping, TooSmallGroupSizeFallsBackToTheDefault) {
  EXPECT_EQ(effectiveGroupSize(1), kDefaultGroupSize);
  EXPECT_EQ(effectiveGroupSize(-3), kDefaultGroupSize);
  EXPECT_EQ(effectiveGroupSize(2), 2);
}

TEST(FileLoading, ReadsInTextModeAndGroups) {
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
}

TEST(FileLoading, EmptyFilesLoadWithoutGroups) {
  testing::TempDir dir;
  for (const char* text : {"", " \r\n \n",
                           "\x1A"
                           "words after the end"}) {
    FileEntry entry;
    entry.path = dir.write("empty.txt", text);
    EXPECT_FALSE(loadFileEntry(entry, 1000));
    EXPECT_TRUE(entry.groups.empty());
  }
}

TEST(FileLoading, MissingFilesAndFoldersAreReportedNotFatal) {
  testing::TempDir dir;
  FileEntry missing;
  missing.path = dir.path() / "missing.txt";
  EXPECT_TRUE(loadFileEntry(missing, 1000));
  EXPECT_TRUE(missing.groups.empty());

  FileEntry folder;
  folder.path = dir.path();
  const LoadError error = loadFileEntry(folder, 1000);
  EXPECT_EQ(error.message, "is a folder");
}

}  // namespace
}  // namespace orvalis
