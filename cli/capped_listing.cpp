#include "cli/capped_listing.h"

#include "analysis/significance.h"

namespace orvalis::cli {

ListingCount runListingCount(const ScanOptions& options, const ResultTable& results,
                             float threshold, const std::vector<ListedResult>& listed) {
  if (!options.maxEvalue) {
    return {listed.size(), countListable(results, threshold, options.showAll)};
  }
  // The JSON document and the pair lines take the whole listing by E-value.
  if (options.json || options.pairs) return {listed.size(), listed.size()};
  return cappedCount(listed.size());
}

ListingRule runListingRule(const ScanOptions& options) {
  if (options.maxEvalue) return options.showAll ? ListingRule::kAllByEvalue : ListingRule::kEvalue;
  return options.showAll ? ListingRule::kAll : ListingRule::kThreshold;
}

std::string cappedListingNote(const ScanOptions& options, const ListingCount& count) {
  if (!count.capped()) return {};
  const ListingRule rule = runListingRule(options);
  std::string note = "note: " + cappedListingText(count, rule, options.maxEvalue.value_or(0.0));
  switch (rule) {
    case ListingRule::kThreshold:
      return note + "; --max-evalue 0.01 lists the strongest first, --json --all every result";
    case ListingRule::kEvalue:
      return note + "; --pairs gives one line for each pair of files, --json every result";
    case ListingRule::kAll:
    case ListingRule::kAllByEvalue:
      break;
  }
  return note + "; --json gives every result";
}

}  // namespace orvalis::cli
