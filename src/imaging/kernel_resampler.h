// The named resampling kernels: our own separable resampler with weights
// computed once per axis, working on premultiplied colour so that colour
// under transparent pixels never bleeds into their neighbours.
//
// Kernels, by their support radius r (in source pixels when enlarging; when
// shrinking by a factor f every kernel is stretched to r / f so that it also
// averages away what the smaller picture cannot hold):
//
//   Box       r 0.5   1 inside the half-open interval [-0.5, 0.5)
//   Triangle  r 1     1 - |x|
//   Hermite   r 1     2|x|^3 - 3|x|^2 + 1
//   Hanning   r 2     sinc(x) x (0.5 + 0.5 cos(pi x / 2))
//   Hamming   r 2     sinc(x) x (0.54 + 0.46 cos(pi x / 2))
//   Gaussian  r 1.5   exp(-2 x^2) (sigma 0.5)
//   Bell      r 1.5   the quadratic B-spline
//   B-Spline  r 2     the cubic B-spline (smooth, never overshoots)
//   Mitchell  r 2     Mitchell-Netravali cubic, B = 1/3, C = 1/3
//   Catrom    r 2     Catmull-Rom, the Keys cubic with a = -0.5
//   Cubic 1   r 2     the Keys cubic with a = -1 (the sharpest of the cubics)
//   Cubic 2   r 2     the Keys cubic with a = -0.75 (between the two)
//   Lanczos3  r 3     sinc(x) x sinc(x / 3)
//   Sinc      r 4     sinc(x), cut off without a window (rings the most)
//
// sinc(x) = sin(pi x) / (pi x). The taps of each output pixel are the
// kernel sampled at the source pixel centres, normalised to sum 1; taps
// beyond an edge are dropped (the remaining ones renormalised), so a flat
// picture stays exactly flat up to the edges. An axis whose size does not
// change is copied as it is.
//
// Pixel contract: sixteen-bit straight RGBA in and out. Colour is scaled by
// alpha / 65535 before filtering and divided by the filtered alpha after;
// results are rounded to nearest and clamped to 0..65535; a pixel whose
// alpha rounds to 0 is (0, 0, 0, 0).
#pragma once

#include <cstdint>

#include "base/types.h"

namespace dro::imaging {

enum class ResampleKernel : int32_t {
  kBox,
  kTriangle,
  kHermite,
  kHanning,
  kHamming,
  kGaussian,
  kBell,
  kBSpline,
  kMitchell,
  kCatrom,
  kCubic1,
  kCubic2,
  kLanczos3,
  kSinc,
};

// The kernel's value at x (in units of source pixels) and its support.
double KernelValue(ResampleKernel kernel, double x) noexcept;
double KernelSupport(ResampleKernel kernel) noexcept;

// Resamples a tight srcWidth x srcHeight picture into a tight dstWidth x
// dstHeight one (neither may be the other). Its scratch (weights and a few
// filtered rows) is allocated per call; a failed allocation throws
// std::bad_alloc before `dst` is touched.
void ResampleWithKernel(const Pixel64* src, int32_t srcWidth, int32_t srcHeight, Pixel64* dst,
                        int32_t dstWidth, int32_t dstHeight, ResampleKernel kernel);

}  // namespace dro::imaging
