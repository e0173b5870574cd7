// Corner warps and transforms: our own inverse maps, OpenCV's samplers.
//
// The maps, for a destination pixel (x, y), with d = (x, y) - centre,
// r = |d|, q = r / radius and the source position s:
//   1. Elliptical  u = dx / rx, v = dy / ry, q = |(u, v)| < 1:
//                  s = centre + d x (2 / pi) asin(q) / q   (1.57x at the middle, 1 at the rim)
//   2. Lens        q < 1: s = centre + d x (0.5 + 0.5 q^2) (2x at the middle)
//   3. Marble      s = (x, y) + (b, c) x (T(x, y), T(x + 97, y + 31)), T a smooth
//                  two-octave value noise in -1..1 of period 128 / a pixels
//   4. Offset      s = (x - a, y - b)
//   5. Pinch       q < 1: s = centre + d x q^(e - 1), e = 1 / (1 + k) for k = b / 100
//                  >= 0, 1 - k below (k clamped to -1..1)
//   6. Ripple      r < a: s = centre + d x (r + c sin(2 pi r / b) (1 - r / a)) / r
//   7. Spin        r < a: d turned by b degrees x (1 - r / a)^2
//   8. Spin Wave   r < a: d turned by b degrees x sin(pi c r / a) x (1 - r / a)
//   9. Wave        s = (x + a sin(2 pi y / b), y + a sin(2 pi x / b))
//  10. Wow         r < a: s = centre + d x (r + a / 16 sin(8 theta) sin(pi r / a)) / r
//  11. Zig Zag     d turned by a degrees x sin(2 pi b r / rmax), rmax = half the diagonal
// Outside its radius a transform leaves the pixel where it is. The radial
// functions are read from tables and Marble's noise from a grid (Mapper). Centres are
// ((width - 1 + centreX) / 2, (height - 1 + centreY) / 2); Elliptical, Lens,
// Wow and Zig Zag turn about the middle.
#include "platform/image_warps.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "base/allocation.h"
#include "platform/image_effects.h"
#include "platform/image_geometry.h"
#include "platform/warp_strips.h"

