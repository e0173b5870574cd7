// Drawing, gradients and whole-picture effects (contracts in image_draw.h).
#include "platform/image_draw.h"
#include "platform/image_effects.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace dro::platform::image {
namespace {

constexpr int64_t kCoordinateLimit = int64_t{1} << 24;
constexpr int32_t kSteps = 4096;  // G2: table entries 0..4096
constexpr int32_t kChunk = 256;   // pixels whose table index is worked out at once

bool ValidPicture(const void* p, int32_t w, int32_t h, int32_t bpp, int32_t stride) noexcept {
  return p && w > 0 && h > 0 && stride >= int64_t{w} * bpp;
}

int32_t ClampCoordinate(int64_t v) noexcept {
  return static_cast<int32_t>(std::clamp(v, -kCoordinateLimit, kCoordinateLimit));
}

// G3: the colour at t percent, per byte rounded half up.
uint32_t ColorAt(const GradientStop* stops, int32_t count, double t) noexcept {
  const GradientStop* chosen = &stops[count - 1];
  std::array<uint8_t, 4> out{};
  if (t < stops[0].position) {
    chosen = &stops[0];
  } else {
    for (int32_t i = 0; i + 1 < count; ++i) {
      const GradientStop& a = stops[i];
      const GradientStop& b = stops[i + 1];
      if (t >= a.position && t < b.position) {
        const double f = (t - a.position) / (b.position - a.position);
        const uint8_t ca[4] = {a.color.r, a.color.g, a.color.b, a.color.a};
        const uint8_t cb[4] = {b.color.r, b.color.g, b.color.b, b.color.a};
        for (int c = 0; c < 4; ++c)
          out[c] = static_cast<uint8_t>(std::floor(ca[c] + (cb[c] - ca[c]) * f + 0.5));
        uint32_t word;
        std::memcpy(&word, out.data(), 4);
        return word;
      }
    }
  }
  out = {chosen->color.r, chosen->color.g, chosen->color.b, chosen->color.a};
  uint32_t word;
  std::memcpy(&word, out.data(), 4);
  return word;
}

// G2/G3 table; false when the stops are unusable.
bool BuildTable(const GradientStop* stops, int32_t count, std::array<GradientStop, 4>& sorted,
                std::array<uint32_t, kSteps + 1>& table) noexcept {
  if (!stops || count < 1 || count > 4) return false;
  std::copy(stops, stops + count, sorted.begin());
  for (int32_t i = 0; i < count; ++i)
    if (!std::isfinite(sorted[i].position)) return false;
  std::stable_sort(
      sorted.begin(), sorted.begin() + count,
      [](const GradientStop& a, const GradientStop& b) { return a.position < b.position; });
  for (int32_t k = 0; k <= kSteps; ++k) table[k] = ColorAt(sorted.data(), count, k / 40.96);
  return true;
}

void FillSolid(uint8_t* rgba, int32_t width, int32_t height, int32_t stride,
               uint32_t word) noexcept {
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = rgba + int64_t{y} * stride;
    for (int32_t x = 0; x < width; ++x) std::memcpy(row + x * 4, &word, 4);
  }
}

}  // namespace

bool FillEllipseAA(uint8_t* rgba, int32_t width, int32_t height, int32_t stride, int64_t cx,
                   int64_t cy, int64_t rx, int64_t ry, ByteColor color) noexcept {
  if (!ValidPicture(rgba, width, height, 4, stride) || rx < 0 || ry < 0) return false;
  try {
    cv::Mat image(height, width, CV_8UC4, rgba, static_cast<size_t>(stride));
    cv::ellipse(image, cv::Point(ClampCoordinate(cx), ClampCoordinate(cy)),
                cv::Size(ClampCoordinate(rx), ClampCoordinate(ry)), 0.0, 0.0, 360.0,
                cv::Scalar(color.r, color.g, color.b, color.a), cv::FILLED, cv::LINE_AA);
    return true;
  } catch (...) {
    return false;
  }
}

