// The edge-smoothing filters ("Anti Alias", "Value Blur", "Noise
// Reduction", "Noise Reduction RGB") written once over a mixer, so that the
// plain build (table mixers, native_filters.cpp) and the AVX2 build (vector
// mixers, native_filters_avx2.cpp) share every decision and the scan order.
//
// A mixer forms Mix(c, n, w) = trunc((1 - w) c + w n) per channel, clamped
// to 0..255, into n: Mixer4(w).Rgba(c, n) on all four channels, returning
// n's new value (R + G + B) / 3; MixerRgb(wR, wG, wB).Rgb(c, n, limits) on
// each colour channel k where |c_k - n_k| < limits[k], alpha untouched.
//
// Everything below the declarations has internal linkage: each file that
// includes this gets its own copy, compiled with its own flags, and the
// linker can never hand AVX2 code to the plain path (see base/lanes_avx2.h).
#pragma once

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "base/numeric.h"

namespace dro::imaging {

// Rows scanned side by side in a horizontal pass.
constexpr int32_t kSmoothingGroup = 4;

// The destination buffer (tight, canvas-size RGBA32), s1..s6 in s[1..6],
// and room for (kSmoothingGroup + 1) x width values, made by the caller so
// that no allocation code is compiled with AVX2.
struct SmoothingJob {
  uint8_t* pixels;
  int32_t width;
  int32_t height;
  double s[7];
  int32_t* values;
};

// native_filters_avx2.cpp; call only where cpu::UseAvx2().
void AntiAliasAvx2(const SmoothingJob& job);
void ValueBlurAvx2(const SmoothingJob& job);
void NoiseReductionAvx2(const SmoothingJob& job);
void NoiseReductionRgbAvx2(const SmoothingJob& job);

namespace {
namespace smoothing {

inline int32_t V(const uint8_t* p) noexcept {
  return (p[0] + p[1] + p[2]) / 3;
}

// Values of one row.
inline void ValueRow(const uint8_t* row, int32_t w, int32_t* out) noexcept {
  for (int32_t x = 0; x < w; ++x, row += 4) out[x] = V(row);
}

// Integer forms of the comparisons with a double threshold t, for integer
// d: d > t exactly when d > Above(t), d < t exactly when d < Below(t). NaN
// makes both comparisons false.
inline int32_t Above(double t) noexcept {
  if (t != t) return INT32_MAX;
  return SaturateToInt32(std::floor(t));
}
inline int32_t Below(double t) noexcept {
  if (t != t) return INT32_MIN;
  return SaturateToInt32(std::ceil(t));
}

// Runs the passes of contract 1 on the destination. With kValues the rule
// gets the values of c, n and d and returns the value of n afterwards; the
// values are kept in rows and brought up to date after each change, so each
// is computed about once a pass.
//
// A horizontal pass changes pixels of the row being scanned only, and reads
// the next row (d) where the scan of that row has not yet reached. Scanning
// kGroup rows in lockstep, each row one step at a time in pass order, keeps
// every read as it is in the plain row-by-row order while the rows' chains of
// dependent steps run side by side. A vertical pass changes the next row
// only: its steps within a row are independent already.
template <bool kValues, class Rule>
void ScanPasses(const SmoothingJob& run, const Rule& rule) {
  constexpr int32_t kGroup = kSmoothingGroup;
  const int32_t w = run.width, h = run.height;
  if (w <= 0 || h <= 0) return;
  uint8_t* buf = run.pixels;
  const int64_t stride = int64_t{w} * 4;
  int32_t* values = run.values;
  auto valueRow = [&](int32_t i) { return values + int64_t{i} * w; };
  static constexpr int32_t kDirs[4][2] = {{1, 1}, {-1, -1}, {-1, 1}, {1, -1}};
  for (const auto& dir : kDirs) {
    const int32_t dx = dir[0], dy = dir[1];
    const int32_t x0 = dx > 0 ? 0 : w - 1, x1 = dx > 0 ? w - 1 : 0;
    const int32_t y0 = dy > 0 ? 0 : h - 1;
    for (int32_t done = 0; done < h - 1;) {
      const int32_t g = std::min(kGroup, h - 1 - done);
      const int32_t y = y0 + done * dy;
      uint8_t* rows[kGroup] = {};
      for (int32_t i = 0; i < g; ++i) rows[i] = buf + (int64_t{y} + i * dy) * stride;
      if constexpr (kValues) {
        for (int32_t i = 0; i <= g; ++i)
          ValueRow(buf + (int64_t{y} + i * dy) * stride, w, valueRow(i));
      }
      // The full group with its row count known at compile time, so the
      // rows' steps unroll; a last short group row by row count.
      auto scan = [&](auto rowsInGroup) {
        const int32_t count = rowsInGroup();
        for (int32_t x = x0; x != x1; x += dx) {
          for (int32_t i = 0; i < count; ++i) {
            uint8_t* c = rows[i] + int64_t{x} * 4;
            if constexpr (kValues) {
              int32_t* v = valueRow(i);
              v[x + dx] = rule(c, c + dx * 4, v[x], v[x + dx], valueRow(i + 1)[x + dx]);
            } else {
              rule(c, c + dx * 4);
            }
          }
        }
      };
      if (g == kGroup) {
        scan([] { return kGroup; });
      } else {
        scan([g] { return g; });
      }
      done += g;
    }
  }
  for (const auto& dir : kDirs) {
    const int32_t dx = dir[0], dy = dir[1];
    const int32_t x0 = dx > 0 ? 0 : w - 1, x1 = dx > 0 ? w - 1 : 0;
    const int32_t y0 = dy > 0 ? 0 : h - 1, y1 = dy > 0 ? h - 1 : 0;
    const int64_t nOff = dy * stride;
    int32_t* current = values;
    int32_t* next = kValues ? valueRow(1) : nullptr;
    if constexpr (kValues) ValueRow(buf + y0 * stride, w, current);
    for (int32_t y = y0; y != y1; y += dy) {
      uint8_t* c = buf + y * stride + int64_t{x0} * 4;
      if constexpr (kValues) {
        ValueRow(buf + (int64_t{y} + dy) * stride, w, next);
        for (int32_t x = x0; x != x1; x += dx, c += dx * 4) {
          next[x] = rule(c, c + nOff, current[x], next[x], next[x + dx]);
        }
        std::swap(current, next);
      } else {
        for (int32_t x = x0; x != x1; x += dx, c += dx * 4) rule(c, c + nOff);
      }
    }
  }
}

// n := Mix(c, n) through the table on R, G, B and A; returns n's value.
// Smoothing soon leaves most pairs below the thresholds, so the branch that
// skips the lookups predicts well and pays for itself.
}  // namespace smoothing

template <class Mixer4>
void AntiAliasWith(const SmoothingJob& job) {
  using namespace smoothing;
  const Mixer4 m1(job.s[1]), m2(job.s[2]);
  const int32_t t3 = Above((1.0 - job.s[3]) * 255.0), t4 = Above((1.0 - job.s[4]) * 255.0);
  ScanPasses<true>(job, [&](const uint8_t* c, uint8_t* n, int32_t vc, int32_t vn, int32_t vd) {
    if (vc - vn > t3 && vc - vd <= 0) return m1.Rgba(c, n);
    if (vn - vc > t4 && vd - vc <= 0) return m2.Rgba(c, n);
    return vn;
  });
}

template <class Mixer4>
void ValueBlurWith(const SmoothingJob& job) {
  using namespace smoothing;
  const Mixer4 m1(job.s[1]), m2(job.s[2]);
  ScanPasses<true>(job, [&](const uint8_t* c, uint8_t* n, int32_t vc, int32_t vn, int32_t) {
    if (vc - vn > 2) return m1.Rgba(c, n);
    if (vn - vc > 2) return m2.Rgba(c, n);
    return vn;
  });
}

template <class Mixer4>
void NoiseReductionWith(const SmoothingJob& job) {
  using namespace smoothing;
  const Mixer4 m(1.0 - job.s[1] / 2.0);
  const int32_t t = Below(job.s[2] * 255.0);
  ScanPasses<true>(job, [&](const uint8_t* c, uint8_t* n, int32_t vc, int32_t vn, int32_t) {
    return std::abs(vc - vn) < t ? m.Rgba(c, n) : vn;
  });
}

template <class MixerRgb>
void NoiseReductionRgbWith(const SmoothingJob& job) {
  using namespace smoothing;
  const MixerRgb m(1.0 - job.s[1] / 2.0, 1.0 - job.s[3] / 2.0, 1.0 - job.s[5] / 2.0);
  const int32_t limits[3] = {Below(job.s[2] * 255.0), Below(job.s[4] * 255.0),
                             Below(job.s[6] * 255.0)};
  ScanPasses<false>(job, [&](const uint8_t* c, uint8_t* n) { m.Rgb(c, n, limits); });
}

}  // namespace
}  // namespace dro::imaging
