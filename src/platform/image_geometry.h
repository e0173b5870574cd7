// The image seam's whole-picture geometry: resampling with OpenCV's own
// filters, quarter turns and mirror flips.
//
// Same conventions as image_library.h: pixels, width, height, a row stride in
// bytes and the bytes per pixel, here 4 (RGBA32) or 8 (Pixel64 rows, four
// 16-bit channels). Operations return true on success and leave the output
// untouched on false; nothing throws. Colour is resampled as stored
// (straight alpha), the way the library's own filters always did.
#pragma once

#include <cstdint>

namespace dro::platform::image {

// OpenCV's resampling filters: cv::INTER_NEAREST, INTER_LINEAR, INTER_CUBIC
// (a = -0.75) and INTER_AREA (box average when shrinking, bilinear when
// enlarging).
enum class CvFilter : int32_t { kNearest, kBilinear, kBicubic, kArea };

bool ResizeWithFilter(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride,
                      uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                      int32_t bytesPerPixel, CvFilter filter) noexcept;

// A quarter turn into a height x width destination. Clockwise, the pixel
// at (x, y) lands at (height - 1 - y, x); counter-clockwise at
// (y, width - 1 - x).
bool QuarterTurn(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride, uint8_t* dst,
                 int32_t dstStride, int32_t bytesPerPixel, bool clockwise) noexcept;

// The same turn of a square picture in place: no second picture is needed.
bool QuarterTurnSquareInPlace(uint8_t* pixels, int32_t side, int32_t stride, int32_t bytesPerPixel,
                              bool clockwise) noexcept;

// Mirrors the picture in place: horizontally (x to width - 1 - x) or
// vertically (y to height - 1 - y).
bool FlipInPlace(uint8_t* pixels, int32_t width, int32_t height, int32_t stride,
                 int32_t bytesPerPixel, bool horizontal) noexcept;

}  // namespace dro::platform::image
