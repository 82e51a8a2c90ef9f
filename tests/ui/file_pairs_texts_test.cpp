#include "ui/results/file_pairs_texts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvalis {
namespace {

TEST(FilePairsTexts, CellsSayNothingForNoGroupOrNoEvalue) {
  FileEntry a, b;
  a.displayName = "anna.txt";
  b.displayName = "bert.txt";
  FilePairStats pair;
  pair.fileA = &a;
  pair.fileB = &b;
  pair.wordsA = 200;
  pair.sharedA = 68;
  pair.wordsB = 50;
  pair.sharedB = 6;
  pair.longestMatch = 41;
  pair.matches = {4, 2};
  const struct {
    PairsColumn column;
    const char* text;
  } rows[] = {{PairsColumn::kFileA, "anna.txt"}, {PairsColumn::kFileB, "bert.txt"},
              {PairsColumn::kShareA, "34 %"},    {PairsColumn::kShareB, "12 %"},
              {PairsColumn::kLongest, "41"},     {PairsColumn::kEvalue, ""},
              {PairsColumn::kMatches, "2"},      {PairsColumn::kGroup, ""}};
  for (const auto& row : rows) {
    EXPECT_EQ(pairCellText(pair, row.column), row.text) << static_cast<int>(row.column);
  }
  EXPECT_EQ(pairFiguresText(pair),
            "34 % of anna.txt, 12 % of bert.txt. Longest match: 41 words. Best E-value: none. "
            "Matches: 2.");
  pair.group = 3;
  pair.bestEvalue = 1.5e-7;
  EXPECT_EQ(pairCellText(pair, PairsColumn::kGroup), "3");
  EXPECT_EQ(pairCellText(pair, PairsColumn::kEvalue), "1.50e-07");
  EXPECT_EQ(shareDetailText(pair, false), "6 of 50 words of bert.txt");
}

TEST(FilePairsTexts, MatchesGoRoundAtEitherEnd) {
  const struct {
    std::size_t current, count;
    bool forward;
    std::size_t next;
  } rows[] = {{0, 3, true, 1}, {2, 3, true, 0},  {0, 3, false, 2}, {1, 3, false, 0},
              {0, 1, true, 0}, {0, 1, false, 0}, {0, 0, true, 0},  {0, 0, false, 0}};
  for (const auto& row : rows) {
    EXPECT_EQ(stepMatch(row.current, row.count, row.forward), row.next)
        << row.current << ' ' << row.count << ' ' << row.forward;
  }
  EXPECT_EQ(matchCounterText(1, 3), "Match 2 of 3");
  EXPECT_EQ(matchCounterText(0, 0), "No matches");
}

}  // namespace
}  // namespace orvalis
