// Fills and colour selections of the image library (image_fill.h): plain
// loops over the caller's rows; the flood fill is a scanline fill over a
// selection plane, which is also how it tells filled pixels from pixels
// that merely match.
#include "platform/image_fill.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "base/allocation.h"
#include "base/numeric.h"

namespace dro::platform::image {
namespace {

__extension__ typedef unsigned __int128 Wide;

bool ValidPicture(const void* pixels, int32_t width, int32_t height, int32_t bpp,
                  int32_t stride) noexcept {
  return pixels && width >= 0 && height >= 0 && (bpp == 1 || bpp == 3 || bpp == 4) &&
         stride >= int64_t{width} * bpp;
}

bool ValidPlane(const uint8_t* plane, int32_t width, int32_t planeStride) noexcept {
  return plane && planeStride >= width;
}

template <int Bpp>
ByteColor ColorOf(const uint8_t* p) noexcept {
  if constexpr (Bpp == 1) return ByteColor{p[0], p[0], p[0], 0};
  if constexpr (Bpp == 3) return ByteColor{p[0], p[1], p[2], 0};
  if constexpr (Bpp == 4) return ByteColor{p[0], p[1], p[2], p[3]};
}

void Put(uint8_t* p, int32_t bpp, ByteColor c, AlphaWrite alpha) noexcept {
  p[0] = c.r;
  if (bpp == 1) return;
  p[1] = c.g;
  p[2] = c.b;
  if (bpp == 4 && alpha == AlphaWrite::kWrite) p[3] = c.a;
}

// Dispatches to a body compiled for each pixel size.
template <class Body>
void ForBpp(int32_t bpp, Body&& body) {
  if (bpp == 1) {
    body.template operator()<1>();
  } else if (bpp == 3) {
    body.template operator()<3>();
  } else {
    body.template operator()<4>();
  }
}

// Lays the colour over columns x0..x1 (inclusive, on the picture) of a row.
void FillSpan(uint8_t* row, int32_t bpp, int64_t x0, int64_t x1, ByteColor color,
              double opacity) noexcept {
  const uint8_t src[4] = {color.r, color.g, color.b, color.a};
  uint8_t* p = row + x0 * bpp;
  if (opacity >= 1.0) {
    for (int64_t x = x0; x <= x1; ++x, p += bpp) std::memcpy(p, src, static_cast<size_t>(bpp));
    return;
  }
  for (int64_t x = x0; x <= x1; ++x, p += bpp) {
    for (int32_t c = 0; c < bpp; ++c) {
      p[c] = TruncToByte(p[c] + (src[c] - p[c]) * opacity + 0.5);  // rounded
    }
  }
}

// Pending work of the scanline fill: row y lies next to a filled run of
// row y - dy that covers columns x0..x1; scan those columns of row y for
// pixels still to fill.
struct PendingSpan {
  int32_t y;
  int32_t x0;
  int32_t x1;
  int32_t dy;  // +1 or -1
};

// A stack of pending spans on the heap, grown by doubling. Every span it
// ever holds comes from a distinct filled run (at most three per run, and
// a picture has fewer runs than pixels), so it stays bounded by the
// picture.
class SpanStack {
 public:
  void Push(PendingSpan s) {
    if (size_ == items_.size()) Grow();
    items_[size_++] = s;
  }
  bool Pop(PendingSpan& s) noexcept {
    if (size_ == 0) return false;
    s = items_[--size_];
    return true;
  }

