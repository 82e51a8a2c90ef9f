#include "app/command_line.h"

#include <system_error>

namespace orvalis {
namespace {

std::filesystem::path pathOf(const std::string& argument) {
#ifdef _WIN32
  // Windows arguments arrive as UTF-8 text; the path keeps its wide form.
  return std::filesystem::path(std::u8string(argument.begin(), argument.end()));
#else
  return std::filesystem::path(argument);
#endif
}

// "/a/b/." and "/a/b/" as "/a/b": the folder as the folder box shows a chosen one.
std::filesystem::path plainFolder(const std::filesystem::path& folder) {
  std::filesystem::path plain = folder.lexically_normal();
  if (!plain.has_filename() && plain.has_relative_path()) plain = plain.parent_path();
  return plain;
}

StartRequest usageError(std::string error) {
  StartRequest request;
  request.action = StartRequest::Action::kUsageError;
  request.error = std::move(error);
  return request;
}

}  // namespace

StartRequest parseCommandLine(const std::vector<std::string>& arguments) {
  StartRequest request;
  bool optionsEnded = false;
  for (const std::string& argument : arguments) {
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && (argument == "--help" || argument == "-h")) {
      request.action = StartRequest::Action::kHelp;
      return request;
    } else if (!optionsEnded && (argument == "--version" || argument == "-v")) {
      request.action = StartRequest::Action::kVersion;
      return request;
    } else if (!optionsEnded && argument.size() > 1 && argument.front() == '-') {
      return usageError("unknown option '" + argument + "'");
    } else if (request.file) {
      return usageError("only one FILE can be given");
    } else if (argument.empty()) {
      return usageError("FILE is empty");
    } else {
      std::error_code error;
      const std::filesystem::path file = pathOf(argument);
      const std::filesystem::path absolute = std::filesystem::absolute(file, error);
      request.file = error ? file : absolute;
      request.isFolder =
          !request.file->has_filename() || std::filesystem::is_directory(*request.file, error);
      if (request.isFolder) request.file = plainFolder(*request.file);
    }
  }
  return request;
}

std::string usageText() {
  return "Usage: orvalis [FILE]\n"
         "Finds copied text among the files of one folder.\n"
         "\n"
         "With FILE, Orvalis starts with FILE's folder chosen: every file of that\n"
         "folder with FILE's extension is listed, ready to be checked. FILE itself\n"
         "need not exist; its folder must. FILE may also name a folder: Orvalis\n"
         "then starts on it, and Browse... chooses the extension.\n"
         "\n"
         "  -h, --help     print this help and exit\n"
         "  -v, --version  print the version and exit\n"
         "\n"
         "For scans without a display, see orvalis-scan --help.\n";
}

}  // namespace orvalis
