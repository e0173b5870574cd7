// Detail, noise and edge effects of the image seam. OpenCV works on
// cv::Mat headers over the caller's rows; our own loops run where OpenCV
// has nothing that fits.
#include "platform/image_details.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/image_cv.h"
#include "platform/image_effects.h"
#include "platform/noise_field.h"

namespace dro::platform::image {
namespace {

using noise::SplitMix;

bool Valid(const void* p, int32_t w, int32_t h, int32_t bpp, int32_t stride) noexcept {
  return !EffectFailuresForTesting() && p && w > 0 && h > 0 && (bpp == 1 || bpp == 3 || bpp == 4) &&
         int64_t{stride} >= int64_t{w} * bpp;
}

using cvhelp::Clamp8;
using cvhelp::KeepAlpha;
using cvhelp::Type;
using cvhelp::View;

uint8_t Clamp8i(int32_t v) noexcept {
  return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

template <class Body>
bool Try(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return false;
  }
}

int32_t Larger(int32_t w, int32_t h) noexcept {
  return std::max(w, h);
}

// Fills a plane of floats into bytes stretched over 0..255.
void Stretch(const float* field, int32_t w, int32_t h, uint8_t* plane, int32_t stride) noexcept {
  const size_t n = size_t(w) * size_t(h);
  float lo = field[0], hi = field[0];
  for (size_t i = 1; i < n; ++i) lo = std::min(lo, field[i]), hi = std::max(hi, field[i]);
  const float scale = hi > lo ? 255.0f / (hi - lo) : 0.0f;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      plane[int64_t{y} * stride + x] =
          uint8_t((field[size_t(y) * size_t(w) + size_t(x)] - lo) * scale + 0.5f);
}

}  // namespace

// ---- Neighbourhood filters ----

bool NeighbourhoodFilter(const uint8_t* src, int32_t w, int32_t h, uint8_t* dst, int32_t bpp,
                         int32_t stride, int32_t dstStride, int32_t radius, Neighbourhood kind,
                         int32_t channels) noexcept {
  if (!Valid(src, w, h, bpp, stride) || !Valid(dst, w, h, bpp, dstStride) || src == dst)
    return false;
  return Try([&] {
    const cv::Mat in = View(src, w, h, bpp, stride);
    cv::Mat out = View(dst, w, h, bpp, dstStride);
    radius = std::clamp(radius, 0, Larger(w, h));
    const cv::Size k(2 * radius + 1, 2 * radius + 1);
    const cv::Mat square = cv::getStructuringElement(cv::MORPH_RECT, k);
    if (radius == 0) {
      in.copyTo(out);
    } else {
      switch (kind) {
        case Neighbourhood::kArithmeticMean:
          cv::blur(in, out, k, cv::Point(-1, -1), cv::BORDER_REPLICATE);
          break;
        case Neighbourhood::kMaximum:
          cv::dilate(in, out, square, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
          break;
        case Neighbourhood::kMinimum:
          cv::erode(in, out, square, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
          break;
        case Neighbourhood::kMidpoint: {
          cv::Mat high, low;
          cv::dilate(in, high, square, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
          cv::erode(in, low, square, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
          for (int32_t y = 0; y < h; ++y) {
            const uint8_t* a = high.ptr<uint8_t>(y);
            const uint8_t* b = low.ptr<uint8_t>(y);
            uint8_t* o = dst + int64_t{y} * dstStride;
            for (int64_t i = 0; i < int64_t{w} * bpp; ++i) o[i] = uint8_t((a[i] + b[i] + 1) >> 1);
          }
          break;
        }
        case Neighbourhood::kMedian:
          cv::medianBlur(in, out, 2 * std::min(radius, 127) + 1);
          break;
        case Neighbourhood::kGeometricMean:
        case Neighbourhood::kHarmonicMean: {
          // Through a table into 16-bit fixed point (ln(v + 1) / ln 256 or
          // 1 / (v + 1), scaled to 0..65535), OpenCV's integer box mean,
          // and a 65536-entry table back: the cost does not grow with the
          // radius, and the fixed point keeps the result within a rounding
          // of the exact mean.
          const bool geometric = kind == Neighbourhood::kGeometricMean;
          const double lnTop = std::log(256.0);
          cv::Mat into(1, 256, CV_16U);
          for (int v = 0; v < 256; ++v)
            into.at<uint16_t>(v) = uint16_t(
                std::lround(geometric ? std::log(v + 1.0) / lnTop * 65535.0 : 65535.0 / (v + 1.0)));
          std::vector<uint8_t> back(65536);
          for (int q = 0; q < 65536; ++q) {
            const double v = geometric ? std::exp(q / 65535.0 * lnTop) - 1.0
                                       : (q > 0 ? 65535.0 / q - 1.0 : 255.0);
            back[size_t(q)] = Clamp8(v);
          }
          cv::Mat fixed;
          cv::LUT(in, into, fixed);
          cv::blur(fixed, fixed, k, cv::Point(-1, -1), cv::BORDER_REPLICATE);
          for (int32_t y = 0; y < h; ++y) {
            const uint16_t* q = fixed.ptr<uint16_t>(y);
            uint8_t* o = dst + int64_t{y} * dstStride;
            for (int64_t i = 0; i < int64_t{w} * bpp; ++i) o[i] = back[q[i]];
          }
          break;
        }
      }
    }
    KeepAlpha(src, stride, dst, dstStride, w, h, bpp, channels);
    return out.data == dst;
  });
}

bool DespeckleImage(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                    int32_t channels) noexcept {
  if (!Valid(px, w, h, bpp, stride) || bpp == 1) return false;
  return Try([&] {
    const cv::Mat in = View(px, w, h, bpp, stride);
    cv::Mat median;
    cv::medianBlur(in, median, 3);
    const int32_t touched = bpp == 4 && channels == 15 ? 4 : 3;
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = px + int64_t{y} * stride;
      const uint8_t* m = median.ptr<uint8_t>(y);
      for (int64_t i = 0; i < int64_t{w} * bpp; i += bpp)
        for (int32_t c = 0; c < touched; ++c)
          if (std::abs(int(row[i + c]) - int(m[i + c])) > 24) row[i + c] = m[i + c];
    }
    return true;
  });
}

bool DustAndScratches(const uint8_t* src, int32_t w, int32_t h, uint8_t* dst, int32_t stride,
                      int32_t dstStride, int32_t radius, int32_t threshold,
                      double strength) noexcept {
  if (!Valid(src, w, h, 3, stride) || !Valid(dst, w, h, 3, dstStride) || src == dst ||
      strength != strength)
    return false;
  return Try([&] {
    const cv::Mat in = View(src, w, h, 3, stride);
    cv::Mat median;
    cv::medianBlur(in, median, 2 * std::clamp(radius, 1, std::min(Larger(w, h), 127)) + 1);
    const double s = std::clamp(strength, 0.0, 1.0);
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* a = src + int64_t{y} * stride;
      const uint8_t* m = median.ptr<uint8_t>(y);
      uint8_t* d = dst + int64_t{y} * dstStride;
      for (int64_t i = 0; i < int64_t{w} * 3; i += 3) {
        const int32_t diff = std::max(
            {std::abs(a[i] - m[i]), std::abs(a[i + 1] - m[i + 1]), std::abs(a[i + 2] - m[i + 2])});
        for (int c = 0; c < 3; ++c)
          d[i + c] = diff > threshold ? Clamp8(a[i + c] + (m[i + c] - a[i + c]) * s) : a[i + c];
      }
    }
    return true;
  });
}

// ---- Noise ----

bool AddNoise(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride, NoiseKind kind,
              int32_t amount, int32_t monochrome, uint32_t seed, int32_t channels) noexcept {
  if (!Valid(px, w, h, bpp, stride) || bpp == 1) return false;
  return Try([&] {
    // The inverse distribution at the middle of each of 65536 equal slices
    // of probability, made zero-mean with a standard deviation of 1, then
    // scaled to the asked deviation in whole grey levels.
    const double sigma = std::clamp(amount, 0, 25500) / 100.0;
    std::vector<int16_t> table(65536);
    auto inverse = [&](double u) {
      switch (kind) {
        case NoiseKind::kGaussian: {
          // Acklam's rational approximation of the normal quantile.
          static constexpr double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,
                                         -2.759285104469687e+02, 1.383577518672690e+02,
                                         -3.066479806614716e+01, 2.506628277459239e+00};
          static constexpr double b[] = {-5.447609879822406e+01, 1.615858368580409e+02,
                                         -1.556989798598866e+02, 6.680131188771972e+01,
                                         -1.328068155288572e+01};
          static constexpr double c[] = {-7.784894002430293e-03, -3.223964580411365e-01,
                                         -2.400758277161838e+00, -2.549732539343734e+00,
                                         4.374664141464968e+00,  2.938163982698783e+00};
          static constexpr double d[] = {7.784695709041462e-03, 3.224671290700398e-01,
                                         2.445134137142996e+00, 3.754408661907416e+00};
          if (u < 0.02425) {
            const double q = std::sqrt(-2 * std::log(u));
            return (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
                   ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
          }
          if (u > 1 - 0.02425) {
            const double q = std::sqrt(-2 * std::log(1 - u));
            return -(((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
                   ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
          }
          const double q = u - 0.5, r = q * q;
          return (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
                 (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
        }
        case NoiseKind::kUniform:
          return (u - 0.5) * std::sqrt(12.0);
        case NoiseKind::kNegativeExponential:
          return -std::log(1 - u) - 1.0;  // mean 1, deviation 1
        case NoiseKind::kRayleigh:
          // Mean sqrt(pi / 2), deviation sqrt((4 - pi) / 2).
          return (std::sqrt(-2 * std::log(1 - u)) - 1.2533141373155003) / 0.6551363775620336;
      }
      return 0.0;
    };
    for (int32_t i = 0; i < 65536; ++i)
      table[size_t(i)] =
          int16_t(std::clamp(std::lround(inverse((i + 0.5) / 65536.0) * sigma), -255L, 255L));
    SplitMix rnd(seed);
    uint64_t bits = 0;
    int32_t left = 0;
    auto draw = [&]() -> int32_t {
      if (left == 0) bits = rnd.Next(), left = 4;
      const int32_t v = table[size_t(bits & 0xffff)];
      bits >>= 16;
      --left;
      return v;
    };
    const int32_t touched = bpp == 4 && channels == 15 ? 4 : 3;
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = px + int64_t{y} * stride;
      for (int64_t i = 0; i < int64_t{w} * bpp; i += bpp) {
        if (monochrome) {
          const int32_t n = draw();
          for (int32_t c = 0; c < 3; ++c) row[i + c] = Clamp8i(row[i + c] + n);
          if (touched == 4) row[i + 3] = Clamp8i(row[i + 3] + draw());
        } else {
          for (int32_t c = 0; c < touched; ++c) row[i + c] = Clamp8i(row[i + c] + draw());
        }
      }
    }
    return true;
  });
}

bool ColoredNoise(uint8_t* rgb, int32_t w, int32_t h, int32_t stride, uint32_t colour,
                  int32_t amount, int32_t mode, uint32_t seed) noexcept {
  if (!Valid(rgb, w, h, 3, stride)) return false;
  const int32_t a = std::clamp(amount, 0, 255);
  const int32_t base[3] = {int32_t(colour & 255), int32_t(colour >> 8 & 255),
                           int32_t(colour >> 16 & 255)};
  SplitMix rnd(seed);
  auto offset = [&] { return int32_t(rnd.Next() % uint64_t(2 * a + 1)) - a; };
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = rgb + int64_t{y} * stride;
    for (int64_t i = 0; i < int64_t{w} * 3; i += 3) {
      const int32_t shared = mode == 0 ? offset() : 0;
      for (int c = 0; c < 3; ++c) row[i + c] = Clamp8i(base[c] + (mode == 0 ? shared : offset()));
    }
  }
  return true;
}

bool ValueNoisePlane(uint8_t* plane, int32_t w, int32_t h, int32_t stride, int32_t octaves,
                     double cellSize, double persistence, uint32_t seed) noexcept {
  if (!Valid(plane, w, h, 1, stride) || cellSize != cellSize || persistence != persistence)
    return false;
  return Try([&] {
    const size_t n = size_t(w) * size_t(h);
    std::vector<float> field(n, 0.0f);
    double cell = std::clamp(cellSize, 2.0, 4096.0);
    const double keep = std::clamp(persistence, 0.0, 1.0);
    double amplitude = 1.0;
    for (int32_t o = 0; o < std::clamp(octaves, 1, 8); ++o, cell *= 0.5, amplitude *= keep) {
      const double step = std::max(cell, 1.0);
      const int32_t gw = int32_t(w / step) + 2, gh = int32_t(h / step) + 2;
      std::vector<float> lattice(size_t(gw) * size_t(gh));
      SplitMix rnd(uint64_t(seed) * 0x9e3779b1u + uint64_t(o));
      for (float& v : lattice) v = float(rnd.Unit());
      for (int32_t y = 0; y < h; ++y) {
        const double gy = y / step;
        const int32_t j = int32_t(gy);
        double t = gy - j;
        t = t * t * (3 - 2 * t);
        for (int32_t x = 0; x < w; ++x) {
          const double gx = x / step;
          const int32_t i = int32_t(gx);
          double s = gx - i;
          s = s * s * (3 - 2 * s);
          const float* r0 = &lattice[size_t(j) * size_t(gw) + size_t(i)];
          const float* r1 = r0 + gw;
          const double top = r0[0] + (r0[1] - r0[0]) * s, bottom = r1[0] + (r1[1] - r1[0]) * s;
          field[size_t(y) * size_t(w) + size_t(x)] += float(amplitude * (top + (bottom - top) * t));
        }
      }
    }
    Stretch(field.data(), w, h, plane, stride);
    return true;
  });
}

bool PerlinNoisePlane(uint8_t* plane, int32_t w, int32_t h, int32_t stride, double persistence,
                      uint32_t seed) noexcept {
  if (!Valid(plane, w, h, 1, stride) || persistence != persistence) return false;
  return Try([&] {
    std::vector<float> field(size_t(w) * size_t(h));
    const double larger = Larger(w, h);
    const int32_t cx = std::max(1, int32_t(std::lround(4.0 * w / larger)));
    const int32_t cy = std::max(1, int32_t(std::lround(4.0 * h / larger)));
    noise::PerlinField(field.data(), w, h, seed, cx, cy, 8,
                       float(std::clamp(persistence, 0.0, 1.0)));
    Stretch(field.data(), w, h, plane, stride);
    return true;
  });
}

// ---- Structure ----

bool MosaicImage(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                 int32_t cell) noexcept {
  if (!Valid(px, w, h, bpp, stride)) return false;
  cell = std::clamp(cell, 1, Larger(w, h));
  for (int32_t y0 = 0; y0 < h; y0 += cell)
    for (int32_t x0 = 0; x0 < w; x0 += cell) {
      const int32_t y1 = std::min(h, y0 + cell), x1 = std::min(w, x0 + cell);
      uint64_t sum[4] = {};
      for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x)
          for (int32_t c = 0; c < bpp; ++c)
            sum[c] += px[int64_t{y} * stride + int64_t{x} * bpp + c];
      const uint64_t count = uint64_t(y1 - y0) * uint64_t(x1 - x0);
      for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x)
          for (int32_t c = 0; c < bpp; ++c)
            px[int64_t{y} * stride + int64_t{x} * bpp + c] = uint8_t((sum[c] + count / 2) / count);
    }
  return true;
}

bool HalftoneImage(uint8_t* rgb, int32_t w, int32_t h, int32_t stride, int32_t cell,
                   int32_t colour) noexcept {
  if (!Valid(rgb, w, h, 3, stride)) return false;
  cell = std::clamp(cell, 1, Larger(w, h));
  for (int32_t y0 = 0; y0 < h; y0 += cell)
    for (int32_t x0 = 0; x0 < w; x0 += cell) {
      const int32_t y1 = std::min(h, y0 + cell), x1 = std::min(w, x0 + cell);
      double sum[3] = {};
      for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x)
          for (int c = 0; c < 3; ++c) sum[c] += rgb[int64_t{y} * stride + int64_t{x} * 3 + c];
      const double count = double(y1 - y0) * double(x1 - x0);
      double mean[3];
      for (int c = 0; c < 3; ++c) mean[c] = sum[c] / count / 255.0;
      const double luma = 0.299 * mean[0] + 0.587 * mean[1] + 0.114 * mean[2];
      // A dot of area darkness x cell^2 about the full cell's centre.
      const double cx = x0 + cell * 0.5, cy = y0 + cell * 0.5;
      double radius[3];
      for (int c = 0; c < 3; ++c)
        radius[c] = cell * std::sqrt((1.0 - (colour ? mean[c] : luma)) / 3.141592653589793);
      for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x) {
          const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
          for (int c = 0; c < 3; ++c) {
            const double ink = std::clamp(radius[colour ? c : 0] - d + 0.5, 0.0, 1.0);
            rgb[int64_t{y} * stride + int64_t{x} * 3 + c] = Clamp8(255.0 * (1.0 - ink));
          }
        }
    }
  return true;
}

bool DeinterlaceImage(uint8_t* px, int32_t w, int32_t h, int32_t bpp, int32_t stride,
                      int32_t method) noexcept {
  if (!Valid(px, w, h, bpp, stride)) return false;
  const int64_t bytes = int64_t{w} * bpp;
  for (int32_t y = 1; y < h; y += 2) {
    uint8_t* row = px + int64_t{y} * stride;
    const uint8_t* above = row - stride;
    if (method == 1 || y + 1 >= h) {
      std::memcpy(row, above, size_t(bytes));
    } else {
      const uint8_t* below = row + stride;
      for (int64_t i = 0; i < bytes; ++i) row[i] = uint8_t((above[i] + below[i] + 1) / 2);
    }
  }
  return true;
}

bool CrackleImage(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                  int32_t dstStride, int32_t mode, int32_t cell, uint32_t seed) noexcept {
  if (!Valid(src, w, h, 3, stride) || !Valid(dst, w, h, 3, dstStride) || src == dst) return false;
  return Try([&] {
    cell = std::clamp(cell, 2, std::max(2, Larger(w, h)));
    const int32_t gw = (w + cell - 1) / cell, gh = (h + cell - 1) / cell;
    // One jittered centre and one tint per grid cell.
    std::vector<float> cx(size_t(gw) * size_t(gh)), cy(cx.size());
    std::vector<int8_t> tint(cx.size());
    SplitMix rnd(seed);
    for (size_t i = 0; i < cx.size(); ++i) {
      cx[i] = float((int32_t(i % size_t(gw)) + rnd.Unit()) * cell);
      cy[i] = float((int32_t(i / size_t(gw)) + rnd.Unit()) * cell);
      tint[i] = int8_t(int32_t(rnd.Next() % 17) - 8);
    }
    const double half = std::max(0.5, cell / 24.0);
    for (int32_t y = 0; y < h; ++y) {
      const int32_t gy = y / cell;
      for (int32_t x = 0; x < w; ++x) {
        const int32_t gx = x / cell;
        double best = 1e30, second = 1e30;
        size_t owner = 0;
        for (int32_t j = std::max(0, gy - 2); j <= std::min(gh - 1, gy + 2); ++j)
          for (int32_t i = std::max(0, gx - 2); i <= std::min(gw - 1, gx + 2); ++i) {
            const size_t k = size_t(j) * size_t(gw) + size_t(i);
            const double d = std::hypot(x + 0.5 - cx[k], y + 0.5 - cy[k]);
            if (d < best)
              second = best, best = d, owner = k;
            else if (d < second)
              second = d;
          }
        // Half the gap between the two nearest distances is the distance
        // to the border between their cells.
        const double edge = (second - best) * 0.5;
        const double crack = std::clamp(half - edge + 0.5, 0.0, 1.0);
        const uint8_t* s = src + int64_t{y} * stride + int64_t{x} * 3;
        uint8_t* d = dst + int64_t{y} * dstStride + int64_t{x} * 3;
        for (int c = 0; c < 3; ++c) {
          const double tinted = s[c] + tint[owner];
          const double line = mode == 0 ? tinted * 0.25 : tinted + (255.0 - tinted) * 0.75;
          d[c] = Clamp8(tinted + (line - tinted) * crack);
        }
      }
    }
    return true;
  });
}

bool FingerprintPlane(const uint8_t* grey, int32_t w, int32_t h, int32_t stride, uint8_t* out,
                      int32_t outStride, int32_t period, int32_t strength, int32_t style) noexcept {
  if (!Valid(grey, w, h, 1, stride) || !Valid(out, w, h, 1, outStride)) return false;
  const double p = std::clamp(period, 2, std::max(2, Larger(w, h)));
  const double bend = std::clamp(strength, 0, 100) / 10.0 * 6.283185307179586 / 255.0;
  const double cx = w * 0.5, cy = h * 0.5;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const double base = style ? (x + 0.3 * y) : std::hypot(x - cx, y - cy);
      const double phase = base / p * 6.283185307179586 + grey[int64_t{y} * stride + x] * bend;
      out[int64_t{y} * outStride + x] = Clamp8(127.5 + 127.5 * std::cos(phase));
    }
  return true;
}

// ---- Sharpening and edges ----

bool Sharpen3x3(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                int32_t dstStride, int32_t amount) noexcept {
  if (!Valid(src, w, h, 3, stride) || !Valid(dst, w, h, 3, dstStride) || src == dst) return false;
  return Try([&] {
    const float k = float(std::clamp(amount, 0, 400)) / 100.0f;
    const cv::Mat kernel = (cv::Mat_<float>(3, 3) << 0, -k, 0, -k, 1 + 4 * k, -k, 0, -k, 0);
    cv::Mat out = View(dst, w, h, 3, dstStride);
    cv::filter2D(View(src, w, h, 3, stride), out, -1, kernel, cv::Point(-1, -1), 0,
                 cv::BORDER_REPLICATE);
    return out.data == dst;
  });
}

bool SharpenMore(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                 int32_t dstStride, int32_t radius, double strength) noexcept {
  if (!Valid(src, w, h, 3, stride) || !Valid(dst, w, h, 3, dstStride) || src == dst ||
      strength != strength)
    return false;
  return Try([&] {
    const cv::Mat in = View(src, w, h, 3, stride);
    cv::Mat out = View(dst, w, h, 3, dstStride);
    const double sigma = std::clamp(radius, 1, Larger(w, h));
    const double s = std::clamp(strength, 0.0, 10.0);
    cv::Mat blur;
    cv::GaussianBlur(in, blur, cv::Size(0, 0), sigma, sigma, cv::BORDER_REPLICATE);
    cv::addWeighted(in, 1.0 + s, blur, -s, 0.0, out);
    return out.data == dst;
  });
}

bool UnsharpMask(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                 int32_t dstStride, int32_t amount, double radius, double threshold) noexcept {
  if (!Valid(src, w, h, 3, stride) || !Valid(dst, w, h, 3, dstStride) || src == dst ||
      radius != radius || threshold != threshold)
    return false;
  return Try([&] {
    const cv::Mat in = View(src, w, h, 3, stride);
    const double sigma = std::clamp(radius, 0.1, double(Larger(w, h)));
    cv::Mat blur;
    cv::GaussianBlur(in, blur, cv::Size(0, 0), sigma, sigma, cv::BORDER_REPLICATE);
    // One pass in 16-bit lanes, branch-free so the compiler vectorises it:
    // the gain in 8.8 fixed point (times 4, with |d| times 64, so the high
    // 16 bits of the unsigned product are |d| x gain, truncated), the sign
    // put back after, zero within the threshold (|d| > threshold is |d| >
    // floor(threshold) for whole d).
    const uint16_t gain4 = uint16_t(std::lround(std::clamp(amount, 0, 1000) / 100.0 * 256.0) * 4);
    const int16_t within = int16_t(std::floor(std::clamp(threshold, -1.0, 255.0)));
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* a = src + int64_t{y} * stride;
      const uint8_t* b = blur.ptr<uint8_t>(y);
      uint8_t* o = dst + int64_t{y} * dstStride;
      for (int32_t i = 0; i < w * 3; ++i) {
        const int16_t d = int16_t(int16_t(a[i]) - int16_t(b[i]));
        const uint16_t magnitude = uint16_t(d < 0 ? -d : d);
        const uint16_t size = uint16_t((uint32_t(uint16_t(magnitude * 64)) * gain4) >> 16);
        const int16_t step = d < 0 ? int16_t(-size) : int16_t(size);
        const int16_t v = int16_t(a[i] + (int16_t(magnitude) > within ? step : int16_t(0)));
        o[i] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
      }
    }
    return true;
  });
}

