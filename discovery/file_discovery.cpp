#include "discovery/file_discovery.h"

#include <algorithm>
#include <compare>
#include <cstddef>
#include <new>
#include <set>
#include <type_traits>
#include <utility>

#include "engine/encoding.h"
#include "engine/input_file.h"

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

std::vector<std::filesystem::path> listFolder(const std::filesystem::path& folder,
                                              std::error_code& error) {
  error.clear();
  std::vector<fs::path> names;
  try {
    // A folder that changes while it is read may report an entry again.
    std::set<NameString> seen;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
      fs::path name = it->path().filename();
      if (seen.insert(name.native()).second) names.push_back(std::move(name));
    }
  } catch (const std::bad_alloc&) {
    error = std::make_error_code(std::errc::not_enough_memory);
  }
  return names;
}

std::filesystem::path extensionOf(const std::filesystem::path& path) {
  const NameString name = path.filename().native();
  const auto dot = name.rfind(static_cast<NameUnit>('.'));
  if (dot == NameString::npos) return {};
  return fs::path(name.substr(dot));
}

std::vector<std::filesystem::path> selectFiles(std::vector<std::filesystem::path> names,
                                               const std::filesystem::path& extension) {
  std::erase_if(names, [&](const fs::path& name) {
    return !endsWithIgnoringAsciiCase(name.native(), extension.native());
  });
  std::sort(names.begin(), names.end(), nameLess);
  return names;
}

Discovery discoverFiles(const std::filesystem::path& chosenFile) {
  Discovery found;
  found.folder = chosenFile.parent_path();
  if (found.folder.empty()) found.folder = ".";
  for (const fs::path& name :
       selectFiles(listFolder(found.folder, found.error), extensionOf(chosenFile))) {
    fs::path path = found.folder / name;
    InputFile file;
    if (std::string reason = file.open(path); !reason.empty()) {
      found.skipped.push_back({std::move(path), std::move(reason)});
    } else {
      found.files.push_back(std::move(path));
    }
  }
  return found;
}

std::string discoveryMessage(std::size_t fileCount) {
  if (fileCount == 0) return kNoFilesFoundMessage;
  if (fileCount == 1) return kOnlyOneFileMessage;
  return {};
}

std::string listWithReasons(std::string intro, const std::vector<SkippedEntry>& entries) {
  intro += '\n';
  for (const SkippedEntry& entry : entries) {
    // Appended piece by piece: `"\n" + std::string` makes g++ 12 at -O3 report a
    // false overlap (-Wrestrict) inside the standard library's insert.
    intro.append("\n").append(displayText(entry.path)).append(": ").append(entry.reason);
  }
  return intro;
}

std::string skippedEntriesMessage(const std::vector<SkippedEntry>& skipped) {
  if (skipped.empty()) return {};
  return listWithReasons(skipped.size() == 1 ? "This entry is not a file that can be compared:"
                                             : "These entries are not files that can be compared:",
                         skipped);
}

}  // namespace orvalis
