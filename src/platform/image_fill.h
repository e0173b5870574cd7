// Fills and colour selections of the image library: a rectangle or an
// ellipse filled with one colour, colours replaced within a tolerance, flood
// fills and the byte planes that mark which pixels a colour selects.
//
// Conventions, beside those of image_library.h:
// - Pictures have 1, 3 or 4 bytes per pixel (grey, RGB, RGBA). A colour is
//   four bytes R, G, B, A; an operation writes the first `bytesPerPixel` of
//   them (one byte: the red byte, read as grey).
// - Colour distance is the squared distance of the R, G and B bytes,
//   dr^2 + dg^2 + db^2, from 0 (the same colour) to kMaxColorDistance =
//   3 x 255^2 (black to white); a grey byte counts as R = G = B. A pixel
//   matches a reference colour when its distance is at most the tolerance,
//   so a tolerance of 0 selects the exact colour, kMaxColorDistance every
//   colour and a negative one nothing. Alpha never takes part.
// - Shapes are placed with 64-bit positions and clipped to the picture; a
//   shape that misses the picture is a success that changes nothing.
// - Selection planes hold one byte per pixel, rows `planeStride` bytes
//   apart: 1 where the pixel is selected, 0 elsewhere. A plane is scratch:
//   on false its contents are undefined (every other output is unchanged).
// - Nothing throws; a failed allocation gives false.
#pragma once

#include <cstdint>

namespace dro::platform::image {

inline constexpr int32_t kMaxColorDistance = 3 * 255 * 255;  // 195075

struct ByteColor {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  uint8_t a = 0;
};

// Whether a fill writes the alpha byte of 4-byte pixels too.
enum class AlphaWrite : uint8_t { kKeep, kWrite };

// The squared RGB distance of two colours.
constexpr int32_t ColorDistance(ByteColor p, ByteColor q) noexcept {
  const int32_t dr = p.r - q.r, dg = p.g - q.g, db = p.b - q.b;
  return dr * dr + dg * dg + db * db;
}

// Lays `color` over the rectangle of columns left..right and rows
// top..bottom (both inclusive) at `opacity` (0..1): each byte becomes
// old + (new - old) x opacity, rounded to nearest, so 1 writes the colour
// exactly. An empty rectangle (right < left) changes nothing. False for a
// bad picture or an opacity outside 0..1 (NaN included).
bool FillTransparentRect(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                         int32_t stride, int64_t left, int64_t top, int64_t right, int64_t bottom,
                         ByteColor color, double opacity) noexcept;

// Fills the ellipse of centre (cx, cy) and radii rx, ry: the pixels with
// (x - cx)^2 ry^2 + (y - cy)^2 rx^2 <= rx^2 ry^2, exact in integers, laid
// over at `opacity` as FillTransparentRect does. A radius of 0 gives a line
// (both 0: one pixel). Only the rows that lie on the picture are visited.
// False for a bad picture, an opacity outside 0..1, or a radius outside
// 0..2^31.
bool FillEllipse(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                 int32_t stride, int64_t cx, int64_t cy, int64_t rx, int64_t ry, ByteColor color,
                 double opacity) noexcept;

// Every pixel within `tolerance` of `key` takes `fill` (its alpha byte too
// when asked).
bool ReplaceColor(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                  int32_t stride, ByteColor key, ByteColor fill, int32_t tolerance,
                  AlphaWrite alpha) noexcept;

// Marks every pixel within `tolerance` of `key`, wherever it lies.
bool MarkColorMatches(const uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                      int32_t stride, ByteColor key, int32_t tolerance, uint8_t* plane,
                      int32_t planeStride) noexcept;

// Marks the pixels reached from (x, y) through 4-connected neighbours that
// are all within `tolerance` of the colour of pixel (x, y) itself. A
// scanline fill: no recursion; its stack of pending row spans grows on the
// heap as needed. False (plane untouched) when (x, y) lies off the picture.
bool MarkConnectedMatches(const uint8_t* pixels, int32_t width, int32_t height,
                          int32_t bytesPerPixel, int32_t stride, int64_t x, int64_t y,
                          int32_t tolerance, uint8_t* plane, int32_t planeStride) noexcept;

// Flood fill: the pixels MarkConnectedMatches selects from (x, y) take
// `fill` (its alpha byte too when asked). The picture is written only once
// the whole region is known, so a false leaves it unchanged.
bool FloodFill(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
               int32_t stride, int64_t x, int64_t y, ByteColor fill, int32_t tolerance,
               AlphaWrite alpha) noexcept;

}  // namespace dro::platform::image
