// The image library seam: the detail, noise and edge effects (neighbourhood
// filters, noise, sharpening, edges, relief and the picture generators the
// detail family is built from).
//
// Conventions are those of image_effects.h: 8-bit pictures of 3 (R, G, B)
// or 4 (R, G, B, A) bytes per pixel, rows `stride` bytes apart; `channels`
// 15 treats alpha as a channel, 7 copies it from the source; edges repeat
// the border pixel; true on success and the output untouched on false
// (null pointers, sizes below 1, short strides, NaN values); nothing
// throws. "Plane" means one byte per pixel. Operations that take a `seed`
// are deterministic for it: the callers draw seeds from the engine's
// generator, so a seeded host repeats its picture.
//
// Behind the operations:
//   NeighbourhoodFilter   cv::blur (arithmetic mean), cv::dilate and
//                         cv::erode (maximum, minimum, midpoint),
//                         cv::medianBlur; geometric and harmonic means
//                         are our 16-bit log and reciprocal tables around
//                         cv::blur
//   Sharpen               cv::filter2D; SharpenMore and UnsharpMask
//                         cv::GaussianBlur and our own table
//   CannyEdges            cv::GaussianBlur, cv::Canny
//   ShadeBevel            cv::distanceTransform
//   DisplaceRandomly      cv::remap
//   the rest              our own loops
#pragma once

#include <cstdint>

