// Fills and colour selections of the image seam, each against a plain
// per-pixel reference on random small pictures: selections against a
// breadth-first search, the ellipse against its inequality in 128 bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>
#include <vector>

#include "base/allocation.h"
#include "platform/image_fill.h"

namespace {

namespace img = dro::platform::image;
using Bytes = std::vector<uint8_t>;
__extension__ typedef __int128 Wide;

struct Picture {
  int32_t w, h, bpp, stride;
  Bytes px;
  uint8_t* at(int x, int y) { return &px[size_t(y) * stride + size_t(x) * bpp]; }
  img::ByteColor color(int x, int y) {
    const uint8_t* p = at(x, y);
    return bpp == 1 ? img::ByteColor{p[0], p[0], p[0], 0}
                    : img::ByteColor{p[0], p[1], p[2], uint8_t(bpp == 4 ? p[3] : 0)};
  }
};

// A picture drawn from a small palette (so regions form), with padding
// after every row.
Picture RandomPicture(std::mt19937& rng, int32_t bpp) {
  Picture p{int32_t(rng() % 24 + 1), int32_t(rng() % 24 + 1), bpp, 0, {}};
  p.stride = p.w * bpp + int32_t(rng() % 5);
  p.px.resize(size_t(p.stride) * p.h);
  Bytes palette(12);
  for (uint8_t& c : palette) c = uint8_t(rng());
  const int colours = int(rng() % 4 + 1);
  for (uint8_t& b : p.px) b = uint8_t(rng());  // padding and alpha stay random
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) {
      const int k = int(rng() % colours);
      for (int c = 0; c < std::min(bpp, 3); ++c) p.at(x, y)[c] = palette[k * 3 + c];
    }
  return p;
}

// The reference selection: breadth-first search over 4-neighbours.
Bytes SearchRegion(Picture& p, int sx, int sy, int32_t tolerance) {
  Bytes marks(size_t(p.w) * p.h, 0);
  const img::ByteColor seed = p.color(sx, sy);
  if (tolerance < 0) return marks;
  std::deque<std::pair<int, int>> queue{{sx, sy}};
  marks[size_t(sy) * p.w + sx] = 1;
  while (!queue.empty()) {
    auto [x, y] = queue.front();
    queue.pop_front();
    const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
    for (int k = 0; k < 4; ++k) {
      if (nx[k] < 0 || ny[k] < 0 || nx[k] >= p.w || ny[k] >= p.h) continue;
      uint8_t& m = marks[size_t(ny[k]) * p.w + nx[k]];
      if (!m && img::ColorDistance(p.color(nx[k], ny[k]), seed) <= tolerance) {
        m = 1;
        queue.push_back({nx[k], ny[k]});
      }
    }
  }
  return marks;
}

int32_t RandomTolerance(std::mt19937& rng) {
  const int32_t choices[] = {-1, 0, 0, 1, 300, 5000, 40000, img::kMaxColorDistance};
  return choices[rng() % 8];
}

TEST(ImageFill, SelectionsAgreeWithThePerPixelReference) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 600; ++round) {
    const int32_t bpp = int32_t("\1\3\4"[round % 3]);
    Picture p = RandomPicture(rng, bpp);
    const int sx = int(rng() % p.w), sy = int(rng() % p.h);
    const int32_t tolerance = RandomTolerance(rng);
    SCOPED_TRACE(testing::Message() << "round " << round);

    // Connected, into a plane with a stride of its own.
    const int32_t planeStride = p.w + 3;
    Bytes plane(size_t(planeStride) * p.h, 7);
    ASSERT_TRUE(img::MarkConnectedMatches(p.px.data(), p.w, p.h, bpp, p.stride, sx, sy, tolerance,
                                          plane.data(), planeStride));
    const Bytes expected = SearchRegion(p, sx, sy, tolerance);
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x)
        ASSERT_EQ(plane[size_t(y) * planeStride + x], expected[size_t(y) * p.w + x])
            << x << "," << y;
    EXPECT_EQ(plane[size_t(planeStride) - 1], 7) << "past the row";

    // Anywhere, and the replacement of the same pixels.
    const img::ByteColor key = p.color(int(rng() % p.w), int(rng() % p.h));
    ASSERT_TRUE(img::MarkColorMatches(p.px.data(), p.w, p.h, bpp, p.stride, key, tolerance,
                                      plane.data(), planeStride));
    const img::ByteColor fill{1, 2, 3, 4};
    const auto alpha = rng() % 2 ? img::AlphaWrite::kWrite : img::AlphaWrite::kKeep;
    Picture replaced = p, flooded = p;
    ASSERT_TRUE(img::ReplaceColor(replaced.px.data(), p.w, p.h, bpp, p.stride, key, fill, tolerance,
                                  alpha));
    ASSERT_TRUE(
        img::FloodFill(flooded.px.data(), p.w, p.h, bpp, p.stride, sx, sy, fill, tolerance, alpha));
    for (int y = 0; y < p.h; ++y) {
      for (int x = 0; x < p.w; ++x) {
        const bool near = img::ColorDistance(p.color(x, y), key) <= tolerance;
        ASSERT_EQ(plane[size_t(y) * planeStride + x], near);
        for (auto [result, hit] : {std::pair{&replaced, near},
                                   std::pair{&flooded, expected[size_t(y) * p.w + x] == 1}}) {
          Bytes want(p.at(x, y), p.at(x, y) + bpp);
          if (hit) {
            const uint8_t f[4] = {1, 2, 3,
                                  uint8_t(alpha == img::AlphaWrite::kWrite ? 4 : want[3 % bpp])};
            for (int c = 0; c < bpp; ++c) want[c] = f[c];
          }
          ASSERT_EQ(Bytes(result->at(x, y), result->at(x, y) + bpp), want) << x << "," << y;
        }
      }
    }
    // Padding bytes are never written.
    for (Picture* r : {&replaced, &flooded})
      for (int y = 0; y < p.h; ++y)
        for (int32_t b = p.w * bpp; b < p.stride; ++b)
          ASSERT_EQ(r->px[size_t(y) * p.stride + b], p.px[size_t(y) * p.stride + b]);
  }
}

