// The run of orvalis-scan: command line in, report and exit status out. Writes
// only to the streams it is given and never ends the process itself.
#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "analysis/file_pairs.h"
#include "analysis/result_listing.h"
#include "analysis/significance.h"
#include "cli/options.h"
#include "engine/records.h"
#include "engine/settings.h"

namespace orvalis {
class ComparisonCache;
}

namespace orvalis::cli {

// Lets another front end take part in a run's scan. Called once, after the
// files and the settings are known and right before the scan starts, with the
// run's results cache (null for none). Returns the cache the scan uses instead:
// `cache` itself or one that forwards to it; or, with `error` set, the run ends
// with that error.
// The figures of a run whose scan kept its results apart from the engine, as
// the whole scan gives them; engine.pairResults then holds only the results
// that the run's listing, pairs and reports can take.
struct KeptApartResults {
  float threshold = 0.0f;
  SignificanceModel model;
  std::size_t results = 0;         // of the whole scan
  std::size_t aboveThreshold = 0;  // taken by the listing by threshold, before its cap
  // Sets each pair's best E-value and comparison over every result.
  std::function<void(FilePairTable&)> completePairs;
};
struct ScanStartHookResult {
  ComparisonCache* cache = nullptr;
  std::string error;  // printed after "error: "
  // When set, called once the scan has ended well, before anything is listed.
  std::function<KeptApartResults(CompareEngine&)> collect = {};
};
using ScanStartHook = std::function<ScanStartHookResult(
    CompareEngine& engine, ComparisonCache* cache, const std::vector<std::filesystem::path>& files,
    const std::vector<std::filesystem::path>& earlierFiles)>;

// What becomes of a run's files, words and results once it has written
// everything: released, or left to a process that ends right after the run,
// which takes their memory back at once where releasing them one by one takes
// a large scan seconds. Whatever is left stays reachable, so that leak
// checkers do not count it.
enum class RunRecords { kReleased, kLeftToProcessEnd };

// Runs orvalis-scan on the arguments that follow the program name, with the
// system's settings store; returns the exit status. The progress line goes to
// `err` only when stderrIsTerminal is set.
int runScanCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   bool stderrIsTerminal, const ScanStartHook& startHook = {},
                   RunRecords records = RunRecords::kReleased);

// The scan part of a run, with the settings read from `store`.
int runScan(const ScanOptions& options, SettingsStore& store, std::ostream& out, std::ostream& err,
            bool showProgress, const ScanStartHook& startHook = {},
            RunRecords records = RunRecords::kReleased);

// Puts the settings of a run into `engine`: the store's values when the store
// exists (a warning when some cannot be read; the store is only read, never
// created or written), else the built-in defaults; then the command line's
// overrides; then a group size below 2 is replaced, with a warning.
void loadRunSettings(SettingsStore& store, const ScanOptions& options, CompareEngine& engine,
                     std::ostream& err);

// The files a run compares; on failure the text to print and the exit status.
struct FileSelection {
  std::vector<std::filesystem::path> files;
  std::vector<std::string> warnings;  // one line each on standard error
  std::string message;                // printed on standard error when not empty
  int status = kExitSuccess;
};
FileSelection chooseScanFiles(const ScanOptions& options);

// The lines of the results window: one per listed result, at most
// kMaxListedResults, or the single line "No suspicious files found." when none
// is listed.
void writeResultLines(std::ostream& out, const std::vector<ListedResult>& listed);

// One line per file pair, ending in the shares of its two files as `table` has
// them, or "No suspicious files found." when there is none.
void writePairLines(std::ostream& out, const std::vector<FilePair>& pairs,
                    const FilePairTable& table);

// Puts `pairs`, each a pair of `table`, in the order that --sort names.
void orderFilePairs(std::vector<FilePair>& pairs, const FilePairTable& table, PairOrder order);

// The number of comparison threads when --jobs is not given.
int defaultJobs();

}  // namespace orvalis::cli
