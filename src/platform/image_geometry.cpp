// Whole-picture geometry through OpenCV on the caller's buffers: the Mat
// headers wrap them without copies, and each result is checked to have
// been written into the caller's block rather than a fresh one.
#include "platform/image_geometry.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace dro::platform::image {
namespace {

int MatType(int32_t bytesPerPixel) noexcept {
  return bytesPerPixel == 4 ? CV_8UC4 : (bytesPerPixel == 8 ? CV_16UC4 : -1);
}

bool Valid(const void* p, int32_t w, int32_t h, int32_t stride, int32_t bpp) noexcept {
  return p && w > 0 && h > 0 && int64_t{stride} >= int64_t{w} * bpp && stride % (bpp / 4) == 0;
}

int Interpolation(CvFilter filter) noexcept {
  switch (filter) {
    case CvFilter::kNearest:
      return cv::INTER_NEAREST;
    case CvFilter::kBilinear:
      return cv::INTER_LINEAR;
    case CvFilter::kBicubic:
      return cv::INTER_CUBIC;
    case CvFilter::kArea:
      return cv::INTER_AREA;
  }
  return -1;
}

}  // namespace

bool ResizeWithFilter(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride,
                      uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                      int32_t bytesPerPixel, CvFilter filter) noexcept {
  const int type = MatType(bytesPerPixel);
  const int interpolation = Interpolation(filter);
  if (type < 0 || interpolation < 0 || !Valid(src, srcWidth, srcHeight, srcStride, bytesPerPixel) ||
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
    return out.data == dst;
  } catch (...) {
    return false;
  }
}

bool QuarterTurn(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride, uint8_t* dst,
                 int32_t dstStride, int32_t bytesPerPixel, bool clockwise) noexcept {
  const int type = MatType(bytesPerPixel);
  if (type < 0 || !Valid(src, width, height, srcStride, bytesPerPixel) ||
      !Valid(dst, height, width, dstStride, bytesPerPixel) || src == dst)
    return false;
  try {
    const cv::Mat in(height, width, type, const_cast<uint8_t*>(src), size_t(srcStride));
    cv::Mat out(width, height, type, dst, size_t(dstStride));
    cv::rotate(in, out, clockwise ? cv::ROTATE_90_CLOCKWISE : cv::ROTATE_90_COUNTERCLOCKWISE);
    return out.data == dst;
  } catch (...) {
    return false;
  }
}

bool FlipInPlace(uint8_t* pixels, int32_t width, int32_t height, int32_t stride,
                 int32_t bytesPerPixel, bool horizontal) noexcept {
  const int type = MatType(bytesPerPixel);
  if (type < 0 || !Valid(pixels, width, height, stride, bytesPerPixel)) return false;
  try {
    // cv::flip swaps mirrored pairs (of pixels or rows), so it may work in
    // place.
    cv::Mat m(height, width, type, pixels, size_t(stride));
    cv::flip(m, m, horizontal ? 1 : 0);
    return m.data == pixels;
  } catch (...) {
    return false;
  }
}

}  // namespace dro::platform::image