namespace dro::platform::image {
namespace {

constexpr double kPi = std::numbers::pi;

bool Valid(const void* p, int32_t w, int32_t h, int32_t stride) noexcept {
  return p && w > 0 && h > 0 && int64_t{stride} >= int64_t{w} * 4;
}

int Border(WarpEdge edge) noexcept {
  switch (edge) {
    case WarpEdge::kClamp:
      return cv::BORDER_REPLICATE;
    case WarpEdge::kWrap:
      return cv::BORDER_WRAP;
    case WarpEdge::kFill:
      break;
  }
  return cv::BORDER_CONSTANT;
}

cv::Scalar Fill(uint32_t colour) noexcept {
  return cv::Scalar(colour & 255, colour >> 8 & 255, colour >> 16 & 255, 0);
}

// Number 3: value noise on an integer lattice, hashed, smoothstep between.
double Lattice(int64_t x, int64_t y) noexcept {
  uint64_t h = uint64_t(x) * 0x9e3779b97f4a7c15ull ^ uint64_t(y) * 0xc2b2ae3d27d4eb4full;
  h ^= h >> 29;
  h *= 0xbf58476d1ce4e5b9ull;
  h ^= h >> 32;
  return double(h >> 11) * 0x1p-52 - 1.0;
}

double ValueNoise(double x, double y) noexcept {
  const double fx = std::floor(x), fy = std::floor(y);
  const auto ix = int64_t(fx), iy = int64_t(fy);
  double u = x - fx, v = y - fy;
  u = u * u * (3 - 2 * u);
  v = v * v * (3 - 2 * v);
  const double top = Lattice(ix, iy) + (Lattice(ix + 1, iy) - Lattice(ix, iy)) * u;
  const double bottom = Lattice(ix, iy + 1) + (Lattice(ix + 1, iy + 1) - Lattice(ix, iy + 1)) * u;
  return top + (bottom - top) * v;
}

double Turbulence(double x, double y, double frequency) noexcept {
  return (ValueNoise(x * frequency, y * frequency) * 2.0 +
          ValueNoise(x * frequency * 2.0, y * frequency * 2.0)) /
         3.0;
}

bool Finite(const Transform& t) noexcept {
  return std::isfinite(t.a) && std::isfinite(t.b) && std::isfinite(t.c);
}

// The size of the radius, axis or wavelength each kind divides by.
bool Buildable(const Transform& t) noexcept {
  switch (t.kind) {
    case TransformKind::kElliptical:
      return t.a > 0 && t.b > 0;
    case TransformKind::kLens:
    case TransformKind::kPinch:
    case TransformKind::kSpin:
    case TransformKind::kSpinWave:
    case TransformKind::kWow:
      return t.a > 0;
    case TransformKind::kRipple:
      return t.a > 0 && t.b > 0;
    case TransformKind::kWave:
      return t.b > 0;
    case TransformKind::kMarble:
      return t.a > 0;
    case TransformKind::kZigZag:
      return t.b > 0;
    case TransformKind::kOffset:
      return true;
  }
  return false;
}

}  // namespace

WarpEdge WarpEdgeFromMode(int32_t mode) noexcept {
  return mode == 0 ? WarpEdge::kClamp : (mode == 1 ? WarpEdge::kWrap : WarpEdge::kFill);
}

bool PolygonWarpImage(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride,
                      uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                      const int32_t srcCorners[8], const int32_t dstCorners[8],
                      uint32_t fillColour) noexcept {
  if (EffectFailuresForTesting() || !Valid(src, width, height, srcStride) ||
      !Valid(dst, dstWidth, dstHeight, dstStride) || !srcCorners || !dstCorners)
    return false;
  try {
    cv::Point2f from[4], to[4];
    for (int i = 0; i < 4; ++i) {
      from[i] = cv::Point2f(float(srcCorners[2 * i]), float(srcCorners[2 * i + 1]));
      to[i] = cv::Point2f(float(dstCorners[2 * i]), float(dstCorners[2 * i + 1]));
    }
    // Three corners on a line make the system singular; the solver then
    // gives a matrix of zeros that would send every pixel to one point.
    const cv::Mat forward = cv::getPerspectiveTransform(from, to);
    const double det = cv::determinant(forward);
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
    const cv::Mat inverse = forward.inv(cv::DECOMP_LU);
    for (int i = 0; i < 9; ++i)
      if (!std::isfinite(inverse.at<double>(i / 3, i % 3))) return false;
    const cv::Mat in(height, width, CV_8UC4, const_cast<uint8_t*>(src), size_t(srcStride));
    cv::Mat out(dstHeight, dstWidth, CV_8UC4, dst, size_t(dstStride));
    // A transparent border would drop every pixel whose four taps are not
    // all inside, the last column and row among them; a constant border
    // keeps them and fades the rim into the fill.
    cv::warpPerspective(in, out, inverse, out.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                        cv::BORDER_CONSTANT, Fill(fillColour));
    return out.data == dst;
  } catch (...) {
    return false;
  }
}

namespace {

// A transform's map, one row at a time (the numbers above). The radial
// functions are sampled once into tables, 16 entries per pixel of radius,
// and read back with linear interpolation (the sampled positions differ
// from the formulas by far less than a hundredth of a pixel), so a pixel
// costs a square root instead of the formula's sines and powers; Marble's
// noise fields are evaluated on a grid every 4 pixels and interpolated
// between (they change over 20 pixels and more).
class Mapper {
 public:
  Mapper(const Transform& t, int32_t width, int32_t height)
      : t_(t), width_(width), height_(height) {
    const bool aboutMiddle = t.kind == TransformKind::kElliptical ||
                             t.kind == TransformKind::kLens || t.kind == TransformKind::kWow ||
                             t.kind == TransformKind::kZigZag;
    cx_ = aboutMiddle ? (width - 1) * 0.5 : (width - 1 + double(t.centreX)) * 0.5;
    cy_ = aboutMiddle ? (height - 1) * 0.5 : (height - 1 + double(t.centreY)) * 0.5;
    // The distances pixels can have from the centre: near..far. A centre
    // far outside the picture leaves this range no wider than the
    // picture's diagonal, and the tables cover only it.
    const double far = std::hypot(std::max(std::fabs(cx_), std::fabs(width - 1 - cx_)),
                                  std::max(std::fabs(cy_), std::fabs(height - 1 - cy_)));
    near_ = std::hypot(cx_ - std::clamp(cx_, 0.0, width - 1.0),
                       cy_ - std::clamp(cy_, 0.0, height - 1.0));
    rmax_ = std::max(0.5, std::hypot(width, height) * 0.5);
    const double pinch = std::clamp(t.b / 100.0, -1.0, 1.0);
    const double pinchExponent = pinch >= 0 ? 1.0 / (1.0 + pinch) : 1.0 - pinch;
    const double turn = t.b * kPi / 180.0;
    switch (t.kind) {
      case TransformKind::kWave:
        // Number 9 is separable: one sine per column serves every row.
        columnSine_.resize(size_t(width));
        for (int32_t x = 0; x < width; ++x)
          columnSine_[size_t(x)] = t.a * std::sin(2 * kPi * x / t.b);
        break;
      case TransformKind::kElliptical:
        // k(q) = (2 / pi) asin(q) / q on 0..1.
        Sample(0.0, 1.0, kEllipseSteps, [](double q) {
          return q > 0 ? 2.0 / kPi * std::asin(std::min(q, 1.0)) / std::min(q, 1.0) : 2.0 / kPi;
        });
        break;
      case TransformKind::kLens:  // source radius
        Radial(far, [&](double r) { return r * (0.5 + 0.5 * (r / t.a) * (r / t.a)); });
        break;
      case TransformKind::kPinch:
        Radial(far, [&](double r) { return t.a * std::pow(r / t.a, pinchExponent); });
        break;
      case TransformKind::kRipple:
        Radial(far,
               [&](double r) { return r + t.c * std::sin(2 * kPi * r / t.b) * (1.0 - r / t.a); });
        break;
      case TransformKind::kWow:  // the swing's size before the angle's share
        Radial(far, [&](double r) { return t.a / 16.0 * std::sin(kPi * r / t.a); });
        break;
      case TransformKind::kSpin:
        Turn(far, [&](double r) { return turn * (1.0 - r / t.a) * (1.0 - r / t.a); });
        break;
      case TransformKind::kSpinWave:
        Turn(far, [&](double r) { return turn * std::sin(kPi * t.c * r / t.a) * (1.0 - r / t.a); });
        break;
      case TransformKind::kZigZag:
        Turn(far,
             [&](double r) { return t.a * kPi / 180.0 * std::sin(2 * kPi * t.b * r / rmax_); });
        break;
      case TransformKind::kMarble:
        MarbleGrid();
        break;
      case TransformKind::kOffset:
        break;
    }
  }

