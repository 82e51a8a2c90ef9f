// Telling a document from plain text by its first bytes, never by its name: a
// file named .txt that is a Word document is read as one, and a .docx that is
// plain text is read as text.
#pragma once

#include <string_view>

namespace orvalis::documents {

enum class Signature {
  kNone,  // plain text, read as ever
  kZip,   // a zip archive: .docx, .odt or something else
  kPdf,   // "%PDF-"
  kRtf,   // "{\rtf"
  kOle,   // an OLE compound file: old .doc, or an encrypted Office document
};

// The most bytes detection looks at.
inline constexpr std::size_t kSignatureBytes = 8;

Signature detectSignature(std::string_view firstBytes);

}  // namespace orvalis::documents
