// Seam carving (seam_carving.h). The carver never moves pixels while it
// searches: it works on three compact per-pixel arrays (the 8-bit value,
// the guide's penalty and the source column) that shrink by one column per
// removed seam, and gathers the pixels once at the end.
#include "imaging/seam_carving.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "base/allocation.h"

namespace dro::imaging {
namespace {

uint8_t Value(const Pixel64& p) noexcept {
  const uint32_t luma = (77u * p.r + 150u * p.g + 29u * p.b) >> 8;
  const uint32_t covered = static_cast<uint32_t>(uint64_t{luma} * p.a / 65535u);
  return static_cast<uint8_t>((covered + p.a) >> 9);
}

// The working state of one narrowing: rows of `stride` entries of which the
// first `width` are in use.
class Carver {
 public:
  Carver(const Pixel64* src, int32_t width, int32_t height, const Mask16* guide)
      : stride_(width), width_(width), height_(height) {
    const size_t n = CheckedCount(width, height);
    value_ = Buffer<uint8_t>::Make(n);
    column_ = Buffer<uint16_t>::Make(n);
    cost_ = Buffer<uint32_t>::Make(n);
    energy_ = Buffer<uint32_t>::Make(CheckedCount(width, 1));
    seam_ = Buffer<int32_t>::Make(CheckedCount(height, 1));
    if (guide) penalty_ = Buffer<uint16_t>::Make(n);
    for (size_t i = 0; i < n; ++i) {
      value_[i] = Value(src[i]);
      column_[i] = static_cast<uint16_t>(i % size_t(width));
      if (guide) penalty_[i] = static_cast<uint16_t>(65535 - guide[i]);
    }
  }

  int32_t width() const noexcept { return width_; }
  const uint16_t* Columns(int32_t y) const noexcept { return column_.data() + Row(y); }

  // Removes the cheapest seam; `removed(y, column)` hears each source column
  // taken out.
  template <class Removed>
  void RemoveOne(Removed&& removed) {
    Accumulate();
    Backtrack();
    for (int32_t y = 0; y < height_; ++y) {
      const int32_t x = seam_[y];
      const size_t at = Row(y) + size_t(x);
      const size_t tail = size_t(width_ - x - 1);
      removed(y, column_[at]);
      std::memmove(value_.data() + at, value_.data() + at + 1, tail);
      std::memmove(column_.data() + at, column_.data() + at + 1, tail * 2);
      if (penalty_) std::memmove(penalty_.data() + at, penalty_.data() + at + 1, tail * 2);
    }
    --width_;
  }

 private:
  size_t Row(int32_t y) const noexcept { return size_t(y) * size_t(stride_); }

  static uint32_t AbsDiff(uint8_t a, uint8_t b) noexcept { return a > b ? a - b : b - a; }

  void RowEnergy(int32_t y) noexcept {
    const int32_t w = width_;
    const uint8_t* v = value_.data() + Row(y);
    const uint8_t* up = value_.data() + Row(y > 0 ? y - 1 : y);
    const uint8_t* down = value_.data() + Row(y + 1 < height_ ? y + 1 : y);
    uint32_t* e = energy_.data();
    for (int32_t x = 1; x + 1 < w; ++x)
      e[x] = AbsDiff(v[x + 1], v[x - 1]) + AbsDiff(down[x], up[x]);
    e[0] = AbsDiff(v[w > 1 ? 1 : 0], v[0]) + AbsDiff(down[0], up[0]);
    if (w > 1) e[w - 1] = AbsDiff(v[w - 1], v[w - 2]) + AbsDiff(down[w - 1], up[w - 1]);
    if (penalty_) {
      const uint16_t* p = penalty_.data() + Row(y);
      for (int32_t x = 0; x < w; ++x) e[x] += p[x] + (uint32_t{p[x]} >> 1);
    }
  }

  // Cost of the cheapest seam from the top row to each pixel.
  void Accumulate() noexcept {
    const int32_t w = width_;
    RowEnergy(0);
    std::memcpy(cost_.data(), energy_.data(), size_t(w) * 4);
    for (int32_t y = 1; y < height_; ++y) {
      RowEnergy(y);
      const uint32_t* above = cost_.data() + Row(y - 1);
      uint32_t* here = cost_.data() + Row(y);
      const uint32_t* e = energy_.data();
      for (int32_t x = 1; x + 1 < w; ++x)
        here[x] = e[x] + std::min(std::min(above[x - 1], above[x]), above[x + 1]);
      if (w == 1) {
        here[0] = e[0] + above[0];
      } else {
        here[0] = e[0] + std::min(above[0], above[1]);
        here[w - 1] = e[w - 1] + std::min(above[w - 2], above[w - 1]);
      }
    }
  }

  // The cheapest seam, bottom up; ties go to the leftmost column.
  void Backtrack() noexcept {
    const int32_t w = width_;
    const uint32_t* last = cost_.data() + Row(height_ - 1);
    int32_t x = int32_t(std::min_element(last, last + w) - last);
    seam_[height_ - 1] = x;
    for (int32_t y = height_ - 2; y >= 0; --y) {
      const uint32_t* row = cost_.data() + Row(y);
      const int32_t lo = std::max(0, x - 1), hi = std::min(w - 1, x + 1);
      int32_t best = lo;
      for (int32_t c = lo + 1; c <= hi; ++c)
        if (row[c] < row[best]) best = c;
      x = best;
      seam_[y] = x;
    }
  }

