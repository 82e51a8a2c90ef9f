#include "documents/document_text.h"

#include <gtest/gtest.h>

#include <string>

#include "documents/detect.h"
#include "documents/rtf_reader.h"

namespace orvalis::documents {
namespace {

TEST(TextBuilder, KeepsWordsAndDropsWhatIsNotText) {
  struct Case {
    const char* input;
    const char* text;
  } cases[] = {
      {"of\xEF\xAC\x81"
       "ce \xEF\xAC\x80\xEF\xAC\x82\xEF\xAC\x83\xEF\xAC\x84\xEF\xAC\x85\xEF\xAC\x86",
       "office ffflffifflstst"},           // ligatures U+FB00-FB06
      {"after\xC2\xADnoon", "afternoon"},  // soft hyphen
      {"a\tb  c\r\nd\x0B"
       "e\x1A"
       "f",
       "a b c\nd\nef"},                                 // tab, CR LF, VT, controls
      {"  lead\n\n\ntrail  \n", "lead\ntrail"},         // separators collapse and trim
      {"caf\xC3\xA9 \xE2\x80\xA8x", "caf\xC3\xA9\nx"},  // U+2028 breaks, é stays
      {"bad\xFF"
       "byte",
       "bad\xEF\xBF\xBD"
       "byte"},  // invalid UTF-8
  };
  for (const Case& c : cases) {
    TextBuilder builder(1000);
    builder.append(c.input);
    EXPECT_EQ(builder.finish(), c.text) << c.input;
  }
}

TEST(TextBuilder, RefusesTextPastItsLimit) {
  TextBuilder builder(8);
  builder.append("12345 789");
  EXPECT_EQ(finishText(builder, 8).error, tooMuchTextReason(8));
}

TEST(Detect, ChoosesByFirstBytes) {
  using namespace std::string_view_literals;
  EXPECT_EQ(detectSignature("PK\x03\x04rest"sv), Signature::kZip);
  for (const std::string_view plain : {"PK"sv, "<html>"sv, " %PDF-"sv}) {
    EXPECT_EQ(detectSignature(plain), Signature::kNone) << plain;
  }
}

// The body, notes, tables and tracked changes of a whole file are read in the
// fixtures test; these are the constructs it lacks.
TEST(RtfReader, GivesTheTextOfWhatIsShownAndDropsTheRest) {
  struct Case {
    const char* rtf;
    const char* text;
  } cases[] = {
      {R"({\rtf1 {\field{\*\fldinst PAGE }{\fldrslt 7}} {\*\unknown x}{\header h}y})", "7 y"},
      {R"({\rtf1 caf\'e9 \u8217?s \uc2\u8220\'93\'93x \uc1\u-10179?\u-8702?})",
       "caf\xC3\xA9 \xE2\x80\x99s \xE2\x80\x9Cx \xF0\x9F\x98\x82"},
      {R"({\rtf1 x\-y\~z\tab w\cell v\line u \{\}\\ \bin3 {}}t})", "xy\xC2\xA0z w\nv\nu {}\\ t"},
      {R"({\rtf1 {\pntext 1.}{\*\listtext 2.}{\pict 0a0b}{\shp{\*\shpinst{\sp{\sn a}}{\shptxt box}}{\shprslt box}}})",
       "box"},
  };
  for (const Case& c : cases) {
    const DocumentText read = readRtf(c.rtf);
    EXPECT_EQ(read.error, "") << c.rtf;
    EXPECT_EQ(read.text, c.text) << c.rtf;
  }
}

TEST(RtfReader, RefusesDeepNestingAndTruncation) {
  DocumentLimits limits;
  limits.depth = 50;
  const std::string deep = "{\\rtf1 " + std::string(60, '{') + "x" + std::string(60, '}') + "}";
  EXPECT_EQ(readRtf(deep, limits).error, "it nests groups deeper than 50 levels");
  for (const char* cut : {"{\\rtf1 {\\b bold}", "{\\rtf1 \\'e"}) {
    EXPECT_EQ(readRtf(cut).error,
              "it ends before its last group is closed (the file is incomplete)")
        << cut;
  }
}

}  // namespace
}  // namespace orvalis::documents
