// Block operations of the image library: deflate, overlay, channel swaps and
// splits, grey conversion and the 3D spline. Plain loops: each is one pass
// over memory and needs nothing a library would add.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/image_internal.h"
#include "platform/image_library.h"

namespace dro::platform::image {
namespace {

bool ValidBytesPerPixel(int32_t bpp) noexcept {
  return bpp == 1 || bpp == 2 || bpp == 3 || bpp == 4 || bpp == 8;
}

bool ValidBlock(const void* pixels, int32_t width, int32_t height, int32_t bpp,
                int32_t stride) noexcept {
  return pixels && width >= 0 && height >= 0 && ValidBytesPerPixel(bpp) &&
         stride >= int64_t{width} * bpp;
}

// Straight-alpha "over" of one source pixel onto one destination pixel,
// channels of `T` (8 or 16 bits), colour first, alpha last. `sa` is the
// source alpha already scaled by the opacity, on the channel's scale.
template <class T>
void AlphaOver(T* d, const T* s, uint64_t sa) noexcept {
  constexpr uint64_t kMax = sizeof(T) == 1 ? 255 : 65535;
  if (sa == 0) return;
  if (sa == kMax) {
    std::memcpy(d, s, 4 * sizeof(T));
    d[3] = static_cast<T>(kMax);
    return;
  }
  const uint64_t da = d[3];
  const uint64_t inv = kMax - sa;
  const uint64_t outA = sa * kMax + da * inv;  // on kMax^2
  for (int c = 0; c < 3; ++c)
    d[c] = static_cast<T>((s[c] * sa * kMax + d[c] * da * inv + outA / 2) / outA);
  d[3] = static_cast<T>((outA + kMax / 2) / kMax);
}

}  // namespace

bool Deflate(const uint8_t* data, size_t size, Buffer<uint8_t>& out) noexcept {
  if (!data && size) return false;
  try {
    uLongf capacity = compressBound(static_cast<uLong>(size));
    Buffer<uint8_t> packed = Buffer<uint8_t>::Make(capacity);
    if (compress2(packed.data(), &capacity, data, static_cast<uLong>(size),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
      return false;
    // Give back a block of the exact size, so the caller can hand it on.
    Buffer<uint8_t> exact = Buffer<uint8_t>::Make(capacity);
    std::memcpy(exact.data(), packed.data(), capacity);
    out = std::move(exact);
    return true;
  } catch (...) {
    return false;
  }
}

size_t DeflateBound(size_t size) noexcept {
  return compressBound(static_cast<uLong>(size));
}

bool DeflateInto(const uint8_t* data, size_t size, uint8_t* out, size_t capacity, size_t& written,
                 int32_t level) noexcept {
  if ((!data && size) || !out || level < -1 || level > 9) return false;
  uLongf length = static_cast<uLongf>(capacity);
  // compress2 reports Z_BUF_ERROR, without writing past `capacity`, when
  // the result would not fit.
  if (compress2(out, &length, data, static_cast<uLong>(size), level) != Z_OK) return false;
  written = length;
  return true;
}

bool Inflate(const uint8_t* data, size_t size, uint8_t* out, size_t capacity,
             size_t& written) noexcept {
  if (!data || !size || (!out && capacity)) return false;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  // zlib counts in 32-bit pieces; feed it in slices so any size works.
  constexpr size_t kSlice = 1u << 30;
  size_t inLeft = size, outLeft = capacity;
  int status = Z_OK;
  z.next_in = const_cast<Bytef*>(data);
  z.next_out = out;
  while (status == Z_OK) {
    if (z.avail_in == 0 && inLeft) {
      z.avail_in = static_cast<uInt>(std::min(inLeft, kSlice));
      inLeft -= z.avail_in;
    }
    if (z.avail_out == 0 && outLeft) {
      z.avail_out = static_cast<uInt>(std::min(outLeft, kSlice));
      outLeft -= z.avail_out;
    }
    status = inflate(&z, Z_NO_FLUSH);
    // No progress possible: the data ends early or the block is too small.
    if (status == Z_BUF_ERROR) break;
  }
  const size_t produced = capacity - outLeft - z.avail_out;
  inflateEnd(&z);
  if (status != Z_STREAM_END) return false;
  written = produced;
  return true;
}

bool OverlayImage(uint8_t* dst, int32_t width, int32_t height, int32_t bytesPerPixel,
                  int32_t stride, const uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                  int32_t srcStride, int32_t x, int32_t y, double opacity, int32_t flag) noexcept {
  if (!ValidBlock(dst, width, height, bytesPerPixel, stride) ||
      !ValidBlock(src, srcWidth, srcHeight, bytesPerPixel, srcStride))
    return false;
  if ((flag != 0 && flag != 1) || !(opacity >= 0.0)) return false;
  // The part of the source that lands inside the destination.
  const int64_t left = std::max<int64_t>(0, x), top = std::max<int64_t>(0, y);
  const int64_t right = std::min<int64_t>(width, int64_t{x} + srcWidth);
  const int64_t bottom = std::min<int64_t>(height, int64_t{y} + srcHeight);
  if (left >= right || top >= bottom) return true;  // nothing to place
  const size_t bpp = static_cast<size_t>(bytesPerPixel);
  const size_t cols = static_cast<size_t>(right - left);
  auto dstAt = [&](int64_t row) { return dst + row * stride + left * int64_t(bpp); };
  auto srcAt = [&](int64_t row) {
    return src + (row - y) * int64_t{srcStride} + (left - x) * int64_t(bpp);
  };

  const double op = std::min(opacity, 1.0);
  if (flag == 0 || (op >= 1.0 && bytesPerPixel != 4 && bytesPerPixel != 8)) {
    for (int64_t row = top; row < bottom; ++row) std::memmove(dstAt(row), srcAt(row), cols * bpp);
    return true;
  }
  if (bytesPerPixel == 4 || bytesPerPixel == 8) {
    // RGBA (8 or 16 bits per channel): the source laid over with its alpha.
    const bool wide = bytesPerPixel == 8;
    const uint64_t opacityScaled = static_cast<uint64_t>(op * 65536.0 + 0.5);
    for (int64_t row = top; row < bottom; ++row) {
      uint8_t* d = dstAt(row);
      const uint8_t* s = srcAt(row);
      for (size_t i = 0; i < cols; ++i) {
        if (wide) {
          uint16_t dp[4], sp[4];
          std::memcpy(dp, d + i * 8, 8);
          std::memcpy(sp, s + i * 8, 8);
          AlphaOver<uint16_t>(dp, sp, (sp[3] * opacityScaled + 32768) >> 16);
          std::memcpy(d + i * 8, dp, 8);
        } else {
          AlphaOver<uint8_t>(d + i * 4, s + i * 4, (s[i * 4 + 3] * opacityScaled + 32768) >> 16);
        }
      }
    }
    return true;
  }
  // Pixels without alpha: mixed by the opacity alone, channel by channel.
  const uint32_t w = static_cast<uint32_t>(op * 65536.0 + 0.5);
  for (int64_t row = top; row < bottom; ++row) {
    uint8_t* d = dstAt(row);
    const uint8_t* s = srcAt(row);
    if (bytesPerPixel == 2) {
      for (size_t i = 0; i < cols; ++i) {
        uint16_t dv, sv;
        std::memcpy(&dv, d + i * 2, 2);
        std::memcpy(&sv, s + i * 2, 2);
        dv = static_cast<uint16_t>((uint64_t{sv} * w + uint64_t{dv} * (65536 - w) + 32768) >> 16);
        std::memcpy(d + i * 2, &dv, 2);
      }
    } else {
      for (size_t i = 0; i < cols * bpp; ++i)
        d[i] = static_cast<uint8_t>((s[i] * w + d[i] * (65536 - w) + 32768) >> 16);
    }
  }
  return true;
}

void RgbaToBgra(uint8_t* pixels, int32_t width, int32_t height, int32_t stride) noexcept {
  if (!pixels || width <= 0 || height <= 0 || stride < int64_t{width} * 4) return;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* p = pixels + int64_t{y} * stride;
    for (int32_t x = 0; x < width; ++x, p += 4) std::swap(p[0], p[2]);
  }
}

bool RgbToRgba(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride, uint8_t* dst,
               int32_t dstStride, uint8_t alpha) noexcept {
  if (!ValidBlock(src, width, height, 3, srcStride) ||
      !ValidBlock(dst, width, height, 4, dstStride))
    return false;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* s = src + int64_t{y} * srcStride;
    uint8_t* d = dst + int64_t{y} * dstStride;
    for (int32_t x = 0; x < width; ++x, s += 3, d += 4)
      d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = alpha;
  }
  return true;
}

bool SplitChannels(const uint8_t* rgba, int32_t width, int32_t height, int32_t stride,
                   uint8_t* planes[4]) noexcept {
  if (!planes || !ValidBlock(rgba, width, height, 4, stride)) return false;
  for (int c = 0; c < 4; ++c) {
    if (!planes[c]) continue;
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* s = rgba + int64_t{y} * stride + c;
      uint8_t* d = planes[c] + int64_t{y} * width;
      for (int32_t x = 0; x < width; ++x) d[x] = s[x * 4];
    }
  }
  return true;
}

