// The strip kernels written once over a small set of vector operations; each
// instruction-set file instantiates them with its own operations. Included only
// by those files, which must include no other header with inline functions, so
// that no function compiled for one instruction set is shared with the others.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/align_strips.h"

// The vectors of a step must stay in registers: every loop over them is
// unrolled and every step inlined into its loop.
#if defined(__GNUC__)
#define ORVALIS_UNROLL _Pragma("GCC unroll 8")
#define ORVALIS_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define ORVALIS_UNROLL
#define ORVALIS_ALWAYS_INLINE inline
#endif

namespace orvalis::strips {

// Ops provides, for vectors of W floats (F), W 32-bit ids (I) and W lane flags
// (M):
//   zero(), set1(x), broadcast(p), loadIds(p), add(a, b), max(a, b),
//   matchScore(a, b, one, mismatch): one where the ids are equal, else mismatch,
//   shiftIn(h, carry): lane 0 from carry's lane W-1, lane i from h's lane i-1,
//   greater(a, b), less(a, b), select(m, a, b): a where m, else b,
//   keepColumns(h, c0, nB): h where lane i's column c0-i lies in 1..nB, else 0,
//   storeMoves(p, up, left, restart): W move bytes,
//   storeLastLane(p, h): h's lane W-1 to p[W-1],
//   store(p, h), equalBits(a, b): bit i set where lane i is equal.
template <class Ops, int V>
struct Strips {
  static constexpr int W = Ops::W;
  static constexpr int R = V * W;
  static_assert(R <= 64, "StripHit holds 64 rows");
  using F = typename Ops::F;
  using I = typename Ops::I;

  struct Constants {
    F one, mismatch, gap, zero;
    explicit Constants(const StripJob& job)
        : one(Ops::set1(1.0f)),
          mismatch(Ops::set1(job.mismatch)),
          gap(Ops::set1(job.gap)),
          zero(Ops::zero()) {}
  };

  // The state of a strip between steps: for vector v (local rows v*W ..
  // v*W+W-1), H holds the scores of the last step and U the "up" inputs of the
  // last step, which are this step's "diagonal" inputs.
  struct State {
    F H[V];
    F U[V];
    I A[V];
  };

  static void start(const StripJob& job, std::int32_t strip, State& state) {
    ORVALIS_UNROLL
    for (int v = 0; v < V; ++v) {
      state.H[v] = Ops::zero();
      state.U[v] = Ops::zero();
      state.A[v] = Ops::loadIds(job.idsA + strip * R + v * W);
    }
  }

  // One step t of the score pass. Lane i of vector v is local row q = v*W+i
  // and computes column c = t+1-q from the previous step: up is the previous
  // H shifted one lane down (lane 0 of vector 0 from the row above the strip),
  // diagonal is the previous up, left is the previous H. The value is that of
  //   best = diag + (A == B ? 1 : mismatch); if (up + gap > best) best = up + gap;
  //   if (left + gap > best) best = left + gap; if (best < 0) best = 0;
  // computed as max(diag + s, max(up, left) + gap, 0): rounding to single
  // precision never reverses an order, so max(up, left) + gap equals the larger
  // of the two sums, and with finite settings no total is NaN or -0, so max
  // picks the same value as the strict compares. The moves pass computes the
  // compares themselves.
  template <bool kMasked>
  ORVALIS_ALWAYS_INLINE static void scoreStep(const StripJob& job, const Constants& k,
                                              const float* above, std::int32_t t, State& state,
                                              F (&best)[V]) {
    const std::uint32_t* b = job.reversedB + (job.nB - 1 - t);
    const F carry = Ops::broadcast(above + t + 1);
    F next[V];
    F up[V];
    ORVALIS_UNROLL
    for (int v = 0; v < V; ++v) {
      const F s = Ops::matchScore(state.A[v], Ops::loadIds(b + v * W), k.one, k.mismatch);
      const F diagonal = Ops::add(state.U[v], s);
      up[v] = Ops::shiftIn(state.H[v], v == 0 ? carry : state.H[v - 1]);
      F h = Ops::max(Ops::add(Ops::max(up[v], state.H[v]), k.gap), diagonal);
      h = Ops::max(h, k.zero);
      if constexpr (kMasked) h = Ops::keepColumns(h, t + 1 - v * W, job.nB);
      next[v] = h;
    }
    ORVALIS_UNROLL
    for (int v = 0; v < V; ++v) {
      state.H[v] = next[v];
      state.U[v] = up[v];
      best[v] = Ops::max(next[v], best[v]);
    }
  }

  // Runs steps [from, to) of the score pass, saving the strip's bottom row and,
  // at the steps in `capture`, the whole state.
  template <bool kMasked>
  ORVALIS_ALWAYS_INLINE static void scoreSteps(const StripJob& job, const Constants& k,
                                               const float* above, float* below, std::int32_t from,
                                               std::int32_t to, State& state, F (&best)[V],
                                               const std::int32_t (&capture)[2]) {
    for (std::int32_t t = from; t < to; ++t) {
      scoreStep<kMasked>(job, k, above, t, state, best);
      // Local row R-1 has just computed column t+2-R.
      Ops::storeLastLane(below + (t + 2 - R) - (W - 1), state.H[V - 1]);
      if (t == capture[0] || t == capture[1]) {
        float* out = job.lastCells + (t == capture[0] ? 0 : R);
        ORVALIS_UNROLL
        for (int v = 0; v < V; ++v) Ops::store(out + v * W, state.H[v]);
      }
    }
  }

