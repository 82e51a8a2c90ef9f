// Fuzzes the RTF reader on arbitrary bytes.
#include <cstdint>
#include <string_view>

#include "documents/rtf_reader.h"
#include "fuzz/document_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvalis::documents;
  static const DocumentLimits limits = fuzzLimits();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  checkDocumentText(readRtf(bytes, limits), limits);
  return 0;
}