bool CannyEdges(const uint8_t* grey, int32_t w, int32_t h, int32_t stride, uint8_t* out,
                int32_t outStride, double sigma, double low, double high) noexcept {
  if (!Valid(grey, w, h, 1, stride) || !Valid(out, w, h, 1, outStride) || sigma != sigma ||
      low != low || high != high)
    return false;
  return Try([&] {
    if (high < low) std::swap(low, high);
    cv::Mat smooth;
    const double s = std::clamp(sigma, 0.1, 100.0);
    cv::GaussianBlur(View(grey, w, h, 1, stride), smooth, cv::Size(0, 0), s, s,
                     cv::BORDER_REPLICATE);
    cv::Mat edges = View(out, w, h, 1, outStride);
    cv::Canny(smooth, edges, std::clamp(low, 0.0, 1.0) * 1000.0,
              std::clamp(high, 0.0, 1.0) * 1000.0, 3, true);
    return edges.data == out;
  });
}

// ---- Relief ----

bool EmbossRgb(const uint8_t* plane, int32_t w, int32_t h, int32_t planeStride, double azimuth,
               double elevation, int32_t depth, const uint8_t* src, int32_t srcStride, uint8_t* dst,
               int32_t dstStride) noexcept {
  if (!Valid(plane, w, h, 1, planeStride) || !Valid(src, w, h, 3, srcStride) ||
      !Valid(dst, w, h, 3, dstStride) || azimuth != azimuth || elevation != elevation)
    return false;
  const double lx = std::cos(azimuth) * std::cos(elevation);
  const double ly = -std::sin(azimuth) * std::cos(elevation);
  const double lz = std::sin(elevation);
  const double k = std::clamp(depth, 0, 255) / 64.0;
  auto at = [&](int32_t x, int32_t y) {
    return double(plane[int64_t{std::clamp(y, 0, h - 1)} * planeStride + std::clamp(x, 0, w - 1)]) /
           255.0;
  };
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const double nx = -(at(x + 1, y) - at(x - 1, y)) * k;
      const double ny = -(at(x, y + 1) - at(x, y - 1)) * k;
      const double shade = (nx * lx + ny * ly + lz) / std::sqrt(nx * nx + ny * ny + 1.0);
      const double change = (shade - lz) * 255.0;
      const uint8_t* s = src + int64_t{y} * srcStride + int64_t{x} * 3;
      uint8_t* d = dst + int64_t{y} * dstStride + int64_t{x} * 3;
      for (int c = 0; c < 3; ++c) d[c] = Clamp8(s[c] + change);
    }
  return true;
}

