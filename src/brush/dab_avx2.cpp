// The plain dab's composite, eight pixels at a time with AVX2.
//
// Built with -mavx2; reached only through PlainRowAvx2() after the caller
// has checked the CPU. It performs the scalar path's integer arithmetic
// lane by lane with the same truncations: x / 65536 is a shift, and x /
// 65535 for every product that occurs here (x <= 65535^2) is
// (x + (x >> 16) + 1) >> 16, exact over that whole range. The division by
// a partial new alpha is estimated in single precision (within one of the
// quotient) and corrected with the exact integer remainder; a sum that
// reaches the new alpha gives 65535 outright.
//
// Everything except the entry point has internal linkage, and nothing here
// includes a header with inline functions: no function compiled with AVX2
// may be picked by the linker for code that runs on older CPUs.
#include "brush/dab_kernels.h"

#if defined(__AVX2__)
#include <immintrin.h>

#include "base/lanes_avx2.h"

namespace dro::brush {
namespace {

using I8 = __m256i;

using lanes::Join;
using lanes::Lanes;
using lanes::Split;

// x / 65535 for 0 <= x <= 65535^2.
I8 Div65535(I8 x) {
  const I8 one = _mm256_set1_epi32(1);
  return _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(x, _mm256_srli_epi32(x, 16)), one),
                           16);
}

I8 Mul(I8 a, I8 b) {
  return _mm256_mullo_epi32(a, b);
}

// a > b as unsigned 32-bit numbers.
I8 GreaterUnsigned(I8 a, I8 b) {
  const I8 bias = _mm256_set1_epi32(static_cast<int>(0x80000000u));
  return _mm256_cmpgt_epi32(_mm256_xor_si256(a, bias), _mm256_xor_si256(b, bias));
}

// floor(sum x 65535 / d) for sum < d <= 65535. The float
// estimate q is within one of the quotient, so q d stays below 2^32 and the
// remainder n - q d lies in (-d, 2d): one step down where it is negative,
// one step up where it reaches d.
I8 DivideBy(I8 sum, I8 d) {
  const I8 n = Mul(sum, _mm256_set1_epi32(65535));
  const __m256 estimate = _mm256_div_ps(
      _mm256_mul_ps(_mm256_cvtepi32_ps(sum), _mm256_set1_ps(65535.f)), _mm256_cvtepi32_ps(d));
  const I8 q = _mm256_cvttps_epi32(estimate);
  const I8 remainder = _mm256_sub_epi32(n, Mul(q, d));
  const I8 down = _mm256_cmpgt_epi32(_mm256_setzero_si256(), remainder);  // -1 where negative
  const I8 up = _mm256_cmpgt_epi32(remainder, _mm256_sub_epi32(d, _mm256_set1_epi32(1)));
  return _mm256_sub_epi32(_mm256_add_epi32(q, down), up);
}

}  // namespace

int32_t PlainRowAvx2(const uint32_t* cover, Pixel64* line, int32_t n,
                     const uint32_t color[4]) noexcept {
  const I8 full = _mm256_set1_epi32(65535);
  const I8 zero = _mm256_setzero_si256();
  const I8 pR = _mm256_set1_epi32(static_cast<int>(color[0]));
  const I8 pG = _mm256_set1_epi32(static_cast<int>(color[1]));
  const I8 pB = _mm256_set1_epi32(static_cast<int>(color[2]));
  const I8 pA = _mm256_set1_epi32(static_cast<int>(color[3]));
  const I8 order = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const I8 v = _mm256_permutevar8x32_epi32(
        _mm256_loadu_si256(reinterpret_cast<const I8*>(cover + i)), order);
    const I8 skip = _mm256_cmpeq_epi32(v, zero);
    if (_mm256_movemask_epi8(skip) == -1) continue;
    I8* at = reinterpret_cast<I8*>(line + i);
    const I8 v0 = _mm256_loadu_si256(at);
    const I8 v1 = _mm256_loadu_si256(at + 1);
    const Lanes d = Split(v0, v1);

    // a = V pA / 65535; new alpha = dA + (65535 - dA) a / 65535.
    const I8 va = Mul(v, pA);
    const I8 a = Div65535(va);
    const I8 k = _mm256_sub_epi32(full, a);
    const I8 newA = _mm256_add_epi32(d.a, Div65535(Mul(_mm256_sub_epi32(full, d.a), a)));
    // Sum = (dA D / 65536) k / 65535 + P a / 65536; the channel is
    // min(sum x 65535 / new alpha, 65535): the sum itself where the new
    // alpha is full, 65535 where the sum reaches the new alpha.
    const I8 partial = _mm256_andnot_si256(_mm256_cmpeq_epi32(newA, full), _mm256_set1_epi32(-1));
    const I8 safeA = _mm256_max_epu32(newA, _mm256_set1_epi32(1));
    auto over = [&](I8 dc, I8 pc) {
      const I8 under = _mm256_srli_epi32(Mul(d.a, dc), 16);
      const I8 sum = _mm256_add_epi32(Div65535(Mul(under, k)), _mm256_srli_epi32(Mul(pc, a), 16));
      const I8 below = GreaterUnsigned(newA, sum);
      const I8 divided = _mm256_blendv_epi8(full, DivideBy(sum, safeA), below);
      return _mm256_blendv_epi8(_mm256_min_epu32(sum, full), divided, partial);
    };
    Lanes out{over(d.r, pR), over(d.g, pG), over(d.b, pB), newA};
    // An empty pixel takes the colour with alpha V pA / 65536.
    const I8 empty = _mm256_cmpeq_epi32(d.a, zero);
    out.r = _mm256_blendv_epi8(out.r, pR, empty);
    out.g = _mm256_blendv_epi8(out.g, pG, empty);
    out.b = _mm256_blendv_epi8(out.b, pB, empty);
    out.a = _mm256_blendv_epi8(out.a, _mm256_srli_epi32(va, 16), empty);
    out.r = _mm256_blendv_epi8(out.r, d.r, skip);
    out.g = _mm256_blendv_epi8(out.g, d.g, skip);
    out.b = _mm256_blendv_epi8(out.b, d.b, skip);
    out.a = _mm256_blendv_epi8(out.a, d.a, skip);
    I8 w0, w1;
    Join(out, w0, w1);
    _mm256_storeu_si256(at, w0);
    _mm256_storeu_si256(at + 1, w1);
  }
  return i;
}

}  // namespace dro::brush

#else

namespace dro::brush {

int32_t PlainRowAvx2(const uint32_t*, Pixel64*, int32_t, const uint32_t[4]) noexcept {
  return 0;
}

}  // namespace dro::brush

#endif
