// Finding the files to compare: every file of the chosen file's folder that has
// the chosen file's extension. Shared by the main dialog and orvalis-scan.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace orvalis {

inline constexpr const char* kNoFilesFoundMessage = "No files found.";
inline constexpr const char* kOnlyOneFileMessage =
    "Only one file found. Two or more files are needed for comparisons to be made.";

// Lists the names of a folder's entries in the order the system returns them.
// On an error, `error` is set and the names read so far are returned, none twice.
std::vector<std::filesystem::path> listFolder(const std::filesystem::path& folder,
                                              std::error_code& error);

// The extension of a path's last component: from its last dot, dot included
// ("notes.v2.txt" gives ".txt", ".profile" gives ".profile"); empty when the
// name has no dot.
std::filesystem::path extensionOf(const std::filesystem::path& path);

// The names that end with `extension`, compared without regard to ASCII case
// (an empty extension takes every name), ordered by name without regard to case.
std::vector<std::filesystem::path> selectFiles(std::vector<std::filesystem::path> names,
                                               const std::filesystem::path& extension);

// An entry that has the extension but cannot be compared.
struct SkippedEntry {
  std::filesystem::path path;
  std::string reason;  // "is a folder", "is a FIFO", "Permission denied", ...
};

// What choosing one file finds.
struct Discovery {
  std::filesystem::path folder;              // the chosen file's folder
  std::vector<std::filesystem::path> files;  // full paths, in scan order
  std::vector<SkippedEntry> skipped;         // in the same order
  std::error_code error;                     // set when the folder could not be listed
};

// Finds the files for a chosen file, which need not exist; only its folder must.
// Only regular files that can be opened for reading are taken (links followed);
// every other entry with the extension is skipped with its reason. Nothing here
// waits on a FIFO or a device.
Discovery discoverFiles(const std::filesystem::path& chosenFile);

// The message for a number of files found: kNoFilesFoundMessage for none,
// kOnlyOneFileMessage for one, empty for two or more.
std::string discoveryMessage(std::size_t fileCount);

// The intro, a blank line, then one line "path: reason" for each entry.
std::string listWithReasons(std::string intro, const std::vector<SkippedEntry>& entries);

// One message naming every skipped entry with its reason; empty for none.
std::string skippedEntriesMessage(const std::vector<SkippedEntry>& skipped);

}  // namespace orvalis
