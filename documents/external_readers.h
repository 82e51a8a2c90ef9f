// Documents read by other programs, run as child processes: PDF by poppler's
// pdftotext, old Word documents by antiword. Running them, rather than
// linking a library, keeps their licences apart from this program and keeps
// a crash or a hang of theirs out of the scan. POSIX only.
#pragma once

#include <filesystem>
#include <string_view>

#include "documents/child_process.h"
#include "documents/document_text.h"

namespace orvalis::documents {

// The text of a PDF file in reading order, read by `program` (pdftotext).
DocumentText readPdf(const std::filesystem::path& file, const std::filesystem::path& program,
                     const DocumentLimits& limits);

// What pdftotext's run gives: its text made a document's text, or the reason
// it gave none. Kept apart from running it, to be tested on any outcome.
DocumentText pdfTextOf(const ChildResult& run, const DocumentLimits& limits);

// The text of an OLE compound file that holds an old Word document (.doc),
// read by `program` (antiword); `head` is the start of the file, which tells
// an encrypted Office document from a Word document.
DocumentText readOldWord(const std::filesystem::path& file, std::string_view head,
                         const std::filesystem::path& program, const DocumentLimits& limits);

// Whether an OLE compound file holds a newer Office document encrypted with a
// password: such a file keeps its content in a stream named EncryptedPackage.
bool isEncryptedOfficeFile(std::string_view bytes);

}  // namespace orvalis::documents
