#include "engine/text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/encoding.h"
#include "engine/input_file.h"
#include "engine/sha256.h"
#include "tests/support/scan_fixture.h"

namespace orvalis {
namespace {

using Words = std::vector<std::pair<std::string, std::int32_t>>;

Words wordsOf(const std::vector<WordEntry>& entries) {
  Words words;
  for (const auto& entry : entries) words.emplace_back(entry.text, entry.endOffset);
  return words;
}

TEST(TextMode, FoldsCrLfAndStopsAtByte1A) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"x\r\ny", "x\ny"},
      {"lone\rcr\r", "lone\rcr\r"},
      {"before\x1A"
       "after",
       "before"},
  };
  for (const auto& [raw, text] : cases) EXPECT_EQ(applyTextMode(raw), text);
}

TEST(WordSplitting, OnlyBlanksAndLineFeedsSeparateWords) {
  const std::vector<std::pair<std::string, Words>> cases = {
      {"  a  b ", {{"a", 3}, {"b", 6}}},
      {"one two\n", {{"one", 3}, {"two", 7}}},
      {"a\tb a\rb", {{"a\tb", 3}, {"a\rb", 7}}},
      {"", {}}};
  for (const auto& [text, words] : cases) EXPECT_EQ(wordsOf(splitWords(text)), words) << text;
}

// A file's words grouped from a list of them, or split straight into groups.
void group(FileEntry& entry, const std::string& text, std::int32_t groupSize, bool fromList) {
  if (fromList) {
    groupWords(entry, splitWords(text), groupSize);
  } else {
    splitIntoGroups(entry, text, static_cast<std::int32_t>(splitWords(text).size()), groupSize);
  }
}

TEST(Grouping, GroupsHoldAtMostGroupSizeMinusOneWordsAndKnowTheirSpan) {
  const std::vector<std::tuple<int, std::int32_t, std::vector<std::size_t>>> cases = {
      {999, 1000, {999}}, {2000, 1000, {667, 667, 666}}, {3, 2, {1, 1, 1}}, {0, 1000, {}}};
  for (const bool fromList : {true, false}) {
    for (const auto& [count, groupSize, expected] : cases) {
      FileEntry entry;
      group(entry, testing::numberedWords(count), groupSize, fromList);
      std::vector<std::size_t> sizes;
      for (const auto& [number, group] : entry.groups) sizes.push_back(group->words.size());
      EXPECT_EQ(sizes, expected) << count << " words";
    }
    // Leading separators, and several separators at the group boundary: a
    // group counts the one blank after it, the last group none.
    FileEntry entry;
    group(entry, "\n\n  alpha beta \n\n gamma delta", 3, fromList);
    ASSERT_EQ(entry.groups.size(), 2u);
    const WordGroup& first = *entry.groups.at(0);
    const WordGroup& last = *entry.groups.at(1);
    EXPECT_EQ(first.file, &entry);
    EXPECT_EQ(std::tuple(first.startOffset, first.length, last.startOffset, last.length),
              std::tuple(4, 11, 18, 11));
    EXPECT_EQ(wordsOf(first.words), (Words{{"alpha", 5}, {"beta", 10}}));
    EXPECT_EQ(wordsOf(last.words), (Words{{"gamma", 5}, {"delta", 11}}));
  }
  EXPECT_EQ(std::pair(effectiveGroupSize(1), effectiveGroupSize(2)),
            std::pair(kDefaultGroupSize, 2));
}