bool CombineChannels(const uint8_t* const planes[4], int32_t width, int32_t height, uint8_t* rgba,
                     int32_t stride) noexcept {
  if (!planes || !ValidBlock(rgba, width, height, 4, stride)) return false;
  for (int c = 0; c < 4; ++c) {
    if (!planes[c]) continue;
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* s = planes[c] + int64_t{y} * width;
      uint8_t* d = rgba + int64_t{y} * stride + c;
      for (int32_t x = 0; x < width; ++x) d[x * 4] = s[x];
    }
  }
  return true;
}

bool ImageToGray8(const uint8_t* src, int32_t width, int32_t height, int32_t bytesPerPixel,
                  int32_t srcStride, uint8_t* gray, int32_t grayStride) noexcept {
  if (bytesPerPixel != 1 && bytesPerPixel != 3 && bytesPerPixel != 4) return false;
  if (!ValidBlock(src, width, height, bytesPerPixel, srcStride) ||
      !ValidBlock(gray, width, height, 1, grayStride))
    return false;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* s = src + int64_t{y} * srcStride;
    uint8_t* d = gray + int64_t{y} * grayStride;
    if (bytesPerPixel == 1) {
      std::memmove(d, s, static_cast<size_t>(width));
      continue;
    }
    // Rec. 601 luma in 8.8 fixed point: the weights add up to 256, so a
    // grey pixel keeps its value exactly.
    for (int32_t x = 0; x < width; ++x, s += bytesPerPixel)
      d[x] = static_cast<uint8_t>((77 * s[0] + 150 * s[1] + 29 * s[2] + 128) >> 8);
  }
  return true;
}

