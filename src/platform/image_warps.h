// The image seam's warps: the projective corner warp and the transform
// family (lens, ripple, spin, waves and their kin).
//
// Conventions of image_library.h: RGBA32 pixels (4 bytes per pixel, any
// byte order: the warps treat the four channels alike), width, height and a
// row stride in bytes; true on success, the destination untouched on false;
// nothing throws. Callers that care about colour under transparency
// premultiply before and undo it after, as for every library filter.
//
// Every warp is an inverse map: for each destination pixel, the source
// position it shows. The corner warp's map is a homography
// (cv::getPerspectiveTransform, sampled by cv::warpPerspective); the
// transforms' maps are built here and sampled by cv::remap. Sampling is
// bilinear throughout.
#pragma once

#include <cstdint>

namespace dro::platform::image {

// How a transform reads a source position outside the picture.
enum class WarpEdge : int32_t {
  kClamp = 0,  // the nearest edge pixel
  kWrap = 1,   // the picture repeats
  kFill = 2,   // the fill colour at alpha 0
};
// A host's edge number: 0 clamp, 1 wrap, anything else fill.
WarpEdge WarpEdgeFromMode(int32_t mode) noexcept;

// Maps the quadrilateral `srcCorners` of the source onto `dstCorners` of
// the destination; each holds four (x, y) pairs in the same corner order.
// Destination pixels whose source lies outside the picture take the fill
// colour (0x00BBGGRR) at alpha 0, and pixels along the picture's edge blend
// with it, so the warped picture has a soft rim and keeps its last column
// and row. False, writing nothing, for a degenerate quadrilateral (three
// corners on a line), a singular or non-finite homography, bad sizes or
// null pixels.
bool PolygonWarpImage(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride,
                      uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                      const int32_t srcCorners[8], const int32_t dstCorners[8],
                      uint32_t fillColour) noexcept;

// The transforms. Positions are in pixels; (centreX, centreY) is an offset
// of the centre from the picture's middle in half pixels (-width puts it on
// the left edge, +width on the right edge), as the effects compute it.
enum class TransformKind : int32_t {
  kElliptical,  // a = radius x, b = radius y: a sphere bulging inside the ellipse
  kLens,        // a = radius: a magnifying lens at the middle
  kMarble,      // a = detail (0.5..), b, c = x and y swing in pixels: marble veins
  kOffset,      // a, b = shift in pixels (usually with wrap)
  kPinch,       // a = radius, b = amount -100..100 (negative bulges)
  kRipple,      // a = radius, b = wavelength, c = amplitude, in pixels
  kSpin,        // a = radius, b = turn in degrees at the centre
  kSpinWave,    // a = radius, b = turn in degrees, c = waves across the radius
  kWave,        // a = amplitude, b = wavelength, in pixels
  kWow,         // a = radius: an eight-petalled radial swing
  kZigZag,      // a = strength (degrees of turn), b = ridges from the middle outwards
};

struct Transform {
  TransformKind kind = TransformKind::kOffset;
  double a = 0, b = 0, c = 0;
  int32_t centreX = 0, centreY = 0;
  WarpEdge edge = WarpEdge::kFill;
};

// Builds the inverse map of `t` for a width x height picture into two
// planes of width x height floats (source x and y per destination pixel).
// False (planes untouched) when the transform cannot be built: a radius,
// wavelength, ridge count or ellipse axis of 0 or less, a non-finite value,
// or bad sizes.
bool BuildTransformMap(const Transform& t, int32_t width, int32_t height, float* mapX,
                       float* mapY) noexcept;

// Samples `src` through a map (from BuildTransformMap or any other) into
// `dst` with the edge handling; `fillColour` is 0x00BBGGRR (its first byte
// lands in the first channel) and is used with alpha 0.
bool RemapImage(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride, uint8_t* dst,
                int32_t dstStride, const float* mapX, const float* mapY, WarpEdge edge,
                uint32_t fillColour) noexcept;

// BuildTransformMap and RemapImage in one pass: the map is built a strip
// of rows at a time, on OpenCV's worker threads, just before the strip is
// sampled. `src` and `dst` must differ; on false `dst` may be partly
// written (callers sample into a scratch picture).
bool TransformImage(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride,
                    uint8_t* dst, int32_t dstStride, const Transform& t,
                    uint32_t fillColour) noexcept;

// Covers the whole picture with copies of a tile laid at every
// (i x tileWidth, j x tileHeight), the last ones clipped: row copies, the
// speed of memcpy. False for bad sizes or null pixels.
bool TileImage(uint8_t* pixels, int32_t width, int32_t height, int32_t stride, const uint8_t* tile,
               int32_t tileWidth, int32_t tileHeight, int32_t tileStride) noexcept;

// Mirrors an RGBA32 picture in place (cv::flip): horizontally (x to
// width - 1 - x) or vertically.
bool FlipImage(uint8_t* pixels, int32_t width, int32_t height, int32_t stride,
               bool horizontal) noexcept;

}  // namespace dro::platform::image
