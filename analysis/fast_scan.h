// The fast scan: only the group pairs that the seed index
// keeps are aligned, with a random sample of all comparisons beside them for
// the statistics of the E-values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/significance.h"
#include "engine/records.h"

namespace orvalis {

// What the chooser of a fast scan chose; filled in while the scan runs.
struct FastScan {
  std::vector<std::int32_t> sample;  // comparison numbers, ascending
  std::int64_t seeded = 0;           // comparisons that the seeds kept
  std::int64_t chosen = 0;           // kept or sampled
};

// Sets `engine` to compute only the comparisons of a fast scan, recorded in
// `fast`, which must outlive the scan.
void chooseFastComparisons(CompareEngine& engine, FastScan& fast);

// The statistics of a finished fast scan, fitted to its sample.
SignificanceModel fastScanSignificance(const CompareEngine& engine, const FastScan& fast);

// "fast scan: aligned 1234 of 567890 comparisons (1000 kept by seeds, 234 more
// sampled for the statistics)"
std::string fastScanNote(const CompareEngine& engine, const FastScan& fast);

}  // namespace orvalis
