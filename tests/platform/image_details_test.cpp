// The detail seam: neighbourhood filters against a brute-force reference,
// the noise distributions, the tiler, Canny's threshold order and the
// generator styles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/effect_script_generators.h"
#include "platform/image_details.h"

namespace {

namespace img = dro::platform::image;
using Bytes = std::vector<uint8_t>;

Bytes Seeded(size_t n, uint32_t seed) {
  Bytes b(n);
  for (uint8_t& v : b) v = uint8_t((seed = seed * 214013u + 2531011u) >> 16);
  return b;
}

TEST(ImageDetails, RankFiltersMatchABruteForceNeighbourhood) {
  const int32_t w = 21, h = 14, bpp = 4;
  const Bytes src = Seeded(size_t(w) * h * bpp, 3);
  struct Case {
    img::Neighbourhood kind;
    int32_t radius;
  } cases[] = {{img::Neighbourhood::kMaximum, 1},  {img::Neighbourhood::kMinimum, 2},
               {img::Neighbourhood::kMedian, 1},   {img::Neighbourhood::kMedian, 3},
               {img::Neighbourhood::kMidpoint, 2}, {img::Neighbourhood::kArithmeticMean, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.kind) * 10 + c.radius);
    Bytes dst(src.size());
    ASSERT_TRUE(img::NeighbourhoodFilter(src.data(), w, h, dst.data(), bpp, w * bpp, w * bpp,
                                         c.radius, c.kind, 15));
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        for (int32_t k = 0; k < bpp; ++k) {
          std::vector<int> v;
          for (int32_t j = -c.radius; j <= c.radius; ++j)
            for (int32_t i = -c.radius; i <= c.radius; ++i) {
              const int32_t xx = std::clamp(x + i, 0, w - 1), yy = std::clamp(y + j, 0, h - 1);
              v.push_back(src[(size_t(yy) * w + xx) * bpp + k]);
            }
          std::sort(v.begin(), v.end());
          int expected = v[v.size() / 2];
          if (c.kind == img::Neighbourhood::kMaximum) expected = v.back();
          if (c.kind == img::Neighbourhood::kMinimum) expected = v.front();
          if (c.kind == img::Neighbourhood::kMidpoint) expected = (v.front() + v.back() + 1) / 2;
          ASSERT_EQ(dst[(size_t(y) * w + x) * bpp + k], expected) << x << "," << y << "," << k;
        }
  }
}

TEST(ImageDetails, MeansKeepFlatAreasAndOrderHarmonicGeometricArithmetic) {
  const int32_t w = 16, h = 12;
  Bytes flat(size_t(w) * h * 3, 77), out(flat.size());
  for (auto kind : {img::Neighbourhood::kArithmeticMean, img::Neighbourhood::kGeometricMean,
                    img::Neighbourhood::kHarmonicMean}) {
    ASSERT_TRUE(
        img::NeighbourhoodFilter(flat.data(), w, h, out.data(), 3, w * 3, w * 3, 2, kind, 15));
    EXPECT_EQ(out, flat);
  }
  const Bytes src = Seeded(flat.size(), 9);
  Bytes a(src.size()), g(src.size()), hm(src.size());
  img::NeighbourhoodFilter(src.data(), w, h, a.data(), 3, w * 3, w * 3, 2,
                           img::Neighbourhood::kArithmeticMean, 15);
  img::NeighbourhoodFilter(src.data(), w, h, g.data(), 3, w * 3, w * 3, 2,
                           img::Neighbourhood::kGeometricMean, 15);
  img::NeighbourhoodFilter(src.data(), w, h, hm.data(), 3, w * 3, w * 3, 2,
                           img::Neighbourhood::kHarmonicMean, 15);
  int strict = 0;
  for (size_t i = 0; i < src.size(); ++i) {
    ASSERT_LE(hm[i], g[i] + 1);
    ASSERT_LE(g[i], a[i] + 1);
    strict += hm[i] + 4 < a[i];
  }
  EXPECT_GT(strict, int(src.size() / 2));  // the means do differ on noise
}

TEST(ImageDetails, NoiseKindsHaveZeroMeanAndTheAskedDeviation) {
  const int32_t w = 256, h = 256;
  for (auto kind : {img::NoiseKind::kGaussian, img::NoiseKind::kUniform,
                    img::NoiseKind::kNegativeExponential, img::NoiseKind::kRayleigh}) {
    SCOPED_TRACE(int(kind));
    Bytes px(size_t(w) * h * 4, 128);
    ASSERT_TRUE(img::AddNoise(px.data(), w, h, 4, w * 4, kind, 2000, 0, 11, 7));
    double sum = 0, squares = 0;
    for (size_t i = 0; i < px.size(); i += 4) {
      ASSERT_EQ(px[i + 3], 128);  // alpha untouched with channels 7
      for (int c = 0; c < 3; ++c) sum += px[i + c], squares += double(px[i + c]) * px[i + c];
    }
    const double n = double(w) * h * 3, mean = sum / n;
    EXPECT_NEAR(mean, 128.0, 0.5);
    EXPECT_NEAR(std::sqrt(squares / n - mean * mean), 20.0, 0.6);
    Bytes again(size_t(w) * h * 4, 128);
    img::AddNoise(again.data(), w, h, 4, w * 4, kind, 2000, 0, 11, 7);
    EXPECT_EQ(again, px);
  }
  // Monochrome: one draw for the three colour channels.
  Bytes mono(64 * 4, 100);
  ASSERT_TRUE(img::AddNoise(mono.data(), 8, 8, 4, 32, img::NoiseKind::kUniform, 3000, 1, 5, 7));
  for (size_t i = 0; i < mono.size(); i += 4) {
    EXPECT_EQ(mono[i], mono[i + 1]);
    EXPECT_EQ(mono[i], mono[i + 2]);
  }
}

