// The recipes of the artistic, blur and tone-and-colour effects, in the
// vocabulary of effect_call.h. Where a step's library call fails, its
// write-back is skipped and the recipe goes on.
#include <algorithm>
#include <cmath>

#include "base/allocation.h"
#include "base/random.h"
#include "color/conversions.h"
#include "composite/blend_modes.h"
#include "composite/pixel_transfers.h"
#include "imaging/drawing.h"
#include "imaging/effect_families.h"
#include "platform/effect_script.h"
#include "platform/image_draw.h"
#include "platform/image_effects.h"
#include "platform/image_library.h"

namespace dro::imaging::effects {
namespace {

namespace image = platform::image;
constexpr int32_t kAll = 15;
constexpr int32_t kColour = 7;
constexpr int32_t kDodge = 11;
constexpr int32_t kSoftLight = 10;
constexpr int32_t kTexturize = 17;
constexpr int32_t kTexturize2 = 18;

// Oil Paint and Watercolor Tint: bit 0 from opt2 = 1, bit 1 from opt3 = 1.
int32_t TwoFlags(const EffectCall& c) noexcept {
  return (c.Opt(2) == 1 ? 1 : 0) | (c.Opt(3) == 1 ? 2 : 0);
}

// A 32-bit seed from the engine's generator: a seeded host gets the same
// noise again, and two calls in a row differ.
uint32_t NextSeed() noexcept {
  RuntimeRandom& g = Random().generator;
  const uint32_t high = uint32_t(g.Next());
  return high << 17 ^ uint32_t(g.Next()) << 2 ^ uint32_t(g.Next());
}

bool Saturate(EffectCall& c, double factor) {
  return image::ModifySaturation(c.source, c.width, c.height, 4, c.Stride32(), factor);
}

// The steps "Color Pencil" and "Crayon" share.
void PencilSteps(EffectCall& c) {
  c.Refresh();
  c.Native("Bas Relief", 0, {300}, c.args.mode);
  c.LoadD();
  c.Refresh();
  c.Native("Hyper Contrast", 0, {c.args.p[0]});
  c.LoadD();
  c.Refresh();
  if (Saturate(c, SaturationFactor(c.f[1]))) c.LoadS();
}

void MotionKind(EffectCall& c, double angle, double distance, int32_t samples, int32_t kind) {
  c.Filtered([&] {
    return image::MotionBlurImage(c.source, c.width, c.height, c.Stride32(), c.destination,
                                  c.Stride32(), 4, angle, distance, samples, kind);
  });
}

// In place on the re-read source, then LoadS on success.
template <class Call>
void InPlace(EffectCall& c, Call&& call) {
  c.Refresh();
  if (call()) c.LoadS();
}

template <class Call>
void OnRgb24Source(EffectCall& c, Call&& call) {
  if (c.Rgb24Source([&](uint8_t* src24) { return call(src24); })) c.LoadS24();
}

}  // namespace

// ---- Artistic ----

void Charcoal(EffectCall& c) {
  c.Refresh();
  c.Native("Grayscale", 0, {}, c.args.mode);
  c.LoadD();
  c.Refresh();
  c.Native("Invert", 0, {}, c.args.mode);
  c.Native("Value Blur", 1, {c.args.p[0], c.args.p[1]});
  c.Merge(c.destination, kDodge);
}

void ColorPencil(EffectCall& c) {
  PencilSteps(c);
}

void ColorPencil2(EffectCall& c) {
  c.Refresh();
  c.Native("Grayscale", 0, {}, c.args.mode);
  c.Native("Invert", 1, {}, c.args.mode);
  c.ScriptRun(platform::effects::kEffectEmboss,
              {{3, EffectCall::Int(c.f[0] * 2.55 + 1)}, {4, 180}, {5, 90}, {7, 0}});
  // The inverted grey dodges the relief whether or not the script ran.
  c.Merge(c.destination, kDodge);
}

void Crayon(EffectCall& c) {
  PencilSteps(c);
  c.Native("Value Blur", 0, {c.args.p[2], c.args.p[2]});
  c.LoadD();
}

void Pointillism(EffectCall& c) {
  Crayon(c);
  c.Refresh();
  if (image::AddGaussianNoise(c.source, c.width, c.height, 4, c.Stride32(),
                              EffectCall::Int(c.f[3] * 200), c.Opt(2), NextSeed(), kColour))
    c.LoadS();
}

void OilPaint(EffectCall& c) {
  const int32_t radius = c.Extent(c.f[0] * 0.01 * 10 + 2);
  const int32_t levels = EffectCall::Int(c.f[1] * 0.01 * 255);
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::OilPaintImage(src, c.width, c.height, c.Stride24(), dst, c.Stride24(), radius,
                                    levels, TwoFlags(c));
      }))
    c.LoadD24();
}

