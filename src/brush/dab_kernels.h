// Instruction-set fast paths of the dab renderer and its pick-up. Declarations only: the
// kernels are built with their own flags and called after a CPU check.
#pragma once

#include <cstdint>

#include "base/types.h"

namespace dro::brush {

// The plain dab's composite (mix mode kPaint, the dab colour as the source,
// nothing locked) for the first n - n % 8 pixels of a row: cover[i] is
// pixel i's coverage V (0: not painted) and colour the source (red, green,
// blue, alpha). Returns how many pixels it went through (0 without AVX2);
// the caller paints the rest.
int32_t PlainRowAvx2(const uint32_t* cover, Pixel64* line, int32_t n,
                     const uint32_t color[4]) noexcept;

// How the kernels below write a composite (never for an erase dab): the
// colour unless it is locked; the alpha (the alpha level when set) where
// it is writable, under the blob lock only where the old and the new alpha
// both reach 8192.
struct WriteRule {
  bool colorLock;
  bool alphaWritable;
  bool blobLock;
  uint32_t alphaLevel;  // 0: the composite's own alpha
};

// A pick-up dab's row (mix mode kPaint, the source read from the blend
// buffer, no vary): the source of pixel i is blend[i] (an image brush's
// alpha thinning the coverage), after the primary colour share when
// primary > 0, and with `remix` the source and the target are fed back into
// blend[i]. Every strength lies in 0..256.
struct PickupRow {
  uint32_t color[4];  // the dab colour, for the primary colour share
  bool imageBrush;
  int32_t primary;         // ps
  int32_t primaryInverse;  // ps'
  bool remix;
  int32_t blend;         // bs
  int32_t blendInverse;  // bs'
  WriteRule write;
};
// As PlainRowAvx2, for the first n - n % 8 pixels; the blend buffer pixels
// of the row are distinct, so eight of them may be read and written at once.
int32_t PickupRowAvx2(const uint32_t* cover, Pixel64* line, Pixel64* blend, int32_t n,
                      const PickupRow& row) noexcept;

// A formula mix mode's row (no vary, no erase); the mix amount lies in
// 0..256 and its inverse is 256 - amount.
struct MixRow {
  int32_t mode;
  uint32_t color[4];  // the dab colour: the source without a pick-up
  int32_t amount;
  int32_t inverse;
  WriteRule write;
};
// As PlainRowAvx2, for the first n - n % 8 pixels, in the separable
// formula modes (kScreen to kLinearBurn); 0 for any other mode. With
// `pickup` the source is the blend buffer's row `blend` as in PickupRowAvx2
// (whose write rule is row.write), and with pickup->remix the source and
// the pre-tinted target are fed back into it.
int32_t MixRowAvx2(const uint32_t* cover, Pixel64* line, Pixel64* blend, int32_t n,
                   const MixRow& row, const PickupRow* pickup) noexcept;

// The pick-up into the blend buffer (DRO_CopyBlendBufferSurface and its
// kin) for the first n - n % 8 pixels of a row: out[i] from the source
// pixel in[i] under the mask value mask[i] (no mask: null).
struct BlendCopyRow {
  uint32_t color[4];    // the current colour
  int32_t weight;       // 0..256
  uint32_t emptyAlpha;  // the alpha where the source's (weighted) alpha is 0
};
int32_t BlendCopyRowAvx2(const Pixel64* in, const Mask16* mask, Pixel64* out, int32_t n,
                         const BlendCopyRow& row) noexcept;

}  // namespace dro::brush