bool FillGradientLinear(uint8_t* rgba, int32_t width, int32_t height, int32_t stride, double x1,
                        double y1, double x2, double y2, const GradientStop* stops,
                        int32_t count) noexcept {
  std::array<GradientStop, 4> sorted;
  std::array<uint32_t, kSteps + 1> table;
  if (!ValidPicture(rgba, width, height, 4, stride) || !BuildTable(stops, count, sorted, table))
    return false;
  const double dx = x2 - x1, dy = y2 - y1;
  const double length2 = dx * dx + dy * dy;
  if (!(length2 > 0.0) || !std::isfinite(length2) || !std::isfinite(x1) || !std::isfinite(y1)) {
    FillSolid(rgba, width, height, stride, table[kSteps]);  // G4
    return true;
  }
  // index(x, y) = ((x - x1) dx + (y - y1) dy) x 4096 / length^2, worked out
  // for a chunk of a row at a time (a loop the compiler vectorises), then
  // looked up.
  const double scale = kSteps / length2;
  const double stepX = dx * scale;
  int32_t index[kChunk];
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = rgba + int64_t{y} * stride;
    const double base = ((y - y1) * dy - x1 * dx) * scale;
    for (int32_t x0 = 0; x0 < width; x0 += kChunk) {
      const int32_t n = std::min(kChunk, width - x0);
      for (int32_t i = 0; i < n; ++i) {
        double v = base + (x0 + i) * stepX;
        v = v > 0.0 ? v : 0.0;
        v = v < kSteps ? v : kSteps;
        index[i] = static_cast<int32_t>(v + 0.5);
      }
      uint8_t* out = row + int64_t{x0} * 4;
      for (int32_t i = 0; i < n; ++i) std::memcpy(out + i * 4, &table[index[i]], 4);
    }
  }
  return true;
}

bool FillGradientRadial(uint8_t* rgba, int32_t width, int32_t height, int32_t stride, double cx,
                        double cy, double radius, const GradientStop* stops,
                        int32_t count) noexcept {
  std::array<GradientStop, 4> sorted;
  std::array<uint32_t, kSteps + 1> table;
  if (!ValidPicture(rgba, width, height, 4, stride) || !BuildTable(stops, count, sorted, table))
    return false;
  if (!(radius > 0.0) || !std::isfinite(radius) || !std::isfinite(cx) || !std::isfinite(cy)) {
    FillSolid(rgba, width, height, stride, table[kSteps]);  // G4
    return true;
  }
  // Single precision suffices here: an error of one part in 10^7 of the
  // distance moves the index by far less than one step. Chunks as above.
  const float scale = static_cast<float>(kSteps / radius);
  const float fcx = static_cast<float>(cx);
  const float last = static_cast<float>(kSteps);
  int32_t index[kChunk];
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = rgba + int64_t{y} * stride;
    const float dy = static_cast<float>(y - cy);
    const float dy2 = dy * dy;
    for (int32_t x0 = 0; x0 < width; x0 += kChunk) {
      const int32_t n = std::min(kChunk, width - x0);
      int32_t i = 0;
#if defined(__SSE2__)
      // Four at a time: the compiler keeps std::sqrt scalar (it may set
      // errno), so the square roots are spelt out.
      const __m128 vdy2 = _mm_set1_ps(dy2), vscale = _mm_set1_ps(scale);
      const __m128 vlast = _mm_set1_ps(last), half = _mm_set1_ps(0.5f);
      const __m128 lanes = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f);
      for (; i + 4 <= n; i += 4) {
        const __m128 dx = _mm_sub_ps(_mm_add_ps(_mm_set1_ps(static_cast<float>(x0 + i)), lanes),
                                     _mm_set1_ps(fcx));
        __m128 v = _mm_mul_ps(_mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(dx, dx), vdy2)), vscale);
        v = _mm_min_ps(v, vlast);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(index + i),
                         _mm_cvttps_epi32(_mm_add_ps(v, half)));
      }
#endif
      for (; i < n; ++i) {
        const float dx = static_cast<float>(x0 + i) - fcx;
        float v = std::sqrt(dx * dx + dy2) * scale;
        v = v < last ? v : last;
        index[i] = static_cast<int32_t>(v + 0.5f);
      }
      uint8_t* out = row + int64_t{x0} * 4;
      for (int32_t i = 0; i < n; ++i) std::memcpy(out + i * 4, &table[index[i]], 4);
    }
  }
  return true;
}

