// AVX2 fast path of the display compositor, eight pixels at a time: the
// plain pixels shown as they are, the top-down start, one Normal-formula
// layer composed onto the running results, and the finish to BGR bytes.
//
// Built with -mavx2 and without FMA contraction; called only after the CPU
// check. Each lane performs the scalar compositor's operations in its order:
// the same single-precision divisions (no reciprocals), ordered comparisons
// for the clamps, exact integer steps for the alpha rules. The only
// divisions left out are those whose result is known bit for bit: a
// quotient already worked out for the same operands, and a division by
// exactly 1. The integer shortcuts (an empty result takes the pixel, a
// covering pixel replaces it) are lane selects over the float lanes, whose
// values are then discarded.
// Nothing here is inline or templated, so no AVX2 code can stand in for
// code that runs on older CPUs.
#include "composite/render_lanes.h"

#if defined(__AVX2__)
#include <immintrin.h>

#include "base/lanes_avx2.h"

namespace dro::composite::detail {
namespace {

using F8 = __m256;
using I8 = __m256i;

// Split() leaves the pixels in lane order 0 1 4 5 2 3 6 7; this order swaps
// them back (the permutation is its own inverse).
I8 InPixelOrder(I8 v) {
  return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
}

// x > 0 ? x : 0, then x < 1 ? x : 1, as the scalar clamp (NaN becomes 0).
F8 Clamp01(F8 x) {
  const F8 low = _mm256_and_ps(x, _mm256_cmp_ps(x, _mm256_setzero_ps(), _CMP_GT_OQ));
  const F8 one = _mm256_set1_ps(1.f);
  return _mm256_blendv_ps(one, low, _mm256_cmp_ps(low, one, _CMP_LT_OQ));
}

I8 Select(I8 no, I8 yes, I8 mask) {
  return _mm256_blendv_epi8(no, yes, mask);
}
F8 Select(F8 no, F8 yes, I8 mask) {
  return _mm256_blendv_ps(no, yes, _mm256_castsi256_ps(mask));
}

// Whether any of eight pixels has alpha above 65279, looking at the alpha
// words where they lie: most translucent layers cover nowhere, and this
// spares them the split into channels.
bool AnyCovers(const Pixel64* pixels) {
  const I8 least = _mm256_set1_epi16(static_cast<int16_t>(65280));
  const I8 alphaWords = _mm256_set1_epi64x(int64_t{0xFFFF} << 48);
  const auto covers = [&](I8 v) {
    return _mm256_and_si256(_mm256_cmpeq_epi16(_mm256_max_epu16(v, least), v), alphaWords);
  };
  const I8* source = reinterpret_cast<const I8*>(pixels);
  const I8 both =
      _mm256_or_si256(covers(_mm256_loadu_si256(source)), covers(_mm256_loadu_si256(source + 1)));
  return !_mm256_testz_si256(both, both);
}

// Asks for the cache line of pixel `offset` from `base`, which may lie past
// the end of its buffer (a prefetch never faults); the address is formed
// as an integer so that no out-of-range pointer is.
void Prefetch(const Pixel64* base, int64_t offset) {
  _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(base) +
                                             static_cast<uintptr_t>(offset) * sizeof(Pixel64)),
               _MM_HINT_T0);
}

// Eight 32-bit words holding blue, green and red in their first three
// bytes, written as 24 bytes, or each `repeat` times: no byte past them is
// touched.
void StoreBgr8(I8 words, int64_t repeat, uint8_t* out) {
  if (repeat != 1) {
    alignas(32) uint8_t each[32];
    _mm256_store_si256(reinterpret_cast<I8*>(each), words);
    for (int k = 0; k < 8; ++k) {
      for (int64_t r = 0; r < repeat; ++r, out += 3) {
        out[0] = each[4 * k];
        out[1] = each[4 * k + 1];
        out[2] = each[4 * k + 2];
      }
    }
    return;
  }
  const I8 pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                   0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const I8 packed = _mm256_shuffle_epi8(words, pack);
  const __m128i low = _mm256_castsi256_si128(packed);
  const __m128i high = _mm256_extracti128_si256(packed, 1);
  // The first store's last four bytes are written again by the second.
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), low);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12), high);
  _mm_storeu_si32(out + 20, _mm_srli_si128(high, 8));
}

