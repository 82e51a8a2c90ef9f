// Fuzzes the text of the results views and the mapping from the engine's byte
// offsets to view positions: text mode, the UTF-8 check and the decoding fed in
// pieces must give what they give on the whole text, and every offset must map
// to the position of the character that holds it.
//
// Input: one control byte, one byte that chooses the piece sizes, then the
// file's bytes. The control byte's two low bits choose the encoding: as the
// text's check says (0, 1), UTF-8 (2) or Windows-1252 (3) whatever the text is,
// as when the file changed after it was checked.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encoding.h"
#include "engine/text.h"
#include "fuzz/fuzz_check.h"
#include "ui/results/view_text.h"

namespace orvalis {
namespace {

// Piece sizes from 0 to 7 bytes, from a small generator so that one input byte
// chooses a whole sequence.
class PieceSizes {
 public:
  explicit PieceSizes(std::uint8_t seed) : state_(seed * 2654435761u + 1) {}
  std::size_t next() {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 24) % 8;
  }

 private:
  std::uint32_t state_;
};

template <typename Feed>
void inPieces(std::string_view bytes, std::uint8_t seed, Feed feed) {
  PieceSizes sizes(seed);
  while (!bytes.empty()) {
    const std::size_t size = std::min(sizes.next(), bytes.size());
    feed(bytes.substr(0, size));
    bytes.remove_prefix(size);
  }
}

void appendCode(std::string& out, unsigned code) {
  out += static_cast<char>(0xE0 | (code >> 12));
  out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (code & 0x3F));
}

// The view text and, for each byte of the text, the position where its
// character starts and whether the byte starts it, worked out character by
// character on the whole text.
struct Expected {
  std::string shown;
  std::vector<std::int64_t> position;  // one more than the text's bytes: the end
  std::vector<bool> startsCharacter;
};

Expected expectedView(std::string_view text, bool utf8) {
  Expected expected;
  std::int64_t units = 0;
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    int width = 1;
    if (byte == 0x7F) {
      appendCode(expected.shown, 0x2421);
    } else if (byte < 0x20 && byte != '\t' && byte != '\n') {
      appendCode(expected.shown, 0x2400 + byte);
    } else if (byte < 0x80) {
      expected.shown += static_cast<char>(byte);
    } else if (!utf8) {
      expected.shown += windows1252ToUtf8(text.substr(at, 1));
    } else if (const std::size_t sequence = utf8SequenceLength(text.substr(at)); sequence != 0) {
      length = sequence;
      width = sequence == 4 ? 2 : 1;
      expected.shown.append(text.substr(at, length));
    } else {
      appendCode(expected.shown, 0xFFFD);
    }
    for (std::size_t i = 0; i < length; ++i) {
      expected.position.push_back(units);
      expected.startsCharacter.push_back(i == 0);
    }
    units += width;
    at += length;
  }
  expected.position.push_back(units);
  expected.startsCharacter.push_back(true);
  return expected;
}

std::int64_t clampToText(std::int64_t offset, std::size_t size) {
  return std::clamp<std::int64_t>(offset, 0, static_cast<std::int64_t>(size));
}

// The position of the character that holds `offset`, and the position just past
// the character that holds the byte before `end`.
std::int64_t expectedPosition(const Expected& expected, std::int64_t offset) {
  return expected.position[clampToText(offset, expected.position.size() - 1)];
}

ViewRange expectedRange(const Expected& expected, std::int64_t start, std::int64_t end) {
  const std::int64_t first = expectedPosition(expected, start);
  if (end <= start) return {first, first};
  std::int64_t stop = clampToText(end, expected.position.size() - 1);
  while (!expected.startsCharacter[stop]) ++stop;
  return {first, std::max(first, expected.position[stop])};
}

}  // namespace
}  // namespace orvalis

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvalis;
  if (size < 2) return 0;
  const std::uint8_t control = data[0];
  const std::uint8_t seed = data[1];
  const std::string_view raw(reinterpret_cast<const char*>(data) + 2, size - 2);

  // Text mode and the UTF-8 check, fed in pieces, as on the whole text.
  const std::string text = applyTextMode(std::string(raw));
  TextModeStream mode;
  Utf8Check check;
  std::string fed;
  inPieces(raw, seed, [&](std::string_view piece) {
    std::string out;
    mode.feed(piece, out);
    check.feed(out);
    fed += out;
  });
  std::string last;
  mode.finish(last);
  check.feed(last);
  fed += last;
  FUZZ_CHECK(fed == text);
  FUZZ_CHECK(mode.ended() == (raw.find('\x1A') != std::string_view::npos));
  const bool textIsUtf8 = isValidUtf8(text);
  FUZZ_CHECK(check.finish() == textIsUtf8);

  const bool utf8 = (control & 3) == 2 ? true : (control & 3) == 3 ? false : textIsUtf8;

  // Decoded whole and in pieces: the same text and the same positions.
  ViewTextDecoder whole(utf8);
  std::string shownWhole;
  whole.feed(text, shownWhole);
  whole.finish(shownWhole);
  ViewTextDecoder pieces(utf8);
  std::string shownPieces;
  inPieces(text, static_cast<std::uint8_t>(seed ^ 0x5A),
           [&](std::string_view piece) { pieces.feed(piece, shownPieces); });
  pieces.finish(shownPieces);
  FUZZ_CHECK(shownPieces == shownWhole);

  const Expected expected = expectedView(text, utf8);
  FUZZ_CHECK(shownWhole == expected.shown);
  FUZZ_CHECK(isValidUtf8(shownWhole));
  for (const ViewPositions* positions : {&whole.positions(), &pieces.positions()}) {
    FUZZ_CHECK(positions->textBytes() == static_cast<std::int64_t>(text.size()));
    FUZZ_CHECK(positions->textLength() == static_cast<std::int64_t>(utf16Length(shownWhole)));
    FUZZ_CHECK(positions->textLength() == expected.position.back());
  }

  // Every offset, and offsets outside the text, on both mappings; ranges between
  // every pair of them on short texts, between a sample on longer ones.
  const auto n = static_cast<std::int64_t>(text.size());
  const std::int64_t step = n <= 48 ? 1 : n / 48 + 1;
  for (const ViewPositions* positions : {&whole.positions(), &pieces.positions()}) {
    for (std::int64_t offset = -2; offset <= n + 2; ++offset) {
      FUZZ_CHECK(positions->positionOf(offset) == expectedPosition(expected, offset));
    }
    for (std::int64_t start = -2; start <= n + 2; start += step) {
      for (std::int64_t end = -2; end <= n + 2; end += step) {
        FUZZ_CHECK(positions->rangeOf(start, end) == expectedRange(expected, start, end));
      }
    }
  }
  return 0;
}