  int32_t stride_;
  int32_t width_;
  int32_t height_;
  Buffer<uint8_t> value_;
  Buffer<uint16_t> column_;
  Buffer<uint16_t> penalty_;
  Buffer<uint32_t> cost_;
  Buffer<uint32_t> energy_;
  Buffer<int32_t> seam_;
};

uint16_t Mean(uint16_t a, uint16_t b) noexcept {
  return static_cast<uint16_t>((uint32_t{a} + b + 1) >> 1);
}

// Narrows a width x height picture by `seams` into rows of `dstStride`
// pixels.
void Narrow(const Pixel64* src, int32_t width, int32_t height, const Mask16* guide, int32_t seams,
            Pixel64* dst, int32_t dstStride) {
  Carver carver(src, width, height, guide);
  for (int32_t s = 0; s < seams; ++s) carver.RemoveOne([](int32_t, uint16_t) {});
  for (int32_t y = 0; y < height; ++y) {
    const uint16_t* columns = carver.Columns(y);
    const Pixel64* row = src + int64_t{y} * width;
    Pixel64* out = dst + int64_t{y} * dstStride;
    for (int32_t x = 0; x < carver.width(); ++x) out[x] = row[columns[x]];
  }
}

// Widens by `seams`, in rounds; the result goes into rows of `dstStride`.
void Widen(const Pixel64* src, int32_t width, int32_t height, const Mask16* guide, int32_t seams,
           Pixel64* dst, int32_t dstStride) {
  const int32_t finalWidth = width + seams;
  const size_t most = CheckedCount(finalWidth, height);
  // Two pictures (and guides) of the final size to alternate between, and
  // the marks of one round.
  Buffer<Pixel64> pictures[2] = {Buffer<Pixel64>::Make(most), Buffer<Pixel64>::Make(most)};
  Buffer<Mask16> guides[2];
  if (guide) guides[0] = Buffer<Mask16>::Make(most), guides[1] = Buffer<Mask16>::Make(most);
  Buffer<uint8_t> marked = Buffer<uint8_t>::Make(most);
  std::memcpy(pictures[0].data(), src, size_t(width) * size_t(height) * sizeof(Pixel64));
  if (guide) std::memcpy(guides[0].data(), guide, size_t(width) * size_t(height) * sizeof(Mask16));

  int32_t w = width;
  int now = 0;
  while (w < finalWidth) {
    const int32_t round = std::min(finalWidth - w, std::max(1, w / 2));
    const Pixel64* pic = pictures[now].data();
    const Mask16* gd = guide ? guides[now].data() : nullptr;
    std::memset(marked.data(), 0, size_t(w) * size_t(height));
    {
      Carver carver(pic, w, height, gd);
      for (int32_t s = 0; s < round; ++s)
        carver.RemoveOne([&](int32_t y, uint16_t column) { marked[size_t(y) * w + column] = 1; });
    }
    const int32_t wider = w + round;
    Pixel64* next = pictures[1 - now].data();
    Mask16* nextGuide = guide ? guides[1 - now].data() : nullptr;
    for (int32_t y = 0; y < height; ++y) {
      const Pixel64* in = pic + int64_t{y} * w;
      const uint8_t* mark = marked.data() + size_t(y) * w;
      Pixel64* out = next + int64_t{y} * wider;
      int32_t o = 0;
      for (int32_t x = 0; x < w; ++x) {
        out[o] = in[x];
        if (nextGuide) nextGuide[int64_t{y} * wider + o] = gd[int64_t{y} * w + x];
        ++o;
        if (mark[x]) {
          const Pixel64& a = in[x];
          const Pixel64& b = in[x + 1 < w ? x + 1 : x];
          out[o] = Pixel64{Mean(a.r, b.r), Mean(a.g, b.g), Mean(a.b, b.b), Mean(a.a, b.a)};
          if (nextGuide) nextGuide[int64_t{y} * wider + o] = gd[int64_t{y} * w + x];
          ++o;
        }
      }
    }
    w = wider;
    now = 1 - now;
  }
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(dst + int64_t{y} * dstStride, pictures[now].data() + int64_t{y} * w,
                size_t(w) * sizeof(Pixel64));
}

}  // namespace

void SeamCarve(const Pixel64* src, int32_t width, int32_t height, const Mask16* guide, Pixel64* dst,
               int32_t newWidth, int32_t newHeight) {
  // Source columns are kept in 16 bits.
  if (width > 65535 || newWidth > 65535) throw std::length_error("seam carving width");
  const size_t total = size_t(newWidth) * size_t(newHeight);
  // A layer without rows or columns has nothing to carve or widen from: the
  // new picture is empty.
  if (width <= 0 || height <= 0) {
    std::memset(static_cast<void*>(dst), 0, total * sizeof(Pixel64));
    return;
  }
  // Carved at the old height into scratch, then the rows both sizes share
  // are copied; rows beyond the old height stay zero.
  const size_t carvedCount = CheckedCount(newWidth, height);
  Buffer<Pixel64> carved = Buffer<Pixel64>::Make(carvedCount);
  if (newWidth < width) {
    Narrow(src, width, height, guide, width - newWidth, carved.data(), newWidth);
  } else if (newWidth > width) {
    Widen(src, width, height, guide, newWidth - width, carved.data(), newWidth);
  } else {
    std::memcpy(carved.data(), src, carvedCount * sizeof(Pixel64));
  }
  const int32_t rows = std::min(height, newHeight);
  const size_t kept = size_t(newWidth) * size_t(rows);
  std::memcpy(dst, carved.data(), kept * sizeof(Pixel64));
  std::memset(static_cast<void*>(dst + kept), 0, (total - kept) * sizeof(Pixel64));
}

}  // namespace dro::imaging
