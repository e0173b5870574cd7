// Fills and colour selections of the image seam against plain per-pixel
// references on random small pictures: a breadth-first search for the
// connected selection, the inequality in 128 bits for the ellipse.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <deque>
#include <random>
#include <vector>

#include "platform/image_fill.h"

namespace {

namespace img = dro::platform::image;
using Bytes = std::vector<uint8_t>;

struct Picture {
  int32_t w, h, bpp, stride;
  Bytes px;
  uint8_t* at(int x, int y) { return &px[size_t(y) * stride + size_t(x) * bpp]; }
  img::ByteColor color(int x, int y) {
    const uint8_t* p = at(x, y);
    return bpp == 1 ? img::ByteColor{p[0], p[0], p[0], 0} : img::ByteColor{p[0], p[1], p[2], 0};
  }
};

// Up to 24 x 24 from a palette of 1..4 colours (so regions form), with
// random padding after each row.
Picture RandomPicture(std::mt19937& rng, int32_t bpp) {
  Picture p{int32_t(rng() % 24 + 1), int32_t(rng() % 24 + 1), bpp, 0, {}};
  p.stride = p.w * bpp + int32_t(rng() % 5);
  p.px.resize(size_t(p.stride) * p.h);
  for (uint8_t& b : p.px) b = uint8_t(rng());
  const uint32_t palette[4] = {uint32_t(rng()), uint32_t(rng()), uint32_t(rng()), uint32_t(rng())};
  const uint32_t colors = rng() % 4 + 1;
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x)
      for (int c = 0; c < std::min(bpp, 3); ++c)
        p.at(x, y)[c] = uint8_t(palette[rng() % colors] >> (8 * c));
  return p;
}

// Breadth-first search over 4-neighbours within the tolerance of the seed.
Bytes SearchRegion(Picture& p, int sx, int sy, int32_t tolerance) {
  Bytes marks(size_t(p.w) * p.h, 0);
  if (tolerance < 0) return marks;
  std::deque<std::pair<int, int>> queue{{sx, sy}};
  marks[size_t(sy) * p.w + sx] = 1;
  for (; !queue.empty(); queue.pop_front()) {
    const auto [x, y] = queue.front();
    for (auto [nx, ny] : {std::pair{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}}) {
      if (nx < 0 || ny < 0 || nx >= p.w || ny >= p.h || marks[size_t(ny) * p.w + nx]) continue;
      if (img::ColorDistance(p.color(nx, ny), p.color(sx, sy)) > tolerance) continue;
      marks[size_t(ny) * p.w + nx] = 1;
      queue.push_back({nx, ny});
    }
  }
  return marks;
}

TEST(ImageFill, SelectionsAndFillsAgreeWithThePerPixelReference) {
  std::mt19937 rng(1234);
  const int32_t tolerances[] = {-1, 0, 1, 300, 5000, 40000, img::kMaxColorDistance};
  for (int round = 0; round < 600; ++round) {
    Picture p = RandomPicture(rng, int32_t("\1\3\4"[round % 3]));
    const int sx = int(rng() % p.w), sy = int(rng() % p.h);
    const int32_t tolerance = tolerances[rng() % 7];
    const img::ByteColor key = p.color(int(rng() % p.w), int(rng() % p.h)), fill{1, 2, 3, 4};
    const auto alpha = round % 2 ? img::AlphaWrite::kWrite : img::AlphaWrite::kKeep;
    SCOPED_TRACE(testing::Message() << "round " << round);

    Bytes connected(size_t(p.w) * p.h), anywhere(connected.size());
    ASSERT_TRUE(img::MarkConnectedMatches(p.px.data(), p.w, p.h, p.bpp, p.stride, sx, sy, tolerance,
                                          connected.data(), p.w));
    ASSERT_TRUE(img::MarkColorMatches(p.px.data(), p.w, p.h, p.bpp, p.stride, key, tolerance,
                                      anywhere.data(), p.w));
    Picture flooded = p, replaced = p, wantFlooded = p, wantReplaced = p;
    ASSERT_TRUE(img::FloodFill(flooded.px.data(), p.w, p.h, p.bpp, p.stride, sx, sy, fill,
                               tolerance, alpha));
    ASSERT_TRUE(img::ReplaceColor(replaced.px.data(), p.w, p.h, p.bpp, p.stride, key, fill,
                                  tolerance, alpha));
    const Bytes region = SearchRegion(p, sx, sy, tolerance);
    ASSERT_EQ(connected, region);
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) {
        const bool near = img::ColorDistance(p.color(x, y), key) <= tolerance;
        ASSERT_EQ(anywhere[size_t(y) * p.w + x], near);
        const uint8_t f[4] = {1, 2, 3, uint8_t(alpha == img::AlphaWrite::kWrite ? 4 : 0)};
        for (int c = 0; c < p.bpp && (c < 3 || f[3]); ++c) {
          if (region[size_t(y) * p.w + x]) wantFlooded.at(x, y)[c] = f[c];
          if (near) wantReplaced.at(x, y)[c] = f[c];
        }
      }
    ASSERT_EQ(flooded.px, wantFlooded.px);  // padding included
    ASSERT_EQ(replaced.px, wantReplaced.px);
  }
}

