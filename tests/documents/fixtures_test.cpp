// The same essay in every format gives the same words, apart from the
// differences listed here.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "documents/document_source.h"
#include "engine/text.h"

namespace orvalis::documents {
namespace {

const std::filesystem::path kFixtures = ORVALIS_DOCUMENT_FIXTURES;

std::vector<std::string> wordsOf(std::string_view text) {
  std::vector<std::string> words;
  for (const WordEntry& word : splitWords(text)) words.push_back(word.text);
  return words;
}

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

}  // namespace
}  // namespace orvalis::documents
