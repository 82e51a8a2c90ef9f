#include "ui/results/text_file_source.h"

#include <algorithm>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace orvalis {

#ifdef _WIN32

TextFileSource::~TextFileSource() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

TextFileFailure TextFileSource::open(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return TextFileFailure::kInvalidName;
  }
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return TextFileFailure::kCannotOpen;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return TextFileFailure::kCannotOpen;
  }
  handle_ = handle;
  return TextFileFailure::kNone;
}

std::size_t TextFileSource::readAt(std::int64_t offset, char* buffer, std::size_t size) {
  if (handle_ == nullptr || offset < 0) return 0;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  if (!ReadFile(handle_, buffer, wanted, &read, &at)) return 0;
  return read;
}

#else

TextFileSource::~TextFileSource() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

TextFileFailure TextFileSource::open(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) {
    return TextFileFailure::kInvalidName;
  }
  // Non-blocking, so that a FIFO without a writer cannot hold the window; the
  // flag changes nothing for a regular file.
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) return TextFileFailure::kCannotOpen;
  // Checked on what was opened: the path may name something else by now.
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(descriptor);
    return TextFileFailure::kCannotOpen;
  }
  descriptor_ = descriptor;
  return TextFileFailure::kNone;
}

std::size_t TextFileSource::readAt(std::int64_t offset, char* buffer, std::size_t size) {
  if (descriptor_ < 0 || offset < 0) return 0;
  for (;;) {
    const ssize_t read = ::pread(descriptor_, buffer, size, static_cast<off_t>(offset));
    if (read >= 0) return static_cast<std::size_t>(read);
    if (errno != EINTR) return 0;
  }
}

#endif

namespace {

// Reads the whole file in pieces, from its start, and hands each to `use`; a
// read error ends the text there.
template <typename Use>
void readPieces(TextFileSource& source, std::vector<char>& buffer, Use use) {
  std::int64_t bytesRead = 0;
  for (;;) {
    const std::size_t delivered = source.readAt(bytesRead, buffer.data(), buffer.size());
    if (delivered == 0) return;
    bytesRead += static_cast<std::int64_t>(delivered);
    if (!use(std::string_view(buffer.data(), delivered))) return;
  }
}

}  // namespace

ViewPositions streamViewText(TextFileSource& source, std::size_t pieceSize,
                             const std::function<void(std::string_view)>& deliver) {
  std::vector<char> buffer(std::max<std::size_t>(pieceSize, 1));
  std::string text;

  TextModeStream checkMode;
  Utf8Check check;
  readPieces(source, buffer, [&](std::string_view raw) {
    text.clear();
    checkMode.feed(raw, text);
    check.feed(text);
    return !checkMode.ended();
  });
  text.clear();
  checkMode.finish(text);
  check.feed(text);

  TextModeStream mode;
  ViewTextDecoder decoder(check.finish());
  std::string shown;
  readPieces(source, buffer, [&](std::string_view raw) {
    text.clear();
    shown.clear();
    mode.feed(raw, text);
    decoder.feed(text, shown);
    if (!shown.empty()) deliver(shown);
    return !mode.ended();
  });
  text.clear();
  shown.clear();
  mode.finish(text);
  decoder.feed(text, shown);
  decoder.finish(shown);
  if (!shown.empty()) deliver(shown);
  return decoder.positions();
}

}  // namespace orvalis
