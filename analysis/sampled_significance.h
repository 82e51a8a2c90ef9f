// The statistics of chance matches for a scan that computes only some of its
// comparisons: fitted to a random sample of all comparisons, computed in full,
// so that they are what fitting every comparison would give, and never to the
// comparisons chosen for their strength.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "analysis/result_listing.h"
#include "analysis/significance.h"

namespace orvalis {

// Comparisons a sample takes: enough to fit the law closely, few enough to
// cost little beside the chosen comparisons.
inline constexpr std::int64_t kSignificanceSample = 5000;

// `count` distinct comparison numbers of [0, total) (all of them when total is
// not larger), ascending, drawn by a fixed generator: the same numbers for the
// same arguments, on every platform.
std::vector<std::int32_t> sampleComparisons(std::int64_t total, std::int64_t count);

// The model fitted to the results numbered `sampled` alone, with E-values
// counting all `comparisons` of the scan. When the sample is every comparison,
// this is exactly the model of a scan that computed them all.
SignificanceModel sampledSignificance(const ResultTable& results,
                                      std::span<const std::int32_t> sampled,
                                      std::int64_t comparisons);

}  // namespace orvalis
