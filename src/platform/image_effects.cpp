// Picture effects of the image seam. OpenCV works on cv::Mat headers over
// the caller's rows (no copies); our own loops run where OpenCV has nothing
// that fits.
#include "platform/image_effects.h"
#include "platform/image_cv.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

namespace dro::platform::image {
namespace {

std::atomic<bool> gFailing{false};

bool Valid(const void* p, int32_t w, int32_t h, int32_t bpp, int32_t stride) noexcept {
  return !gFailing.load(std::memory_order_relaxed) && p && w > 0 && h > 0 &&
         (bpp == 3 || bpp == 4) && int64_t{stride} >= int64_t{w} * bpp;
}

using cvhelp::Clamp8;
using cvhelp::KeepAlpha;
using cvhelp::Type;
using cvhelp::View;

int32_t Luma(const uint8_t* p) noexcept {
  return (77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8;
}

// Runs `body` over every pixel's colour bytes in place.
template <class Body>
void EachPixel(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride, Body&& body) {
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = px + int64_t{y} * stride;
    for (int32_t x = 0; x < w; ++x) body(row + int64_t{x} * bpp);
  }
}

// Applies a 256-entry colour table to R, G and B.
bool ColourLut(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
               const std::array<uint8_t, 256>& table) noexcept {
  const uint8_t* tables[4] = {table.data(), table.data(), table.data(), nullptr};
  return ApplyLuts(px, w, h, bpp, stride, tables);
}

template <class Body>
bool Try(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return false;
  }
}

}  // namespace

void SetEffectFailuresForTesting(bool on) noexcept {
  gFailing.store(on, std::memory_order_relaxed);
}
bool EffectFailuresForTesting() noexcept {
  return gFailing.load(std::memory_order_relaxed);
}

bool GaussianBlurImage(const uint8_t* src, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                       uint8_t* dst, int32_t dstStride, double radius, int32_t channels) noexcept {
  if (!Valid(src, w, h, bpp, stride) || !Valid(dst, w, h, bpp, dstStride) || src == dst ||
      radius != radius)
    return false;
  return Try([&] {
    const cv::Mat in = View(src, w, h, bpp, stride);
    cv::Mat out = View(dst, w, h, bpp, dstStride);
    const double sigma = std::min(radius, double(std::max(w, h)));
    if (!(sigma >= 0.05)) {
      in.copyTo(out);
    } else {
      const int k = 2 * static_cast<int>(std::ceil(3.0 * sigma)) + 1;
      cv::GaussianBlur(in, out, cv::Size(k, k), sigma, sigma, cv::BORDER_REPLICATE);
    }
    KeepAlpha(src, stride, dst, dstStride, w, h, bpp, channels);
    return out.data == dst;
  });
}

bool BoxBlurImage(const uint8_t* src, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                  uint8_t* dst, int32_t dstStride, int32_t radius, double strength,
                  int32_t channels) noexcept {
  if (!Valid(src, w, h, bpp, stride) || !Valid(dst, w, h, bpp, dstStride) || src == dst ||
      strength != strength)
    return false;
  return Try([&] {
    const cv::Mat in = View(src, w, h, bpp, stride);
    cv::Mat out = View(dst, w, h, bpp, dstStride);
    radius = std::clamp(radius, 0, std::max(w, h));
    if (radius == 0) {
      in.copyTo(out);
    } else {
      cv::blur(in, out, cv::Size(2 * radius + 1, 2 * radius + 1), cv::Point(-1, -1),
               cv::BORDER_REPLICATE);
      const double s = std::clamp(strength, 0.0, 1.0);
      if (s < 1.0) cv::addWeighted(in, 1.0 - s, out, s, 0.0, out);
    }
    KeepAlpha(src, stride, dst, dstStride, w, h, bpp, channels);
    return out.data == dst;
  });
}

