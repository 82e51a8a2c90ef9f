#include "documents/detect.h"

namespace orvalis::documents {

Signature detectSignature(std::string_view firstBytes) {
  using namespace std::string_view_literals;
  if (firstBytes.starts_with("PK\x03\x04"sv)) return Signature::kZip;
  if (firstBytes.starts_with("%PDF-"sv)) return Signature::kPdf;
  if (firstBytes.starts_with("{\\rtf"sv)) return Signature::kRtf;
  if (firstBytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv)) return Signature::kOle;
  return Signature::kNone;
}

}  // namespace orvalis::documents
