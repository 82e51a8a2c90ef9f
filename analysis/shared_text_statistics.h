// Statistics of chance matches that hold when many files share text: a
// header, starter code, one source copied by most of a class. Such text makes
// most comparisons score high, and a fit to all scores then takes it for chance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "analysis/significance.h"
#include "engine/records.h"

namespace orvalis {

// Passages that more than this part of a scan's files share are set aside for
// the statistics, and only for them: the listing still shows them.
inline constexpr double kWidelySharedPart = 0.2;
// ... and in at least this many more files than kWidelySharedPart gives, so
// that a small folder keeps what three files share.
inline constexpr std::int32_t kWidelySharedFewest = 3;
// At most this many comparisons, drawn by their numbers, are scored again
// for the fit.
inline constexpr std::size_t kRescoredSamples = 6000;

// The range of λ that fits of chance matches gave with the default settings,
// with room to spare: 2.06 to 2.58 on generated English texts, 0.39 and 0.54
// on C++ sources and headers, whose tokens repeat far more. Fits that
// collapsed on shared text gave 0.04 to 0.08, or above 9 when the shared text
// came in pieces. A fit outside the range is taken for a failure and the fixed
// values are used instead.
inline constexpr double kLowestPlausibleLambda = 0.25;
inline constexpr double kHighestPlausibleLambda = 6.0;

// The model of a scan's results. The plain fit of significanceOf when no
// passage is widely shared; otherwise a fit to comparisons scored again
// without the widely shared passages (and without what the scan set aside
// already): the comparisons drawn by a hash of their numbers, the same for any
// thread count, and aligned on `threads` threads. A fit whose λ lies outside
// the plausible range falls back to the fixed values. The model's note says
// which statistics were used and why, when they are not the plain fit.
SignificanceModel significanceOfScan(const CompareEngine& engine, int threads = 1);

// One comparison as the statistics see it.
struct ScoredComparison {
  std::int32_t key = 0;
  float score = 0.0f;
  const WordGroup* groupA = nullptr;
  const WordGroup* groupB = nullptr;
};
// Hands every comparison of a scan, in key order, to its argument.
using ScoredComparisons = std::function<void(const std::function<void(const ScoredComparison&)>&)>;

// The same for a scan whose results are kept apart from the engine: `count`
// comparisons, given by `comparisons`, of the files of `engine`.
SignificanceModel significanceOfScan(const CompareEngine& engine,
                                     const ScoredComparisons& comparisons, std::size_t count,
                                     int threads = 1);

// The same on already fitted values: `model` as it is when its λ is plausible,
// else the fixed values with a note that says why.
SignificanceModel plausibleModel(SignificanceModel model);

}  // namespace orvalis
