#include "analysis/file_pairs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace orvalis {
namespace {

// E = m·n·e^(−score): with groups of 10 words a score of 10 gives 0.0045, a
// significant match, and a score of 2 gives 13.5, chance.
const SignificanceModel kModel{1.0, 1.0, 1, 1};
constexpr float kStrong = 10.0f;
constexpr float kWeak = 2.0f;

// Files of one-byte words "x x x ...": word i stands at bytes [2i, 2i + 1).
struct Scan {
  FileTable files;
  ResultMap results;

  // A file of `words` words cut into groups of 10.
  void file(std::int32_t index, int words) {
    auto entry = std::make_unique<FileEntry>();
    entry->index = index;
    entry->displayName = entry->path =
        std::string("f").append(std::to_string(index)).append(".txt");
    for (int first = 0, key = 0; first < words; first += 10, ++key) {
      auto group = std::make_unique<WordGroup>();
      group->file = entry.get();
      group->startOffset = 2 * first;
      for (int w = first; w < std::min(words, first + 10); ++w) {
        group->words.push_back({"x", 2 * (w - first) + 1});
      }
      entry->groups.emplace(key, std::move(group));
    }
    files.emplace(index, std::move(entry));
  }
  const WordGroup* group(std::int32_t file, std::int32_t key) const {
    return files.at(file)->groups.at(key).get();
  }
  void result(std::int32_t fileA, std::int32_t groupA, std::int32_t fileB, std::int32_t groupB,
              std::int32_t startA, std::int32_t endA, std::int32_t startB, std::int32_t endB,
              float score) {
    results[static_cast<std::int32_t>(results.size())] = {
        group(fileA, groupA), group(fileB, groupB), startA, endA, startB, endB, score, {}, {}};
  }
  FilePairTable table(const SetAsideWords* setAside = nullptr) const {
    return buildFilePairs(filesOf(files), results, kModel, kPairMaxEvalue, setAside);
  }
};

struct Match {
  std::int32_t groupB;  // of file 0; file 1 has one group
  std::int32_t startA, endA, startB, endB;
  float score;
  bool swapped = false;  // file 0 as the result's first
};

TEST(FilePairs, SharesCountEachWordOfTheSignificantMatchesOnce) {
  // File 1: 10 words, bytes 0 to 19. File 0: 20 words in two groups, bytes 0 to 39.
  struct Row {
    const char* what;
    std::vector<Match> matches;
    std::int64_t sharedA, sharedB, longest;
    std::size_t count;
  };
  const Row rows[] = {
      {"chance only", {{0, 0, 19, 0, 19, kWeak}}, 0, 0, 0, 0},
      {"words 2-4 and 0-2", {{0, 4, 9, 0, 5, kStrong}}, 3, 3, 3, 1},
      {"blanks only", {{0, 3, 4, 5, 6, kStrong}}, 0, 0, 0, 1},
      {"overlap in A", {{0, 0, 9, 0, 9, kStrong}, {1, 6, 13, 20, 27, kStrong}}, 7, 9, 5, 2},
      {"all of A twice", {{0, 0, 19, 0, 19, kStrong}, {1, 0, 19, 20, 39, kStrong}}, 10, 20, 10, 2},
      {"touching", {{0, 0, 3, 0, 3, kStrong}, {0, 4, 7, 4, 7, kStrong}}, 4, 4, 2, 2},
      {"one of two", {{0, 0, 3, 0, 3, kStrong}, {1, 4, 19, 20, 39, kWeak}}, 2, 2, 2, 1},
      {"empty stretch", {{0, 6, 6, 8, 8, kStrong}}, 0, 0, 0, 1},
      // File 0 as the result's first: its words 0-4 and words 2-4 of file 1.
      {"the other way round", {{0, 0, 9, 4, 9, kStrong, true}}, 3, 5, 5, 1},
  };

  for (const Row& row : rows) {
    Scan scan;
    scan.file(0, 20);
    scan.file(1, 10);
    for (const Match& m : row.matches) {
      if (m.swapped) {
        scan.result(0, m.groupB, 1, 0, m.startA, m.endA, m.startB, m.endB, m.score);
      } else {
        scan.result(1, 0, 0, m.groupB, m.startA, m.endA, m.startB, m.endB, m.score);
      }
    }
    const FilePairTable table = scan.table();
    ASSERT_EQ(table.pairs.size(), 1u) << row.what;
    const FilePairStats& pair = table.pairs[0];
    EXPECT_EQ(std::tuple(pair.sharedA, pair.sharedB, pair.longestMatch, pair.matches.size(),
                         pair.shareA(), pair.shareB(), pair.group),
              std::tuple(row.sharedA, row.sharedB, row.longest, row.count,
                         static_cast<double>(row.sharedA) / 10,
                         static_cast<double>(row.sharedB) / 20, row.count > 0 ? 1 : 0))
        << row.what;
  }
}

TEST(FilePairs, FilesOfNoWordsHaveNoShareAndNoEvalue) {
  Scan scan;
  scan.file(0, 10);
  scan.file(1, 10);
  scan.file(2, 0);
  scan.result(1, 0, 0, 0, 0, 19, 0, 19, kStrong);
  const FilePairTable table = scan.table();
  ASSERT_EQ(table.pairs.size(), 3u);  // (1, 0), (2, 0), (2, 1)
  for (const std::size_t at : {1u, 2u}) {
    const FilePairStats& pair = table.pairs[at];
    EXPECT_EQ(
        std::tuple(pair.shareA(), std::isnan(pair.bestEvalue), pair.bestComparison, pair.group),
        std::tuple(0.0, true, -1, 0));
  }
  EXPECT_EQ(pairSharesText(table.pairs[0]), "100 % of f1.txt, 100 % of f0.txt");
  EXPECT_EQ(filesOf(scan.results).size(), 2u);  // the file of no words has no result
  EXPECT_EQ(table.find(2, 1), std::optional<std::size_t>(2));
}

TEST(FilePairs, WordsSetAsideCountAsNotSharedButStayAmongTheFilesWords) {
  Scan scan;
  scan.file(0, 20);
  scan.file(1, 10);
  scan.result(1, 0, 0, 0, 0, 9, 0, 9, kStrong);     // words 0-4 of each
  scan.result(1, 0, 0, 1, 6, 13, 20, 27, kStrong);  // words 3-6 of file 1
  const SetAsideWords setAside{{1, {false, false, false, true, false, false, true}},
                               {0, std::vector<bool>(30, true)}};  // more flags than words
  const FilePairStats pair = scan.table(&setAside).pairs[0];
  EXPECT_EQ(pair.wordsA, 10);
  EXPECT_EQ(pair.sharedA, 5);  // words 0-6 less 3 and 6
  EXPECT_EQ(pair.sharedB, 0);
}

// The groups of a scan of `files` files of 10 words whose linked pairs are
// `links` ("10 21": files 1 and 0, 2 and 1), as "members:pairs" largest first
// ("012:3 23:1"); each linked pair must be in its group.
std::string groupsOf(int files, const std::string& links) {
  Scan scan;
  for (int f = 0; f < files; ++f) scan.file(f, 10);
  for (std::size_t i = 0; i + 1 < links.size(); i += 3) {
    scan.result(links[i] - '0', 0, links[i + 1] - '0', 0, 0, 5, 0, 5, kStrong);
  }
  const FilePairTable table = scan.table();
  std::string text;
  std::size_t grouped = 0;
  for (std::size_t g = 0; g < table.groups.size(); ++g) {
    text += g > 0 ? " " : "";
    for (const std::int32_t member : table.groups[g].members) text += std::to_string(member);
    text.append(":").append(std::to_string(table.groups[g].pairs.size()));
    for (const std::size_t at : table.groups[g].pairs) {
      grouped += table.pairs[at].group == static_cast<int>(g + 1) ? 1 : 0;
    }
  }
  return grouped == (links.size() + 1) / 3 ? text : "pairs not in their groups";
}

TEST(FileGroups, TrianglesJoinLinksAndOneCommonFileDoesNotChain) {
  const struct {
    const char* what;
    int files;
    const char* links;
    const char* groups;
  } rows[] = {
      {"nothing linked", 3, "", ""},
      {"one pair", 3, "10", "01:1"},
      {"a triangle and a link from one corner", 4, "10 20 21 32", "012:3 23:1"},
      {"a file shared by three others, not among themselves", 4, "10 20 30", "01:1 02:1 03:1"},
      {"a chain", 4, "10 21 32", "01:1 12:1 23:1"},
      {"two triangles with one file in common", 5, "10 20 21 32 42 43", "012:3 234:3"},
      {"two triangles with a link in common", 4, "10 20 21 31 32", "0123:5"},
      {"four files all linked, and a lone pair", 6, "10 20 30 21 31 32 54", "0123:6 45:1"},
  };
  for (const auto& row : rows) EXPECT_EQ(groupsOf(row.files, row.links), row.groups) << row.what;
}

TEST(FileGroups, ThreeFilesLinkedByThreeDifferentTextsAreNoTriangle) {
  // Each pair shares words at its own place: 0 and 1 at words 0-2 of both, 0
  // and 2 at words 5-7, 1 and 2 at words 5-7 of 1 and 0-2 of 2.
  Scan scan;
  for (int f = 0; f < 3; ++f) scan.file(f, 10);
  scan.result(1, 0, 0, 0, 0, 5, 0, 5, kStrong);
  scan.result(2, 0, 0, 0, 10, 15, 10, 15, kStrong);
  scan.result(2, 0, 1, 0, 0, 5, 10, 15, kStrong);
  EXPECT_EQ(scan.table().groups.size(), 3u);
  // The same text in all three files: one group.
  scan.results.at(1) = {scan.group(2, 0), scan.group(0, 0), 0, 5, 0, 5, kStrong, {}, {}};
  scan.results.at(2) = {scan.group(2, 0), scan.group(1, 0), 0, 5, 0, 5, kStrong, {}, {}};
  EXPECT_EQ(scan.table().groups.size(), 1u);
}

TEST(FilePairs, OrderByAnyColumnPutsPairsWithoutAValueLast) {
  Scan scan;
  scan.file(0, 10);  // names f0.txt, f1.txt, ...
  scan.file(1, 20);
  scan.file(2, 10);
  scan.file(3, 0);
  scan.result(1, 0, 0, 0, 0, 9, 0, 9, kStrong);      // (1,0): 5/20 and 5/10
  scan.result(2, 0, 0, 0, 0, 3, 0, 3, kStrong + 1);  // (2,0): 2/10 and 2/10, stronger
  scan.result(2, 0, 1, 0, 0, 1, 0, 1, kWeak);        // (2,1): chance
  const FilePairTable table = scan.table();
  std::vector<std::size_t> all(table.pairs.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  // Positions: 0 (1,0), 1 (2,0), 2 (2,1), 3 (3,0), 4 (3,1), 5 (3,2).
  struct Row {
    PairColumn column;
    bool descending;
    std::vector<std::size_t> order;
  };
  const Row rows[] = {
      {PairColumn::kShare, true, {0, 1, 2, 3, 4, 5}},
      {PairColumn::kShare, false, {2, 3, 4, 5, 1, 0}},
      {PairColumn::kShareB, true, {0, 1, 2, 3, 4, 5}},
      {PairColumn::kEvalue, false, {1, 0, 2, 3, 4, 5}},
      {PairColumn::kEvalue, true, {2, 0, 1, 3, 4, 5}},
      {PairColumn::kLongest, false, {2, 3, 4, 5, 1, 0}},
      {PairColumn::kFileA, false, {0, 1, 2, 3, 4, 5}},
      {PairColumn::kFileB, false, {0, 1, 3, 2, 4, 5}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(orderPairs(table, all, row.column, row.descending), row.order)
        << static_cast<int>(row.column) << ' ' << row.descending;
  }
  EXPECT_EQ(orderPairs(table, {5, 0}, PairColumn::kShare, true), (std::vector<std::size_t>{0, 5}));
}

TEST(FilePairs, ShareTextIsAWholePercentThatNeverHidesAShareOrOverstatesIt) {
  const std::tuple<std::int64_t, std::int64_t, const char*> rows[] = {
      {0, 10, "0 %"},       {3, 0, "0 %"},        {1, 1000, "<1 %"}, {5, 1000, "1 %"},
      {1, 3, "33 %"},       {2, 3, "67 %"},       {34, 100, "34 %"}, {994, 1000, "99 %"},
      {995, 1000, ">99 %"}, {999, 1000, ">99 %"}, {10, 10, "100 %"},
  };
  for (const auto& [shared, words, text] : rows) {
    EXPECT_EQ(shareText(shared, words), text) << shared << '/' << words;
  }
  EXPECT_EQ(cutText(0.01), "0.01");
  EXPECT_EQ(cutText(1e-5), "1e-05");
}

}  // namespace
}  // namespace orvalis