// Four pixels from `p`, `step` (1 or 2) apart.
I8 LoadFour(const Pixel64* p, int32_t step) {
  const I8* v = reinterpret_cast<const I8*>(p);
  if (step == 1) return _mm256_loadu_si256(v);
  const I8 even0 = _mm256_permute4x64_epi64(_mm256_loadu_si256(v), _MM_SHUFFLE(3, 1, 2, 0));
  const I8 even1 = _mm256_permute4x64_epi64(_mm256_loadu_si256(v + 1), _MM_SHUFFLE(3, 1, 2, 0));
  return _mm256_permute2x128_si256(even0, even1, 0x20);
}

}  // namespace

namespace {

uint32_t PlainPixels(const Pixel64* const* tops, int32_t topCount, const Pixel64* base,
                     size_t index, int32_t step, int64_t repeat, uint8_t* bgr) {
  const I8 zero = _mm256_setzero_si256();
  const I8 ones = _mm256_cmpeq_epi64(zero, zero);
  const I8 covering = _mm256_set1_epi64x(65279);
  // Per half (pixels 0..3 and 4..7, one per 64-bit lane): the pixel shown,
  // the lanes still looking further down, the lanes that are not plain.
  I8 shown[2] = {zero, zero}, open[2] = {ones, ones}, fail[2] = {zero, zero};
  // Most pixels are decided by the topmost entry: fetch its next pixels
  // early, which a zoomed-out view's strided rows would otherwise wait for.
  const Pixel64* first = topCount > 0 ? tops[0] : base;
  for (int32_t line = 0; line < step; ++line) {
    Prefetch(first, static_cast<int64_t>(index) + 64 * step + 8 * line);
  }
  for (int32_t i = 0; i < topCount; ++i) {
    for (int h = 0; h < 2; ++h) {
      const I8 v = LoadFour(tops[i] + index + size_t{4} * h * step, step);
      const I8 a = _mm256_srli_epi64(v, 48);
      const I8 covers = _mm256_and_si256(open[h], _mm256_cmpgt_epi64(a, covering));
      const I8 seen = _mm256_andnot_si256(_mm256_cmpeq_epi64(a, zero), open[h]);
      fail[h] = _mm256_or_si256(fail[h], _mm256_andnot_si256(covers, seen));
      shown[h] = Select(shown[h], v, covers);
      open[h] = _mm256_andnot_si256(seen, open[h]);
    }
    const I8 either = _mm256_or_si256(open[0], open[1]);
    if (_mm256_testz_si256(either, either)) break;
  }
  uint32_t plain = 0;
  for (int h = 0; h < 2; ++h) {
    if (_mm256_testz_si256(open[h], open[h])) {
      // Decided above: the background is not read.
    } else if (base) {
      shown[h] = Select(shown[h], LoadFour(base + index + size_t{4} * h * step, step), open[h]);
    } else {
      fail[h] = _mm256_or_si256(fail[h], open[h]);
    }
    const auto failed = static_cast<uint32_t>(_mm256_movemask_pd(_mm256_castsi256_pd(fail[h])));
    plain |= (~failed & 15u) << (4 * h);
  }
  if (plain != 0xFF) return plain;
  // The high bytes of blue, green and red: pixels 0, 1, 4, 5 in the low
  // lane, 2, 3, 6, 7 in the high one, then put in order.
  const I8 low = _mm256_setr_epi8(5, 3, 1, -1, 13, 11, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                  5, 3, 1, -1, 13, 11, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const I8 high = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 5, 3, 1, -1, 13, 11, 9, -1,  //
                                   -1, -1, -1, -1, -1, -1, -1, -1, 5, 3, 1, -1, 13, 11, 9, -1);
  const I8 words = _mm256_permutevar8x32_epi32(
      _mm256_or_si256(_mm256_shuffle_epi8(shown[0], low), _mm256_shuffle_epi8(shown[1], high)),
      _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
  StoreBgr8(words, repeat, bgr);
  return plain;
}

}  // namespace

void PlainGroupsAvx2(const Pixel64* const* tops, int32_t topCount, const Pixel64* base,
                     size_t index, int32_t step, int64_t repeat, int32_t groups, uint8_t* bgr,
                     uint8_t* shown) noexcept {
  for (int32_t g = 0; g < groups; ++g) {
    shown[g] = static_cast<uint8_t>(PlainPixels(tops, topCount, base,
                                                index + size_t{8} * g * static_cast<size_t>(step),
                                                step, repeat, bgr + 24 * g * repeat));
  }
}

void ComposeNormalEntryAvx2(const NormalEntry& entry, RunningLanes& run, int32_t count) noexcept {
  const I8 zero = _mm256_setzero_si256();
  const I8 entryPlusOne = _mm256_set1_epi32(entry.index + 1);
  const I8 opaque = _mm256_set1_epi32(65535);
  const I8 covering = _mm256_set1_epi32(65279);  // a > 65279: covers
  const I8 opacityFactor = _mm256_set1_epi32(entry.opacity + 1);
  const F8 colorScale = _mm256_set1_ps(kColorScale);
  const F8 alphaScale = _mm256_set1_ps(kAlphaScale);
  const F8 one = _mm256_set1_ps(1.f);
  const F8 fzero = _mm256_setzero_ps();
  const I8 ones = _mm256_cmpeq_epi32(zero, zero);
  I8 lastA = zero;
  F8 lastSa = fzero;
  for (int32_t k = 0; k < count; k += 8) {
    // The same pixels two chunks on: a stack of layers is many streams at
    // once, more than the hardware prefetcher follows, and the start of a
    // chunk would otherwise wait on memory for each of them (one chunk on
    // is too close for the layers composed last).
    Prefetch(entry.pixels, k + 2 * kChunk);
    // Lanes this entry still composes onto.
    I8 active = _mm256_cmpgt_epi32(entryPlusOne,
                                   _mm256_load_si256(reinterpret_cast<const I8*>(run.start + k)));
    if (_mm256_testz_si256(active, active)) continue;
    const I8* source = reinterpret_cast<const I8*>(entry.pixels + k);
    const lanes::Lanes px =
        lanes::Split(_mm256_loadu_si256(source), _mm256_loadu_si256(source + 1));
    const I8 r = InPixelOrder(px.r), g = InPixelOrder(px.g), b = InPixelOrder(px.b);
    I8 a = InPixelOrder(px.a);

    // The alpha rules: the background counts as opaque; otherwise a
    // transparent pixel is skipped; then the layer's opacity.
    if (entry.forceOpaque) {
      a = opaque;
    } else {
      active = _mm256_andnot_si256(_mm256_cmpeq_epi32(a, zero), active);
      if (_mm256_testz_si256(active, active)) continue;
    }
    if (entry.opacity < 255) a = _mm256_srli_epi32(_mm256_mullo_epi32(a, opacityFactor), 8);

    // Layers are often flat in alpha: eight pixels with the alpha of the
    // last eight reuse its quotient.
    if (!_mm256_testc_si256(_mm256_cmpeq_epi32(a, lastA), ones)) {
      lastA = a;
      lastSa = _mm256_div_ps(_mm256_cvtepi32_ps(a), alphaScale);
    }
    const F8 sa = lastSa;
    const F8 keep = _mm256_sub_ps(one, sa);
    // The floating-point composite onto the result (da, dr, dg, db).
    struct Composite {
      F8 r, g, b, a;
    };
    const auto composite = [&](F8 da, F8 dr, F8 dg, F8 db) {
      const F8 alpha = Clamp01(_mm256_add_ps(da, _mm256_mul_ps(_mm256_sub_ps(one, da), sa)));
      // Over an opaque result the alpha stays exactly 1, and a division by
      // 1 gives its dividend bit for bit, so the three divisions are left
      // out.
      const bool byOne = _mm256_movemask_ps(_mm256_cmp_ps(alpha, one, _CMP_EQ_OQ)) == 0xFF;
      const auto channel = [&](I8 source, F8 below) {
        const F8 s = _mm256_div_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(source), sa), colorScale);
        const F8 sum = _mm256_add_ps(s, _mm256_mul_ps(_mm256_mul_ps(below, da), keep));
        return Clamp01(byOne ? sum : _mm256_div_ps(sum, alpha));
      };
      return Composite{channel(r, dr), channel(g, dg), channel(b, db), alpha};
    };