  void Row(int32_t y, float* rowX, float* rowY) const {
    const Transform& t = t_;
    const double cx = cx_, cy = cy_, dy = y - cy;
    switch (t.kind) {
      case TransformKind::kOffset:  // number 4
        for (int32_t x = 0; x < width_; ++x) {
          rowX[x] = float(x - t.a);
          rowY[x] = float(y - t.b);
        }
        return;
      case TransformKind::kWave: {  // number 9
        const double shift = t.a * std::sin(2 * kPi * y / t.b);
        for (int32_t x = 0; x < width_; ++x) {
          rowX[x] = float(x + shift);
          rowY[x] = float(y + columnSine_[size_t(x)]);
        }
        return;
      }
      case TransformKind::kMarble: {  // number 3
        const double gy = y / double(kMarbleStep);
        const auto y0 = size_t(gy);
        const double fy = gy - double(y0);
        for (int32_t x = 0; x < width_; ++x) {
          const double gx = x / double(kMarbleStep);
          const auto x0 = size_t(gx);
          const double fx = gx - double(x0);
          auto at = [&](const std::vector<float>& g) {
            const float* r0 = g.data() + y0 * gridWidth_;
            const float* r1 = r0 + gridWidth_;
            const double top = r0[x0] + (r0[x0 + 1] - r0[x0]) * fx;
            const double bottom = r1[x0] + (r1[x0 + 1] - r1[x0]) * fx;
            return top + (bottom - top) * fy;
          };
          rowX[x] = float(x + t.b * at(noiseX_));
          rowY[x] = float(y + t.c * at(noiseY_));
        }
        return;
      }
      default:
        break;
    }
    for (int32_t x = 0; x < width_; ++x) {
      const double dx = x - cx;
      const double r = std::sqrt(dx * dx + dy * dy);
      double k = 1.0;  // source = centre + d x k, or d turned by (c, s)
      double c = 1.0, s = 0.0;
      switch (t.kind) {
        case TransformKind::kElliptical: {  // number 1
          const double u = dx / t.a, v = dy / t.b, q = std::sqrt(u * u + v * v);
          if (q < 1.0) k = Lookup(table_, q * kEllipseSteps);
          break;
        }
        case TransformKind::kLens:    // number 2
        case TransformKind::kPinch:   // number 5
        case TransformKind::kRipple:  // number 6
          if (r < t.a && r > 0.0) k = Lookup(table_, (r - base_) * kSteps) / r;
          break;
        case TransformKind::kWow:  // number 10
          if (r < t.a && r > 0.0) {
            // sin(8 theta) as the imaginary part of ((dx + i dy) / r)^8.
            double re = dx / r, im = dy / r;
            for (int i = 0; i < 3; ++i) {
              const double nr = re * re - im * im, ni = 2 * re * im;
              re = nr, im = ni;
            }
            k = 1.0 + im * Lookup(table_, (r - base_) * kSteps) / r;
          }
          break;
        case TransformKind::kSpin:      // number 7
        case TransformKind::kSpinWave:  // number 8
        case TransformKind::kZigZag:    // number 11
          if (t.kind == TransformKind::kZigZag || r < t.a) {
            c = Lookup(table_, (r - base_) * kSteps);
            s = Lookup(sines_, (r - base_) * kSteps);
          }
          break;
        default:
          break;
      }
      rowX[x] = float(cx + (dx * c - dy * s) * k);
      rowY[x] = float(cy + (dx * s + dy * c) * k);
    }
  }

