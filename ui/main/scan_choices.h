// How long a scan of the listed files would take, worked out from their sizes
// before anything is read, so that the main dialog can offer the faster ways
// to scan a big folder.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orvalis {

// The words a file of `bytes` bytes holds, roughly: plain text has about six
// bytes a word, documents (compressed or laid out) many more.
std::uint64_t estimatedWords(const std::filesystem::path& file, std::uint64_t bytes);

// Seconds that a scan of files of these word counts takes, three ways.
struct ScanTimeEstimate {
  double paused = 0;         // one worker, pausing after each comparison
  double allProcessors = 0;  // every processor, without the pause
  double fast = 0;           // the fast scan, on every processor
};
ScanTimeEstimate estimateScanTime(const std::vector<std::uint64_t>& words, std::int32_t groupSize,
                                  int processors, std::chrono::milliseconds pause);

// The faster scans are offered once the usual one would take longer than this.
inline constexpr double kOfferFasterScansAfter = 60;

// "about 40 seconds", "about 3 minutes", "about 2 hours"; "under a second".
std::string durationText(double seconds);

// The choices' names, which stay the same while their captions show the time.
inline constexpr const char* kAllProcessorsName = "Use every processor";
inline constexpr const char* kFastScanName = "Fast scan";
// "A usual scan of these files takes about 3 minutes."
std::string usualScanText(double seconds);
// "Use every processor, without pauses (about 12 seconds)"
std::string allProcessorsCaption(double seconds);
// "Fast scan: align only passages that share words (about 2 seconds)"
std::string fastScanCaption(double seconds);
inline constexpr const char* kFastScanTip =
    "Aligns only the passages that share runs of words, and lists the results by E-value. "
    "The results it lists are exactly those of the full scan; a weak one may be missed.";

}  // namespace orvalis
