#include "documents/document_text.h"

#include <gtest/gtest.h>

#if ORVALIS_READ_OFFICE
#include <zip.h>

#include "documents/office_reader.h"
#include "documents/zip_archive.h"
#endif
#ifndef _WIN32
#include "documents/child_process.h"
#include "documents/external_readers.h"
#endif

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "documents/detect.h"
#include "documents/document_source.h"
#include "documents/rtf_reader.h"
#include "engine/text.h"
#include "tests/support/temp_dir.h"

namespace orvalis::documents {
namespace {

TEST(TextBuilder, KeepsWordsAndDropsWhatIsNotText) {
  const std::pair<const char*, const char*> cases[] = {
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
  for (const auto& [input, text] : cases) {
    TextBuilder builder(1000);
    builder.append(input);
    EXPECT_EQ(builder.finish(), text) << input;
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
  const std::pair<const char*, const char*> cases[] = {
      {R"({\rtf1 {\field{\*\fldinst PAGE }{\fldrslt 7}} {\*\unknown x}{\header h}y})", "7 y"},
      {R"({\rtf1 caf\'e9 \u8217?s \uc2\u8220\'93\'93x \uc1\u-10179?\u-8702?})",
       "caf\xC3\xA9 \xE2\x80\x99s \xE2\x80\x9Cx \xF0\x9F\x98\x82"},
      {R"({\rtf1 x\-y\~z\tab w\cell v\line u \{\}\\ \bin3 {}}t})", "xy\xC2\xA0z w\nv\nu {}\\ t"},
      {R"({\rtf1 {\pntext 1.}{\*\listtext 2.}{\pict 0a0b}{\shp{\*\shpinst{\sp{\sn a}}{\shptxt box}}{\shprslt box}}})",
       "box"},
  };
  for (const auto& [rtf, text] : cases) {
    const DocumentText read = readRtf(rtf);
    EXPECT_EQ(std::pair(read.error, read.text), std::pair(std::string(), std::string(text))) << rtf;
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
  const std::tuple<const char*, bool, const std::string&> cases[] = {
      {"essay.docx", ORVALIS_READ_OFFICE != 0, plain},
      {"essay.odt", ORVALIS_READ_OFFICE != 0, plain},
      {"essay.rtf", ORVALIS_READ_RTF != 0, plain},
      {"essay.pdf", ORVALIS_READ_PDF != 0, pdfPlain}};
  for (const auto& [file, built, text] : cases) {
    const std::optional<SourceText> read = source.read(kFixtures / file);
    ASSERT_TRUE(read.has_value()) << file;
    if (!built) {
      EXPECT_NE(read->error.find("this build of Orvalis cannot read"), std::string::npos);
      continue;
    }
    EXPECT_EQ(read->error, "") << file;
    EXPECT_EQ(wordsOf(read->text), wordsOf(text)) << file;
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
  const std::pair<const char*, Outcome> cases[] = {
      {"sleep 5", Outcome::kTimedOut},
      {"exec 1>&- 2>&-; sleep 5", Outcome::kTimedOut},  // closed its output, still runs
      {"yes", Outcome::kTooMuchOutput},
      {"kill -SEGV $$", Outcome::kSignalled},
      {"echo hello; exit 3", Outcome::kExited},
  };
  for (const auto& [script, outcome] : cases) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runChild(sh, {"-c", script}, limits).outcome, outcome) << script;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << script;
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
  // How pdftotext ended, its status, errors and output; the reason given.
  const std::tuple<Outcome, int, const char*, const char*, const char*> cases[] = {
      {Outcome::kTimedOut, 0, "", "", "pdftotext took longer than 2 s to read it and was stopped"},
      {Outcome::kExited, 1, "Command Line Error: Incorrect password", "",
       "it is protected by a password"},
      {Outcome::kExited, 0, "",
       "o\xEF\xAC\x83"
       "ce\n",
       ""},
  };
  for (const auto& [outcome, status, errors, output, reason] : cases) {
    run.outcome = outcome;
    run.exitStatus = status;
    run.errors = errors;
    run.output = output;
    EXPECT_EQ(pdfTextOf(run, limits).error, reason) << reason;
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

#if ORVALIS_READ_OFFICE
// The readers of zip documents: Word and OpenDocument.
// A zip archive of `parts` (name, content), deflated, made in memory.
std::string makeZip(const std::vector<std::pair<std::string, std::string>>& parts) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(buffer);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  for (const auto& [name, content] : parts) {
    zip_source_t* data = zip_source_buffer(archive, content.data(), content.size(), 0);
    zip_file_add(archive, name.c_str(), data, ZIP_FL_OVERWRITE);
  }
  zip_close(archive);
  zip_source_open(buffer);
  zip_source_seek(buffer, 0, SEEK_END);
  std::string bytes(static_cast<std::size_t>(zip_source_tell(buffer)), '\0');
  zip_source_seek(buffer, 0, SEEK_SET);
  zip_source_read(buffer, bytes.data(), bytes.size());
  zip_source_close(buffer);
  zip_source_free(buffer);
  return bytes;
}

std::string word(const std::string& body) {
  return R"(<w:document xmlns:w="w" xmlns:mc="mc"><w:body>)" + body + "</w:body></w:document>";
}

// Notes, text boxes and fields of a whole file are read in the fixtures test.
TEST(WordReader, GivesTheBodyInReadingOrder) {
  const std::pair<const char*, const char*> cases[] = {
      // A word split across formatting runs is one word.
      {"<w:p><w:r><w:t>pla</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>giarism</w:t></w:r></w:p>",
       "plagiarism"},
      {"<w:p><w:r><w:t>keep</w:t></w:r><w:del><w:r><w:delText> gone</w:delText></w:r></w:del>"
       "<w:moveFrom><w:r><w:t> moved</w:t></w:r></w:moveFrom><w:ins><w:r><w:t>ing</w:t></w:r>"
       "</w:ins><w:del><w:r><w:t> sloppy</w:t></w:r></w:del><w:r><w:delText> bare</w:delText>"
       "</w:r></w:p>",
       "keeping"},
      {R"(<w:p><w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText>PAGE</w:instrText>)"
       R"(</w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>7</w:t></w:r><w:r>)"
       R"(<w:fldChar w:fldCharType="end"/></w:r><w:fldSimple w:instr="X"><w:r><w:t> 8</w:t>)"
       R"(</w:r></w:fldSimple></w:p>)",
       "7 8"},
      {"<w:tbl><w:tr><w:tc><w:p><w:r><w:t>c1</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r><w:t>c2</w:t>"
       "</w:r></w:p></w:tc></w:tr></w:tbl><w:p><w:r><w:t>x</w:t><w:tab/><w:t>y</w:t><w:br/>"
       "<w:t>z</w:t><w:softHyphen/><w:t>z</w:t></w:r></w:p>",
       "c1\nc2\nx y\nzz"},
  };
  for (const auto& [body, text] : cases) {
    const DocumentText read = readWordXml(word(body), {}, {});
    EXPECT_EQ(std::pair(read.error, read.text), std::pair(std::string(), std::string(text)))
        << body;
  }
}

TEST(OpenDocumentReader, GivesTheBodyInReadingOrder) {
  const std::string content =
      R"(<office:document-content xmlns:office="o" xmlns:text="t" xmlns:table="b">)"
      R"(<office:body><office:text><text:p>pla<text:span>giar</text:span>ism<text:s text:c="3"/>x)"
      R"(<text:tab/>y<text:line-break/>z<office:annotation><text:p>comment</text:p>)"
      R"(</office:annotation> w</text:p><table:table><table:table-row><table:table-cell>)"
      R"(<text:p>c1</text:p></table:table-cell><table:table-cell><text:p>c2</text:p>)"
      R"(</table:table-cell></table:table-row></table:table></office:text></office:body>)"
      R"(</office:document-content>)";
  const DocumentText read = readOpenDocumentXml(content);
  EXPECT_EQ(read.error, "");
  EXPECT_EQ(read.text, "plagiarism x y\nz w\nc1\nc2");
}

// Replaces every occurrence of the 4-byte value `from` in `bytes` by `to`.
std::string patchSize(std::string bytes, std::uint32_t from, std::uint32_t to) {
  char a[4];
  char b[4];
  std::memcpy(a, &from, 4);
  std::memcpy(b, &to, 4);
  for (std::size_t at = bytes.find(std::string_view(a, 4)); at != std::string::npos;
       at = bytes.find(std::string_view(a, 4), at + 4)) {
    bytes.replace(at, 4, b, 4);
  }
  return bytes;
}

TEST(ZipDocuments, HostileArchivesAreRefusedWithTheirReason) {
  DocumentLimits limits;
  limits.partSize = 100 * 1024;
  limits.depth = 40;
  const std::string para = "<w:p><w:r><w:t>x</w:t></w:r></w:p>";
  const std::string bomb(limits.partSize + 1, ' ');
  std::string nested;
  for (int i = 0; i < 50; ++i) nested = "<w:ins>" + nested + "</w:ins>";
  nested = word(nested.insert(50 * 7, para));
  const std::string docx = makeZip({{"word/document.xml", word(para)}});
  // An entry that says it inflates to less than it does.
  const std::string lying =
      patchSize(makeZip({{"word/document.xml", word(para) + std::string(150'000, ' ')}}),
                static_cast<std::uint32_t>(word(para).size() + 150'000), 500);
  const std::tuple<const char*, std::string, const char*> cases[] = {
      {"bomb", makeZip({{"word/document.xml", bomb}}),
       "its part word/document.xml would inflate to more than 100 KiB (a zip bomb?)"},
      {"lying size", lying, "its part word/document.xml would inflate to more than 100 KiB"},
      {"entities",
       makeZip({{"word/document.xml",
                 R"(<?xml version="1.0"?><!DOCTYPE d [<!ENTITY a "aaaa"><!ENTITY b "&a;&a;">]>)" +
                     word(para)}}),
       "its part word/document.xml declares XML entities, which are never expanded"},
      {"nesting", makeZip({{"word/document.xml", nested}}),
       "it nests its elements deeper than 40 levels"},
      {"bad xml", makeZip({{"word/document.xml", "<w:document><w:body>"}}),
       "its part word/document.xml is not well-formed XML"},
      {"encrypted odt",
       makeZip({{"mimetype", "application/vnd.oasis.opendocument.text"},
                {"META-INF/manifest.xml", "<m><encryption-data/></m>"},
                {"content.xml", "\x01\x02"}}),
       "it is protected by a password"},
      {"other zip", makeZip({{"a.txt", "text"}}),
       "it is a zip archive, neither a Word (.docx) nor an OpenDocument text (.odt)"},
  };
  for (const auto& [what, bytes, reason] : cases) {
    std::string format;
    const DocumentText read = readZipDocument(bytes, limits, format);
    EXPECT_EQ(read.error.substr(0, std::strlen(reason)), reason) << what;
    EXPECT_EQ(read.text, "") << what;
  }
  std::string format;
  EXPECT_EQ(readZipDocument(docx, limits, format).text, "x");
  EXPECT_EQ(format, "docx");
}
#endif

}  // namespace
}  // namespace orvalis::documents
