// Reading the text of Word (.docx) and OpenDocument text (.odt) documents: zip
// archives of XML parts.
#pragma once

#include <string>
#include <string_view>

#include "documents/document_text.h"

namespace orvalis::documents {

// A Word document's text from its parts' XML: the body in reading order, the
// text boxes after the paragraph that holds them, then the footnotes and the
// endnotes. Left out: tracked deletions and moves away, field instructions
// (a field's shown result stays), the second rendering of a text box that a
// document keeps for older programs, the separators of notes. Table cells end
// like paragraphs. Empty parts are missing parts.
DocumentText readWordXml(std::string_view document, std::string_view footnotes,
                         std::string_view endnotes, const DocumentLimits& limits = {});

// An OpenDocument text's text from its content.xml: the body in reading order,
// frames after the paragraph that holds them, then the footnotes and the
// endnotes. Left out: the record of tracked changes (deleted text),
// annotations, ruby annotations, and the templates of generated indexes.
DocumentText readOpenDocumentXml(std::string_view content, const DocumentLimits& limits = {});

// A document held in a zip archive: Word or OpenDocument text, told apart by
// the parts it holds. `format` receives "docx" or "odt" when it is one.
DocumentText readZipDocument(std::string_view bytes, const DocumentLimits& limits,
                             std::string& format);

}  // namespace orvalis::documents
