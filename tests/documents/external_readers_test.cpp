#include "documents/external_readers.h"

#include <gtest/gtest.h>

#include <string>

#include "documents/child_process.h"
#include "documents/document_source.h"
#include "tests/support/temp_dir.h"

namespace orvalis::documents {
namespace {

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

}  // namespace
}  // namespace orvalis::documents