 private:
  static constexpr int32_t kSteps = 16;            // table entries per pixel of radius
  static constexpr int32_t kEllipseSteps = 16384;  // entries over q = 0..1
  static constexpr int32_t kMarbleStep = 4;        // pixels between noise grid points

  static double Lookup(const std::vector<float>& table, double at) {
    at = std::max(at, 0.0);
    const auto i = std::min(size_t(at), table.size() - 2);
    const double f = at - double(i);
    return table[i] + (table[i + 1] - table[i]) * f;
  }
  // Samples f over from..to (to >= from), `steps` entries per unit.
  template <class F>
  void Sample(double from, double to, int32_t steps, F&& f) {
    const auto n = size_t(std::ceil(std::max(0.0, to - from) * steps)) + 2;
    table_.resize(n);
    for (size_t i = 0; i < n; ++i) table_[i] = float(f(from + double(i) / steps));
  }
  // Radial tables start at the nearest distance (base_) and end at the
  // radius or the farthest distance, whichever comes first.
  template <class F>
  void Radial(double far, F&& f) {
    base_ = near_;
    Sample(near_, std::min(t_.a, far + 1.0), kSteps, f);
  }
  template <class F>
  void Turn(double far, F&& angle) {
    base_ = near_;
    const double limit = t_.kind == TransformKind::kZigZag ? far + 1.0 : std::min(t_.a, far + 1.0);
    const auto n = size_t(std::ceil(std::max(0.0, limit - near_) * kSteps)) + 2;
    table_.resize(n);
    sines_.resize(n);
    for (size_t i = 0; i < n; ++i) {
      const double a = angle(near_ + double(i) / kSteps);
      table_[i] = float(std::cos(a));
      sines_[i] = float(std::sin(a));
    }
  }
  void MarbleGrid() {
    gridWidth_ = size_t(width_ / kMarbleStep + 2);
    const auto rows = size_t(height_ / kMarbleStep + 2);
    noiseX_.resize(gridWidth_ * rows);
    noiseY_.resize(gridWidth_ * rows);
    const double frequency = t_.a / 128.0;
    for (size_t j = 0; j < rows; ++j)
      for (size_t i = 0; i < gridWidth_; ++i) {
        const double x = double(i * kMarbleStep), y = double(j * kMarbleStep);
        noiseX_[j * gridWidth_ + i] = float(Turbulence(x, y, frequency));
        noiseY_[j * gridWidth_ + i] = float(Turbulence(x + 97.0, y + 31.0, frequency));
      }
  }