TEST(ImageFill, EllipseHoldsExactlyThePixelsOfItsInequality) {
  __extension__ typedef __int128 Wide;
  std::mt19937 rng(77);
  std::vector<std::array<int64_t, 4>> cases = {
      // cx, cy, rx, ry
      {10, 10, 0, 0},
      {10, 10, 0, 5},
      {10, 10, 7, 0},
      {int64_t{1} << 31, 8, int64_t{1} << 31, 8},
      {12, 2147483005, 2000000000, 2147483000}};  // the tip of a huge ellipse
  for (int i = 0; i < 300; ++i)
    cases.push_back({int64_t(rng() % 40) - 8, int64_t(rng() % 40) - 8, int64_t(rng() % 30),
                     int64_t(rng() % 30)});
  for (const auto& [cx, cy, rx, ry] : cases) {
    Picture p{25, 21, 3, 77, Bytes(size_t(77) * 21, 9)};
    ASSERT_TRUE(img::FillEllipse(p.px.data(), 25, 21, 3, 77, cx, cy, rx, ry, {0, 100, 0, 0}, 1.0));
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) {
        const Wide dx = x - cx, dy = y - cy;
        const bool in = rx && ry ? dx * dx * ry * ry + dy * dy * rx * rx <= Wide(rx) * rx * ry * ry
                                 : dx * dx <= Wide(rx) * rx && dy * dy <= Wide(ry) * ry &&
                                       (rx || !dx) && (ry || !dy);
        ASSERT_EQ(p.at(x, y)[1], in ? 100 : 9) << cx << " " << cy << " " << rx << " " << ry;
      }
    ASSERT_EQ(p.px[75], 9) << "padding";
  }
}

TEST(ImageFill, RectangleBlendsAndBadArgumentsWriteNothing) {
  Bytes px(4 * 4 * 4, 100);
  // Columns 2..9 and rows -7..1 cut to the picture, at opacity 0.25:
  // 100 + (new - 100) / 4, rounded.
  ASSERT_TRUE(
      img::FillTransparentRect(px.data(), 4, 4, 4, 16, 2, -7, 9, 1, {200, 0, 255, 50}, 0.25));
  EXPECT_EQ(Bytes(&px[24], &px[32]), (Bytes{125, 75, 139, 88, 125, 75, 139, 88}));
  EXPECT_EQ(px[20], 100);
  EXPECT_EQ(px[2 * 16 + 8], 100);
  const Bytes before = px;
  Bytes plane(16, 3);
  const img::ByteColor c{1, 1, 1, 1};
  EXPECT_FALSE(img::FillTransparentRect(px.data(), 4, 4, 2, 16, 0, 0, 3, 3, c, 1.0));
  EXPECT_FALSE(img::FillTransparentRect(px.data(), 4, 4, 4, 15, 0, 0, 3, 3, c, 1.0));
  EXPECT_FALSE(img::FillTransparentRect(px.data(), 4, 4, 4, 16, 0, 0, 3, 3, c, std::nan("")));
  EXPECT_FALSE(img::FillEllipse(px.data(), 4, 4, 4, 16, 1, 1, (int64_t{1} << 31) + 1, 2, c, 1.0));
  for (auto [x, y] : {std::pair<int64_t, int64_t>{-1, 0}, {0, 4}, {4, 0}, {0, -1}}) {
    EXPECT_FALSE(img::FloodFill(px.data(), 4, 4, 4, 16, x, y, c, 10, img::AlphaWrite::kKeep));
    EXPECT_FALSE(img::MarkConnectedMatches(px.data(), 4, 4, 4, 16, x, y, 10, plane.data(), 4));
  }
  EXPECT_TRUE(img::FillEllipse(px.data(), 4, 4, 4, 16, int64_t{1} << 50, 0, 5, 5, c, 1.0));
  EXPECT_EQ(px, before);
  EXPECT_EQ(plane, Bytes(16, 3));
}

}  // namespace
