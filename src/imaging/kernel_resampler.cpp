// The separable resampler behind the named kernels (kernel_resampler.h).
//
// Order of work: the weights of both axes first (all scratch is allocated
// before the destination is touched), then per output row the vertical
// taps, each a source row already filtered horizontally. Filtered rows live
// in a ring of as many rows as the vertical taps reach, so every source row
// is converted and filtered once however much the picture is enlarged.
#include "imaging/kernel_resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/allocation.h"

namespace dro::imaging {
namespace {

constexpr double kPi = std::numbers::pi;

double Sinc(double x) noexcept {
  if (x == 0.0) return 1.0;
  const double px = kPi * x;
  return std::sin(px) / px;
}

// The Mitchell-Netravali family of cubics with parameters B and C.
double Cubic(double x, double b, double c) noexcept {
  x = std::fabs(x);
  const double x2 = x * x, x3 = x2 * x;
  if (x < 1.0) return ((12 - 9 * b - 6 * c) * x3 + (-18 + 12 * b + 6 * c) * x2 + (6 - 2 * b)) / 6.0;
  if (x < 2.0)
    return ((-b - 6 * c) * x3 + (6 * b + 30 * c) * x2 + (-12 * b - 48 * c) * x + (8 * b + 24 * c)) /
           6.0;
  return 0.0;
}

// The Keys cubic with free parameter a (a = -0.5 is Catmull-Rom).
double Keys(double x, double a) noexcept {
  x = std::fabs(x);
  if (x < 1.0) return ((a + 2) * x - (a + 3)) * x * x + 1;
  if (x < 2.0) return ((a * x - 5 * a) * x + 8 * a) * x - 4 * a;
  return 0.0;
}

// The weights of one axis: output i reads `count[i]` source pixels from
// `first[i]` with weights[i x taps ...].
struct AxisWeights {
  Buffer<int32_t> first;
  Buffer<int32_t> count;
  Buffer<float> weights;
  int32_t taps = 0;
};

// The source pixels output i reads, with the zero-weight ends trimmed.
struct Window {
  int32_t lo, hi;
};

Window WindowOf(int32_t i, int32_t srcSize, double scale, double stretch, double support,
                ResampleKernel kernel) noexcept {
  const double centre = (i + 0.5) / scale - 0.5;
  int32_t lo = std::max(0, int32_t(std::ceil(centre - support)));
  int32_t hi = std::min(srcSize - 1, int32_t(std::floor(centre + support)));
  while (lo < hi && KernelValue(kernel, (lo - centre) / stretch) == 0.0) ++lo;
  while (hi > lo && KernelValue(kernel, (hi - centre) / stretch) == 0.0) --hi;
  return {lo, hi};
}

AxisWeights MakeWeights(int32_t srcSize, int32_t dstSize, ResampleKernel kernel) {
  const double scale = double(dstSize) / double(srcSize);
  const double stretch = scale < 1.0 ? 1.0 / scale : 1.0;
  const double support = KernelSupport(kernel) * stretch;
  AxisWeights w;
  if (srcSize == dstSize) {
    // An axis that keeps its size is copied, not filtered: the smoothing
    // kernels would blur it.
    w.taps = 1;
    w.first = Buffer<int32_t>::Make(CheckedCount(dstSize, 1));
    w.count = Buffer<int32_t>::Make(CheckedCount(dstSize, 1));
    w.weights = Buffer<float>::Make(CheckedCount(dstSize, 1));
    for (int32_t i = 0; i < dstSize; ++i) w.first[i] = i, w.count[i] = 1, w.weights[i] = 1.0f;
    return w;
  }
  // As many taps as the widest window, so the filter loops have one length.
  w.taps = 1;
  for (int32_t i = 0; i < dstSize; ++i) {
    const Window win = WindowOf(i, srcSize, scale, stretch, support, kernel);
    w.taps = std::max(w.taps, win.hi - win.lo + 1);
  }
  w.first = Buffer<int32_t>::Make(CheckedCount(dstSize, 1));
  w.count = Buffer<int32_t>::Make(CheckedCount(dstSize, 1));
  w.weights = Buffer<float>::Make(CheckedCount(dstSize, w.taps));
  Buffer<double> raw = Buffer<double>::Make(CheckedCount(w.taps, 1));
  for (int32_t i = 0; i < dstSize; ++i) {
    const double centre = (i + 0.5) / scale - 0.5;
    Window win = WindowOf(i, srcSize, scale, stretch, support, kernel);
    float* out = w.weights.data() + int64_t{i} * w.taps;
    double* values = raw.data();
    double sum = 0.0;
    for (int32_t j = win.lo; j <= win.hi; ++j) {
      const double v = KernelValue(kernel, (j - centre) / stretch);
      values[j - win.lo] = v;
      sum += v;
    }
    if (win.hi < win.lo || std::fabs(sum) < 1e-12) {
      // No tap carries weight: take the nearest source pixel.
      win.lo = win.hi = std::clamp(int32_t(std::lround(centre)), 0, srcSize - 1);
      values[0] = sum = 1.0;
    }
    // Every output reads exactly `taps` pixels: the window is moved inside
    // the picture and the unused taps weigh nothing.
    const int32_t first = std::clamp(win.lo, 0, srcSize - w.taps);
    w.first[i] = first;
    w.count[i] = w.taps;
    std::fill_n(out, w.taps, 0.0f);
    for (int32_t j = 0; j <= win.hi - win.lo; ++j) out[win.lo - first + j] = float(values[j] / sum);
  }
  return w;
}

// One source row to premultiplied floats, colour x alpha / 65535.
void Premultiply(const Pixel64* src, int32_t width, float* out) noexcept {
  constexpr float kInv = 1.0f / 65535.0f;
  for (int32_t x = 0; x < width; ++x) {
    const float a = src[x].a;
    const float k = a * kInv;
    out[4 * x + 0] = src[x].r * k;
    out[4 * x + 1] = src[x].g * k;
    out[4 * x + 2] = src[x].b * k;
    out[4 * x + 3] = a;
  }
}

template <int kTaps>
void FilterRowFixed(const float* in, const AxisWeights& w, int32_t dstWidth, float* out) noexcept {
  const float* weights = w.weights.data();
  for (int32_t x = 0; x < dstWidth; ++x, weights += kTaps) {
    const float* p = in + 4 * int64_t{w.first[x]};
    float acc[4] = {0, 0, 0, 0};
    for (int t = 0; t < kTaps; ++t) {
      const float k = weights[t];
      for (int c = 0; c < 4; ++c) acc[c] += k * p[4 * t + c];
    }
    for (int c = 0; c < 4; ++c) out[4 * x + c] = acc[c];
  }
}

void FilterRowAny(const float* in, const AxisWeights& w, int32_t dstWidth, float* out) noexcept {
  for (int32_t x = 0; x < dstWidth; ++x) {
    const float* weights = w.weights.data() + int64_t{x} * w.taps;
    const float* p = in + 4 * int64_t{w.first[x]};
    float acc[4] = {0, 0, 0, 0};
    for (int32_t t = 0; t < w.taps; ++t) {
      const float k = weights[t];
      for (int c = 0; c < 4; ++c) acc[c] += k * p[4 * t + c];
    }
    for (int c = 0; c < 4; ++c) out[4 * x + c] = acc[c];
  }
}

using FilterRowFn = void (*)(const float*, const AxisWeights&, int32_t, float*) noexcept;

// The row filter for a tap count: unrolled for the counts of enlarging and
// mild shrinking, a plain loop beyond.
FilterRowFn PickFilterRow(int32_t taps) noexcept {
  switch (taps) {
    case 1:
      return FilterRowFixed<1>;
    case 2:
      return FilterRowFixed<2>;
    case 3:
      return FilterRowFixed<3>;
    case 4:
      return FilterRowFixed<4>;
    case 5:
      return FilterRowFixed<5>;
    case 6:
      return FilterRowFixed<6>;
    case 7:
      return FilterRowFixed<7>;
    case 8:
      return FilterRowFixed<8>;
    case 9:
      return FilterRowFixed<9>;
    case 10:
      return FilterRowFixed<10>;
    default:
      return FilterRowAny;
  }
}

// The vertical taps in one pass over the row: out = sum of k[t] x rows[t].
constexpr int32_t kMaxCombined = 8;
using CombineFn = void (*)(const float* const*, const float*, size_t, float*) noexcept;

template <int kTaps>
void Combine(const float* const* rows, const float* k, size_t n, float* out) noexcept {
  for (size_t i = 0; i < n; ++i) {
    float acc = 0.0f;
    for (int t = 0; t < kTaps; ++t) acc += k[t] * rows[t][i];
    out[i] = acc;
  }
}

CombineFn PickCombine(int32_t taps) noexcept {
  switch (taps) {
    case 1:
      return Combine<1>;
    case 2:
      return Combine<2>;
    case 3:
      return Combine<3>;
    case 4:
      return Combine<4>;
    case 5:
      return Combine<5>;
    case 6:
      return Combine<6>;
    case 7:
      return Combine<7>;
    case 8:
      return Combine<8>;
    default:
      return nullptr;
  }
}

uint16_t ToChannel(float v) noexcept {
  return static_cast<uint16_t>(std::min(std::max(v, 0.0f), 65535.0f) + 0.5f);
}

void Unpremultiply(const float* in, int32_t width, Pixel64* out) noexcept {
  for (int32_t x = 0; x < width; ++x) {
    const float* p = in + 4 * x;
    const float a = std::min(p[3], 65535.0f);
    // Alpha below one half rounds to 0: the pixel is (0, 0, 0, 0).
    const float k = a >= 0.5f ? 65535.0f / a : 0.0f;
    out[x] = Pixel64{ToChannel(p[0] * k), ToChannel(p[1] * k), ToChannel(p[2] * k),
                     a >= 0.5f ? ToChannel(a) : uint16_t{0}};
  }
}

}  // namespace

double KernelSupport(ResampleKernel kernel) noexcept {
  switch (kernel) {
    case ResampleKernel::kBox:
      return 0.5;
    case ResampleKernel::kTriangle:
    case ResampleKernel::kHermite:
      return 1.0;
    case ResampleKernel::kGaussian:
    case ResampleKernel::kBell:
      return 1.5;
    case ResampleKernel::kHanning:
    case ResampleKernel::kHamming:
    case ResampleKernel::kBSpline:
    case ResampleKernel::kMitchell:
    case ResampleKernel::kCatrom:
    case ResampleKernel::kCubic1:
    case ResampleKernel::kCubic2:
      return 2.0;
    case ResampleKernel::kLanczos3:
      return 3.0;
    case ResampleKernel::kSinc:
      return 4.0;
  }
  return 1.0;
}

double KernelValue(ResampleKernel kernel, double x) noexcept {
  const double ax = std::fabs(x);
  if (ax > KernelSupport(kernel)) return 0.0;
  switch (kernel) {
    case ResampleKernel::kBox:
      return x >= -0.5 && x < 0.5 ? 1.0 : 0.0;
    case ResampleKernel::kTriangle:
      return 1.0 - ax;
    case ResampleKernel::kHermite:
      return (2.0 * ax - 3.0) * ax * ax + 1.0;
    case ResampleKernel::kHanning:
      return Sinc(x) * (0.5 + 0.5 * std::cos(kPi * x / 2.0));
    case ResampleKernel::kHamming:
      return Sinc(x) * (0.54 + 0.46 * std::cos(kPi * x / 2.0));
    case ResampleKernel::kGaussian:
      return std::exp(-2.0 * x * x);
    case ResampleKernel::kBell:
      if (ax < 0.5) return 0.75 - ax * ax;
      return 0.5 * (ax - 1.5) * (ax - 1.5);
    case ResampleKernel::kBSpline:
      return Cubic(x, 1.0, 0.0);
    case ResampleKernel::kMitchell:
      return Cubic(x, 1.0 / 3.0, 1.0 / 3.0);
    case ResampleKernel::kCatrom:
      return Keys(x, -0.5);
    case ResampleKernel::kCubic1:
      return Keys(x, -1.0);
    case ResampleKernel::kCubic2:
      return Keys(x, -0.75);
    case ResampleKernel::kLanczos3:
      return Sinc(x) * Sinc(x / 3.0);
    case ResampleKernel::kSinc:
      return Sinc(x);
  }
  return 0.0;
}

void ResampleWithKernel(const Pixel64* src, int32_t srcWidth, int32_t srcHeight, Pixel64* dst,
                        int32_t dstWidth, int32_t dstHeight, ResampleKernel kernel) {
  const AxisWeights across = MakeWeights(srcWidth, dstWidth, kernel);
  const AxisWeights down = MakeWeights(srcHeight, dstHeight, kernel);
  const int32_t ringRows = down.taps;
  const size_t rowFloats = CheckedCount(int64_t{dstWidth} * 4, 1);
  Buffer<float> ring = Buffer<float>::Make(CheckedCount(int64_t{dstWidth} * 4, ringRows));
  Buffer<int32_t> rowInSlot = Buffer<int32_t>::Make(CheckedCount(ringRows, 1));
  Buffer<float> input = Buffer<float>::Make(CheckedCount(int64_t{srcWidth} * 4, 1));
  Buffer<float> sum = Buffer<float>::Make(rowFloats);
  std::fill_n(rowInSlot.data(), ringRows, -1);
  const FilterRowFn filterRow = PickFilterRow(across.taps);

  const CombineFn combine = PickCombine(down.taps);
  const float* rows[kMaxCombined];
  for (int32_t y = 0; y < dstHeight; ++y) {
    const int32_t first = down.first[y];
    const float* weights = down.weights.data() + int64_t{y} * down.taps;
    for (int32_t t = 0; t < down.taps; ++t) {
      const int32_t row = first + t;
      const int32_t slot = row % ringRows;
      float* filtered = ring.data() + int64_t{slot} * int64_t(rowFloats);
      if (rowInSlot[slot] != row) {
        Premultiply(src + int64_t{row} * srcWidth, srcWidth, input.data());
        filterRow(input.data(), across, dstWidth, filtered);
        rowInSlot[slot] = row;
      }
      if (t < kMaxCombined) rows[t] = filtered;
    }
    float* acc = sum.data();
    if (combine) {
      combine(rows, weights, rowFloats, acc);
    } else {
      std::fill_n(acc, rowFloats, 0.0f);
      for (int32_t t = 0; t < down.taps; ++t) {
        const float* filtered = ring.data() + int64_t{(first + t) % ringRows} * int64_t(rowFloats);
        const float k = weights[t];
        for (size_t i = 0; i < rowFloats; ++i) acc[i] += k * filtered[i];
      }
    }
    Unpremultiply(acc, dstWidth, dst + int64_t{y} * dstWidth);
  }
}

}  // namespace dro::imaging
