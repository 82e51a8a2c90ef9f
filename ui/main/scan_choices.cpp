#include "ui/main/scan_choices.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <string_view>

#include "engine/text.h"

namespace orvalis {

namespace {

// Measured on two cores of a 2020s laptop processor: the kernels align a cell
// in about 0.15 ns on one thread; the seed index takes about half a
// microsecond a word. The fast scan aligns a sample of 5,000 comparisons for
// its statistics, and its seeds keep a few in a thousand of the rest.
constexpr double kSecondsPerCell = 0.15e-9;
constexpr double kIndexSecondsPerWord = 0.5e-6;
constexpr double kSampledComparisons = 5000;
constexpr double kSeededShare = 0.003;

constexpr double kTextBytesPerWord = 6;
constexpr double kDocumentBytesPerWord = 20;
constexpr std::array<std::string_view, 6> kDocumentExtensions{".docx", ".odt", ".pdf",
                                                              ".doc",  ".rtf", ".docm"};

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string counted(long value, const char* unit) {
  return std::to_string(value).append(" ").append(unit).append(value == 1 ? "" : "s");
}

}  // namespace

std::uint64_t estimatedWords(const std::filesystem::path& file, std::uint64_t bytes) {
  const std::string extension = lowered(file.extension().string());
  const bool document = std::find(kDocumentExtensions.begin(), kDocumentExtensions.end(),
                                  extension) != kDocumentExtensions.end();
  return static_cast<std::uint64_t>(static_cast<double>(bytes) /
                                    (document ? kDocumentBytesPerWord : kTextBytesPerWord));
}

ScanTimeEstimate estimateScanTime(const std::vector<std::uint64_t>& words, std::int32_t groupSize,
                                  int processors, std::chrono::milliseconds pause) {
  // Every pair of files: the cells are the products of their word counts, the
  // comparisons the products of their group counts. Sums of squares give both
  // without visiting each pair.
  double wordSum = 0, wordSquares = 0, groupSum = 0, groupSquares = 0;
  for (const std::uint64_t count : words) {
    const auto w = static_cast<double>(count);
    const GroupCounts groups = groupCounts(
        static_cast<std::int32_t>(std::min<std::uint64_t>(count, INT32_MAX)), groupSize);
    const auto g = static_cast<double>(groups.count);
    wordSum += w;
    wordSquares += w * w;
    groupSum += g;
    groupSquares += g * g;
  }
  const double cells = (wordSum * wordSum - wordSquares) / 2;
  const double comparisons = (groupSum * groupSum - groupSquares) / 2;
  const double threads = std::max(1, processors);

  ScanTimeEstimate estimate;
  estimate.paused =
      cells * kSecondsPerCell + comparisons * std::chrono::duration<double>(pause).count();
  estimate.allProcessors = cells * kSecondsPerCell / threads;
  const double aligned = std::min(comparisons, kSampledComparisons + kSeededShare * comparisons);
  const double cellsAligned = comparisons > 0 ? cells * aligned / comparisons : 0;
  estimate.fast = (wordSum * kIndexSecondsPerWord + cellsAligned * kSecondsPerCell) / threads;
  return estimate;
}

std::string durationText(double seconds) {
  if (!(seconds >= 1)) return "under a second";
  const std::string about = "about ";
  if (seconds < 90) return about + counted(std::lround(seconds), "second");
  if (seconds < 90 * 60) return about + counted(std::lround(seconds / 60), "minute");
  if (seconds < 36 * 3600) return about + counted(std::lround(seconds / 3600), "hour");
  return about + counted(std::lround(seconds / 86400), "day");
}

std::string usualScanText(double seconds) {
  return std::string("A usual scan of these files takes ")
      .append(durationText(seconds))
      .append(".");
}

std::string allProcessorsCaption(double seconds) {
  return std::string(kAllProcessorsName)
      .append(", without pauses (")
      .append(durationText(seconds))
      .append(")");
}

std::string fastScanCaption(double seconds) {
  return std::string(kFastScanName)
      .append(": align only passages that share words (")
      .append(durationText(seconds))
      .append(")");
}

}  // namespace orvalis
