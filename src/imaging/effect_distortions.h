// The distortion effects: library transforms, corner warps of the layer,
// effect-script distortions that carry the alpha channel along, flips, the
// HSL and detail masks and the two pattern tilers; each a row of the effect
// table (effect_table.cpp).
//
// The numbers (f1..f6 as the call derives them, w x h the canvas, size =
// max(w, h), every (int) the saturating truncation):
//   1. Centre offsets: cx(f) = w x f x 0.01 x 2 - w, cy(f) likewise with h
//      (50 the middle, 0 and 100 the edges).
//   2. Extent of a corner warp: (0, 0, w - 1, h - 1), or with opt2 = 1 the
//      current layer's painted area (the smallest rectangle of pixels with
//      alpha above 0; the whole canvas when the layer holds no pixels).
//      dx = right - left, dy = bottom - top; when dx or dy is 0 or less the
//      warp does nothing. Every warp, "Stretch" included, reads the source
//      quadrilateral within the last column and row.
//   3. Offsets of unit u from f: (int)(dx x u x (50 - f)) or on dy; p % of dx
//      is (int)(dx x 0.01 x p).
//   4. Corners are listed bottom-left, top-left, top-right, bottom-right;
//      sums are kept within +-2^24, so no host value can overflow them.
//   5. A transform whose radius, wavelength, ridge count or axis comes out
//      0 or less changes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "imaging/effect_call.h"

namespace dro::imaging::effects {

// Transforms.
void Elliptical(EffectCall& c);
void Lens(EffectCall& c);
void Marble(EffectCall& c);
void Offset(EffectCall& c);
void Pinch(EffectCall& c);
void Ripple(EffectCall& c);
void Spin(EffectCall& c);
void SpinWave(EffectCall& c);
void Wave(EffectCall& c);
void Wow(EffectCall& c);
void ZigZag(EffectCall& c);

// Corner warps.
void Perspective(EffectCall& c);
void WarpCorners(EffectCall& c);
void WarpEdge(EffectCall& c);
void Warp3Point(EffectCall& c);
void Stretch(EffectCall& c);
void StretchEdge(EffectCall& c);
void VerticalPivot(EffectCall& c);
void HorizontalPivot(EffectCall& c);
void Skew(EffectCall& c);

// Script distortions that carry alpha.
void Twirl(EffectCall& c);
void SineDistortion(EffectCall& c);
void Kaleidoscope(EffectCall& c);
void Scratch(EffectCall& c);
void Waves(EffectCall& c);
void Divider(EffectCall& c);
void Carpet(EffectCall& c);
void Glass(EffectCall& c);
void Voxel(EffectCall& c);
void Zoom(EffectCall& c);
void Rotate(EffectCall& c);
void Tilt(EffectCall& c);
void Seamless(EffectCall& c);

// Flips, masks, tilers.
void HorizontalFlip(EffectCall& c);
void VerticalFlip(EffectCall& c);
void MaskGenerateHsl(EffectCall& c);
void MaskDetail(EffectCall& c);
void Patternizer(EffectCall& c);
void PatternExplorer(EffectCall& c);

// The corner warps' rectangles and quadrilaterals, for tests.
struct WarpExtent {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};
enum class CornerWarp : uint8_t {
  kPerspective,
  kWarp,
  kWarpEdge,
  kWarp3Point,
  kStretch,
  kStretchEdge,
  kVerticalPivot,
  kHorizontalPivot,
  kSkew,
};
// Number 2: false when the extent is degenerate (the warp does nothing).
bool CornerWarpExtent(const EffectCall& c, WarpExtent& e) noexcept;
// The destination corners of a warp of `e` (number 3 and 4), as four
// (x, y) pairs; the source corners are e's own.
std::array<int32_t, 8> SourceCorners(const WarpExtent& e) noexcept;
std::array<int32_t, 8> DestinationCorners(const EffectCall& c, CornerWarp kind,
                                          const WarpExtent& e) noexcept;

// How an alpha-carrying script run goes: in one pass over all four
// channels when the effect moves alpha exactly as colour (every warp
// effect does), or in two passes, alpha carried in the red channel first.
// kTwoPasses forces the second way (the two agree; tests compare them).
enum class AlphaCarry : uint8_t { kAuto, kTwoPasses };
// Runs script effect `number` with the slots so that the layer's alpha
// moves with its colour; loads the source into the layer on success.
// False (layer unchanged) when the effect could not run.
bool AlphaCarryingRun(EffectCall& c, int32_t number,
                      std::initializer_list<std::pair<int32_t, int32_t>> slots,
                      AlphaCarry how = AlphaCarry::kAuto);

}  // namespace dro::imaging::effects
