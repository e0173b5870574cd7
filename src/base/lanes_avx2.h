// Eight 64-bit pixels as four channels of 32-bit AVX2 lanes, and back.
//
// Include only from translation units built with -mavx2, inside their
// __AVX2__ block. Everything here has internal linkage, so no function
// compiled with AVX2 can be picked by the linker for code that runs on older
// CPUs.
#pragma once

#if defined(__AVX2__)
#include <immintrin.h>

namespace dro::lanes {
namespace {

// Lane order is the pixel order 0 1 4 5 2 3 6 7, the same for every
// channel, so lane-wise work is unaffected and Join undoes it.
struct Lanes {
  __m256i r, g, b, a;
};

// The pixels of v0 (0 to 3) and v1 (4 to 7) split into channels.
[[maybe_unused]] Lanes Split(__m256i v0, __m256i v1) {
  const __m256i words = _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15,  //
                                         0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15);
  const __m256i t0 = _mm256_shuffle_epi8(v0, words);
  const __m256i t1 = _mm256_shuffle_epi8(v1, words);
  const __m256i rg = _mm256_unpacklo_epi32(t0, t1);
  const __m256i ba = _mm256_unpackhi_epi32(t0, t1);
  const __m256i zero = _mm256_setzero_si256();
  return Lanes{_mm256_unpacklo_epi16(rg, zero), _mm256_unpackhi_epi16(rg, zero),
               _mm256_unpacklo_epi16(ba, zero), _mm256_unpackhi_epi16(ba, zero)};
}

// The channels packed back into pixels 0 to 3 (v0) and 4 to 7 (v1); lanes
// above 65535 saturate.
[[maybe_unused]] void Join(const Lanes& l, __m256i& v0, __m256i& v1) {
  const __m256i rg = _mm256_shuffle_epi32(_mm256_packus_epi32(l.r, l.g), 0xD8);  // 0 2 1 3
  const __m256i ba = _mm256_shuffle_epi32(_mm256_packus_epi32(l.b, l.a), 0xD8);
  const __m256i words = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15,  //
                                         0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
  v0 = _mm256_shuffle_epi8(_mm256_unpacklo_epi64(rg, ba), words);
  v1 = _mm256_shuffle_epi8(_mm256_unpackhi_epi64(rg, ba), words);
}

}  // namespace
}  // namespace dro::lanes

#endif  // __AVX2__