bool MotionBlurImage(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                     int32_t dstStride, int32_t bpp, double angle, double distance, int32_t samples,
                     int32_t kind) noexcept {
  if (!Valid(src, w, h, bpp, stride) || !Valid(dst, w, h, bpp, dstStride) || src == dst ||
      angle != angle || distance != distance || kind < 0 || kind > 2)
    return false;
  return Try([&] {
    const cv::Mat in = View(src, w, h, bpp, stride);
    cv::Mat out = View(dst, w, h, bpp, dstStride);
    const double longest = std::hypot(double(w), double(h));
    if (kind == 0) {
      const double length = std::min(std::fabs(distance), longest);
      if (length < 1.0) {
        in.copyTo(out);
        return true;
      }
      // A line of `length` pixels through the kernel's centre, drawn
      // anti-aliased and normalised to a sum of one.
      const int half = static_cast<int>(std::ceil(length / 2.0));
      const int size = 2 * half + 1;
      cv::Mat kernel = cv::Mat::zeros(size, size, CV_32F);
      const double a = angle * CV_PI / 180.0;
      const double dx = std::cos(a) * length / 2.0, dy = -std::sin(a) * length / 2.0;
      const int taps = static_cast<int>(std::ceil(length)) * 4 + 1;
      for (int i = 0; i < taps; ++i) {
        const double t = double(i) / (taps - 1) * 2.0 - 1.0;
        const int kx = std::clamp(int(std::lround(half + t * dx)), 0, size - 1);
        const int ky = std::clamp(int(std::lround(half + t * dy)), 0, size - 1);
        kernel.at<float>(ky, kx) += 1.0f;
      }
      kernel /= cv::sum(kernel)[0];
      cv::filter2D(in, out, -1, kernel, cv::Point(-1, -1), 0.0, cv::BORDER_REPLICATE);
      return out.data == dst;
    }
    // Radial and zoom: taps along the arc or the ray, nearest pixel.
    const double span = kind == 1 ? std::clamp(distance, -360.0, 360.0) * CV_PI / 180.0
                                  : std::clamp(distance, 0.0, 100.0) / 100.0;
    if (std::fabs(span) < (kind == 1 ? CV_PI / 180.0 : 0.01)) {
      in.copyTo(out);
      return true;
    }
    const int32_t n = samples > 0
                          ? std::min(samples, 256)
                          : std::clamp(int32_t(std::ceil(longest * std::fabs(span))), 2, 256);
    const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
    std::vector<double> cosines(static_cast<size_t>(n)), sines(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      const double t = n == 1 ? 0.0 : double(i) / (n - 1);
      if (kind == 1) {
        const double a = (t - 0.5) * span;
        cosines[size_t(i)] = std::cos(a);
        sines[size_t(i)] = std::sin(a);
      } else {
        cosines[size_t(i)] = 1.0 - t * span;  // scale towards the centre
      }
    }
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* d = dst + int64_t{y} * dstStride;
      for (int32_t x = 0; x < w; ++x) {
        const double rx = x - cx, ry = y - cy;
        uint32_t sum[4] = {0, 0, 0, 0};
        for (int32_t i = 0; i < n; ++i) {
          double sx, sy;
          if (kind == 1) {
            sx = cx + rx * cosines[size_t(i)] - ry * sines[size_t(i)];
            sy = cy + rx * sines[size_t(i)] + ry * cosines[size_t(i)];
          } else {
            sx = cx + rx * cosines[size_t(i)];
            sy = cy + ry * cosines[size_t(i)];
          }
          const int32_t ix = std::clamp(int32_t(std::lround(sx)), 0, w - 1);
          const int32_t iy = std::clamp(int32_t(std::lround(sy)), 0, h - 1);
          const uint8_t* s = src + int64_t{iy} * stride + int64_t{ix} * bpp;
          for (int32_t c = 0; c < bpp; ++c) sum[c] += s[c];
        }
        for (int32_t c = 0; c < bpp; ++c) d[int64_t{x} * bpp + c] = uint8_t((sum[c] + n / 2) / n);
      }
    }
    return true;
  });
}

bool BilateralFilterImage(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                          int32_t dstStride, int32_t radius, double colourSigma) noexcept {
  if (!Valid(src, w, h, 3, stride) || !Valid(dst, w, h, 3, dstStride) || src == dst ||
      colourSigma != colourSigma)
    return false;
  return Try([&] {
    const cv::Mat in = View(src, w, h, 3, stride);
    cv::Mat out = View(dst, w, h, 3, dstStride);
    radius = std::clamp(radius, 0, std::max(w, h));
    if (radius == 0) {
      in.copyTo(out);
      return true;
    }
    cv::bilateralFilter(in, out, 2 * radius + 1, std::max(colourSigma, 0.1), double(radius),
                        cv::BORDER_REPLICATE);
    return out.data == dst;
  });
}

bool ApplyLuts(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
               const uint8_t* const tables[4]) noexcept {
  if (!Valid(px, w, h, bpp, stride) || !tables) return false;
  return Try([&] {
    cv::Mat lut(1, 256, Type(bpp));
    for (int32_t v = 0; v < 256; ++v)
      for (int32_t c = 0; c < bpp; ++c)
        lut.data[v * bpp + c] = tables[c] ? tables[c][v] : uint8_t(v);
    cv::Mat image = View(px, w, h, bpp, stride);
    cv::LUT(image, lut, image);
    return image.data == px;
  });
}

bool AdjustGamma(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                 double gamma) noexcept {
  if (gamma != gamma) return false;
  const double g = std::clamp(gamma, 0.01, 10.0);
  std::array<uint8_t, 256> table;
  for (int32_t v = 0; v < 256; ++v) table[size_t(v)] = Clamp8(255.0 * std::pow(v / 255.0, 1.0 / g));
  return ColourLut(px, w, h, bpp, stride, table);
}

