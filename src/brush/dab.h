// The dab renderer: one stamp of the brush tip at a canvas position.
//
// A dab runs in clear stages:
//   1. the dab colour: the current colour, varied once per dab;
//   2. when the drawing-length counter ran out, a fresh window of a grit
//      buffer;
//   3. the dab rectangle (sc x sc around the centre, clipped to the canvas),
//      which grows the undo rectangle and the paint layer's dirty rectangle;
//      the target is the paint layer when one exists, else the current layer;
// then, per pixel (DabPainter, whose file states the pixel contract):
//   4. coverage: the tip position (turned when asked), the grit test and the
//      coverage V (tip x alpha x texture x mask);
//   5. source: the colour P, from the dab colour or from the blend buffer's
//      pick-up, varied from the seeded vary tables;
//   6. composite: P into the target pixel, by the plain paint path or by a
//      formula mix mode (MixMode below);
//   7. remix: P and the target fed back into the blend buffer (the smear);
//   8. write: the result stored under the erase, blob, colour and alpha
//      locks and the alpha level.
// A mask dab takes the same stages with a paint value for its colour, into
// the mask.
// Integer arithmetic throughout (divisions truncate) except the luminance
// vary, the rotation and the soft-light mix mode. Nothing is allocated
// during a dab.
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

// --- mix modes ------------------------------------------------------------

// The mix modes a dab knows, named by what they paint. The setting itself
// stays the int32 the host passed, and any value is a mode: one this list
// does not name paints like kMultiplyPaint below kPaint, and paints the
// source colour unchanged above kMultiplyPaint.
//
// Formula modes mix their result X with the source P by the mix amount, per
// channel; "lightness" is that of the source, (pR + pG + pB) / 3.
enum class MixMode : int32_t {
  // The plain paint path.
  kPaint = 32,          // the source over the target; a pick-up mixes by coverage
  kMultiplyPaint = 33,  // the source over the target, their product where both
                        // are covered; so does every mode below kPaint
  // Separable formulas of P and the target D.
  kScreen = 34,
  kDarken = 35,      // min(D, P)
  kLighten = 36,     // max(D, P)
  kDifference = 37,  // |D - P|
  kNegation = 38,    // 1 - |1 - D - P|
  kExclusion = 39,   // D + P - 2 D P
  kOverlay = 40,     // multiply or screen, decided by D
  kHardLight = 41,   // multiply or screen, decided by P
  kSoftLight = 42,   // in double precision
  kColorDodge = 43,
  kColorBurn = 44,
  kReflect = 45,  // D^2 / (1 - P)
  kGlow = 46,     // P^2 / (1 - D)
  kAdd = 47,
  kLinearBurn = 48,  // D + P - 1
  // Colour banks chosen by lightness.
  kTwoBanks = 249,
  kThreeBanks = 250,
  kFourBanks = 251,
  kBankRamp = 252,            // a ramp through banks 0, 1 and 2
  kDarkToBank = 253,          // dark: bank 0, else D; draws one random number
  kLightToBank = 254,         // light: bank 0, else D; draws one random number
  kExtremesToBanks = 255,     // dark: bank 0, light: bank 1, else P
  kSkipDark = 256,            // keeps the target under a dark source
  kSkipLight = 257,           // keeps the target under a light source
  kMidtonesOnly = 258,        // keeps the target under dark and light sources
  kDarkestOnlyToBank = 259,   // only the darkest sources paint, in bank 0
  kLightestOnlyToBank = 260,  // only the lightest sources paint, in bank 0
  // Levels of the source, without the target.
  kPosteriseFour = 261,
  kPosteriseThree = 262,
  kClearLowBits = 295,      // P with its low (mix shift & 31) bits cleared, unmixed
  kLightnessAsAlpha = 340,  // middle grey whose alpha is the lightness
};

// Modes up to kMultiplyPaint composite by the plain paint path, modes above
// it by MixModeColor.
constexpr bool OnPlainPath(MixMode mode) noexcept {
  return mode <= MixMode::kMultiplyPaint;
}

// What a formula mix mode needs besides the two colours.
struct MixSettings {
  int32_t mode = 0;     // a MixMode, or any value the host set
  int32_t amount = 0;   // 0..255: the share of the mode's result
  int32_t inverse = 0;  // 256 - amount
  int32_t shift = 0;    // the mix shift, -16..16
  // Bank colours: reds of banks 0..3, then greens, blues, alphas.
  const uint16_t* banks = nullptr;
};

// One pixel of a mode above kMultiplyPaint. `p` is the source colour and pA
// its alpha; `d` the target colour after the pre-tint (kLightnessAsAlpha sets
// it to 32767) and dA the target's alpha. Writes the mode's colour `y` and
// alpha result; returns false when the mode keeps the target (y = d, alpha =
// dA). kDarkToBank and kLightToBank draw one number from `rng`. Modes the
// list does not name paint the source colour unchanged.
bool MixModeColor(const MixSettings& mix, const uint32_t p[3], uint32_t pA, uint32_t d[3],
                  uint32_t dA, RuntimeRandom& rng, uint32_t y[3], uint32_t& alphaResult) noexcept;

}  // namespace dro::brush
