#include "engine/input_file.h"

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orvalis {

InputFile::~InputFile() { close(); }

InputFile::InputFile(InputFile&& other) noexcept { *this = std::move(other); }

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    close();
#ifdef _WIN32
    handle_ = std::exchange(other.handle_, nullptr);
#else
    fd_ = std::exchange(other.fd_, -1);
#endif
    stamp_ = std::exchange(other.stamp_, {});
    position_ = std::exchange(other.position_, 0);
  }
  return *this;
}

std::string describeNonRegularMode(unsigned mode) {
#ifdef _WIN32
  (void)mode;
  return "is not a regular file";
#else
  if (S_ISDIR(mode)) return "is a folder";
  if (S_ISFIFO(mode)) return "is a FIFO";
  if (S_ISSOCK(mode)) return "is a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device";
  return "is not a regular file";
#endif
}

#ifdef _WIN32

bool InputFile::isOpen() const { return handle_ != nullptr; }

void InputFile::close() {
  if (handle_) CloseHandle(handle_);
  handle_ = nullptr;
  stamp_ = {};
  position_ = 0;
}

std::string InputFile::open(const std::filesystem::path& path) {
  close();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return std::system_category().message(static_cast<int>(GetLastError()));
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(file);
    return "is a folder";
  }
  if (!known || GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return "is not a regular file";
  }
  handle_ = file;
  stamp_.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp_.modified = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime);
  position_ = 0;
  return {};
}

std::ptrdiff_t InputFile::read(char* buffer, std::size_t count) {
  const auto wanted = static_cast<DWORD>(
      std::min<std::uint64_t>({count, stamp_.size - position_, std::uint64_t{1} << 30}));
  if (wanted == 0) return 0;
  DWORD got = 0;
  if (!ReadFile(handle_, buffer, wanted, &got, nullptr)) return -1;
  position_ += got;
  return static_cast<std::ptrdiff_t>(got);
}

bool InputFile::rewind() {
  if (!handle_ || !SetFilePointerEx(handle_, LARGE_INTEGER{}, nullptr, FILE_BEGIN)) return false;
  position_ = 0;
  return true;
}

#else

bool InputFile::isOpen() const { return fd_ >= 0; }

void InputFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  stamp_ = {};
  position_ = 0;
}

std::string InputFile::open(const std::filesystem::path& path) {
  close();
  // Without O_NONBLOCK, opening a FIFO waits for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    // A socket cannot be opened at all; say what it is rather than the errno.
    struct stat info {};
    if (error == ENXIO && ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
      return describeNonRegularMode(static_cast<unsigned>(info.st_mode));
    }
    return std::generic_category().message(error);
  }
  // What was opened is checked, not the name, which may have been swapped.
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    return std::generic_category().message(error);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return describeNonRegularMode(static_cast<unsigned>(info.st_mode));
  }
  fd_ = fd;
  stamp_.size = static_cast<std::uint64_t>(info.st_size);
  stamp_.modified =
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
  position_ = 0;
  return {};
}

std::ptrdiff_t InputFile::read(char* buffer, std::size_t count) {
  const auto wanted = static_cast<std::size_t>(
      std::min<std::uint64_t>({count, stamp_.size - position_, std::uint64_t{1} << 30}));
  if (wanted == 0) return 0;
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, wanted);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    position_ += static_cast<std::uint64_t>(got);
    return got;
  }
}

bool InputFile::rewind() {
  if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) != 0) return false;
  position_ = 0;
  return true;
}

#endif

}  // namespace orvalis
