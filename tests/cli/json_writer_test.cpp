#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace orvalis::cli {
namespace {

std::string jsonString(std::string_view text) {
  std::string out;
  appendJsonString(out, text);
  return out;
}

std::string jsonFloat(float value) {
  std::string out;
  appendJsonFloat(out, value);
  return out;
}

TEST(JsonString, EscapesQuotesBackslashesAndEveryControlCharacter) {
  EXPECT_EQ(jsonString("plain"), "\"plain\"");
  EXPECT_EQ(jsonString("say \"hi\" \\ bye"), R"("say \"hi\" \\ bye")");
  EXPECT_EQ(jsonString("a\nb\tc\rd\be\ff"), R"("a\nb\tc\rd\be\ff")");
  EXPECT_EQ(jsonString(std::string_view("\0\x01\x1a\x1f", 4)), R"("\u0000\u0001\u001a\u001f")");
  // Blank, DEL and slash need no escape.
  EXPECT_EQ(jsonString(" \x7f/"), "\" \x7f/\"");
}

TEST(JsonString, EveryByteBelowBlankIsEscaped) {
  for (int byte = 0; byte < 0x20; ++byte) {
    const std::string text = jsonString(std::string(1, static_cast<char>(byte)));
    EXPECT_EQ(text[1], '\\') << byte;
    for (const char c : text)
      EXPECT_GE(static_cast<unsigned char>(c), 0x20) << byte;
  }
}

TEST(JsonString, KeepsUtf8AndReplacesInvalidBytes) {
  EXPECT_EQ(jsonString("caf\xc3\xa9 \xe2\x80\x9cq\xe2\x80\x9d"),
            "\"caf\xc3\xa9 \xe2\x80\x9cq\xe2\x80\x9d\"");
  // A lone Windows-1252 byte and a cut sequence each become U+FFFD.
  EXPECT_EQ(jsonString("a\xe9z"), "\"a\xef\xbf\xbdz\"");
  EXPECT_EQ(jsonString("x\xe2\x80"), "\"x\xef\xbf\xbd\xef\xbf\xbd\"");
}

TEST(JsonFloat, WritesTheShortestDigitsOfTheFloat) {
  EXPECT_EQ(jsonFloat(-0.33f), "-0.33");
  EXPECT_EQ(jsonFloat(-0.5f), "-0.5");
  EXPECT_EQ(jsonFloat(9.0f), "9");
  EXPECT_EQ(jsonFloat(0.1f), "0.1");
  EXPECT_EQ(jsonFloat(0.0f), "0");
  // 2.67 as a float: "2.67", not the double's 2.6700000762939453.
  EXPECT_EQ(jsonFloat(2.67f), "2.67");
}

TEST(JsonFloat, NonFiniteValuesBecomeNull) {
  EXPECT_EQ(jsonFloat(std::numeric_limits<float>::quiet_NaN()), "null");
  EXPECT_EQ(jsonFloat(std::numeric_limits<float>::infinity()), "null");
  EXPECT_EQ(jsonFloat(-std::numeric_limits<float>::infinity()), "null");
}

TEST(JsonFloat, ReadsBackAsTheSameFloatOverRandomBitPatterns) {
  std::mt19937 random(20240607);
  int checked = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::uint32_t bits = random();
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    const std::string text = jsonFloat(value);
    char* end = nullptr;
    const float back = std::strtof(text.c_str(), &end);
    ASSERT_EQ(*end, '\0') << text;
    std::uint32_t backBits = 0;
    std::memcpy(&backBits, &back, sizeof backBits);
    ASSERT_EQ(backBits, bits) << text;
    // A JSON number: no leading '+', no bare '.', no "inf".
    ASSERT_TRUE(text[0] == '-' || (text[0] >= '0' && text[0] <= '9')) << text;
    ++checked;
  }
  EXPECT_GT(checked, 15000);
}

TEST(JsonInteger, WritesPlainDecimal) {
  std::string out;
  appendJsonInteger(out, -12);
  out += ' ';
  appendJsonInteger(out, std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(out, "-12 -9223372036854775808");
}

}  // namespace
}  // namespace orvalis::cli
