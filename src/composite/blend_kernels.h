// Row kernels of the layer blend: the interface between the dispatcher
// (blend_modes.cpp), the reference routines (blend_reference.cpp) and the
// instruction-set fast paths (blend_*_avx2.cpp).
//
// Declarations only: the fast-path files are built with their own
// instruction-set flags, so nothing they share with the rest of the engine
// may be an inline function (the linker could keep their copy).
#pragma once

#include <cstdint>

#include "base/types.h"

namespace dro::composite::blend {

constexpr int32_t kModeCount = 41;  // 0..40

// What one row blend needs besides the pixels. The dispatcher normalises
// the arguments: mode 0..40, opacity 0..256.
struct RowParams {
  int32_t mode = 0;
  int32_t opacity = 256;
  bool keepAlpha = false;
};

// Blends n pixels of `src` into `dst` (pixel i into pixel i). `mask` is the
// layer-mask row when a layer mask applies, else null.
using RowFn = void (*)(const Pixel64* src, const Pixel64* mask, Pixel64* dst, int32_t n,
                       const RowParams& p);

// The reference: plain scalar code, the oracle every fast path must match
// bit for bit.
void ReferenceRow(const Pixel64* src, const Pixel64* mask, Pixel64* dst, int32_t n,
                  const RowParams& p) noexcept;

// Steps 5 to 8 of the merge for one pixel whose source (r, g, b, a) has
// been through the skip, layer mask, opacity and alpha-family steps:
// the empty-destination and opaque-Normal shortcuts (the latter only when
// `opaqueShortcut`, i.e. for mode 0), else the float composite by
// `formula` (0..19), then the write-back (alpha kept when keepAlpha).
void CompositePixel(int32_t formula, bool opaqueShortcut, int32_t r, int32_t g, int32_t b,
                    int32_t a, Pixel64& dst, bool keepAlpha) noexcept;

// Steps 6 and 7 of the merge before the conversion to integers: the
// single-precision composite by `formula` (0..19) of the source (r, g, b, a)
// onto a destination given premultiplied (dc, each straight colour on the
// 65280 = 1 scale times da) with alpha da on 0..1. Writes the straight
// colours and the alpha, each clamped to 0..1. CompositePixel's float path,
// shared with the display compositor, which carries its running result in
// floats.
void CompositeFloat(int32_t formula, int32_t r, int32_t g, int32_t b, int32_t a, const float dc[3],
                    float da, float color[3], float& alpha) noexcept;

// The integer front of the alpha family for n pixels: layer mask, opacity
// and the mode's transform. Writes the transformed source pixels to `out`
// and returns the compositing formula they take (0 Normal or 18
// Texturize2). Shared by the reference and the fast paths.
int32_t PrepareAlphaFamily(const Pixel64* src, const Pixel64* mask, int32_t n, int32_t mode,
                           int32_t opacity, Pixel64* out) noexcept;

// One pixel's alpha-family transform (modes 21..40): rewrites r, g, b, a and
// returns the formula (0 or 18).
int32_t AlphaFamilyTransform(int32_t mode, int32_t& r, int32_t& g, int32_t& b, int32_t& a) noexcept;

// The AVX2 row table, indexed by mode; null entries have no fast path. Call
// only on a CPU with AVX2.
const RowFn* Avx2Rows() noexcept;

}  // namespace dro::composite::blend
