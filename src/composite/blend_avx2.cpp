// AVX2 row kernels of the layer blend, eight pixels at a time.
//
// Built with -mavx2 (and without FMA contraction); reached only through
// Avx2Rows() after the dispatcher has checked the CPU. Every kernel performs
// exactly the reference's float operations in the same order, lane by lane:
// the same divisions (no reciprocals), the same operand order for min/max
// (minps(a, b) is a < b ? a : b), ordered comparisons and truncating
// conversions, so results are bit-identical. Pixels that take an integer
// shortcut in the reference are computed in float too and then replaced by
// lane selects; whatever the float lanes held there is discarded.
//
// Everything here has internal linkage: no function compiled with AVX2 may
// be picked by the linker for code that runs on older CPUs.
#include "composite/blend_kernels.h"

#if defined(__AVX2__)
#include <immintrin.h>

#include "base/lanes_avx2.h"

namespace dro::composite::blend {
namespace {

using F8 = __m256;
using I8 = __m256i;

// --- lanes --------------------------------------------------------------

// Eight pixels as four channels of 32-bit lanes (see engine/lanes_avx2.h).
using lanes::Lanes;
using lanes::Split;

Lanes Load8(const Pixel64* p) {
  return Split(_mm256_loadu_si256(reinterpret_cast<const I8*>(p)),
               _mm256_loadu_si256(reinterpret_cast<const I8*>(p + 4)));
}

void Store8(Pixel64* p, const Lanes& l) {
  I8 v0, v1;
  lanes::Join(l, v0, v1);
  _mm256_storeu_si256(reinterpret_cast<I8*>(p), v0);
  _mm256_storeu_si256(reinterpret_cast<I8*>(p + 4), v1);
}

I8 Select(I8 otherwise, I8 chosen, I8 mask) {
  return _mm256_blendv_epi8(otherwise, chosen, mask);
}

// --- float helpers, one per scalar operation ---------------------------

F8 Set(float v) {
  return _mm256_set1_ps(v);
}
F8 Add(F8 a, F8 b) {
  return _mm256_add_ps(a, b);
}
F8 Sub(F8 a, F8 b) {
  return _mm256_sub_ps(a, b);
}
F8 Mul(F8 a, F8 b) {
  return _mm256_mul_ps(a, b);
}
F8 Div(F8 a, F8 b) {
  return _mm256_div_ps(a, b);
}
F8 Min(F8 a, F8 b) {  // a < b ? a : b
  return _mm256_min_ps(a, b);
}
F8 Max(F8 a, F8 b) {  // a > b ? a : b
  return _mm256_max_ps(a, b);
}
F8 Lt(F8 a, F8 b) {
  return _mm256_cmp_ps(a, b, _CMP_LT_OQ);
}
F8 Le(F8 a, F8 b) {
  return _mm256_cmp_ps(a, b, _CMP_LE_OQ);
}
F8 Ge(F8 a, F8 b) {
  return _mm256_cmp_ps(a, b, _CMP_GE_OQ);
}
F8 Pick(F8 otherwise, F8 chosen, F8 mask) {
  return _mm256_blendv_ps(otherwise, chosen, mask);
}
F8 Abs(F8 a) {
  return _mm256_andnot_ps(Set(-0.f), a);
}
F8 Float(I8 v) {
  return _mm256_cvtepi32_ps(v);
}
// x > 0 ? min(x, 1) : 0, NaN giving 0: maxps returns its second operand
// when either is NaN.
F8 Clamp01(F8 x) {
  return Min(Max(x, _mm256_setzero_ps()), Set(1.f));
}

// --- formulas -----------------------------------------------------------

struct VPixel {
  F8 sc[3];
  F8 dc[3];
  F8 sa;
  F8 da;
  F8 lum;
};

F8 PlusRest(F8 x, F8 sc, F8 dc, F8 sa, F8 da) {
  x = Add(x, Mul(sc, Sub(Set(1.f), da)));
  return Add(x, Mul(dc, Sub(Set(1.f), sa)));
}

F8 NormalAlpha(const VPixel& p) {
  return Add(p.da, Mul(Sub(Set(1.f), p.da), p.sa));
}

// A per-channel formula with the Normal alpha (or Sa + Da when kSumAlpha).
template <class Channel, bool kSumAlpha = false>
struct PerChannel {
  static constexpr bool kTexture = false;
  static constexpr bool kNeedsLum = false;
  static F8 Compose(const VPixel& p, F8 cr[3]) {
    for (int c = 0; c < 3; ++c) cr[c] = Channel::Apply(p.sc[c], p.dc[c], p.sa, p.da);
    return kSumAlpha ? Add(p.sa, p.da) : NormalAlpha(p);
  }
};

struct NormalC {
  static F8 Apply(F8 sc, F8 dc, F8 sa, F8) { return Add(sc, Mul(dc, Sub(Set(1.f), sa))); }
};
struct MultiplyC {
  static F8 Apply(F8 sc, F8 dc, F8 sa, F8 da) { return PlusRest(Mul(sc, dc), sc, dc, sa, da); }
};
struct ScreenC {
  static F8 Apply(F8 sc, F8 dc, F8, F8) { return Sub(Add(sc, dc), Mul(sc, dc)); }
};
struct DarkenC {
  static F8 Apply(F8 sc, F8 dc, F8 sa, F8 da) {
    return PlusRest(Min(Mul(sc, da), Mul(dc, sa)), sc, dc, sa, da);
  }
};
struct LightenC {
  static F8 Apply(F8 sc, F8 dc, F8 sa, F8 da) {
    return PlusRest(Max(Mul(sc, da), Mul(dc, sa)), sc, dc, sa, da);
  }
};
struct DifferenceC {
  static F8 Apply(F8 sc, F8 dc, F8 sa, F8 da) {
    return Sub(Add(sc, dc), Mul(Set(2.f), Min(Mul(sc, da), Mul(dc, sa))));
  }
};
struct ExclusionC {
  static F8 Apply(F8 sc, F8 dc, F8 sa, F8 da) {
    const F8 x = Sub(Add(Mul(sc, da), Mul(dc, sa)), Mul(Mul(Set(2.f), sc), dc));
    return PlusRest(x, sc, dc, sa, da);
  }
};
// Overlay and Hard Light share both branches and differ in the test.
F8 LightBranches(F8 test, F8 sc, F8 dc, F8 sa, F8 da) {
  const F8 low = PlusRest(Mul(Mul(Set(2.f), sc), dc), sc, dc, sa, da);
  const F8 high =
      PlusRest(Sub(Mul(sa, da), Mul(Mul(Set(2.f), Sub(da, dc)), Sub(sa, sc))), sc, dc, sa, da);
  return Pick(high, low, test);
}
struct OverlayC {
  static F8 Apply(F8 sc, F8 dc, F8 sa, F8 da) {
    return LightBranches(Lt(Mul(Set(2.f), dc), da), sc, dc, sa, da);
  }
};
struct HardLightC {
  static F8 Apply(F8 sc, F8 dc, F8 sa, F8 da) {
    return LightBranches(Lt(Mul(Set(2.f), sc), sa), sc, dc, sa, da);
  }
};
struct SoftLightC {
  static F8 Apply(F8 sc, F8 dc, F8 sa, F8 da) {
    const F8 m = Div(dc, da);
    const F8 twoScMinusSa = Sub(Mul(Set(2.f), sc), sa);
    const F8 oneMinusM = Sub(Set(1.f), m);
    const F8 first = PlusRest(Mul(dc, Add(sa, Mul(twoScMinusSa, oneMinusM))), sc, dc, sa, da);
    const F8 second = PlusRest(
        Mul(dc, Add(sa, Mul(Mul(twoScMinusSa, oneMinusM), Sub(Set(3.f), Mul(Set(8.f), m))))), sc,
        dc, sa, da);
    const F8 third = PlusRest(
        Add(Mul(dc, sa), Mul(Sub(Mul(_mm256_sqrt_ps(m), da), dc), twoScMinusSa)), sc, dc, sa, da);
    const F8 dark = Pick(third, second, Le(Mul(Set(8.f), dc), da));
    return Pick(dark, first, Lt(Mul(Set(2.f), sc), sa));
  }
};
struct DodgeC {
  static F8 Apply(F8 sc, F8 dc, F8 sa, F8 da) {
    const F8 full = Ge(Add(Mul(sc, da), Mul(dc, sa)), Mul(sa, da));
    const F8 top = PlusRest(Mul(sa, da), sc, dc, sa, da);
    const F8 ramp = PlusRest(Div(Mul(dc, sa), Sub(Set(1.f), Div(sc, sa))), sc, dc, sa, da);
    return Pick(ramp, top, full);
  }
};
struct BurnC {
  static F8 Apply(F8 sc, F8 dc, F8 sa, F8 da) {
    const F8 sum = Add(Mul(sc, da), Mul(dc, sa));
    const F8 none = Le(sum, Mul(sa, da));
    const F8 rest = PlusRest(_mm256_setzero_ps(), sc, dc, sa, da);
    const F8 ramp = PlusRest(Div(Mul(sa, Sub(sum, Mul(sa, da))), sc), sc, dc, sa, da);
    return Pick(ramp, rest, none);
  }
};
struct AddC {
  static F8 Apply(F8 sc, F8 dc, F8, F8) { return Add(sc, dc); }
};
struct SubtractC {
  static F8 Apply(F8 sc, F8 dc, F8 sa, F8 da) { return Sub(Add(sc, dc), Mul(sa, da)); }
};

struct Texturize2F {
  static constexpr bool kTexture = true;
  static constexpr bool kNeedsLum = true;
  static F8 Compose(const VPixel& p, F8 cr[3]) {
    const F8 k = Mul(Mul(p.sa, Set(1.75f)), Abs(Sub(p.lum, Set(0.5f))));
    const F8 up = Ge(p.lum, Set(0.5f));
    for (int c = 0; c < 3; ++c) {
      const F8 straight = Div(p.dc[c], p.da);
      cr[c] = Pick(Sub(straight, k), Add(straight, k), up);
    }
    return p.da;
  }
};
struct TexturizeF {
  static constexpr bool kTexture = true;
  static constexpr bool kNeedsLum = true;
  static F8 Compose(const VPixel& p, F8 cr[3]) {
    F8 straight[3];
    for (int c = 0; c < 3; ++c) straight[c] = Div(p.dc[c], p.da);
    const F8 mean = Div(Add(Add(straight[0], straight[1]), straight[2]), Set(3.f));
    const F8 avg = Add(mean, Mul(p.sa, Sub(p.lum, Set(0.5f))));
    const F8 k = Mul(Mul(p.sa, Set(1.75f)), Abs(Sub(avg, Set(0.5f))));
    const F8 up = Ge(avg, Set(0.5f));
    for (int c = 0; c < 3; ++c) cr[c] = Pick(Sub(straight[c], k), Add(straight[c], k), up);
    return p.da;
  }
};
struct Texturize3F {
  static constexpr bool kTexture = true;
  static constexpr bool kNeedsLum = false;
  static F8 Compose(const VPixel& p, F8 cr[3]) {
    for (int c = 0; c < 3; ++c) cr[c] = p.dc[c];
    return p.da;
  }
};

// --- the row kernel -----------------------------------------------------

// Steps 2 and 3 of the merge on eight alphas: layer mask and opacity.
[[gnu::always_inline]] inline I8 MaskedAlpha(I8 a, const Pixel64* mask, const RowParams& p) {
  if (mask) {
    const Lanes m = Load8(mask);
    const I8 sum = _mm256_add_epi32(_mm256_add_epi32(m.r, m.g), m.b);
    // sum < 2^18: the float quotient truncates to the integer quotient.
    const I8 grey = _mm256_cvttps_epi32(Div(Float(sum), Set(3.f)));
    const I8 masked = _mm256_srli_epi32(_mm256_mullo_epi32(a, grey), 16);
    a = Select(a, masked, _mm256_cmpgt_epi32(m.a, _mm256_setzero_si256()));
  }
  if (p.opacity < 255) {
    a = _mm256_srli_epi32(_mm256_mullo_epi32(a, _mm256_set1_epi32(p.opacity + 1)), 8);
  }
  return a;
}

// Steps 5 to 8 for eight pixels: the source colours s.r, s.g, s.b with the
// alpha `a` (after mask, opacity and any transform) onto dst. s.a is the
// untouched source alpha, read only for the skip.
// kSkip: modes 0..20 leave pixels with source alpha 0 alone.
// kOpaque: mode 0 stores an opaque source as it is.
// Inlined into every block, which keeps its lanes in registers.
template <class F, bool kSkip, bool kOpaque>
[[gnu::always_inline]] inline void Composite(const Lanes& s, I8 a, Pixel64* dst,
                                             const RowParams& p) {
  const Lanes d = Load8(dst);

  VPixel vp;
  vp.sa = Div(Float(a), Set(65535.f));
  vp.da = Div(Float(d.a), Set(65535.f));
  const I8 sIn[3] = {s.r, s.g, s.b};
  const I8 dIn[3] = {d.r, d.g, d.b};
  for (int c = 0; c < 3; ++c) {
    vp.sc[c] = Div(Mul(Float(sIn[c]), vp.sa), Set(65280.f));
    vp.dc[c] = Div(Mul(Float(dIn[c]), vp.da), Set(65280.f));
  }
  if (F::kNeedsLum) {
    vp.lum = Div(Float(_mm256_add_epi32(_mm256_add_epi32(s.r, s.g), s.b)), Set(195840.f));
  } else {
    vp.lum = _mm256_setzero_ps();
  }
  F8 cr[3];
  const F8 alpha = Clamp01(F::Compose(vp, cr));
  Lanes out;
  out.r = _mm256_cvttps_epi32(Mul(Clamp01(Div(cr[0], alpha)), Set(65280.f)));
  out.g = _mm256_cvttps_epi32(Mul(Clamp01(Div(cr[1], alpha)), Set(65280.f)));
  out.b = _mm256_cvttps_epi32(Mul(Clamp01(Div(cr[2], alpha)), Set(65280.f)));
  out.a = _mm256_cvttps_epi32(Mul(alpha, Set(65535.f)));

  const I8 zero = _mm256_setzero_si256();
  if (kOpaque) {
    const I8 opaque = _mm256_cmpgt_epi32(a, _mm256_set1_epi32(65279));
    out.r = Select(out.r, s.r, opaque);
    out.g = Select(out.g, s.g, opaque);
    out.b = Select(out.b, s.b, opaque);
    out.a = Select(out.a, a, opaque);
  }
  const I8 empty = _mm256_cmpeq_epi32(d.a, zero);
  out.r = Select(out.r, F::kTexture ? zero : s.r, empty);
  out.g = Select(out.g, F::kTexture ? zero : s.g, empty);
  out.b = Select(out.b, F::kTexture ? zero : s.b, empty);
  out.a = Select(out.a, F::kTexture ? zero : a, empty);
  if (kSkip) {
    const I8 untouched = _mm256_cmpeq_epi32(s.a, zero);
    out.r = Select(out.r, d.r, untouched);
    out.g = Select(out.g, d.g, untouched);
    out.b = Select(out.b, d.b, untouched);
    out.a = Select(out.a, d.a, untouched);
  }
  if (p.keepAlpha) out.a = d.a;
  Store8(dst, out);
}

template <class F, bool kSkip, bool kOpaque>
void Block(const Pixel64* src, const Pixel64* mask, Pixel64* dst, const RowParams& p) {
  const I8 v0 = _mm256_loadu_si256(reinterpret_cast<const I8*>(src));
  const I8 v1 = _mm256_loadu_si256(reinterpret_cast<const I8*>(src + 4));
  const I8 alphaWords = _mm256_set1_epi64x(static_cast<int64_t>(0xFFFF000000000000ull));
  if (kSkip && _mm256_testz_si256(_mm256_or_si256(v0, v1), alphaWords)) return;
  if (kOpaque && !mask && p.opacity >= 255 && !p.keepAlpha) {
    // Every alpha >= 65280 means every alpha high byte is 0xFF.
    const I8 opaque = _mm256_set1_epi64x(static_cast<int64_t>(0xFF00000000000000ull));
    if (_mm256_testc_si256(_mm256_and_si256(v0, v1), opaque)) {
      _mm256_storeu_si256(reinterpret_cast<I8*>(dst), v0);
      _mm256_storeu_si256(reinterpret_cast<I8*>(dst + 4), v1);
      return;
    }
  }
  const Lanes s = Split(v0, v1);
  Composite<F, kSkip, kOpaque>(s, MaskedAlpha(s.a, mask, p), dst, p);
}

using BlockFn = void (*)(const Pixel64*, const Pixel64*, Pixel64*, const RowParams&);

template <BlockFn kBlock>
void BlockRow(const Pixel64* src, const Pixel64* mask, Pixel64* dst, int32_t n,
              const RowParams& p) {
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) kBlock(src + i, mask ? mask + i : nullptr, dst + i, p);
  if (i == n) return;
  // The last few pixels go through the same block in local copies; the
  // padding lanes are transparent on both sides and never written back.
  Pixel64 s[8] = {}, m[8] = {}, d[8] = {};
  const int32_t rest = n - i;
  for (int32_t k = 0; k < rest; ++k) {
    s[k] = src[i + k];
    if (mask) m[k] = mask[i + k];
    d[k] = dst[i + k];
  }
  kBlock(s, mask ? m : nullptr, d, p);
  for (int32_t k = 0; k < rest; ++k) dst[i + k] = d[k];
}

template <class F, bool kSkip, bool kOpaque>
void Row(const Pixel64* src, const Pixel64* mask, Pixel64* dst, int32_t n, const RowParams& p) {
  BlockRow<Block<F, kSkip, kOpaque>>(src, mask, dst, n, p);
}

// --- the luminance-scaling alpha modes (31..35) ---------------------------

// Their colour scale darkens each channel X by X * (P - A) / darkDivisor
// when A <= P and brightens it by (65535 - X) * (A - P) / brightDivisor
// above, in double precision, truncated and held to 0..65535; the alpha then
// becomes a step or a ramp. The doubles run four lanes at a time through
// the same operations as the scalar code: the product (exact, below 2^32),
// one true division, then the subtraction or addition.
using D4 = __m256d;

template <int32_t kPivot, int32_t kDarkDivisor, int32_t kBrightDivisor, bool kRamp>
struct LumScaleRule {
  // Four of the eight lanes (half 0 or 1) of one channel.
  static __m128i Half(I8 x, I8 factor, I8 dark, int half) {
    const __m128i x4 = half ? _mm256_extracti128_si256(x, 1) : _mm256_castsi256_si128(x);
    const __m128i f4 = half ? _mm256_extracti128_si256(factor, 1) : _mm256_castsi256_si128(factor);
    const __m128i dark4 = half ? _mm256_extracti128_si256(dark, 1) : _mm256_castsi256_si128(dark);
    const D4 darkLanes = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(dark4));
    const D4 xd = _mm256_cvtepi32_pd(x4);
    // Darkening scales X, brightening the room left above it.
    const D4 base = _mm256_blendv_pd(_mm256_sub_pd(_mm256_set1_pd(65535.0), xd), xd, darkLanes);
    const D4 divisor =
        _mm256_blendv_pd(_mm256_set1_pd(kBrightDivisor), _mm256_set1_pd(kDarkDivisor), darkLanes);
    const D4 step = _mm256_div_pd(_mm256_mul_pd(base, _mm256_cvtepi32_pd(f4)), divisor);
    const D4 moved = _mm256_blendv_pd(_mm256_add_pd(xd, step), _mm256_sub_pd(xd, step), darkLanes);
    return _mm256_cvttpd_epi32(moved);  // |moved| < 2^18, truncating toward zero
  }

