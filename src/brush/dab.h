// The dab renderer: one stamp of the brush tip at a canvas position.
//
// A dab runs in clear stages:
//   1. the dab colour (current colour, varied once per dab) and, when the
//      drawing-length counter ran out, a fresh window of a grit buffer;
//   2. the dab rectangle (sc x sc around the centre, clipped to the canvas),
//      which grows the undo rectangle and the paint layer's dirty rectangle;
//   3. per pixel: the tip position (rotated when asked), the grit test and
//      the coverage V (tip x alpha x texture x mask);
//   4. per pixel: the source colour P, from the dab colour or from the blend
//      buffer's pick-up, varied from the seeded vary tables;
//   5. per pixel: the composite of P into the target pixel, either the plain
//      paint path (mix modes up to 33) or one of the mix modes above 33;
//   6. per pixel: remix of the result into the blend buffer (the smear) and
//      the write under the erase, blob, colour and alpha locks.
// Dabs land in the paint layer when one exists, else in the current layer.
// Integer arithmetic throughout (divisions truncate) except the luminance
// vary, the rotation and mix mode 42. Nothing is allocated during a dab.
#pragma once

#include <cstdint>

#include "base/random.h"

namespace dro::brush {

// Stamps one dab centred on (x, y) in the 16-bit colour (red, green, blue);
// only the high byte of each counts. The colour also becomes the current
// colour. With the mask-maker flag set the dab paints the mask instead
// (DrawDabGritMask). Clears the one-dab flags. Returns 0 (no meaning).
int32_t DrawDabGrit(int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue) noexcept;

// Stamps one dab into the mask, with the paint value of the current colour
// (dark colours open the mask, light ones close it). Clears the temporary
// blend-off flag. Returns 0 (no meaning).
int32_t DrawDabGritMask(int32_t x, int32_t y) noexcept;

// --- the mix modes above 33 --------------------------------------------------

// What a mix mode needs besides the two colours.
struct MixSettings {
  int32_t mode = 0;
  int32_t amount = 0;   // 0..255: the share of the mode's result
  int32_t inverse = 0;  // 256 - amount
  int32_t shift = 0;    // the mix shift, -16..16
  // Bank colours: reds of banks 0..3, then greens, blues, alphas.
  const uint16_t* banks = nullptr;
};

// One pixel of a mix mode above 33. `p` is the source colour and pA its
// alpha; `d` the target colour after the pre-tint (mode 340 sets it to
// 32767) and dA the target's alpha. Writes the mode's colour `y` and alpha
// result; returns false when the mode keeps the target (y = d, alpha = dA).
// Modes 253 and 254 draw one number from `rng`. Modes the table does not
// list paint the source colour unchanged.
bool MixModeColour(const MixSettings& mix, const uint32_t p[3], uint32_t pA, uint32_t d[3],
                   uint32_t dA, RuntimeRandom& rng, uint32_t y[3], uint32_t& alphaResult) noexcept;

}  // namespace dro::brush
