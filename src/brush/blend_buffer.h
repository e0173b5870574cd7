// The blend buffer: the colour picked up under the dab.
//
// An L x L Pixel64 square (L the brush size limit) whose top-left n x n
// pixels, n the brush size, hold the pixels under the dab pre-mixed with the
// current colour by a weight (0..256, the colour's share). The mask form
// keeps one 16-bit value per pixel in the first n 16-bit units of each row.
// Every copy does nothing while the blend strength is 0.
#pragma once

#include <cstdint>

#include "base/plane.h"

namespace dro::brush {

// The dab square centred at (x, y), clipped to a width x height area. A
// left or top edge before 0 skips that many blend-buffer columns or rows;
// any clipping marks the dab partly outside.
struct DabSquare {
  int32_t left = 0, top = 0, right = -1, bottom = -1;  // inclusive, on the area
  int32_t skipX = 0, skipY = 0;                        // first blend-buffer column, row
  bool partlyOutside = false;
};
DabSquare ClipDab(int32_t x, int32_t y, int32_t n, int32_t width, int32_t height) noexcept;

// Fills the blend buffer from a canvas-size source; 1 when it was filled,
// 0 when the blend strength is 0 or there is no source or buffer.
int32_t CopyBlendBuffer(int32_t x, int32_t y, const Plane& source, int32_t weight,
                        bool alphaFlag) noexcept;
// Fills the mask form from the mask buffer (the enabled flag is not read).
int32_t CopyBlendBufferMask(int32_t x, int32_t y, int32_t weight) noexcept;
// Zeroes the whole blend buffer.
void ClearBlendBuffer() noexcept;
// Filters the colour of the n x n used pixels: 289 grey, 290 invert, 291
// channels below trunc(amount x 655.35) to 0, 292 those above it to 65280.
void FilterBlendBuffer(int32_t kind, int32_t amount) noexcept;

}  // namespace dro::brush
