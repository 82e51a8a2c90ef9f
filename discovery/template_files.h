// Which files are templates: files named one by one, or every file of a folder
// that has the scanned files' extension. A template is never scanned itself.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace orvalis {

struct TemplateFiles {
  std::vector<std::filesystem::path> files;  // in the order given, a folder's by name
  std::string error;                         // "cannot list FOLDER: reason"; empty when none
};

// The template files for `choices` (files or folders) when the scan takes files
// of `extension`. A folder that cannot be listed is an error; a folder without
// such files adds none. A file is taken as it is and read later.
TemplateFiles findTemplateFiles(const std::vector<std::filesystem::path>& choices,
                                const std::filesystem::path& extension);

// `files` without those that are one of `templates` (the same file, by any
// name, or the same path when the file does not exist).
std::vector<std::filesystem::path> withoutTemplates(
    std::vector<std::filesystem::path> files, const std::vector<std::filesystem::path>& templates);

}  // namespace orvalis
