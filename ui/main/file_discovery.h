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

struct FolderEntry {
  std::filesystem::path name;  // the entry's name within its folder
  bool isDirectory = false;
};

// Lists the entries of a folder in the order the system returns them. On an
// error, `error` is set and the entries read so far are returned, none twice.
std::vector<FolderEntry> listFolder(const std::filesystem::path& folder, std::error_code& error);

// The extension of a path's last component: from its last dot, dot included
// ("notes.v2.txt" gives ".txt", ".profile" gives ".profile"); empty when the
// name has no dot.
std::filesystem::path extensionOf(const std::filesystem::path& path);

// The names of the entries that are not folders and whose names end with
// `extension`, compared without regard to ASCII case (an empty extension takes
// every file), ordered by name without regard to case.
std::vector<std::filesystem::path> selectFiles(std::vector<FolderEntry> entries,
                                               const std::filesystem::path& extension);

// What choosing one file finds.
struct Discovery {
  std::filesystem::path folder;              // the chosen file's folder
  std::vector<std::filesystem::path> files;  // full paths, in scan order
  std::error_code error;                     // set when the folder could not be listed
};

// Finds the files for a chosen file, which need not exist; only its folder must.
Discovery discoverFiles(const std::filesystem::path& chosenFile);

// The message for a number of files found: kNoFilesFoundMessage for none,
// kOnlyOneFileMessage for one, empty for two or more.
std::string discoveryMessage(std::size_t fileCount);

}  // namespace orvalis