    I8* const isFloat = reinterpret_cast<I8*>(run.isFloat + k);
    const I8 wasFloat = _mm256_load_si256(isFloat);
    const F8 oldA = _mm256_load_ps(run.fa + k);
    const I8 emptyFloat = _mm256_castps_si256(_mm256_cmp_ps(oldA, fzero, _CMP_EQ_OQ));

    // Deep in a stack of translucent layers every lane holds floats and
    // composes: the integers need not be looked at.
    if (_mm256_testc_si256(_mm256_and_si256(wasFloat, active), ones)) {
      const I8 special = entry.replaceCovering
                             ? _mm256_or_si256(emptyFloat, _mm256_cmpgt_epi32(a, covering))
                             : emptyFloat;
      if (_mm256_testz_si256(special, special)) {
        const Composite c = composite(oldA, _mm256_load_ps(run.fr + k), _mm256_load_ps(run.fg + k),
                                      _mm256_load_ps(run.fb + k));
        _mm256_store_ps(run.fr + k, c.r);
        _mm256_store_ps(run.fg + k, c.g);
        _mm256_store_ps(run.fb + k, c.b);
        _mm256_store_ps(run.fa + k, c.a);
        continue;
      }
    }

    I8* const ir = reinterpret_cast<I8*>(run.r + k);
    I8* const ig = reinterpret_cast<I8*>(run.g + k);
    I8* const ib = reinterpret_cast<I8*>(run.b + k);
    I8* const ia = reinterpret_cast<I8*>(run.a + k);
    const I8 intR = _mm256_load_si256(ir), intG = _mm256_load_si256(ig);
    const I8 intB = _mm256_load_si256(ib), intA = _mm256_load_si256(ia);

