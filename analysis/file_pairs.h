// Every pair of files of a scan at a glance: how much of each file its
// significant matches cover, its longest match, best E-value and number of
// matches; and the groups of files that such pairs link. Shared by
// orvalis-scan, the HTML report and the desktop File Pairs view.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/result_listing.h"
#include "analysis/significance.h"
#include "engine/records.h"

namespace orvalis {

using FileTable = std::map<std::int32_t, std::unique_ptr<FileEntry>>;

// A result is a significant match of its pair when its E-value is at most this,
// unless a front end is given another cut.
inline constexpr double kPairMaxEvalue = 0.01;

// Words of a file set aside before counting (text that every file is expected to
// hold): one flag per word of the file, in text order, keyed by file index. A
// word set aside never counts as shared, but still counts among the file's words.
// Without such a map, the flags a scan set on each file (FileEntry::setAside).
using SetAsideWords = std::map<std::int32_t, std::vector<bool>>;

// One pair of files. fileA has the higher index, as in every result.
struct FilePairStats {
  const FileEntry* fileA = nullptr;
  const FileEntry* fileB = nullptr;
  std::int64_t wordsA = 0;  // the words of each file
  std::int64_t wordsB = 0;
  // Words of each file that lie in a significant match of the pair, each
  // counted once however many matches cover it.
  std::int64_t sharedA = 0;
  std::int64_t sharedB = 0;
  // Words of the longest significant match, on whichever side it has more.
  std::int64_t longestMatch = 0;
  // The smallest E-value of all the pair's results, significant or not; not a
  // number when the pair has no result (a file without words).
  double bestEvalue = std::numeric_limits<double>::quiet_NaN();
  std::int32_t bestComparison = -1;  // the key of that result
  // Keys of the significant matches, in the order they stand in fileA.
  std::vector<std::int32_t> matches;
  int group = 0;  // the number of the pair's group, from 1; 0 for none

  // The words of each file that the significant matches cover, as disjoint
  // ranges [first, last) of word numbers in text order, ascending.
  std::vector<std::pair<std::size_t, std::size_t>> coveredA;
  std::vector<std::pair<std::size_t, std::size_t>> coveredB;

  // False for two files of earlier work, which no scan compares: the pair has
  // a place in the table but is no pair of the scan.
  bool compared() const {
    return fileA == nullptr || fileB == nullptr || !(fileA->earlier && fileB->earlier);
  }
  // Shares from 0 to 1; 0 for a file of no words.
  double shareA() const;
  double shareB() const;
};

// Files linked by pairs with significant matches. Every linked pair belongs to
// exactly one group; a file may belong to several.
struct FileGroup {
  std::vector<std::int32_t> members;  // file indexes, ascending
  std::vector<std::size_t> pairs;     // positions in FilePairTable::pairs, ascending
};

struct FilePairTable {
  // Every pair of files of the scan: (1, 0), (2, 0), (2, 1), (3, 0), ... by index.
  std::vector<FilePairStats> pairs;
  // Most members first, then most pairs, then by the smallest member index.
  std::vector<FileGroup> groups;
  double maxEvalue = kPairMaxEvalue;

  // The position of the pair of two file indexes in `pairs`, in either order;
  // none for an index not in the scan or a file paired with itself.
  std::optional<std::size_t> find(std::int32_t indexA, std::int32_t indexB) const;

  std::vector<const FileEntry*> files;           // the scan's files, in index order
  std::map<std::int32_t, std::size_t> position;  // of each file index in `files`
  std::vector<std::size_t> nameRank;  // by position: rank of the file's name, case ignored
};

// The files of a scan in index order: all of them, or those that some result
// names (enough where files without results do not matter).
std::vector<const FileEntry*> filesOf(const FileTable& files);
std::vector<const FileEntry*> filesOf(const ResultTable& results);

// The table of the pairs of `files` (in index order). Results whose E-value
// under `model` is at most `maxEvalue` are the significant matches; results of
// files not in `files` are left out. `setAside`, when given, names words that
// count as not shared.
FilePairTable buildFilePairs(const std::vector<const FileEntry*>& files, const ResultTable& results,
                             const SignificanceModel& model, double maxEvalue = kPairMaxEvalue,
                             const SetAsideWords* setAside = nullptr);

// "34 % of a.txt, 12 % of b.txt"
std::string pairSharesText(const FilePairStats& pair);

// Two files are linked when their pair has a significant match. Three files
// whose three pairs are linked by the same text (in each of the three files the
// words it shares with one of the others overlap those it shares with the
// other) form a triangle; the links of a triangle belong to one group, and so on
// through links that triangles share. A link in no triangle is a group of its
// two files. So a file that shares one text with some files and another text
// with others does not merge them into one group.
// Numbers the groups from 1 in `table.groups` order and sets each pair's group.
void groupFiles(FilePairTable& table);

// Light tints, as "#rrggbb", that mark the matches of one pair, the same tint in
// both files; readers who confuse red and green still tell them apart, and
// black text stays readable on each. A pair with more matches uses them again
// in turn.
inline constexpr std::array<const char*, 8> kMatchTints = {
    "#77aadd", "#eedd88", "#44bb99", "#ffaabb", "#99ddff", "#ee8866", "#bbcc33", "#dddddd"};
inline const char* matchTint(std::size_t match) { return kMatchTints[match % kMatchTints.size()]; }

// What the pairs can be ordered by.
enum class PairColumn {
  kFileA,
  kFileB,
  kShareA,
  kShareB,
  kShare,
  kLongest,
  kEvalue,
  kMatches,
  kGroup
};

// Positions of `table.pairs` ordered by `column`. Ties, and pairs without a value
// (no E-value, no group) which always come last, fall back to the larger share
// (descending), then the best E-value, then the names.
std::vector<std::size_t> orderPairs(const FilePairTable& table,
                                    const std::vector<std::size_t>& rows, PairColumn column,
                                    bool descending);

// The cut as it was given, in the shortest form: "0.01", "1e-05".
std::string cutText(double maxEvalue);

// "34 %": a share as a whole percent, but never "0 %" for a share above zero
// nor "100 %" for one below the whole file.
std::string shareText(std::int64_t shared, std::int64_t words);

}  // namespace orvalis
