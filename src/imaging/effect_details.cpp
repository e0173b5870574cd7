// The recipes of the noise, detail and edge effects, in the vocabulary of
// effect_call.h. Where a step's library call fails, its write-back is
// skipped and the recipe goes on.
#include <algorithm>
#include <cmath>

#include "base/allocation.h"
#include "base/random.h"
#include "composite/blend_modes.h"
#include "composite/layers.h"
#include "composite/texture.h"
#include "imaging/drawing.h"
#include "imaging/effect_details.h"
#include "platform/effect_script.h"
#include "platform/image_details.h"
#include "platform/image_effects.h"
#include "platform/image_library.h"

namespace dro::imaging::effects {
namespace {

namespace image = platform::image;
using image::Neighbourhood;
using image::NoiseKind;
constexpr int32_t kAll = 15;
constexpr int32_t kColour = 7;
constexpr int32_t kNormal = 0;
constexpr int32_t kOverlay = 8;
constexpr int32_t kDodge = 11;
constexpr int32_t kSubtract = 16;
constexpr int32_t kTexturize = 17;

// Numbered effects the detail family runs.
constexpr int32_t kScriptEdge = 19;
constexpr int32_t kScriptMaximum = 25;
constexpr int32_t kScriptMinimum = 26;
constexpr int32_t kScriptBump = 27;

// A 32-bit seed from the engine's generator: a seeded host gets the same
// picture again, and two calls in a row differ.
uint32_t NextSeed() noexcept {
  RuntimeRandom& g = Random().generator;
  const uint32_t high = uint32_t(g.Next());
  return high << 17 ^ uint32_t(g.Next()) << 2 ^ uint32_t(g.Next());
}

int32_t Int(double v) noexcept {
  return EffectCall::Int(v);
}

// 1000 - p for the engine filters' thousandths, saturated for any p.
int32_t FromTop(int32_t p) noexcept {
  return Int(1000.0 - p);
}

// A plane of the canvas's size, released with the call.
Buffer<uint8_t> Plane(const EffectCall& c) {
  return Buffer<uint8_t>::Make(CheckedCount(c.width, c.height));
}

// The plane as all three channels of the RGB24 destination, then LoadD24.
void LoadPlaneAsGrey(EffectCall& c, const uint8_t* plane) {
  AllocDestination24();
  uint8_t* dst24 = Destination24();
  if (!dst24) return;
  const size_t count = size_t(c.width) * size_t(c.height);
  for (size_t i = 0; i < count; ++i) dst24[3 * i] = dst24[3 * i + 1] = dst24[3 * i + 2] = plane[i];
  c.LoadD24();
}

void Noise(EffectCall& c, NoiseKind kind) {
  c.Refresh();
  if (image::AddNoise(c.source, c.width, c.height, 4, c.Stride32(), kind, Int(c.f[0] * 200),
                      c.Opt(2), NextSeed(), kColour))
    c.LoadS();
}

// Refresh, Pre, the filter from source into destination, Post, LoadD.
void FilteredNeighbourhood(EffectCall& c, Neighbourhood kind) {
  const int32_t radius = c.Extent(c.f[0] * 0.2);
  c.Filtered([&] {
    return image::NeighbourhoodFilter(c.source, c.width, c.height, c.destination, 4, c.Stride32(),
                                      c.Stride32(), radius, kind, kAll);
  });
}

// The same filter on the source as it stands (no refresh, no Pre or Post).
void PlainNeighbourhood(EffectCall& c, Neighbourhood kind) {
  if (image::NeighbourhoodFilter(c.source, c.width, c.height, c.destination, 4, c.Stride32(),
                                 c.Stride32(), c.Extent(c.f[0] * 0.2), kind, kAll))
    c.LoadD();
}

// Merges `rgba` (already weighted by mask and texture where the recipe
// says so) into the current layer at `opacity`, keeping the layer's
// lock-alpha flag.
void BlendAt(uint8_t* rgba, int32_t mode, int32_t opacity) noexcept {
  composite::LayerRecord* layer = composite::CurrentCanvasLayer();
  if (!rgba || !layer) return;
  composite::BlendRgba32IntoLayer(rgba, layer->pixels.data(), mode, 0, std::clamp(opacity, 0, 255),
                                  layer->lockAlpha != 0);
}

}  // namespace

int32_t UnsharpPasses(float f4) noexcept {
  return std::clamp(Int(f4 * 0.1), 1, 10);
}

int32_t BevelDepth(float f1, int32_t opt2, int32_t width, int32_t height) noexcept {
  return (opt2 & 255) != 0 ? Int(f1 * 0.01 * (std::min(width, height) / 2)) : Int(f1);
}

void Despeckle(EffectCall& c) {
  c.Refresh();
  if (image::DespeckleImage(c.source, c.width, c.height, 4, c.Stride32(), kColour)) c.LoadS();
}

void DustAndScratches(EffectCall& c) {
  const int32_t radius = c.f[0] > 1 ? c.Extent(c.f[0]) : 2;
  const int32_t threshold = Int(255 - c.f[1] * 2.559);
  const double strength = c.f[2] * 0.01;
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::DustAndScratches(src, c.width, c.height, dst, c.Stride24(), c.Stride24(),
                                       radius, threshold, strength);
      }))
    c.LoadD24();
}

