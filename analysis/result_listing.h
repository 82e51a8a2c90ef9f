// Which results the results window lists, and how: the score threshold, the
// listing rules and the text of a line. Shared by the results dialog and
// orvalis-scan.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "engine/records.h"

namespace orvalis {

inline constexpr int kMaxListedResults = 200;
inline constexpr const char* kNoSuspiciousFilesLine = "No suspicious files found.";
// Follows the name of a file of earlier work in a result's line.
inline constexpr const char* kEarlierWorkMark = " [old]";

// A file's name as tables and pages show it, followed by kEarlierWorkMark
// when the file is earlier work.
std::string listedFileName(const FileEntry& file);

// Mean plus one population standard deviation of all scores, each step rounded
// to single precision. Not a number when there are no results.
float computeThreshold(const ResultTable& results);
// The same for scores given in key order.
float computeScoreThreshold(std::span<const float> scores);

struct ListedResult {
  std::string text;                    // the line shown for the result
  std::int32_t comparison = 0;         // the result's key
  const PairResult* result = nullptr;  // points into the listed map
  // The result's E-value where the listing is by E-value; otherwise not a number.
  double evalue = std::numeric_limits<double>::quiet_NaN();
};

// The results to list, in key order, at most kMaxListedResults: every result
// when showAll is set; otherwise those scoring above the threshold and, in a scan
// of fewer than four results, those whose stretch in the second file spans more
// than 15 characters. When nothing is listed, callers show kNoSuspiciousFilesLine,
// which stands for no result.
std::vector<ListedResult> listResults(const ResultTable& results, float threshold, bool showAll);
// The same where `results` holds only part of a scan of `scanResults` results,
// among them every result the listing takes.
std::vector<ListedResult> listResults(const ResultTable& results, float threshold, bool showAll,
                                      std::size_t scanResults);

// Whether listResults takes `result`, before its cap; smallScan: the scan has
// fewer than four results.
bool passesListingRules(const PairResult& result, float threshold, bool showAll, bool smallScan);

// "first & second (score)", the score with two decimals: "a.c & b.c (7.50)";
// a file of earlier work is named with its mark: "a.c & b.c [old] (7.50)".
std::string resultLineText(const PairResult& result);

}  // namespace orvalis
