// Running a reading program (pdftotext, antiword) as a child process with a
// time limit, a memory limit and a cap on its output, so that a crash, a hang
// or a flood in that program never reaches the scan. POSIX only.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orvalis::documents {

struct ChildLimits {
  std::chrono::milliseconds time{30'000};
  std::uint64_t memory = std::uint64_t{1} << 30;  // address space
  std::uint64_t output = std::uint64_t{64} << 20;
};

struct ChildResult {
  enum class Outcome {
    kExited,         // ended by itself; see exitStatus
    kSignalled,      // ended by a signal (a crash, or memory refused)
    kTimedOut,       // killed after the time limit
    kTooMuchOutput,  // killed after writing more than the output cap
    kNotStarted,     // could not be started; see error
  };
  Outcome outcome = Outcome::kNotStarted;
  int exitStatus = 0;
  int signal = 0;
  std::string output;  // its standard output, at most the cap
  std::string errors;  // the start of its standard error
  std::string error;   // why it could not be started
};

// Runs `program` with `arguments` (no shell), its standard input empty.
ChildResult runChild(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments, const ChildLimits& limits);

// The program's full path when a file of that name is executable in one of
// the folders of PATH; empty otherwise.
std::filesystem::path findProgram(const std::string& name);

}  // namespace orvalis::documents