void Stipple(EffectCall& c) {
  const int32_t size = c.Extent(c.f[0]);
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::StippleImage(src, c.width, c.height, c.Stride24(), dst, c.Stride24(), size,
                                   c.args.mode, c.args.opt1);
      }))
    c.LoadD24();
}

void WatercolorAndInk(EffectCall& c) {
  c.Refresh();
  imaging::PhotoPop(c.args.p[0], c.f[1], c.args.opt[0]);
  c.Native("Grayscale", 0);
  c.Native("Invert", 1);
  // The inverted grey drawn over as ink hatching, through the RGB24 pair.
  c.Rgb24Pair([&](uint8_t* src, uint8_t* dst) {
    composite::RgbaToRgb(src, c.width, c.height, c.destination);
    if (!image::ScribbleImage(src, c.width, c.height, dst, 0, c.Opt(3), 100)) return false;
    composite::RgbToRgba(c.destination, c.width, c.height, dst);
    return true;
  });
  c.Native("Value Blur", 1, {1000, 1000 - c.args.p[2]});
  c.Merge(c.destination, kTexturize2);
}

// ---- Blur and smoothing ----

void Blur(EffectCall& c) {
  const int32_t radius = c.Extent(c.f[0]);
  c.Filtered([&] {
    return image::BoxBlurImage(c.source, c.width, c.height, 4, c.Stride32(), c.destination,
                               c.Stride32(), radius, 1.0, kAll);
  });
}

void BlurMore(EffectCall& c) {
  const int32_t radius = c.Extent(c.f[0] * 0.2);
  const float strength = static_cast<float>(c.f[1] * 0.01);
  c.Filtered([&] {
    return image::BoxBlurImage(c.source, c.width, c.height, 4, c.Stride32(), c.destination,
                               c.Stride32(), radius, strength, kAll);
  });
}

void GaussianBlur(EffectCall& c) {
  const float radius = c.Opt(2) != 0
                           ? static_cast<float>(c.f[0] * 0.01 * std::max(c.width, c.height) * 0.05)
                           : static_cast<float>(c.f[0] * 0.4 + 0.6);
  c.Filtered([&] {
    return image::GaussianBlurImage(c.source, c.width, c.height, 4, c.Stride32(), c.destination,
                                    c.Stride32(), radius, kAll);
  });
}

void MotionBlur(EffectCall& c) {
  const float angle = static_cast<float>(c.f[0] * 0.01 * 360 - 180);
  const float distance = static_cast<float>(c.Extent(c.f[1] * 0.2));
  MotionKind(c, angle, distance, c.Extent(c.f[2]), 0);
}

void RadialBlur(EffectCall& c) {
  MotionKind(c, 0, static_cast<float>(c.f[0] * 0.2), c.Extent(c.f[1]), 1);
}

void ZoomBlur(EffectCall& c) {
  MotionKind(c, 0, static_cast<float>(c.f[0] * 0.2), c.Extent(c.f[1]), 2);
}