 private:
  void Grow() {
    Buffer<PendingSpan> bigger = Buffer<PendingSpan>::Make(std::max<size_t>(1024, size_ * 2));
    if (size_) std::memcpy(bigger.data(), items_.data(), size_ * sizeof(PendingSpan));
    items_ = std::move(bigger);
  }
  Buffer<PendingSpan> items_;
  size_t size_ = 0;
};

void ClearPlane(uint8_t* plane, int32_t width, int32_t height, int32_t planeStride) noexcept {
  for (int32_t y = 0; y < height; ++y)
    std::memset(plane + int64_t{y} * planeStride, 0, static_cast<size_t>(width));
}

template <int Bpp>
void MarkConnected(const uint8_t* pixels, int32_t width, int32_t height, int32_t stride, int32_t sx,
                   int32_t sy, int32_t tolerance, uint8_t* plane, int32_t planeStride) {
  ClearPlane(plane, width, height, planeStride);
  const ByteColor reference = ColorOf<Bpp>(pixels + int64_t{sy} * stride + int64_t{sx} * Bpp);
  if (tolerance < 0) return;  // not even the seed matches
  const int32_t limit = tolerance;
  SpanStack pending;

  // Whether column x of a row still has to be filled.
  auto open = [reference, limit](const uint8_t* row, const uint8_t* marks, int32_t x) {
    return !marks[x] && ColorDistance(ColorOf<Bpp>(row + int64_t{x} * Bpp), reference) <= limit;
  };
  auto schedule = [&](int32_t y, int32_t x0, int32_t x1, int32_t dy) {
    if (y >= 0 && y < height && x0 <= x1) pending.Push({y, x0, x1, dy});
  };
  // Fills the run through (x, y), which is open and was reached from row
  // y - dy over columns x0..x1, and schedules its neighbours: the row
  // beyond over the whole run, the row it came from only where the run
  // reaches past x0..x1 (the rest of that row is the run it came from).
  // Returns the run's last column.
  auto fillRun = [&](int32_t y, int32_t x, int32_t x0, int32_t x1, int32_t dy) {
    const uint8_t* row = pixels + int64_t{y} * stride;
    uint8_t* marks = plane + int64_t{y} * planeStride;
    int32_t first = x, last = x;
    while (first > 0 && open(row, marks, first - 1)) --first;
    while (last + 1 < width && open(row, marks, last + 1)) ++last;
    std::memset(marks + first, 1, static_cast<size_t>(last - first + 1));
    schedule(y + dy, first, last, dy);
    schedule(y - dy, first, std::min(x0 - 1, last), -dy);
    schedule(y - dy, std::max(x1 + 1, first), last, -dy);
    return last;
  };

  // The seed's run came from no row: an empty range past every column
  // makes both of its neighbours scanned in full.
  constexpr int32_t kNowhere = std::numeric_limits<int32_t>::max();
  fillRun(sy, sx, kNowhere, kNowhere - 1, 1);

  PendingSpan span;
  while (pending.Pop(span)) {
    const uint8_t* row = pixels + int64_t{span.y} * stride;
    const uint8_t* marks = plane + int64_t{span.y} * planeStride;
    for (int32_t x = span.x0; x <= span.x1; ++x) {
      // The column after a run is either closed or already filled.
      if (open(row, marks, x)) x = fillRun(span.y, x, span.x0, span.x1, span.dy) + 1;
    }
  }
}

}  // namespace

bool FillTransparentRect(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                         int32_t stride, int64_t left, int64_t top, int64_t right, int64_t bottom,
                         ByteColor color, double opacity) noexcept {
  if (!ValidPicture(pixels, width, height, bytesPerPixel, stride)) return false;
  if (!(opacity >= 0.0 && opacity <= 1.0)) return false;
  const int64_t x0 = std::max<int64_t>(left, 0), x1 = std::min<int64_t>(right, width - 1);
  const int64_t y0 = std::max<int64_t>(top, 0), y1 = std::min<int64_t>(bottom, height - 1);
  for (int64_t y = y0; y <= y1 && x0 <= x1; ++y)
    FillSpan(pixels + y * stride, bytesPerPixel, x0, x1, color, opacity);
  return true;
}

bool FillEllipse(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                 int32_t stride, int64_t cx, int64_t cy, int64_t rx, int64_t ry, ByteColor color,
                 double opacity) noexcept {
  constexpr int64_t kMaxRadius = int64_t{1} << 31;
  if (!ValidPicture(pixels, width, height, bytesPerPixel, stride)) return false;
  if (!(opacity >= 0.0 && opacity <= 1.0)) return false;
  if (rx < 0 || ry < 0 || rx > kMaxRadius || ry > kMaxRadius) return false;
  // A centre this far out cannot reach a picture of 32-bit size; bounding
  // it keeps every sum below 64 bits.
  constexpr int64_t kFar = int64_t{1} << 40;
  if (cx < -kFar || cx > kFar || cy < -kFar || cy > kFar) return true;

  const int64_t y0 = std::max<int64_t>(cy - ry, 0), y1 = std::min<int64_t>(cy + ry, height - 1);
  const Wide rx2 = Wide(rx) * Wide(rx), ry2 = Wide(ry) * Wide(ry);
  for (int64_t y = y0; y <= y1; ++y) {
    const int64_t dy = y > cy ? y - cy : cy - y;  // 0..ry
    // Half width: the largest dx with dx^2 ry^2 <= rx^2 (ry^2 - dy^2).
    int64_t half;
    if (ry == 0) {
      half = rx;
    } else if (rx == 0) {
      half = 0;
    } else {
      const Wide limit = rx2 * (ry2 - Wide(dy) * Wide(dy));
      // (ry - dy)(ry + dy) keeps the estimate accurate near the poles; the
      // exact test then corrects it by a step or two.
      const double estimate =
          static_cast<double>(rx) *
          std::sqrt(static_cast<double>(ry - dy) * static_cast<double>(ry + dy)) /
          static_cast<double>(ry);
      // Saturating at 2^31 - 1 costs at most one step of the correction.
      half = std::clamp<int64_t>(SaturateToInt32(estimate), 0, rx);
      while (half < rx && Wide(half + 1) * Wide(half + 1) * ry2 <= limit) ++half;
      while (half > 0 && Wide(half) * Wide(half) * ry2 > limit) --half;
    }
    const int64_t x0 = std::max<int64_t>(cx - half, 0);
    const int64_t x1 = std::min<int64_t>(cx + half, width - 1);
    if (x0 <= x1) FillSpan(pixels + y * stride, bytesPerPixel, x0, x1, color, opacity);
  }
  return true;
}

bool ReplaceColor(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                  int32_t stride, ByteColor key, ByteColor fill, int32_t tolerance,
                  AlphaWrite alpha) noexcept {
  if (!ValidPicture(pixels, width, height, bytesPerPixel, stride)) return false;
  ForBpp(bytesPerPixel, [&]<int Bpp>() {
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* p = pixels + int64_t{y} * stride;
      for (int32_t x = 0; x < width; ++x, p += Bpp) {
        if (ColorDistance(ColorOf<Bpp>(p), key) <= tolerance) Put(p, Bpp, fill, alpha);
      }
    }
  });
  return true;
}