bool AdjustBrightnessContrast(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                              double brightness, double contrast) noexcept {
  if (brightness != brightness || contrast != contrast) return false;
  const double b = std::clamp(brightness, -1.0, 1.0);
  const double k = std::tan((std::clamp(contrast, -1.0, 1.0) + 1.0) * CV_PI / 4.0);
  std::array<uint8_t, 256> table;
  for (int32_t v = 0; v < 256; ++v) table[size_t(v)] = Clamp8((v - 127.5) * k + 127.5 + b * 255.0);
  return ColourLut(px, w, h, bpp, stride, table);
}

namespace {

// The value each pixel's histogram is taken of.
int32_t HistogramValue(const uint8_t* p, HistogramKind kind) noexcept {
  if (kind == kLightness) {
    const int32_t hi = std::max({p[0], p[1], p[2]}), lo = std::min({p[0], p[1], p[2]});
    return (hi + lo) / 2;
  }
  return Luma(p);
}

// Applies `map` of the brightness or lightness to the colour of a pixel.
void MapPixel(uint8_t* p, const std::array<uint8_t, 256>& map, HistogramKind kind) noexcept {
  const int32_t v = HistogramValue(p, kind);
  if (kind == kLightness) {
    // Scaled about the lightness towards black or white, keeping hue and
    // saturation.
    const int32_t m = map[size_t(v)];
    for (int32_t c = 0; c < 3; ++c) {
      double out;
      if (m <= v)
        out = v == 0 ? 0.0 : p[c] * double(m) / v;
      else
        out = 255.0 - (255.0 - p[c]) * double(255 - m) / double(255 - v);
      p[c] = Clamp8(out);
    }
    return;
  }
  const int32_t shift = map[size_t(v)] - v;
  for (int32_t c = 0; c < 3; ++c) p[c] = uint8_t(std::clamp(p[c] + shift, 0, 255));
}

template <class MakeMap>
bool HistogramOp(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride, HistogramKind kind,
                 MakeMap&& makeMap) noexcept {
  if (!Valid(px, w, h, bpp, stride) || kind < kBrightness || kind > kLightness) return false;
  return Try([&] {
    if (kind == kPerChannel) {
      std::array<std::array<uint8_t, 256>, 3> maps;
      for (int32_t c = 0; c < 3; ++c) {
        std::array<uint64_t, 256> hist{};
        EachPixel(px, w, h, bpp, stride, [&](uint8_t* p) { ++hist[p[c]]; });
        maps[size_t(c)] = makeMap(hist);
      }
      const uint8_t* tables[4] = {maps[0].data(), maps[1].data(), maps[2].data(), nullptr};
      return ApplyLuts(px, w, h, bpp, stride, tables);
    }
    std::array<uint64_t, 256> hist{};
    EachPixel(px, w, h, bpp, stride, [&](uint8_t* p) { ++hist[size_t(HistogramValue(p, kind))]; });
    const std::array<uint8_t, 256> map = makeMap(hist);
    EachPixel(px, w, h, bpp, stride, [&](uint8_t* p) { MapPixel(p, map, kind); });
    return true;
  });
}

}  // namespace

bool EqualizeHistogram(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride, int32_t low,
                       int32_t high, HistogramKind kind) noexcept {
  low = std::clamp(low, 0, 255);
  high = std::clamp(high, 0, 255);
  if (low > high) std::swap(low, high);
  if (kind == kPerChannel && low == 0 && high == 255 && Valid(px, w, h, bpp, stride)) {
    // The plain case straight through OpenCV, channel by channel.
    return Try([&] {
      cv::Mat image = View(px, w, h, bpp, stride);
      std::vector<cv::Mat> planes;
      cv::split(image, planes);
      for (int32_t c = 0; c < 3; ++c) cv::equalizeHist(planes[size_t(c)], planes[size_t(c)]);
      cv::Mat merged;
      cv::merge(planes, merged);
      merged.copyTo(image);
      return image.data == px;
    });
  }
  return HistogramOp(px, w, h, bpp, stride, kind, [&](const std::array<uint64_t, 256>& hist) {
    // OpenCV's equalisation rule: the first occupied value maps to low.
    std::array<uint8_t, 256> map;
    uint64_t total = 0, first = 0;
    for (uint64_t n : hist) total += n;
    for (uint64_t n : hist)
      if (n) {
        first = n;
        break;
      }
    uint64_t cumulative = 0;
    for (size_t v = 0; v < 256; ++v) {
      cumulative += hist[v];
      const double t = total == first ? 0.0 : double(cumulative - first) / double(total - first);
      map[v] = cumulative < first ? uint8_t(low) : Clamp8(low + t * (high - low));
    }
    return map;
  });
}