  static I8 Channel(I8 x, I8 factor, I8 dark) {
    const I8 t = _mm256_set_m128i(Half(x, factor, dark, 1), Half(x, factor, dark, 0));
    return _mm256_min_epi32(_mm256_max_epi32(t, _mm256_setzero_si256()), _mm256_set1_epi32(65535));
  }

  static I8 Alpha(I8 a) {
    const I8 kept = _mm256_cmpgt_epi32(a, _mm256_set1_epi32(8190));
    I8 out = _mm256_set1_epi32(65535);
    if (kRamp) {
      // 65535 - min(64 * (9215 - A), 65535) below 9215, 65535 from there on.
      const I8 below =
          _mm256_max_epi32(_mm256_sub_epi32(_mm256_set1_epi32(9215), a), _mm256_setzero_si256());
      const I8 drop = _mm256_min_epi32(_mm256_slli_epi32(below, 6), out);
      out = _mm256_sub_epi32(out, drop);
    }
    return _mm256_and_si256(out, kept);
  }

  static void Block(const Pixel64* src, const Pixel64* mask, Pixel64* dst, const RowParams& p) {
    Lanes s = Load8(src);
    const I8 a = MaskedAlpha(s.a, mask, p);
    const I8 pivot = _mm256_set1_epi32(kPivot);
    const I8 dark = _mm256_cmpgt_epi32(_mm256_add_epi32(pivot, _mm256_set1_epi32(1)), a);
    const I8 factor = _mm256_abs_epi32(_mm256_sub_epi32(pivot, a));
    s.r = Channel(s.r, factor, dark);
    s.g = Channel(s.g, factor, dark);
    s.b = Channel(s.b, factor, dark);
    s.a = Alpha(a);
    // An empty destination takes the transformed source as it is: spare
    // the float composite when the whole block is empty.
    const I8 d0 = _mm256_loadu_si256(reinterpret_cast<const I8*>(dst));
    const I8 d1 = _mm256_loadu_si256(reinterpret_cast<const I8*>(dst + 4));
    const I8 alphaWords = _mm256_set1_epi64x(static_cast<int64_t>(0xFFFF000000000000ull));
    if (_mm256_testz_si256(_mm256_or_si256(d0, d1), alphaWords)) {
      if (p.keepAlpha) s.a = _mm256_setzero_si256();
      Store8(dst, s);
      return;
    }
    Composite<PerChannel<NormalC>, false, false>(s, s.a, dst, p);
  }
};

