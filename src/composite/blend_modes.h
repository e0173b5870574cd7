// Blend modes and the one per-pixel merge every composite goes through.
//
// Modes 0..19 are colour blends composited in single-precision premultiplied
// floating point; modes 21..40 (the alpha family) first reinterpret the
// source alpha in integer arithmetic and then composite as Normal or
// Texturize2. Number 20 has no name and composites as Normal.
//
// Scales inside the merge: colour channels are normalised by 65280 (so 65535
// is slightly above 1.0), alpha by 65535, opacity runs 0..256 (255 and above
// count as full).
//
// Fast paths: BlendLayerRect picks a row kernel per mode from a table. On a
// CPU with AVX2 most modes have a vector kernel, proven identical to the
// plain reference by a seeded fuzz test; elsewhere, or when the environment
// variable DROVINE_NO_FAST_PATHS is set to a value other than "0" when the
// library first blends, every mode runs the reference.
#pragma once

#include <array>
#include <cstdint>

#include "base/types.h"

namespace dro::composite {

enum BlendModeNumber : int32_t {
  kModeNormal = 0,
  kModeMultiply = 1,
  kModeScreen = 2,
  kModeDarken = 3,
  kModeLighten = 4,
  kModeDifference = 5,
  kModeNegation = 6,
  kModeExclusion = 7,
  kModeOverlay = 8,
  kModeHardLight = 9,
  kModeSoftLight = 10,
  kModeDodge = 11,
  kModeBurn = 12,
  kModeReflect = 13,
  kModeGlow = 14,
  kModeAdd = 15,
  kModeSubtract = 16,
  kModeTexturize = 17,
  kModeTexturize2 = 18,
  kModeTexturize3 = 19,
  kModeUnnamed = 20,
  kModeAlphaFilter = 21,
  kModeAlphaBlackOutline = 22,
  kModeAlphaOutlineTint1 = 23,
  kModeAlphaOutlineTint2 = 24,
  kModeAlphaInvert = 25,
  kModeAlphaShader = 26,
  kModeAlphaShaderColor = 27,
  kModeAlphaShaderTexture2 = 28,
  kModeAlphaHighlightTexture2 = 29,
  kModeAlphaSmooth = 30,
  kModeAlphaSmoothLum = 31,
  kModeAlphaSmoothLum2 = 32,
  kModeAlphaSmoothLum3 = 33,
  kModeAlphaSmoothLum4 = 34,
  kModeAlphaSmoothLum5 = 35,
  kModeAlphaOverlayOutline = 36,
  kModeAlphaHighlight = 37,
  kModeLayerMask = 38,
  kModeLuminanceAlpha = 39,
  kModeLuminanceAlphaInvert = 40,
};

constexpr int32_t kLastBlendMode = 40;

// The mode names by number, for lookups and for tables elsewhere that must
// agree with the numbering (checked where they are defined, at compile time).
inline constexpr std::array<const char*, kLastBlendMode + 1> kBlendModeNames = {
    "Normal",
    "Multiply",
    "Screen",
    "Darken",
    "Lighten",
    "Difference",
    "Negation",
    "Exclusion",
    "Overlay",
    "Hard Light",
    "Soft Light",
    "Dodge",
    "Burn",
    "Reflect",
    "Glow",
    "Add",
    "Subtract",
    "Texturize",
    "Texturize2",
    "Texturize3",
    "",  // 20 has no name and composites as Normal
    "Alpha Filter",
    "Alpha Black Outline",
    "Alpha Outline Tint 1",
    "Alpha Outline Tint 2",
    "Alpha Invert",
    "Alpha Shader",
    "Alpha Shader Color",
    "Alpha Shader Texture2",
    "Alpha Highlight Texture2",
    "Alpha Smooth",
    "Alpha Smooth Lum",
    "Alpha Smooth Lum2",
    "Alpha Smooth Lum3",
    "Alpha Smooth Lum4",
    "Alpha Smooth Lum5",
    "Alpha Overlay Outline",
    "Alpha Highlight",
    "Layer Mask",
    "Luminance Alpha",
    "Luminance Alpha Invert",
};

// Exact, case-sensitive lookup; unknown names (and null) give 0, as "Normal".
int32_t LookupBlendMode(const char* name) noexcept;
// The mode's name; "" for 20 and numbers outside 0..40.
const char* BlendModeName(int32_t mode) noexcept;

// Blends the w x h rectangle at (sx, sy) of `src` onto (dx, dy) of `dst`:
// source row sy+i, column sx+j lands on destination row dy+i, column dx+j.
// Strides are in 16-bit units. `layerMask` (may be null) is addressed with
// the source's coordinates and stride and applies when maskMode is 38.
// Opacity 0..256; keepAlpha leaves the destination alpha as it was.
// No clipping: callers pass rectangles inside all buffers. No allocation.
void BlendLayerRect(const Pixel64* src, int32_t sx, int32_t sy, int32_t w, int32_t h,
                    int32_t srcStride, const Pixel64* layerMask, Pixel64* dst, int32_t dx,
                    int32_t dy, int32_t dstStride, int32_t mode, int32_t maskMode, int32_t opacity,
                    bool keepAlpha) noexcept;

// The same through the reference kernels only, whatever the fast-path
// setting: the oracle for tests and for anyone doubting a fast path.
void BlendLayerRectReference(const Pixel64* src, int32_t sx, int32_t sy, int32_t w, int32_t h,
                             int32_t srcStride, const Pixel64* layerMask, Pixel64* dst, int32_t dx,
                             int32_t dy, int32_t dstStride, int32_t mode, int32_t maskMode,
                             int32_t opacity, bool keepAlpha) noexcept;

// Blends a width x height RGBA32 picture (rows rgbaStride bytes apart, each
// byte widened x 256) onto the top-left corner of a Pixel64 buffer (rows
// dstStride 16-bit units apart), with no layer mask. Widens a slice at a
// time, so it needs no allocation.
void BlendRgba32IntoLayer(const uint8_t* rgba, int32_t rgbaStride, int32_t width, int32_t height,
                          Pixel64* dst, int32_t dstStride, int32_t mode, int32_t maskMode,
                          int32_t opacity, bool keepAlpha) noexcept;
// The canvas-size form: a tight picture and a destination of the canvas's
// width and height.
void BlendRgba32IntoLayer(const uint8_t* rgba, Pixel64* dst, int32_t mode, int32_t maskMode,
                          int32_t opacity, bool keepAlpha) noexcept;

// Whether a fast path will run for this mode (false when the CPU lacks the
// instruction set or DROVINE_NO_FAST_PATHS turned them off).
bool FastPathActive(int32_t mode) noexcept;
// Test hook: turn fast paths off or back on (on only where the CPU can).
void SetFastPathsEnabled(bool enabled) noexcept;

}  // namespace dro::composite
