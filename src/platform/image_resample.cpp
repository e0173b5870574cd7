// Resampling and blur through OpenCV. The caller's buffers are wrapped in
// cv::Mat headers (no copies); OpenCV writes straight into the destination.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>

#include "platform/image_library.h"

namespace dro::platform::image {
namespace {

// 8-bit channels for 1, 3 and 4 bytes per pixel; 16-bit ones for the
// Mask16 (2) and Pixel64 (8) rows.
int MatType(int32_t bytesPerPixel) noexcept {
  switch (bytesPerPixel) {
    case 1:
      return CV_8UC1;
    case 2:
      return CV_16UC1;
    case 3:
      return CV_8UC3;
    case 4:
      return CV_8UC4;
    case 8:
      return CV_16UC4;
    default:
      return -1;
  }
}

bool Valid(const void* p, int32_t w, int32_t h, int32_t stride, int32_t bpp) noexcept {
  return p && w > 0 && h > 0 && stride >= int64_t{w} * bpp &&
         stride % (bpp == 8 || bpp == 2 ? 2 : 1) == 0;
}

bool Resample(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride,
              uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
              int32_t bytesPerPixel, int interpolation) noexcept {
  const int type = MatType(bytesPerPixel);
  if (type < 0 || !Valid(src, srcWidth, srcHeight, srcStride, bytesPerPixel) ||
      !Valid(dst, dstWidth, dstHeight, dstStride, bytesPerPixel))
    return false;
  try {
    const cv::Mat in(srcHeight, srcWidth, type, const_cast<uint8_t*>(src), size_t(srcStride));
    cv::Mat out(dstHeight, dstWidth, type, dst, size_t(dstStride));
    if (srcWidth == dstWidth && srcHeight == dstHeight) {
      in.copyTo(out);
    } else {
      cv::resize(in, out, out.size(), 0, 0, interpolation);
    }
    return out.data == dst;  // written into the caller's block, not a new one
  } catch (...) {
    return false;
  }
}

}  // namespace

bool ResizeImage(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride,
                 uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                 int32_t bytesPerPixel, int32_t) noexcept {
  return Resample(src, srcWidth, srcHeight, srcStride, dst, dstWidth, dstHeight, dstStride,
                  bytesPerPixel, cv::INTER_LINEAR);
}

bool DecimateImage(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride,
                   uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                   int32_t bytesPerPixel, int32_t) noexcept {
  return Resample(src, srcWidth, srcHeight, srcStride, dst, dstWidth, dstHeight, dstStride,
                  bytesPerPixel, cv::INTER_AREA);
}

bool BlurImage(const uint8_t* src, int32_t width, int32_t height, int32_t stride, uint8_t* dst,
               int32_t dstStride, int32_t strength) noexcept {
  if (!Valid(src, width, height, stride, 1) || !Valid(dst, width, height, dstStride, 1))
    return false;
  try {
    // Strength 1..100 gives a Gaussian of radius 1..4 pixels (kernel 3..9).
    const int radius = 1 + (std::clamp(strength, 1, 100) - 1) / 25;
    const cv::Mat in(height, width, CV_8UC1, const_cast<uint8_t*>(src), size_t(stride));
    cv::Mat out(height, width, CV_8UC1, dst, size_t(dstStride));
    cv::GaussianBlur(in, out, cv::Size(2 * radius + 1, 2 * radius + 1), 0, 0, cv::BORDER_REPLICATE);
    return out.data == dst;
  } catch (...) {
    return false;
  }
}

}  // namespace dro::platform::image
