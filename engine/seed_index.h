// Candidate comparisons from an index of short word seeds: the group pairs
// that share a run of words long enough to be worth an alignment, found
// without aligning every group with every other.
//
// A seed is a run of consecutive words of one group, taken by the word ids
// that the alignment compares. Two groups of different files that hold the
// same seed make a hit; the hit is extended along its diagonal without gaps,
// and nearby extensions of the same group pair are chained across small shifts
// of the diagonal, as an alignment with a few gaps would join them. A group
// pair whose best chain scores enough is kept.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/records.h"

namespace orvalis {

struct SeedSettings {
  int seedWords = 3;  // words of a seed
  // A seed that more files hold than this is too common to pick pairs and is
  // dropped; but where it repeats at least repeatWords times within a group,
  // those groups keep it, as long as no more than maxFiles files hold such
  // repeats (a file that repeats one phrase over and over is then still
  // found, and the phrase common to many files still costs nothing).
  int maxFiles = 20;
  int repeatWords = 8;
  int postingsPerGroup = 4;  // the first ones of a seed in a group
  // Extension without gaps: +match for equal words, mismatch for others,
  // stopping once the score falls xDrop below the best so far, at mismatchRun
  // different words in a row, and after at most reach words on each side of
  // the seed. A run of different words is where a word was inserted or
  // dropped: the copy goes on along a shifted diagonal, which the chain finds;
  // an extension that crossed the run would swallow that stretch and leave
  // the chain nothing to add.
  float match = 1.0f;
  float mismatch = -0.33f;
  float xDrop = 2.5f;
  int mismatchRun = 2;
  int reach = 32;
  // Extensions chain when their diagonals differ by at most chainDiagonals and
  // at most chainGap words lie between them; a chain of keepScore keeps the
  // group pair.
  int chainDiagonals = 4;
  int chainGap = 8;
  float keepScore = 7.0f;
  // An extension of spillScore or more that ends within spillWords of a group's
  // first or last word may go on in the neighbouring group: the neighbouring
  // group pair is kept too.
  float spillScore = 4.0f;
  int spillWords = 3;
};

// The bytes that the index of `words` words in `groups` groups, built on
// `threads` threads, takes at most, besides the extensions it finds.
std::uint64_t seedIndexMemory(std::uint64_t words, std::uint64_t groups, int threads);

// The group pairs of different files of the engine's loaded files that the
// seeds keep, in ascending order, without repeats. Word ids must be given.
// Built on `threads` threads; the result is the same for any count.
std::vector<GroupPairIndex> seededGroupPairs(const CompareEngine& engine, int threads,
                                             const SeedSettings& settings = {});

// The places of the comparisons numbered `numbers` (ascending) among every
// comparison of the engine's loaded files, numbered as a scan numbers them.
// Numbers beyond the last comparison are left out.
std::vector<GroupPairIndex> comparisonPlaces(const CompareEngine& engine,
                                             const std::vector<std::int32_t>& numbers);

}  // namespace orvalis