    // An empty result takes the pixel; a covering pixel in mode 0 replaces
    // it. Both leave integers.
    const I8 empty = Select(_mm256_cmpeq_epi32(intA, zero), emptyFloat, wasFloat);
    const I8 takes = _mm256_and_si256(active, empty);
    I8 replaces = zero;
    if (entry.replaceCovering) {
      replaces =
          _mm256_andnot_si256(empty, _mm256_and_si256(active, _mm256_cmpgt_epi32(a, covering)));
    }
    const I8 setInts = _mm256_or_si256(takes, replaces);
    const I8 composes = _mm256_andnot_si256(setInts, active);

    // The integers become floats first where they still hold the result.
    F8 da = oldA, dr = _mm256_load_ps(run.fr + k);
    F8 dg = _mm256_load_ps(run.fg + k), db = _mm256_load_ps(run.fb + k);
    if (!_mm256_testc_si256(wasFloat, ones)) {
      da = Select(_mm256_div_ps(_mm256_cvtepi32_ps(intA), alphaScale), da, wasFloat);
      dr = Select(_mm256_div_ps(_mm256_cvtepi32_ps(intR), colorScale), dr, wasFloat);
      dg = Select(_mm256_div_ps(_mm256_cvtepi32_ps(intG), colorScale), dg, wasFloat);
      db = Select(_mm256_div_ps(_mm256_cvtepi32_ps(intB), colorScale), db, wasFloat);
    }
    const Composite c = composite(da, dr, dg, db);
    _mm256_store_ps(run.fr + k, Select(_mm256_load_ps(run.fr + k), c.r, composes));
    _mm256_store_ps(run.fg + k, Select(_mm256_load_ps(run.fg + k), c.g, composes));
    _mm256_store_ps(run.fb + k, Select(_mm256_load_ps(run.fb + k), c.b, composes));
    _mm256_store_ps(run.fa + k, Select(oldA, c.a, composes));

