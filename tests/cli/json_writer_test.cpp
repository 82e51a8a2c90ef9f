#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

namespace orvalis::cli {
namespace {

TEST(JsonWriter, StringsEscapeQuotesBackslashesAndControlsAndStayUtf8) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"say \"hi\" \\ \x7f/", "\"say \\\"hi\\\" \\\\ \x7f/\""},  // DEL and slash stay
      {"a\nb\tc\rd\be\ff", R"("a\nb\tc\rd\be\ff")"},
      {std::string_view("\0\x01\x1a\x1f", 4), R"("\u0000\u0001\u001a\u001f")"},
      // Valid UTF-8 stays; a lone Windows-1252 byte and a cut sequence become U+FFFD.
      {"caf\xc3\xa9 \xe9 x\xe2\x80", "\"caf\xc3\xa9 \xef\xbf\xbd x\xef\xbf\xbd\xef\xbf\xbd\""},
  };
  for (const auto& [text, expected] : cases) {
    std::string out;
    appendJsonString(out, text);
    EXPECT_EQ(out, expected);
  }
}

TEST(JsonWriter, FloatsAreTheShortestDigitsThatReadBackOrNull) {
  const auto json = [](float value) {
    std::string out;
    appendJsonFloat(out, value);
    return out;
  };
  EXPECT_EQ(json(2.67f), "2.67");  // not the double's 2.6700000762939453
  EXPECT_EQ(json(9.0f), "9");
  EXPECT_EQ(json(std::numeric_limits<float>::quiet_NaN()), "null");
  EXPECT_EQ(json(-std::numeric_limits<float>::infinity()), "null");
  for (std::uint32_t bits = 1; bits < 0x7f800000; bits += 104729) {  // finite floats above 0
    const std::string text = json(std::bit_cast<float>(bits));
    ASSERT_EQ(std::strtof(text.c_str(), nullptr), std::bit_cast<float>(bits)) << text;
  }
}

}  // namespace
}  // namespace orvalis::cli
