// Fuzzes what the PDF reader makes of any run of pdftotext: its output, its
// messages and how it ended. Input: one byte for the outcome and exit status,
// then the output; a byte 0xFF in it starts the messages.
#include <cstdint>
#include <string_view>

#include "documents/external_readers.h"
#include "fuzz/document_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvalis::documents;
  static const DocumentLimits limits = fuzzLimits();
  if (size == 0) return 0;
  ChildResult run;
  run.outcome = static_cast<ChildResult::Outcome>(data[0] % 5);
  run.exitStatus = (data[0] >> 3) % 4;
  run.signal = 6;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const auto split = rest.find('\xFF');
  run.output = rest.substr(0, split);
  if (split != std::string_view::npos) run.errors = rest.substr(split + 1);
  const DocumentText read = pdfTextOf(run, limits);
  checkDocumentText(read, limits);
  // Text only from a run that ended well; a reason for every other.
  const bool ended = run.outcome == ChildResult::Outcome::kExited && run.exitStatus == 0;
  FUZZ_CHECK(ended || !read.error.empty());
  return 0;
}
