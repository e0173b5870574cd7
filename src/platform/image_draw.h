// Drawing and whole-picture effects of the image library: anti-aliased
// ellipses, linear and radial gradients, sharpening, saturation, the RGB
// blur and the bump-map displacement.
//
// Conventions, beside those of image_library.h and image_fill.h (whose
// ByteColor this seam shares):
// - Pictures are RGBA (4 bytes, R, G, B, A) unless a function says RGB
//   (3 bytes). Rows are `stride` bytes apart.
// - Nothing throws; a failed allocation or a bad argument gives false and
//   leaves the outputs unchanged.
//
// Behind the operations:
//   FillEllipseAA         OpenCV cv::ellipse (filled, LINE_AA)
//   Gradients             our own loops over a 4097-entry colour table
//   SharpenImage          OpenCV cv::GaussianBlur + cv::addWeighted (unsharp)
//   BlurRgb               OpenCV cv::GaussianBlur, mixed back by a weight
//   ModifySaturation      our own loop (luma-preserving)
//   BumpDisplacement      our own height-map slopes, OpenCV cv::remap
#pragma once

#include <cstdint>

#include "platform/image_fill.h"

namespace dro::platform::image {

// Fills the ellipse of centre (cx, cy) and radii rx, ry (each >= 0) with
// `color` (all four bytes), its edge anti-aliased: an edge pixel of
// coverage c (0..1) becomes old + (color - old) x c per byte. Positions
// beyond +-2^24 are clamped there first. False for a bad picture or a
// negative radius.
bool FillEllipseAA(uint8_t* rgba, int32_t width, int32_t height, int32_t stride, int64_t cx,
                   int64_t cy, int64_t rx, int64_t ry, ByteColor color) noexcept;

// One stop of a gradient: a colour at a position in percent of the
// gradient's length.
struct GradientStop {
  ByteColor color;
  double position = 0.0;
};

// Gradient contract. With the stops sorted by position (1..4 of them):
//   G1. A pixel's position t (percent) is 100 x its projection on the
//       vector from (x1, y1) to (x2, y2) divided by the vector's squared
//       length (linear), or 100 x its distance from (cx, cy) over `radius`
//       (radial); pixels are sampled at their integer coordinates.
//   G2. t is quantised to the nearest of 4097 steps, k = round(t x 40.96)
//       kept within 0..4096, and the colour is table[k].
//   G3. table[k] at t = k / 40.96: before the first stop the first colour,
//       from the last stop on the last colour, between stops i and i + 1
//       each byte c_i + (c_i+1 - c_i) x f rounded half up, with f = (t -
//       p_i) / (p_i+1 - p_i).
//   G4. A zero-length vector or a radius of 0 (or not finite) fills with
//       the last stop's colour.
// So the start pixel takes the first stop's colour and the end pixel the
// last one's exactly. False for a bad picture or a stop count outside
// 1..4.
bool FillGradientLinear(uint8_t* rgba, int32_t width, int32_t height, int32_t stride, double x1,
                        double y1, double x2, double y2, const GradientStop* stops,
                        int32_t count) noexcept;
bool FillGradientRadial(uint8_t* rgba, int32_t width, int32_t height, int32_t stride, double cx,
                        double cy, double radius, const GradientStop* stops,
                        int32_t count) noexcept;

// Unsharp mask of an RGB picture into `dst` (not `src`): dst = src + (src -
// blur) x amount / 10, saturated, with blur a Gaussian of an odd window of
// `window` pixels (at least 3). amount 0..100.
bool SharpenImage(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride,
                  uint8_t* dst, int32_t dstStride, int32_t amount, int32_t window) noexcept;

// Blurs an RGB picture in place: a Gaussian of sigma = radius / 3 (radius
// clamped to 0..100; 0 copies), then each byte becomes old + (blurred - old)
// x weight (weight clamped to 0..1), rounded. Edges repeat the border.
bool BlurRgb(uint8_t* rgb, int32_t width, int32_t height, int32_t stride, int32_t radius,
             float weight) noexcept;

// Each colour channel c of a 3- or 4-byte picture moves from its pixel's
// luma Y = (299 R + 587 G + 114 B) / 1000 by `factor`: c' = Y + (c - Y) x
// factor, rounded and saturated (1 keeps the picture, 0 makes it grey,
// negative values swing the hue round). Alpha is untouched. False for a
// factor that is not finite.
bool ModifySaturation(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                      int32_t stride, double factor) noexcept;

// Bump-map displacement of an RGBA picture into `dst` (tight, not `src`):
// the height map `heights` (one byte per pixel, `heightWidth` x
// `heightHeight`, read tiled) gives each pixel a slope (h(x+1, y) - h(x-1,
// y), h(x, y+1) - h(x, y-1)) / 2, and the pixel is sampled from the source
// at its own position plus strength x slope / 64 pixels, bilinearly;
// samples off the picture take `fill` (R in the lowest byte, then G, B, A).
bool BumpDisplacement(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride,
                      uint8_t* dst, int32_t dstStride, const uint8_t* heights, int32_t heightWidth,
                      int32_t heightHeight, float strength, uint32_t fill) noexcept;

}  // namespace dro::platform::image
