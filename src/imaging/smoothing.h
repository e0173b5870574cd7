// The edge-smoothing filters ("Anti Alias", "Value Blur", "Noise
// Reduction", "Noise Reduction RGB") written once over a mixer, so that the
// plain build (table mixers, native_filters.cpp) and the AVX2 build (vector
// mixers, native_filters_avx2.cpp) share every decision and the scan order.
//
// A mixer forms Mix(c, n, w) = trunc((1 - w) c + w n) per channel, clamped
// to 0..255, into n: Mixer4(w).Rgba(c, n) on all four channels, returning
// n's new value (R + G + B) / 3; MixerRgb(wR, wG, wB).Rgb(c, n, limits) on
// each colour channel k where |c_k - n_k| < limits[k], alpha untouched. A
// Mixer4 with kBatch also takes four independent steps at once
// (Mixer4::Batch4): the steps a pass may run together are those of one
// row of a vertical pass and those of the rows a horizontal pass scans in
// lockstep, none of which reads what another of them writes.
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

// The decision of the value-driven filters, as integers on value
// differences (all within -255..255, so every bound is kept within
// -1000..1000 without changing a result): mix with the first weight when
//   vc - vn > p1 and vn - vc > r1 and vc - vd <= q1,
// else with the second when vn - vc > p2 and vd - vc <= q2.
struct Decision {
  int32_t p1, r1, q1, p2, q2;
};

inline int32_t Bound(int64_t v) noexcept {
  return v < -1000 ? -1000 : (v > 1000 ? 1000 : static_cast<int32_t>(v));
}

inline int32_t Decide(const Decision& d, int32_t vc, int32_t vn, int32_t vd) noexcept {
  if (vc - vn > d.p1 && vn - vc > d.r1 && vc - vd <= d.q1) return 1;
  if (vn - vc > d.p2 && vd - vc <= d.q2) return 2;
  return 0;
}

template <class Mixer4>
int32_t Step(const Decision& d, const Mixer4& m1, const Mixer4& m2, const uint8_t* c, uint8_t* n,
             int32_t vc, int32_t vn, int32_t vd) noexcept {
  switch (Decide(d, vc, vn, vd)) {
    case 1:
      return m1.Rgba(c, n);
    case 2:
      return m2.Rgba(c, n);
    default:
      return vn;
  }
}

// Runs the passes of contract 1 on the destination, with the values of c,
// n and d kept in rows and brought up to date after each change, so each
// is computed about once a pass.
//
// A horizontal pass changes pixels of the row being scanned only, and reads
// the next row (d) where the scan of that row has not yet reached. Scanning
// kGroup rows in lockstep, each row one step at a time in pass order, keeps
// every read as it is in the plain row-by-row order while the rows' chains of
// dependent steps run side by side. A vertical pass changes the next row
// only: its steps within a row are independent already.
// A row's values through the mixer's own routine where it has one.
template <class Mixer4>
void Values(const uint8_t* row, int32_t w, int32_t* out) noexcept {
  if constexpr (Mixer4::kBatch) {
    Mixer4::ValueRow(row, w, out);
  } else {
    ValueRow(row, w, out);
  }
}

template <class Mixer4>
void ScanPasses(const SmoothingJob& run, const Decision& decision, const Mixer4& m1,
                const Mixer4& m2) {
  constexpr int32_t kGroup = kSmoothingGroup;
  static_assert(kGroup == 4, "steps are batched four at a time");
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
      for (int32_t i = 0; i <= g; ++i) {
        Values<Mixer4>(buf + (int64_t{y} + i * dy) * stride, w, valueRow(i));
      }
      bool batched = false;
      if constexpr (Mixer4::kBatch) {
        if (g == kGroup) {
          int32_t* v[kGroup + 1];
          for (int32_t i = 0; i <= kGroup; ++i) v[i] = valueRow(i);
          for (int32_t x = x0; x != x1; x += dx) {
            uint8_t *c[4], *n[4];
            int32_t vc[4], vn[4], vd[4], out[4];
            for (int32_t i = 0; i < 4; ++i) {
              c[i] = rows[i] + int64_t{x} * 4;
              n[i] = c[i] + dx * 4;
              vc[i] = v[i][x], vn[i] = v[i][x + dx], vd[i] = v[i + 1][x + dx];
            }
            Mixer4::Batch4(decision, m1, m2, c, n, vc, vn, vd, out);
            for (int32_t i = 0; i < 4; ++i) v[i][x + dx] = out[i];
          }
          batched = true;
        }
      }
      if (!batched) {
        for (int32_t x = x0; x != x1; x += dx) {
          for (int32_t i = 0; i < g; ++i) {
            uint8_t* c = rows[i] + int64_t{x} * 4;
            int32_t* v = valueRow(i);
            v[x + dx] =
                Step(decision, m1, m2, c, c + dx * 4, v[x], v[x + dx], valueRow(i + 1)[x + dx]);
          }
        }
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
    int32_t* next = valueRow(1);
    Values<Mixer4>(buf + y0 * stride, w, current);
    for (int32_t y = y0; y != y1; y += dy) {
      uint8_t* row = buf + y * stride;
      Values<Mixer4>(row + nOff, w, next);
      int32_t x = x0;
      if constexpr (Mixer4::kBatch) {
        const int32_t steps = dx > 0 ? x1 - x0 : x0 - x1;
        for (int32_t k = 0; k + 4 <= steps; k += 4, x += 4 * dx) {
          uint8_t *c[4], *n[4];
          int32_t vc[4], vn[4], vd[4], out[4];
          for (int32_t j = 0; j < 4; ++j) {
            const int32_t xj = x + j * dx;
            c[j] = row + int64_t{xj} * 4;
            n[j] = c[j] + nOff;
            vc[j] = current[xj], vn[j] = next[xj], vd[j] = next[xj + dx];
          }
          Mixer4::Batch4(decision, m1, m2, c, n, vc, vn, vd, out);
          for (int32_t j = 0; j < 4; ++j) next[x + j * dx] = out[j];
        }
      }
      for (; x != x1; x += dx) {
        uint8_t* c = row + int64_t{x} * 4;
        next[x] = Step(decision, m1, m2, c, c + nOff, current[x], next[x], next[x + dx]);
      }
      std::swap(current, next);
    }
  }
}

