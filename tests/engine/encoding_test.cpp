#include "engine/encoding.h"

#include <gtest/gtest.h>

namespace orvalis {
namespace {

TEST(Encoding, RecognisesValidUtf8Only) {
  for (const char* valid :
       {"", "ascii", "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xF0\x9F\x98\x80"}) {
    EXPECT_TRUE(isValidUtf8(valid)) << valid;
  }
  // Windows-1252, overlong, surrogate, above U+10FFFF, cut short.
  for (const char* invalid :
       {"caf\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x80"}) {
    EXPECT_FALSE(isValidUtf8(invalid)) << invalid;
  }
}

TEST(Encoding, DecodesUtf8AsItIsAndOtherBytesAsWindows1252) {
  EXPECT_EQ(decodeForDisplay("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(decodeForDisplay("caf\xE9 \x80 \x93q\x94 \x81"),
            "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC2\x81");
  // A piece cut inside a character of a UTF-8 file stays valid text.
  EXPECT_EQ(decodeTextPiece("ab\xC3", true), "ab\xEF\xBF\xBD");
  EXPECT_EQ(decodeTextPiece("\xC3\xA9", false), "\xC3\x83\xC2\xA9");
  EXPECT_EQ(utf16Length("caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x80"), 10u);
}

TEST(Encoding, LineTextEscapesWhatWouldBreakALine) {
  EXPECT_EQ(lineText("a b/caf\xE9.txt"), "a b/caf\xC3\xA9.txt");
  EXPECT_EQ(lineText("new\nline\r\ttab\x01\x7F.txt"), "new\\nline\\r\\ttab\\x01\\x7F.txt");
}

// Windows names are UTF-16 and may hold a surrogate without its partner.
TEST(Encoding, Utf16BecomesUtf8AndALoneSurrogateBecomesAReplacement) {
  EXPECT_EQ(utf16ToUtf8(u"a\u00E9\u0395\u4E2D\U0001F600"),
            "a\xC3\xA9\xCE\x95\xE4\xB8\xAD\xF0\x9F\x98\x80");
  const std::u16string broken = {0xD83D, u'x', 0xDE00, 0xDE00, 0xD83D};
  EXPECT_EQ(utf16ToUtf8(broken), "\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace orvalis
