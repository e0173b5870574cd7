// The dab composites, eight pixels at a time with AVX2: the plain dab, the
// pick-up dab with its remix, and the formula mix modes.
//
// Built with -mavx2; reached only through the row kernels after the caller
// has checked the CPU. They perform the scalar path's integer arithmetic
// lane by lane with the same truncations: x / 65536 is a shift, and x /
// 65535 for every product that occurs here (x <= 65535^2) is
// (x + (x >> 16) + 1) >> 16, exact over that whole range. The division by
// a partial new alpha is estimated in single precision (within one of the
// quotient) and corrected with the exact integer remainder; a sum that
// reaches the new alpha gives 65535 outright.
//
// Everything except the entry points has internal linkage, and nothing here
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

// x / 256 and x / 65536, for x below 2^32.
I8 Shr8(I8 x) {
  return _mm256_srli_epi32(x, 8);
}

I8 Shr16(I8 x) {
  return _mm256_srli_epi32(x, 16);
}

I8 Splat(uint32_t v) {
  return _mm256_set1_epi32(static_cast<int>(v));
}

// Eight coverage values in the lane order of lanes::Split; `skip` is set
// where V = 0 (the pixel is not painted).
I8 LoadCover(const uint32_t* cover, I8& skip) {
  const I8 order = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
  const I8 v =
      _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const I8*>(cover)), order);
  skip = _mm256_cmpeq_epi32(v, _mm256_setzero_si256());
  return v;
}

// `out` where a pixel is painted, `keep` where it is skipped.
Lanes Select(const Lanes& out, const Lanes& keep, I8 skip) {
  return Lanes{_mm256_blendv_epi8(out.r, keep.r, skip), _mm256_blendv_epi8(out.g, keep.g, skip),
               _mm256_blendv_epi8(out.b, keep.b, skip), _mm256_blendv_epi8(out.a, keep.a, skip)};
}

Lanes Load(const Pixel64* at) {
  const I8* p = reinterpret_cast<const I8*>(at);
  return Split(_mm256_loadu_si256(p), _mm256_loadu_si256(p + 1));
}

void Store(Pixel64* at, const Lanes& l) {
  I8 w0, w1;
  Join(l, w0, w1);
  I8* p = reinterpret_cast<I8*>(at);
  _mm256_storeu_si256(p, w0);
  _mm256_storeu_si256(p + 1, w1);
}