void FilteredNative(EffectCall& c) {
  c.Refresh();
  c.Pre(c.source);
  c.NativeOwn();
  c.Post(c.destination);
  c.LoadD();
}

void SmartBlur(EffectCall& c) {
  c.Refresh();
  c.Pre(c.source);
  c.Native("Noise Reduction", 0, c.args.p, c.args.mode, true);
  c.Post(c.destination);
  c.LoadD();
}

void SurfaceBlur(EffectCall& c) {
  const int32_t radius = c.Extent(c.f[0] * 0.2);
  const double sigma = std::max(double(c.f[1] * 0.25), 0.1);
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::BilateralFilterImage(src, c.width, c.height, c.Stride24(), dst, c.Stride24(),
                                           radius, sigma);
      }))
    c.LoadD24();
}

// ---- Tone and colour ----

void BrightnessContrast(EffectCall& c) {
  InPlace(c, [&] {
    return image::AdjustBrightnessContrast(c.source, c.width, c.height, 4, c.Stride32(),
                                           c.f[0] * 0.01 * 2 - 1, c.f[1] * 0.01 * 2 - 1);
  });
}

std::array<uint8_t, 256> LevelsInputTable(float f1, float f2) noexcept {
  const int32_t low = TruncToByte(f1 * 2.559);
  const int32_t high = TruncToByte(f2 * 2.559);
  const int32_t mid = low + (high - low) / 2;
  std::array<uint8_t, 256> table{};
  double r = 0.0;
  auto ramp = [&](int32_t from, int32_t to) {
    if (to <= from) return;  // a segment of width 0 has no step to take
    const double step = 127.0 / (to - from);
    for (int32_t i = std::max(from, 0); i < std::min(to, 256); ++i) {
      table[size_t(i)] = uint8_t(r);
      r = std::min(r + step, 255.0);
    }
  };
  ramp(low, mid);
  ramp(std::max(mid, low), high);
  for (int32_t i = std::max(high, low); i < 256; ++i) table[size_t(i)] = 255;
  return table;
}

std::array<uint8_t, 256> LevelsOutputTable(float f3, float f4) noexcept {
  const int32_t outLow = TruncToByte(f3 * 2.559);
  const int32_t span = (SaturateToInt32(f4 * 2.559) - outLow) & 255;
  std::array<uint8_t, 256> table{};
  double r = outLow;
  for (size_t j = 0; j < 256; ++j) {
    table[j] = uint8_t(r);
    r = std::min(r + span / 255.0, 255.0);
  }
  return table;
}

void Levels(EffectCall& c) {
  c.Refresh();
  const std::array<uint8_t, 256> in = LevelsInputTable(c.f[0], c.f[1]);
  const std::array<uint8_t, 256> out = LevelsOutputTable(c.f[2], c.f[3]);
  const uint8_t* inSlots[4] = {};
  const uint8_t* outSlots[4] = {};
  for (int32_t k = 0; k < 4; ++k) {
    if (c.Opt(2 + k) == 0) continue;
    inSlots[k] = in.data();
    outSlots[k] = out.data();
  }
  if (!image::ApplyLuts(c.source, c.width, c.height, 4, c.Stride32(), inSlots)) return;
  image::ApplyLuts(c.source, c.width, c.height, 4, c.Stride32(), outSlots);
  c.LoadS();
}

// The contrast mask; the one-pass branch takes `amount`.
void ContrastMaskSteps(EffectCall& c, int32_t amount) {
  if (c.args.mode != 0) {
    c.Refresh();
    c.Native("Grayscale", 0, {}, c.args.mode);
    c.Native("Invert", 0);
    c.Pre(c.destination);
    if (image::GaussianBlurImage(c.destination, c.width, c.height, 4, c.Stride32(), c.source,
                                 c.Stride32(), c.f[0] * 0.4 + 0.6, kAll)) {
      c.Post(c.source);
      c.Merge(c.source, kSoftLight);
    }
    return;
  }
  InPlace(c, [&] {
    return image::ContrastMaskImage(c.source, c.width, c.height, 4, c.Stride32(), amount,
                                    c.f[0] / 18.0 + 2);
  });
}