bool SplinePoints3D(const double* x, const double* y, const double* z, int32_t controlCount,
                    int32_t outCount, int32_t tension, double* outX, double* outY,
                    double* outZ) noexcept {
  if (!x || !y || !outX || !outY || controlCount < 2 || outCount < 2) return false;
  // Cardinal spline through every control point: the tangent at point i is
  // s * (P[i+1] - P[i-1]) / 2 with s = (100 - tension) / 50, so tension 50
  // gives the Catmull-Rom curve, 100 straight pieces, 0 a looser curve. The
  // end points take a mirrored neighbour (P[-1] = 2 P[0] - P[1]).
  const double s = (100.0 - std::clamp(tension, 0, 100)) / 50.0;
  const int32_t n = controlCount;
  auto coord = [&](const double* v, int32_t i) -> double {
    if (!v) return 0.0;
    if (i < 0) return 2 * v[0] - v[1];
    if (i >= n) return 2 * v[n - 1] - v[n - 2];
    return v[i];
  };
  for (int32_t k = 0; k < outCount; ++k) {
    const double t = static_cast<double>(k) * (n - 1) / (outCount - 1);
    const int32_t i = std::min(static_cast<int32_t>(t), n - 2);
    const double u = t - i, u2 = u * u, u3 = u2 * u;
    const double h00 = 2 * u3 - 3 * u2 + 1, h10 = u3 - 2 * u2 + u, h01 = -2 * u3 + 3 * u2,
                 h11 = u3 - u2;
    auto at = [&](const double* v) {
      const double p0 = coord(v, i), p1 = coord(v, i + 1);
      const double m0 = s * (p1 - coord(v, i - 1)) / 2, m1 = s * (coord(v, i + 2) - p0) / 2;
      return h00 * p0 + h10 * m0 + h01 * p1 + h11 * m1;
    };
    outX[k] = at(x);
    outY[k] = at(y);
    if (outZ) outZ[k] = at(z);
  }
  return true;
}

}  // namespace dro::platform::image
