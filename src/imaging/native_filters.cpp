// The native filters. Every filter reads through the run's read buffer and
// writes to the destination (PixelAccess, imaging/pixel_access.h); loops run
// rows top to bottom and, within a row, left to right unless a filter says
// otherwise. s1..s6 are doubles; comparisons of an integer with s x 255 are
// made in double precision.
//
// Contract, per filter (v = value, c = a channel; "interior" means
// 1 <= x <= width - 2 and 1 <= y <= height - 2):
//   1. Scan passes (edge smoothing family, always in place): directions
//      (dx, dy) = (+1, +1), (-1, -1), (-1, +1), (+1, -1); x runs from its
//      first index while it differs from its last (0 .. width - 2 rising,
//      width - 1 .. 1 falling), y likewise, y the outer loop. Horizontal:
//      c = (x, y), n = (x + dx, y), d = (x + dx, y + dy); vertical:
//      n = (x, y + dy), d = (x + dx, y + dy). Four horizontal passes, then
//      four vertical ones.
//   2. Anti Alias: v(c) - v(n) > (1 - s3) 255 and v(c) - v(d) <= 0 gives
//      n := Mix(c, n, s1) on RGBA; else v(n) - v(c) > (1 - s4) 255 and
//      v(d) - v(c) <= 0 gives n := Mix(c, n, s2).
//   3. Value Blur: v(c) - v(n) > 2: Mix(c, n, s1); v(n) - v(c) > 2: Mix(c,
//      n, s2).
//   4. Noise Reduction: |v(c) - v(n)| < s2 255: n := Mix(c, n, 1 - s1 / 2).
//   5. Noise Reduction RGB: per channel k with (w, t) = (1 - s1 / 2, s2),
//      (1 - s3 / 2, s4), (1 - s5 / 2, s6): |c_k - n_k| < t 255 gives n_k :=
//      Mix(c_k, n_k, w); alpha stays.
//   6. Adaptive Blur (interior): neighbours left, right, up, down; the first
//      with v(p) - v(q) > (1 - s1) 255 gives class 1, with v(q) - v(p) >
//      (1 - s1) 255 class 2. Class 1: c := trunc((1 - s2) c + s2 S / 4), S
//      the sum of the four neighbours' c, on RGBA; class 2 with s3.
//   7. Detail Blur (interior): m = (sum of v over the 3 x 3 block) / 9; when
//      |v(p) - m| > s1 255, c := (3 x 3 sum of c) / 9 on RGBA.
//   8. Basic Threshold: R, G, B := 0 when s1 255 > v, else 255.
//   9. Line Art Cleaner: 8 into the destination; the destination loaded
//      into the current layer (weighted by texture and mask) and copied over
//      the source; then interior pixels with v(p) < s1 255 and m - s2 255 >
//      v(p) (m as in 7) become white, alpha kept.
//  10. Adjust Lab: L, a, b += (s1 - 0.5) 200, (s2 - 0.5) 200, (s3 - 0.5) 200.
//  11. Hyper Contrast: k = trunc((1 - s1) 255), 1 when 0; L the HSL
//      lightness; c := trunc(low (1 - L) + high L), low = 255 - (c - 255)^2
//      / k, high = c^2 / k (integer divisions).
//  12. Bas Relief (interior): q = left (mode 0), up (1), up-left (2), the
//      pixel itself (other). l > lq: l += s1 (1 - l); then l < lq: l -= l s1;
//      the same for s against sq; written as HSL with the hue kept.
//  13. Grayscale: R, G, B := v. Invert: R, G, B := 255 - c.
//  14. Vignette: see Vignette() below.
//  15. Channel: opt2 = 1: (255, 0, 0, R) when R > 0, else 0; then opt3 = 1
//      the same on green, then opt4 = 1 on blue.
//  16. Reflection, 17. Fader, 18. Borderize: see the functions below.
//  19. Clamp, per channel switched on (opt2..opt5 = 1 for R, G, B, A):
//      s1 255 > c gives c := trunc(s2 255); then s3 255 < c gives c :=
//      trunc(s4 255).
//  20. Mask Detail (interior): d = trunc(s1 255); a pixel differing in some
//      channel by more than d from both vertical or both horizontal
//      neighbours gets the mask value trunc((1 - s2) 65535), kept within
//      0..65535.
#include "imaging/native_filters.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/canvas_state.h"
#include "base/cpu.h"
#include "brush/brush_state.h"
#include "composite/layers.h"
#include "composite/pixel_transfers.h"
#include "imaging/pixel_access.h"
#include "imaging/smoothing.h"
#include "imaging/work_buffers.h"
#include "mask/mask_state.h"
#include "platform/image_fill.h"
#include "platform/image_library.h"

