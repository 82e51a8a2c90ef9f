// Work space of the word alignment: allocated once per scan and reused by every
// comparison, so that no comparison allocates memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace orvalis {

struct AlignWorkspace {
  // Makes room for groups of up to maxWords words; keeps what is there when it
  // is large enough. Throws std::bad_alloc when memory runs out.
  void reserve(std::size_t maxWords);
  // Returns the memory to the system.
  void release();
  // The longest group that fits without growing.
  std::size_t capacity() const { return capacityWords; }

  std::size_t capacityWords = 0;
  // Move chosen for each cell, row-major with a row stride of nB + 1. The
  // predecessor of a cell follows from its move, so no separate row and column
  // matrices are kept.
  // Left uninitialised: each comparison writes every cell it reads.
  std::unique_ptr<std::uint8_t[]> moves;
  // Scores of the row above and the row being filled.
  std::vector<float> previousRow;
  std::vector<float> currentRow;
  // Word hashes of the two groups; equal texts have equal hashes, so the inner
  // loop compares texts only when the hashes agree.
  std::vector<std::uint64_t> hashesA;
  std::vector<std::uint64_t> hashesB;
  std::int32_t lastMove = 0;  // move of the last cell computed
};

}  // namespace orvalis
