// The scan driver: a worker thread that loads every file of the engine's file
// table, compares every word group of every file pair and reports its progress.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/records.h"

namespace orvalis {

// Messages that the worker posts to its target.
// At the start of each file pair; lParam: its number of comparisons.
inline constexpr std::uint32_t WM_SCAN_SET_RANGE = 0x0501;
// At the start of each file pair (0), after each comparison (comparisons done in
// this file pair), and once at the normal end (0).
inline constexpr std::uint32_t WM_SCAN_SET_POS = 0x0502;
// Once, before the first comparison; lParam: the number of file pairs.
inline constexpr std::uint32_t WM_SCAN_STARTED = 0x0503;
// After each file pair; wParam: file pairs done, lParam: the number of file pairs.
inline constexpr std::uint32_t WM_SCAN_PROGRESS = 0x0504;
// While documents are turned into text, before the comparisons, after each
// document: wParam: files looked at so far, lParam: files of the scan. Only a
// scan with a text source that takes some file over posts it.
inline constexpr std::uint32_t WM_SCAN_READING = 0x0505;

inline constexpr const char* kFinishedNotice = "Finished!";

// A file that could not be read; the scan counts it as a file without words.
struct UnreadableFile {
  std::int32_t index = 0;
  std::filesystem::path path;
  std::string reason;
};

// Where the worker reports. post and filesUnreadable are called on the worker
// thread and must not wait for the user interface; showNotice returns when the
// user has dismissed the notice.
class ScanTarget {
 public:
  virtual ~ScanTarget() = default;
  virtual void post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) = 0;
  // After loading, when some files could not be read; the scan goes on.
  virtual void filesUnreadable(const std::vector<UnreadableFile>& files) = 0;
  // The scan cannot go on (memory ran out); the worker has cleared `running`
  // and ends after this call, and nothing more is posted.
  virtual void scanFailed(const std::string& message) = 0;
  // The notice at the normal end of a scan.
  virtual void showNotice(const std::string& text) = 0;
  // The very last call of every worker, after everything else it reports; the
  // thread ends right after, so joining it no longer waits for any work.
  virtual void workerEnded() {}
};

// The text of a failure to start the worker thread and of a scan that runs out
// of memory.
inline constexpr const char* kThreadStartFailedMessage =
    "Error! The scan could not be started: no worker thread is available.";
inline constexpr const char* kOutOfMemoryMessage = "Error! Not enough memory to complete the scan.";
// The start of the message of a scan refused because its comparisons would
// not fit in memory; the sizes follow.
inline constexpr const char* kNotEnoughMemoryMessage =
    "Error! Not enough memory to complete the scan:";
inline constexpr const char* kTooManyComparisonsMessage =
    "Error! The scan would make more than 2147483647 comparisons. Compare fewer files, or "
    "use a larger NUM_WORDS_PER_GROUPING.";

struct ComparisonCounts;
class MemoryBudget;

// Why the comparisons of `counts` cannot be made within `budget`: the message
// for the user, or nothing when they can.
std::string comparisonRefusal(const ComparisonCounts& counts, const MemoryBudget& budget);

// The worker's procedure. Returns 1 after a complete scan and 0 when it stopped
// because `running` was false or memory ran out.
int scanWorker(CompareEngine& engine);

}  // namespace orvalis