// The same passes for a rule that needs no values (Noise Reduction RGB).
template <class Rule>
void ScanPassesPlain(const SmoothingJob& run, const Rule& rule) {
  constexpr int32_t kGroup = kSmoothingGroup;
  const int32_t w = run.width, h = run.height;
  if (w <= 0 || h <= 0) return;
  uint8_t* buf = run.pixels;
  const int64_t stride = int64_t{w} * 4;
  static constexpr int32_t kDirs[4][2] = {{1, 1}, {-1, -1}, {-1, 1}, {1, -1}};
  for (const auto& dir : kDirs) {
    const int32_t dx = dir[0], dy = dir[1];
    const int32_t x0 = dx > 0 ? 0 : w - 1, x1 = dx > 0 ? w - 1 : 0;
    const int32_t y0 = dy > 0 ? 0 : h - 1;
    for (int32_t done = 0; done < h - 1;) {
      const int32_t g = std::min(kGroup, h - 1 - done);
      uint8_t* rows[kGroup] = {};
      for (int32_t i = 0; i < g; ++i) rows[i] = buf + (int64_t{y0} + (done + i) * dy) * stride;
      for (int32_t x = x0; x != x1; x += dx) {
        for (int32_t i = 0; i < g; ++i)
          rule(rows[i] + int64_t{x} * 4, rows[i] + int64_t{x + dx} * 4);
      }
      done += g;
    }
  }
  for (const auto& dir : kDirs) {
    const int32_t dx = dir[0], dy = dir[1];
    const int32_t x0 = dx > 0 ? 0 : w - 1, x1 = dx > 0 ? w - 1 : 0;
    const int32_t y0 = dy > 0 ? 0 : h - 1, y1 = dy > 0 ? h - 1 : 0;
    for (int32_t y = y0; y != y1; y += dy) {
      uint8_t* c = buf + y * stride + int64_t{x0} * 4;
      for (int32_t x = x0; x != x1; x += dx, c += dx * 4) rule(c, c + dy * stride);
    }
  }
}

}  // namespace smoothing

template <class Mixer4>
void AntiAliasWith(const SmoothingJob& job) {
  using namespace smoothing;
  const Mixer4 m1(job.s[1]), m2(job.s[2]);
  const Decision d{Bound(Above((1.0 - job.s[3]) * 255.0)), -1000, 0,
                   Bound(Above((1.0 - job.s[4]) * 255.0)), 0};
  ScanPasses(job, d, m1, m2);
}

template <class Mixer4>
void ValueBlurWith(const SmoothingJob& job) {
  using namespace smoothing;
  const Mixer4 m1(job.s[1]), m2(job.s[2]);
  ScanPasses(job, Decision{2, -1000, 1000, 2, 1000}, m1, m2);
}

// |vc - vn| < t as vc - vn > -t and vn - vc > -t, with t kept in 0..256.
template <class Mixer4>
void NoiseReductionWith(const SmoothingJob& job) {
  using namespace smoothing;
  const Mixer4 m(1.0 - job.s[1] / 2.0);
  const int32_t t = std::clamp(Below(job.s[2] * 255.0), 0, 256);
  ScanPasses(job, Decision{-t, -t, 1000, 1000, 1000}, m, m);
}

template <class MixerRgb>
void NoiseReductionRgbWith(const SmoothingJob& job) {
  using namespace smoothing;
  const MixerRgb m(1.0 - job.s[1] / 2.0, 1.0 - job.s[3] / 2.0, 1.0 - job.s[5] / 2.0);
  const int32_t limits[3] = {Below(job.s[2] * 255.0), Below(job.s[4] * 255.0),
                             Below(job.s[6] * 255.0)};
  ScanPassesPlain(job, [&](const uint8_t* c, uint8_t* n) { m.Rgb(c, n, limits); });
}

}  // namespace
}  // namespace dro::imaging
