// Blend modes: the name table, the integer steps, the float formulas pinned
// to values worked out independently in single precision, and the alpha
// family's transforms.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/cpu.h"
#include "base/types.h"
#include "composite/blend_kernels.h"
#include "composite/blend_modes.h"
#include "drovine.h"
#include "engine/engine.h"

namespace {

using dro::Pixel64;
using namespace dro::composite;

bool Same(const Pixel64& a, const Pixel64& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

::testing::AssertionResult Is(const Pixel64& p, int r, int g, int b, int a) {
  if (p.r == r && p.g == g && p.b == b && p.a == a) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got (" << p.r << ", " << p.g << ", " << p.b << ", " << p.a << "), want (" << r << ", "
         << g << ", " << b << ", " << a << ")";
}

// One pixel through the dispatcher (fast path where there is one) and
// through the reference; both must agree.
Pixel64 Blend(int mode, Pixel64 s, Pixel64 d, int opacity = 256, bool keepAlpha = false,
              const Pixel64* mask = nullptr) {
  Pixel64 viaTable = d, viaReference = d;
  const int maskMode = mask ? kModeLayerMask : 0;
  BlendLayerRect(&s, 0, 0, 1, 1, 4, mask, &viaTable, 0, 0, 4, mode, maskMode, opacity, keepAlpha);
  BlendLayerRectReference(&s, 0, 0, 1, 1, 4, mask, &viaReference, 0, 0, 4, mode, maskMode, opacity,
                          keepAlpha);
  EXPECT_TRUE(Same(viaTable, viaReference)) << "mode " << mode;
  return viaReference;
}

TEST(BlendModeTable, LookupIsExactAndCaseSensitive) {
  EXPECT_EQ(LookupBlendMode("Normal"), 0);
  EXPECT_EQ(LookupBlendMode("Multiply"), 1);
  EXPECT_EQ(LookupBlendMode("Hard Light"), 9);
  EXPECT_EQ(LookupBlendMode("Texturize3"), 19);
  EXPECT_EQ(LookupBlendMode("Alpha Filter"), 21);
  EXPECT_EQ(LookupBlendMode("Alpha Smooth Lum5"), 35);
  EXPECT_EQ(LookupBlendMode("Layer Mask"), 38);
  EXPECT_EQ(LookupBlendMode("Luminance Alpha Invert"), 40);
  // Every name maps back to its number.
  for (int m = 0; m <= kLastBlendMode; ++m) {
    if (m == kModeUnnamed) continue;
    EXPECT_EQ(LookupBlendMode(BlendModeName(m)), m) << BlendModeName(m);
  }
  EXPECT_EQ(LookupBlendMode("normal"), 0);
  EXPECT_EQ(LookupBlendMode("multiply"), 0);
  EXPECT_EQ(LookupBlendMode("Multiply "), 0);
  EXPECT_EQ(LookupBlendMode("Alpha Smooth Lum6"), 0);
  EXPECT_EQ(LookupBlendMode(""), 0);
  EXPECT_EQ(LookupBlendMode(nullptr), 0);
  EXPECT_STREQ(BlendModeName(20), "");
  EXPECT_STREQ(BlendModeName(41), "");
}

TEST(BlendSteps, SkipShortcutsAndKeepAlpha) {
  const Pixel64 d{1000, 2000, 3000, 40000};
  // Colour and texture modes leave the destination alone under alpha 0.
  for (int mode : {0, 1, 10, 13, 17, 19, 20}) {
    EXPECT_TRUE(Is(Blend(mode, Pixel64{9, 9, 9, 0}, d), 1000, 2000, 3000, 40000)) << mode;
  }
  // Onto an empty destination colour modes store the source, texture modes
  // store nothing at all.
  const Pixel64 s{11, 22, 33, 44};
  for (int mode : {0, 1, 5, 12, 13, 16}) {
    EXPECT_TRUE(Is(Blend(mode, s, Pixel64{5, 5, 5, 0}), 11, 22, 33, 44)) << mode;
  }
  for (int mode : {17, 18, 19, 28, 29}) {
    EXPECT_TRUE(Is(Blend(mode, s, Pixel64{5, 5, 5, 0}), 0, 0, 0, 0)) << mode;
  }
  // Normal with alpha 65280 or more copies the source, alpha included ...
  EXPECT_TRUE(Is(Blend(0, Pixel64{7, 8, 9, 65280}, d), 7, 8, 9, 65280));
  // ... unless the destination keeps its alpha.
  EXPECT_TRUE(Is(Blend(0, Pixel64{7, 8, 9, 65280}, d, 256, true), 7, 8, 9, 40000));
  // Reflect and Glow composite like Normal but through the float path.
  EXPECT_TRUE(Is(Blend(13, Pixel64{65535, 65535, 65535, 65535}, Pixel64{1000, 2000, 3000, 65535}),
                 65280, 65280, 65280, 65535));
  EXPECT_TRUE(Is(Blend(14, Pixel64{65535, 65535, 65535, 65535}, Pixel64{1000, 2000, 3000, 65535}),
                 65280, 65280, 65280, 65535));
  // Keep-alpha on the float path writes colour only.
  EXPECT_TRUE(Is(
      Blend(1, Pixel64{30000, 40000, 50000, 32767}, Pixel64{1000, 20000, 60000, 65535}, 256, true),
      729, 16127, 52978, 65535));
}

TEST(BlendSteps, NormalJustBelowTheShortcutComputesInFloat) {
  EXPECT_TRUE(Is(Blend(0, Pixel64{65535, 0, 0, 65279}, Pixel64{65280, 65280, 65280, 65535}), 65280,
                 255, 255, 65535));
  EXPECT_TRUE(Is(Blend(0, Pixel64{30000, 40000, 50000, 32767}, Pixel64{1000, 20000, 60000, 65535}),
                 15499, 29999, 55000, 65535));
  EXPECT_TRUE(Is(Blend(0, Pixel64{40000, 30000, 20000, 32768}, Pixel64{20000, 20000, 20000, 65535}),
                 30000, 25000, 19999, 65535));
}

TEST(BlendSteps, OpacityScalesAlphaBelow255) {
  // 254 scales by 255/256: 65535 -> 65279, no longer opaque enough to copy.
  const Pixel64 s{0, 0, 0, 65535};
  const Pixel64 d{30000, 30000, 30000, 0};
  EXPECT_EQ(Blend(0, s, d, 254).a, 65279);
  EXPECT_EQ(Blend(0, s, d, 255).a, 65535);
  EXPECT_EQ(Blend(0, s, d, 256).a, 65535);
  EXPECT_EQ(Blend(0, s, d, 0).a, 255);      // 65535 * 1 / 256
  EXPECT_EQ(Blend(0, s, d, 128).a, 33023);  // 65535 * 129 / 256
}

TEST(BlendSteps, LayerMaskScalesAlphaByItsGrey) {
  const Pixel64 s{100, 200, 300, 60000};
  const Pixel64 empty{0, 0, 0, 0};
  // grey = (10000 + 20000 + 30001) / 3 = 20000; 60000 * 20000 / 65536 = 18310.
  const Pixel64 mask{10000, 20000, 30001, 1};
  EXPECT_EQ(Blend(0, s, empty, 256, false, &mask).a, 18310);
  // A transparent mask pixel leaves alpha unchanged.
  const Pixel64 clear{10000, 20000, 30001, 0};
  EXPECT_EQ(Blend(0, s, empty, 256, false, &clear).a, 60000);
  // Mask first, then opacity: 18310 * 129 / 256 = 9226.
  EXPECT_EQ(Blend(0, s, empty, 128, false, &mask).a, 9226);
  // Without mask mode 38 the mask pixels are not consulted.
  Pixel64 d = empty;
  BlendLayerRect(&s, 0, 0, 1, 1, 4, &mask, &d, 0, 0, 4, 0, 0, 256, false);
  EXPECT_EQ(d.a, 60000);
}

TEST(BlendFormulas, MatchIndependentSinglePrecisionValues) {
  const Pixel64 s{30000, 40000, 50000, 32767};
  const Pixel64 d{1000, 20000, 60000, 65535};
  EXPECT_TRUE(Is(Blend(kModeMultiply, s, d), 729, 16127, 52978, 65535));
  EXPECT_TRUE(
      Is(Blend(kModeMultiply, Pixel64{65280, 30000, 0, 65535}, Pixel64{40000, 40000, 40000, 30000}),
         53707, 24681, 0, 65535));
  EXPECT_TRUE(Is(Blend(kModeScreen, s, d), 15769, 33872, 62022, 65535));
  EXPECT_TRUE(Is(Blend(kModeDifference, Pixel64{30000, 40000, 50000, 40000},
                       Pixel64{1000, 20000, 60000, 50000}),
                 19988, 23188, 32752, 59481));
  EXPECT_TRUE(Is(Blend(kModeOverlay, s, d), 959, 22254, 61404, 65535));
  EXPECT_TRUE(Is(Blend(kModeSoftLight, Pixel64{10000, 40000, 60000, 50000},
                       Pixel64{1000, 30000, 60000, 65535}),
                 478, 32452, 61652, 65535));
  EXPECT_TRUE(Is(
      Blend(kModeSoftLight, Pixel64{60000, 60000, 60000, 65535}, Pixel64{4000, 8000, 50000, 65535}),
      11899, 19883, 55977, 65535));
  EXPECT_TRUE(Is(Blend(kModeDodge, s, d), 1425, 35822, 62639, 65535));
  EXPECT_TRUE(Is(Blend(kModeBurn, s, d), 500, 10000, 59193, 65535));
  // A black source channel over a bright one burns through a division by 0:
  // the infinite result clamps to full.
  EXPECT_TRUE(Is(Blend(kModeBurn, Pixel64{0, 100, 65535, 40000}, Pixel64{65535, 65535, 100, 65535}),
                 65280, 65280, 254, 65535));
  EXPECT_TRUE(Is(Blend(kModeTexturize2, Pixel64{60000, 60000, 60000, 65535},
                       Pixel64{30000, 20000, 10000, 65535}),
                 65280, 65280, 57879, 65535));
  EXPECT_TRUE(Is(Blend(kModeTexturize2, Pixel64{10000, 10000, 10000, 32767},
                       Pixel64{30000, 20000, 10000, 40000}),
                 16695, 311, 0, 40000));
  EXPECT_TRUE(Is(Blend(kModeTexturize, Pixel64{60000, 50000, 40000, 65535},
                       Pixel64{30000, 20000, 10000, 65535}),
                 38259, 28259, 18259, 65535));
}

TEST(BlendFormulas, AddSumsAlphaAndClamps) {
  EXPECT_TRUE(
      Is(Blend(kModeAdd, Pixel64{65280, 65280, 65280, 65535}, Pixel64{65280, 65280, 65280, 65535}),
         65280, 65280, 65280, 65535));
  EXPECT_TRUE(
      Is(Blend(kModeAdd, Pixel64{20000, 30000, 40000, 30000}, Pixel64{10000, 10000, 10000, 30000}),
         15000, 20000, 25000, 60000));
}

TEST(BlendFormulas, NegationAndExclusionShareOneFormula) {
  const Pixel64 s{12345, 40000, 65535, 30000};
  const Pixel64 d{50000, 1000, 30000, 50000};
  const Pixel64 a = Blend(kModeNegation, s, d);
  EXPECT_TRUE(Same(a, Blend(kModeExclusion, s, d)));
  EXPECT_FALSE(Same(a, Blend(kModeNormal, s, d)));
}

TEST(BlendFormulas, Texturize3KeepsTheDestination) {
  const Pixel64 d{13056, 26112, 39168, 65535};  // multiples of 65280 / 5
  EXPECT_TRUE(Is(Blend(kModeTexturize3, Pixel64{1, 2, 3, 65535}, d), 13056, 26112, 39168, 65535));
  // Over a half-covered destination the colour survives the round trip
  // through premultiplication only approximately.
  const Pixel64 half =
      Blend(kModeTexturize3, Pixel64{1, 2, 3, 65535}, Pixel64{13056, 26112, 39168, 30000});
  EXPECT_EQ(half.a, 30000);
  EXPECT_NEAR(half.r, 13056, 1);
}

int32_t AlphaOf(int mode, int r, int g, int b, int a) {
  dro::composite::blend::AlphaFamilyTransform(mode, r, g, b, a);
  return a;
}

struct Transformed {
  int r, g, b, a, formula;
};
Transformed Transform(int mode, int r, int g, int b, int a) {
  const int formula = dro::composite::blend::AlphaFamilyTransform(mode, r, g, b, a);
  return Transformed{r, g, b, a, formula};
}

TEST(AlphaFamily, AlphaRulesOfEachMode) {
  EXPECT_EQ(AlphaOf(kModeAlphaFilter, 1, 2, 3, 0), 65535);
  EXPECT_EQ(AlphaOf(kModeAlphaOutlineTint1, 0, 0, 0, 5000), 60535);
  EXPECT_EQ(AlphaOf(kModeAlphaOutlineTint1, 0, 0, 0, 12287), 12287);
  EXPECT_EQ(AlphaOf(kModeAlphaOutlineTint1, 0, 0, 0, 0), 0);
  EXPECT_EQ(AlphaOf(kModeAlphaOutlineTint2, 0, 0, 0, 20000), 32767);
  EXPECT_EQ(AlphaOf(kModeAlphaOutlineTint2, 0, 0, 0, 12286), 53249);
  EXPECT_EQ(AlphaOf(kModeAlphaInvert, 0, 0, 0, 1), 65534);
  EXPECT_EQ(AlphaOf(kModeAlphaInvert, 0, 0, 0, 0), 0);
  EXPECT_EQ(AlphaOf(kModeAlphaSmooth, 0, 0, 0, 30000), 18932);  // 30000 - 4 * 2767
  EXPECT_EQ(AlphaOf(kModeAlphaSmooth, 0, 0, 0, 5000), 0);
  EXPECT_EQ(AlphaOf(kModeAlphaSmooth, 0, 0, 0, 32767), 65535);
  EXPECT_EQ(AlphaOf(kModeAlphaHighlight, 0, 0, 0, 32513), 0);
  EXPECT_EQ(AlphaOf(kModeAlphaHighlight, 0, 0, 0, 32512), 32512);
  EXPECT_EQ(AlphaOf(kModeLayerMask, 9, 9, 9, 65535), 0);
  // Alpha step and ramp.
  EXPECT_EQ(AlphaOf(kModeAlphaSmoothLum, 0, 0, 0, 8190), 0);
  EXPECT_EQ(AlphaOf(kModeAlphaSmoothLum, 0, 0, 0, 8191), 65535);
  EXPECT_EQ(AlphaOf(kModeAlphaSmoothLum4, 0, 0, 0, 8192), 63);
  EXPECT_EQ(AlphaOf(kModeAlphaSmoothLum4, 0, 0, 0, 8191), 0);  // 65535 - min(65536, 65535)
  EXPECT_EQ(AlphaOf(kModeAlphaSmoothLum5, 0, 0, 0, 9214), 65471);
  EXPECT_EQ(AlphaOf(kModeAlphaSmoothLum5, 0, 0, 0, 9215), 65535);
  EXPECT_EQ(AlphaOf(kModeAlphaSmoothLum5, 0, 0, 0, 0), 0);
}

TEST(AlphaFamily, ColorRulesOfEachMode) {
  Transformed t = Transform(kModeAlphaBlackOutline, 5, 6, 7, 100);
  EXPECT_EQ(t.r + t.g + t.b, 0);
  EXPECT_EQ(t.a, 65535);
  t = Transform(kModeAlphaOverlayOutline, 5, 6, 7, 65280);  // opaque: unchanged
  EXPECT_EQ(t.r, 5);
  EXPECT_EQ(t.a, 65280);
  t = Transform(kModeAlphaShader, 5, 6, 7, 1234);
  EXPECT_TRUE(t.r == 1234 && t.g == 1234 && t.b == 1234 && t.a == 65535);
  // Shade by 2N: above the middle brighten by 2 (A - 32767), capped ...
  t = Transform(kModeAlphaShaderColor, 1000, 60000, 0, 40000);
  EXPECT_TRUE(t.r == 15466 && t.g == 65535 && t.b == 14466 && t.a == 65535);
  EXPECT_EQ(t.formula, kModeNormal);
  // ... below it darken by 2N, floored.
  t = Transform(kModeAlphaShaderTexture2, 30000, 20000, 65535, 20000);
  EXPECT_TRUE(t.r == 4466 && t.g == 0 && t.b == 40001 && t.a == 65535);
  EXPECT_EQ(t.formula, kModeTexturize2);
  t = Transform(kModeAlphaHighlightTexture2, 30000, 20000, 10000, 30000);
  EXPECT_TRUE(t.r == 30000 && t.a == 24466);
  EXPECT_EQ(t.formula, kModeTexturize2);
  t = Transform(kModeLuminanceAlpha, 100, 200, 301, 7);
  EXPECT_TRUE(t.r == 65535 && t.g == 65535 && t.b == 65535 && t.a == 200);
  t = Transform(kModeLuminanceAlphaInvert, 100, 200, 301, 7);
  EXPECT_TRUE(t.r == 0 && t.g == 0 && t.b == 0 && t.a == 65335);
  // Lum-scale: darkening by N / q, in double precision, truncated.
  t = Transform(kModeAlphaSmoothLum, 40000, 0, 65535, 16383);
  EXPECT_TRUE(t.r == 19999 && t.g == 0 && t.b == 32766);
  t = Transform(kModeAlphaSmoothLum2, 40000, 0, 65535, 16383);
  EXPECT_TRUE(t.r == 29999 && t.b == 49151);
}

TEST(AlphaFamily, BrighteningAndDarkeningSaturate) {
  // At A = 65535 the brightening factor is 32768 / 32767: black would land
  // on 65537 and wrap to 1 in 16 bits.
  Transformed t = Transform(kModeAlphaSmoothLum, 0, 100, 65535, 65535);
  EXPECT_TRUE(t.r == 65535 && t.g == 65535 && t.b == 65535) << t.r << " " << t.g;
  t = Transform(kModeAlphaSmoothLum5, 0, 0, 0, 65535);
  EXPECT_EQ(t.r, 65535);
  t = Transform(kModeAlphaSmoothLum3, 0, 0, 0, 65535);  // 65535 * 28673 / 28672
  EXPECT_EQ(t.r, 65535);
  // Below A = 6862 the Lum3 and Lum4 darkening factor passes 1 and the
  // result would go negative.
  t = Transform(kModeAlphaSmoothLum3, 30000, 65535, 1, 0);
  EXPECT_TRUE(t.r == 0 && t.g == 0 && t.b == 0);
  t = Transform(kModeAlphaSmoothLum4, 30000, 0, 0, 6000);  // 30000 - 30000 * 30862 / 30000
  EXPECT_EQ(t.r, 0);
  t = Transform(kModeAlphaSmoothLum3, 30000, 0, 0, 6862);  // factor exactly 1
  EXPECT_EQ(t.r, 0);
  t = Transform(kModeAlphaSmoothLum3, 30000, 0, 0, 20000);  // 30000 - 30000 * 16862 / 30000
  EXPECT_EQ(t.r, 13138);
}

TEST(AlphaFamily, ProcessesTransparentSourcePixels) {
  // Alpha Filter turns a transparent source opaque white.
  EXPECT_TRUE(Is(Blend(kModeAlphaFilter, Pixel64{1, 2, 3, 0}, Pixel64{9, 9, 9, 0}), 65535, 65535,
                 65535, 65535));
  EXPECT_TRUE(Is(Blend(kModeAlphaFilter, Pixel64{1, 2, 3, 0}, Pixel64{9, 9, 9, 65535}), 65280,
                 65280, 65280, 65535));
  // A "Layer Mask" layer shows nothing of itself: alpha 0 composites to the
  // destination's own straight colour.
  EXPECT_TRUE(Is(Blend(kModeLayerMask, Pixel64{65535, 0, 0, 65535}, Pixel64{0, 0, 0, 65535}), 0, 0,
                 0, 65535));
  // Opacity is applied before the transform.
  EXPECT_EQ(Blend(kModeAlphaInvert, Pixel64{0, 0, 0, 65535}, Pixel64{0, 0, 0, 0}, 128).a, 32512);
}

TEST(BlendRect, StridesOffsetsAndMaskAddressing) {
  // A 3 x 2 source rectangle at (1, 1) of a 5-wide buffer lands at (2, 0) of
  // a 6-wide destination; the layer mask is read at source coordinates.
  std::vector<Pixel64> src(5 * 3, Pixel64{0, 0, 0, 0}), mask(5 * 3, Pixel64{0, 0, 0, 0});
  std::vector<Pixel64> dst(6 * 2, Pixel64{1, 1, 1, 0});
  for (int y = 1; y < 3; ++y) {
    for (int x = 1; x < 4; ++x) {
      src[y * 5 + x] = Pixel64{uint16_t(x), uint16_t(y), 7, 65535};
      mask[y * 5 + x] = Pixel64{65535, 65535, 65535, 65535};
    }
  }
  mask[1 * 5 + 2] = Pixel64{0, 0, 0, 65535};  // masks source (2, 1) fully
  BlendLayerRect(src.data(), 1, 1, 3, 2, 5 * 4, mask.data(), dst.data(), 2, 0, 6 * 4, 0, 38, 256,
                 false);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 6; ++x) {
      const Pixel64& p = dst[y * 6 + x];
      if (x < 2 || x > 4) {
        EXPECT_TRUE(Is(p, 1, 1, 1, 0)) << x << "," << y;
      } else if (x == 3 && y == 0) {
        EXPECT_TRUE(Is(p, 2, 1, 7, 0));  // alpha masked away, colour stored
      } else {
        EXPECT_TRUE(Is(p, x - 1, y + 1, 7, 65534)) << x << "," << y;  // 65535 * 65535 / 65536
      }
    }
  }
}

TEST(BlendRect, RGBA32PicturesWidenByShifting) {
  DRO_CreateImage(nullptr, 3, 2, 8, 5);
  const uint8_t rgba[3 * 2 * 4] = {255, 128, 1, 255, 0, 0, 0, 0,   10, 20, 30, 255,
                                   1,   2,   3, 0,   4, 5, 6, 255, 7,  8,  9,  128};
  std::vector<Pixel64> dst(6, Pixel64{500, 500, 500, 0});
  dst[1] = Pixel64{100, 200, 300, 400};
  BlendRgba32IntoLayer(rgba, dst.data(), kModeNormal, 0, 255, false);
  EXPECT_TRUE(Is(dst[0], 65280, 32768, 256, 65280));
  EXPECT_TRUE(Is(dst[1], 100, 200, 300, 400));  // transparent: untouched
  EXPECT_TRUE(Is(dst[2], 2560, 5120, 7680, 65280));
  EXPECT_TRUE(Is(dst[3], 500, 500, 500, 0));
  EXPECT_TRUE(Is(dst[5], 1792, 2048, 2304, 32768));
  DRO_DeleteImage();
}

TEST(BlendRect, FastPathsCanBeSwitchedOff) {
  SetFastPathsEnabled(false);
  for (int m = 0; m <= kLastBlendMode; ++m) EXPECT_FALSE(FastPathActive(m));
  const Pixel64 p = Blend(kModeSoftLight, Pixel64{10000, 40000, 60000, 50000},
                          Pixel64{1000, 30000, 60000, 65535});
  EXPECT_TRUE(Is(p, 478, 32452, 61652, 65535));
  SetFastPathsEnabled(dro::cpu::FastPathsAllowed());
}

}  // namespace
