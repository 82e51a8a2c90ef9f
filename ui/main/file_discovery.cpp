#include "ui/main/file_discovery.h"

#include <algorithm>
#include <compare>
#include <cstddef>
#include <new>
#include <set>
#include <type_traits>
#include <utility>

namespace orvalis {
namespace {

namespace fs = std::filesystem;

using NameString = fs::path::string_type;
using NameUnit = NameString::value_type;
// Units compared as unsigned values, so that bytes above 0x7F sort after ASCII.
using UnsignedUnit = std::make_unsigned_t<NameUnit>;

UnsignedUnit lowerAscii(NameUnit unit) {
  const auto value = static_cast<UnsignedUnit>(unit);
  return (value >= 'A' && value <= 'Z') ? static_cast<UnsignedUnit>(value - 'A' + 'a') : value;
}

bool endsWithIgnoringAsciiCase(const NameString& name, const NameString& suffix) {
  if (name.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(),
                    name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](NameUnit a, NameUnit b) { return lowerAscii(a) == lowerAscii(b); });
}

// Orders names without regard to ASCII case; names equal that way are ordered by
// their exact units, so the order does not depend on the listing order.
bool nameLess(const fs::path& left, const fs::path& right) {
  const NameString& a = left.native();
  const NameString& b = right.native();
  const auto folded = std::lexicographical_compare_three_way(
      a.begin(), a.end(), b.begin(), b.end(),
      [](NameUnit x, NameUnit y) { return lowerAscii(x) <=> lowerAscii(y); });
  if (folded != 0) return folded < 0;
  return std::lexicographical_compare_three_way(
             a.begin(), a.end(), b.begin(), b.end(), [](NameUnit x, NameUnit y) {
               return static_cast<UnsignedUnit>(x) <=> static_cast<UnsignedUnit>(y);
             }) < 0;
}

}  // namespace

std::vector<FolderEntry> listFolder(const std::filesystem::path& folder, std::error_code& error) {
  error.clear();
  std::vector<FolderEntry> entries;
  try {
    // A folder that changes while it is read may report an entry again.
    std::set<NameString> seen;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
      fs::path name = it->path().filename();
      if (!seen.insert(name.native()).second) continue;
      // Follows symbolic links; a link whose target cannot be read counts as a file.
      std::error_code statusError;
      const bool isDirectory = it->is_directory(statusError);
      entries.push_back(FolderEntry{std::move(name), isDirectory && !statusError});
    }
  } catch (const std::bad_alloc&) {
    error = std::make_error_code(std::errc::not_enough_memory);
  }
  return entries;
}

std::filesystem::path extensionOf(const std::filesystem::path& path) {
  const NameString name = path.filename().native();
  const auto dot = name.rfind(static_cast<NameUnit>('.'));
  if (dot == NameString::npos) return {};
  return fs::path(name.substr(dot));
}

std::vector<std::filesystem::path> selectFiles(std::vector<FolderEntry> entries,
                                               const std::filesystem::path& extension) {
  std::vector<fs::path> names;
  for (auto& entry : entries) {
    if (entry.isDirectory) continue;
    if (!endsWithIgnoringAsciiCase(entry.name.native(), extension.native())) continue;
    names.push_back(std::move(entry.name));
  }
  std::sort(names.begin(), names.end(), nameLess);
  return names;
}

Discovery discoverFiles(const std::filesystem::path& chosenFile) {
  Discovery found;
  found.folder = chosenFile.parent_path();
  if (found.folder.empty()) found.folder = ".";
  auto entries = listFolder(found.folder, found.error);
  for (auto& name : selectFiles(std::move(entries), extensionOf(chosenFile))) {
    found.files.push_back(found.folder / name);
  }
  return found;
}

std::string discoveryMessage(std::size_t fileCount) {
  if (fileCount == 0) return kNoFilesFoundMessage;
  if (fileCount == 1) return kOnlyOneFileMessage;
  return {};
}

}  // namespace orvalis
