// orvalis-scan on documents: mixed formats compared by their text, documents
// named in the JSON, and a hostile document warned about while the scan goes on.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace orvalis::testing {
namespace {

const std::filesystem::path kFixtures = ORVALIS_DOCUMENT_FIXTURES;

struct ScanRun {
  int status = -1;
  std::string out, err;
};

ScanRun scan(const TempDir& dir, const std::vector<std::string>& args) {
  std::string command = "cd '" + dir.path().string() + "' && XDG_CONFIG_DIRS='" +
                        dir.path().string() + "' '" ORVALIS_SCAN_PATH "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  command += " >out.log 2>err.log";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, contents(dir.path() / "out.log"),
          contents(dir.path() / "err.log")};
}

TEST(DocumentsScan, ComparesMixedFormatsByTheirText) {
  TempDir dir;
  for (const char* name : {"essay.docx", "essay.odt", "essay.pdf", "essay.rtf"}) {
    std::filesystem::copy_file(kFixtures / name, dir.path() / name);
  }
  const ScanRun run = scan(dir, {"--json", "--all", "--html", "page.html", "essay.docx",
                                 "essay.pdf", "essay.odt", "essay.rtf"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const char* file :
       {R"("path": "essay.docx", "displayName": "essay.docx", "document": "docx"})",
        R"("displayName": "essay.pdf", "document": "pdf"})",
        R"("displayName": "essay.odt", "document": "odt"})",
        R"("displayName": "essay.rtf", "document": "rtf"})"}) {
    EXPECT_NE(run.out.find(file), std::string::npos) << file;
  }
  // .odt against .docx: every one of the essay's 144 words, from the first
  // byte of each text to its last.
  EXPECT_NE(run.out.find(R"("indexA": 2, "indexB": 0, "startA": 0, "endA": 802, "startB": 0, )"
                         R"("endB": 802, "score": 144,)"),
            std::string::npos)
      << run.out;
  // The page shows each document by its text, read again through its reader.
  const std::string page = contents(dir.path() / "page.html");
  for (const char* file : {"file-0", "file-1", "file-2", "file-3"}) {
    const auto section = page.find(std::string("<section id=\"") + file + "\">");
    EXPECT_LT(page.find("Why libraries still matter", section), page.find("</section>", section))
        << file;
  }
}

TEST(DocumentsScan, WarnsAboutAHostileDocumentAndGoesOn) {
  TempDir dir;
  const std::string docx = contents(kFixtures / "essay.docx");
  dir.write("a.docx", docx);
  dir.write("b.docx", docx.substr(0, docx.size() / 2));
  dir.write("c.docx", "plain text named .docx");
  const ScanRun run = scan(dir, {"a.docx"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err,
            "warning: cannot read ./b.docx: it is damaged or incomplete: not a readable zip "
            "archive\n");
}

}  // namespace
}  // namespace orvalis::testing