bool StretchHistogram(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                      double lowClip, double highClip, HistogramKind kind) noexcept {
  if (lowClip != lowClip || highClip != highClip) return false;
  lowClip = std::clamp(lowClip, 0.0, 50.0);
  highClip = std::clamp(highClip, 0.0, 50.0);
  return HistogramOp(px, w, h, bpp, stride, kind, [&](const std::array<uint64_t, 256>& hist) {
    uint64_t total = 0;
    for (uint64_t n : hist) total += n;
    const double cutLow = total * lowClip / 100.0, cutHigh = total * highClip / 100.0;
    int32_t lo = 0, hi = 255;
    uint64_t seen = 0;
    while (lo < 255 && double(seen + hist[size_t(lo)]) <= cutLow) seen += hist[size_t(lo++)];
    seen = 0;
    while (hi > 0 && double(seen + hist[size_t(hi)]) <= cutHigh) seen += hist[size_t(hi--)];
    std::array<uint8_t, 256> map;
    for (int32_t v = 0; v < 256; ++v)
      map[size_t(v)] = hi <= lo ? uint8_t(v) : Clamp8((v - lo) * 255.0 / (hi - lo));
    return map;
  });
}

bool GrayImage(const uint8_t* src, int32_t w, int32_t h, int32_t bpp, int32_t stride,
               uint8_t* plane, int32_t planeStride) noexcept {
  if (!Valid(src, w, h, bpp, stride) || !plane || planeStride < w) return false;
  return Try([&] {
    cv::Mat out(h, w, CV_8UC1, plane, size_t(planeStride));
    cv::cvtColor(View(src, w, h, bpp, stride), out,
                 bpp == 3 ? cv::COLOR_RGB2GRAY : cv::COLOR_RGBA2GRAY);
    return out.data == plane;
  });
}

bool ThresholdImage(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride, int32_t low,
                    int32_t high) noexcept {
  if (!Valid(px, w, h, bpp, stride)) return false;
  return Try([&] {
    cv::Mat image = View(px, w, h, bpp, stride);
    cv::Mat grey, above, below;
    cv::cvtColor(image, grey, bpp == 3 ? cv::COLOR_RGB2GRAY : cv::COLOR_RGBA2GRAY);
    cv::threshold(grey, above, std::clamp(low, 0, 256) - 1, 255, cv::THRESH_BINARY);
    cv::threshold(grey, below, std::clamp(high, -1, 255), 255, cv::THRESH_BINARY_INV);
    cv::bitwise_and(above, below, grey);
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = px + int64_t{y} * stride;
      const uint8_t* g = grey.ptr<uint8_t>(y);
      for (int32_t x = 0; x < w; ++x) std::memset(row + int64_t{x} * bpp, g[x], 3);
    }
    return true;
  });
}

bool InvertImage(uint8_t* rgb, int32_t w, int32_t h, int32_t stride) noexcept {
  if (!Valid(rgb, w, h, 3, stride)) return false;
  EachPixel(rgb, w, h, 3, stride, [](uint8_t* p) {
    for (int32_t c = 0; c < 3; ++c) p[c] = uint8_t(255 - p[c]);
  });
  return true;
}

bool PosterizeImage(uint8_t* rgb, int32_t w, int32_t h, int32_t stride, int32_t levels) noexcept {
  if (!Valid(rgb, w, h, 3, stride)) return false;
  const int32_t n = levels == 0 ? 4 : std::clamp(levels, 2, 255);
  std::array<uint8_t, 256> table;
  for (int32_t v = 0; v < 256; ++v)
    table[size_t(v)] = Clamp8(std::round(v * (n - 1) / 255.0) * 255.0 / (n - 1));
  EachPixel(rgb, w, h, 3, stride, [&](uint8_t* p) {
    for (int32_t c = 0; c < 3; ++c) p[c] = table[p[c]];
  });
  return true;
}

bool SolarizeImage(uint8_t* rgb, int32_t w, int32_t h, int32_t stride, int32_t threshold) noexcept {
  if (!Valid(rgb, w, h, 3, stride)) return false;
  const int32_t t = threshold == 0 ? 128 : threshold;
  EachPixel(rgb, w, h, 3, stride, [&](uint8_t* p) {
    for (int32_t c = 0; c < 3; ++c)
      if (p[c] >= t) p[c] = uint8_t(255 - p[c]);
  });
  return true;
}

bool AdjustTint(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                int32_t degrees) noexcept {
  if (!Valid(px, w, h, bpp, stride)) return false;
  const double a = std::clamp(degrees, -180, 180) * CV_PI / 180.0;
  const double ca = std::cos(a), sa = std::sin(a);
  EachPixel(px, w, h, bpp, stride, [&](uint8_t* p) {
    const double r = p[0], g = p[1], b = p[2];
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    const double i0 = 0.596 * r - 0.274 * g - 0.322 * b;
    const double q0 = 0.211 * r - 0.523 * g + 0.312 * b;
    const double i = i0 * ca - q0 * sa, q = i0 * sa + q0 * ca;
    p[0] = Clamp8(y + 0.956 * i + 0.621 * q);
    p[1] = Clamp8(y - 0.272 * i - 0.647 * q);
    p[2] = Clamp8(y - 1.106 * i + 1.703 * q);
  });
  return true;
}

