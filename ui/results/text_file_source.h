// Opening a file for a results view and streaming its text in pieces, without
// a widget: the view appends each piece as it comes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include "engine/input_file.h"
#include "ui/results/view_text.h"

namespace orvalis {

// Why a file could not be shown.
enum class TextFileFailure {
  kNone,
  kInvalidName,  // missing, not examinable, or a folder
  kCannotOpen,   // exists but cannot be opened for reading, or is no regular file
};

// A file opened for reading only, while other programs may read and write it.
class TextFileSource {
 public:
  // Examines `path` and opens it. A FIFO, a device or a socket is refused
  // without waiting for a writer or for data: it is opened non-blocking and
  // checked to be a regular file once open.
  TextFileFailure open(const std::filesystem::path& path);

  // The open file, read from its start for each pass over the text.
  InputFile& file() { return file_; }

 private:
  InputFile file_;
};

// The text that a view shows for an open file, delivered to `deliver` in
// pieces of display text (UTF-8), each made from at most `pieceSize` bytes of
// the file. The file is read twice, piece by piece, never whole: once to learn
// whether its text is UTF-8, then to decode it. Returns where the engine's
// byte offsets fall in the delivered text.
ViewPositions streamViewText(TextFileSource& source, std::size_t pieceSize,
                             const std::function<void(std::string_view)>& deliver);

// The same for the text of a document, already read whole (UTF-8).
ViewPositions streamDocumentText(std::string_view text, std::size_t pieceSize,
                                 const std::function<void(std::string_view)>& deliver);

}  // namespace orvalis
