// Runs a program as a child process, without a shell, and captures its output.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace orvalis::testing {

struct ChildResult {
  int exitStatus = -1;  // -1 when the child did not exit normally
  std::string out;      // everything written to standard output
  std::string err;      // everything written to standard error
};

// Starts `program` with `args` (after the program name), this process's
// environment and standard input from /dev/null, and waits for it. Throws when
// the child cannot be started.
ChildResult runChild(const std::filesystem::path& program, std::vector<std::string> args);

}  // namespace orvalis::testing
