// Between the engine's paths and texts and the toolkit's strings.
#pragma once

#include <QString>
#include <filesystem>
#include <string_view>

namespace orvalis {

struct FileEntry;

// A path for display, through the toolkit's own conversion of file names.
QString toQString(const std::filesystem::path& path);

// A file's name as the windows show it over its text: marked " [old]" when it
// is earlier work, as in the lines of results.
QString fileNameText(const FileEntry& file);

// A text in UTF-8.
QString fromUtf8(std::string_view text);

// A file name as the toolkit gives it back to the system: the same bytes that
// toQString read, on every platform.
std::filesystem::path toPath(const QString& name);

}  // namespace orvalis
