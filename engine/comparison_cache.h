// Where a scan finds the results of file pairs compared before: kept by the
// contents of both files and everything else the results depend on, so that a
// rescan compares only the pairs in which a file is new or has changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/records.h"
#include "engine/sha256.h"

namespace orvalis {

// Changes whenever the words or the groups a text gives could change (the
// splitting, the grouping, text mode), so that older stored results are no
// longer found.
inline constexpr std::uint32_t kWordSplittingVersion = 1;

// Everything the results of one file pair depend on. The first file is the
// pair's file with the higher index, as in PairResult.
struct ComparisonKey {
  Sha256Digest first{};   // of the first file's bytes as read
  Sha256Digest second{};  // of the second file's bytes as read
  float mismatchScore = 0.0f;
  float gapScore = 0.0f;
  std::int32_t groupSize = 0;  // as used: 2 or more
  std::uint32_t splitting = kWordSplittingVersion;

  bool operator==(const ComparisonKey&) const = default;
};

// A store of file pair results. The scan's worker thread alone calls it, from
// the start of its comparisons to scanEnded. Failing to find or keep a result
// costs only time: a scan is correct with any answer but a wrong one.
class ComparisonCache {
 public:
  virtual ~ComparisonCache() = default;
  // The results of the pair, one per comparison in comparison order, when
  // exactly `count` are stored; their group pointers are left null. Otherwise
  // false, and `results` is left empty.
  virtual bool find(const ComparisonKey& key, std::size_t count,
                    std::vector<PairResult>& results) = 0;
  // Keeps the results of every comparison of one pair, in comparison order.
  virtual void store(const ComparisonKey& key, const std::vector<PairResult>& results) = 0;
  // After the scan's last comparison, or when it stops early.
  virtual void scanEnded() {}
};

}  // namespace orvalis