bool ShadeBevel(uint8_t* rgb, int32_t w, int32_t h, int32_t stride, int32_t depth,
                const int32_t intensities[4], int32_t softness) noexcept {
  if (!Valid(rgb, w, h, 3, stride) || !intensities) return false;
  depth = std::clamp(depth, 0, std::min(w, h) / 2);
  if (depth == 0) return true;
  return Try([&] {
    // Distance to the outside of the picture: a frame of zeros around it.
    cv::Mat inside(h + 2, w + 2, CV_8U, cv::Scalar(0));
    inside(cv::Rect(1, 1, w, h)).setTo(255);
    cv::Mat distance;
    cv::distanceTransform(inside, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE);
    const double round = std::clamp(softness, 0, 500) / 500.0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const double d = distance.at<float>(y + 1, x + 1) - 0.5;
        if (d >= depth) continue;
        const double t = std::clamp(d / depth, 0.0, 1.0);
        // Slope of the profile: 1 for a chamfer, falling towards the
        // plateau for a pillow.
        const double slope = 1.0 - round * t;
        // The side nearest to the pixel: top 0, left 1, bottom 2, right 3.
        const int32_t sides[4] = {y, x, h - 1 - y, w - 1 - x};
        const int32_t side = int32_t(std::min_element(sides, sides + 4) - sides);
        const double k = std::clamp(intensities[side], 0, 255) / 255.0 * slope;
        uint8_t* p = rgb + int64_t{y} * stride + int64_t{x} * 3;
        for (int c = 0; c < 3; ++c)
          p[c] = side < 2 ? Clamp8(p[c] + (255.0 - p[c]) * k) : Clamp8(p[c] * (1.0 - k));
      }
    return true;
  });
}