bool DuotoneImage(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                  uint32_t colour) noexcept {
  if (!Valid(px, w, h, bpp, stride)) return false;
  const int32_t tone[3] = {int32_t(colour & 255), int32_t((colour >> 8) & 255),
                           int32_t((colour >> 16) & 255)};
  EachPixel(px, w, h, bpp, stride, [&](uint8_t* p) {
    const int32_t y = Luma(p);
    for (int32_t c = 0; c < 3; ++c)
      p[c] = y < 128 ? uint8_t(tone[c] * y / 128)
                     : uint8_t(tone[c] + (255 - tone[c]) * (y - 128) / 127);
  });
  return true;
}

bool AdjustColorBalance(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                        const int32_t shadows[3], const int32_t midtones[3],
                        const int32_t highlights[3], int32_t shift) noexcept {
  if (!Valid(px, w, h, bpp, stride) || !shadows || !midtones || !highlights) return false;
  // The shift of each channel at each luma, worked out once.
  std::array<std::array<int16_t, 256>, 3> delta;
  for (int32_t y = 0; y < 256; ++y) {
    const double ws = y < 128 ? 1.0 - y / 128.0 : 0.0;
    const double wh = y > 127 ? (y - 127) / 128.0 : 0.0;
    const double wm = 1.0 - std::fabs(y - 127.5) / 127.5;
    for (int32_t c = 0; c < 3; ++c) {
      const double d =
          2.0 * (std::clamp(shadows[c], -100, 100) * ws + std::clamp(midtones[c], -100, 100) * wm +
                 std::clamp(highlights[c], -100, 100) * wh + std::clamp(shift, -100, 100));
      delta[size_t(c)][size_t(y)] = int16_t(std::lround(d));
    }
  }
  EachPixel(px, w, h, bpp, stride, [&](uint8_t* p) {
    const size_t y = size_t(Luma(p));
    for (size_t c = 0; c < 3; ++c) p[c] = uint8_t(std::clamp(p[c] + delta[c][y], 0, 255));
  });
  return true;
}

bool ContrastMaskImage(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                       int32_t amount, double radius) noexcept {
  if (!Valid(px, w, h, bpp, stride) || radius != radius) return false;
  return Try([&] {
    cv::Mat grey, blurred;
    cv::cvtColor(View(px, w, h, bpp, stride), grey,
                 bpp == 3 ? cv::COLOR_RGB2GRAY : cv::COLOR_RGBA2GRAY);
    const double sigma = std::clamp(radius, 0.5, double(std::max(w, h))) / 3.0;
    const int k = 2 * static_cast<int>(std::ceil(3.0 * sigma)) + 1;
    cv::GaussianBlur(grey, blurred, cv::Size(k, k), sigma, sigma, cv::BORDER_REPLICATE);
    const double mix = (amount <= 0 || amount > 100 ? 100 : amount) / 100.0;
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = px + int64_t{y} * stride;
      const uint8_t* m = blurred.ptr<uint8_t>(y);
      for (int32_t x = 0; x < w; ++x) {
        const double b = (255 - m[x]) / 255.0;  // the inverted mask
        for (int32_t c = 0; c < 3; ++c) {
          uint8_t& v = row[int64_t{x} * bpp + c];
          const double a = v / 255.0;
          // Soft light: darkens under a dark mask, lightens under a light one.
          const double soft =
              b < 0.5
                  ? a - (1 - 2 * b) * a * (1 - a)
                  : a + (2 * b - 1) * ((a < 0.25 ? ((16 * a - 12) * a + 4) * a : std::sqrt(a)) - a);
          v = Clamp8(v + mix * (soft * 255.0 - v));
        }
      }
    }
    return true;
  });
}