bool MarkColorMatches(const uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                      int32_t stride, ByteColor key, int32_t tolerance, uint8_t* plane,
                      int32_t planeStride) noexcept {
  if (!ValidPicture(pixels, width, height, bytesPerPixel, stride) ||
      !ValidPlane(plane, width, planeStride))
    return false;
  ForBpp(bytesPerPixel, [&]<int Bpp>() {
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* p = pixels + int64_t{y} * stride;
      uint8_t* marks = plane + int64_t{y} * planeStride;
      for (int32_t x = 0; x < width; ++x, p += Bpp)
        marks[x] = ColorDistance(ColorOf<Bpp>(p), key) <= tolerance;
    }
  });
  return true;
}

bool MarkConnectedMatches(const uint8_t* pixels, int32_t width, int32_t height,
                          int32_t bytesPerPixel, int32_t stride, int64_t x, int64_t y,
                          int32_t tolerance, uint8_t* plane, int32_t planeStride) noexcept {
  if (!ValidPicture(pixels, width, height, bytesPerPixel, stride) ||
      !ValidPlane(plane, width, planeStride))
    return false;
  if (x < 0 || y < 0 || x >= width || y >= height) return false;
  try {
    ForBpp(bytesPerPixel, [&]<int Bpp>() {
      MarkConnected<Bpp>(pixels, width, height, stride, static_cast<int32_t>(x),
                         static_cast<int32_t>(y), tolerance, plane, planeStride);
    });
    return true;
  } catch (...) {
    return false;  // the pending spans could not grow
  }
}

bool FloodFill(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
               int32_t stride, int64_t x, int64_t y, ByteColor fill, int32_t tolerance,
               AlphaWrite alpha) noexcept {
  if (!ValidPicture(pixels, width, height, bytesPerPixel, stride)) return false;
  if (x < 0 || y < 0 || x >= width || y >= height) return false;
  try {
    Buffer<uint8_t> plane = Buffer<uint8_t>::Make(CheckedCount(width, height));
    if (!MarkConnectedMatches(pixels, width, height, bytesPerPixel, stride, x, y, tolerance,
                              plane.data(), width))
      return false;
    for (int32_t row = 0; row < height; ++row) {
      uint8_t* p = pixels + int64_t{row} * stride;
      const uint8_t* marks = plane.data() + int64_t{row} * width;
      for (int32_t col = 0; col < width; ++col) {
        if (marks[col]) Put(p + int64_t{col} * bytesPerPixel, bytesPerPixel, fill, alpha);
      }
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace dro::platform::image
