// The command line of orvalis-scan as a value: what to scan, the settings that
// override the stored ones for this run, and how to report.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis::cli {

inline constexpr const char* kProgramName = "orvalis-scan";
inline constexpr const char* kVersionText = "orvalis-scan 1.1";

// Exit statuses of orvalis-scan.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitError = 1;  // an error, or fewer than two files to compare
inline constexpr int kExitUsage = 2;  // a bad command line

// Upper bound of --jobs: more threads than this only cost memory.
inline constexpr int kMaxJobs = 1024;

enum class Action { kScan, kHelp, kVersion };

// --sort: the order of the file pairs. By share: the larger of a pair's two
// shares, largest first; by E-value: smallest first; by name: A to Z.
enum class PairOrder { kShare, kEvalue, kName };

struct ScanOptions {
  Action action = Action::kScan;
  // One file: scan its folder for files with its extension. Two or more: scan
  // exactly these, in this order.
  std::vector<std::filesystem::path> files;
  std::optional<float> mismatchScore;             // --mu
  std::optional<float> gapScore;                  // --delta
  std::optional<std::int32_t> groupSize;          // --group-size
  bool showAll = false;                           // --all
  bool json = false;                              // --json
  std::optional<std::filesystem::path> htmlFile;  // --html
  std::optional<int> jobs;                        // --jobs; unset: one per hardware thread
  std::optional<std::uint64_t> maxMemory;         // --max-memory, in bytes
  bool quiet = false;                             // --quiet
  // --max-evalue: list the results of E-value at most this, strongest first,
  // instead of those above the threshold.
  std::optional<double> maxEvalue;
  // --fast: align only the group pairs that a seed index picks and a sample
  // for the statistics; --exhaustive (the default): align every group pair.
  bool fast = false;
  bool exhaustive = false;
  // --old: folders and files of earlier work, compared with the scanned files
  // but not with each other.
  std::vector<std::filesystem::path> earlierWork;
  std::optional<std::filesystem::path> cacheFile;  // --cache; unset: the default place
  bool noCache = false;                            // --no-cache
  bool clearCache = false;                         // --cache-clear
  std::optional<std::uint64_t> cacheMaxSize;       // --cache-max-size, in bytes
  bool pairs = false;                  // --pairs: one line per file pair of the listed results
  std::optional<PairOrder> pairOrder;  // --sort; needs --pairs
  // --template, repeatable: files, or folders of files with the scanned
  // extension, whose text is set aside in every scanned file.
  std::vector<std::filesystem::path> templates;
  // --max-files: passages that more than this many files share are set aside.
  std::optional<std::int32_t> maxFiles;
};

// The parsed command line, or why it is not one.
struct ParseResult {
  ScanOptions options;
  std::string error;  // empty when the command line is good
  bool ok() const { return error.empty(); }
};

// Parses the arguments that follow the program name. Options and files may be
// mixed; "--" ends the options. Values go after the option as the next argument
// or after "=" ("--mu -0.4", "--mu=-0.4"). --help and --version end the parsing
// where they stand.
ParseResult parseArguments(std::span<const std::string> args);

// A file named on the command line. On Windows the arguments come as UTF-16
// and are passed on as UTF-8, so the name is read as UTF-8; elsewhere the
// argument's bytes are the name, whatever they are.
std::filesystem::path pathFromArgument(std::string_view argument);

// Strict conversions of option values: the whole text must be the number.
// A finite decimal number that stays finite as a 32-bit float.
std::optional<float> parseFiniteFloat(std::string_view text);
// A finite decimal number of 0 or more, in double precision.
std::optional<double> parseNonNegativeNumber(std::string_view text);
// A decimal integer without fraction or exponent that fits a 32-bit int.
std::optional<std::int32_t> parseInteger(std::string_view text);

// The short text printed with a usage error.
std::string usageText();
// The full --help text: every option and every exit status.
std::string helpText();

}  // namespace orvalis::cli