// What a kernel stores over the target d for the composite out (see
// WriteRule).
Lanes Written(const Lanes& out, const Lanes& d, const WriteRule& rule) {
  Lanes w = rule.colorLock ? Lanes{d.r, d.g, d.b, out.a} : out;
  if (!rule.alphaWritable) {
    w.a = d.a;
    return w;
  }
  if (rule.alphaLevel != 0) w.a = Splat(rule.alphaLevel);
  if (rule.blobLock) {
    const I8 low = _mm256_set1_epi32(8192);
    const I8 keep = _mm256_or_si256(_mm256_cmpgt_epi32(low, d.a), _mm256_cmpgt_epi32(low, out.a));
    w.a = _mm256_blendv_epi8(w.a, d.a, keep);
  }
  return w;
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

namespace {

// The pick-up source of eight pixels: the blend buffer's pixels B, where an
// image brush's alpha bA != 65535 first thins the coverage V (to V bA /
// 65536, or 1 where V bA <= 65535) and then counts as 65535; then, when
// ps > 0, the dab colour's share (C ps + X ps') / 256 of every channel.
class PickupSource {
 public:
  explicit PickupSource(const PickupRow& row)
      : imageBrush_(row.imageBrush),
        primary_(row.primary > 0),
        psInverse_(Splat(static_cast<uint32_t>(row.primaryInverse))) {
    const I8 ps = Splat(static_cast<uint32_t>(row.primary));
    for (int c = 0; c < 4; ++c) share_[c] = Mul(Splat(row.color[c]), ps);
  }

  Lanes operator()(const Lanes& b, I8& v) const {
    const I8 full = _mm256_set1_epi32(65535);
    Lanes p = b;
    if (imageBrush_) {
      const I8 vb = Mul(v, b.a);
      const I8 thinned =
          _mm256_blendv_epi8(_mm256_set1_epi32(1), Shr16(vb), GreaterUnsigned(vb, full));
      v = _mm256_blendv_epi8(thinned, v, _mm256_cmpeq_epi32(b.a, full));
      p.a = full;
    }
    if (primary_) {
      auto share = [&](I8 c, I8 x) {
        return _mm256_min_epu32(Shr8(_mm256_add_epi32(c, Mul(x, psInverse_))), full);
      };
      p = Lanes{share(share_[0], p.r), share(share_[1], p.g), share(share_[2], p.b),
                share(share_[3], p.a)};
    }
    return p;
  }

 private:
  bool imageBrush_;
  bool primary_;
  I8 psInverse_;
  I8 share_[4];  // C ps
};

// The remix of source p and target d into the blend buffer (each strength
// at most 256, so every product stays below 2^32 and min() stands in for
// the clamp):
//   pA, dA != 0  B = (P bs + D bs') / 256 + 1, alpha (pA bs + dA bs') / 256;
//   dA = 0       B = P, alpha pA bs / 256;
//   pA = 0       B = D, alpha dA bs' / 256.
Lanes Remixed(const Lanes& p, const Lanes& d, const PickupRow& row) {
  const I8 full = _mm256_set1_epi32(65535);
  const I8 zero = _mm256_setzero_si256();
  const I8 bs = Splat(static_cast<uint32_t>(row.blend));
  const I8 bsInv = Splat(static_cast<uint32_t>(row.blendInverse));
  const I8 emptyD = _mm256_cmpeq_epi32(d.a, zero);
  const I8 emptyP = _mm256_cmpeq_epi32(p.a, zero);
  auto channel = [&](I8 pc, I8 dc) {
    const I8 both = _mm256_min_epu32(
        _mm256_add_epi32(Shr8(_mm256_add_epi32(Mul(pc, bs), Mul(dc, bsInv))), _mm256_set1_epi32(1)),
        full);
    return _mm256_blendv_epi8(_mm256_blendv_epi8(both, pc, emptyD), dc, emptyP);
  };
  // Where dA = 0 or pA = 0 the two products' sum is the one product.
  const I8 alpha = _mm256_min_epu32(Shr8(_mm256_add_epi32(Mul(p.a, bs), Mul(d.a, bsInv))), full);
  return Lanes{channel(p.r, d.r), channel(p.g, d.g), channel(p.b, d.b), alpha};
}

}  // namespace

// The pick-up dab, per pixel of coverage V with the pick-up source P
// (PickupSource) over the target D:
//   dA = 0     colour P, alpha V pA / 65536;
//   otherwise  alpha ((65536 - V) dA / 256 + V pA / 256) / 256, colour
//              (V P / 256 + (65536 - V) D / 256) / 256 where pA != 0, else D;
// then the remix of P and D (Remixed).
int32_t PickupRowAvx2(const uint32_t* cover, Pixel64* line, Pixel64* blend, int32_t n,
                      const PickupRow& row) noexcept {
  const I8 full1 = _mm256_set1_epi32(65536);
  const I8 zero = _mm256_setzero_si256();
  const PickupSource source(row);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    I8 skip;
    I8 v = LoadCover(cover + i, skip);
    if (_mm256_movemask_epi8(skip) == -1) continue;
    const Lanes d = Load(line + i);
    const Lanes b = Load(blend + i);
    const Lanes p = source(b, v);
    const I8 inverse = _mm256_sub_epi32(full1, v);
    const I8 emptyD = _mm256_cmpeq_epi32(d.a, zero);
    const I8 emptyP = _mm256_cmpeq_epi32(p.a, zero);
    auto mix = [&](I8 pc, I8 dc) {
      const I8 m = Shr8(_mm256_add_epi32(Shr8(Mul(v, pc)), Shr8(Mul(inverse, dc))));
      return _mm256_blendv_epi8(_mm256_blendv_epi8(m, dc, emptyP), pc, emptyD);
    };
    const I8 mixedA = Shr8(_mm256_add_epi32(Shr8(Mul(inverse, d.a)), Shr8(Mul(v, p.a))));
    const Lanes out{mix(p.r, d.r), mix(p.g, d.g), mix(p.b, d.b),
                    _mm256_blendv_epi8(mixedA, Shr16(Mul(v, p.a)), emptyD)};
    Store(line + i, Select(Written(out, d, row.write), d, skip));
    if (row.remix) Store(blend + i, Select(Remixed(p, d, row), b, skip));
  }
  return i;
}

