// Where a scan gets the text of a file that is not plain text. The engine reads
// every file as bytes in text mode; a text source set on the engine may take a
// file over instead (a word processor's document, a PDF) and give its text.
// Results, views and reports count offsets in the text the source gives.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "engine/input_file.h"

namespace orvalis {

// The text of a file that a source took over.
struct SourceText {
  std::string text;    // valid UTF-8; words are separated by blanks and line feeds
  std::string format;  // what the file is, for people and reports: "docx", "pdf", ...
  std::string error;   // why it could not be read; the text is then empty
  FileStamp stamp;     // the file's size and time of change when it was read
};

class TextSource {
 public:
  virtual ~TextSource() = default;
  // The file's text when this source reads files like it; nothing when the
  // file is to be read as plain text, as if no source were set. Called from
  // several threads at once.
  virtual std::optional<SourceText> read(const std::filesystem::path& path) const = 0;
};

}  // namespace orvalis
