// The functions behind the rows of the effect table (effect_table.cpp),
// one per effect, grouped by family, and the exact tone tables some of them
// build.
#pragma once

#include <array>
#include <cstdint>

#include "imaging/effect_call.h"

namespace dro::imaging::effects {

// Artistic.
void Charcoal(EffectCall& c);
void ColorPencil(EffectCall& c);
void ColorPencil2(EffectCall& c);
void Crayon(EffectCall& c);
void Pointillism(EffectCall& c);
void OilPaint(EffectCall& c);
void Stipple(EffectCall& c);
void WatercolorAndInk(EffectCall& c);

// Blur and smoothing.
void Blur(EffectCall& c);
void BlurMore(EffectCall& c);
void GaussianBlur(EffectCall& c);
void MotionBlur(EffectCall& c);
void RadialBlur(EffectCall& c);
void ZoomBlur(EffectCall& c);
void FilteredNative(EffectCall& c);  // the effect's own engine filter between Pre and Post
void SmartBlur(EffectCall& c);
void SurfaceBlur(EffectCall& c);

// Tone and colour.
void BrightnessContrast(EffectCall& c);
void Levels(EffectCall& c);
void ContrastMask(EffectCall& c);
void OwnNative(EffectCall& c);  // Refresh, the effect's own engine filter, LoadD
void PhotoPop(EffectCall& c);
void PhotoDetailer(EffectCall& c);
void Gamma(EffectCall& c);
void HistogramEqualize(EffectCall& c);
void HistogramStretch(EffectCall& c);
void HistogramEqualizeChannels(EffectCall& c);
void HistogramStretchChannels(EffectCall& c);
void HistogramStretchLightness(EffectCall& c);
void Colorize(EffectCall& c);
void ColorBalance(EffectCall& c);
void AdjustHsl(EffectCall& c);
void AdjustHsv(EffectCall& c);
void Duotone(EffectCall& c);
void Grayscale(EffectCall& c);
void HyperSaturation(EffectCall& c);
void Negative(EffectCall& c);
void Posterize(EffectCall& c);
void Solarize(EffectCall& c);
void Threshold(EffectCall& c);
void Tint(EffectCall& c);
void WatercolorTint(EffectCall& c);

// Levels, in exact terms (f1..f4 as the call derives them):
//   1. low = byte(trunc(f1 x 2.559)), high = byte(trunc(f2 x 2.559)), each
//      clamped to 0..255; mid = low + (high - low) / 2 (integer division).
//   2. Input table: entries below low are 0, from high on 255. From low
//      up to mid each entry is trunc(r) of a running double r that starts
//      at 0 and then grows by 127 / (mid - low), capped at 255; from mid up
//      to high it goes on growing by 127 / (high - mid). A segment of width
//      0 is skipped, so low = high (or high = low + 1) is a step to 255.
//   3. Output table: outLow = byte(trunc(f3 x 2.559)), span =
//      (trunc(f4 x 2.559) - outLow) & 255; entry j = trunc(r), r starting at
//      outLow and growing by span / 255 per entry, capped at 255.
std::array<uint8_t, 256> LevelsInputTable(float f1, float f2) noexcept;
std::array<uint8_t, 256> LevelsOutputTable(float f3, float f4) noexcept;

// Colour balance arguments: shift = trunc(f4 - 50); each group is (trunc(f1
// - 50), trunc(f2 - 50), trunc(f3 - 50)) when its switch (opt2 shadows,
// opt3 midtones, opt4 highlights) is 1, else zeros.
struct ColorBalanceArgs {
  int32_t groups[3][3] = {};
  int32_t shift = 0;
};
ColorBalanceArgs MakeColorBalanceArgs(const EffectCall& c) noexcept;

}  // namespace dro::imaging::effects
