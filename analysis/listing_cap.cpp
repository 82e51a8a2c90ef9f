#include "analysis/listing_cap.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <system_error>

namespace orvalis {

std::size_t countListable(const ResultTable& results, float threshold, bool showAll) {
  const bool smallScan = results.size() < 4;
  return static_cast<std::size_t>(
      std::count_if(results.begin(), results.end(), [&](const auto& entry) {
        return passesListingRules(entry.second, threshold, showAll, smallScan);
      }));
}

ListingCount cappedCount(std::size_t total) {
  return {std::min(total, static_cast<std::size_t>(kMaxListedResults)), total};
}

std::string cappedListingText(const ListingCount& count, ListingRule rule, double maxEvalue) {
  std::string text = std::to_string(count.shown) + " of " + std::to_string(count.total);
  switch (rule) {
    case ListingRule::kThreshold:
      return text + " results above the threshold shown, in scan order";
    case ListingRule::kAll:
      return text + " results shown, in scan order";
    case ListingRule::kEvalue: {
      std::array<char, 64> bound{};
      const auto [end, error] = std::to_chars(bound.data(), bound.data() + bound.size(), maxEvalue);
      text += " results of E-value ";
      if (error == std::errc()) text.append(bound.data(), end);
      return text + " or less shown, strongest first";
    }
    case ListingRule::kAllByEvalue:
      return text + " results shown, strongest first";
  }
  return text + " results shown";
}

}  // namespace orvalis