namespace {

// Oil paint with the colour sums of each bin kept in `Sum`: one uint64 with
// red, green and blue in 21-bit fields (enough while a window holds at most
// 8223 pixels, radius 44), or three 64-bit sums for larger windows.
struct PackedSum {
  uint64_t v = 0;
  static PackedSum Of(const uint8_t* p) noexcept {
    return {uint64_t(p[0]) | uint64_t(p[1]) << 21 | uint64_t(p[2]) << 42};
  }
  void Add(PackedSum o) noexcept { v += o.v; }
  void Sub(PackedSum o) noexcept { v -= o.v; }
  int64_t At(int c) const noexcept { return int64_t(v >> (21 * c) & 0x1FFFFF); }
};
struct WideSum {
  int64_t v[3] = {0, 0, 0};
  static WideSum Of(const uint8_t* p) noexcept { return {{p[0], p[1], p[2]}}; }
  void Add(const WideSum& o) noexcept {
    for (int c = 0; c < 3; ++c) v[c] += o.v[c];
  }
  void Sub(const WideSum& o) noexcept {
    for (int c = 0; c < 3; ++c) v[c] -= o.v[c];
  }
  int64_t At(int c) const noexcept { return v[c]; }
};

template <class Sum>
void OilPaintRows(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                  int32_t dstStride, int32_t radius, int32_t bins, int32_t flags) {
  const size_t count = size_t(w) * size_t(h);
  // Each pixel's bin and colour, row-major, so the column updates below
  // read two small arrays.
  std::vector<uint8_t> bin(count);
  std::vector<Sum> colour(count);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* p = src + int64_t{y} * stride + 3 * int64_t{x};
      const size_t i = size_t(y) * size_t(w) + size_t(x);
      bin[i] = uint8_t((p[0] + p[1] + p[2]) * bins / 766);
      colour[i] = Sum::Of(p);
    }
  // Column histograms: for each column, the count and colour sum of each bin
  // over the rows y - radius .. y + radius, moved down a row by one pixel in
  // and one out. The window's histogram slides along the row by adding the
  // entering column's histogram and taking away the leaving one's, so a
  // pixel costs a few bin-wide additions whatever the radius.
  const size_t nb = static_cast<size_t>(bins);
  std::vector<int32_t> colCounts(size_t(w) * nb);
  std::vector<Sum> colSums(size_t(w) * nb);
  auto row = [&](int32_t y, int32_t sign) {
    for (int32_t x = 0; x < w; ++x) {
      const size_t i = size_t(y) * size_t(w) + size_t(x);
      const size_t k = size_t(x) * nb + bin[i];
      colCounts[k] += sign;
      if (sign > 0)
        colSums[k].Add(colour[i]);
      else
        colSums[k].Sub(colour[i]);
    }
  };
  for (int32_t y = 0; y <= std::min(radius, h - 1); ++y) row(y, 1);
  std::vector<int32_t> counts(nb);
  std::vector<Sum> sums(nb);
  // Bin-wide additions on unaliased pointers, so the compiler vectorises them.
  auto column = [&](int32_t x, bool add) {
    const int32_t* __restrict c = colCounts.data() + size_t(x) * nb;
    const Sum* __restrict s = colSums.data() + size_t(x) * nb;
    int32_t* __restrict to = counts.data();
    Sum* __restrict sumTo = sums.data();
    if (add) {
      for (size_t b = 0; b < nb; ++b) to[b] += c[b];
      for (size_t b = 0; b < nb; ++b) sumTo[b].Add(s[b]);
    } else {
      for (size_t b = 0; b < nb; ++b) to[b] -= c[b];
      for (size_t b = 0; b < nb; ++b) sumTo[b].Sub(s[b]);
    }
  };
  for (int32_t y = 0; y < h; ++y) {
    if (y > 0) {
      if (y + radius < h) row(y + radius, 1);
      if (y - radius - 1 >= 0) row(y - radius - 1, -1);
    }
    std::fill(counts.begin(), counts.end(), 0);
    std::fill(sums.begin(), sums.end(), Sum{});
    for (int32_t x = 0; x <= std::min(radius, w - 1); ++x) column(x, true);
    uint8_t* d = dst + int64_t{y} * dstStride;
    for (int32_t x = 0; x < w; ++x) {
      if (x > 0) {
        if (x + radius < w) column(x + radius, true);
        if (x - radius - 1 >= 0) column(x - radius - 1, false);
      }
      // The largest count (a reduction the compiler vectorises), then the
      // first bin holding it from the dark or the bright end.
      int32_t most = 0;
      for (size_t b = 0; b < nb; ++b) most = std::max(most, counts[b]);
      size_t best = 0;
      if (flags & 1) {
        best = nb - 1;
        while (counts[best] != most) --best;
      } else {
        while (counts[best] != most) ++best;
      }
      const uint8_t* own = src + int64_t{y} * stride + 3 * int64_t{x};
      const Sum& s = sums[best];
      double scale = 1.0 / counts[best];
      if (flags & 2) {
        const int64_t total = s.At(0) + s.At(1) + s.At(2);
        scale = total == 0 ? scale : double(own[0] + own[1] + own[2]) / double(total);
      }
      for (int c = 0; c < 3; ++c) d[3 * int64_t{x} + c] = Clamp8(scale * double(s.At(c)));
    }
  }
}

