#include "documents/document_text.h"

#include <array>

#include "engine/encoding.h"
#include "engine/memory.h"

namespace orvalis::documents {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The letters of the Latin ligatures U+FB00 to U+FB06.
constexpr std::array<std::string_view, 7> kLigatures = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};

}  // namespace

void TextBuilder::put(std::string_view bytes) {
  if (overflowed_) return;
  if (text_.size() + bytes.size() > maxSize_) {
    overflowed_ = true;
    return;
  }
  text_.append(bytes);
}

void TextBuilder::appendCodePoint(char32_t c) {
  if (c == U'\n' || c == U'\v' || c == U'\f' || c == U'\r' || c == 0x2028 || c == 0x2029 ||
      c == 0x85) {
    endParagraph();
    return;
  }
  if (c == U'\t' || c == U' ') {
    blank();
    return;
  }
  if (c == 0xAD) return;  // a soft hyphen marks where a word may break
  if (c >= 0xFB00 && c <= 0xFB06) {
    put(kLigatures[c - 0xFB00]);
    return;
  }
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return;
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF || (c & 0xFFFE) == 0xFFFE ||
      (c >= 0xFDD0 && c <= 0xFDEF)) {
    c = kReplacement;
  }
  std::string bytes;
  appendUtf8(bytes, c);
  put(bytes);
}

void TextBuilder::append(std::string_view utf8) {
  while (!utf8.empty()) {
    const std::size_t length = utf8SequenceLength(utf8);
    if (length == 0) {
      appendCodePoint(kReplacement);
      utf8.remove_prefix(1);
      continue;
    }
    const auto lead = static_cast<unsigned char>(utf8[0]);
    char32_t c = length == 1   ? lead
                 : length == 2 ? lead & 0x1F
                 : length == 3 ? lead & 0x0F
                               : lead & 0x07;
    for (std::size_t i = 1; i < length; ++i) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
    }
    // Plain ASCII letters go in as they are, a run at a time.
    if (length == 1 && c > U' ' && c < 0x7F) {
      std::size_t end = 1;
      while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) > ' ' &&
             static_cast<unsigned char>(utf8[end]) < 0x7F) {
        ++end;
      }
      put(utf8.substr(0, end));
      utf8.remove_prefix(end);
      continue;
    }
    appendCodePoint(c);
    utf8.remove_prefix(length);
  }
}

void TextBuilder::blank() {
  if (text_.empty() || text_.back() == ' ' || text_.back() == '\n') return;
  put(" ");
}

void TextBuilder::endParagraph() {
  if (text_.empty() || text_.back() == '\n') return;
  if (text_.back() == ' ') text_.pop_back();
  put("\n");
}

void TextBuilder::appendParagraphs(const TextBuilder& other) {
  if (other.text_.empty()) return;
  endParagraph();
  put(other.text_);
  if (other.overflowed_) overflowed_ = true;
}

std::string TextBuilder::finish() {
  while (!text_.empty() && (text_.back() == ' ' || text_.back() == '\n')) text_.pop_back();
  return std::move(text_);
}

std::string tooMuchTextReason(std::uint64_t limit) {
  return "it gives more than " + memorySizeText(limit) + " of text";
}

DocumentText finishText(TextBuilder& builder, std::uint64_t limit) {
  if (builder.overflowed()) return {{}, tooMuchTextReason(limit)};
  return {builder.finish(), {}};
}

}  // namespace orvalis::documents