void ContrastMask(EffectCall& c) {
  ContrastMaskSteps(c, c.Opt(2));
}

void PhotoDetailer(EffectCall& c) {
  ContrastMaskSteps(c, 0);
  c.Refresh();
  imaging::PhotoPop(c.args.p[1], c.f[2], 0);
  c.Native("Grayscale", 0);
  c.Native("Invert", 1);
  c.Native("Value Blur", 1, {1000, 1000 - c.args.p[3]});
  c.Merge(c.destination, kTexturize);
}

void OwnNative(EffectCall& c) {
  c.Refresh();
  c.NativeOwn();
  c.LoadD();
}

void PhotoPop(EffectCall& c) {
  c.Refresh();
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::SharpenImage(src, c.width, c.height, c.Stride24(), dst, c.Stride24(), 5, 7);
      }))
    c.LoadD24();
  if (c.Opt(2) == 1) {
    c.Native("Hyper Contrast", 0, {1});
    c.LoadD();
    c.Refresh();
  }
  c.Native("Hyper Contrast", 0, {c.args.p[0]});
  c.LoadD();
  c.Refresh();
  InPlace(c, [&] { return Saturate(c, SaturationFactor(c.f[1])); });
}

void Gamma(EffectCall& c) {
  InPlace(c, [&] {
    return image::AdjustGamma(c.source, c.width, c.height, 4, c.Stride32(), c.f[0] * 0.01 * 2);
  });
}

void HistogramEqualize(EffectCall& c) {
  InPlace(c, [&] {
    return image::EqualizeHistogram(c.source, c.width, c.height, 4, c.Stride32(),
                                    EffectCall::Int(c.f[0] * 2.559),
                                    EffectCall::Int(c.f[1] * 2.559), image::kBrightness);
  });
}

void HistogramEqualizeChannels(EffectCall& c) {
  InPlace(c, [&] {
    return image::EqualizeHistogram(c.source, c.width, c.height, 4, c.Stride32(),
                                    EffectCall::Int(c.f[0] * 2.559),
                                    EffectCall::Int(c.f[1] * 2.559), image::kPerChannel);
  });
}

void HistogramStretch(EffectCall& c) {
  InPlace(c, [&] {
    return image::StretchHistogram(c.source, c.width, c.height, 4, c.Stride32(), c.f[0], c.f[1],
                                   image::kBrightness);
  });
}

void HistogramStretchChannels(EffectCall& c) {
  InPlace(c, [&] {
    return image::StretchHistogram(c.source, c.width, c.height, 4, c.Stride32(), c.f[0], c.f[1],
                                   image::kPerChannel);
  });
}

void HistogramStretchLightness(EffectCall& c) {
  InPlace(c, [&] {
    return image::StretchHistogram(c.source, c.width, c.height, 4, c.Stride32(), c.f[0], c.f[1],
                                   image::kLightness);
  });
}

void Colorize(EffectCall& c) {
  c.Refresh();
  c.ScriptRun(platform::effects::kEffectColorize, {{3, EffectCall::Int(c.f[0] * 2.559)},
                                                   {4, EffectCall::Int(c.f[1] * 2.559)},
                                                   {5, EffectCall::Int(c.f[2] * 2.559)}});
}

ColorBalanceArgs MakeColorBalanceArgs(const EffectCall& c) noexcept {
  ColorBalanceArgs a;
  a.shift = EffectCall::Int(c.f[3] - 50.0);
  for (int32_t g = 0; g < 3; ++g) {
    if (c.Opt(2 + g) != 1) continue;
    for (int32_t k = 0; k < 3; ++k) a.groups[g][k] = EffectCall::Int(c.f[size_t(k)] - 50.0);
  }
  return a;
}

