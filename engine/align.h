// Local alignment of two word groups in the manner of Smith-Waterman, with a
// linear gap score, over whole words.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/align_workspace.h"
#include "engine/records.h"

namespace orvalis {

// Moves of the alignment: how each cell was reached.
enum Move : std::uint8_t {
  kMoveDiagonal = 0,  // A word and B word paired; from (j-1, k-1)
  kMoveUp = 1,        // A word against a gap in B; from (j-1, k)
  kMoveLeft = 2,      // B word against a gap in A; from (j, k-1)
  kMoveRestart = 3,   // total fell below 0 and restarts there; from (j, k) itself
};

struct AlignScores {
  float mismatch = kDefaultMismatchScore;
  float gap = kDefaultGapScore;
};

// Gives every word of `groups` its id in one new vocabulary: equal texts get
// equal ids. A scan does this once for all its groups, so that the alignment
// compares two ids rather than two texts. Returns the number of ids given:
// every id is below it.
std::uint32_t giveWordIds(const std::vector<WordGroup*>& groups);

// Gives every word that `file` sets aside (its setAside flags, in text order
// across its groups, which hold ids) an id of its own, counting up from
// `nextId`, so that the word equals no other word of any group of the same
// vocabulary. Returns the next unused id.
std::uint32_t setAsideWordIds(FileEntry& file, std::uint32_t nextId);

// Aligns result.groupA with result.groupB and fills the rest of `result`: the
// best score, the matched stretch in each file (word offsets plus baseA or
// baseB) and the two consensus strings. Returns the score. Grows `workspace`
// when a group does not fit. Computed by workspace.kernel; every kernel gives
// the same result, bit for bit. A group without words gives score 0, empty spans at
// the bases and empty consensus strings.
float alignGroups(const AlignScores& scores, AlignWorkspace& workspace, PairResult& result,
                  std::int32_t baseA, std::int32_t baseB);

// The same on an engine's settings and work space; records the last cell's move
// in moveCode and pauses for the engine's comparisonPause afterwards.
float alignGroups(CompareEngine& engine, PairResult& result, std::int32_t baseA,
                  std::int32_t baseB);

}  // namespace orvalis
