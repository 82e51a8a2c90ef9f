// Reading the text of an RTF document: a parser of the project's own, since
// none at hand keeps Unicode text and footnotes.
#pragma once

#include <string_view>

#include "documents/document_text.h"

namespace orvalis::documents {

// The body in reading order, then the footnotes, then the endnotes. Left out:
// everything in destinations that are not text (font and style tables, pictures,
// document information, headers and footers, field instructions, list numbers,
// anything marked \*), text marked as a tracked deletion, and the fallback
// characters after each \u. A group nested deeper than limits.depth, or an
// input that ends inside a group, is refused.
DocumentText readRtf(std::string_view bytes, const DocumentLimits& limits = {});

}  // namespace orvalis::documents
