#include "analysis/result_listing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

#include "engine/encoding.h"

namespace orvalis {
namespace {

std::string fileNameOf(const WordGroup* group) {
  if (group == nullptr || group->file == nullptr) return {};
  std::string name = lineText(group->file->displayName);
  if (group->file->earlier) name += kEarlierWorkMark;
  return name;
}

// Mean plus deviation of `count` scores that `each` hands to its argument in
// key order.
template <typename Each>
float thresholdOf(std::size_t count, const Each& each) {
  // An empty scan has no mean; say so without dividing zero by zero, which
  // would trap where floating-point exceptions are enabled.
  if (count == 0) return std::numeric_limits<float>::quiet_NaN();
  // Every step is stored as a float so that the threshold, and with it the
  // listing, is the same on every platform.
  float sum = 0.0f;
  float sumOfSquares = 0.0f;
  each([&](float score) {
    sum += score;
    const float square = score * score;
    sumOfSquares += square;
  });
  const float scores = static_cast<float>(count);
  const float mean = sum / scores;
  const float meanOfSquares = sumOfSquares / scores;
  const float squaredMean = mean * mean;
  // Rounding can leave scores that are all but equal with a variance just below
  // zero, whose root is not a number and would hide every result; the spread
  // of such scores is zero.
  const float variance = std::max(0.0f, meanOfSquares - squaredMean);
  const float deviation = std::sqrt(variance);
  return mean + deviation;
}

}  // namespace

std::string listedFileName(const FileEntry& file) {
  std::string name = displayText(file.displayName);
  if (file.earlier) name += kEarlierWorkMark;
  return name;
}

float computeThreshold(const ResultTable& results) {
  return thresholdOf(results.size(), [&](const auto& add) {
    for (const auto& [key, result] : results) add(result.score);
  });
}

float computeScoreThreshold(std::span<const float> scores) {
  return thresholdOf(scores.size(), [&](const auto& add) {
    for (const float score : scores) add(score);
  });
}

std::vector<ListedResult> listResults(const ResultTable& results, float threshold, bool showAll) {
  return listResults(results, threshold, showAll, results.size());
}

std::vector<ListedResult> listResults(const ResultTable& results, float threshold, bool showAll,
                                      std::size_t scanResults) {
  std::vector<ListedResult> listed;
  const bool smallScan = scanResults < 4;
  for (const auto& [key, result] : results) {
    if (passesListingRules(result, threshold, showAll, smallScan)) {
      listed.push_back(ListedResult{resultLineText(result), key, &result});
    }
    if (listed.size() >= static_cast<std::size_t>(kMaxListedResults)) break;
  }
  return listed;
}

bool passesListingRules(const PairResult& result, float threshold, bool showAll, bool smallScan) {
  // Widened so that no pair of offsets can overflow the difference.
  const std::int64_t spanB = std::int64_t{result.endB} - std::int64_t{result.startB};
  // A threshold that is not a number fails the comparison for every score.
  return showAll || threshold < result.score || (smallScan && spanB > 15);
}

std::string resultLineText(const PairResult& result) {
  // Independent of the process's locale: always a dot before the two decimals,
  // rounded as "%.2f" rounds the score widened to double.
  std::array<char, 64> score{};
  const auto [end, error] =
      std::to_chars(score.data(), score.data() + score.size(), static_cast<double>(result.score),
                    std::chars_format::fixed, 2);
  std::string line = fileNameOf(result.groupA);
  line += " & ";
  line += fileNameOf(result.groupB);
  line += " (";
  if (error == std::errc()) line.append(score.data(), end);
  line += ')';
  return line;
}

}  // namespace orvalis