TEST(ImageFill, ConnectedFollowsALongSerpentine) {
  // One path of width 1 winding through 257 x 257: every row holds a long
  // run and a turn, so the pending spans pile up and must grow.
  Picture p{257, 257, 1, 257, Bytes(size_t(257) * 257, 200)};
  int pathPixels = 0;
  for (int y = 0; y < p.h; y += 2) {
    for (int x = 0; x < p.w; ++x) p.at(x, y)[0] = 10;
    pathPixels += p.w;
    if (y + 1 < p.h) {
      p.at((y / 2) % 2 ? 0 : p.w - 1, y + 1)[0] = 10;
      ++pathPixels;
    }
  }
  Bytes plane(size_t(p.w) * p.h);
  ASSERT_TRUE(img::MarkConnectedMatches(p.px.data(), p.w, p.h, 1, p.stride, 0, p.h - 1, 0,
                                        plane.data(), p.w));
  EXPECT_EQ(plane, SearchRegion(p, 0, p.h - 1, 0));
  int marked = 0;
  for (uint8_t m : plane) marked += m;
  EXPECT_EQ(marked, pathPixels);

  // A flood fill whose spans cannot grow fails and leaves the picture.
  const Bytes before = p.px;
  dro::FailAllocationsAfter(1, dro::kEveryAllocation);
  EXPECT_FALSE(img::FloodFill(p.px.data(), p.w, p.h, 1, p.stride, 0, 0, {99, 0, 0, 0}, 0,
                              img::AlphaWrite::kKeep));
  dro::FailAllocationsAfter(-1, 0);
  EXPECT_EQ(p.px, before);
}

// Whether (x, y) lies in the ellipse, by the inequality itself.
bool InEllipse(int64_t x, int64_t y, int64_t cx, int64_t cy, int64_t rx, int64_t ry) {
  const Wide dx = x - cx, dy = y - cy;
  if (rx == 0 || ry == 0)
    return (rx == 0 ? dx == 0 : true) && (ry == 0 ? dy == 0 : true) && dx * dx <= Wide(rx) * rx &&
           dy * dy <= Wide(ry) * ry;
  return dx * dx * ry * ry + dy * dy * rx * rx <= Wide(rx) * rx * ry * ry;
}

TEST(ImageFill, EllipseHoldsExactlyThePixelsOfItsInequality) {
  std::mt19937 rng(77);
  struct Case {
    int64_t cx, cy, rx, ry;
  };
  std::vector<Case> cases = {
      {10, 10, 2, 2},
      {10, 10, 0, 0},
      {10, 10, 0, 5},
      {10, 10, 7, 0},
      {-3, 5, 6, 9},
      // Radii far beyond 32 bits of area: the edge still lands on the pixel.
      {int64_t{1} << 31, 8, int64_t{1} << 31, 8},
      {-(int64_t{1} << 31) + 20, (int64_t{1} << 31) + 10, int64_t{1} << 31, int64_t{1} << 31},
      {12, 2147483005, 2000000000, 2147483000},
  };
  for (int i = 0; i < 300; ++i)
    cases.push_back({int64_t(rng() % 40) - 8, int64_t(rng() % 40) - 8, int64_t(rng() % 30),
                     int64_t(rng() % 30)});
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cx << " " << c.cy << " " << c.rx << " " << c.ry);
    Picture p{25, 21, 3, 25 * 3 + 2, Bytes(size_t(25 * 3 + 2) * 21, 9)};
    ASSERT_TRUE(img::FillEllipse(p.px.data(), p.w, p.h, 3, p.stride, c.cx, c.cy, c.rx, c.ry,
                                 {200, 100, 50, 0}, 1.0));
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x)
        ASSERT_EQ(p.at(x, y)[1], InEllipse(x, y, c.cx, c.cy, c.rx, c.ry) ? 100 : 9)
            << x << "," << y;
    EXPECT_EQ(p.px[size_t(p.w) * 3], 9) << "padding";
  }
}

