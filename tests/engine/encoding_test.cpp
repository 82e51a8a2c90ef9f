#include "engine/encoding.h"

#include <gtest/gtest.h>

namespace orvalis {
namespace {

TEST(Encoding, RecognisesValidUtf8Only) {
  EXPECT_TRUE(isValidUtf8(""));
  EXPECT_TRUE(isValidUtf8("plain ascii"));
  EXPECT_TRUE(isValidUtf8("caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xF0\x9F\x98\x80"));
  EXPECT_FALSE(isValidUtf8("caf\xE9"));           // Windows-1252 e acute
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong slash
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(isValidUtf8("\xE2\x80"));          // cut short
}

TEST(Encoding, Windows1252MapsEveryByte) {
  EXPECT_EQ(windows1252ToUtf8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(windows1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
  EXPECT_EQ(windows1252ToUtf8("\x93q\x94"), "\xE2\x80\x9Cq\xE2\x80\x9D");
  EXPECT_EQ(windows1252ToUtf8("\x81"), "\xC2\x81");  // undefined: C1 control
  EXPECT_TRUE(isValidUtf8(windows1252ToUtf8(std::string_view("\x00\x7F\x80\xFF", 4))));
}

TEST(Encoding, DisplayDecodingKeepsUtf8AndReadsTheRestAsWindows1252) {
  EXPECT_EQ(decodeForDisplay("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(decodeForDisplay("caf\xE9"), "caf\xC3\xA9");
  // A piece of a UTF-8 file cut inside a character keeps valid output.
  EXPECT_EQ(decodeTextPiece("ab\xC3", true), "ab\xEF\xBF\xBD");
  EXPECT_EQ(decodeTextPiece("\xC3\xA9", false), "\xC3\x83\xC2\xA9");
}

TEST(Encoding, Utf16LengthCountsUnitsAndStrayBytes) {
  EXPECT_EQ(utf16Length(""), 0u);
  EXPECT_EQ(utf16Length("caf\xC3\xA9"), 4u);
  EXPECT_EQ(utf16Length("\xF0\x9F\x98\x80"), 2u);  // above U+FFFF: a surrogate pair
  EXPECT_EQ(utf16Length("\xE2\x80"), 2u);          // a cut sequence: one per byte
}

}  // namespace
}  // namespace orvalis
