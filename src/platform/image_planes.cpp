// Blurs of one-channel byte planes.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/image_library.h"

namespace dro::platform::image {
namespace {

bool ValidPlane(const void* p, int32_t w, int32_t h) noexcept {
  return p && w > 0 && h > 0;
}

// One box pass of radius r over `n` contiguous samples into outputs `step`
// bytes apart, edges repeating: out[i] = round(sum of in[clamp(i - r .. i +
// r)] / (2r + 1)).
void BoxLine(const uint8_t* in, uint8_t* out, int32_t n, int64_t step, int32_t r) noexcept {
  const uint32_t size = 2u * uint32_t(r) + 1u;
  auto at = [&](int64_t i) -> uint32_t { return in[std::clamp<int64_t>(i, 0, n - 1)]; };
  uint32_t sum = 0;
  for (int64_t i = -r; i <= r; ++i) sum += at(i);
  for (int64_t i = 0; i < n; ++i) {
    out[i * step] = static_cast<uint8_t>((sum + size / 2) / size);
    sum += at(i + r + 1);
    sum -= at(i - r);
  }
}

// Box widths whose three passes together have the variance of sigma.
void BoxRadii(double sigma, int32_t radii[3]) noexcept {
  const double ideal = std::sqrt(12.0 * sigma * sigma / 3.0 + 1.0);
  int32_t lower = static_cast<int32_t>(std::floor(ideal));
  if (lower % 2 == 0) --lower;
  const int32_t upper = lower + 2;
  const double m =
      (12.0 * sigma * sigma - 3.0 * lower * lower - 12.0 * lower - 9.0) / (-4.0 * lower - 4.0);
  const int32_t lowerCount = static_cast<int32_t>(std::lround(m));
  for (int32_t i = 0; i < 3; ++i) radii[i] = ((i < lowerCount ? lower : upper) - 1) / 2;
}

}  // namespace

bool GaussianBlurPlane(const uint8_t* src, int32_t width, int32_t height, uint8_t* dst,
                       double radius) noexcept {
  if (!ValidPlane(src, width, height) || !dst || src == dst) return false;
  if (!(radius > 0.0)) radius = 0.0;
  const double sigma = radius / 3.0;
  try {
    if (sigma <= 8.0) {
      const cv::Mat in(height, width, CV_8UC1, const_cast<uint8_t*>(src), size_t(width));
      cv::Mat out(height, width, CV_8UC1, dst, size_t(width));
      if (sigma < 0.05) {
        in.copyTo(out);
      } else {
        const int k = 2 * static_cast<int>(std::ceil(3.0 * sigma)) + 1;
        cv::GaussianBlur(in, out, cv::Size(k, k), sigma, sigma, cv::BORDER_REPLICATE);
      }
      return out.data == dst;
    }
    int32_t radii[3];
    BoxRadii(sigma, radii);
    Buffer<uint8_t> line = Buffer<uint8_t>::Make(size_t(std::max(width, height)));
    std::memcpy(dst, src, size_t(width) * size_t(height));
    for (int32_t pass = 0; pass < 3; ++pass) {
      for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = dst + int64_t{y} * width;
        std::memcpy(line.data(), row, size_t(width));
        BoxLine(line.data(), row, width, 1, radii[pass]);
      }
      for (int32_t x = 0; x < width; ++x) {
        for (int32_t y = 0; y < height; ++y) line[size_t(y)] = dst[int64_t{y} * width + x];
        BoxLine(line.data(), dst + x, height, width, radii[pass]);
      }
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace dro::platform::image
