// The display compositor's running results for a chunk of pixels, laid out
// channel by channel so that eight neighbouring pixels can be composed with
// one vector operation per step. Shared by the compositor and its AVX2 fast
// path for the Normal-formula layers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/types.h"

namespace dro::composite::detail {

inline constexpr int32_t kChunk = 128;  // pixels composed together
inline constexpr float kColorScale = 65280.f;
inline constexpr float kAlphaScale = 65535.f;
// The checkerboard behind a result that is not opaque.
inline constexpr uint32_t kLightSquareValue = 65535;
inline constexpr uint32_t kDarkSquareValue = 0x9FFF;

// Per pixel: the integer result while every step was exact, the floats
// (straight colour on the 65280 = 1 scale, alpha on 0..1) once a step went
// through the floating-point composite, and which of the two holds
// (`isFloat` is -1 for the floats, 0 for the integers). `start` is the first
// display entry still to compose for the pixel.
struct RunningLanes {
  alignas(32) uint32_t r[kChunk];
  alignas(32) uint32_t g[kChunk];
  alignas(32) uint32_t b[kChunk];
  alignas(32) uint32_t a[kChunk];
  alignas(32) float fr[kChunk];
  alignas(32) float fg[kChunk];
  alignas(32) float fb[kChunk];
  alignas(32) float fa[kChunk];
  alignas(32) int32_t isFloat[kChunk];
  alignas(32) int32_t start[kChunk];
};

// One display entry whose formula is Normal (modes 0, 13, 14 and 20) and
// which has no layer mask, over pixels that lie next to each other.
struct NormalEntry {
  const Pixel64* pixels = nullptr;  // the chunk's first pixel
  int32_t index = 0;                // position in the display list
  int32_t opacity = 255;
  bool forceOpaque = false;      // the background counts as opaque
  bool replaceCovering = false;  // mode 0: a covering pixel replaces the result
};

// Composes `entry` onto lanes [0, count) where `start` allows, exactly as the
// scalar compositor does (the same single-precision operations in the same
// order). `count` is a multiple of 8. Needs AVX2.
void ComposeNormalEntryAvx2(const NormalEntry& entry, RunningLanes& lanes, int32_t count) noexcept;

// The top-down start over a background in a plain colour mode, for lanes
// [0, count) whose `start` is not `done`: the topmost covering pixel of a
// mode-0 layer at full opacity starts the result as it is (and the entry
// above it is the first to compose); without one the background does, its
// alpha forced opaque and scaled by its opacity. Only for display lists
// whose mode-0 layers have no layer mask. `count` is a multiple of 8.
struct StartEntry {
  const Pixel64* pixels = nullptr;  // the chunk's first pixel
  bool canCover = false;            // mode 0 at full opacity
};
void StartLayersAvx2(const StartEntry* entries, int32_t entryCount, int32_t backgroundOpacity,
                     RunningLanes& lanes, int32_t count, int32_t done) noexcept;

// Writes lanes [0, count) as blue, green, red bytes, each `repeat` times,
// from `bgr` on, for the display without tracing or a shown mask at 1/1 or
// zoomed in: the layers' result over the 32-pixel checkerboard where it is
// not opaque. `cx0` is the canvas column of lane 0. `count` is a multiple
// of 8. Needs AVX2.
void FinishPlainAvx2(const RunningLanes& lanes, int32_t count, int32_t cx0, int32_t cy,
                     int64_t repeat, uint8_t* bgr) noexcept;

// The plain path for groups of eight pixels: a pixel is shown as it is
// when, from the top of the plain top entries down, the first pixel that is
// not transparent covers (alpha 65280 or more), or when all of them are
// transparent and `base` (the opaque background, or null) lies below.
// `tops[i] + index` is pixel 0 under entry i; pixels lie `step` (1 or 2)
// apart, and all 8 x step x groups from there must lie in the buffers. For
// group g, shown[g] gets a bit per pixel that is shown as it is; when all
// eight are, they are written as blue, green, red bytes, each `repeat`
// times, from bgr + 24 g repeat on. Needs AVX2.
void PlainGroupsAvx2(const Pixel64* const* tops, int32_t topCount, const Pixel64* base,
                     size_t index, int32_t step, int64_t repeat, int32_t groups, uint8_t* bgr,
                     uint8_t* shown) noexcept;

}  // namespace dro::composite::detail
