// What a listing capped at kMaxListedResults lines leaves out: the number of
// results the listing rules take before the cap, and the words that say so.
// Shared by orvalis-scan and the results window, which each add what to do to
// see the others.
#pragma once

#include <cstddef>
#include <string>

#include "analysis/result_listing.h"

namespace orvalis {

// How a listing chose its results, for the words that describe them.
enum class ListingRule {
  kThreshold,    // scoring above the threshold (or by the small-scan rule), in scan order
  kAll,          // every result, in scan order
  kEvalue,       // E-value at most a bound, strongest first
  kAllByEvalue,  // every result, strongest first
};

struct ListingCount {
  std::size_t shown = 0;  // lines listed
  std::size_t total = 0;  // results the rule takes, before the cap

  bool capped() const { return total > shown; }
};

// The number of results that listResults takes for the same arguments without
// its cap of kMaxListedResults.
std::size_t countListable(const ResultTable& results, float threshold, bool showAll);

// A listing of `total` results shown as at most kMaxListedResults lines.
ListingCount cappedCount(std::size_t total);

// "200 of 701 results above the threshold shown, in scan order": what a capped
// listing shows, without a closing full stop. maxEvalue is used by kEvalue
// only, in its shortest form ("0.01").
std::string cappedListingText(const ListingCount& count, ListingRule rule, double maxEvalue);

}  // namespace orvalis
