// What every reader of documents promises of the text it gives, checked on
// whatever the fuzzer feeds it.
#pragma once

#include <string_view>

#include "documents/document_text.h"
#include "engine/encoding.h"
#include "fuzz/fuzz_check.h"

namespace orvalis::documents {

// Valid UTF-8 within the limit; no ligature, soft hyphen or control character
// but the line feed; no separator at either end or twice in a row; an error
// and a text never both.
inline void checkDocumentText(const DocumentText& read, const DocumentLimits& limits) {
  FUZZ_CHECK(read.error.empty() || read.text.empty());
  const std::string_view text = read.text;
  FUZZ_CHECK(text.size() <= limits.textSize);
  FUZZ_CHECK(isValidUtf8(text));
  FUZZ_CHECK(text.find("\xC2\xAD") == std::string_view::npos);
  for (char c = '\x80'; c <= '\x86'; ++c) {
    FUZZ_CHECK(text.find(std::string("\xEF\xAC") + c) == std::string_view::npos);
  }
  for (const char c : text) {
    FUZZ_CHECK(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
    FUZZ_CHECK(c != '\x7F');
  }
  FUZZ_CHECK(text.find("  ") == std::string_view::npos);
  FUZZ_CHECK(text.find("\n\n") == std::string_view::npos);
  FUZZ_CHECK(text.find(" \n") == std::string_view::npos);
  if (!text.empty()) {
    FUZZ_CHECK(text.front() != ' ' && text.front() != '\n');
    FUZZ_CHECK(text.back() != ' ' && text.back() != '\n');
  }
}

// Limits small enough that a fuzz input reaches them.
inline DocumentLimits fuzzLimits() {
  DocumentLimits limits;
  limits.partSize = 1 << 20;
  limits.textSize = 1 << 16;
  limits.depth = 64;
  return limits;
}

}  // namespace orvalis::documents