namespace {

// Lanes 0..3 and 4..7 as doubles, and back.
__m256d Low(I8 x) {
  return _mm256_cvtepi32_pd(_mm256_castsi256_si128(x));
}

__m256d High(I8 x) {
  return _mm256_cvtepi32_pd(_mm256_extracti128_si256(x, 1));
}

I8 Truncate(__m256d low, __m256d high) {
  return _mm256_set_m128i(_mm256_cvttpd_epi32(high), _mm256_cvttpd_epi32(low));
}

// min(floor(n / q), 65535) for whole n below 2^32 and q < 2^21, in double
// precision: the quotient is rounded correctly and no whole number lies
// within its rounding error, so truncating it is exact. (q = 0 gives
// 65535; the callers choose their own result there.)
I8 Quotient(__m256d nLow, __m256d nHigh, __m256d qLow, __m256d qHigh) {
  const __m256d cap = _mm256_set1_pd(65535.0);
  return Truncate(_mm256_min_pd(_mm256_div_pd(nLow, qLow), cap),
                  _mm256_min_pd(_mm256_div_pd(nHigh, qHigh), cap));
}

// X of a separable formula mode for source channel p and target channel d,
// each 0..65535; the result is clamped to 0..65535 by the caller. Products
// of two channels stay below 2^32; the divisions and soft light run in
// double precision with the scalar path's operations in its order.
template <int32_t kMode>
I8 FormulaX(I8 p, I8 d) {
  const I8 full = _mm256_set1_epi32(65535);
  const I8 zero = _mm256_setzero_si256();
  switch (kMode) {
    case 34:  // screen
      return _mm256_sub_epi32(full,
                              Shr16(Mul(_mm256_sub_epi32(full, d), _mm256_sub_epi32(full, p))));
    case 35:
      return _mm256_min_epi32(d, p);
    case 36:
      return _mm256_max_epi32(d, p);
    case 37:
      return _mm256_abs_epi32(_mm256_sub_epi32(d, p));
    case 38:
      return _mm256_sub_epi32(full,
                              _mm256_abs_epi32(_mm256_sub_epi32(_mm256_sub_epi32(full, d), p)));
    case 39:
      return _mm256_sub_epi32(_mm256_add_epi32(d, p), _mm256_srli_epi32(Mul(p, d), 15));
    case 40:
    case 41: {
      // Multiply below the middle, screen above; decided by D (overlay) or
      // by P (hard light).
      const I8 low = _mm256_srli_epi32(Mul(p, d), 15);
      const I8 high = _mm256_sub_epi32(
          full, _mm256_srli_epi32(Mul(_mm256_sub_epi32(full, d), _mm256_sub_epi32(full, p)), 15));
      const I8 by = kMode == 40 ? d : p;
      return _mm256_blendv_epi8(high, low, _mm256_cmpgt_epi32(_mm256_set1_epi32(32767), by));
    }
    case 42: {  // soft light
      const __m256d scale = _mm256_set1_pd(65535);
      const __m256d two = _mm256_set1_pd(2);
      const __m256d oneD = _mm256_set1_pd(1);
      auto soft = [&](__m256d pf, __m256d df) {
        pf = _mm256_div_pd(pf, scale);
        df = _mm256_div_pd(df, scale);
        const __m256d twoP = _mm256_mul_pd(two, pf);
        const __m256d dark =
            _mm256_mul_pd(df, _mm256_add_pd(twoP, _mm256_mul_pd(_mm256_sub_pd(oneD, twoP), df)));
        const __m256d light =
            _mm256_add_pd(_mm256_mul_pd(_mm256_sqrt_pd(df), _mm256_sub_pd(twoP, oneD)),
                          _mm256_mul_pd(_mm256_mul_pd(_mm256_sub_pd(oneD, pf), two), df));
        const __m256d below = _mm256_cmp_pd(pf, _mm256_set1_pd(0.5), _CMP_LT_OQ);
        return _mm256_mul_pd(_mm256_blendv_pd(light, dark, below), scale);
      };
      return Truncate(soft(Low(p), Low(d)), soft(High(p), High(d)));
    }
    case 43: {  // colour dodge
      const __m256d shift = _mm256_set1_pd(65536);
      const I8 q = _mm256_sub_epi32(full, p);
      const I8 x =
          Quotient(_mm256_mul_pd(Low(d), shift), _mm256_mul_pd(High(d), shift), Low(q), High(q));
      return _mm256_blendv_epi8(x, full, _mm256_cmpeq_epi32(p, full));
    }
    case 44: {  // colour burn
      const __m256d shift = _mm256_set1_pd(65536);
      const I8 under = _mm256_sub_epi32(full, d);
      const I8 x =
          _mm256_sub_epi32(full, Quotient(_mm256_mul_pd(Low(under), shift),
                                          _mm256_mul_pd(High(under), shift), Low(p), High(p)));
      return _mm256_blendv_epi8(x, zero, _mm256_cmpeq_epi32(p, zero));
    }
    case 45: {  // reflect
      const I8 q = _mm256_sub_epi32(full, p);
      const __m256d low = Low(d), high = High(d);
      const I8 x = Quotient(_mm256_mul_pd(low, low), _mm256_mul_pd(high, high), Low(q), High(q));
      return _mm256_blendv_epi8(x, full, _mm256_cmpeq_epi32(p, full));
    }
    case 46: {  // glow
      const I8 q = _mm256_sub_epi32(full, d);
      const __m256d low = Low(p), high = High(p);
      const I8 x = Quotient(_mm256_mul_pd(low, low), _mm256_mul_pd(high, high), Low(q), High(q));
      return _mm256_blendv_epi8(x, full, _mm256_cmpeq_epi32(d, full));
    }
    case 47:
      return _mm256_min_epi32(_mm256_add_epi32(p, d), full);
    default:  // 48
      return _mm256_max_epi32(_mm256_sub_epi32(_mm256_add_epi32(d, p), full), zero);
  }
}

// A formula mode's dab, per pixel of coverage V with source P (the dab
// colour, or with a pick-up PickupSource):
//   D pre-tinted towards P where dA is partial (k = min(((65535 - dA) V /
//   65536) 3, 65535), D = (P k / 256 + (65535 - k) D / 256) / 256), D = P
//   where dA = 0;
//   Y = ((P a') / 16 + (a X) / 16) / 16 per channel, X the mode's formula;
//   V = 65535: Y and pA outright; otherwise colour
//   min((V Y / 256 + (65536 - V) D / 256) / 256 + 1, 65535) and alpha
//   (V pA / 256 + (65536 - V) dA / 256) / 256;
// with a pick-up, then the remix of P and the pre-tinted D (Remixed).
template <int32_t kMode, bool kPickup>
int32_t MixRowOf(const uint32_t* cover, Pixel64* line, Pixel64* blend, int32_t n, const MixRow& row,
                 const PickupRow* pickup) {
  const I8 full = _mm256_set1_epi32(65535);
  const I8 full1 = _mm256_set1_epi32(65536);
  const I8 zero = _mm256_setzero_si256();
  const I8 one = _mm256_set1_epi32(1);
  const Lanes color{Splat(row.color[0]), Splat(row.color[1]), Splat(row.color[2]),
                    Splat(row.color[3])};
  const I8 amount = Splat(static_cast<uint32_t>(row.amount));
  const I8 inverseAmount = Splat(static_cast<uint32_t>(row.inverse));
  const PickupSource source(kPickup ? *pickup : PickupRow{});
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    I8 skip;
    I8 v = LoadCover(cover + i, skip);
    if (_mm256_movemask_epi8(skip) == -1) continue;
    const Lanes d = Load(line + i);
    Lanes b{};
    Lanes p = color;
    if constexpr (kPickup) {
      b = Load(blend + i);
      p = source(b, v);
    }
    const I8 emptyD = _mm256_cmpeq_epi32(d.a, zero);
    const I8 partial = _mm256_andnot_si256(_mm256_or_si256(emptyD, _mm256_cmpeq_epi32(d.a, full)),
                                           _mm256_set1_epi32(-1));
    const I8 third = Shr16(Mul(_mm256_sub_epi32(full, d.a), v));
    const I8 k = _mm256_min_epu32(_mm256_add_epi32(third, _mm256_add_epi32(third, third)), full);
    const I8 kInv = _mm256_sub_epi32(full, k);
    const I8 inverse = _mm256_sub_epi32(full1, v);
    const I8 whole = _mm256_cmpgt_epi32(v, _mm256_set1_epi32(65534));
    const I8 pc[3] = {p.r, p.g, p.b};
    const I8 dc[3] = {d.r, d.g, d.b};
    I8 res[3], under[3];
    for (int c = 0; c < 3; ++c) {
      const I8 tinted = Shr8(_mm256_add_epi32(Shr8(Mul(pc[c], k)), Shr8(Mul(kInv, dc[c]))));
      under[c] = _mm256_blendv_epi8(_mm256_blendv_epi8(dc[c], tinted, partial), pc[c], emptyD);
      const I8 x = _mm256_min_epi32(_mm256_max_epi32(FormulaX<kMode>(pc[c], under[c]), zero), full);
      const I8 kept = _mm256_srli_epi32(Mul(pc[c], inverseAmount), 4);  // (P a') / 16
      const I8 y = _mm256_min_epi32(
          _mm256_srli_epi32(_mm256_add_epi32(kept, _mm256_srli_epi32(Mul(amount, x), 4)), 4), full);
      const I8 mixed = _mm256_min_epu32(
          _mm256_add_epi32(Shr8(_mm256_add_epi32(Shr8(Mul(v, y)), Shr8(Mul(inverse, under[c])))),
                           one),
          full);
      res[c] = _mm256_blendv_epi8(mixed, y, whole);
    }
    const I8 mixedA = Shr8(_mm256_add_epi32(Shr8(Mul(v, p.a)), Shr8(Mul(inverse, d.a))));
    const Lanes out{res[0], res[1], res[2], _mm256_blendv_epi8(mixedA, p.a, whole)};
    Store(line + i, Select(Written(out, d, row.write), d, skip));
    if constexpr (kPickup) {
      if (pickup->remix) {
        const Lanes tinted{under[0], under[1], under[2], d.a};
        Store(blend + i, Select(Remixed(p, tinted, *pickup), b, skip));
      }
    }
  }
  return i;
}

