// The numbered warp effects: each moves the picture's pixels by a map that
// depends only on the picture's size and the effect's slots (randomness
// comes only from a seed slot), never on the pixels themselves, and treats
// the four channels alike. So an effect moves alpha exactly as it moves
// colour, and a run on a picture whose red holds the alpha moves that alpha
// exactly as the colour run moves the colour (the engine relies on this).
//
// Every map is an inverse map (the source position each pixel shows),
// sampled bilinearly by cv::remap; positions outside the picture take the
// nearest edge pixel, or with `wrap` = 1 the picture repeats. Seamless is
// the one effect that blends: four samples with the same weights in every
// channel.
//
// The maps, for a pixel (x, y) of a width x height picture (w, h), centre
// c = ((w - 1) / 2, (h - 1) / 2) unless said, d = (x, y) - c, r = |d|:
//   1. Twirl        the picture cut into columns x rows cells; inside the
//                   circle of each cell (radius half the cell's smaller
//                   side, R) d from the cell's centre turns by
//                   angle x (1 - r / R)^2 (its cosine and sine sampled 16
//                   times per pixel of radius, interpolated between).
//   2. Sine Distortion  s = (x + ax sin(2 pi nx (y + py) / h),
//                   y + ay sin(2 pi ny (x + px) / w)).
//   3. Waves        t = x cos(a) + y sin(a); s = (x, y) + (-sin(a), cos(a)) x
//                   amplitude / 10 x sin(2 pi t / wavelength).
//   4. Divider      s = ((x x columns) mod w, (y x rows) mod h).
//   5. Carpet       u = x x 100 / xzoom folded into 0..2w (mirrored), the same
//                   for y: the picture tiled at xzoom % with every other tile
//                   mirrored, so the tiles meet without a seam.
//   6. Voxel        blocks of size s: each shows its centre pixel, and its
//                   right and bottom bands (max(1, s / 8) wide) the block's
//                   far corner pixel: cubes with an edge.
//   7. Glass        s = (x, y) + amount / 10 x (N(x / size, y / size),
//                   N(x / size + 53, y / size + 71)), N a smooth value noise
//                   in -1..1 hashed from the seed.
//   8. Kaleidoscope about (x, y) slots: the angle of d less the rotation is
//                   folded into a wedge of 180 / segments degrees (mirrored
//                   every other wedge) and turned back.
//   9. Zoom         s = c + d x 100 / zoom - (xpan x w, ypan x h) / 1000.
//  10. Seamless     weights wx = max(0, 1 - min(x, w - 1 - x) / bx) with
//                   bx = min(border, w / 2), wy likewise; the pixel is
//                   (1 - wx)(1 - wy) P(x, y) + wx (1 - wy) P(x + w/2, y) +
//                   (1 - wx) wy P(x, y + h/2) + wx wy P(x + w/2, y + h/2),
//                   positions wrapped, rounded to nearest. The left and
//                   right columns (top and bottom rows) then show
//                   neighbouring pixels: the picture tiles.
//  11. Tilt         s = (x - xshear (y - cy) / h, y - yshear (x - cx) / w),
//                   always wrapped.
//  12. Scratch      count scratches from the seed: a start point anywhere, a
//                   direction of angle +- 10 degrees, a length of up to
//                   `length` pixels; along a scratch a pixel at distance t
//                   shows the point at distance t / 2: the picture dragged
//                   along it. `width` 1 makes scratches three pixels wide.
//                   Only the part of a scratch inside the picture is drawn
//                   (wrapped: at most twice width + height of it).
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <span>

#include "base/allocation.h"
#include "platform/effect_script.h"
#include "platform/effect_script_internal.h"
#include "platform/warp_strips.h"

