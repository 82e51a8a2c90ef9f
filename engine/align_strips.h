// The vector kernels of the word alignment: the score matrix computed in strips
// of rows, each strip as an anti-diagonal wavefront. Internal to the engine.
//
// Matrix: row r (0..nA) pairs A word r-1, column c (0..nB) pairs B word c-1;
// row 0 and column 0 are 0. Strip s holds rows s*R+1 .. s*R+R, local row q
// being row s*R+1+q. At step t the strip computes, for every local row q, the
// cell of column c = t+1-q; cells outside 1..nB come out as exactly 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvalis::strips {

// Everything a kernel reads and writes for one comparison. The buffers belong
// to the work space and are padded so that no step needs a bounds test.
struct StripJob {
  // A's word ids, padded with never-matching ids to a whole number of strips.
  const std::uint32_t* idsA = nullptr;
  // B's word ids in reverse order: reversedB[x] is B word nB-1-x, readable (as
  // padding) for x from -R to nB+R.
  const std::uint32_t* reversedB = nullptr;
  std::int32_t nA = 0;
  std::int32_t nB = 0;
  float mismatch = 0.0f;
  float gap = 0.0f;
  // Row s of `rows` (at rows + s * rowStride) is the bottom row of strip s-1,
  // the input of strip s; row 0 is the matrix's row 0. Column c is at index c,
  // valid from -(R+16) to nB+R+16. Written by the score pass.
  float* rows = nullptr;
  std::ptrdiff_t rowStride = 0;
  // The best score of each strip's rows within the matrix. Score pass.
  float* stripBest = nullptr;
  // The scores of the last strip at the two steps that hold the neighbours of
  // the last cell (nA, nB): 2 * R floats, written by the score pass.
  float* lastCells = nullptr;
  // The moves of one strip: the move of local row q at step t is at t * R + q.
  std::uint8_t* moves = nullptr;
};

// Where a score first occurs in each row of a strip.
struct StripHit {
  float best = 0.0f;
  // For each local row, the first column whose score equals best; 0 for none.
  std::int32_t firstColumn[64] = {};
};

struct StripKernel {
  std::int32_t rows;  // R: rows of a strip
  // Score pass over every strip: fills rows, stripBest and lastCells.
  void (*score)(const StripJob& job);
  // Moves of strip `strip` for every cell of columns 1..columnLimit (and more),
  // from the rows the score pass left. With `hit`, also finds where hit->best
  // first occurs in each row of the strip.
  void (*moves)(const StripJob& job, std::int32_t strip, std::int32_t columnLimit, StripHit* hit);
};

// Null when the build has no such kernel.
const StripKernel* avx512Kernel();
const StripKernel* avx2Kernel();

// Steps of the strip holding local rows 0..R-1 at which the scores of the last
// cell's neighbours stand: (nA-1, nB-1) at the first, (nA-1, nB) and (nA, nB-1)
// at the second.
inline std::int32_t lastCellStep(std::int32_t nA, std::int32_t nB, std::int32_t rows) {
  const std::int32_t q = (nA - 1) % rows;  // local row of row nA
  return nB + q - 3;                       // (nA-1, nB-1) is local row q-1
}

}  // namespace orvalis::strips
