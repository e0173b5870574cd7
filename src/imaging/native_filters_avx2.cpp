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
  static constexpr bool kBatch = true;
  __m256d keep, take;
  explicit VectorMixer4(double w) noexcept
      : keep(_mm256_set1_pd(1.0 - w)), take(_mm256_set1_pd(w)) {}
  int32_t Rgba(const uint8_t* c, uint8_t* n) const noexcept {
    const uint32_t word = StorePixel(n, MixLanes(LoadPixel(c), LoadPixel(n), keep, take));
    return int32_t(((word & 255u) + ((word >> 8) & 255u) + ((word >> 16) & 255u)) / 3u);
  }

  // (R + G + B) / 3 for a row, eight pixels at a time: byte pairs summed,
  // then the pairs, then x 43691 >> 17, which divides by 3 exactly below
  // 2^17.
  static void ValueRow(const uint8_t* row, int32_t w, int32_t* out) noexcept {
    const __m256i weights = _mm256_set1_epi32(0x00010101);
    const __m256i ones = _mm256_set1_epi16(1);
    const __m256i third = _mm256_set1_epi32(43691);
    int32_t x = 0;
    for (; x + 8 <= w; x += 8) {
      const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + int64_t{x} * 4));
      const __m256i sums = _mm256_madd_epi16(_mm256_maddubs_epi16(px, weights), ones);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                          _mm256_srli_epi32(_mm256_mullo_epi32(sums, third), 17));
    }
    for (; x < w; ++x) smoothing::ValueRow(row + int64_t{x} * 4, 1, out + x);
  }

  // Four independent steps: every input is read before anything is
  // written, the decision made lane by lane as smoothing::Decide makes it,
  // each pixel mixed with its own weight, the unchanged ones written back as
  // they were, and the values formed from the bytes written.
  static void Batch4(const smoothing::Decision& d, const VectorMixer4& m1, const VectorMixer4& m2,
                     uint8_t* const c[4], uint8_t* const n[4], const int32_t vc[4],
                     const int32_t vn[4], const int32_t vd[4], int32_t out[4]) noexcept {
    const __m128i c4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(vc));
    const __m128i n4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(vn));
    const __m128i d4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(vd));
    const __m128i cn = _mm_sub_epi32(c4, n4), nc = _mm_sub_epi32(n4, c4);
    const __m128i cd = _mm_sub_epi32(c4, d4), dc = _mm_sub_epi32(d4, c4);
    const __m128i first =
        _mm_andnot_si128(_mm_cmpgt_epi32(cd, _mm_set1_epi32(d.q1)),
                         _mm_and_si128(_mm_cmpgt_epi32(cn, _mm_set1_epi32(d.p1)),
                                       _mm_cmpgt_epi32(nc, _mm_set1_epi32(d.r1))));
    const __m128i second =
        _mm_andnot_si128(_mm_or_si128(first, _mm_cmpgt_epi32(dc, _mm_set1_epi32(d.q2))),
                         _mm_cmpgt_epi32(nc, _mm_set1_epi32(d.p2)));
    const __m128i apply = _mm_or_si128(first, second);
    if (_mm_testz_si128(apply, apply)) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), n4);
      return;
    }
    const int32_t firstBits = _mm_movemask_ps(_mm_castsi128_ps(first));
    uint32_t cw[4], nw[4];
    for (int32_t j = 0; j < 4; ++j) {
      std::memcpy(&cw[j], c[j], 4);
      std::memcpy(&nw[j], n[j], 4);
    }
    __m128i mixed[4];
    for (int32_t j = 0; j < 4; ++j) {
      const VectorMixer4& m = (firstBits >> j) & 1 ? m1 : m2;
      mixed[j] = MixLanes(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(int32_t(cw[j]))),
                          _mm_cvtepu8_epi32(_mm_cvtsi32_si128(int32_t(nw[j]))), m.keep, m.take);
    }
    const __m128i bytes =
        _mm_packus_epi16(_mm_packs_epi32(mixed[0], mixed[1]), _mm_packs_epi32(mixed[2], mixed[3]));
    const __m128i before =
        _mm_setr_epi32(int32_t(nw[0]), int32_t(nw[1]), int32_t(nw[2]), int32_t(nw[3]));
    const __m128i after = _mm_blendv_epi8(before, bytes, apply);
    alignas(16) uint32_t words[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(words), after);
    for (int32_t j = 0; j < 4; ++j) std::memcpy(n[j], &words[j], 4);
    // The values as in ValueRow.
    const __m128i pairs = _mm_maddubs_epi16(after, _mm_set1_epi32(0x00010101));
    const __m128i sums = _mm_madd_epi16(pairs, _mm_set1_epi16(1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_srli_epi32(_mm_mullo_epi32(sums, _mm_set1_epi32(43691)), 17));
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
