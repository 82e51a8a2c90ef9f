#include "documents/office_reader.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "documents/zip_archive.h"

namespace orvalis::documents {
namespace {

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
  struct Case {
    std::string body;
    const char* text;
  } cases[] = {
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
  for (const Case& c : cases) {
    const DocumentText read = readWordXml(word(c.body), {}, {});
    EXPECT_EQ(read.error, "") << c.body;
    EXPECT_EQ(read.text, c.text) << c.body;
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
  struct Case {
    const char* what;
    std::string bytes;
    const char* reason;
  } cases[] = {
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
  for (const Case& c : cases) {
    std::string format;
    const DocumentText read = readZipDocument(c.bytes, limits, format);
    EXPECT_EQ(read.error.substr(0, std::strlen(c.reason)), c.reason) << c.what;
    EXPECT_EQ(read.text, "") << c.what;
  }
  std::string format;
  EXPECT_EQ(readZipDocument(docx, limits, format).text, "x");
  EXPECT_EQ(format, "docx");
}

}  // namespace
}  // namespace orvalis::documents