// ---- Glow and transforms ----

bool GauzyImage(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                int32_t dstStride, double blur, double brightness, double mix,
                int32_t mode) noexcept {
  if (!Valid(src, w, h, 3, stride) || !Valid(dst, w, h, 3, dstStride) || src == dst ||
      blur != blur || brightness != brightness || mix != mix)
    return false;
  return Try([&] {
    const cv::Mat in = View(src, w, h, 3, stride);
    cv::Mat glow;
    const double sigma = std::clamp(blur, 0.0, 1.0) * 0.05 * Larger(w, h);
    if (sigma >= 0.1)
      cv::GaussianBlur(in, glow, cv::Size(0, 0), sigma, sigma, cv::BORDER_REPLICATE);
    else
      glow = in.clone();
    const double lift = std::clamp(brightness, -4.0, 4.0) * 64.0;
    const double m = std::clamp(mix, 0.0, 1.0);
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* a = src + int64_t{y} * stride;
      const uint8_t* g = glow.ptr<uint8_t>(y);
      uint8_t* o = dst + int64_t{y} * dstStride;
      for (int64_t i = 0; i < int64_t{w} * 3; ++i) {
        const double soft = std::clamp(g[i] + lift, 0.0, 255.0);
        const double combined = mode == 0 ? std::max<double>(a[i], soft)
                                          : 255.0 - (255.0 - a[i]) * (255.0 - soft) / 255.0;
        o[i] = Clamp8(a[i] + (combined - a[i]) * m);
      }
    }
    return true;
  });
}