void AddGaussianNoise(EffectCall& c) {
  Noise(c, NoiseKind::kGaussian);
}
void AddNegativeExpNoise(EffectCall& c) {
  Noise(c, NoiseKind::kNegativeExponential);
}
void AddRayleighNoise(EffectCall& c) {
  Noise(c, NoiseKind::kRayleigh);
}
void AddUniformNoise(EffectCall& c) {
  Noise(c, NoiseKind::kUniform);
}

void Radiant(EffectCall& c) {
  c.Refresh();
  c.Pre(c.source);
  if (!image::GaussianBlurImage(c.source, c.width, c.height, 4, c.Stride32(), c.destination,
                                c.Stride32(), c.f[0] * 0.4 + 0.6, kAll))
    return;
  c.Post(c.destination);
  MergeDestination(kOverlay, std::clamp(Int(c.f[1] * 2.5), 0, 255));
}

void Radiant2(EffectCall& c) {
  c.Refresh();
  if (!image::ContrastMaskImage(c.source, c.width, c.height, 4, c.Stride32(), 0, 4.777777777777778))
    return;
  c.Native("Invert", 0);
  MergeDestination(kTexturize, std::clamp(Int(c.f[0] * 2.559), 0, 255));
}

void Halftone(EffectCall& c) {
  const int32_t cell = std::max(1, c.Extent(c.f[0] * 0.5));
  if (c.Rgb24Source([&](uint8_t* rgb) {
        return image::HalftoneImage(rgb, c.width, c.height, c.Stride24(), cell, c.Opt(2));
      }))
    c.LoadS24();
}

void Mosaic(EffectCall& c) {
  c.Refresh();
  c.Pre(c.source);
  if (image::MosaicImage(c.source, c.width, c.height, 4, c.Stride32(),
                         std::max(1, c.Extent(c.f[0] * 0.5)))) {
    c.Post(c.source);
    c.LoadS();
  }
}

void ColorNoise(EffectCall& c) {
  const uint32_t seed = NextSeed();
  if (c.Rgb24Source([&](uint8_t* rgb) {
        return image::ColoredNoise(rgb, c.width, c.height, c.Stride24(), c.colour, Int(c.f[0]),
                                   c.args.mode, seed);
      }))
    c.LoadS24();
}

void HugoNoise(EffectCall& c) {
  Buffer<uint8_t> plane = Plane(c);
  // Octaves from the first value; the second sets the coarsest lattice
  // (0..10 -> 2..252 pixels), the third how much each octave keeps.
  const double zoom = 10 - c.f[1] * 0.1;
  if (image::ValueNoisePlane(plane.data(), c.width, c.height, c.width, Int(c.f[0] * 0.04 + 2),
                             2 + 25 * zoom, 1 - c.f[2] * 0.01, NextSeed()))
    LoadPlaneAsGrey(c, plane.data());
}

void PerlinNoise(EffectCall& c) {
  Buffer<uint8_t> plane = Plane(c);
  if (image::PerlinNoisePlane(plane.data(), c.width, c.height, c.width, 1 - c.f[0] * 0.01,
                              NextSeed()))
    LoadPlaneAsGrey(c, plane.data());
}

void Sharpen(EffectCall& c) {
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::Sharpen3x3(src, c.width, c.height, c.Stride24(), dst, c.Stride24(),
                                 Int(c.f[0]));
      }))
    c.LoadD24();
}

void SharpenMore(EffectCall& c) {
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::SharpenMore(src, c.width, c.height, c.Stride24(), dst, c.Stride24(),
                                  Int(c.f[0] * 0.1), c.f[1] * 0.01);
      }))
    c.LoadD24();
}

void UnsharpMask(EffectCall& c) {
  const int32_t amount = Int(c.f[0] * 2.559);
  const double radius = c.f[1] * 0.01;
  const double threshold = c.f[2] * 0.04 + 0.2;
  const int32_t passes = UnsharpPasses(c.f[3]);
  if (c.Rgb24Pair([&](uint8_t* src, uint8_t* dst) {
        for (int32_t i = 0; i < passes; ++i) {
          if (!image::UnsharpMask(src, c.width, c.height, c.Stride24(), dst, c.Stride24(), amount,
                                  radius, threshold))
            return false;
          std::copy(dst, dst + size_t(c.Stride24()) * size_t(c.height), src);
        }
        return true;
      }))
    c.LoadD24();
}