// The same for windows of at most 21 x 21 pixels, with each bin's count and
// colour sums in one word: count in bits 0..8, red, green and blue in
// 17-bit fields from bit 9 (a window's sum stays below 441 x 255 < 2^17), so
// every update and every slide step is one addition per bin.
void OilPaintSmall(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                   int32_t dstStride, int32_t radius, int32_t bins, int32_t flags) {
  const size_t count = size_t(w) * size_t(h);
  std::vector<uint8_t> bin(count);
  std::vector<uint64_t> word(count);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* p = src + int64_t{y} * stride + 3 * int64_t{x};
      const size_t i = size_t(y) * size_t(w) + size_t(x);
      bin[i] = uint8_t((p[0] + p[1] + p[2]) * bins / 766);
      word[i] = 1u | uint64_t(p[0]) << 9 | uint64_t(p[1]) << 26 | uint64_t(p[2]) << 43;
    }
  const size_t nb = static_cast<size_t>(bins);
  // The counts again as 16-bit numbers beside the words: their maximum is
  // a reduction the compiler vectorises (the words' low bits are not).
  std::vector<uint64_t> columns(size_t(w) * nb);
  std::vector<int16_t> columnCounts(size_t(w) * nb);
  auto row = [&](int32_t y, bool add) {
    for (int32_t x = 0; x < w; ++x) {
      const size_t i = size_t(y) * size_t(w) + size_t(x);
      const size_t k = size_t(x) * nb + bin[i];
      columns[k] = add ? columns[k] + word[i] : columns[k] - word[i];
      columnCounts[k] = int16_t(columnCounts[k] + (add ? 1 : -1));
    }
  };
  for (int32_t y = 0; y <= std::min(radius, h - 1); ++y) row(y, true);
  std::vector<uint64_t> window(nb);
  std::vector<int16_t> windowCounts(nb);
  auto column = [&](int32_t x, bool add) {
    const uint64_t* __restrict c = columns.data() + size_t(x) * nb;
    const int16_t* __restrict n = columnCounts.data() + size_t(x) * nb;
    uint64_t* __restrict to = window.data();
    int16_t* __restrict toCounts = windowCounts.data();
    if (add) {
      for (size_t b = 0; b < nb; ++b) to[b] += c[b];
      for (size_t b = 0; b < nb; ++b) toCounts[b] = int16_t(toCounts[b] + n[b]);
    } else {
      for (size_t b = 0; b < nb; ++b) to[b] -= c[b];
      for (size_t b = 0; b < nb; ++b) toCounts[b] = int16_t(toCounts[b] - n[b]);
    }
  };
  for (int32_t y = 0; y < h; ++y) {
    if (y > 0) {
      if (y + radius < h) row(y + radius, true);
      if (y - radius - 1 >= 0) row(y - radius - 1, false);
    }
    std::fill(window.begin(), window.end(), 0);
    std::fill(windowCounts.begin(), windowCounts.end(), int16_t{0});
    for (int32_t x = 0; x <= std::min(radius, w - 1); ++x) column(x, true);
    uint8_t* d = dst + int64_t{y} * dstStride;
    for (int32_t x = 0; x < w; ++x) {
      if (x > 0) {
        if (x + radius < w) column(x + radius, true);
        if (x - radius - 1 >= 0) column(x - radius - 1, false);
      }
      const int16_t* counts = windowCounts.data();
      int16_t most = 0;
      for (size_t b = 0; b < nb; ++b) most = std::max(most, counts[b]);
      size_t best = 0;
      if (flags & 1) {
        best = nb - 1;
        while (counts[best] != most) --best;
      } else {
        while (counts[best] != most) ++best;
      }
      const uint64_t v = window[best];
      const int64_t sum[3] = {int64_t(v >> 9 & 0x1FFFF), int64_t(v >> 26 & 0x1FFFF),
                              int64_t(v >> 43 & 0x1FFFF)};
      const uint8_t* own = src + int64_t{y} * stride + 3 * int64_t{x};
      double scale = 1.0 / double(most);
      if (flags & 2) {
        const int64_t total = sum[0] + sum[1] + sum[2];
        scale = total == 0 ? scale : double(own[0] + own[1] + own[2]) / double(total);
      }
      for (int c = 0; c < 3; ++c) d[3 * int64_t{x} + c] = Clamp8(scale * double(sum[c]));
    }
  }
}

}  // namespace

bool OilPaintImage(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                   int32_t dstStride, int32_t radius, int32_t levels, int32_t flags) noexcept {
  if (!Valid(src, w, h, 3, stride) || !Valid(dst, w, h, 3, dstStride) || src == dst) return false;
  return Try([&] {
    radius = std::clamp(radius, 0, std::max(w, h));
    const int32_t bins = std::clamp(levels, 2, 255);
    if (radius <= 10)
      OilPaintSmall(src, w, h, stride, dst, dstStride, radius, bins, flags);
    else if (radius <= 44)
      OilPaintRows<PackedSum>(src, w, h, stride, dst, dstStride, radius, bins, flags);
    else
      OilPaintRows<WideSum>(src, w, h, stride, dst, dstStride, radius, bins, flags);
    return true;
  });
}

