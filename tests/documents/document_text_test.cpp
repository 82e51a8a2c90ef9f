#include "documents/document_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "documents/child_process.h"
#include "documents/detect.h"
#include "documents/document_source.h"
#include "documents/external_readers.h"
#include "documents/rtf_reader.h"
#include "engine/text.h"
#include "tests/support/temp_dir.h"

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

const std::filesystem::path kFixtures = ORVALIS_DOCUMENT_FIXTURES;

std::vector<std::string> wordsOf(std::string_view text) {
  std::vector<std::string> words;
  for (const WordEntry& word : splitWords(text)) words.push_back(word.text);
  return words;
}

// The same essay in every format gives the same words, apart from the
// differences listed here.
TEST(DocumentFixtures, GiveTheWordsOfThePlainText) {
  std::string plain;
  ASSERT_FALSE(readTextFile(kFixtures / "essay.txt", plain));
  const std::vector<std::string> expected = wordsOf(plain);
  ASSERT_GT(expected.size(), 100u);

  // PDF: pdftotext reads a table column by column, and a page shows the
  // numbers of its notes as text.
  std::string pdfPlain = plain;
  pdfPlain.replace(pdfPlain.find("Year Loans\n2019 41000\n2023 52000"), 32,
                   "Year 2019 2023 Loans 41000 52000");
  pdfPlain.replace(pdfPlain.find("Figures from"), 0, "1 ");
  pdfPlain.replace(pdfPlain.find("The author"), 0, "2 ");

  const DocumentTextSource source;
  struct Case {
    const char* file;
    bool built;
    const std::string& plain;
  } cases[] = {{"essay.docx", ORVALIS_READ_OFFICE != 0, plain},
               {"essay.odt", ORVALIS_READ_OFFICE != 0, plain},
               {"essay.rtf", ORVALIS_READ_RTF != 0, plain},
               {"essay.pdf", ORVALIS_READ_PDF != 0, pdfPlain}};
  for (const Case& c : cases) {
    const std::optional<SourceText> read = source.read(kFixtures / c.file);
    ASSERT_TRUE(read.has_value()) << c.file;
    if (!c.built) {
      EXPECT_NE(read->error.find("this build of Orvalis cannot read"), std::string::npos);
      continue;
    }
    EXPECT_EQ(read->error, "") << c.file;
    EXPECT_EQ(wordsOf(read->text), wordsOf(c.plain)) << c.file;
  }
  EXPECT_FALSE(source.read(kFixtures / "essay.txt").has_value());
}

#ifndef _WIN32
// Readers that run another program: pdftotext and antiword.
using Outcome = ChildResult::Outcome;

TEST(ChildProcess, IsStoppedAtItsLimits) {
  ChildLimits limits;
  limits.time = std::chrono::milliseconds(300);
  limits.memory = std::uint64_t{256} << 20;
  limits.output = 1000;
  const std::filesystem::path sh = "/bin/sh";
  struct Case {
    const char* script;
    Outcome outcome;
  } cases[] = {
      {"sleep 5", Outcome::kTimedOut},
      {"exec 1>&- 2>&-; sleep 5", Outcome::kTimedOut},  // closed its output, still runs
      {"yes", Outcome::kTooMuchOutput},
      {"kill -SEGV $$", Outcome::kSignalled},
      {"echo hello; exit 3", Outcome::kExited},
  };
  for (const Case& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const ChildResult run = runChild(sh, {"-c", c.script}, limits);
    EXPECT_EQ(run.outcome, c.outcome) << c.script;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << c.script;
  }
  const ChildResult run = runChild(sh, {"-c", "echo hello; exit 3"}, limits);
  EXPECT_EQ(run.output, "hello\n");
  EXPECT_EQ(run.exitStatus, 3);
  // Memory beyond the limit is refused to the child, never taken from the scan.
  limits.time = std::chrono::seconds(20);
  const ChildResult big =
      runChild("/usr/bin/python3", {"-c", "x = bytearray(512 * 1024 * 1024)"}, limits);
  EXPECT_TRUE(big.outcome == Outcome::kSignalled ||
              (big.outcome == Outcome::kExited && big.exitStatus != 0));
}

TEST(PdfReader, SaysWhyAPdfGaveNoText) {
  DocumentLimits limits;
  limits.childTime = std::chrono::milliseconds(2000);
  ChildResult run;
  struct Case {
    Outcome outcome;
    int status;
    const char* errors;
    const char* output;
    const char* reason;
  } cases[] = {
      {Outcome::kTimedOut, 0, "", "", "pdftotext took longer than 2 s to read it and was stopped"},
      {Outcome::kExited, 1, "Command Line Error: Incorrect password", "",
       "it is protected by a password"},
      {Outcome::kExited, 0, "",
       "o\xEF\xAC\x83"
       "ce\n",
       ""},
  };
  for (const Case& c : cases) {
    run.outcome = c.outcome;
    run.exitStatus = c.status;
    run.errors = c.errors;
    run.output = c.output;
    EXPECT_EQ(pdfTextOf(run, limits).error, c.reason) << c.reason;
  }
  EXPECT_EQ(pdfTextOf(run, limits).text, "office");
}

TEST(PdfReader, ReadsRealFilesAndRefusesBrokenOnes) {
  const std::filesystem::path pdftotext = findProgram("pdftotext");
  if (pdftotext.empty()) GTEST_SKIP() << "pdftotext is not installed";
  testing::TempDir dir;
  const std::string empty =
      "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n2 0 obj << /Type /Pages "
      "/Kids [3 0 R] /Count 1 >> endobj\n3 0 obj << /Type /Page /Parent 2 0 R /MediaBox "
      "[0 0 100 100] >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n";
  const DocumentLimits limits;
  EXPECT_EQ(readPdf(dir.write("scan.pdf", empty), pdftotext, limits).error,
            "it holds no text, only pictures (scanned pages?)");
  EXPECT_EQ(readPdf(dir.write("cut.pdf", "%PDF-1.4\n1 0 obj <<"), pdftotext, limits).error,
            "it is damaged or incomplete: pdftotext cannot read it");
  const DocumentText essay =
      readPdf(std::filesystem::path(ORVALIS_DOCUMENT_FIXTURES) / "essay.pdf", pdftotext, limits);
  EXPECT_EQ(essay.text.substr(0, 26), "Why libraries still matter");
}

TEST(OldWord, EncryptedOfficeFilesAndMissingAntiwordAreNamed) {
  const std::string encrypted = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") +
                                std::string("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
  EXPECT_EQ(readOldWord("x.doc", encrypted, "/usr/bin/antiword", {}).error,
            "it is protected by a password");
  EXPECT_NE(readOldWord("x.doc", "\xD0\xCF", {}, {}).error.find("install antiword"),
            std::string::npos);
}
#endif

}  // namespace
}  // namespace orvalis::documents
