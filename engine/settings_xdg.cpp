// The settings as the file Tovimar/Orvalis.conf below a configuration folder:
// one "NAME=text" line per value, UTF-8.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/encoding.h"
#include "engine/settings.h"

namespace orvalis {
namespace {

constexpr const char* kMakerFolderName = "Tovimar";
constexpr const char* kFileName = "Orvalis.conf";
constexpr const char* kDefaultConfigFolder = "/etc/xdg";

// The registry reads each value into 255 bytes, room for 126 UTF-16 units and
// the terminating NUL; a longer text counts as missing here too.
constexpr std::size_t kLongestReadableText = 126;

// Closes a file descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

int openForReading(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
  const FileDescriptor file(openForReading(path));
  if (file.get() < 0) return std::nullopt;
  std::string contents;
  char buffer[4096];
  while (true) {
    const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
    if (count == 0) return contents;
    if (count < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;  // e.g. a folder where the file should be
    }
    contents.append(buffer, static_cast<std::size_t>(count));
  }
}

// The text after "name=" on the first line that starts so; lines end at "\n",
// a "\r" before it is not part of the text.
std::optional<std::string_view> findValue(std::string_view contents, std::string_view name) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (contents.starts_with(kByteOrderMark)) contents.remove_prefix(kByteOrderMark.size());
  while (!contents.empty()) {
    const auto lineEnd = contents.find('\n');
    std::string_view line = contents.substr(0, lineEnd);
    contents.remove_prefix(lineEnd == std::string_view::npos ? contents.size() : lineEnd + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    const auto equals = line.find('=');
    if (equals != std::string_view::npos && line.substr(0, equals) == name) {
      return line.substr(equals + 1);
    }
  }
  return std::nullopt;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Writes `contents` to a new file in `folder` and returns its path; nothing,
// and no file left behind, when any step fails.
std::optional<std::string> writeTemporaryFile(const std::filesystem::path& folder,
                                              std::string_view contents) {
  // Appended piece by piece: `"." + std::string(...)` makes g++ 12 at -O3 report
  // a false overlap (-Wrestrict) inside the standard library's insert.
  std::string leaf(".");
  leaf.append(kFileName).append(".XXXXXX");
  std::string name = (folder / leaf).string();
  std::vector<char> pattern(name.begin(), name.end());
  pattern.push_back('\0');
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return std::nullopt;
  name.assign(pattern.data());
  // Settings of the whole machine: readable by every user, as a new file would
  // normally be, rather than mkstemp's owner-only mode.
  bool ok = ::fchmod(fd, 0644) == 0 && writeAll(fd, contents) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok) {
    ::unlink(name.c_str());
    return std::nullopt;
  }
  return name;
}

// Gives the finished file `from` the name `to` unless `to` exists. A hard link
// does both in one step; where the file system has none, rename after a check.
bool moveIntoPlaceWithoutReplacing(const std::string& from, const std::filesystem::path& to) {
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  const int linkError = errno;
  std::error_code ignored;
  if (linkError == EEXIST ||
      std::filesystem::exists(std::filesystem::symlink_status(to, ignored)) ||
      ::rename(from.c_str(), to.c_str()) != 0) {
    ::unlink(from.c_str());
    return false;
  }
  return true;
}

}  // namespace

XdgSettingsStore::XdgSettingsStore(std::filesystem::path configFolder)
    : configFolder_(std::move(configFolder)) {}

std::filesystem::path XdgSettingsStore::systemConfigFolder() {
  // Relative entries are not valid configuration folders and are passed over.
  if (const char* dirs = std::getenv("XDG_CONFIG_DIRS")) {
    std::string_view list(dirs);
    while (true) {
      const auto colon = list.find(':');
      const std::filesystem::path entry(list.substr(0, colon));
      if (entry.is_absolute()) return entry;
      if (colon == std::string_view::npos) break;
      list.remove_prefix(colon + 1);
    }
  }
  return kDefaultConfigFolder;
}

std::filesystem::path XdgSettingsStore::filePath() const {
  return configFolder_ / kMakerFolderName / kFileName;
}

bool XdgSettingsStore::keyExists() { return FileDescriptor(openForReading(filePath())).get() >= 0; }

void XdgSettingsStore::createWithDefaults() {
  std::error_code error;
  // The configuration folder belongs to the system and is never created here.
  if (!std::filesystem::is_directory(configFolder_, error)) return;
  const auto makerFolder = configFolder_ / kMakerFolderName;
  std::filesystem::create_directory(makerFolder, error);
  if (!std::filesystem::is_directory(makerFolder, error)) return;

  const std::string contents = std::string(kMismatchScoreName) + "=" + kDefaultMismatchScoreText +
                               "\n" + kGapScoreName + "=" + kDefaultGapScoreText + "\n" +
                               kGroupSizeName + "=" + kDefaultGroupSizeText + "\n";
  // Written whole under another name first, so the file never appears half written.
  const auto temporary = writeTemporaryFile(makerFolder, contents);
  if (!temporary) return;
  moveIntoPlaceWithoutReplacing(*temporary, filePath());
}

std::optional<std::string> settingsFileValue(std::string_view contents, std::string_view name) {
  const auto text = findValue(contents, name);
  if (!text || utf16Length(*text) > kLongestReadableText) return std::nullopt;
  return std::string(*text);
}

std::optional<std::string> XdgSettingsStore::readValue(std::string_view name) {
  const auto contents = readWholeFile(filePath());
  if (!contents) return std::nullopt;
  return settingsFileValue(*contents, name);
}

std::unique_ptr<SettingsStore> openSystemSettingsStore() {
  return std::make_unique<XdgSettingsStore>(XdgSettingsStore::systemConfigFolder());
}

}  // namespace orvalis
