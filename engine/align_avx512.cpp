// The strip kernel on AVX-512 (F, BW, VL): 16 lanes a vector, 4 vectors a step,
// strips of 64 rows. Built with -mavx512f -mavx512bw -mavx512vl and called only
// when the processor has them.
// GCC 12's AVX-512 intrinsics start their unused pass-through operands from a
// deliberately undefined value, which -Wmaybe-uninitialized reports wrongly.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

#include "engine/align_strips_impl.h"

namespace orvalis::strips {
namespace {

struct Avx512Ops {
  static constexpr int W = 16;
  using F = __m512;
  using I = __m512i;
  using M = __mmask16;

  static F zero() { return _mm512_setzero_ps(); }
  static F set1(float x) { return _mm512_set1_ps(x); }
  static F broadcast(const float* p) { return _mm512_set1_ps(*p); }
  static I loadIds(const std::uint32_t* p) { return _mm512_loadu_si512(p); }
  static F add(F a, F b) { return _mm512_add_ps(a, b); }
  static F max(F a, F b) { return _mm512_max_ps(a, b); }
  static F matchScore(I a, I b, F one, F mismatch) {
    return _mm512_mask_blend_ps(_mm512_cmpeq_epi32_mask(a, b), mismatch, one);
  }
  static F shiftIn(F h, F carry) {
    return _mm512_castsi512_ps(
        _mm512_alignr_epi32(_mm512_castps_si512(h), _mm512_castps_si512(carry), 15));
  }
  static M greater(F a, F b) { return _mm512_cmp_ps_mask(a, b, _CMP_GT_OQ); }
  static M less(F a, F b) { return _mm512_cmp_ps_mask(a, b, _CMP_LT_OQ); }
  static F select(M m, F a, F b) { return _mm512_mask_blend_ps(m, b, a); }
  static F keepColumns(F h, std::int32_t c0, std::int32_t nB) {
    const __m512i column =
        _mm512_sub_epi32(_mm512_set1_epi32(c0),
                         _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    const M inside = _mm512_cmpgt_epi32_mask(column, _mm512_setzero_si512()) &
                     _mm512_cmple_epi32_mask(column, _mm512_set1_epi32(nB));
    return _mm512_maskz_mov_ps(inside, h);
  }
  static void storeMoves(std::uint8_t* p, M up, M left, M restart) {
    __m128i moves = _mm_maskz_mov_epi8(up, _mm_set1_epi8(1));
    moves = _mm_mask_mov_epi8(moves, left, _mm_set1_epi8(2));
    moves = _mm_mask_mov_epi8(moves, restart, _mm_set1_epi8(3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), moves);
  }
  static void storeLastLane(float* p, F h) { _mm512_mask_storeu_ps(p, M{0x8000}, h); }
  static void store(float* p, F h) { _mm512_storeu_ps(p, h); }
  static std::uint32_t equalBits(F a, F b) { return _mm512_cmp_ps_mask(a, b, _CMP_EQ_OQ); }
};

}  // namespace

const StripKernel* avx512Kernel() { return &Strips<Avx512Ops, 4>::kernel; }

}  // namespace orvalis::strips
