#include "tests/cli/json_value.h"

#include <cstdint>
#include <cstdlib>

#include "engine/encoding.h"

namespace orvalis::testing {
namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  JsonValue document() {
    JsonValue value = element();
    skipBlank();
    if (pos_ != text_.size()) fail("text after the document");
    return value;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at " + std::to_string(pos_));
  }
  void skipBlank() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\t')) {
      ++pos_;
    }
  }
  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  void expect(char c) {
    if (peek() != c) fail(std::string("expected '") + c + "'");
    ++pos_;
  }
  bool literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  JsonValue element() {
    skipBlank();
    JsonValue value;
    const char c = peek();
    if (c == '{') {
      value.value = object();
    } else if (c == '[') {
      value.value = array();
    } else if (c == '"') {
      value.value = string();
    } else if (literal("null")) {
      value.value = nullptr;
    } else if (literal("true")) {
      value.value = true;
    } else if (literal("false")) {
      value.value = false;
    } else {
      number(value);
    }
    skipBlank();
    return value;
  }

  std::shared_ptr<JsonObject> object() {
    auto members = std::make_shared<JsonObject>();
    expect('{');
    skipBlank();
    if (peek() == '}') {
      ++pos_;
      return members;
    }
    for (;;) {
      skipBlank();
      std::string key = string();
      skipBlank();
      expect(':');
      members->emplace_back(std::move(key), element());
      if (peek() == '}') break;
      expect(',');
    }
    ++pos_;
    return members;
  }

  std::shared_ptr<JsonArray> array() {
    auto items = std::make_shared<JsonArray>();
    expect('[');
    skipBlank();
    if (peek() == ']') {
      ++pos_;
      return items;
    }
    for (;;) {
      items->push_back(element());
      if (peek() == ']') break;
      expect(',');
    }
    ++pos_;
    return items;
  }

  static void appendUtf8(std::string& out, std::uint32_t code) {
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

  std::uint32_t hex4() {
    if (pos_ + 4 > text_.size()) fail("short \\u escape");
    std::uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_++];
      code <<= 4;
      if (c >= '0' && c <= '9') {
        code |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        code |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        code |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        fail("bad hex digit");
      }
    }
    return code;
  }

  std::string string() {
    expect('"');
    const std::size_t start = pos_;
    std::string out;
    for (;;) {
      if (pos_ >= text_.size()) fail("unterminated string");
      const char c = text_[pos_++];
      if (c == '"') break;
      if (static_cast<unsigned char>(c) < 0x20) fail("raw control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      const char e = peek();
      ++pos_;
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          std::uint32_t code = hex4();
          if (code >= 0xD800 && code <= 0xDBFF) {
            if (!literal("\\u")) fail("lone surrogate");
            const std::uint32_t low = hex4();
            if (low < 0xDC00 || low > 0xDFFF) fail("bad surrogate pair");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code <= 0xDFFF) {
            fail("lone surrogate");
          }
          appendUtf8(out, code);
          break;
        }
        default:
          fail("bad escape");
      }
    }
    if (!isValidUtf8(text_.substr(start, pos_ - start))) fail("invalid UTF-8 in a string");
    return out;
  }

  void number(JsonValue& value) {
    const std::size_t start = pos_;
    const auto digits = [&] {
      const std::size_t from = pos_;
      while (peek() >= '0' && peek() <= '9')
        ++pos_;
      return pos_ - from;
    };
    if (peek() == '-') ++pos_;
    if (peek() == '0') {
      ++pos_;
    } else if (digits() == 0) {
      fail("not a value");
    }
    if (peek() == '.') {
      ++pos_;
      if (digits() == 0) fail("no digits after '.'");
    }
    if (peek() == 'e' || peek() == 'E') {
      ++pos_;
      if (peek() == '+' || peek() == '-') ++pos_;
      if (digits() == 0) fail("no exponent digits");
    }
    value.numberText = std::string(text_.substr(start, pos_ - start));
    value.value = std::strtod(value.numberText.c_str(), nullptr);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](std::string_view key) const {
  for (const auto& [name, member] : object()) {
    if (name == key) return member;
  }
  throw std::runtime_error("JSON: no member " + std::string(key));
}

std::vector<std::string> JsonValue::keys() const {
  std::vector<std::string> names;
  for (const auto& member : object())
    names.push_back(member.first);
  return names;
}

JsonValue parseJson(std::string_view text) {
  return Reader(text).document();
}

}  // namespace orvalis::testing
