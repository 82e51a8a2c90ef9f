// The text that a results view shows for a file, made piece by piece from the
// file's bytes, and where the engine's byte offsets fall in it.
//
// The engine counts bytes of a file's text in text mode (a CR LF pair is one
// byte, 0x1A ends the text). A view counts positions as the toolkit does: one
// per UTF-16 unit, so a character above U+FFFF takes two. The text is UTF-8
// when the whole text is valid UTF-8, otherwise each byte is its Windows-1252
// character; control characters other than tab and line feed show as their
// control pictures, one position each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

// Text mode applied to bytes that arrive in pieces, with the same result as
// applying it to the whole: a CR followed by an LF becomes the LF, even when a
// piece ends between them, and nothing after a 0x1A byte counts.
class TextModeStream {
 public:
  // Appends the text-mode bytes of `raw` to `out`.
  void feed(std::string_view raw, std::string& out);
  // Appends the carriage return that the last piece may have held back.
  void finish(std::string& out);
  // Whether a 0x1A byte has ended the text.
  bool ended() const { return ended_; }

 private:
  bool heldReturn_ = false;
  bool ended_ = false;
};

// Whether a text that arrives in pieces is valid UTF-8 as a whole.
class Utf8Check {
 public:
  void feed(std::string_view text);
  // The answer, once every piece has been fed.
  bool finish();

 private:
  std::string tail_;  // the start of a sequence that the next piece may complete
  bool valid_ = true;
};

// A range of view positions: from `start` up to, not including, `end`.
struct ViewRange {
  std::int64_t start = 0;
  std::int64_t end = 0;
  bool operator==(const ViewRange&) const = default;
};

// Where each byte of a file's text stands in the view's text.
class ViewPositions {
 public:
  // Adds the next character: `bytes` bytes of text shown as `units` positions.
  void append(int bytes, int units);

  std::int64_t textBytes() const { return bytes_; }
  std::int64_t textLength() const { return units_; }

  // The position of the character that holds byte `offset`; an offset at or
  // past the end of the text gives the end, a negative one the start.
  std::int64_t positionOf(std::int64_t offset) const;

  // The positions of the bytes from `start` up to `end`: every character that
  // holds one of them. Empty, at the position of `start`, when `end` is not
  // after `start`; offsets outside the text are moved into it.
  ViewRange rangeOf(std::int64_t start, std::int64_t end) const;

 private:
  // Characters of the same size in a row: from `byteStart`, each takes
  // `bytesEach` bytes and `unitsEach` positions.
  struct Run {
    std::int64_t byteStart = 0;
    std::int64_t unitStart = 0;
    int bytesEach = 1;
    int unitsEach = 1;
  };
  // The position at `offset`, which lies inside the text, rounded down to the
  // start of its character or, with `roundUp`, up to the start of the next.
  std::int64_t locate(std::int64_t offset, bool roundUp) const;

  std::vector<Run> runs_;
  std::int64_t bytes_ = 0;
  std::int64_t units_ = 0;
};

// Turns text-mode bytes into the text a view shows, piece by piece, and records
// where each byte goes. A character cut by the end of a piece waits for the next.
class ViewTextDecoder {
 public:
  explicit ViewTextDecoder(bool textIsUtf8) : utf8_(textIsUtf8) {}

  // Appends the display text (UTF-8) of `text` to `out`.
  void feed(std::string_view text, std::string& out);
  // Appends what is left of an unfinished character, each byte as U+FFFD.
  void finish(std::string& out);

  const ViewPositions& positions() const { return positions_; }

 private:
  // Decodes `text` from its start; stops before an unfinished character at its
  // end unless `last`. Returns the number of bytes decoded.
  std::size_t decode(std::string_view text, bool last, std::string& out);

  bool utf8_;
  std::string tail_;
  ViewPositions positions_;
};

}  // namespace orvalis
