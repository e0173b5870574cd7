// Helpers shared by the OpenCV-backed picture effects: a cv::Mat view of a
// caller's pixels, rounding to a byte, and putting alpha back.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>

namespace dro::platform::image::cvhelp {

inline int Type(int32_t bpp) noexcept {
  return bpp == 1 ? CV_8UC1 : bpp == 3 ? CV_8UC3 : CV_8UC4;
}

inline cv::Mat View(const uint8_t* p, int32_t w, int32_t h, int32_t bpp, int32_t stride) {
  return cv::Mat(h, w, Type(bpp), const_cast<uint8_t*>(p), size_t(stride));
}

inline uint8_t Clamp8(double v) noexcept {
  if (!(v > 0.0)) return 0;
  return v >= 255.0 ? 255 : static_cast<uint8_t>(v + 0.5);
}

// Puts the source's alpha back when only the colour channels were meant.
inline void KeepAlpha(const uint8_t* src, int32_t srcStride, uint8_t* dst, int32_t dstStride,
                      int32_t w, int32_t h, int32_t bpp, int32_t channels) noexcept {
  if (bpp != 4 || channels == 15) return;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = src + int64_t{y} * srcStride;
    uint8_t* d = dst + int64_t{y} * dstStride;
    for (int32_t x = 0; x < w; ++x) d[4 * x + 3] = s[4 * x + 3];
  }
}

}  // namespace dro::platform::image::cvhelp