bool SharpenImage(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride,
                  uint8_t* dst, int32_t dstStride, int32_t amount, int32_t window) noexcept {
  if (!ValidPicture(src, width, height, 3, srcStride) ||
      !ValidPicture(dst, width, height, 3, dstStride) || src == dst || EffectFailuresForTesting())
    return false;
  try {
    const int32_t size = (std::clamp(window, 3, 31) / 2) * 2 + 1;
    const double k = std::clamp(amount, 0, 100) / 10.0;
    const cv::Mat in(height, width, CV_8UC3, const_cast<uint8_t*>(src),
                     static_cast<size_t>(srcStride));
    cv::Mat out(height, width, CV_8UC3, dst, static_cast<size_t>(dstStride));
    cv::Mat blurred;
    cv::GaussianBlur(in, blurred, cv::Size(size, size), 0.0, 0.0, cv::BORDER_REPLICATE);
    cv::addWeighted(in, 1.0 + k, blurred, -k, 0.0, out);
    return true;
  } catch (...) {
    return false;
  }
}

bool BlurRgb(uint8_t* rgb, int32_t width, int32_t height, int32_t stride, int32_t radius,
             float weight) noexcept {
  if (!ValidPicture(rgb, width, height, 3, stride) || !std::isfinite(weight)) return false;
  radius = std::clamp(radius, 0, 100);
  const double w = std::clamp(static_cast<double>(weight), 0.0, 1.0);
  if (radius == 0 || w == 0.0) return true;
  try {
    cv::Mat image(height, width, CV_8UC3, rgb, static_cast<size_t>(stride));
    cv::Mat blurred;
    cv::GaussianBlur(image, blurred, cv::Size(0, 0), radius / 3.0, 0.0, cv::BORDER_REPLICATE);
    cv::addWeighted(image, 1.0 - w, blurred, w, 0.0, image);
    return true;
  } catch (...) {
    return false;
  }
}

bool ModifySaturation(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                      int32_t stride, double factor) noexcept {
  if ((bytesPerPixel != 3 && bytesPerPixel != 4) ||
      !ValidPicture(pixels, width, height, bytesPerPixel, stride) || !std::isfinite(factor) ||
      EffectFailuresForTesting())
    return false;
  // (c - Y) x factor rounded, for every difference -255..255.
  std::array<int32_t, 511> moved;
  for (int32_t d = -255; d <= 255; ++d)
    moved[d + 255] = static_cast<int32_t>(std::clamp(std::lround(d * factor), -1024L, 1024L));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* p = pixels + int64_t{y} * stride;
    for (int32_t x = 0; x < width; ++x, p += bytesPerPixel) {
      const int32_t luma = (299 * p[0] + 587 * p[1] + 114 * p[2]) / 1000;
      for (int c = 0; c < 3; ++c)
        p[c] = static_cast<uint8_t>(std::clamp(luma + moved[p[c] - luma + 255], 0, 255));
    }
  }
  return true;
}

bool BumpDisplacement(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride,
                      uint8_t* dst, int32_t dstStride, const uint8_t* heights, int32_t heightWidth,
                      int32_t heightHeight, float strength, uint32_t fill) noexcept {
  if (!ValidPicture(src, width, height, 4, srcStride) ||
      !ValidPicture(dst, width, height, 4, dstStride) ||
      !ValidPicture(heights, heightWidth, heightHeight, 1, heightWidth) || src == dst ||
      !std::isfinite(strength))
    return false;
  try {
    cv::Mat mapX(height, width, CV_32FC1), mapY(height, width, CV_32FC1);
    const float k = strength / 128.0f;  // slope / 2, then / 64
    auto at = [&](int64_t x, int64_t y) -> int32_t {
      x %= heightWidth;
      y %= heightHeight;
      if (x < 0) x += heightWidth;
      if (y < 0) y += heightHeight;
      return heights[y * heightWidth + x];
    };
    for (int32_t y = 0; y < height; ++y) {
      float* mx = mapX.ptr<float>(y);
      float* my = mapY.ptr<float>(y);
      for (int32_t x = 0; x < width; ++x) {
        mx[x] = static_cast<float>(x) + k * static_cast<float>(at(x + 1, y) - at(x - 1, y));
        my[x] = static_cast<float>(y) + k * static_cast<float>(at(x, y + 1) - at(x, y - 1));
      }
    }
    const cv::Mat in(height, width, CV_8UC4, const_cast<uint8_t*>(src),
                     static_cast<size_t>(srcStride));
    cv::Mat out(height, width, CV_8UC4, dst, static_cast<size_t>(dstStride));
    const cv::Scalar border(fill & 0xFF, (fill >> 8) & 0xFF, (fill >> 16) & 0xFF, fill >> 24);
    cv::remap(in, out, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, border);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace dro::platform::image
