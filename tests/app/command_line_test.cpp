#include "app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace orvalis {
namespace {

using Action = StartRequest::Action;

TEST(CommandLine, ReadsOptionsAndOneFile) {
  const auto cwd = std::filesystem::current_path();
  struct Case {
    std::vector<std::string> arguments;
    Action action;
    std::optional<std::filesystem::path> file;
  };
  const Case cases[] = {
      {{}, Action::kRun, std::nullopt},
      {{"/data/essays/a.txt"}, Action::kRun, "/data/essays/a.txt"},
      // Relative to the folder the program was started in.
      {{"essays/a.txt"}, Action::kRun, cwd / "essays/a.txt"},
      {{"--", "-notes.txt"}, Action::kRun, cwd / "-notes.txt"},
      // A lone "-" is a file name, not an option.
      {{"-"}, Action::kRun, cwd / "-"},
      {{"--help"}, Action::kHelp, std::nullopt},
      {{"a.txt", "-h"}, Action::kHelp, std::nullopt},
      {{"--version"}, Action::kVersion, std::nullopt},
      {{"-v"}, Action::kVersion, std::nullopt},
      {{"--", "--help"}, Action::kRun, cwd / "--help"},
      {{"--jobs"}, Action::kUsageError, std::nullopt},
      {{"a.txt", "b.txt"}, Action::kUsageError, std::nullopt},
      {{""}, Action::kUsageError, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const StartRequest request = parseCommandLine(c.arguments);
    EXPECT_EQ(request.action, c.action);
    if (c.action == Action::kRun) {
      EXPECT_EQ(request.file, c.file);
    }
    EXPECT_EQ(request.error.empty(), c.action != Action::kUsageError);
  }
}

TEST(CommandLine, KeepsTheBytesOfAFileName) {
  // Not valid UTF-8: the name must reach the file system unchanged.
  const std::string name = "/data/caf\xE9.txt";
  const StartRequest request = parseCommandLine({name});
  ASSERT_TRUE(request.file);
  EXPECT_EQ(request.file->native(), name);
}

}  // namespace
}  // namespace orvalis
