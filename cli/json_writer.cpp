#include "cli/json_writer.h"

#include <array>
#include <charconv>
#include <cmath>

#include "engine/encoding.h"

namespace orvalis::cli {

void appendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  // Keeps valid UTF-8 as it is and replaces each invalid byte with U+FFFD.
  const std::string utf8 = decodeTextPiece(text, true);
  out += '"';
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0x0F];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void appendJsonFloat(std::string& out, float value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  std::array<char, 64> buffer{};
  // Without a format, to_chars gives the shortest text that reads back exactly.
  const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  if (error != std::errc()) {
    out += "null";  // cannot happen with this buffer size
    return;
  }
  out.append(buffer.data(), end);
}

void appendJsonInteger(std::string& out, std::int64_t value) {
  std::array<char, 24> buffer{};
  const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  (void)error;  // 24 characters hold every 64-bit value
  out.append(buffer.data(), end);
}

}  // namespace orvalis::cli
