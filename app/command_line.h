// What the arguments of `orvalis` ask for: a plain start, a start with a file
// already browsed, or the help or version text. No toolkit in here.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvalis {

inline constexpr const char* kVersionText = "Orvalis Version 1.1";

struct StartRequest {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kRun;
  // The file to browse at start, made absolute against the current folder.
  std::optional<std::filesystem::path> file;
  // `file` names a folder (one that exists, or any path ending in a separator):
  // the program opens on that folder with no extension chosen. `file` is then
  // the folder in its plain form, without "." or a closing separator.
  bool isFolder = false;
  // For kUsageError: what is wrong, in one line.
  std::string error;
};

// Reads the arguments after the program's name, each in the system's own form
// (bytes on Linux, UTF-8 on Windows). "--" ends the options, so that a file
// whose name starts with "-" can be named. Looks at the file system only to
// tell whether FILE is a folder.
StartRequest parseCommandLine(const std::vector<std::string>& arguments);

// The text that --help prints.
std::string usageText();

}  // namespace orvalis
