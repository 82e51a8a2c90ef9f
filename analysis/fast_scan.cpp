#include "analysis/fast_scan.h"

#include <algorithm>

#include "analysis/sampled_significance.h"
#include "engine/memory.h"
#include "engine/scan.h"
#include "engine/seed_index.h"

namespace orvalis {

void chooseFastComparisons(CompareEngine& engine, FastScan& fast) {
  engine.comparisonChooser = [&fast](const CompareEngine& scan, const MemoryBudget& budget) {
    ChosenComparisons chosen;
    std::uint64_t words = 0;
    std::uint64_t groups = 0;
    for (const auto& [index, entry] : scan.fileTable) {
      groups += entry->groups.size();
      for (const auto& [number, group] : entry->groups) words += group->words.size();
    }
    // Checked before the index is built, like the comparisons themselves.
    const std::uint64_t needed = seedIndexMemory(words, groups, scan.comparisonThreads);
    if (!budget.fits(needed)) {
      chosen.refusal = std::string(kNotEnoughMemoryMessage)
                           .append(" the seed index needs ")
                           .append(budget.shortfallText(needed))
                           .append(".");
      return chosen;
    }
    chosen.pairs = seededGroupPairs(scan, scan.comparisonThreads);
    // Only the pairs that the scan compares count among those kept.
    std::erase_if(chosen.pairs, [&](const GroupPairIndex& place) {
      return !scan.comparesPair(*scan.fileTable.at(place.fileA), *scan.fileTable.at(place.fileB));
    });
    fast.seeded = static_cast<std::int64_t>(chosen.pairs.size());
    fast.sample = sampleComparisons(scan.comparisonsTotal, kSignificanceSample);
    const std::vector<GroupPairIndex> sampled = comparisonPlaces(scan, fast.sample);
    chosen.pairs.insert(chosen.pairs.end(), sampled.begin(), sampled.end());
    std::sort(chosen.pairs.begin(), chosen.pairs.end());
    chosen.pairs.erase(std::unique(chosen.pairs.begin(), chosen.pairs.end()), chosen.pairs.end());
    fast.chosen = static_cast<std::int64_t>(chosen.pairs.size());
    return chosen;
  };
}

SignificanceModel fastScanSignificance(const CompareEngine& engine, const FastScan& fast) {
  return sampledSignificance(engine.pairResults, fast.sample, engine.comparisonsTotal);
}

std::string fastScanNote(const CompareEngine& engine, const FastScan& fast) {
  return "fast scan: aligned " + std::to_string(fast.chosen) + " of " +
         std::to_string(engine.comparisonsTotal) + " comparisons (" + std::to_string(fast.seeded) +
         " kept by seeds, " + std::to_string(fast.chosen - fast.seeded) +
         " more sampled for the statistics)";
}

}  // namespace orvalis
