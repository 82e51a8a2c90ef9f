#include "ui/results/results_texts.h"

#include "analysis/significance.h"
#include "engine/encoding.h"

namespace orvalis {

std::string fileMessage(const char* message, const std::filesystem::path& path) {
  return std::string(message) + '\n' + displayText(path);
}

ListingRule windowListingRule(bool showAll, bool strongestFirst) {
  if (strongestFirst) return showAll ? ListingRule::kAllByEvalue : ListingRule::kEvalue;
  return showAll ? ListingRule::kAll : ListingRule::kThreshold;
}

std::string cappedListLine(const ListingCount& count, ListingRule rule) {
  if (!count.capped()) return {};
  std::string line = cappedListingText(count, rule, kStrongestMaxEvalue) + ". ";
  switch (rule) {
    case ListingRule::kThreshold:
    case ListingRule::kAll:
      return line +
             "Tick \"Strongest first\" to list the strongest first; orvalis-scan --all --json "
             "lists every result.";
    case ListingRule::kEvalue:
      return line +
             "orvalis-scan --max-evalue 0.01 --pairs lists every pair of files of them, --json "
             "every result.";
    case ListingRule::kAllByEvalue:
      break;
  }
  return line + "orvalis-scan --all --max-evalue 0.01 --json lists every result.";
}

std::string reportSavedText(const std::filesystem::path& path) {
  return "Report saved to " + displayText(path) + ".";
}

std::string reportNotWrittenMessage(const std::filesystem::path& path, const std::string& reason) {
  return "The report could not be written to " + displayText(path) + ": " + reason;
}

}  // namespace orvalis