void Bevel(EffectCall& c) {
  const int32_t depth = BevelDepth(c.f[0], c.args.opt[0], c.width, c.height);
  const int32_t sides[4] = {Int(c.f[1] * 2.559), Int(c.f[2] * 2.559), Int(c.f[3] * 2.559),
                            Int(c.f[4] * 2.559)};
  if (c.Rgb24Source([&](uint8_t* rgb) {
        return image::ShadeBevel(rgb, c.width, c.height, c.Stride24(), depth, sides,
                                 Int(c.f[5] * 5));
      }))
    c.LoadS24();
}

void Crackle(EffectCall& c) {
  // The crack pattern follows the cell size and opt2, not the generator,
  // so the same settings crack a picture the same way every time.
  const uint32_t seed = 0x6372u + c.Opt(2);
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::CrackleImage(src, c.width, c.height, c.Stride24(), dst, c.Stride24(),
                                   c.args.mode, c.Extent(c.f[0]), seed);
      }))
    c.LoadD24();
}

void DropShadow(EffectCall& c) {
  const int32_t dx = Int(c.width * c.f[0] * 0.01 * 2 - c.width);
  const int32_t dy = Int(c.height * c.f[1] * 0.01 * 2 - c.height);
  c.Refresh();
  if (!image::OffsetImage(c.source, c.width, c.height, c.Stride32(), c.destination, c.Stride32(),
                          dx, dy))
    return;
  c.Post(c.destination);
  composite::SetColorRgba32(c.destination, c.width, c.height, 0, 0, 0);
  c.Pre(c.destination);
  if (!image::GaussianBlurImage(c.destination, c.width, c.height, 4, c.Stride32(), c.source,
                                c.Stride32(), c.f[2] * 0.4 + 0.6, kAll))
    return;
  c.Post(c.source);
  SetDestination32(c.source);  // the blurred shadow becomes the destination
  composite::AdjustRgba32ByMaskAndTexture(c.destination, 0, 0, c.width, c.height);
  c.Refresh();
  BlendAt(c.destination, kNormal, Int(c.f[3] * 2.559));
  // The layer as it was over its shadow, so the picture stays on top.
  BlendAt(c.source, kNormal, 255);
}

void Emboss(EffectCall& c) {
  const double azimuth = c.f[0] * 3.6 / 360 * 6.28;
  const double elevation = c.f[1] * 3.6 / 360 * 3.14;
  Buffer<uint8_t> plane = Plane(c);
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::ImageToGray8(src, c.width, c.height, 3, c.Stride24(), plane.data(),
                                   c.width) &&
               image::EmbossRgb(plane.data(), c.width, c.height, c.width, azimuth, elevation,
                                Int(c.f[2] * 0.5), src, c.Stride24(), dst, c.Stride24());
      }))
    c.LoadD24();
}

void Fingerprint(EffectCall& c) {
  Buffer<uint8_t> grey = Plane(c);
  Buffer<uint8_t> out = Plane(c);
  // The source buffer as last filled.
  if (image::GrayImage(c.source, c.width, c.height, 4, c.Stride32(), grey.data(), c.width) &&
      image::FingerprintPlane(grey.data(), c.width, c.height, c.width, out.data(), c.width,
                              c.Extent(c.f[0]), Int(c.f[1] * 0.1), c.Opt(2)))
    LoadPlaneAsGrey(c, out.data());
}

void FrostedGlass(EffectCall& c) {
  if (image::DisplaceRandomly(c.source, c.width, c.height, c.Stride32(), c.destination,
                              c.Stride32(), c.Extent(c.f[0] * 0.5), c.colour, NextSeed()))
    c.LoadD();
}

void Gauzy(EffectCall& c) {
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::GauzyImage(src, c.width, c.height, c.Stride24(), dst, c.Stride24(),
                                 c.f[0] * 0.01, c.f[1] * 0.01, c.f[2] * 0.01, c.args.mode);
      }))
    c.LoadD24();
}

void Glow(EffectCall& c) {
  c.Refresh();
  c.Native("Invert", 0);
  c.Native("Value Blur", 1, {FromTop(c.args.p[0]), 1000});
  c.Merge(c.destination, kSubtract);
}

void Scribble(EffectCall& c) {
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::ScribbleImage(src, c.width, c.height, dst, c.args.mode, c.Opt(2),
                                    Int(c.f[0]));
      }))
    c.LoadD24();
}