template <bool kPickup>
int32_t MixRowFor(const uint32_t* cover, Pixel64* line, Pixel64* blend, int32_t n,
                  const MixRow& row, const PickupRow* pickup) {
  switch (row.mode) {
    case 34:
      return MixRowOf<34, kPickup>(cover, line, blend, n, row, pickup);
    case 35:
      return MixRowOf<35, kPickup>(cover, line, blend, n, row, pickup);
    case 36:
      return MixRowOf<36, kPickup>(cover, line, blend, n, row, pickup);
    case 37:
      return MixRowOf<37, kPickup>(cover, line, blend, n, row, pickup);
    case 38:
      return MixRowOf<38, kPickup>(cover, line, blend, n, row, pickup);
    case 39:
      return MixRowOf<39, kPickup>(cover, line, blend, n, row, pickup);
    case 40:
      return MixRowOf<40, kPickup>(cover, line, blend, n, row, pickup);
    case 41:
      return MixRowOf<41, kPickup>(cover, line, blend, n, row, pickup);
    case 42:
      return MixRowOf<42, kPickup>(cover, line, blend, n, row, pickup);
    case 43:
      return MixRowOf<43, kPickup>(cover, line, blend, n, row, pickup);
    case 44:
      return MixRowOf<44, kPickup>(cover, line, blend, n, row, pickup);
    case 45:
      return MixRowOf<45, kPickup>(cover, line, blend, n, row, pickup);
    case 46:
      return MixRowOf<46, kPickup>(cover, line, blend, n, row, pickup);
    case 47:
      return MixRowOf<47, kPickup>(cover, line, blend, n, row, pickup);
    case 48:
      return MixRowOf<48, kPickup>(cover, line, blend, n, row, pickup);
    default:
      return 0;
  }
}

}  // namespace

