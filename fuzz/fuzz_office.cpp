// Fuzzes the Word and OpenDocument readers. Input: one control byte, then the
// bytes. Control byte 0: the bytes are a zip archive; 1: the XML of a Word
// document's body; 2: of a Word document's footnotes, after a fixed body;
// 3: an OpenDocument text's content.xml.
#include <cstdint>
#include <string>
#include <string_view>

#include "documents/office_reader.h"
#include "fuzz/document_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvalis::documents;
  static const DocumentLimits limits = fuzzLimits();
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  DocumentText read;
  switch (data[0] % 4) {
    case 0: {
      std::string format;
      read = readZipDocument(bytes, limits, format);
      FUZZ_CHECK(format.empty() || format == "docx" || format == "odt");
      break;
    }
    case 1:
      read = readWordXml(bytes, {}, {}, limits);
      break;
    case 2:
      read = readWordXml("<w:document><w:body/></w:document>", bytes, {}, limits);
      break;
    default:
      read = readOpenDocumentXml(bytes, limits);
      break;
  }
  checkDocumentText(read, limits);
  return 0;
}