void Edge2(EffectCall& c) {
  const double sigma = c.f[0] * 1.8 * 0.01 + 0.6;
  const double low = c.f[1] * 0.3 * 0.01 + 0.2;
  const double high = c.f[2] * 0.3 * 0.01 * 0.6;
  Buffer<uint8_t> grey = Plane(c);
  Buffer<uint8_t> out = Plane(c);
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        if (!image::ImageToGray8(src, c.width, c.height, 3, c.Stride24(), grey.data(), c.width) ||
            !image::CannyEdges(grey.data(), c.width, c.height, c.width, out.data(), c.width, sigma,
                               low, high))
          return false;
        for (size_t i = 0; i < out.size(); ++i)
          dst[3 * i] = dst[3 * i + 1] = dst[3 * i + 2] = out[i];
        return true;
      }))
    c.LoadD24();
}

void Edge3(EffectCall& c) {
  c.Refresh();
  c.Native("Grayscale", 0, {}, c.args.mode);
  c.LoadD();
  c.Refresh();
  c.Native("Invert", 0, {}, c.args.mode);
  c.Native("Value Blur", 1, {FromTop(c.args.p[0]), FromTop(c.args.p[1])});
  c.Merge(c.destination, kDodge);
}

void ArithmeticMean(EffectCall& c) {
  FilteredNeighbourhood(c, Neighbourhood::kArithmeticMean);
}
void Midpoint(EffectCall& c) {
  FilteredNeighbourhood(c, Neighbourhood::kMidpoint);
}
void GeometricMean(EffectCall& c) {
  PlainNeighbourhood(c, Neighbourhood::kGeometricMean);
}
void HarmonicMean(EffectCall& c) {
  PlainNeighbourhood(c, Neighbourhood::kHarmonicMean);
}
void Maximum2(EffectCall& c) {
  PlainNeighbourhood(c, Neighbourhood::kMaximum);
}
void Minimum2(EffectCall& c) {
  PlainNeighbourhood(c, Neighbourhood::kMinimum);
}
void Median(EffectCall& c) {
  PlainNeighbourhood(c, Neighbourhood::kMedian);
}

void Deinterlace(EffectCall& c) {
  c.Refresh();
  if (image::DeinterlaceImage(c.source, c.width, c.height, 4, c.Stride32(), c.Opt(2) ? 1 : 5))
    c.LoadS();
}

void Edge(EffectCall& c) {
  c.Refresh();
  c.ScriptRun(kScriptEdge, {{3, Int(c.f[0] * 2.559)}, {4, Int(c.f[1])}, {5, Int(c.f[2])}});
}

void Bump(EffectCall& c) {
  c.Refresh();
  c.ScriptRun(
      kScriptBump,
      {{3, Int(c.f[0] * 2.559 + 1)}, {4, Int(c.f[1] * 0.5 + 1)}, {5, Int(c.f[2] * 0.5 - 25)}});
}

void Emboss2(EffectCall& c) {
  c.Refresh();
  c.ScriptRun(platform::effects::kEffectEmboss, {{3, Int(c.f[0] * 2.559 + 1)},
                                                 {4, Int(c.f[1] * 3.6)},
                                                 {5, Int(c.f[2] * 1.8)},
                                                 {7, Int(c.f[3])}});
}

void Emboss3(EffectCall& c) {
  c.Refresh();
  c.Native("Grayscale", 0, {}, c.args.mode);
  c.Native("Invert", 1, {}, c.args.mode);
  c.ScriptRun(platform::effects::kEffectEmboss,
              {{3, Int(c.f[0] * 2.559 + 1)}, {4, Int(c.f[1] * 3.6)}, {5, 45}, {7, 0}});
  c.Merge(c.destination, kDodge);
}

void Outliner1(EffectCall& c) {
  c.Refresh();
  c.Native("Grayscale", 0, {}, c.args.mode);
  c.Native("Invert", 1, {}, c.args.mode);
  c.Native("Value Blur", 1, {1000, FromTop(c.args.p[0])});
  c.Merge(c.destination, kTexturize);
}

void Outliner2(EffectCall& c) {
  c.Refresh();
  imaging::PhotoPop(c.args.p[0], c.f[1], c.args.opt[0]);
  c.Native("Grayscale", 0, {}, c.args.mode);
  c.Native("Invert", 1, {}, c.args.mode);
  c.Native("Value Blur", 1, {1000, FromTop(c.args.p[2])});
  c.Merge(c.destination, kTexturize);
}

void Maximum(EffectCall& c) {
  c.Refresh();
  c.ScriptRun(kScriptMaximum, {{3, Int(c.f[0] * 0.25 + 1)}});
}

void Minimum(EffectCall& c) {
  c.Refresh();
  // Premultiplied before the run, so the un-premultiply after it restores
  // translucent colours instead of brightening them; opaque pixels pass
  // both steps unchanged.
  c.Pre(c.source);
  if (c.ScriptRun(kScriptMinimum, {{3, Int(c.f[0] * 0.25 + 1)}}, false)) {
    c.Post(c.source);
    c.LoadS();
  }
}

}  // namespace dro::imaging::effects
