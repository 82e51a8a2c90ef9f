#include "ui/results/view_text.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encoding.h"
#include "engine/text.h"
#include "tests/support/temp_dir.h"
#include "ui/results/text_file_source.h"

namespace orvalis {
namespace {

using namespace std::literals;

// UTF-8 as UTF-16, as the toolkit holds text; each byte of an invalid sequence
// as U+FFFD. The view text is always valid, so that case never arises.
std::u16string utf16(std::string_view utf8) {
  std::u16string out;
  while (!utf8.empty()) {
    const std::size_t length = std::max<std::size_t>(1, utf8SequenceLength(utf8));
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]) & 0x3Fu; };
    const auto lead = static_cast<unsigned char>(utf8[0]);
    char32_t code = length == 1   ? lead
                    : length == 2 ? ((lead & 0x1Fu) << 6) | byte(1)
                    : length == 3
                        ? ((lead & 0x0Fu) << 12) | (byte(1) << 6) | byte(2)
                        : ((lead & 0x07u) << 18) | (byte(1) << 12) | (byte(2) << 6) | byte(3);
    if (code > 0xFFFF) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    utf8.remove_prefix(length);
  }
  return out;
}

// What a view shows for a file's bytes, made from pieces of `pieceSize` bytes,
// with where the engine's offsets fall in it.
struct Shown {
  std::u16string text;
  ViewPositions positions;
};

Shown show(const testing::TempDir& dir, std::string_view bytes, std::size_t pieceSize) {
  TextFileSource source;
  EXPECT_EQ(source.open(dir.write("file.txt", bytes)), TextFileFailure::kNone);
  std::string text;
  Shown shown;
  shown.positions = streamViewText(source, pieceSize, [&](std::string_view piece) {
    EXPECT_FALSE(piece.empty());
    text += piece;
  });
  EXPECT_TRUE(isValidUtf8(text));
  shown.text = utf16(text);
  EXPECT_EQ(shown.positions.textLength(), static_cast<std::int64_t>(shown.text.size()));
  return shown;
}

// The engine's offsets of the words `first` to `last` (counted from 0) of the
// file's text: from the first byte of one to just past the other.
std::pair<std::int32_t, std::int32_t> wordSpan(std::string_view bytes, std::size_t first,
                                               std::size_t last) {
  const auto words = splitWords(applyTextMode(std::string(bytes)));
  return {words.at(first).startOffset(), words.at(last).endOffset};
}

TEST(ViewText, SelectionCoversExactlyTheMatchedWordsWhateverThePieces) {
  // The file's bytes, the matched words (first and last), and the view text of
  // that stretch: CR LF is one position, UTF-8 shows as its characters (an
  // emoji takes two positions), other text as Windows-1252, controls as their
  // pictures, and 0x1A ends the text.
  const std::tuple<std::string_view, std::size_t, std::size_t, std::u16string_view> cases[] = {
      {"one two\r\nthree four\r\nfive", 1, 3, u"two\nthree four"},
      {"\r\n\r\n\n  first words here\r\n", 0, 1, u"first words"},
      {"Köln café 😀 naïve 東京 end", 1, 4, u"café 😀 naïve 東京"},
      {"😀😀 x 😀y z", 1, 2, u"x 😀y"},
      {"caf\xE9 na\xEFve \x80uro \x81 end", 1, 3, u"naïve €uro \u0081"},
      {"a\rb c\0d\r\r\ne\x7F f"sv, 0, 2, u"a␍b c␀d␍\ne␡"},
      {"alpha beta\x1A gamma", 1, 1, u"beta"},
      {"tail\r", 0, 0, u"tail␍"},
  };
  for (const auto& [bytes, first, last, expected] : cases) {
    SCOPED_TRACE(std::string(bytes));
    const testing::TempDir dir;
    const auto [start, end] = wordSpan(bytes, first, last);
    const Shown whole = show(dir, bytes, 1 << 16);
    const ViewRange range = whole.positions.rangeOf(start, end);
    EXPECT_EQ(whole.text.substr(range.start, range.end - range.start), expected);
    // Pieces that cut CR LF pairs and UTF-8 sequences change nothing.
    for (const std::size_t pieceSize : {1, 2, 3, 5}) {
      const Shown pieces = show(dir, bytes, pieceSize);
      EXPECT_EQ(pieces.text, whole.text) << pieceSize;
      EXPECT_EQ(pieces.positions.rangeOf(start, end), range) << pieceSize;
    }
  }
}

TEST(ViewText, OffsetsOutsideTheTextOrInsideACharacterSelectWholeCharactersOfTheText) {
  ViewPositions positions;  // "a€😀b": 1 + 3 + 4 + 1 bytes, 1 + 1 + 2 + 1 positions
  positions.append(1, 1);
  positions.append(3, 1);
  positions.append(4, 2);
  positions.append(1, 1);
  EXPECT_EQ(positions.rangeOf(1, 8), (ViewRange{1, 4}));
  EXPECT_EQ(positions.rangeOf(2, 6), (ViewRange{1, 4}));  // both ends inside characters
  EXPECT_EQ(positions.rangeOf(4, 4), (ViewRange{2, 2}));  // empty stretch
  EXPECT_EQ(positions.rangeOf(8, 1), (ViewRange{4, 4}));  // end before start
  EXPECT_EQ(positions.rangeOf(-5, 100), (ViewRange{0, 5}));
  EXPECT_EQ(positions.rangeOf(100, 200), (ViewRange{5, 5}));
  EXPECT_EQ(ViewPositions().rangeOf(0, 10), (ViewRange{0, 0}));
  // Both ends before the start of an empty text: nothing to look up.
  EXPECT_EQ(ViewPositions().rangeOf(-2, -1), (ViewRange{0, 0}));
}

TEST(ViewText, PiecewiseTextModeAndUtf8CheckAgreeWithTheWholeTextOnRandomBytes) {
  // A tiny alphabet makes CR LF pairs, 0x1A and cut or broken sequences common.
  const std::string alphabet =
      "\r\n\x1A"
      "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFF";
  std::mt19937 random(20261207);
  for (int round = 0; round < 2000; ++round) {
    std::string raw(random() % 24, ' ');
    for (char& c : raw) c = alphabet[random() % alphabet.size()];
    TextModeStream mode;
    Utf8Check check;
    std::string text;
    for (std::size_t at = 0; at < raw.size();) {
      const std::size_t size = 1 + random() % 4;
      std::string piece;
      mode.feed(std::string_view(raw).substr(at, size), piece);
      check.feed(piece);
      text += piece;
      at += size;
    }
    std::string last;
    mode.finish(last);
    check.feed(last);
    text += last;
    ASSERT_EQ(text, applyTextMode(raw)) << round;
    ASSERT_EQ(check.finish(), isValidUtf8(text)) << round;
  }
}

#ifndef _WIN32
TEST(TextFileSource, RefusesWhatIsNoRegularFileWithoutWaiting) {
  const testing::TempDir dir;
  const auto fifo = dir.path() / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::filesystem::path, TextFileFailure> cases[] = {
      {dir.write("file.txt", "text"), TextFileFailure::kNone},
      {dir.path() / "missing.txt", TextFileFailure::kInvalidName},
      {dir.path(), TextFileFailure::kInvalidName},
      {fifo, TextFileFailure::kCannotOpen},  // opening it to read would wait for a writer
      {"/dev/zero", TextFileFailure::kCannotOpen},
  };
  for (const auto& [path, failure] : cases) {
    TextFileSource source;
    EXPECT_EQ(source.open(path), failure) << path;
  }
}
#endif

}  // namespace
}  // namespace orvalis
