// The strip kernel on AVX2: 8 lanes a vector, 4 vectors a step, strips of 32
// rows. Built with -mavx2 (and no FMA) and called only when the processor has
// AVX2.
#include <immintrin.h>

#include "engine/align_strips_impl.h"

namespace orvalis::strips {
namespace {

struct Avx2Ops {
  static constexpr int W = 8;
  using F = __m256;
  using I = __m256i;
  using M = __m256;

  static F zero() { return _mm256_setzero_ps(); }
  static F set1(float x) { return _mm256_set1_ps(x); }
  static F broadcast(const float* p) { return _mm256_broadcast_ss(p); }
  static I loadIds(const std::uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  static F add(F a, F b) { return _mm256_add_ps(a, b); }
  static F max(F a, F b) { return _mm256_max_ps(a, b); }
  static F matchScore(I a, I b, F one, F mismatch) {
    return _mm256_blendv_ps(mismatch, one, _mm256_castsi256_ps(_mm256_cmpeq_epi32(a, b)));
  }
  // Lane 0 from carry's lane 7, lane i from h's lane i-1: the two 128-bit halves
  // of [carry's high half, h's low half] supply what crosses each half.
  static F shiftIn(F h, F carry) {
    const __m256 crossing = _mm256_permute2f128_ps(h, carry, 0x03);
    return _mm256_castsi256_ps(
        _mm256_alignr_epi8(_mm256_castps_si256(h), _mm256_castps_si256(crossing), 12));
  }
  static M greater(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
  static M less(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
  static F select(M m, F a, F b) { return _mm256_blendv_ps(b, a, m); }
  static F keepColumns(F h, std::int32_t c0, std::int32_t nB) {
    const __m256i column =
        _mm256_sub_epi32(_mm256_set1_epi32(c0), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    const __m256i inside = _mm256_andnot_si256(_mm256_cmpgt_epi32(column, _mm256_set1_epi32(nB)),
                                               _mm256_cmpgt_epi32(column, _mm256_setzero_si256()));
    return _mm256_and_ps(h, _mm256_castsi256_ps(inside));
  }
  static void storeMoves(std::uint8_t* p, M up, M left, M restart) {
    __m256i moves = _mm256_and_si256(_mm256_castps_si256(up), _mm256_set1_epi32(1));
    moves = _mm256_blendv_epi8(moves, _mm256_set1_epi32(2), _mm256_castps_si256(left));
    moves = _mm256_blendv_epi8(moves, _mm256_set1_epi32(3), _mm256_castps_si256(restart));
    // Eight 32-bit codes to eight bytes.
    const __m128i words =
        _mm_packs_epi32(_mm256_castsi256_si128(moves), _mm256_extracti128_si256(moves, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(words, words));
  }
  static void storeLastLane(float* p, F h) {
    _mm256_maskstore_ps(p, _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 0, -1), h);
  }
  static void store(float* p, F h) { _mm256_storeu_ps(p, h); }
  static std::uint32_t equalBits(F a, F b) {
    return static_cast<std::uint32_t>(_mm256_movemask_ps(_mm256_cmp_ps(a, b, _CMP_EQ_OQ)));
  }
};

}  // namespace

const StripKernel* avx2Kernel() { return &Strips<Avx2Ops, 4>::kernel; }

}  // namespace orvalis::strips
