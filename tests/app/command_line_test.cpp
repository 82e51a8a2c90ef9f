#include "app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace orvalis {
namespace {

using Action = StartRequest::Action;

TEST(CommandLine, ReadsOptionsAndOneFileOrFolderKeepingTheBytesOfItsName) {
  const testing::TempDir dir;
  dir.write("sub/a.txt", "x");
  const std::filesystem::path base = dir.path();
  const auto cwd = std::filesystem::current_path();
  // The file to run with ("folder " before a folder), "help", "version" or "error".
  const auto parsed = [](const std::vector<std::string>& arguments) -> std::string {
    const StartRequest request = parseCommandLine(arguments);
    EXPECT_EQ(request.error.empty(), request.action != Action::kUsageError);
    if (request.action == Action::kRun) {
      return !request.file ? "" : (request.isFolder ? "folder " : "") + request.file->string();
    }
    return request.action == Action::kHelp      ? "help"
           : request.action == Action::kVersion ? "version"
                                                : "error";
  };
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, ""},
      {{"/data/caf\xE9.txt"}, "/data/caf\xE9.txt"},  // not UTF-8: kept as it is
      // Relative to the folder the program was started in; a lone "-" is a name.
      {{"essays/a.txt"}, (cwd / "essays/a.txt").native()},
      {{"--", "-notes.txt"}, (cwd / "-notes.txt").native()},
      {{"-"}, (cwd / "-").native()},
      {{"--", "--help"}, (cwd / "--help").native()},
      {{"--help"}, "help"},
      {{"a.txt", "-h"}, "help"},
      {{"--version"}, "version"},
      {{"-v"}, "version"},
      {{"--jobs"}, "error"},
      {{"a.txt", "b.txt"}, "error"},
      {{""}, "error"},
      // A folder however written, in its plain form; a name that does not
      // exist is a file to browse, but a folder when it ends in "/".
      {{(base / "sub").string()}, "folder " + (base / "sub").string()},
      {{(base / "sub").string() + "/"}, "folder " + (base / "sub").string()},
      {{(base / "sub" / ".").string()}, "folder " + (base / "sub").string()},
      {{(base / "sub" / "..").string()}, "folder " + base.string()},
      {{(base / "sub" / "a.txt").string()}, (base / "sub" / "a.txt").string()},
      {{(base / "sub" / "b.txt").string()}, (base / "sub" / "b.txt").string()},
      {{(base / "gone").string() + "/"}, "folder " + (base / "gone").string()},
      {{"/"}, "folder /"},
  };
  for (const auto& [arguments, expected] : cases) {
    EXPECT_EQ(parsed(arguments), expected) << ::testing::PrintToString(arguments);
  }
}

}  // namespace
}  // namespace orvalis
