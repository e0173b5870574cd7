// The edge-smoothing filters with the mix formed in AVX2 double lanes: one
// pixel's four channels in one vector, (1 - w) c + w n multiplied and added
// lane by lane exactly as the scalar formula rounds (no fused multiply-add:
// this file is built without FMA), truncated, and clamped by saturating
// packs. Same decisions, same order, same pixels as the table mixers.
#include <immintrin.h>

#include <cstring>

#include "imaging/smoothing.h"

namespace dro::imaging {
namespace {

__m128i LoadPixel(const uint8_t* p) noexcept {
  int32_t word;
  std::memcpy(&word, p, 4);
  return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(word));
}

// trunc(keep c + take n) per lane, as 32-bit integers.
__m128i MixLanes(__m128i c, __m128i n, __m256d keep, __m256d take) noexcept {
  const __m256d sum = _mm256_add_pd(_mm256_mul_pd(keep, _mm256_cvtepi32_pd(c)),
                                    _mm256_mul_pd(take, _mm256_cvtepi32_pd(n)));
  return _mm256_cvttpd_epi32(sum);
}

uint32_t StorePixel(uint8_t* p, __m128i lanes) noexcept {
  const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(lanes, lanes), lanes);
  const auto word = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
  std::memcpy(p, &word, 4);
  return word;
}

struct VectorMixer4 {
  __m256d keep, take;
  explicit VectorMixer4(double w) noexcept
      : keep(_mm256_set1_pd(1.0 - w)), take(_mm256_set1_pd(w)) {}
  int32_t Rgba(const uint8_t* c, uint8_t* n) const noexcept {
    const uint32_t word = StorePixel(n, MixLanes(LoadPixel(c), LoadPixel(n), keep, take));
    return int32_t(((word & 255u) + ((word >> 8) & 255u) + ((word >> 16) & 255u)) / 3u);
  }
};

struct VectorMixerRgb {
  __m256d keep, take;
  VectorMixerRgb(double wr, double wg, double wb) noexcept
      : keep(_mm256_setr_pd(1.0 - wr, 1.0 - wg, 1.0 - wb, 1.0)),
        take(_mm256_setr_pd(wr, wg, wb, 0.0)) {}
  void Rgb(const uint8_t* c, uint8_t* n, const int32_t limits[3]) const noexcept {
    const __m128i ci = LoadPixel(c), ni = LoadPixel(n);
    // Lanes where |c - n| < limit; alpha never.
    const __m128i limit = _mm_setr_epi32(limits[0], limits[1], limits[2], INT32_MIN);
    const __m128i apply = _mm_cmpgt_epi32(limit, _mm_abs_epi32(_mm_sub_epi32(ci, ni)));
    StorePixel(n, _mm_blendv_epi8(ni, MixLanes(ci, ni, keep, take), apply));
  }
};

}  // namespace

void AntiAliasAvx2(const SmoothingJob& job) {
  AntiAliasWith<VectorMixer4>(job);
}
void ValueBlurAvx2(const SmoothingJob& job) {
  ValueBlurWith<VectorMixer4>(job);
}
void NoiseReductionAvx2(const SmoothingJob& job) {
  NoiseReductionWith<VectorMixer4>(job);
}
void NoiseReductionRgbAvx2(const SmoothingJob& job) {
  NoiseReductionRgbWith<VectorMixerRgb>(job);
}

}  // namespace dro::imaging
