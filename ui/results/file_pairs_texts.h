// The texts of the File Pairs view and of a pair opened from it: column titles,
// cells, the summary line and the match counter. Plain logic, no widget.
#pragma once

#include <cstddef>
#include <string>

#include "analysis/file_pairs.h"

namespace orvalis {

inline constexpr const char* kFilePairsCaption = "File Pairs";
inline constexpr const char* kFilePairsEntry = "File Pairs...";
inline constexpr const char* kShowAllPairsCaption = "Show pairs without matches";
inline constexpr const char* kOpenPairCaption = "&Open Pair";
inline constexpr const char* kOpenGroupCaption = "Open &Group";
inline constexpr const char* kCloseCaption = "Close";
inline constexpr const char* kNextMatchCaption = "&Next Match";
inline constexpr const char* kPreviousMatchCaption = "&Previous Match";

// The columns of the table, in order.
enum class PairsColumn { kFileA, kFileB, kShareA, kShareB, kLongest, kEvalue, kMatches, kGroup };
inline constexpr int kPairsColumns = 8;

std::string pairsColumnTitle(PairsColumn column);
// What the pairs are ordered by when a column's header is chosen.
PairColumn orderOf(PairsColumn column);
// Whether a column holds numbers (shown flush right).
bool isNumberColumn(PairsColumn column);

// The text of a cell; an empty text for none (no group, no E-value).
std::string pairCellText(const FilePairStats& pair, PairsColumn column);

// "12 of 350 words of a.txt": what a share cell says in full.
std::string shareDetailText(const FilePairStats& pair, bool first);

// "23 of 190 pairs have a significant match (E-value at most 0.01); 4 groups."
std::string pairsSummaryText(const FilePairTable& table);

// "Group 2: a.txt, b.txt, c.txt (3 pairs)"
std::string groupCaption(const FilePairTable& table, int group);

// "Match 2 of 5", or "No matches" for a pair without one.
std::string matchCounterText(std::size_t current, std::size_t count);

// The pair's figures: "34 % of a.txt, 12 % of b.txt. Longest match: 120 words.
// Best E-value: 1.2e-30. Matches: 3. Group 2."
std::string pairFiguresText(const FilePairStats& pair);

// The match shown after `current` (from 0) among `count`, going round at either end.
std::size_t stepMatch(std::size_t current, std::size_t count, bool forward);

}  // namespace orvalis
