// The text that a document gives: what every reader of documents shares. A
// reader hands over the document's characters as it meets them; the builder
// keeps words whole across formatting runs, unfolds ligatures, drops soft
// hyphens and control characters, and separates paragraphs by line feeds.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvalis::documents {

// What a reader will take from one document before it gives up, so that a
// hostile file costs bounded time and memory.
struct DocumentLimits {
  std::uint64_t fileSize = std::uint64_t{256} << 20;   // the document file itself
  std::uint64_t partSize = std::uint64_t{64} << 20;    // one part of a zip archive, inflated
  std::uint64_t textSize = std::uint64_t{64} << 20;    // the text given
  int depth = 256;                                     // nested XML elements or RTF groups
  std::chrono::milliseconds childTime{30'000};         // a reading program (pdftotext)
  std::uint64_t childMemory = std::uint64_t{1} << 30;  // its address space
};

// A document's text, or why it could not be read.
struct DocumentText {
  std::string text;   // valid UTF-8
  std::string error;  // empty when read
};

// Builds a document's text. Every character goes through appendCodePoint, so
// the rules hold whatever reader the characters come from.
class TextBuilder {
 public:
  explicit TextBuilder(std::uint64_t maxSize) : maxSize_(maxSize) {}

  // Appends one character: U+FB00-U+FB06 as their letters, a soft hyphen
  // not at all, a tab or other white space control as a blank, a line or
  // paragraph separator as a line feed, other control characters, surrogates
  // and non-characters not at all.
  void appendCodePoint(char32_t c);
  // Appends UTF-8 text character by character; a byte outside a valid
  // sequence becomes U+FFFD.
  void append(std::string_view utf8);
  // Separates words: one blank, unless at the start or after a separator.
  void blank();
  // Ends a paragraph, a table cell or a line: one line feed, unless at the
  // start or after one (a blank before it is replaced).
  void endParagraph();
  // Appends everything another builder holds as paragraphs of this one.
  void appendParagraphs(const TextBuilder& other);

  // Whether more text than the limit was given; what passed it is dropped.
  bool overflowed() const { return overflowed_; }
  const std::string& text() const { return text_; }
  // The text, ending in no separator.
  std::string finish();

 private:
  void put(std::string_view bytes);

  std::string text_;
  std::uint64_t maxSize_;
  bool overflowed_ = false;
};

// The reason given when a document's text passes the limit.
std::string tooMuchTextReason(std::uint64_t limit);

// The builder's text, or why there is none: too much of it.
DocumentText finishText(TextBuilder& builder, std::uint64_t limit);

}  // namespace orvalis::documents
