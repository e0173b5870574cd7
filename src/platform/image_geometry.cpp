// Whole-picture geometry through OpenCV on the caller's buffers: the Mat
// headers wrap them without copies, and each result is checked to have
// been written into the caller's block rather than a fresh one.
#include "platform/image_geometry.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <utility>

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
    // Turned tile by tile: a whole-picture turn walks one of the two
    // pictures down its columns, a cache miss per pixel once rows are long.
    constexpr int kTile = 64;
    const int code = clockwise ? cv::ROTATE_90_CLOCKWISE : cv::ROTATE_90_COUNTERCLOCKWISE;
    for (int ty = 0; ty < height; ty += kTile) {
      for (int tx = 0; tx < width; tx += kTile) {
        const int tw = std::min(kTile, width - tx), th = std::min(kTile, height - ty);
        // Where the tile lands: clockwise (x, y) goes to (height - 1 - y, x),
        // counter-clockwise to (y, width - 1 - x).
        const cv::Rect from(tx, ty, tw, th);
        const cv::Rect to = clockwise ? cv::Rect(height - ty - th, tx, th, tw)
                                      : cv::Rect(ty, width - tx - tw, th, tw);
        cv::Mat target = out(to);
        cv::rotate(in(from), target, code);
        if (target.data != out(to).data) return false;
      }
    }
    return true;
  } catch (...) {
    return false;
  }
}

namespace {

// Turns a square of `side` pixels of type T in place in one pass: the
// pixels at (x, y), (side - 1 - y, x), (side - 1 - x, side - 1 - y) and
// (y, side - 1 - x) trade places in a ring. Starting points cover one
// quadrant, walked in 32 x 32 tiles so the four tiles each ring touches
// stay in the cache together.
template <class T>
void TurnSquare(uint8_t* pixels, int32_t side, int32_t stride, bool clockwise) noexcept {
  constexpr int32_t kTile = 32;
  const int32_t n = side - 1;
  const auto at = [&](int32_t x, int32_t y) -> T& {
    return reinterpret_cast<T*>(pixels + int64_t{y} * stride)[x];
  };
  const int32_t xs = (side + 1) / 2, ys = side / 2;
  for (int32_t by = 0; by < ys; by += kTile) {
    for (int32_t bx = 0; bx < xs; bx += kTile) {
      const int32_t yEnd = std::min(ys, by + kTile), xEnd = std::min(xs, bx + kTile);
      for (int32_t y = by; y < yEnd; ++y) {
        for (int32_t x = bx; x < xEnd; ++x) {
          T& p0 = at(x, y);
          T& p1 = at(n - y, x);
          T& p2 = at(n - x, n - y);
          T& p3 = at(y, n - x);
          const T t0 = p0;
          if (clockwise) {
            p0 = p3, p3 = p2, p2 = p1, p1 = t0;
          } else {
            p0 = p1, p1 = p2, p2 = p3, p3 = t0;
          }
        }
      }
    }
  }
}

}  // namespace

bool QuarterTurnSquareInPlace(uint8_t* pixels, int32_t side, int32_t stride, int32_t bytesPerPixel,
                              bool clockwise) noexcept {
  if (MatType(bytesPerPixel) < 0 || !Valid(pixels, side, side, stride, bytesPerPixel) ||
      stride % bytesPerPixel != 0)
    return false;
  if (bytesPerPixel == 8) {
    TurnSquare<uint64_t>(pixels, side, stride, clockwise);
  } else {
    TurnSquare<uint32_t>(pixels, side, stride, clockwise);
  }
  return true;
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
