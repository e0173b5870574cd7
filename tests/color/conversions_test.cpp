// Colour-space conversions (exact truncating formulas, round trips) and the
// two buffer adjusts.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "color/conversions.h"
#include "drovine.h"

namespace {

using namespace dro::color;

struct Rgb {
  int32_t r, g, b;
};

Rgb FromHsv(double h, double s, double v) {
  Rgb c{};
  HsvToRgb(h, s, v, c.r, c.g, c.b);
  return c;
}

Rgb FromHsl(double h, double s, double l) {
  Rgb c{};
  HslToRgb(h, s, l, c.r, c.g, c.b);
  return c;
}

void ExpectRgb(const Rgb& c, int32_t r, int32_t g, int32_t b) {
  EXPECT_EQ(c.r, r);
  EXPECT_EQ(c.g, g);
  EXPECT_EQ(c.b, b);
}

// Every channel came back equal or one step lower (each step truncates).
void ExpectAtMostOneLower(const Rgb& back, int32_t r, int32_t g, int32_t b) {
  EXPECT_TRUE(back.r == r || back.r == r - 1) << r << " -> " << back.r;
  EXPECT_TRUE(back.g == g || back.g == g - 1) << g << " -> " << back.g;
  EXPECT_TRUE(back.b == b || back.b == b - 1) << b << " -> " << back.b;
}

TEST(Hsv, PrimariesGreyAndSectors) {
  double h, s, v;
  RgbToHsv(255, 0, 0, h, s, v);
  EXPECT_EQ(h, 0.0);
  EXPECT_EQ(s, 1.0);
  EXPECT_EQ(v, 1.0);
  RgbToHsv(128, 128, 128, h, s, v);
  EXPECT_EQ(h, -1.0);
  EXPECT_EQ(s, 0.0);
  EXPECT_DOUBLE_EQ(v, 128.0 / 255.0);
  RgbToHsv(0, 0, 255, h, s, v);
  EXPECT_DOUBLE_EQ(h, 240.0);
  // Magenta: red ties with blue as the maximum, red's case wins and wraps.
  RgbToHsv(255, 0, 255, h, s, v);
  EXPECT_DOUBLE_EQ(h, 300.0);

  ExpectRgb(FromHsv(360, 1, 1), 255, 0, 0);
  ExpectRgb(FromHsv(0, 1, 1), 255, 0, 0);
  // p = 0.25 and v = 0.5 truncate to 63 and 127.
  ExpectRgb(FromHsv(120, 0.5, 0.5), 63, 127, 63);
  ExpectRgb(FromHsv(123, 0, 0.5), 127, 127, 127);
  // A hue past 360 lands outside sectors 0..5 and paints as sector 1.
  ExpectRgb(FromHsv(400, 1, 1), 84, 255, 0);
}

TEST(Hsl, BlackWhiteAndPrimaries) {
  double h, s, l;
  RgbToHsl(0, 0, 0, h, s, l);
  EXPECT_EQ(h, 0.0);
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(l, 0.0);
  RgbToHsl(128, 128, 128, h, s, l);
  EXPECT_EQ(h, 0.0);  // grey has hue 0 in HSL, not -1
  RgbToHsl(0, 255, 0, h, s, l);
  EXPECT_DOUBLE_EQ(h, 120.0);
  EXPECT_DOUBLE_EQ(s, 1.0);
  EXPECT_DOUBLE_EQ(l, 0.5);
  RgbToHsl(64, 0, 0, h, s, l);
  EXPECT_DOUBLE_EQ(s, 1.0);  // below half lightness: delta / (max + min)
  RgbToHsl(255, 128, 128, h, s, l);
  EXPECT_NEAR(s, 127.0 / 255.0 / (2.0 - 1.0 - 128.0 / 255.0), 1e-15);

  ExpectRgb(FromHsl(0, 0, 1), 255, 255, 255);
  ExpectRgb(FromHsl(0, 1, 0.5), 255, 0, 0);
  ExpectRgb(FromHsl(120, 1, 0.5), 0, 255, 0);
  ExpectRgb(FromHsl(240, 1, 0.5), 0, 0, 255);
}

TEST(HsvAndHsl, RoundTripsComeBackAtMostOneLower) {
  for (int32_t r = 0; r < 256; r += 17) {
    for (int32_t g = 0; g < 256; g += 15) {
      for (int32_t b = 0; b < 256; b += 51) {
        double x, y, z;
        RgbToHsv(r, g, b, x, y, z);
        ExpectAtMostOneLower(FromHsv(x, y, z), r, g, b);
        RgbToHsl(r, g, b, x, y, z);
        ExpectAtMostOneLower(FromHsl(x, y, z), r, g, b);
      }
    }
  }
}

TEST(Lab, WhiteAndBlackAndRoundTrip) {
  double x, y, z, l, a, bs;
  RgbToXyz(255, 255, 255, x, y, z);
  EXPECT_NEAR(x, 95.05, 1e-9);
  EXPECT_NEAR(y, 100.0, 1e-9);
  EXPECT_NEAR(z, 108.9, 1e-9);
  XyzToLab(x, y, z, l, a, bs);
  EXPECT_NEAR(l, 100.0, 1e-9);
  EXPECT_LT(std::fabs(a), 0.02);
  EXPECT_LT(std::fabs(bs), 0.02);

  RgbToXyz(0, 0, 0, x, y, z);
  EXPECT_EQ(x + y + z, 0.0);
  XyzToLab(x, y, z, l, a, bs);
  EXPECT_NEAR(l, 0.0, 1e-9);

  // The linear segment below 0.04045: 10 / 255 / 12.92 x 100.
  RgbToXyz(10, 10, 10, x, y, z);
  EXPECT_NEAR(y, 10.0 / 255.0 / 12.92 * 100.0, 1e-12);

  Rgb back{};
  for (int32_t r = 0; r < 256; r += 51) {
    for (int32_t g = 0; g < 256; g += 85) {
      for (int32_t b = 0; b < 256; b += 17) {
        RgbToXyz(r, g, b, x, y, z);
        XyzToLab(x, y, z, l, a, bs);
        LabToRgb(l, a, bs, back.r, back.g, back.b);
        ExpectAtMostOneLower(back, r, g, b);
      }
    }
  }
}

TEST(Lab, InverseClampsNegativesAndOutOfGamut) {
  double x, y, z;
  LabToXyz(0, -500, 500, x, y, z);
  EXPECT_GE(x, 0.0);
  EXPECT_GE(z, 0.0);
  Rgb c{};
  XyzToRgb(500, 500, 500, c.r, c.g, c.b);
  ExpectRgb(c, 255, 255, 255);
  XyzToRgb(0, 50, 0, c.r, c.g, c.b);
  EXPECT_EQ(c.r, 0);  // -1.5372 x 0.5 is negative: clamped, not wrapped
  EXPECT_EQ(c.b, 0);
  EXPECT_GT(c.g, 200);
}

TEST(Cmyk, BlackWhiteAndRoundTrip) {
  double c, m, y, k;
  CmyToCmyk(1, 1, 1, c, m, y, k);
  EXPECT_EQ(c, 0.0);
  EXPECT_EQ(m, 0.0);
  EXPECT_EQ(y, 0.0);
  EXPECT_EQ(k, 1.0);
  CmyToCmyk(0.5, 0.75, 1, c, m, y, k);
  EXPECT_DOUBLE_EQ(k, 0.5);
  EXPECT_DOUBLE_EQ(c, 0.0);
  EXPECT_DOUBLE_EQ(m, 0.5);
  EXPECT_DOUBLE_EQ(y, 1.0);

  Rgb rgb{};
  CmykToRgb(0, 0, 0, 0, rgb.r, rgb.g, rgb.b);
  ExpectRgb(rgb, 255, 255, 255);
  CmykToRgb(0, 0, 0, 1, rgb.r, rgb.g, rgb.b);
  ExpectRgb(rgb, 0, 0, 0);
  for (int32_t r = 0; r < 256; r += 15) {
    for (int32_t g = 0; g < 256; g += 51) {
      for (int32_t b = 0; b < 256; b += 85) {
        CmyToCmyk(1 - r / 255.0, 1 - g / 255.0, 1 - b / 255.0, c, m, y, k);
        CmykToRgb(c, m, y, k, rgb.r, rgb.g, rgb.b);
        ExpectAtMostOneLower(rgb, r, g, b);
      }
    }
  }
}

std::vector<uint8_t> Pixels(std::initializer_list<std::array<uint8_t, 4>> list) {
  std::vector<uint8_t> out;
  for (const auto& p : list) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(BufferAdjust, HslShiftsHueAndTintsGrey) {
  auto px = Pixels({{255, 0, 0, 9}, {128, 128, 128, 200}});
  EXPECT_EQ(DRO_ProcessBuffer_HSLAdjust(px.data(), 2, 1, 120, 0, 0), 2);
  EXPECT_EQ(px, Pixels({{0, 255, 0, 9}, {128, 128, 128, 200}}));

  // Grey has hue 0 in HSL: +50 % saturation paints it in the shifted hue.
  px = Pixels({{128, 128, 128, 7}});
  DRO_ProcessBuffer_HSLAdjust(px.data(), 1, 1, 200, 50, 0);
  EXPECT_EQ(px, Pixels({{64, 149, 191, 7}}));

  // Lightness clamps at 1.
  px = Pixels({{10, 200, 30, 1}});
  DRO_ProcessBuffer_HSLAdjust(px.data(), 1, 1, 0, 0, 100);
  EXPECT_EQ(px, Pixels({{255, 255, 255, 1}}));
}

TEST(BufferAdjust, HsvKeepsGreyGreyAndKeepsAHueOfExactly360) {
  auto px = Pixels({{128, 128, 128, 3}, {0, 0, 255, 4}});
  DRO_ProcessBuffer_HSVAdjust(px.data(), 2, 1, 120, 80, 0);
  // Blue (240) + 120 is exactly 360, which stays and paints as red.
  EXPECT_EQ(px, Pixels({{128, 128, 128, 3}, {255, 0, 0, 4}}));

  px = Pixels({{200, 100, 50, 5}});
  DRO_ProcessBuffer_HSVAdjust(px.data(), 1, 1, 0, -100, -100);
  EXPECT_EQ(px, Pixels({{0, 0, 0, 5}}));

  // A null buffer is ignored.
  EXPECT_EQ(DRO_ProcessBuffer_HSVAdjust(nullptr, 4, 4, 1, 1, 1), 4);
}

// The table-driven Lab shift gives the plain conversions' channels for
// seeded colours, the greys and every shift size the filters use.
TEST(LabShift, MatchesThePlainConversions) {
  uint32_t seed = 99;
  auto next = [&] {
    seed = seed * 214013u + 2531011u;
    return int32_t((seed >> 16) & 255);
  };
  for (const std::array<double, 3> d :
       {std::array<double, 3>{0, 0, 0}, {-100, 0, 0}, {100, 100, -100}, {37.5, -12.25, 60}}) {
    const LabShift shift(d[0], d[1], d[2]);
    for (int32_t i = 0; i < 20000; ++i) {
      const int32_t r = i < 256 ? i : next(), g = i < 256 ? i : next(), b = i < 256 ? i : next();
      double x, y, z, l, a, bs;
      RgbToXyz(r, g, b, x, y, z);
      XyzToLab(x, y, z, l, a, bs);
      std::array<int32_t, 3> want, got;
      LabToRgb(l + d[0], a + d[1], bs + d[2], want[0], want[1], want[2]);
      shift.Apply(r, g, b, got[0], got[1], got[2]);
      ASSERT_EQ(got, want) << r << " " << g << " " << b << " shift " << d[0];
    }
  }
}

}  // namespace
