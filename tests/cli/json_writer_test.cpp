#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>

namespace orvalis::cli {
namespace {

using namespace std::string_view_literals;

TEST(JsonWriter, StringsEscapeQuotesBackslashesAndControlsAndStayUtf8) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"say \"hi\" \\ bye", R"("say \"hi\" \\ bye")"},
      {"a\nb\tc\rd\be\ff", R"("a\nb\tc\rd\be\ff")"},
      {"\0\x01\x1a\x1f"sv, R"("\u0000\u0001\u001a\u001f")"},
      {" \x7f/", "\" \x7f/\""},  // blank, DEL and slash need no escape
      {"caf\xc3\xa9 \xe2\x80\x9cq", "\"caf\xc3\xa9 \xe2\x80\x9cq\""},
      // A lone Windows-1252 byte and a cut sequence each become U+FFFD.
      {"a\xe9z", "\"a\xef\xbf\xbdz\""},
      {"x\xe2\x80", "\"x\xef\xbf\xbd\xef\xbf\xbd\""},
  };
  for (const auto& [text, expected] : cases) {
    std::string out;
    appendJsonString(out, text);
    EXPECT_EQ(out, expected);
  }
}

std::string jsonFloat(float value) {
  std::string out;
  appendJsonFloat(out, value);
  return out;
}

TEST(JsonWriter, FloatsAreTheShortestDigitsOrNull) {
  // 2.67 as a float: "2.67", not the double's 2.6700000762939453.
  EXPECT_EQ(jsonFloat(2.67f), "2.67");
  EXPECT_EQ(jsonFloat(9.0f), "9");
  EXPECT_EQ(jsonFloat(std::numeric_limits<float>::quiet_NaN()), "null");
  EXPECT_EQ(jsonFloat(-std::numeric_limits<float>::infinity()), "null");

  std::mt19937 random(20240607);
  for (int i = 0; i < 20000; ++i) {
    const std::uint32_t bits = random();
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    const std::string text = jsonFloat(value);
    char* end = nullptr;
    const float back = std::strtof(text.c_str(), &end);
    ASSERT_EQ(*end, '\0') << text;
    ASSERT_EQ(std::memcmp(&back, &value, sizeof value), 0) << text;
    // A JSON number: no leading '+', no bare '.', no "inf".
    ASSERT_TRUE(text[0] == '-' || (text[0] >= '0' && text[0] <= '9')) << text;
  }
}

}  // namespace
}  // namespace orvalis::cli