TEST(ImageFill, RectangleIsInclusiveAndBlendsByOpacity) {
  Picture p{6, 5, 4, 24, Bytes(size_t(24) * 5, 100)};
  ASSERT_TRUE(img::FillTransparentRect(p.px.data(), 6, 5, 4, 24, 4, 3, 9, 1, {0, 0, 0, 0}, 1.0));
  EXPECT_TRUE(std::all_of(p.px.begin(), p.px.end(), [](uint8_t b) { return b == 100; }))
      << "bottom above top: empty";
  ASSERT_TRUE(
      img::FillTransparentRect(p.px.data(), 6, 5, 4, 24, 4, -7, 9, 1, {200, 0, 255, 50}, 0.25));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool in = x >= 4 && y <= 1;
      // 100 + (new - 100) x 0.25, rounded.
      const Bytes want = in ? Bytes{125, 75, 139, 88} : Bytes{100, 100, 100, 100};
      EXPECT_EQ(Bytes(p.at(x, y), p.at(x, y) + 4), want) << x << "," << y;
    }
  Picture grey{3, 2, 1, 3, Bytes(6, 0)};
  ASSERT_TRUE(img::FillTransparentRect(grey.px.data(), 3, 2, 1, 3, 1, 1, 1, 1, {77, 1, 1, 1}, 1.0));
  EXPECT_EQ(grey.px, (Bytes{0, 0, 0, 0, 77, 0}));
}

TEST(ImageFill, BadArgumentsAreRefusedWithoutWriting) {
  Bytes px(4 * 4 * 4, 5), plane(16, 3);
  const Bytes before = px, planeBefore = plane;
  const img::ByteColor c{1, 1, 1, 1};
  const auto keep = img::AlphaWrite::kKeep;
  EXPECT_FALSE(img::FillTransparentRect(nullptr, 4, 4, 4, 16, 0, 0, 3, 3, c, 1.0));
  EXPECT_FALSE(img::FillTransparentRect(px.data(), 4, 4, 2, 16, 0, 0, 3, 3, c, 1.0));
  EXPECT_FALSE(img::FillTransparentRect(px.data(), 4, 4, 4, 15, 0, 0, 3, 3, c, 1.0));
  EXPECT_FALSE(img::FillTransparentRect(px.data(), 4, 4, 4, 16, 0, 0, 3, 3, c, std::nan("")));
  EXPECT_FALSE(img::FillTransparentRect(px.data(), 4, 4, 4, 16, 0, 0, 3, 3, c, 1.5));
  EXPECT_FALSE(img::FillEllipse(px.data(), 4, 4, 4, 16, 1, 1, -1, 2, c, 1.0));
  EXPECT_FALSE(img::FillEllipse(px.data(), 4, 4, 4, 16, 1, 1, (int64_t{1} << 31) + 1, 2, c, 1.0));
  EXPECT_FALSE(img::ReplaceColor(px.data(), 4, -1, 4, 16, c, c, 0, keep));
  for (auto [x, y] : {std::pair<int64_t, int64_t>{-1, 0}, {0, 4}, {4, 0}, {0, -1}}) {
    EXPECT_FALSE(img::FloodFill(px.data(), 4, 4, 4, 16, x, y, c, 10, keep));
    EXPECT_FALSE(img::MarkConnectedMatches(px.data(), 4, 4, 4, 16, x, y, 10, plane.data(), 4));
  }
  EXPECT_FALSE(img::MarkConnectedMatches(px.data(), 4, 4, 4, 16, 0, 0, 10, plane.data(), 3));
  EXPECT_FALSE(img::MarkColorMatches(px.data(), 4, 4, 4, 16, c, 10, nullptr, 4));
  EXPECT_EQ(px, before);
  EXPECT_EQ(plane, planeBefore);
  // Shapes that miss the picture succeed and change nothing.
  EXPECT_TRUE(img::FillEllipse(px.data(), 4, 4, 4, 16, int64_t{1} << 50, 0, 5, 5, c, 1.0));
  EXPECT_TRUE(img::FillTransparentRect(px.data(), 4, 4, 4, 16, 4, 0, 9, 3, c, 1.0));
  EXPECT_TRUE(img::FillEllipse(px.data(), 0, 0, 4, 0, 0, 0, 5, 5, c, 1.0));
  EXPECT_EQ(px, before);
}

}  // namespace