namespace dro::platform::effects::detail {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr int32_t kIntMax = 2147483647;

uint64_t SplitMix(uint64_t& state) noexcept {
  uint64_t z = (state += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

double Unit(uint64_t& state) noexcept {
  return double(SplitMix(state) >> 11) * 0x1p-53;
}

// Samples the picture through a map built a row at a time by
// `row(y, mapX, mapY)`, strip by strip beside the sampling.
template <class RowFn>
bool WarpRows(uint8_t* bgra, int32_t width, int32_t height, bool wrap, RowFn&& row) {
  const size_t bytes = size_t(width) * size_t(height) * 4;
  Buffer<uint8_t> copy = Buffer<uint8_t>::Make(bytes);
  std::memcpy(copy.data(), bgra, bytes);
  const cv::Mat in(height, width, CV_8UC4, copy.data());
  cv::Mat out(height, width, CV_8UC4, bgra);
  const bool ok = image::detail::RemapByStrips(
      in, out, wrap ? cv::BORDER_WRAP : cv::BORDER_REPLICATE, cv::Scalar(), row);
  if (!ok) std::memcpy(bgra, copy.data(), bytes);  // a failed run leaves the picture
  return ok && out.data == bgra;
}

// The same with the map given per pixel: `at(x, y, sx, sy)`, sx = x and
// sy = y on entry.
template <class At>
bool Warp(uint8_t* bgra, int32_t width, int32_t height, bool wrap, At&& at) {
  return WarpRows(bgra, width, height, wrap, [&](int32_t y, float* mapX, float* mapY) {
    for (int32_t x = 0; x < width; ++x) {
      double sx = x, sy = y;
      at(x, y, sx, sy);
      mapX[x] = float(sx);
      mapY[x] = float(sy);
    }
  });
}

double Centre(int32_t side) noexcept {
  return (side - 1) * 0.5;
}

// ---- 6: Twirl (number 1) ----------------------------------------------------
bool Twirl(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const double turn = v[3] * kPi / 180.0;
  const double cellW = double(width) / v[4], cellH = double(height) / v[5];
  const double radius = std::min(cellW, cellH) * 0.5;
  // The turn's cosine and sine sampled 16 times per pixel of radius and
  // interpolated: no sine per pixel.
  constexpr int32_t kSteps = 16;
  const auto n = size_t(std::ceil(radius * kSteps)) + 2;
  Buffer<double> cosines = Buffer<double>::Make(n), sines = Buffer<double>::Make(n);
  for (size_t i = 0; i < n; ++i) {
    const double q = std::min(1.0, double(i) / kSteps / radius);
    cosines[i] = std::cos(turn * (1.0 - q) * (1.0 - q));
    sines[i] = std::sin(turn * (1.0 - q) * (1.0 - q));
  }
  return Warp(bgra, width, height, v[7] != 0, [&](int32_t x, int32_t y, double& sx, double& sy) {
    const double cx = (std::floor(x / cellW) + 0.5) * cellW - 0.5;
    const double cy = (std::floor(y / cellH) + 0.5) * cellH - 0.5;
    const double dx = x - cx, dy = y - cy, r = std::sqrt(dx * dx + dy * dy);
    if (r >= radius) return;
    const double at = r * kSteps;
    const auto i = std::min(size_t(at), n - 2);
    const double f = at - double(i);
    const double c = cosines[i] + (cosines[i + 1] - cosines[i]) * f;
    const double s = sines[i] + (sines[i + 1] - sines[i]) * f;
    sx = cx + dx * c - dy * s;
    sy = cy + dx * s + dy * c;
  });
}

// ---- 13: Sine Distortion (number 2) ----------------------------------------
bool SineDistortion(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const double ax = v[3], ay = v[4], nx = v[5], ny = v[6], px = v[7], py = v[8];
  // Each shift depends on one coordinate: a table per column.
  Buffer<double> down = Buffer<double>::Make(size_t(width));
  for (int32_t x = 0; x < width; ++x)
    down[size_t(x)] = ay * std::sin(2 * kPi * ny * (x + px) / width);
  return WarpRows(bgra, width, height, v[9] != 0, [&](int32_t y, float* mapX, float* mapY) {
    const double across = ax * std::sin(2 * kPi * nx * (y + py) / height);
    for (int32_t x = 0; x < width; ++x) {
      mapX[x] = float(x + across);
      mapY[x] = float(y + down[size_t(x)]);
    }
  });
}

// ---- 16: Waves (number 3) ---------------------------------------------------
bool Waves(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const double amplitude = v[3] / 10.0, wavelength = v[4];
  const double a = v[6] * kPi / 180.0, c = std::cos(a), s = std::sin(a);
  // sin(p + q) = sin p cos q + cos p sin q with p from x and q from y: two
  // tables per column, two values per row.
  Buffer<double> sines = Buffer<double>::Make(size_t(width));
  Buffer<double> cosines = Buffer<double>::Make(size_t(width));
  for (int32_t x = 0; x < width; ++x) {
    sines[size_t(x)] = std::sin(2 * kPi * x * c / wavelength);
    cosines[size_t(x)] = std::cos(2 * kPi * x * c / wavelength);
  }
  return WarpRows(bgra, width, height, v[5] != 0, [&](int32_t y, float* mapX, float* mapY) {
    const double sy = std::sin(2 * kPi * y * s / wavelength);
    const double cy = std::cos(2 * kPi * y * s / wavelength);
    for (int32_t x = 0; x < width; ++x) {
      const double shift = amplitude * (sines[size_t(x)] * cy + cosines[size_t(x)] * sy);
      mapX[x] = float(x - s * shift);
      mapY[x] = float(y + c * shift);
    }
  });
}

// ---- 17: Divider (number 4) -------------------------------------------------
bool Divider(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const int64_t columns = v[3], rows = v[4];
  return Warp(bgra, width, height, false, [&](int32_t x, int32_t y, double& sx, double& sy) {
    sx = double(x * columns % width);
    sy = double(y * rows % height);
  });
}

// ---- 18: Carpet (number 5) --------------------------------------------------
double Fold(double u, int32_t side) noexcept {
  const double m = std::fmod(u, 2.0 * side);
  return m < side ? m : 2.0 * side - 1.0 - m;
}

bool Carpet(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const double kx = 100.0 / v[3], ky = 100.0 / v[4];
  return Warp(bgra, width, height, false, [&](int32_t x, int32_t y, double& sx, double& sy) {
    sx = Fold(x * kx, width);
    sy = Fold(y * ky, height);
  });
}

// ---- 22: Voxel (number 6) ---------------------------------------------------
bool Voxel(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const int32_t size = v[3], band = std::max(1, size / 8);
  // The block's centre and far corner along one axis; true in the edge band.
  auto block = [&](int32_t p, int32_t side, double& centre, double& corner) {
    const int32_t start = p / size * size;
    const int32_t end = std::min(start + size, side) - 1;
    centre = std::min(start + size / 2, end);
    corner = end;
    return p > end - band;
  };
  return Warp(bgra, width, height, false, [&](int32_t x, int32_t y, double& sx, double& sy) {
    double cx, kx, cy, ky;
    const bool edge = block(x, width, cx, kx) | block(y, height, cy, ky);
    sx = edge ? kx : cx;
    sy = edge ? ky : cy;
  });
}

// ---- 39: Glass (number 7) ---------------------------------------------------
double SeededLattice(uint64_t seed, int64_t x, int64_t y) noexcept {
  uint64_t state = seed ^ uint64_t(x) * 0x9e3779b97f4a7c15ull ^ uint64_t(y) * 0xc2b2ae3d27d4eb4full;
  return Unit(state) * 2.0 - 1.0;
}

double SeededNoise(uint64_t seed, double x, double y) noexcept {
  const double fx = std::floor(x), fy = std::floor(y);
  const auto ix = int64_t(fx), iy = int64_t(fy);
  double u = x - fx, w = y - fy;
  u = u * u * (3 - 2 * u);
  w = w * w * (3 - 2 * w);
  const double a = SeededLattice(seed, ix, iy), b = SeededLattice(seed, ix + 1, iy);
  const double c = SeededLattice(seed, ix, iy + 1), d = SeededLattice(seed, ix + 1, iy + 1);
  const double top = a + (b - a) * u, bottom = c + (d - c) * u;
  return top + (bottom - top) * w;
}

bool Glass(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const uint64_t seed = uint64_t(uint32_t(v[3])) * 0x100000001b3ull + 39;
  const double amount = v[4] / 10.0, size = v[5];
  return Warp(bgra, width, height, false, [&](int32_t x, int32_t y, double& sx, double& sy) {
    sx = x + amount * SeededNoise(seed, x / size, y / size);
    sy = y + amount * SeededNoise(seed, x / size + 53.0, y / size + 71.0);
  });
}

// ---- 49: Kaleidoscope (number 8) --------------------------------------------
bool Kaleidoscope(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const double cx = v[3], cy = v[4], wedge = kPi / v[5], turn = v[19] * kPi / 180.0;
  return Warp(bgra, width, height, v[6] != 0, [&](int32_t x, int32_t y, double& sx, double& sy) {
    const double dx = x - cx, dy = y - cy, r = std::sqrt(dx * dx + dy * dy);
    double m = std::fmod(std::atan2(dy, dx) - turn, 2.0 * wedge);
    if (m < 0) m += 2.0 * wedge;
    if (m > wedge) m = 2.0 * wedge - m;
    sx = cx + r * std::cos(m + turn);
    sy = cy + r * std::sin(m + turn);
  });
}

// ---- 50: Zoom (number 9) ----------------------------------------------------
bool Zoom(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const double k = 100.0 / v[3], cx = Centre(width), cy = Centre(height);
  const double panX = v[4] * double(width) / 1000.0, panY = v[5] * double(height) / 1000.0;
  return Warp(bgra, width, height, v[7] != 0, [&](int32_t x, int32_t y, double& sx, double& sy) {
    sx = cx + (x - cx) * k - panX;
    sy = cy + (y - cy) * k - panY;
  });
}

// ---- 52: Seamless (number 10) -----------------------------------------------
double EdgeWeight(int32_t p, int32_t side, int32_t border) noexcept {
  const int32_t b = std::min(border, side / 2);
  if (b <= 0) return 0.0;
  return std::max(0.0, 1.0 - double(std::min(p, side - 1 - p)) / b);
}

bool Seamless(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const size_t count = size_t(width) * size_t(height);
  Buffer<uint8_t> copy = Buffer<uint8_t>::Make(count * 4);
  std::memcpy(copy.data(), bgra, count * 4);
  auto at = [&](int32_t x, int32_t y) {
    return copy.data() + (size_t(y % height) * size_t(width) + size_t(x % width)) * 4;
  };
  for (int32_t y = 0; y < height; ++y) {
    const double wy = EdgeWeight(y, height, v[3]);
    for (int32_t x = 0; x < width; ++x) {
      const double wx = EdgeWeight(x, width, v[3]);
      if (wx == 0.0 && wy == 0.0) continue;
      const uint8_t* p00 = at(x, y);
      const uint8_t* p10 = at(x + width / 2, y);
      const uint8_t* p01 = at(x, y + height / 2);
      const uint8_t* p11 = at(x + width / 2, y + height / 2);
      uint8_t* out = bgra + (size_t(y) * size_t(width) + size_t(x)) * 4;
      for (int c = 0; c < 4; ++c)
        out[c] = uint8_t((1 - wx) * (1 - wy) * p00[c] + wx * (1 - wy) * p10[c] +
                         (1 - wx) * wy * p01[c] + wx * wy * p11[c] + 0.5);
    }
  }
  return true;
}

// ---- 54: Tilt (number 11) ---------------------------------------------------
bool Tilt(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const double kx = double(v[3]) / height, ky = double(v[4]) / width;
  const double cx = Centre(width), cy = Centre(height);
  return Warp(bgra, width, height, true, [&](int32_t x, int32_t y, double& sx, double& sy) {
    sx = x - kx * (y - cy);
    sy = y - ky * (x - cx);
  });
}

// ---- 56: Scratch (number 12) ------------------------------------------------
bool Scratch(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const size_t count = size_t(width) * size_t(height);
  Buffer<float> mapX = Buffer<float>::Make(count);
  Buffer<float> mapY = Buffer<float>::Make(count);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      mapX[size_t(y) * size_t(width) + size_t(x)] = float(x);
      mapY[size_t(y) * size_t(width) + size_t(x)] = float(y);
    }
  uint64_t state = uint64_t(uint32_t(v[3])) * 0x100000001b3ull + 56;
  const int32_t half = v[9] != 0 ? 1 : 0;
  for (int32_t k = 0; k < v[4]; ++k) {
    const double x0 = Unit(state) * width, y0 = Unit(state) * height;
    const double a = (v[6] + (Unit(state) * 20.0 - 10.0)) * kPi / 180.0;
    double length = Unit(state) * v[5];
    const double ux = std::cos(a), uy = std::sin(a);
    if (v[7] != 0) {
      // Wrapped, a longer scratch only runs over itself again.
      length = std::min(length, 2.0 * (double(width) + height));
    } else {
      // Only the part inside the picture (and a pixel around it) is drawn.
      auto exit = [](double p, double u, int32_t side) {
        return u > 0 ? (side + 1 - p) / u : (u < 0 ? (p + 2) / -u : 1e300);
      };
      length = std::min({length, exit(x0, ux, width), exit(y0, uy, height)});
    }
    for (double t = 0; t <= length; t += 0.5) {
      const double fromX = x0 + ux * t * 0.5, fromY = y0 + uy * t * 0.5;
      for (int32_t across = -half; across <= half; ++across) {
        int64_t px = std::llround(x0 + ux * t - uy * across);
        int64_t py = std::llround(y0 + uy * t + ux * across);
        if (v[7] != 0) {
          px = (px % width + width) % width;
          py = (py % height + height) % height;
        } else if (px < 0 || py < 0 || px >= width || py >= height) {
          continue;
        }
        const size_t i = size_t(py) * size_t(width) + size_t(px);
        mapX[i] = float(fromX - uy * across);
        mapY[i] = float(fromY + ux * across);
      }
    }
  }
  Buffer<uint8_t> copy = Buffer<uint8_t>::Make(count * 4);
  std::memcpy(copy.data(), bgra, count * 4);
  const cv::Mat in(height, width, CV_8UC4, copy.data());
  cv::Mat out(height, width, CV_8UC4, bgra);
  cv::remap(in, out, cv::Mat(height, width, CV_32FC1, mapX.data()),
            cv::Mat(height, width, CV_32FC1, mapY.data()), cv::INTER_LINEAR,
            v[7] != 0 ? cv::BORDER_WRAP : cv::BORDER_REPLICATE);
  return out.data == bgra;
}

const EffectInfo kWarpEffects[] = {
    {kEffectTwirl,
     "Twirl",
     Twirl,
     {{"angle", 3, 90, -360, 360},
      {"columns", 4, 1, 1, 100},
      {"rows", 5, 1, 1, 100},
      {"wrap", 7, 0, 0, 1}}},
    {kEffectSineDistortion,
     "Sine Distortion",
     SineDistortion,
     {{"xamplitude", 3, 10, 0, 10000},
      {"yamplitude", 4, 10, 0, 10000},
      {"xwaves", 5, 4, 0, 1000},
      {"ywaves", 6, 4, 0, 1000},
      {"xphase", 7, 0, -100000, 100000},
      {"yphase", 8, 0, -100000, 100000},
      {"wrap", 9, 0, 0, 1}}},
    {kEffectWaves,
     "Waves",
     Waves,
     {{"amplitude", 3, 100, 0, 10000},
      {"wavelength", 4, 20, 1, 10000},
      {"wrap", 5, 0, 0, 1},
      {"angle", 6, 0, -360, 360}}},
    {kEffectDivider, "Divider", Divider, {{"columns", 3, 2, 1, 100}, {"rows", 4, 2, 1, 100}}},
    {kEffectCarpet, "Carpet", Carpet, {{"xzoom", 3, 50, 1, 500}, {"yzoom", 4, 50, 1, 500}}},
    {kEffectVoxel, "Voxel", Voxel, {{"size", 3, 8, 1, 1000}}},
    {kEffectGlass,
     "Glass",
     Glass,
     {{"seed", 3, 1, -kIntMax, kIntMax}, {"amount", 4, 100, 0, 10000}, {"size", 5, 8, 1, 1000}}},
    {kEffectKaleidoscope,
     "Kaleidoscope",
     Kaleidoscope,
     {{"x", 3, 0, -100000, 100000},
      {"y", 4, 0, -100000, 100000},
      {"segments", 5, 4, 1, 100},
      {"wrap", 6, 0, 0, 1},
      {"rotation", 19, 0, -360, 360}}},
    {kEffectZoom,
     "Zoom",
     Zoom,
     {{"zoom", 3, 200, 1, 10000},
      {"xpan", 4, 0, -1000, 1000},
      {"ypan", 5, 0, -1000, 1000},
      {"wrap", 7, 0, 0, 1}}},
    {kEffectSeamless, "Seamless", Seamless, {{"border", 3, 32, 0, 10000}}},
    {kEffectTilt,
     "Tilt",
     Tilt,
     {{"xshear", 3, 10, -100000, 100000}, {"yshear", 4, 0, -100000, 100000}}},
    {kEffectScratch,
     "Scratch",
     Scratch,
     {{"seed", 3, 1, -kIntMax, kIntMax},
      {"count", 4, 20, 0, 1000},
      {"length", 5, 100, 0, 10000},
      {"angle", 6, 45, -360, 360},
      {"wrap", 7, 0, 0, 1},
      {"width", 9, 0, 0, 1}}},
};

}  // namespace

std::span<const EffectInfo> WarpEffects() noexcept {
  return kWarpEffects;
}

}  // namespace dro::platform::effects::detail

namespace dro::platform::effects {

bool MovesAlphaWithColour(int32_t number) noexcept {
  if (number == kEffectRotate) return true;
  for (const detail::EffectInfo& e : detail::WarpEffects())
    if (e.number == number) return true;
  return false;
}

}  // namespace dro::platform::effects
