// The files of earlier work that a scan compares its files with: folders and
// files named by the user, turned into a list of files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "discovery/file_discovery.h"

namespace orvalis {

struct EarlierWork {
  std::vector<std::filesystem::path> files;  // in the order the paths were given
  std::vector<SkippedEntry> skipped;         // entries that cannot be compared
  // A path that is neither a folder that can be listed nor a file that can be
  // read: "path: reason". Empty when every path could be used.
  std::string error;
};

// The files of earlier work for `paths`: a folder gives its files that end
// with `extension`, ordered by name as a scanned folder is; a file gives
// itself. A file that is also one of `scanFiles`, or was given before, is taken
// only once, where it first appears.
EarlierWork findEarlierWork(const std::vector<std::filesystem::path>& paths,
                            const std::filesystem::path& extension,
                            const std::vector<std::filesystem::path>& scanFiles);

}  // namespace orvalis
