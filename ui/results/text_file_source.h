// Opening a file for a results view and streaming its text in pieces, without
// a widget: the view appends each piece as it comes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

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
  TextFileSource() = default;
  ~TextFileSource();
  TextFileSource(const TextFileSource&) = delete;
  TextFileSource& operator=(const TextFileSource&) = delete;

  // Examines `path` and opens it. A FIFO, a device or a socket is refused
  // without waiting for a writer or for data: it is opened non-blocking and
  // checked to be a regular file once open.
  TextFileFailure open(const std::filesystem::path& path);

  // Reads up to `size` bytes from byte `offset` of the file into `buffer`;
  // returns how many, 0 at the end of the file or after a read error.
  std::size_t readAt(std::int64_t offset, char* buffer, std::size_t size);

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int descriptor_ = -1;
#endif
};

// The text that a view shows for an open file, delivered to `deliver` in
// pieces of display text (UTF-8), each made from at most `pieceSize` bytes of
// the file. The file is read twice, piece by piece, never whole: once to learn
// whether its text is UTF-8, then to decode it. Returns where the engine's
// byte offsets fall in the delivered text.
ViewPositions streamViewText(TextFileSource& source, std::size_t pieceSize,
                             const std::function<void(std::string_view)>& deliver);

}  // namespace orvalis
