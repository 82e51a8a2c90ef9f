// Runs a program as a child process, without a shell, and captures its output.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvalis::testing {

struct ChildResult {
  int exitStatus = -1;  // -1 when the child did not exit normally
  std::string out;      // everything written to standard output
  std::string err;      // everything written to standard error
};

struct ChildOptions {
  // Variables set or replaced in the child's environment; the rest is inherited.
  std::map<std::string, std::string> environment;
  // The child's working folder; the parent's when unset.
  std::optional<std::filesystem::path> workingFolder;
};

// Starts `program` with `args` (after the program name), standard input from
// /dev/null, and waits for it. Throws when the child cannot be started.
ChildResult runChild(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const ChildOptions& options = {});

}  // namespace orvalis::testing
