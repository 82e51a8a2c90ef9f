// Whether the lines of a run leave listed results out, and the note on standard
// error that says so and how to see the others.
#pragma once

#include <string>
#include <vector>

#include "analysis/listing_cap.h"
#include "cli/options.h"

namespace orvalis::cli {

// How many results the run's listing takes, and how many of them its lines
// show: the listing by threshold is capped at kMaxListedResults itself; the
// one by E-value is capped only where it is printed one line per result.
// `listed` is the run's listing, threshold the one it was made with.
ListingCount runListingCount(const ScanOptions& options, const ResultTable& results,
                             float threshold, const std::vector<ListedResult>& listed);

// The listing rule of a run, for the words of the note.
ListingRule runListingRule(const ScanOptions& options);

// "note: 200 of 701 results above the threshold shown, in scan order; ...",
// with the options that show the others; empty when nothing is left out.
std::string cappedListingNote(const ScanOptions& options, const ListingCount& count);

}  // namespace orvalis::cli
