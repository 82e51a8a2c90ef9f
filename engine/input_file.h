// A regular file opened for reading in a way that can never wait: opening a
// FIFO, a device or a socket by mistake must not hang a scan or a window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace orvalis {

// What tells one state of a file's contents from another: its size and the
// time of its last change, as the system gives them.
struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // in the system's own units

  bool operator==(const FileStamp&) const = default;
};

class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens `path`, following links, and checks that what it opened is a regular
  // file. Returns why it cannot be read ("is a folder", "is a FIFO", the
  // system's reason), or nothing when it is open.
  std::string open(const std::filesystem::path& path);

  bool isOpen() const;

  // The size when opened. Reads stop there, so a file that grows meanwhile is
  // cut at that size rather than read without end.
  std::uint64_t size() const { return stamp_.size; }

  // The size and the time of the last change when opened.
  FileStamp stamp() const { return stamp_; }

  // Reads up to `count` bytes at the current position. Returns the number read,
  // 0 at the end, or -1 when the system reports an error.
  std::ptrdiff_t read(char* buffer, std::size_t count);

  // Goes back to the start, to read the file again. False when the system refuses.
  bool rewind();

 private:
  void close();

#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
  FileStamp stamp_;
  std::uint64_t position_ = 0;
};

// Why a kind of file system entry that is not a regular file cannot be read
// ("is a folder", "is a FIFO", ...), from a POSIX st_mode.
std::string describeNonRegularMode(unsigned mode);

}  // namespace orvalis