TEST(ImageDetails, TilerRepeatsTheTileAndRefusesAnEmptyOne) {
  const Bytes tile = Seeded(3 * 2 * 4, 5);
  Bytes out(44 * 4 + 40, 0xEE);  // a stride of 11 pixels, the gap kept
  ASSERT_TRUE(img::TileImage(out.data(), 10, 5, 44, tile.data(), 3, 2, 12, 4));
  for (int32_t y = 0; y < 5; ++y) {
    for (int32_t x = 0; x < 10; ++x)
      for (int k = 0; k < 4; ++k)
        ASSERT_EQ(out[size_t(y) * 44 + x * 4 + k], tile[size_t(y % 2) * 12 + (x % 3) * 4 + k]);
    if (y < 4) {
      for (int k = 40; k < 44; ++k) ASSERT_EQ(out[size_t(y) * 44 + k], 0xEE);
    }
  }
  EXPECT_FALSE(img::TileImage(out.data(), 10, 5, 44, tile.data(), 0, 2, 12, 4));
  EXPECT_FALSE(img::TileImage(out.data(), 10, 5, 44, tile.data(), 3, 0, 12, 4));
}

TEST(ImageDetails, CannyThresholdsAreTakenInEitherOrder) {
  const int32_t w = 40, h = 30;
  Bytes grey(size_t(w) * h, 20);
  for (int32_t y = 8; y < 22; ++y)
    for (int32_t x = 10; x < 30; ++x) grey[size_t(y) * w + x] = 220;
  Bytes a(grey.size()), b(grey.size());
  ASSERT_TRUE(img::CannyEdges(grey.data(), w, h, w, a.data(), w, 1.0, 0.1, 0.4));
  ASSERT_TRUE(img::CannyEdges(grey.data(), w, h, w, b.data(), w, 1.0, 0.4, 0.1));
  EXPECT_EQ(a, b);
  EXPECT_EQ(a[size_t(15) * w + 10] | a[size_t(15) * w + 9], 255);  // the left edge is found
  EXPECT_EQ(a[size_t(15) * w + 20], 0);                            // flat inside
}

TEST(ImageDetails, InkStylesLayShapesOnThePicture) {
  // One pixel of picture (blue, green, red, alpha) under half-covering red
  // ink (premultiplied: 128 red, coverage 128).
  const uint8_t picture[4] = {40, 80, 120, 255};
  const uint8_t ink[4] = {0, 0, 128, 128};
  struct Case {
    int32_t style;
    uint8_t expected[4];
  } cases[] = {
      {0, {20, 40, 188, 255}},                             // over: halfway to red
      {12, {0, 0, 128, 255}},                              // on black
      {13, {127, 127, 255, 255}}, {17, {0, 0, 255, 128}},  // on transparent: the ink alone
      {6, {40, 80, 188, 255}},                             // lighten: red rises, the rest stays
      {11, {40, 80, 120, 255}},                            // behind an opaque picture: nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    uint8_t px[4] = {picture[0], picture[1], picture[2], picture[3]};
    dro::platform::effects::detail::ComposeInk(px, ink, 1, 1, c.style);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(px[k], c.expected[k], 1) << k;
  }
}

TEST(ImageDetails, UnsharpMaskSteepensBothSidesOfAnEdge) {
  // A vertical step from 50 to 200: the dark side darkens, the light side
  // lightens, flat areas far from it stay; larger amounts go further and
  // the threshold keeps small differences.
  const int32_t w = 24, h = 4;
  Bytes src(size_t(w) * h * 3);
  for (size_t i = 0; i < src.size(); ++i) src[i] = (i / 3) % w < 12 ? 50 : 200;
  auto run = [&](int32_t amount, double threshold) {
    Bytes out(src.size());
    EXPECT_TRUE(
        img::UnsharpMask(src.data(), w, h, w * 3, out.data(), w * 3, amount, 1.5, threshold));
    return out;
  };
  for (int32_t amount : {38, 250, 1000}) {
    SCOPED_TRACE(amount);
    const Bytes out = run(amount, 0.2);
    const size_t row = size_t(w) * 3;
    EXPECT_EQ(out[row + 0], 50);
    EXPECT_EQ(out[row + 3 * 23], 200);
    EXPECT_LT(out[row + 3 * 11], 50);
    EXPECT_GT(out[row + 3 * 12], 200);
    for (int32_t x = 0; x < w; ++x) ASSERT_EQ(out[row + 3 * x] <= 50, x < 12) << x;
  }
  EXPECT_LT(run(1000, 0.2)[w * 3 + 33], run(38, 0.2)[w * 3 + 33]);
  EXPECT_EQ(run(1000, 200), src);  // every difference within the threshold
}

}  // namespace
