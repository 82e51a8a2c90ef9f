#include "ui/results/file_pairs_texts.h"

#include <cmath>

#include "analysis/result_listing.h"
#include "engine/encoding.h"

namespace orvalis {
namespace {

std::string words(std::int64_t count) {
  return std::to_string(count) + (count == 1 ? " word" : " words");
}

}  // namespace

std::string pairsColumnTitle(PairsColumn column) {
  switch (column) {
    case PairsColumn::kFileA:
      return "File A";
    case PairsColumn::kFileB:
      return "File B";
    case PairsColumn::kShareA:
      return "Share of A";
    case PairsColumn::kShareB:
      return "Share of B";
    case PairsColumn::kLongest:
      return "Longest Match";
    case PairsColumn::kEvalue:
      return "Best E-value";
    case PairsColumn::kMatches:
      return "Matches";
    case PairsColumn::kGroup:
      return "Group";
  }
  return {};
}

PairColumn orderOf(PairsColumn column) {
  switch (column) {
    case PairsColumn::kFileA:
      return PairColumn::kFileA;
    case PairsColumn::kFileB:
      return PairColumn::kFileB;
    case PairsColumn::kShareA:
      return PairColumn::kShareA;
    case PairsColumn::kShareB:
      return PairColumn::kShareB;
    case PairsColumn::kLongest:
      return PairColumn::kLongest;
    case PairsColumn::kEvalue:
      return PairColumn::kEvalue;
    case PairsColumn::kMatches:
      return PairColumn::kMatches;
    case PairsColumn::kGroup:
      return PairColumn::kGroup;
  }
  return PairColumn::kShare;
}

bool isNumberColumn(PairsColumn column) {
  return column != PairsColumn::kFileA && column != PairsColumn::kFileB;
}

std::string pairCellText(const FilePairStats& pair, PairsColumn column) {
  switch (column) {
    case PairsColumn::kFileA:
      return listedFileName(*pair.fileA);
    case PairsColumn::kFileB:
      return listedFileName(*pair.fileB);
    case PairsColumn::kShareA:
      return shareText(pair.sharedA, pair.wordsA);
    case PairsColumn::kShareB:
      return shareText(pair.sharedB, pair.wordsB);
    case PairsColumn::kLongest:
      return std::to_string(pair.longestMatch);
    case PairsColumn::kEvalue:
      return std::isnan(pair.bestEvalue) ? std::string() : evalueText(pair.bestEvalue);
    case PairsColumn::kMatches:
      return std::to_string(pair.matches.size());
    case PairsColumn::kGroup:
      return pair.group > 0 ? std::to_string(pair.group) : std::string();
  }
  return {};
}

std::string shareDetailText(const FilePairStats& pair, bool first) {
  const std::int64_t shared = first ? pair.sharedA : pair.sharedB;
  const std::int64_t total = first ? pair.wordsA : pair.wordsB;
  return std::to_string(shared) + " of " + words(total) + " of " +
         listedFileName(*(first ? pair.fileA : pair.fileB));
}

std::string pairsSummaryText(const FilePairTable& table) {
  std::size_t linked = 0;
  std::size_t compared = 0;
  for (const FilePairStats& pair : table.pairs) {
    linked += pair.matches.empty() ? 0 : 1;
    compared += pair.compared() ? 1 : 0;
  }
  return std::to_string(linked) + " of " + std::to_string(compared) +
         (compared == 1 ? " pair has" : " pairs have") + " a significant match (E-value at most " +
         cutText(table.maxEvalue) + "); " + std::to_string(table.groups.size()) +
         (table.groups.size() == 1 ? " group." : " groups.");
}

std::string groupCaption(const FilePairTable& table, int group) {
  if (group < 1 || static_cast<std::size_t>(group) > table.groups.size()) return {};
  const FileGroup& members = table.groups[static_cast<std::size_t>(group - 1)];
  std::string text = "Group " + std::to_string(group) + ": ";
  for (std::size_t m = 0; m < members.members.size(); ++m) {
    if (m > 0) text += ", ";
    text += listedFileName(*table.files[table.position.at(members.members[m])]);
  }
  return text + " (" + std::to_string(members.pairs.size()) +
         (members.pairs.size() == 1 ? " pair)" : " pairs)");
}

std::string matchCounterText(std::size_t current, std::size_t count) {
  if (count == 0) return "No matches";
  return "Match " + std::to_string(current + 1) + " of " + std::to_string(count);
}

std::string pairFiguresText(const FilePairStats& pair) {
  std::string text =
      pairSharesText(pair) + ". Longest match: " + words(pair.longestMatch) + ". Best E-value: " +
      (std::isnan(pair.bestEvalue) ? std::string("none") : evalueText(pair.bestEvalue)) +
      ". Matches: " + std::to_string(pair.matches.size()) + ".";
  if (pair.group > 0) text += " Group " + std::to_string(pair.group) + ".";
  return text;
}

std::size_t stepMatch(std::size_t current, std::size_t count, bool forward) {
  if (count == 0) return 0;
  if (forward) return (current + 1) % count;
  return current == 0 ? count - 1 : (current - 1) % count;
}

}  // namespace orvalis