bool StippleImage(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                  int32_t dstStride, int32_t size, int32_t mode, int32_t keepPicture) noexcept {
  if (!Valid(src, w, h, 3, stride) || !Valid(dst, w, h, 3, dstStride) || src == dst) return false;
  const int32_t cell = std::clamp(size, 2, std::max({w, h, 2}));
  for (int32_t cy = 0; cy < h; cy += cell) {
    for (int32_t cx = 0; cx < w; cx += cell) {
      const int32_t x1 = std::min(w, cx + cell), y1 = std::min(h, cy + cell);
      uint64_t total[3] = {0, 0, 0};
      for (int32_t y = cy; y < y1; ++y)
        for (int32_t x = cx; x < x1; ++x)
          for (int32_t c = 0; c < 3; ++c) total[c] += src[int64_t{y} * stride + 3 * int64_t{x} + c];
      const uint64_t n = uint64_t(x1 - cx) * uint64_t(y1 - cy);
      const uint8_t mean[3] = {uint8_t(total[0] / n), uint8_t(total[1] / n), uint8_t(total[2] / n)};
      const double darkness = 1.0 - (mean[0] + mean[1] + mean[2]) / 765.0;
      // A dot of area darkness x cell^2.
      const double r2 = darkness * cell * cell / CV_PI;
      const double ox = cx + (cell - 1) / 2.0, oy = cy + (cell - 1) / 2.0;
      for (int32_t y = cy; y < y1; ++y) {
        for (int32_t x = cx; x < x1; ++x) {
          uint8_t* d = dst + int64_t{y} * dstStride + 3 * int64_t{x};
          const uint8_t* s = src + int64_t{y} * stride + 3 * int64_t{x};
          const bool inDot = (x - ox) * (x - ox) + (y - oy) * (y - oy) < r2;
          for (int32_t c = 0; c < 3; ++c)
            d[c] = inDot ? (mode == 0 ? 0 : mean[c]) : (keepPicture ? s[c] : 255);
        }
      }
    }
  }
  return true;
}

bool WatercolorTintImage(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                         int32_t dstStride, double strength, int32_t flags) noexcept {
  if (!Valid(src, w, h, 3, stride) || !Valid(dst, w, h, 3, dstStride) || src == dst ||
      strength != strength)
    return false;
  return Try([&] {
    const double s = std::clamp(strength, 0.0, 1.0);
    cv::Mat out = View(dst, w, h, 3, dstStride);
    cv::medianBlur(View(src, w, h, 3, stride), out, 5);
    EachPixel(dst, w, h, 3, dstStride, [&](uint8_t* p) {
      const double y0 = Luma(p);
      double v[3];
      for (int32_t c = 0; c < 3; ++c) {
        v[c] = p[c];
        if (!(flags & 1)) v[c] += s * (255.0 - v[c]) / 2.0;
      }
      const double y = 0.30 * v[0] + 0.59 * v[1] + 0.11 * v[2];
      for (int32_t c = 0; c < 3; ++c) {
        v[c] = y + (1.0 + s / 2.0) * (v[c] - y);
        if (flags & 2) v[c] += y0 - y;
        p[c] = Clamp8(v[c]);
      }
    });
    return out.data == dst;
  });
}

bool ScribbleImage(const uint8_t* src, int32_t w, int32_t h, uint8_t* dst, int32_t,
                   int32_t crossHatch, int32_t density) noexcept {
  if (!Valid(src, w, h, 3, w * 3) || !Valid(dst, w, h, 3, w * 3) || src == dst) return false;
  const int32_t ink = std::clamp(density, 0, 100) * 255 / 100;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int64_t i = (int64_t{y} * w + x) * 3;
      const int32_t dark = 255 - Luma(src + i);
      const bool line = (dark >= 64 && (x + y) % 6 == 0) ||
                        (crossHatch && dark >= 128 && (x - y + 6000) % 6 == 0) ||
                        (dark >= 192 && (x + y) % 3 == 0);
      std::memset(dst + i, line ? 255 - ink : 255, 3);
    }
  return true;
}

bool AddGaussianNoise(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                      int32_t amount, int32_t monochrome, uint32_t seed,
                      int32_t channels) noexcept {
  if (!Valid(px, w, h, bpp, stride)) return false;
  const double sigma = std::clamp(amount, 0, 25500) / 100.0;
  // Box-Muller on SplitMix64: the same seed gives the same noise with every
  // compiler and standard library.
  uint64_t state = seed;
  auto next = [&] {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  };
  auto normal = [&] {
    const double u1 = (double(next() >> 11) + 1.0) * 0x1p-53;
    const double u2 = double(next() >> 11) * 0x1p-53;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * CV_PI * u2);
  };
  const int32_t touched = bpp == 4 && channels == 15 ? 4 : 3;
  EachPixel(px, w, h, bpp, stride, [&](uint8_t* p) {
    const double shared = monochrome ? normal() * sigma : 0.0;
    for (int32_t c = 0; c < touched; ++c)
      p[c] = Clamp8(p[c] + (monochrome ? shared : normal() * sigma));
  });
  return true;
}

}  // namespace dro::platform::image