TEST(Grouping, CountsOfVeryLongFilesCoverEveryWordWithinTheGroupSize) {
  // Word counts that single precision rounds: the first two would lose their
  // last words, the next two make groups longer than groupSize - 1.
  const std::pair<std::int32_t, std::int32_t> large[] = {
      {16'779'205, 1000}, {16'777'217, 2}, {65'473'462, 1000}, {2'147'483'647, 2'147'483'647}};
  for (const auto& [wordCount, groupSize] : large) {
    const GroupCounts counts = groupCounts(wordCount, groupSize);
    EXPECT_GE(std::int64_t{counts.count} * counts.length, wordCount) << wordCount;
    EXPECT_LE(counts.length, groupSize - 1) << wordCount;
    EXPECT_GE(counts.length, 1) << wordCount;
  }
  // Where single precision covers every word within the limit, its counts stay.
  EXPECT_EQ(groupCounts(2000, 1000), (GroupCounts{3, 667}));
  EXPECT_EQ(groupCounts(16'780'203, 1000), (GroupCounts{16'798, 999}));
}

TEST(ReadingFiles, AFileIsReadAsFarAsTheSizeItHadWhenOpened) {
  const testing::TempDir dir;
  // Bytes added after opening are not read: a growing file cannot keep a read going.
  InputFile file;
  ASSERT_EQ(file.open(dir.write("growing.txt", "12345")), "");
  dir.write("growing.txt", "1234567890");
  char buffer[64];
  EXPECT_EQ(file.read(buffer, sizeof buffer), 5);
  EXPECT_EQ(file.read(buffer, sizeof buffer), 0);
}

TEST(Encoding, RecognisesValidUtf8Only) {
  for (const char* valid :
       {"", "ascii", "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xF0\x9F\x98\x80"}) {
    EXPECT_TRUE(isValidUtf8(valid)) << valid;
  }
  // Windows-1252, overlong, surrogate, above U+10FFFF, cut short.
  for (const char* invalid :
       {"caf\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x80"}) {
    EXPECT_FALSE(isValidUtf8(invalid)) << invalid;
  }
}

TEST(Encoding, DecodesUtf8AsItIsAndOtherBytesAsWindows1252) {
  EXPECT_EQ(decodeForDisplay("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(decodeForDisplay("caf\xE9 \x80 \x93q\x94 \x81"),
            "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC2\x81");
  // A piece cut inside a character of a UTF-8 file stays valid text.
  EXPECT_EQ(decodeTextPiece("ab\xC3", true), "ab\xEF\xBF\xBD");
  EXPECT_EQ(decodeTextPiece("\xC3\xA9", false), "\xC3\x83\xC2\xA9");
  EXPECT_EQ(utf16Length("caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x80"), 10u);
}

TEST(Encoding, LineTextEscapesWhatWouldBreakALine) {
  EXPECT_EQ(lineText("a b/caf\xE9.txt"), "a b/caf\xC3\xA9.txt");
  EXPECT_EQ(lineText("new\nline\r\ttab\x01\x7F.txt"), "new\\nline\\r\\ttab\\x01\\x7F.txt");
}

// Windows names are UTF-16 and may hold a surrogate without its partner.
TEST(Encoding, Utf16BecomesUtf8AndALoneSurrogateBecomesAReplacement) {
  EXPECT_EQ(utf16ToUtf8(u"a\u00E9\u0395\u4E2D\U0001F600"),
            "a\xC3\xA9\xCE\x95\xE4\xB8\xAD\xF0\x9F\x98\x80");
  const std::u16string broken = {0xD83D, u'x', 0xDE00, 0xDE00, 0xD83D};
  EXPECT_EQ(utf16ToUtf8(broken), "\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

// Published vectors, and lengths at the padding's edges (55, 56 and 64 bytes),
// each also hashed in pieces of 1 to 130 bytes, by every kernel the processor
// has.
TEST(Sha256, GivesThePublishedDigestsWholeAndInPieces) {
  const std::pair<std::string, const char*> cases[] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(55, 'x'), "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072"},
      {std::string(56, 'x'), "04c26261370ee7541549d16dee320c723e3fd14671e66a099afe0a377c16888e"},
      {std::string(64, 'x'), "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  EXPECT_EQ(hexText(sha256("abc")), cases[0].second);
  for (const Sha256Kernel kernel : {Sha256Kernel::kPortable, Sha256Kernel::kShaExtensions}) {
    if (!sha256KernelSupported(kernel)) continue;
    SCOPED_TRACE("kernel " + std::to_string(static_cast<int>(kernel)));
    for (const auto& [input, digest] : cases) {
      Sha256 whole(kernel);
      whole.update(input);
      EXPECT_EQ(hexText(whole.finish()), digest) << input.size() << " bytes";
      for (std::size_t piece = 1; piece <= 130 && input.size() < 1000; ++piece) {
        Sha256 hash(kernel);
        for (std::size_t at = 0; at < input.size(); at += piece) {
          hash.update(input.substr(at, piece));
        }
        ASSERT_EQ(hexText(hash.finish()), digest) << input.size() << " bytes by " << piece;
      }
    }
  }
}

}  // namespace
}  // namespace orvalis
