// SHA-256 blocks with the x86 SHA extensions, built for them alone and used
// only where the processor has them (see sha256.cpp).
#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvalis::sha256_x86 {

void compressBlocks(std::array<std::uint32_t, 8>& state, const std::array<std::uint32_t, 64>& k,
                    const std::uint8_t* data, std::size_t blocks) {
  // Bytes of each 32-bit word in big-endian order.
  const __m128i byteOrder = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  // The rounds instruction wants the state as (A, B, E, F) and (C, D, G, H).
  __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state.data()));
  __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state.data() + 4));
  abcd = _mm_shuffle_epi32(abcd, 0xB1);              // C D A B
  efgh = _mm_shuffle_epi32(efgh, 0x1B);              // E F G H
  __m128i abef = _mm_alignr_epi8(abcd, efgh, 8);     // A B E F
  __m128i cdgh = _mm_blend_epi16(efgh, abcd, 0xF0);  // C D G H

  for (; blocks > 0; --blocks, data += 64) {
    const __m128i savedAbef = abef;
    const __m128i savedCdgh = cdgh;
    // The message schedule four words at a time, the last four kept.
    __m128i w[4];
    for (int i = 0; i < 16; ++i) {
      __m128i& words = w[i & 3];
      if (i < 4) {
        words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)),
                                 byteOrder);
      } else {
        // w[t-16] + σ0(w[t-15]) + w[t-7] + σ1(w[t-2]), four at a time.
        const __m128i previous = w[(i - 1) & 3];
        __m128i next = _mm_sha256msg1_epu32(words, w[(i - 3) & 3]);
        next = _mm_add_epi32(next, _mm_alignr_epi8(previous, w[(i - 2) & 3], 4));
        words = _mm_sha256msg2_epu32(next, previous);
      }
      __m128i message =
          _mm_add_epi32(words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(k.data() + 4 * i)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
      message = _mm_shuffle_epi32(message, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
    }
    abef = _mm_add_epi32(abef, savedAbef);
    cdgh = _mm_add_epi32(cdgh, savedCdgh);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state.data()), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state.data() + 4), _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace orvalis::sha256_x86