void ColorBalance(EffectCall& c) {
  const ColorBalanceArgs a = MakeColorBalanceArgs(c);
  InPlace(c, [&] {
    return image::AdjustColorBalance(c.source, c.width, c.height, 4, c.Stride32(), a.groups[0],
                                     a.groups[1], a.groups[2], a.shift);
  });
}

void AdjustHsl(EffectCall& c) {
  c.Refresh();
  color::AdjustBufferHsl(c.source, c.width, c.height, EffectCall::Int(c.f[0] * 3.6 - 180),
                         EffectCall::Int(c.f[1] * 2 - 100), EffectCall::Int(c.f[2] * 2 - 100));
  c.LoadS();
}

void AdjustHsv(EffectCall& c) {
  c.Refresh();
  color::AdjustBufferHsv(c.source, c.width, c.height, EffectCall::Int(c.f[0] * 3.6 - 180),
                         EffectCall::Int(c.f[1] * 2 - 100), EffectCall::Int(c.f[2] * 2 - 100));
  c.LoadS();
}

void Duotone(EffectCall& c) {
  // Each tone byte kept within its byte, so one cannot spill into the next.
  const uint32_t tone = uint32_t(TruncToByte(c.f[0])) | uint32_t(TruncToByte(c.f[1])) << 8 |
                        uint32_t(TruncToByte(c.f[2])) << 16;
  InPlace(c,
          [&] { return image::DuotoneImage(c.source, c.width, c.height, 4, c.Stride32(), tone); });
}

void Grayscale(EffectCall& c) {
  // The source as the host left it, without a refresh.
  Buffer<uint8_t> plane = Buffer<uint8_t>::Make(CheckedCount(c.width, c.height));
  AllocDestination24();
  uint8_t* dst24 = Destination24();
  if (!dst24) return;
  if (!image::GrayImage(c.source, c.width, c.height, 4, c.Stride32(), plane.data(), c.width))
    return;
  const size_t count = plane.size();
  for (size_t i = 0; i < count; ++i) dst24[3 * i] = dst24[3 * i + 1] = dst24[3 * i + 2] = plane[i];
  c.LoadD24();
}

void HyperSaturation(EffectCall& c) {
  InPlace(c, [&] { return Saturate(c, HyperSaturationFactor(c.f[0])); });
}

void Negative(EffectCall& c) {
  OnRgb24Source(
      c, [&](uint8_t* rgb) { return image::InvertImage(rgb, c.width, c.height, c.Stride24()); });
}

void Posterize(EffectCall& c) {
  OnRgb24Source(c, [&](uint8_t* rgb) {
    return image::PosterizeImage(rgb, c.width, c.height, c.Stride24(), 0);
  });
}

void Solarize(EffectCall& c) {
  OnRgb24Source(c, [&](uint8_t* rgb) {
    return image::SolarizeImage(rgb, c.width, c.height, c.Stride24(), 0);
  });
}

void Threshold(EffectCall& c) {
  InPlace(c, [&] {
    return image::ThresholdImage(c.source, c.width, c.height, 4, c.Stride32(),
                                 EffectCall::Int(c.f[0] * 2.55), EffectCall::Int(c.f[1] * 2.55));
  });
}

void Tint(EffectCall& c) {
  InPlace(c, [&] {
    return image::AdjustTint(c.source, c.width, c.height, 4, c.Stride32(),
                             EffectCall::Int(c.f[0] * 0.01 * 360 - 180));
  });
}

void WatercolorTint(EffectCall& c) {
  const float strength = static_cast<float>(c.f[0] * 0.01);
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::WatercolorTintImage(src, c.width, c.height, c.Stride24(), dst, c.Stride24(),
                                          strength, TwoFlags(c));
      }))
    c.LoadD24();
}

}  // namespace dro::imaging::effects
