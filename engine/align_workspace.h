// Work space of the word alignment: allocated once per scan and reused by every
// comparison, so that no comparison allocates memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvalis {

// The ways of computing an alignment. Every one gives the same results, bit for
// bit; they differ only in speed and in the processors that can run them.
enum class AlignKernel : std::uint8_t {
  kPortable,  // one cell after another, row by row; runs everywhere
  kAvx2,      // wavefront over strips of 32 rows, 8 lanes a vector
  kAvx512,    // wavefront over strips of 64 rows, 16 lanes a vector
};

// Whether this processor (and this build) can run `kernel`.
bool alignKernelSupported(AlignKernel kernel);

// The fastest kernel this processor runs, or the one named by `forced`
// (avx512, avx2 or portable) when the processor runs it.
AlignKernel chooseAlignKernel(const char* forced);

// The fastest kernel this processor runs, unless the environment variable
// ORVALIS_KERNEL names another (avx512, avx2 or portable); a named kernel the
// processor cannot run gives way to the fastest one it can. Read once.
AlignKernel defaultAlignKernel();

// The kernel's name as ORVALIS_KERNEL spells it.
const char* alignKernelName(AlignKernel kernel);

// The bytes that a work space for groups of up to maxWords words holds for
// `kernel`: what reserve() allocates.
std::uint64_t alignWorkspaceBytes(std::size_t maxWords, AlignKernel kernel);

struct AlignWorkspace {
  // Makes room for groups of up to maxWords words; keeps what is there when it
  // is large enough. Throws std::bad_alloc when memory runs out.
  void reserve(std::size_t maxWords);
  // The same for the given kernel rather than this work space's own.
  void reserve(std::size_t maxWords, AlignKernel forKernel);
  // Returns the memory to the system.
  void release();
  // The longest group that fits without growing.
  std::size_t capacity() const { return capacityWords; }

  // How this work space computes alignments; a kernel the processor cannot run
  // is replaced by the portable one when an alignment starts.
  AlignKernel kernel = defaultAlignKernel();

  std::size_t capacityWords = 0;
  // Word ids of the two groups, with room for the padding of the strip kernels:
  // A in text order, B in reverse order.
  std::vector<std::uint32_t> idsA;
  std::vector<std::uint32_t> idsB;
  // Portable kernel: the move of each cell, row-major with a row stride of
  // nB + 1, and the scores of the row above and of the row being filled.
  // Allocated on first use, left uninitialised: each comparison writes every
  // cell it reads.
  std::unique_ptr<std::uint8_t[]> moves;
  std::size_t movesCapacityWords = 0;
  std::vector<float> previousRow;
  std::vector<float> currentRow;
  // Strip kernels: the bottom row of every strip, the best score of every strip
  // and the moves of one strip at a time (the traceback never returns to a strip
  // it has left).
  std::vector<float> stripRows;
  std::vector<float> stripBest;
  std::vector<std::uint8_t> stripMoves;
  std::vector<float> lastCells;
  // Ids of words of groups that were not given ids by a scan; cleared on every
  // comparison that uses it.
  std::unordered_map<std::string_view, std::uint32_t> localVocabulary;
  std::int32_t lastMove = 0;  // move of the last cell computed
};

}  // namespace orvalis