    _mm256_store_si256(ir, Select(intR, r, setInts));
    _mm256_store_si256(ig, Select(intG, g, setInts));
    _mm256_store_si256(ib, Select(intB, b, setInts));
    _mm256_store_si256(ia, Select(intA, Select(a, opaque, replaces), setInts));
    _mm256_store_si256(isFloat, _mm256_andnot_si256(setInts, _mm256_or_si256(wasFloat, composes)));
  }
}

void StartLayersAvx2(const StartEntry* entries, int32_t entryCount, int32_t backgroundOpacity,
                     RunningLanes& run, int32_t count, int32_t done) noexcept {
  const I8 covering = _mm256_set1_epi32(65279);
  const I8 doneLanes = _mm256_set1_epi32(done);
  const I8 ones = _mm256_cmpeq_epi32(doneLanes, doneLanes);
  // The background's alpha: opaque, scaled by its opacity.
  const int32_t backgroundAlpha =
      backgroundOpacity < 255 ? 65535 * (backgroundOpacity + 1) / 256 : 65535;
  for (int32_t k = 0; k < count; k += 8) {
    I8* const start = reinterpret_cast<I8*>(run.start + k);
    // The background is read here only, never composed: fetch its next
    // chunk as the composing fetches the layers'.
    Prefetch(entries[0].pixels, k + kChunk);
    const I8 pending =
        _mm256_xor_si256(_mm256_cmpeq_epi32(_mm256_load_si256(start), doneLanes), ones);
    if (_mm256_testz_si256(pending, pending)) continue;
    const auto load = [&](const Pixel64* pixels) {
      const I8* source = reinterpret_cast<const I8*>(pixels + k);
      const lanes::Lanes px =
          lanes::Split(_mm256_loadu_si256(source), _mm256_loadu_si256(source + 1));
      return lanes::Lanes{InPixelOrder(px.r), InPixelOrder(px.g), InPixelOrder(px.b),
                          InPixelOrder(px.a)};
    };
    const lanes::Lanes base = load(entries[0].pixels);
    I8 r = base.r, g = base.g, b = base.b, a = _mm256_set1_epi32(backgroundAlpha);
    I8 first = _mm256_set1_epi32(1);
    I8 open = pending;  // lanes still looking for a covering pixel
    for (int32_t i = entryCount - 1; i >= 1; --i) {
      if (!entries[i].canCover || !AnyCovers(entries[i].pixels + k)) continue;
      const lanes::Lanes px = load(entries[i].pixels);
      const I8 covers = _mm256_and_si256(open, _mm256_cmpgt_epi32(px.a, covering));
      if (_mm256_testz_si256(covers, covers)) continue;
      r = Select(r, px.r, covers);
      g = Select(g, px.g, covers);
      b = Select(b, px.b, covers);
      a = Select(a, _mm256_set1_epi32(65535), covers);
      first = Select(first, _mm256_set1_epi32(i + 1), covers);
      open = _mm256_andnot_si256(covers, open);
      if (_mm256_testz_si256(open, open)) break;
    }
    const auto put = [&](uint32_t* lane, I8 v) {
      I8* p = reinterpret_cast<I8*>(lane + k);
      _mm256_store_si256(p, Select(_mm256_load_si256(p), v, pending));
    };
    put(run.r, r), put(run.g, g), put(run.b, b), put(run.a, a);
    I8* const isFloat = reinterpret_cast<I8*>(run.isFloat + k);
    _mm256_store_si256(isFloat, _mm256_andnot_si256(pending, _mm256_load_si256(isFloat)));
    _mm256_store_si256(start, Select(_mm256_load_si256(start), first, pending));
  }
}