  static void score(const StripJob& job) {
    const Constants k(job);
    const std::int32_t strips = (job.nA + R - 1) / R;
    const std::int32_t steps = job.nB + R - 1;
    // Steps before R-1 have rows left of column 1, steps from nB on rows right
    // of column nB; only those need the column test.
    const std::int32_t fullFrom = R - 1 < steps ? R - 1 : steps;
    const std::int32_t fullTo = job.nB > fullFrom ? job.nB : fullFrom;
    const std::int32_t lastStep = lastCellStep(job.nA, job.nB, R);
    for (std::int32_t s = 0; s < strips; ++s) {
      const float* above = job.rows + s * job.rowStride;
      float* below = job.rows + (s + 1) * job.rowStride;
      State state;
      start(job, s, state);
      F best[V];
      ORVALIS_UNROLL
      for (int v = 0; v < V; ++v) best[v] = Ops::zero();
      std::int32_t capture[2] = {-1, -1};
      if (s == strips - 1) capture[0] = lastStep, capture[1] = lastStep + 1;
      scoreSteps<true>(job, k, above, below, 0, fullFrom, state, best, capture);
      scoreSteps<false>(job, k, above, below, fullFrom, fullTo, state, best, capture);
      scoreSteps<true>(job, k, above, below, fullTo, steps, state, best, capture);
      // The strip's best over its rows within the matrix.
      float lanes[R];
      ORVALIS_UNROLL
      for (int v = 0; v < V; ++v) Ops::store(lanes + v * W, best[v]);
      const std::int32_t validRows = job.nA - s * R < R ? job.nA - s * R : R;
      float stripBest = 0.0f;
      for (std::int32_t q = 0; q < validRows; ++q) {
        if (lanes[q] > stripBest) stripBest = lanes[q];
      }
      job.stripBest[s] = stripBest;
    }
  }

  // One step t of the moves pass, in the exact order of the scalar recurrence:
  //   best = diag + s; move = diagonal
  //   if (up + gap > best)   { best = up + gap;   move = up }
  //   if (left + gap > best) { best = left + gap; move = left }
  //   if (best < 0)          { best = 0;          move = restart }
  // Strict compares: ties prefer diagonal, then up, then left, and a total of
  // exactly 0 keeps its move.
  ORVALIS_ALWAYS_INLINE static void movesStep(const StripJob& job, const Constants& k,
                                              const float* above, std::int32_t t, bool masked,
                                              State& state, StripHit* hit, const F& hitBest) {
    const std::uint32_t* b = job.reversedB + (job.nB - 1 - t);
    const F carry = Ops::broadcast(above + t + 1);
    std::uint8_t* moves = job.moves + static_cast<std::ptrdiff_t>(t) * R;
    F next[V];
    F up[V];
    ORVALIS_UNROLL
    for (int v = 0; v < V; ++v) {
      const F s = Ops::matchScore(state.A[v], Ops::loadIds(b + v * W), k.one, k.mismatch);
      up[v] = Ops::shiftIn(state.H[v], v == 0 ? carry : state.H[v - 1]);
      const F diagonalTotal = Ops::add(state.U[v], s);
      const F upTotal = Ops::add(up[v], k.gap);
      const F leftTotal = Ops::add(state.H[v], k.gap);
      F h = diagonalTotal;
      const auto toUp = Ops::greater(upTotal, h);
      h = Ops::select(toUp, upTotal, h);
      const auto toLeft = Ops::greater(leftTotal, h);
      h = Ops::select(toLeft, leftTotal, h);
      const auto restart = Ops::less(h, k.zero);
      h = Ops::select(restart, k.zero, h);
      if (masked) h = Ops::keepColumns(h, t + 1 - v * W, job.nB);
      Ops::storeMoves(moves + v * W, toUp, toLeft, restart);
      next[v] = h;
    }
    ORVALIS_UNROLL
    for (int v = 0; v < V; ++v) {
      state.H[v] = next[v];
      state.U[v] = up[v];
      if (hit == nullptr) continue;
      std::uint32_t bits = Ops::equalBits(next[v], hitBest);
      while (bits != 0) {
        const int i = __builtin_ctz(bits);
        bits &= bits - 1;
        const int q = v * W + i;
        if (hit->firstColumn[q] == 0) hit->firstColumn[q] = t + 1 - q;
      }
    }
  }

  static void moves(const StripJob& job, std::int32_t strip, std::int32_t columnLimit,
                    StripHit* hit) {
    const Constants k(job);
    const float* above = job.rows + strip * job.rowStride;
    const std::int32_t limit = columnLimit < job.nB ? columnLimit : job.nB;
    const std::int32_t steps = limit + R - 1;
    const F hitBest = Ops::set1(hit != nullptr ? hit->best : 0.0f);
    State state;
    start(job, strip, state);
    for (std::int32_t t = 0; t < steps; ++t) {
      const bool masked = t < R - 1 || t >= job.nB;
      movesStep(job, k, above, t, masked, state, hit, hitBest);
    }
  }

  static constexpr StripKernel kernel{R, &score, &moves};
};

}  // namespace orvalis::strips