namespace dro::platform::image {

// ---- Neighbourhood filters, src into dst over a square of 2 radius + 1 ----
// Radius 0 copies; radii are clamped to the larger side. Means are rounded.
enum class Neighbourhood : int32_t {
  kArithmeticMean,
  kGeometricMean,  // exp(mean(ln(v + 1))) - 1
  kHarmonicMean,   // 1 / mean(1 / (v + 1)) - 1
  kMidpoint,       // (maximum + minimum + 1) / 2
  kMaximum,
  kMinimum,
  kMedian,
};
bool NeighbourhoodFilter(const uint8_t* src, int32_t width, int32_t height, uint8_t* dst,
                         int32_t bytesPerPixel, int32_t stride, int32_t dstStride, int32_t radius,
                         Neighbourhood kind, int32_t channels) noexcept;

// In place: every colour channel replaced by its 3 x 3 median where the
// pixel stands out from it by more than 24 grey levels (specks), kept
// elsewhere.
bool DespeckleImage(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                    int32_t stride, int32_t channels) noexcept;

// RGB24 src into dst: where a pixel differs from the median of radius
// `radius` (1..the larger side) by more than `threshold` (0..255) in any
// channel, it moves towards the median by `strength` (0..1, clamped);
// elsewhere it is copied.
bool DustAndScratches(const uint8_t* src, int32_t width, int32_t height, uint8_t* dst,
                      int32_t stride, int32_t dstStride, int32_t radius, int32_t threshold,
                      double strength) noexcept;

// ---- Noise, in place ----
// Zero-mean noise of standard deviation `amount` / 100 grey levels (amount
// clamped to 0..25500), added to each channel (`monochrome` nonzero: one
// draw for all colour channels of a pixel) and saturated. Every kind is
// drawn from its inverse distribution through a 65536-entry table scaled
// once per call, with 16 random bits per draw from SplitMix64.
enum class NoiseKind : int32_t { kGaussian, kUniform, kNegativeExponential, kRayleigh };
bool AddNoise(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel, int32_t stride,
              NoiseKind kind, int32_t amount, int32_t monochrome, uint32_t seed,
              int32_t channels) noexcept;

// RGB24 overwritten with noise about `colour` (red in the lowest byte):
// each channel colour + u, u uniform in -amount..amount (amount clamped to
// 0..255); mode 0 draws one u per pixel (the colour's shades), otherwise
// one per channel.
bool ColoredNoise(uint8_t* rgb, int32_t width, int32_t height, int32_t stride, uint32_t colour,
                  int32_t amount, int32_t mode, uint32_t seed) noexcept;

// A plane filled with smooth value noise: `octaves` (1..8) layers of a
// lattice of random values interpolated with a smooth step, the coarsest
// lattice `cellSize` pixels apart (2..4096), each next one half as wide
// and `persistence` (0..1) as strong; stretched to 0..255.
bool ValueNoisePlane(uint8_t* plane, int32_t width, int32_t height, int32_t stride, int32_t octaves,
                     double cellSize, double persistence, uint32_t seed) noexcept;

// A plane filled with Perlin noise (noise_field.h), 8 octaves whose
// coarsest features are a quarter of the larger side, each next octave
// `persistence` (0..1) as strong; stretched to 0..255.
bool PerlinNoisePlane(uint8_t* plane, int32_t width, int32_t height, int32_t stride,
                      double persistence, uint32_t seed) noexcept;

// ---- Structure, in place unless "into" ----
// Each cell of `cell` x `cell` pixels (clamped to 1..the larger side)
// becomes its mean colour (cells at the right and bottom edges are cut).
bool MosaicImage(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                 int32_t stride, int32_t cell) noexcept;

// RGB24 as a halftone screen: in every cell of `cell` pixels a round
// anti-aliased dot whose area is the cell's darkness, black on white
// (`colour` 0, the darkness of the cell's luma) or one screen per channel
// (`colour` nonzero).
bool HalftoneImage(uint8_t* rgb, int32_t width, int32_t height, int32_t stride, int32_t cell,
                   int32_t colour) noexcept;

// Interlaced video lines removed: odd rows become a copy of the row above
// (method 1) or the mean of the rows above and below (any other method;
// the last row, without a row below, copies).
bool DeinterlaceImage(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                      int32_t stride, int32_t method) noexcept;

// RGB24 src into dst: seeded Voronoi cells about `cell` pixels wide
// (2..the larger side, jittered one per cell of a grid) whose borders
// crack: a dark line (mode 0) or a light one (otherwise) about cell / 12
// pixels wide, anti-aliased from the distance between the two nearest
// cell centres; each cell tinted by a random -8..8 grey levels.
bool CrackleImage(const uint8_t* src, int32_t width, int32_t height, int32_t stride, uint8_t* dst,
                  int32_t dstStride, int32_t mode, int32_t cell, uint32_t seed) noexcept;

// A plane of fingerprint ridges: rings about the centre every `period`
// pixels (2..the larger side) bent by the source plane (`strength` 0..100:
// how far a white pixel shifts the rings, in tenths of a period);
// style nonzero: straight ridges instead of rings. Out = 127.5 + 127.5
// cos(phase), rounded.
bool FingerprintPlane(const uint8_t* grey, int32_t width, int32_t height, int32_t stride,
                      uint8_t* out, int32_t outStride, int32_t period, int32_t strength,
                      int32_t style) noexcept;

// ---- Sharpening and edges, RGB24 src into dst ----
// 3 x 3 Laplacian sharpening: dst = src + k (4 src - the four neighbours),
// k = amount / 100 (amount 0..400, clamped), by cv::filter2D.
bool Sharpen3x3(const uint8_t* src, int32_t width, int32_t height, int32_t stride, uint8_t* dst,
                int32_t dstStride, int32_t amount) noexcept;
// dst = src + strength (src - G), G a Gaussian blur of sigma `radius`
// (1..the larger side) and strength clamped to 0..10, by cv::GaussianBlur
// and cv::addWeighted.
bool SharpenMore(const uint8_t* src, int32_t width, int32_t height, int32_t stride, uint8_t* dst,
                 int32_t dstStride, int32_t radius, double strength) noexcept;
// Unsharp mask: d = src - G (G a Gaussian of sigma `radius`, 0.1..the
// larger side); where |d| > threshold the byte becomes src + d x amount /
// 100 (amount 0..1000; the gain kept in 8.8 fixed point, the step truncated
// towards zero), saturated; elsewhere src.
bool UnsharpMask(const uint8_t* src, int32_t width, int32_t height, int32_t stride, uint8_t* dst,
                 int32_t dstStride, int32_t amount, double radius, double threshold) noexcept;
// Canny edges of a plane into `out` (255 on edges, 0 elsewhere) after a
// Gaussian of `sigma` (0.1..100): `low` and `high` are fractions (0..1) of
// the largest gradient magnitude 1000, swapped when high is below low.
bool CannyEdges(const uint8_t* grey, int32_t width, int32_t height, int32_t stride, uint8_t* out,
                int32_t outStride, double sigma, double low, double high) noexcept;

// ---- Relief ----
// The plane as a height field lit from `azimuth` (radians, counter-
// clockwise from the right) at `elevation` (radians above the picture);
// `depth` (0..255) scales the slopes. RGB24 src into dst: each channel
// moves by (shade - flat shade) x 255, so flat areas keep their colour.
bool EmbossRgb(const uint8_t* plane, int32_t width, int32_t height, int32_t planeStride,
               double azimuth, double elevation, int32_t depth, const uint8_t* src,
               int32_t srcStride, uint8_t* dst, int32_t dstStride) noexcept;

// RGB24 in place: a bevel `depth` pixels wide (clamped to 0..half the
// shorter side; 0 changes nothing) along the picture's edges, from the
// distance to the edge (cv::distanceTransform, rounded corners). Each side
// lightens towards white (top, left) or darkens towards black (bottom,
// right) by its intensity (0..255) times the slope; `softness` (0..500)
// rounds the profile from a straight chamfer (0) to a pillow.
bool ShadeBevel(uint8_t* rgb, int32_t width, int32_t height, int32_t stride, int32_t depth,
                const int32_t intensities[4], int32_t softness) noexcept;

// ---- Glow and transforms, src into dst ----
// RGB24 soft focus: G a Gaussian of sigma blur x 0.05 x the larger side
// (blur 0..1), lightened by `brightness` x 64 grey levels, combined with
// src by lighten (mode 0) or screen (otherwise), and mixed into src by
// `mix` (0..1).
bool GauzyImage(const uint8_t* src, int32_t width, int32_t height, int32_t stride, uint8_t* dst,
                int32_t dstStride, double blur, double brightness, double mix,
                int32_t mode) noexcept;
// RGBA32: each pixel sampled bilinearly from a seeded random point within
// `amount` pixels (0 copies; clamped to the larger side), by cv::remap;
// samples off the picture take `fill` (red in the lowest byte, opaque).
bool DisplaceRandomly(const uint8_t* src, int32_t width, int32_t height, int32_t stride,
                      uint8_t* dst, int32_t dstStride, int32_t amount, uint32_t fill,
                      uint32_t seed) noexcept;
// RGBA32 moved by (dx, dy); uncovered pixels become transparent black.
bool OffsetImage(const uint8_t* src, int32_t width, int32_t height, int32_t stride, uint8_t* dst,
                 int32_t dstStride, int32_t dx, int32_t dy) noexcept;

}  // namespace dro::platform::image

namespace dro::platform::image {

// Lays `tile` (tileWidth x tileHeight, `bytesPerPixel` bytes a pixel) over
// the whole picture from (0, 0), repeating it right and down: each row is
// one run of copies of a tile row, so the cost is a copy of the picture
// whatever the tile's size. False for a tile of side 0 or bad strides.
bool TileImage(uint8_t* pixels, int32_t width, int32_t height, int32_t stride, const uint8_t* tile,
               int32_t tileWidth, int32_t tileHeight, int32_t tileStride,
               int32_t bytesPerPixel) noexcept;

}  // namespace dro::platform::image