template <class Rule>
void LumScaleRow(const Pixel64* src, const Pixel64* mask, Pixel64* dst, int32_t n,
                 const RowParams& p) {
  BlockRow<&Rule::Block>(src, mask, dst, n, p);
}

// The alpha family: the shared integer front transforms a slice of source
// pixels, then the slice composites with no skip, mask or opacity left.
template <class F>
void AlphaRow(const Pixel64* src, const Pixel64* mask, Pixel64* dst, int32_t n,
              const RowParams& p) {
  constexpr int32_t kSlice = 128;
  Pixel64 slice[kSlice];
  RowParams composite;
  composite.mode = p.mode;
  composite.opacity = 256;
  composite.keepAlpha = p.keepAlpha;
  for (int32_t i = 0; i < n; i += kSlice) {
    const int32_t k = n - i < kSlice ? n - i : kSlice;
    PrepareAlphaFamily(src + i, mask ? mask + i : nullptr, k, p.mode, p.opacity, slice);
    Row<F, false, false>(slice, nullptr, dst + i, k, composite);
  }
}

using NormalF = PerChannel<NormalC>;

constexpr RowFn kRows[kModeCount] = {
    Row<NormalF, true, true>,                               // 0 Normal
    Row<PerChannel<MultiplyC>, true, false>,                // 1
    Row<PerChannel<ScreenC>, true, false>,                  // 2
    Row<PerChannel<DarkenC>, true, false>,                  // 3
    Row<PerChannel<LightenC>, true, false>,                 // 4
    Row<PerChannel<DifferenceC>, true, false>,              // 5
    Row<PerChannel<ExclusionC>, true, false>,               // 6 Negation
    Row<PerChannel<ExclusionC>, true, false>,               // 7 Exclusion
    Row<PerChannel<OverlayC>, true, false>,                 // 8
    Row<PerChannel<HardLightC>, true, false>,               // 9
    Row<PerChannel<SoftLightC>, true, false>,               // 10
    Row<PerChannel<DodgeC>, true, false>,                   // 11
    Row<PerChannel<BurnC>, true, false>,                    // 12
    Row<NormalF, true, false>,                              // 13 Reflect
    Row<NormalF, true, false>,                              // 14 Glow
    Row<PerChannel<AddC, true>, true, false>,               // 15
    Row<PerChannel<SubtractC, true>, true, false>,          // 16
    Row<TexturizeF, true, false>,                           // 17
    Row<Texturize2F, true, false>,                          // 18
    Row<Texturize3F, true, false>,                          // 19
    Row<NormalF, true, false>,                              // 20 unnamed
    AlphaRow<NormalF>,                                      // 21
    AlphaRow<NormalF>,                                      // 22
    AlphaRow<NormalF>,                                      // 23
    AlphaRow<NormalF>,                                      // 24
    AlphaRow<NormalF>,                                      // 25
    AlphaRow<NormalF>,                                      // 26
    AlphaRow<NormalF>,                                      // 27
    AlphaRow<Texturize2F>,                                  // 28 Alpha Shader Texture2
    AlphaRow<Texturize2F>,                                  // 29 Alpha Highlight Texture2
    AlphaRow<NormalF>,                                      // 30
    LumScaleRow<LumScaleRule<32767, 32767, 32767, false>>,  // 31 Alpha Smooth Lum
    LumScaleRow<LumScaleRule<32767, 65535, 32767, false>>,  // 32 Alpha Smooth Lum2
    LumScaleRow<LumScaleRule<36862, 30000, 28672, false>>,  // 33 Alpha Smooth Lum3
    LumScaleRow<LumScaleRule<36862, 30000, 28672, true>>,   // 34 Alpha Smooth Lum4
    LumScaleRow<LumScaleRule<32767, 32767, 32767, true>>,   // 35 Alpha Smooth Lum5
    AlphaRow<NormalF>,                                      // 36
    AlphaRow<NormalF>,                                      // 37
    AlphaRow<NormalF>,                                      // 38
    AlphaRow<NormalF>,                                      // 39
    AlphaRow<NormalF>,                                      // 40
};

}  // namespace

const RowFn* Avx2Rows() noexcept {
  return kRows;
}

}  // namespace dro::composite::blend

#else  // built without AVX2 (another architecture): no fast paths

const dro::composite::blend::RowFn* dro::composite::blend::Avx2Rows() noexcept {
  return nullptr;
}

#endif
