#include "app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace orvalis {
namespace {

using Action = StartRequest::Action;

TEST(CommandLine, ReadsOptionsAndOneFileKeepingTheBytesOfItsName) {
  const auto cwd = std::filesystem::current_path();
  // The file to run with, "help", "version" or "error".
  const auto parsed = [](const std::vector<std::string>& arguments) -> std::string {
    const StartRequest request = parseCommandLine(arguments);
    EXPECT_EQ(request.error.empty(), request.action != Action::kUsageError);
    if (request.action == Action::kRun) return request.file ? request.file->native() : "";
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
  };
  for (const auto& [arguments, expected] : cases) {
    EXPECT_EQ(parsed(arguments), expected) << ::testing::PrintToString(arguments);
  }
}

}  // namespace
}  // namespace orvalis