int32_t MixRowAvx2(const uint32_t* cover, Pixel64* line, Pixel64* blend, int32_t n,
                   const MixRow& row, const PickupRow* pickup) noexcept {
  return pickup ? MixRowFor<true>(cover, line, blend, n, row, pickup)
                : MixRowFor<false>(cover, line, nullptr, n, row, nullptr);
}

// The pick-up, per pixel with source S, mask value m and weight w (w' =
// 256 - w): k = 65535 where m = 65535, else m 65535 / 65536; the weighted
// alpha a = trunc(k / 65535.0 x sA), in double precision as the scalar
// path (the same two rounded operations, so the same result); a != 0:
// colour min((w C + w' S) / 256 + 1, 65280), alpha (w cA + w' a) / 256;
// a = 0: the current colour C with the empty alpha.
int32_t BlendCopyRowAvx2(const Pixel64* in, const Mask16* mask, Pixel64* out, int32_t n,
                         const BlendCopyRow& row) noexcept {
  const I8 zero = _mm256_setzero_si256();
  const I8 full = _mm256_set1_epi32(65535);
  const I8 top = _mm256_set1_epi32(65280);
  const I8 one = _mm256_set1_epi32(1);
  const I8 order = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
  const uint32_t w = static_cast<uint32_t>(row.weight);
  const I8 inv = Splat(256 - w);
  const Lanes c{Splat(row.color[0]), Splat(row.color[1]), Splat(row.color[2]),
                Splat(row.emptyAlpha)};
  const I8 wc[3] = {Splat(w * row.color[0]), Splat(w * row.color[1]), Splat(w * row.color[2])};
  const I8 wA = Splat(w * row.color[3]);
  const __m256d scale = _mm256_set1_pd(65535.0);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const Lanes s = Load(in + i);
    I8 a = s.a;
    if (mask) {
      const I8 m = _mm256_permutevar8x32_epi32(
          _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i))),
          order);
      const I8 open = _mm256_cmpeq_epi32(m, full);
      if (_mm256_movemask_epi8(open) != -1) {
        const I8 k = _mm256_blendv_epi8(Shr16(Mul(m, full)), full, open);
        auto weigh = [&](__m128i k4, __m128i a4) {
          return _mm256_cvttpd_epi32(
              _mm256_mul_pd(_mm256_div_pd(_mm256_cvtepi32_pd(k4), scale), _mm256_cvtepi32_pd(a4)));
        };
        a = _mm256_set_m128i(
            weigh(_mm256_extracti128_si256(k, 1), _mm256_extracti128_si256(s.a, 1)),
            weigh(_mm256_castsi256_si128(k), _mm256_castsi256_si128(s.a)));
      }
    }
    auto mix = [&](I8 wcc, I8 sc) {
      return _mm256_min_epu32(_mm256_add_epi32(Shr8(_mm256_add_epi32(wcc, Mul(inv, sc))), one),
                              top);
    };
    const Lanes mixed{mix(wc[0], s.r), mix(wc[1], s.g), mix(wc[2], s.b),
                      Shr8(_mm256_add_epi32(wA, Mul(inv, a)))};
    Store(out + i, Select(mixed, c, _mm256_cmpeq_epi32(a, zero)));
  }
  return i;
}

}  // namespace dro::brush

#else

namespace dro::brush {

int32_t PlainRowAvx2(const uint32_t*, Pixel64*, int32_t, const uint32_t[4]) noexcept {
  return 0;
}

int32_t PickupRowAvx2(const uint32_t*, Pixel64*, Pixel64*, int32_t, const PickupRow&) noexcept {
  return 0;
}

int32_t MixRowAvx2(const uint32_t*, Pixel64*, Pixel64*, int32_t, const MixRow&,
                   const PickupRow*) noexcept {
  return 0;
}

int32_t BlendCopyRowAvx2(const Pixel64*, const Mask16*, Pixel64*, int32_t,
                         const BlendCopyRow&) noexcept {
  return 0;
}

}  // namespace dro::brush

#endif
