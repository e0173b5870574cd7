// Clipping rectangles to an area: one helper and one convention for every
// caller.
//
// Clipped rectangles are half-open: columns x0 <= x < x1, rows y0 <= y < y1.
// A caller whose rectangle is inclusive (the undo store's, a host's corner
// pair) converts at its own edge with width = x1 - x0 + 1. Everything is
// 64-bit, so x + w cannot overflow for any pair of 32-bit inputs, and a
// negative or zero extent gives an empty result.
#pragma once

#include <algorithm>
#include <cstdint>

namespace dro {

struct ClippedRect {
  int64_t x0 = 0;
  int64_t y0 = 0;
  int64_t x1 = 0;  // exclusive
  int64_t y1 = 0;  // exclusive

  bool empty() const noexcept { return x0 >= x1 || y0 >= y1; }
  int64_t width() const noexcept { return x1 - x0; }
  int64_t height() const noexcept { return y1 - y0; }
};

// [start, start + length) cut to [0, limit).
struct ClippedSpan {
  int64_t begin = 0;
  int64_t end = 0;
  bool empty() const noexcept { return begin >= end; }
};

constexpr ClippedSpan ClipSpan(int64_t start, int64_t length, int64_t limit) noexcept {
  return ClippedSpan{std::max<int64_t>(start, 0), std::min<int64_t>(start + length, limit)};
}

// The rectangle at (x, y) of w x h cut to [0, width) x [0, height).
constexpr ClippedRect ClipRect(int64_t x, int64_t y, int64_t w, int64_t h, int64_t width,
                               int64_t height) noexcept {
  const ClippedSpan cols = ClipSpan(x, w, width);
  const ClippedSpan rows = ClipSpan(y, h, height);
  return ClippedRect{cols.begin, rows.begin, cols.end, rows.end};
}

}  // namespace dro