namespace dro::imaging {
namespace {

bool& FastPaths() noexcept {
  static bool enabled = cpu::FastPathsAllowed();
  return enabled;
}

struct Run {
  PixelAccess px;
  uint8_t* source = nullptr;
  uint8_t* destination = nullptr;
  int32_t w = 0;
  int32_t h = 0;
  double s[7] = {};  // s[1] .. s[6]
  const NativeFilterArgs* args = nullptr;
  bool inPlace = false;

  uint8_t Opt(int32_t i) const noexcept { return args->switches[size_t(i - 2)]; }
  size_t Pixels() const noexcept { return size_t(w) * size_t(h); }
};

using smoothing::V;

// Mix(a, b, w) for every pair of bytes, clamped as an integer write does.
struct MixTable {
  Buffer<uint8_t> t;
  explicit MixTable(double w) : t(Buffer<uint8_t>::Make(65536)) {
    for (int32_t a = 0; a < 256; ++a) {
      for (int32_t b = 0; b < 256; ++b) {
        t[size_t(a * 256 + b)] = PixelAccess::Clamp255(Mix(a, b, w));
      }
    }
  }
  uint8_t operator()(uint8_t a, uint8_t b) const noexcept { return t[size_t(a) * 256 + b]; }
};

struct TableMixer4 {
  static constexpr bool kBatch = false;
  MixTable table;
  explicit TableMixer4(double w) : table(w) {}
  // Loads first and stores last: bytes may alias anything, so interleaving
  // them would keep the compiler from overlapping the lookups.
  int32_t Rgba(const uint8_t* c, uint8_t* n) const noexcept {
    uint32_t cw, nw;
    std::memcpy(&cw, c, 4);
    std::memcpy(&nw, n, 4);
    const uint8_t* t = table.t.data();
    uint32_t mixed[4];
    for (uint32_t k = 0; k < 4; ++k) {
      mixed[k] = t[((cw >> (8 * k)) & 255u) * 256u + ((nw >> (8 * k)) & 255u)];
    }
    const uint32_t out = mixed[0] | mixed[1] << 8 | mixed[2] << 16 | mixed[3] << 24;
    std::memcpy(n, &out, 4);
    return int32_t((mixed[0] + mixed[1] + mixed[2]) / 3u);
  }
};

struct TableMixerRgb {
  MixTable tables[3];
  TableMixerRgb(double wr, double wg, double wb)
      : tables{MixTable(wr), MixTable(wg), MixTable(wb)} {}
  void Rgb(const uint8_t* c, uint8_t* n, const int32_t limits[3]) const noexcept {
    const uint8_t cc[3] = {c[0], c[1], c[2]};
    uint8_t nn[3] = {n[0], n[1], n[2]};
    for (int k = 0; k < 3; ++k) {
      if (std::abs(cc[k] - nn[k]) < limits[k]) nn[k] = tables[k](cc[k], nn[k]);
    }
    n[0] = nn[0], n[1] = nn[1], n[2] = nn[2];
  }
};

// The job of one smoothing run, with its value rows.
struct Job {
  Buffer<int32_t> values;
  SmoothingJob job;
  explicit Job(const Run& run)
      : values(Buffer<int32_t>::Make(CheckedCount(run.w, kSmoothingGroup + 1))),
        job{run.destination, run.w, run.h, {}, values.data()} {
    for (int i = 1; i <= 6; ++i) job.s[i] = run.s[i];
  }
  operator const SmoothingJob&() const noexcept { return job; }
};

bool VectorSmoothing() noexcept {
  return FastPaths() && cpu::UseAvx2();
}

void AntiAlias(const Run& run) {
  if (VectorSmoothing()) return AntiAliasAvx2(Job(run));
  AntiAliasWith<TableMixer4>(Job(run));
}
void ValueBlur(const Run& run) {
  if (VectorSmoothing()) return ValueBlurAvx2(Job(run));
  ValueBlurWith<TableMixer4>(Job(run));
}
void NoiseReduction(const Run& run) {
  if (VectorSmoothing()) return NoiseReductionAvx2(Job(run));
  NoiseReductionWith<TableMixer4>(Job(run));
}
void NoiseReductionRgb(const Run& run) {
  if (VectorSmoothing()) return NoiseReductionRgbAvx2(Job(run));
  NoiseReductionRgbWith<TableMixerRgb>(Job(run));
}

// Values of one row (of the read buffer, for the neighbourhood filters).
void ValueRow(const uint8_t* row, int32_t w, int32_t* out) noexcept {
  smoothing::ValueRow(row, w, out);
}

// --- neighbourhood filters ---------------------------------------------------

void AdaptiveBlur(const Run& run) {
  const int32_t w = run.w, h = run.h;
  if (w < 3 || h < 3) return;
  const double t = (1.0 - run.s[1]) * 255.0;
  const double weight[3] = {0.0, run.s[2], run.s[3]};
  const int64_t stride = int64_t{w} * 4;
  // Separate buffers let the values of three rows be computed once; in
  // place every value is read where it lies, as the filter sees its writes.
  const bool cached = FastPaths() && run.px.read != run.px.write;
  Buffer<int32_t> rows = cached ? Buffer<int32_t>::Make(CheckedCount(w, 3)) : Buffer<int32_t>();
  if (cached) {
    ValueRow(run.px.read, w, rows.data());
    ValueRow(run.px.read + stride, w, rows.data() + w);
  }
  for (int32_t y = 1; y < h - 1; ++y) {
    const uint8_t* up = run.px.read + (y - 1) * stride;
    const uint8_t* mid = up + stride;
    const uint8_t* down = mid + stride;
    uint8_t* out = run.px.write + y * stride;
    const int32_t *vu = nullptr, *vm = nullptr;
    int32_t* vd = nullptr;
    if (cached) {
      vu = rows.data() + size_t((y - 1) % 3) * w;
      vm = rows.data() + size_t(y % 3) * w;
      vd = rows.data() + size_t((y + 1) % 3) * w;
      ValueRow(down, w, vd);
    }
    for (int32_t x = 1; x < w - 1; ++x) {
      const int64_t o = int64_t{x} * 4;
      int32_t vp, q[4];
      if (cached) {
        vp = vm[x];
        q[0] = vm[x - 1], q[1] = vm[x + 1], q[2] = vu[x], q[3] = vd[x];
      } else {
        vp = V(mid + o);
        q[0] = V(mid + o - 4), q[1] = V(mid + o + 4), q[2] = V(up + o), q[3] = V(down + o);
      }
      int32_t cls = 0;
      for (int32_t i = 0; i < 4 && cls == 0; ++i) {
        if (vp - q[i] > t) {
          cls = 1;
        } else if (q[i] - vp > t) {
          cls = 2;
        }
      }
      if (cls == 0) continue;
      const double s = weight[cls];
      uint8_t result[4];
      for (int32_t k = 0; k < 4; ++k) {
        const int32_t sum = mid[o - 4 + k] + mid[o + 4 + k] + up[o + k] + down[o + k];
        result[k] = PixelAccess::Clamp255(SaturateToInt32((1.0 - s) * mid[o + k] + s * sum / 4.0));
      }
      std::memcpy(out + o, result, 4);
    }
  }
}

// The 3 x 3 sums of value and of each channel around (x, y), read where
// they lie.
int32_t BlockValue(const uint8_t* up, const uint8_t* mid, const uint8_t* down, int64_t o) noexcept {
  int32_t sum = 0;
  for (int64_t i = o - 4; i <= o + 4; i += 4) sum += V(up + i) + V(mid + i) + V(down + i);
  return sum;
}

void DetailBlur(const Run& run) {
  const int32_t w = run.w, h = run.h;
  if (w < 3 || h < 3) return;
  const double t = run.s[1] * 255.0;
  const int64_t stride = int64_t{w} * 4;
  const bool cached = FastPaths() && run.px.read != run.px.write;
  // With separate buffers: values of three rows and their vertical sums.
  Buffer<int32_t> rows = cached ? Buffer<int32_t>::Make(CheckedCount(w, 4)) : Buffer<int32_t>();
  if (cached) {
    ValueRow(run.px.read, w, rows.data());
    ValueRow(run.px.read + stride, w, rows.data() + w);
  }
  for (int32_t y = 1; y < h - 1; ++y) {
    const uint8_t* up = run.px.read + (y - 1) * stride;
    const uint8_t* mid = up + stride;
    const uint8_t* down = mid + stride;
    uint8_t* out = run.px.write + y * stride;
    int32_t* column = nullptr;
    const int32_t* vm = nullptr;
    if (cached) {
      const int32_t* vu = rows.data() + size_t((y - 1) % 3) * w;
      vm = rows.data() + size_t(y % 3) * w;
      int32_t* vd = rows.data() + size_t((y + 1) % 3) * w;
      ValueRow(down, w, vd);
      column = rows.data() + size_t(3) * w;
      for (int32_t x = 0; x < w; ++x) column[x] = vu[x] + vm[x] + vd[x];
    }
    for (int32_t x = 1; x < w - 1; ++x) {
      const int64_t o = int64_t{x} * 4;
      int32_t vp, block;
      if (cached) {
        vp = vm[x];
        block = column[x - 1] + column[x] + column[x + 1];
      } else {
        vp = V(mid + o);
        block = BlockValue(up, mid, down, o);
      }
      if (!(std::abs(vp - block / 9) > t)) continue;
      uint8_t result[4];
      for (int32_t k = 0; k < 4; ++k) {
        int32_t sum = 0;
        for (int64_t i = o - 4 + k; i <= o + 4 + k; i += 4) sum += up[i] + mid[i] + down[i];
        result[k] = static_cast<uint8_t>(sum / 9);
      }
      std::memcpy(out + o, result, 4);
    }
  }
}

// --- per-pixel filters ---------------------------------------------------------

// Applies `f(in, out)` to every pixel; in and out may be the same pixel.
template <class F>
void EachPixel(const Run& run, const F& f) {
  const uint8_t* in = run.px.read;
  uint8_t* out = run.px.write;
  const size_t n = run.Pixels();
  for (size_t i = 0; i < n; ++i, in += 4, out += 4) f(in, out);
}

// Whole-pixel filters: `f` maps one pixel, a little-endian word with red in
// the low byte and alpha in the high one, to its result. The entry skips
// its copy of the source for these (the map writes alpha too), and the two
// loops below let the compiler vectorise: the buffers are either the same
// or do not overlap at all.
static_assert(std::endian::native == std::endian::little, "pixels are read as words");

template <class F>
void MapPixels(const Run& run, const F& f) {
  const size_t n = run.Pixels();
  if (run.px.read == run.px.write) {
    uint8_t* p = run.px.write;
    for (size_t i = 0; i < n; ++i) {
      uint32_t v;
      std::memcpy(&v, p + 4 * i, 4);
      v = f(v);
      std::memcpy(p + 4 * i, &v, 4);
    }
    return;
  }
  const uint8_t* __restrict in = run.px.read;
  uint8_t* __restrict out = run.px.write;
  for (size_t i = 0; i < n; ++i) {
    uint32_t v;
    std::memcpy(&v, in + 4 * i, 4);
    v = f(v);
    std::memcpy(out + 4 * i, &v, 4);
  }
}

inline uint32_t WordValue(uint32_t v) noexcept {
  return ((v & 255u) + ((v >> 8) & 255u) + ((v >> 16) & 255u)) / 3u;
}

// The number of values 0..255 below which `pass` holds, for a `pass` that
// holds on a prefix of 0..255 (comparisons with a double threshold).
template <class Pass>
int32_t PrefixLength(const Pass& pass) {
  int32_t n = 0;
  while (n < 256 && pass(n)) ++n;
  return n;
}

void BasicThreshold(const Run& run) {
  const double t = run.s[1] * 255.0;
  const auto black = static_cast<uint32_t>(PrefixLength([&](int32_t v) { return t > v; }));
  MapPixels(run, [black](uint32_t v) {
    return (v & 0xFF000000u) | (WordValue(v) < black ? 0u : 0x00FFFFFFu);
  });
}

// Threshold into the destination with the byte-wise loop, for Line Art
// Cleaner (which needs the entry's copy).
void BasicThresholdInto(const Run& run) {
  uint8_t level[256];
  const double t = run.s[1] * 255.0;
  for (int32_t v = 0; v < 256; ++v) level[v] = t > v ? 0 : 255;
  EachPixel(run, [&](const uint8_t* in, uint8_t* out) { out[0] = out[1] = out[2] = level[V(in)]; });
}

void LineArtCleaner(const Run& run) {
  BasicThresholdInto(run);
  if (composite::CurrentCanvasLayer()) {
    composite::LoadRgba32Current(run.destination, run.w * 4, true);
  }
  std::memcpy(run.source, run.destination, run.Pixels() * 4);
  const int32_t w = run.w, h = run.h;
  if (w < 3 || h < 3) return;
  const double dark = run.s[1] * 255.0, margin = run.s[2] * 255.0;
  const int64_t stride = int64_t{w} * 4;
  for (int32_t y = 1; y < h - 1; ++y) {
    const uint8_t* up = run.px.read + (y - 1) * stride;
    const uint8_t* mid = up + stride;
    const uint8_t* down = mid + stride;
    uint8_t* out = run.px.write + y * stride;
    for (int32_t x = 1; x < w - 1; ++x) {
      const int64_t o = int64_t{x} * 4;
      const int32_t vp = V(mid + o);
      if (!(vp < dark)) continue;
      if (BlockValue(up, mid, down, o) / 9 - margin > vp) out[o] = out[o + 1] = out[o + 2] = 255;
    }
  }
}

void AdjustLab(const Run& run) {
  const color::LabShift shift((run.s[1] - 0.5) * 200.0, (run.s[2] - 0.5) * 200.0,
                              (run.s[3] - 0.5) * 200.0);
  EachPixel(run, [&](const uint8_t* in, uint8_t* out) {
    int32_t r, g, b;
    shift.Apply(in[0], in[1], in[2], r, g, b);
    out[0] = PixelAccess::Clamp255(r);
    out[1] = PixelAccess::Clamp255(g);
    out[2] = PixelAccess::Clamp255(b);
  });
}

void HyperContrast(const Run& run) {
  int32_t k = SaturateToInt32((1.0 - run.s[1]) * 255.0);
  if (k == 0) k = 1;
  int32_t low[256], high[256];
  for (int32_t v = 0; v < 256; ++v) {
    low[v] = 255 - (v - 255) * (v - 255) / k;
    high[v] = v * v / k;
  }
  EachPixel(run, [&](const uint8_t* in, uint8_t* out) {
    double hue, sat, l;
    color::RgbToHsl(in[0], in[1], in[2], hue, sat, l);
    uint8_t result[3];
    for (int32_t c = 0; c < 3; ++c) {
      result[c] = PixelAccess::Clamp255(SaturateToInt32(low[in[c]] * (1.0 - l) + high[in[c]] * l));
    }
    std::memcpy(out, result, 3);
  });
}

void BasRelief(const Run& run) {
  const int32_t w = run.w, h = run.h;
  if (w < 3 || h < 3) return;
  int32_t qx = 0, qy = 0;
  if (run.args->mode == 0) qx = -1;
  if (run.args->mode == 1) qy = -1;
  if (run.args->mode == 2) qx = qy = -1;
  const double s1 = run.s[1];
  // With separate buffers the HSL of each pixel is computed once, kept for
  // its row and the next; in place a neighbour is read as it now is.
  const bool cached = FastPaths() && run.px.read != run.px.write;
  Buffer<double> rows = cached ? Buffer<double>::Make(CheckedCount(w, 6)) : Buffer<double>();
  auto hslRow = [&](int32_t y, double* out) {
    for (int32_t x = 0; x < w; ++x)
      run.px.ReadHsl(x, y, out[3 * x], out[3 * x + 1], out[3 * x + 2]);
  };
  if (cached) hslRow(0, rows.data());
  for (int32_t y = 1; y < h - 1; ++y) {
    const double* above = cached ? rows.data() + size_t((y - 1) % 2) * 3 * w : nullptr;
    double* row = cached ? rows.data() + size_t(y % 2) * 3 * w : nullptr;
    if (cached) hslRow(y, row);
    for (int32_t x = 1; x < w - 1; ++x) {
      double hp, sp, lp, hq, sq, lq;
      if (cached) {
        hp = row[3 * x], sp = row[3 * x + 1], lp = row[3 * x + 2];
        const double* q = (qy ? above : row) + 3 * (x + qx);
        hq = q[0], sq = q[1], lq = q[2];
      } else {
        run.px.ReadHsl(x, y, hp, sp, lp);
        run.px.ReadHsl(x + qx, y + qy, hq, sq, lq);
      }
      if (lp > lq) lp = lp + s1 * (1.0 - lp);
      if (lp < lq) lp = lp - lp * s1;
      if (sp > sq) sp = sp + s1 * (1.0 - sp);
      if (sp < sq) sp = sp - sp * s1;
      run.px.WriteHsl(x, y, hp, ClampDouble(sp, 0.0, 1.0), ClampDouble(lp, 0.0, 1.0));
    }
  }
}

void Grayscale(const Run& run) {
  MapPixels(run, [](uint32_t v) { return (v & 0xFF000000u) | WordValue(v) * 0x010101u; });
}

void Invert(const Run& run) {
  MapPixels(run, [](uint32_t v) { return v ^ 0x00FFFFFFu; });
}

// 14. Vignette: a soft shape plane weighs each pixel between itself (D)
// and a tint or transparency (F = 1 - D).
//   a. Plane: with opt4 nonzero it starts at 0 and the shape is drawn with
//      trunc(s6 255) (opt4 = 1) or 255; with opt4 = 0 it starts at
//      trunc(255 - s6 255) and the shape is 255. Levels are kept in 0..255.
//   b. Margins (opt6 = 0): vertical (H - 2 trunc(H s5)) / 2, horizontal
//      (W - 2 trunc(W s5)) / 2; with opt6 nonzero both from max(W, H).
//   c. Shape: opt5 nonzero, the rectangle (hm, vm) .. (W - hm - 1, H - vm),
//      corners inclusive; else the ellipse centred (W / 2, H / 2) with radii
//      (W - 2 hm) / 2 and (H - 2 vm) / 2, each at least 2.
//   d. Gaussian blur of radius max(W, H) 0.1 s4 (0.1 when 0), kept within
//      0.1 .. max(W, H).
//   e. D = level / 255 (1 - that when opt4 = 1), F = 1 - D, pixel as
//      fractions; opt2 = 1: tint = painting colour (opt7 nonzero) or (s1, s2,
//      s3), RGB := F tint + D RGB where alpha > 0, else tint. Alpha := F (0
//      when opt3 = 1, else 1) + D alpha.
void Vignette(const Run& run) {
  const int32_t w = run.w, h = run.h;
  const double* s = run.s;
  const uint8_t opt4 = run.Opt(4);
  auto level = [](double v) { return static_cast<uint8_t>(ClampInt(SaturateToInt32(v), 0, 255)); };
  const uint8_t background = opt4 ? 0 : level(255.0 - s[6] * 255.0);
  const uint8_t shape = opt4 == 1 ? level(s[6] * 255.0) : 255;
  const size_t area = CheckedCount(w, h);
  Buffer<uint8_t> plane = Buffer<uint8_t>::MakeBytes(area, background);
  Buffer<uint8_t> soft = Buffer<uint8_t>::Make(area);

  auto margin = [&](int32_t side) {
    const int64_t inner = SaturateToInt32(side * s[5]);
    return ClampInt((side - 2 * inner) / 2, INT32_MIN / 4, INT32_MAX / 4);
  };
  const int32_t larger = std::max(w, h);
  const int32_t vm = run.Opt(6) ? margin(larger) : margin(h);
  const int32_t hm = run.Opt(6) ? margin(larger) : margin(w);
  if (run.Opt(5)) {
    platform::image::FillTransparentRect(plane.data(), w, h, 1, w, hm, vm, int64_t{w} - hm - 1,
                                         int64_t{h} - vm, {shape, shape, shape, shape}, 1.0);
  } else {
    const int32_t rx = std::max<int32_t>((w - 2 * hm) / 2, 2);
    const int32_t ry = std::max<int32_t>((h - 2 * vm) / 2, 2);
    platform::image::FillEllipse(plane.data(), w, h, 1, w, w / 2, h / 2, rx, ry,
                                 {shape, shape, shape, shape}, 1.0);
  }
  double radius = larger * 0.1 * s[4];
  if (radius == 0.0) radius = 0.1;
  radius = ClampDouble(radius, 0.1, larger);
  if (!platform::image::GaussianBlurPlane(plane.data(), w, h, soft.data(), radius)) {
    std::memcpy(soft.data(), plane.data(), area);
  }

  double tint[3] = {s[1], s[2], s[3]};
  if (run.Opt(7)) {
    const auto& color = brush::State().color;
    for (int i = 0; i < 3; ++i) tint[i] = (color[size_t(i)] >> 8) / 255.0;
  }
  const double keep = run.Opt(3) == 1 ? 0.0 : 1.0;
  const uint8_t* in = run.px.read;
  uint8_t* out = run.px.write;
  for (size_t i = 0; i < area; ++i, in += 4, out += 4) {
    double d = soft[i] / 255.0;
    if (opt4 == 1) d = 1.0 - d;
    const double f = 1.0 - d;
    double c[4] = {in[0] / 255.0, in[1] / 255.0, in[2] / 255.0, in[3] / 255.0};
    if (run.Opt(2) == 1) {
      for (int k = 0; k < 3; ++k) c[k] = c[3] > 0.0 ? f * tint[k] + d * c[k] : tint[k];
    }
    c[3] = f * keep + d * c[3];
    for (int k = 0; k < 4; ++k) out[k] = PixelAccess::FromFraction(c[k]);
  }
}

void Channel(const Run& run) {
  const bool red = run.Opt(2) == 1, green = run.Opt(3) == 1, blue = run.Opt(4) == 1;
  MapPixels(run, [=](uint32_t v) {
    // The kept channel becomes alpha and its colour full; 0 gives 0.
    auto keep = [](uint32_t p, uint32_t shift) {
      const uint32_t c = (p >> shift) & 255u;
      return c ? (c << 24) | (255u << shift) : 0u;
    };
    if (red) v = keep(v, 0);
    if (green) v = keep(v, 8);
    if (blue) v = keep(v, 16);
    return v;
  });
}

// 16. Reflection: mirror line r = trunc((1 - s1) (H - 1)), kept within
// 0..H - 1. Start row h: with opt2 = 1 the lowest row holding a pixel with
// alpha above 253 (every column alike; when there is none, the per-column
// rule below); else r - 1, or with opt3 = 0 the lowest row below r whose
// pixel in this column has nonzero alpha (r - 1 when none). When h < H - 1,
// rows j = h .. H - 1 take the pixel at (x, trunc(m)) with alpha x o,
// starting from m = h - 1 and o = s2, then m -= 4 s4 and o -= s2 s3 /
// max(H / 16, 1).
void Reflection(const Run& run) {
  const int32_t w = run.w, h = run.h;
  const PixelAccess& px = run.px;
  const int32_t r = ClampInt(SaturateToInt32((1.0 - run.s[1]) * (h - 1)), 0, h - 1);
  int32_t common = -1;
  if (run.Opt(2) == 1) {
    for (int32_t y = h - 1; y >= 0 && common < 0; --y) {
      for (int32_t x = 0; x < w; ++x) {
        if (px.ReadRgba(x, y).a > 253) {
          common = y;
          break;
        }
      }
    }
  }
  const double step = run.s[2] * run.s[3] / std::max(h / 16, 1);
  for (int32_t x = 0; x < w; ++x) {
    int32_t start = common;
    if (start < 0) {
      start = r - 1;
      if (run.Opt(3) == 0) {
        for (int32_t y = h - 1; y > r; --y) {
          if (px.ReadRgba(x, y).a != 0) {
            start = y;
            break;
          }
        }
      }
    }
    if (start >= h - 1) continue;
    double o = run.s[2], m = start - 1.0;
    for (int32_t j = start; j <= h - 1; ++j) {
      Rgba p = px.ReadRgba(x, SaturateToInt32(m));
      p.a = SaturateToInt32(o * p.a);
      px.WriteRgba(x, j, p);
      m -= 4.0 * run.s[4];
      o -= step;
    }
  }
}

// 17. Fader: over the whole canvas, or (opt2 = 1) the data extents of the
// current layer (nothing when it holds no data), f = horizontal x vertical:
// the horizontal factor starts at 2 s3 at the left column and grows by (2 s4
// - 2 s3) / (right - left) per column, the vertical one at 2 s1 at the top
// and by (2 s2 - 2 s1) / (bottom - top) per row; a one-pixel-wide or -high
// rectangle steps by 0. opt3 nonzero: s x= f, opt4 nonzero: l x= f (HSL
// writer); opt5 nonzero: alpha := trunc(f alpha).
void Fader(const Run& run) {
  int32_t left = 0, top = 0, right = run.w - 1, bottom = run.h - 1;
  if (run.Opt(2) == 1) {
    const int32_t slot = composite::CurrentSlot();
    if (slot < 0 || !composite::FindDataExtents(slot, left, top, right, bottom)) return;
    if (left > right || top > bottom) return;
  }
  const double* s = run.s;
  const double hStep = right > left ? (2.0 * s[4] - 2.0 * s[3]) / (right - left) : 0.0;
  const double vStep = bottom > top ? (2.0 * s[2] - 2.0 * s[1]) / (bottom - top) : 0.0;
  const bool hsl = run.Opt(3) || run.Opt(4);
  double vertical = 2.0 * s[1];
  for (int32_t y = top; y <= bottom; ++y, vertical += vStep) {
    double horizontal = 2.0 * s[3];
    for (int32_t x = left; x <= right; ++x, horizontal += hStep) {
      const double f = horizontal * vertical;
      if (hsl) {
        double hue, sat, l;
        run.px.ReadHsl(x, y, hue, sat, l);
        if (run.Opt(3)) sat *= f;
        if (run.Opt(4)) l *= f;
        run.px.WriteHsl(x, y, hue, sat, l);
      }
      if (run.Opt(5)) run.px.WriteAlpha(x, y, SaturateToInt32(f * run.px.ReadRgba(x, y).a));
    }
  }
}

// 18. Borderize: n = trunc((min(W, H) / 2) s2) rings, at most min(W, H) / 2;
// ring k is the outline inset by k, in the colour read at a point along the
// ring chosen by s1 (black outside the canvas); top and bottom rows first,
// then the left and right columns.
void Borderize(const Run& run) {
  const int32_t w = run.w, h = run.h;
  const double s1 = run.s[1];
  const int32_t half = std::min(w, h) / 2;
  const int32_t rings = ClampInt(SaturateToInt32(half * run.s[2]), 0, half);
  for (int32_t k = 0; k < rings; ++k) {
    int32_t px, py;
    if (s1 < 0.25) {
      px = SaturateToInt32(s1 * 4 * w), py = k;
    } else if (s1 < 0.5) {
      px = w - 1 - k, py = SaturateToInt32((s1 - 0.25) * 4 * h);
    } else if (s1 < 0.75) {
      px = SaturateToInt32(w - w * (s1 - 0.5) * 4), py = h - 1 - k;
    } else {
      px = k, py = SaturateToInt32(h - h * (s1 - 0.75) * 4);
    }
    const Rgba c = run.px.ReadRgba(px, py);
    for (int32_t x = k; x <= w - 1 - k; ++x) {
      run.px.WriteRgba(x, k, c);
      run.px.WriteRgba(x, h - 1 - k, c);
    }
    for (int32_t y = k; y <= h - 1 - k; ++y) {
      run.px.WriteRgba(k, y, c);
      run.px.WriteRgba(w - 1 - k, y, c);
    }
  }
}

// Per channel, as counts on 0..255: values below low[k] become lowTo, then
// values from highStart[k] up become highTo. lowTo itself meets the second
// test before it is clamped, so its final value is worked out once here.
void Clamp(const Run& run) {
  const double lowAt = run.s[1] * 255.0, highAt = run.s[3] * 255.0;
  const int32_t lowTo = SaturateToInt32(run.s[2] * 255.0);
  const int32_t highTo = SaturateToInt32(run.s[4] * 255.0);
  const uint32_t lowFinal = PixelAccess::Clamp255(highAt < lowTo ? highTo : lowTo);
  const uint32_t highFinal = PixelAccess::Clamp255(highTo);
  const auto lowCount = uint32_t(PrefixLength([&](int32_t v) { return lowAt > v; }));
  const auto highCount = uint32_t(PrefixLength([&](int32_t v) { return highAt < 255 - v; }));
  uint32_t low[4], highStart[4];
  for (int32_t k = 0; k < 4; ++k) {
    const bool on = run.Opt(2 + k) == 1;
    low[k] = on ? lowCount : 0u;
    highStart[k] = on ? 256u - highCount : 256u;
  }
  MapPixels(run, [&](uint32_t v) {
    uint32_t out = 0;
    for (uint32_t k = 0; k < 4; ++k) {
      uint32_t c = (v >> (8 * k)) & 255u;
      c = c < low[k] ? lowFinal : (c >= highStart[k] ? highFinal : c);
      out |= c << (8 * k);
    }
    return out;
  });
}

void MaskDetail(const Run& run) {
  const int32_t w = run.w, h = run.h;
  Mask16* mask = mask::CanvasValues();
  if (!mask || w < 3 || h < 3) return;
  const int32_t d = SaturateToInt32(run.s[1] * 255.0);
  const auto value =
      static_cast<Mask16>(ClampInt(SaturateToInt32((1.0 - run.s[2]) * 65535.0), 0, 65535));
  const int64_t stride = int64_t{w} * 4;
  for (int32_t y = 1; y < h - 1; ++y) {
    const uint8_t* mid = run.px.read + y * stride;
    for (int32_t x = 1; x < w - 1; ++x) {
      const uint8_t* p = mid + int64_t{x} * 4;
      bool detail = false;
      for (int32_t k = 0; k < 3 && !detail; ++k) {
        const int32_t c = p[k];
        const bool vertical = std::abs(c - p[k - stride]) > d && std::abs(c - p[k + stride]) > d;
        const bool horizontal = std::abs(c - p[k - 4]) > d && std::abs(c - p[k + 4]) > d;
        detail = vertical || horizontal;
      }
      if (detail) mask[int64_t{y} * w + x] = value;
    }
  }
}

struct FilterEntry {
  const char* name;
  void (*run)(const Run&);
  bool forcedInPlace;
  bool wholePixel = false;  // writes every byte of every pixel (MapPixels)
};

constexpr FilterEntry kFilters[] = {
    {"Anti Alias", AntiAlias, true},
    {"Adaptive Blur", AdaptiveBlur, false},
    {"Line Art Cleaner", LineArtCleaner, false},
    {"Basic Threshold", BasicThreshold, false, true},
    {"Adjust Lab", AdjustLab, false},
    {"Detail Blur", DetailBlur, false},
    {"Value Blur", ValueBlur, true},
    {"Noise Reduction", NoiseReduction, true},
    {"Noise Reduction RGB", NoiseReductionRgb, true},
    {"Hyper Contrast", HyperContrast, false},
    {"Bas Relief", BasRelief, false},
    {"Grayscale", Grayscale, false, true},
    {"Invert", Invert, false, true},
    {"Vignette", Vignette, false},
    {"Channel", Channel, false, true},
    {"Reflection", Reflection, false},
    {"Fader", Fader, false},
    {"Borderize", Borderize, false},
    {"Clamp", Clamp, false, true},
    {"Mask Detail", MaskDetail, false},
};

}  // namespace

int32_t RunNativeFilter(const NativeFilterArgs& args) {
  const CanvasGeometry& canvas = Geometry();
  uint8_t* source = Source32();
  uint8_t* destination = Destination32();
  if (!canvas.HasPixels() || !source || !destination) return 0;
  Run run;
  run.source = source;
  run.destination = destination;
  run.w = canvas.width;
  run.h = canvas.height;
  run.args = &args;
  for (int32_t i = 1; i <= 6; ++i) run.s[i] = args.values[size_t(i - 1)] * 0.001;
  const FilterEntry* match = nullptr;
  for (const FilterEntry& filter : kFilters) {
    if (args.name && std::strcmp(args.name, filter.name) == 0) {
      match = &filter;
      break;
    }
  }
  // A whole-pixel filter reading the source writes every destination byte,
  // which makes the copy redundant.
  const bool copyCovered = match && match->wholePixel && !match->forcedInPlace;
  if (args.copyFlag == 0 && !copyCovered) std::memcpy(destination, source, run.Pixels() * 4);
  if (match) {
    run.inPlace = match->forcedInPlace || args.copyFlag != 0;
    run.px = PixelAccess{run.inPlace ? destination : source, destination, run.w, run.h};
    match->run(run);
  }
  return 1;
}

void SetNativeFilterFastPaths(bool enabled) noexcept {
  FastPaths() = enabled && cpu::FastPathsAllowed();
}

}  // namespace dro::imaging
