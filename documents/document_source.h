// The text source for scans of documents: chooses a reader by a file's first
// bytes and leaves every file without a document's signature to be read as
// plain text, exactly as before.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "documents/detect.h"
#include "documents/document_text.h"
#include "engine/text_source.h"

namespace orvalis::documents {

// A kind of document and whether this build reads it.
struct FormatSupport {
  const char* name;        // "Word (.docx)"
  bool built;              // its reader is part of this build
  const char* whyMissing;  // what the build lacked, when not built
};

// Every kind of document, in a fixed order: .docx and .odt, .rtf, .pdf, .doc.
std::vector<FormatSupport> formatSupport();

// "Reads Word (.docx), ..." and, when some reader is missing, "; cannot read
// PDF (.pdf): built without ...". One line.
std::string formatSupportText();

// The Open dialog's filter entry for documents, in the first design's form
// ("Name (patterns)|patterns|"): the documents this build reads.
std::string documentFilterEntry();

// The reader for a document held in memory, chosen by its signature: zip
// (Word or OpenDocument) or RTF. `format` receives the kind read.
DocumentText readDocumentBytes(std::string_view bytes, Signature signature,
                               const DocumentLimits& limits, std::string& format);

class DocumentTextSource final : public TextSource {
 public:
  explicit DocumentTextSource(DocumentLimits limits = {});
  std::optional<SourceText> read(const std::filesystem::path& path) const override;

 private:
  DocumentLimits limits_;
  std::filesystem::path pdftotext_;  // empty when not found or not built
  std::filesystem::path antiword_;
};

}  // namespace orvalis::documents