bool DisplaceRandomly(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                      int32_t dstStride, int32_t amount, uint32_t fill, uint32_t seed) noexcept {
  if (!Valid(src, w, h, 4, stride) || !Valid(dst, w, h, 4, dstStride) || src == dst) return false;
  return Try([&] {
    const cv::Mat in = View(src, w, h, 4, stride);
    cv::Mat out = View(dst, w, h, 4, dstStride);
    amount = std::clamp(amount, 0, Larger(w, h));
    if (amount == 0) {
      in.copyTo(out);
      return out.data == dst;
    }
    cv::Mat mapX(h, w, CV_32F), mapY(h, w, CV_32F);
    SplitMix rnd(seed);
    for (int32_t y = 0; y < h; ++y) {
      float* mx = mapX.ptr<float>(y);
      float* my = mapY.ptr<float>(y);
      for (int32_t x = 0; x < w; ++x) {
        mx[x] = float(x + (rnd.Unit() * 2 - 1) * amount);
        my[x] = float(y + (rnd.Unit() * 2 - 1) * amount);
      }
    }
    const cv::Scalar border(fill & 255, fill >> 8 & 255, fill >> 16 & 255, 255);
    cv::remap(in, out, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, border);
    return out.data == dst;
  });
}

bool OffsetImage(const uint8_t* src, int32_t w, int32_t h, int32_t stride, uint8_t* dst,
                 int32_t dstStride, int32_t dx, int32_t dy) noexcept {
  if (!Valid(src, w, h, 4, stride) || !Valid(dst, w, h, 4, dstStride) || src == dst) return false;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* out = dst + int64_t{y} * dstStride;
    std::memset(out, 0, size_t(w) * 4);
    const int64_t sy = int64_t{y} - dy;
    if (sy < 0 || sy >= h) continue;
    const int64_t x0 = std::max<int64_t>(0, dx), x1 = std::min<int64_t>(w, int64_t{w} + dx);
    if (x1 <= x0) continue;
    std::memcpy(out + x0 * 4, src + sy * stride + (x0 - dx) * 4, size_t(x1 - x0) * 4);
  }
  return true;
}

}  // namespace dro::platform::image

namespace dro::platform::image {

bool TileImage(uint8_t* px, int32_t w, int32_t h, int32_t stride, const uint8_t* tile, int32_t tw,
               int32_t th, int32_t tileStride, int32_t bpp) noexcept {
  if (!px || !tile || w < 1 || h < 1 || tw < 1 || th < 1 || bpp < 1 || bpp > 8 ||
      int64_t{stride} < int64_t{w} * bpp || int64_t{tileStride} < int64_t{tw} * bpp)
    return false;
  const size_t rowBytes = size_t(w) * size_t(bpp), tileBytes = size_t(tw) * size_t(bpp);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = px + int64_t{y} * stride;
    const uint8_t* from = tile + int64_t{y % th} * tileStride;
    // The first copy from the tile, then doubling from the row itself.
    size_t done = std::min(tileBytes, rowBytes);
    std::memcpy(row, from, done);
    while (done < rowBytes) {
      const size_t chunk = std::min(done - done % tileBytes, rowBytes - done);
      std::memcpy(row + done, row, chunk);
      done += chunk;
    }
  }
  return true;
}

}  // namespace dro::platform::image
