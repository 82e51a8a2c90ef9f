#include "engine/encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace orvalis {
namespace {

// Length of the valid UTF-8 sequence at the start of `bytes`, 0 when there is none.
std::size_t validSequenceLength(std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

void appendCodePoint(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Windows-1252 characters of the bytes 0x80 to 0x9F; the undefined ones map to
// the C1 control of the same value.
constexpr std::array<std::uint16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

}  // namespace

std::size_t utf8SequenceLength(std::string_view bytes) {
  return bytes.empty() ? 0 : validSequenceLength(bytes);
}

bool isValidUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t length = validSequenceLength(bytes);
    if (length == 0) return false;
    bytes.remove_prefix(length);
  }
  return true;
}

std::size_t utf16Length(std::string_view bytes) {
  std::size_t units = 0;
  while (!bytes.empty()) {
    const std::size_t length = std::max<std::size_t>(1, validSequenceLength(bytes));
    units += length == 4 ? 2 : 1;
    bytes.remove_prefix(length);
  }
  return units;
}

std::string windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 && byte <= 0x9F) {
      appendCodePoint(out, kWindows1252High[byte - 0x80]);
    } else {
      appendCodePoint(out, byte);
    }
  }
  return out;
}

std::string decodeForDisplay(std::string_view bytes) {
  return isValidUtf8(bytes) ? std::string(bytes) : windows1252ToUtf8(bytes);
}

std::string decodeTextPiece(std::string_view bytes, bool fileIsUtf8) {
  if (!fileIsUtf8) return windows1252ToUtf8(bytes);
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t length = validSequenceLength(bytes);
    if (length == 0) {
      appendCodePoint(out, kReplacementCharacter);
      bytes.remove_prefix(1);
    } else {
      out.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    }
  }
  return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::uint32_t unit = text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      appendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00u));
      ++i;
    } else {
      appendCodePoint(out, high || low ? kReplacementCharacter : unit);
    }
  }
  return out;
}

std::string displayText(const std::filesystem::path& path) {
#ifdef _WIN32
  // The native form is UTF-16 in wchar_t; no conversion of the library's, which
  // fails on a lone surrogate.
  const std::wstring& wide = path.native();
  return utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
#else
  return decodeForDisplay(path.native());
#endif
}

std::string lineText(const std::filesystem::path& path) {
  const std::string text = displayText(path);
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      line += c;
    } else if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else if (c == '\t') {
      line += "\\t";
    } else {
      constexpr char kHex[] = "0123456789ABCDEF";
      line += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
    }
  }
  return line;
}

}  // namespace orvalis