void FinishPlainAvx2(const RunningLanes& run, int32_t count, int32_t cx0, int32_t cy,
                     int64_t repeat, uint8_t* bgr) noexcept {
  const I8 colorScaleInt = _mm256_set1_epi32(65535);
  const F8 colorScale = _mm256_set1_ps(kColorScale);
  const F8 alphaScale = _mm256_set1_ps(kAlphaScale);
  const I8 light = _mm256_set1_epi32(static_cast<int32_t>(kLightSquareValue));
  const I8 dark = _mm256_set1_epi32(static_cast<int32_t>(kDarkSquareValue));
  const I8 laneColumns = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const I8 rowSquare = _mm256_set1_epi32(cy >> 5);
  const I8 bit = _mm256_set1_epi32(1);
  for (int32_t k = 0; k < count; k += 8) {
    const I8 isFloat = _mm256_load_si256(reinterpret_cast<const I8*>(run.isFloat + k));
    // The layers' result, 16-bit: the floats truncated where they hold it.
    const auto result = [&](const uint32_t* ints, const float* floats, F8 scale) {
      const I8 i = _mm256_load_si256(reinterpret_cast<const I8*>(ints + k));
      const I8 f = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_load_ps(floats + k), scale));
      return Select(i, f, isFloat);
    };
    I8 r = result(run.r, run.fr, colorScale);
    I8 g = result(run.g, run.fg, colorScale);
    I8 b = result(run.b, run.fb, colorScale);
    const I8 a = result(run.a, run.fa, alphaScale);
    // A result that is not opaque over the checkerboard.
    const I8 seeThrough = _mm256_cmpgt_epi32(colorScaleInt, a);
    if (!_mm256_testz_si256(seeThrough, seeThrough)) {
      const I8 columns = _mm256_add_epi32(_mm256_set1_epi32(cx0 + k), laneColumns);
      const I8 odd =
          _mm256_and_si256(_mm256_add_epi32(_mm256_srli_epi32(columns, 5), rowSquare), bit);
      const I8 square = Select(light, dark, _mm256_cmpeq_epi32(odd, bit));
      const I8 under =
          _mm256_srli_epi32(_mm256_mullo_epi32(square, _mm256_sub_epi32(colorScaleInt, a)), 8);
      const auto over = [&](I8 c) {
        const I8 mixed = _mm256_srli_epi32(
            _mm256_add_epi32(_mm256_srli_epi32(_mm256_mullo_epi32(a, c), 8), under), 8);
        return Select(c, mixed, seeThrough);
      };
      r = over(r), g = over(g), b = over(b);
    }
    StoreBgr8(_mm256_or_si256(_mm256_srli_epi32(b, 8),
                              _mm256_or_si256(_mm256_and_si256(g, _mm256_set1_epi32(0xff00)),
                                              _mm256_slli_epi32(_mm256_srli_epi32(r, 8), 16))),
              repeat, bgr + 3 * k * repeat);
  }
}

}  // namespace dro::composite::detail

#else

namespace dro::composite::detail {
// Without AVX2 in the build the CPU check never lets these be reached.
void ComposeNormalEntryAvx2(const NormalEntry&, RunningLanes&, int32_t) noexcept {}
void StartLayersAvx2(const StartEntry*, int32_t, int32_t, RunningLanes&, int32_t,
                     int32_t) noexcept {}
void FinishPlainAvx2(const RunningLanes&, int32_t, int32_t, int32_t, int64_t, uint8_t*) noexcept {}
void PlainGroupsAvx2(const Pixel64* const*, int32_t, const Pixel64*, size_t, int32_t, int64_t,
                     int32_t, uint8_t*, uint8_t*) noexcept {}
}  // namespace dro::composite::detail

#endif
