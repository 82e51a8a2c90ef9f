#include "ui/results/view_text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace orvalis