  Transform t_;
  int32_t width_, height_;
  double cx_ = 0, cy_ = 0, rmax_ = 1, near_ = 0, base_ = 0;
  std::vector<double> columnSine_;
  std::vector<float> table_, sines_;  // radial samples; cosines in table_ for turns
  std::vector<float> noiseX_, noiseY_;
  size_t gridWidth_ = 0;
};

}  // namespace

bool BuildTransformMap(const Transform& t, int32_t width, int32_t height, float* mapX,
                       float* mapY) noexcept {
  if (!mapX || !mapY || width <= 0 || height <= 0 || !Finite(t) || !Buildable(t)) return false;
  try {
    const Mapper mapper(t, width, height);
    for (int32_t y = 0; y < height; ++y)
      mapper.Row(y, mapX + size_t(y) * size_t(width), mapY + size_t(y) * size_t(width));
    return true;
  } catch (...) {
    return false;
  }
}

bool RemapImage(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride, uint8_t* dst,
                int32_t dstStride, const float* mapX, const float* mapY, WarpEdge edge,
                uint32_t fillColour) noexcept {
  if (EffectFailuresForTesting() || !Valid(src, width, height, srcStride) ||
      !Valid(dst, width, height, dstStride) || !mapX || !mapY || src == dst)
    return false;
  try {
    const cv::Mat in(height, width, CV_8UC4, const_cast<uint8_t*>(src), size_t(srcStride));
    cv::Mat out(height, width, CV_8UC4, dst, size_t(dstStride));
    const cv::Mat mx(height, width, CV_32FC1, const_cast<float*>(mapX));
    const cv::Mat my(height, width, CV_32FC1, const_cast<float*>(mapY));
    cv::remap(in, out, mx, my, cv::INTER_LINEAR, Border(edge), Fill(fillColour));
    return out.data == dst;
  } catch (...) {
    return false;
  }
}

bool TransformImage(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride,
                    uint8_t* dst, int32_t dstStride, const Transform& t,
                    uint32_t fillColour) noexcept {
  if (EffectFailuresForTesting() || !Valid(src, width, height, srcStride) ||
      !Valid(dst, width, height, dstStride) || src == dst || !Finite(t) || !Buildable(t))
    return false;
  try {
    const Mapper mapper(t, width, height);
    const cv::Mat in(height, width, CV_8UC4, const_cast<uint8_t*>(src), size_t(srcStride));
    cv::Mat out(height, width, CV_8UC4, dst, size_t(dstStride));
    return detail::RemapByStrips(in, out, Border(t.edge), Fill(fillColour),
                                 [&](int32_t y, float* mx, float* my) { mapper.Row(y, mx, my); }) &&
           out.data == dst;
  } catch (...) {
    return false;
  }
}

bool TileImage(uint8_t* pixels, int32_t width, int32_t height, int32_t stride, const uint8_t* tile,
               int32_t tileWidth, int32_t tileHeight, int32_t tileStride) noexcept {
  if (!Valid(pixels, width, height, stride) || !Valid(tile, tileWidth, tileHeight, tileStride))
    return false;
  const size_t tileRow = size_t(tileWidth) * 4, row = size_t(width) * 4;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* out = pixels + size_t(y) * size_t(stride);
    const uint8_t* in = tile + size_t(y % tileHeight) * size_t(tileStride);
    for (size_t x = 0; x < row; x += tileRow) std::memcpy(out + x, in, std::min(tileRow, row - x));
  }
  return true;
}

bool FlipImage(uint8_t* pixels, int32_t width, int32_t height, int32_t stride,
               bool horizontal) noexcept {
  if (EffectFailuresForTesting()) return false;
  return FlipInPlace(pixels, width, height, stride, 4, horizontal);
}

}  // namespace dro::platform::image
