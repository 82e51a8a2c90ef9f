#include "documents/document_source.h"

#include <string>
#include <vector>

#include "engine/input_file.h"
#include "engine/memory.h"

#if ORVALIS_READ_OFFICE
#include "documents/office_reader.h"
#endif
#if ORVALIS_READ_RTF
#include "documents/rtf_reader.h"
#endif
#if ORVALIS_READ_PDF || ORVALIS_READ_OLD_WORD
#include "documents/child_process.h"
#include "documents/external_readers.h"
#endif

namespace orvalis::documents {
namespace {

constexpr const char* kOfficeName = "Word (.docx) and OpenDocument text (.odt)";
constexpr const char* kRtfName = "RTF (.rtf)";
constexpr const char* kPdfName = "PDF (.pdf)";
constexpr const char* kOldWordName = "old Word (.doc)";

[[maybe_unused]] std::string missingReason(const char* name, const char* why) {
  return std::string("this build of Orvalis cannot read ") + name + " documents (" + why + ")";
}

// Reads the whole file, at most `limit` bytes.
[[maybe_unused]] std::string readAll(InputFile& file, std::uint64_t limit, std::string& bytes) {
  if (file.size() > limit) {
    return "it is too large for a document (more than " + memorySizeText(limit) + ")";
  }
  if (!file.rewind()) return "read error";
  bytes.assign(static_cast<std::size_t>(file.size()), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const std::ptrdiff_t n = file.read(bytes.data() + got, bytes.size() - got);
    if (n < 0) return "read error";
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return {};
}

}  // namespace

std::vector<FormatSupport> formatSupport() {
  return {
      {kOfficeName, ORVALIS_READ_OFFICE != 0, "built without libzip and pugixml"},
      {kRtfName, ORVALIS_READ_RTF != 0, "built without its RTF reader"},
      {kPdfName, ORVALIS_READ_PDF != 0, "built without running pdftotext"},
      {kOldWordName, ORVALIS_READ_OLD_WORD != 0, "built without running antiword"},
  };
}

std::string formatSupportText() {
  std::string reads;
  std::string lacks;
  for (const FormatSupport& format : formatSupport()) {
    if (format.built) {
      reads += (reads.empty() ? "" : ", ") + std::string(format.name);
    } else {
      lacks += (lacks.empty() ? "" : ", ") + std::string(format.name) + ": " + format.whyMissing;
    }
  }
  std::string text = "reads " + (reads.empty() ? std::string("no documents") : reads);
  if (!lacks.empty()) text += "; cannot read " + lacks;
  return text;
}

std::string documentFilterEntry() {
  std::string patterns;
  const auto add = [&patterns](bool built, const char* list) {
    if (!built) return;
    if (!patterns.empty()) patterns += ';';
    patterns += list;
  };
  add(ORVALIS_READ_OFFICE != 0, "*.docx;*.odt");
  add(ORVALIS_READ_RTF != 0, "*.rtf");
  add(ORVALIS_READ_PDF != 0, "*.pdf");
  add(ORVALIS_READ_OLD_WORD != 0, "*.doc");
  if (patterns.empty()) return {};
  return "Documents (" + patterns + ")|" + patterns + "|";
}

DocumentText readDocumentBytes(std::string_view bytes, Signature signature,
                               const DocumentLimits& limits, std::string& format) {
  switch (signature) {
    case Signature::kZip:
#if ORVALIS_READ_OFFICE
      return readZipDocument(bytes, limits, format);
#else
      format = "zip";
      return {{}, missingReason(kOfficeName, "built without libzip and pugixml")};
#endif
    case Signature::kRtf:
      format = "rtf";
#if ORVALIS_READ_RTF
      return readRtf(bytes, limits);
#else
      return {{}, missingReason(kRtfName, "built without its RTF reader")};
#endif
    case Signature::kPdf:
    case Signature::kOle:
    case Signature::kNone:
      break;
  }
  (void)bytes;
  (void)limits;
  return {{}, "it is not a document read from memory"};
}

DocumentTextSource::DocumentTextSource(DocumentLimits limits) : limits_(limits) {
#if ORVALIS_READ_PDF
  pdftotext_ = findProgram("pdftotext");
#endif
#if ORVALIS_READ_OLD_WORD
  antiword_ = findProgram("antiword");
#endif
}

std::optional<SourceText> DocumentTextSource::read(const std::filesystem::path& path) const {
  InputFile file;
  // A file that cannot be opened is left to the plain reading, which says why.
  if (!file.open(path).empty()) return std::nullopt;
  char head[kSignatureBytes] = {};
  std::size_t got = 0;
  while (got < sizeof head) {
    const std::ptrdiff_t n = file.read(head + got, sizeof head - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  const Signature signature = detectSignature(std::string_view(head, got));
  if (signature == Signature::kNone) return std::nullopt;

  SourceText result;
  result.stamp = file.stamp();
  DocumentText text;
  switch (signature) {
    case Signature::kPdf:
      result.format = "pdf";
#if ORVALIS_READ_PDF
      text = pdftotext_.empty()
                 ? DocumentText{{}, "pdftotext is not installed (Debian package poppler-utils)"}
                 : readPdf(path, pdftotext_, limits_);
#else
      text.error = missingReason(kPdfName, "built without running pdftotext");
#endif
      break;
    case Signature::kOle: {
      result.format = "doc";
#if ORVALIS_READ_OLD_WORD
      std::string bytes;
      text.error = readAll(file, limits_.fileSize, bytes);
      if (text.error.empty()) text = readOldWord(path, bytes, antiword_, limits_);
#else
      text.error = missingReason(kOldWordName, "built without running antiword");
#endif
      break;
    }
    default: {
      std::string bytes;
      text.error = readAll(file, limits_.fileSize, bytes);
      if (text.error.empty()) text = readDocumentBytes(bytes, signature, limits_, result.format);
      break;
    }
  }
  result.text = std::move(text.text);
  result.error = std::move(text.error);
  if (!result.error.empty()) result.text.clear();
  return result;
}

}  // namespace orvalis::documents
