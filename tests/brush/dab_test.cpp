// The dab renderer: coverage, source colour, the paint paths, the mix modes,
// remix, the write rules, clipping and the mask dab.
//
// The fuzz tests of the dab's fast paths (the plain dab; the pick-up and
// mix-mode dabs) run seeded cases and pin one checksum each over the general
// path's pictures. To rerun one case alone and see its settings (from the
// build directory):
//   DROVINE_FUZZ_CASE=<n> tests/test_brush --gtest_filter=Dab.PlainFastPathMatchesTheGeneralPath
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ios>
#include <iostream>
#include <vector>

#include "base/cpu.h"
#include "brush/dab.h"
#include "brush/dab_painter.h"
#include "drovine.h"
#include "engine/engine.h"
#include "support/canvas.h"
#include "support/fuzz.h"

namespace {

using dro::engine;
using dro::Pixel64;

constexpr int32_t kW = 64;
constexpr int32_t kH = 48;
constexpr int32_t kLimit = 32;
constexpr Pixel64 kClear{0, 0, 0, 0};

class Dab : public drovine_test::CanvasTest {
 protected:
  Dab() : CanvasTest({kW, kH, kLimit}) {}
  void SetUp() override {
    DRO_SetRandomSeed(7);
    CanvasTest::SetUp();
    drovine_test::ResetDabSettings();
    DRO_SetMixMode(32, 127);
    DRO_SetAlpha(100);
    DRO_SetDensity(255);
    DRO_SetSize(5);
    // A solid 5 x 5 tip (the disc of size 5 covers every entry).
    Tool(0, 0, 0, 0, 100);
  }
  void TearDown() override {
    CanvasTest::TearDown();
    // The vary tables outlive canvases; leave none behind for other tests.
    engine().brush.pixColorVary = dro::RandomTable{};
    engine().brush.pixLumVary = dro::RandomTable{};
  }

  // DRO_SetTool with the values the tests vary.
  void Tool(int32_t gritCell, int32_t blendStrength, int32_t primary, int32_t remix,
            int32_t drawingLength) {
    DRO_SetTool(1.0f, gritCell, 128, 128, 0, 0, drawingLength, blendStrength, primary, remix, 0, 0,
                0, "", "", 0);
  }

  // Slot 2, filled, as the current layer: where dabs land without a paint
  // layer.
  void Target(Pixel64 fill) {
    MakeLayer(2, fill);
    DRO_SetLayer(2);
  }
  // The paint layer (DRO_CreatePaintLayer): no export reads its pixels or
  // its dirty rectangle back, so the tests look at them in the engine.
  static const dro::composite::LayerRecord& Paint() { return engine().layers.paint; }
  static Pixel64 Painted(int32_t x, int32_t y) {
    return engine().layers.paint.pixels[static_cast<size_t>(y) * kW + x];
  }
  // The blend buffer (L x L pixels) has no export that writes it freely.
  static Pixel64& Blend(int32_t x, int32_t y) { return engine().brush.blendBuffer[y * kLimit + x]; }
  static void FillBlend(Pixel64 p) {
    for (Pixel64& b : engine().brush.blendBuffer) b = p;
  }
};

TEST_F(Dab, PaintsTheHighByteColorIntoAnEmptyPaintLayerAndGrowsBothRectangles) {
  Target(Pixel64{0, 0, 0, 0});
  DRO_CreatePaintLayer(100, "Normal");
  EXPECT_EQ(DRO_DrawDabGrit(10, 10, 0x12FF, 0x3456, 0xFFFF), 0);
  // A 5 x 5 dab: columns and rows 8..12.
  const Pixel64 painted{0x1200, 0x3400, 0xFF00, 65534};  // alpha 65535 x 65535 / 65536
  EXPECT_EQ(Painted(8, 8), painted);
  EXPECT_EQ(Painted(12, 12), painted);
  EXPECT_EQ(Painted(13, 12), (Pixel64{0, 0, 0, 0}));
  EXPECT_EQ(Painted(8, 7), (Pixel64{0, 0, 0, 0}));
  EXPECT_EQ(At(2, 10, 10), (Pixel64{0, 0, 0, 0}));  // the layer waits for the merge
  EXPECT_EQ(Paint().left, 8);
  EXPECT_EQ(Paint().top, 8);
  EXPECT_EQ(Paint().right, 13);
  EXPECT_EQ(Paint().bottom, 13);
  const dro::IntRect& u = engine().undo.rect;
  EXPECT_EQ(u.x0, 8);
  EXPECT_EQ(u.y0, 8);
  EXPECT_EQ(u.x1, 13);
  EXPECT_EQ(u.y1, 13);
  // The colour became the current colour, whole.
  EXPECT_EQ(engine().brush.color[0], 0x12FF);
  EXPECT_EQ(engine().brush.color[2], 0xFFFF);
  EXPECT_EQ(engine().brush.color[3], 65535);
}

TEST_F(Dab, PaintsOverCoveredPixelsByTheIntegerOverFormula) {
  Target(Pixel64{0, 0, 0, 65535});
  DRO_SetAlpha(50);  // V = 65535 x 64 / 128 = 32767
  DRO_DrawDabGrit(10, 10, 0xFF00, 0xFF00, 0xFF00);
  EXPECT_EQ(At(2, 10, 10), (Pixel64{32639, 32639, 32639, 65535}));

  // Half-covered white under mid grey: mode 32 mixes, modes up to 33
  // lighten the thin layer towards the source as well.
  Fill(2, Pixel64{65280, 65280, 65280, 32768});
  DRO_DrawDabGrit(10, 10, 0x8000, 0x8000, 0x8000);
  EXPECT_EQ(At(2, 10, 10), (Pixel64{43604, 43604, 43604, 49151}));
  Fill(2, Pixel64{65280, 65280, 65280, 32768});
  DRO_SetMixMode(33, 127);
  DRO_DrawDabGrit(10, 10, 0x8000, 0x8000, 0x8000);
  EXPECT_EQ(At(2, 10, 10), (Pixel64{43560, 43560, 43560, 49151}));
}

TEST_F(Dab, LocksDecideWhatIsWritten) {
  // The background (slot 1) keeps its alpha without a paint layer.
  MakeLayer(1, Pixel64{0, 0, 0, 0});
  DRO_SetLayer(1);
  DRO_DrawDabGrit(10, 10, 0xFF00, 0, 0);
  EXPECT_EQ(At(1, 10, 10), (Pixel64{0xFF00, 0, 0, 0}));

  // So does a layer with its lock-alpha flag, or under the alpha lock.
  Target(Pixel64{0, 0, 0, 0});
  DRO_SetLayerOptions(2, 1, 1, 100, "Normal");
  DRO_DrawDabGrit(10, 10, 0xFF00, 0, 0);
  EXPECT_EQ(At(2, 10, 10).a, 0);
  DRO_SetLayerOptions(2, 1, 0, 100, "Normal");
  DRO_SetAlphaLocked(1);
  DRO_DrawDabGrit(20, 10, 0xFF00, 0, 0);
  EXPECT_EQ(At(2, 20, 10).a, 0);
  // ... but not the paint layer above it.
  DRO_CreatePaintLayer(100, "Normal");
  DRO_DrawDabGrit(30, 10, 0xFF00, 0, 0);
  EXPECT_EQ(Painted(30, 10).a, 65534);
  DRO_DeletePaintLayer();
  DRO_SetAlphaLocked(0);

  // The alpha level replaces the composite's alpha; the colour lock keeps
  // the colour.
  DRO_SetAlphaLevel(1000);
  DRO_DrawDabGrit(40, 10, 0xFF00, 0, 0);
  EXPECT_EQ(At(2, 40, 10), (Pixel64{0xFF00, 0, 0, 1000}));
  DRO_SetAlphaLevel(0);
  DRO_SetColorLocked(1);
  DRO_DrawDabGrit(50, 10, 0xFF00, 0, 0);
  EXPECT_EQ(At(2, 50, 10), (Pixel64{0, 0, 0, 65534}));
  DRO_SetColorLocked(0);

  // The blob lock leaves nearly empty pixels' alpha alone.
  DRO_SetBlobLocked(1);
  Put(2, 10, 30, Pixel64{0, 0, 0, 8191});
  Put(2, 11, 30, Pixel64{0, 0, 0, 8192});
  DRO_DrawDabGrit(10, 30, 0, 0xFF00, 0);
  EXPECT_EQ(At(2, 10, 30), (Pixel64{0, 65279, 0, 8191}));
  EXPECT_EQ(At(2, 11, 30), (Pixel64{0, 65279, 0, 65535}));
}

TEST_F(Dab, EraseOnlyLowersAlphaAndTheBlobLockKeepsBlobs) {
  Target(Pixel64{100, 200, 300, 65535});
  std::vector<Pixel64> pixels = Pixels(2);
  for (int32_t y = 8; y < 13; ++y)
    for (int32_t x = 18; x < 23; ++x) pixels[y * kW + x] = Pixel64{100, 200, 300, 0};
  SetPixels(2, pixels);
  DRO_SetEraseModeOn();
  DRO_SetAlpha(50);
  DRO_DrawDabGrit(10, 10, 0xFF00, 0xFF00, 0xFF00);
  // (65535 - 32767) x 65535 / 65536; the colour stays.
  EXPECT_EQ(At(2, 10, 10), (Pixel64{100, 200, 300, 32767}));
  EXPECT_EQ(engine().brush.eraseMode, 0);  // one dab only
  // Empty pixels gain nothing, even where the pixel colour vary lifts the
  // source's alpha.
  DRO_SetPixColorVary(200);
  DRO_SetEraseModeOn();
  DRO_DrawDabGrit(20, 10, 0, 0, 0);
  for (int32_t y = 8; y < 13; ++y)
    for (int32_t x = 18; x < 23; ++x) EXPECT_EQ(At(2, x, y).a, 0) << x << ", " << y;
  DRO_SetPixColorVary(0);

  DRO_SetAlpha(100);
  DRO_SetBlobLocked(1);
  Put(2, 30, 30, Pixel64{0, 0, 0, 8192});
  Put(2, 31, 30, Pixel64{0, 0, 0, 8191});
  DRO_SetEraseModeOn();
  DRO_DrawDabGrit(30, 30, 0, 0, 0);
  EXPECT_EQ(At(2, 29, 30).a, 9215);  // opaque, erased down to the blob floor
  EXPECT_EQ(At(2, 30, 30).a, 9215);
  EXPECT_EQ(At(2, 31, 30).a, 8191);
}

TEST_F(Dab, CoverageIsThinnedByGritTextureAndMask) {
  DRO_CreatePaintLayer(100, "Normal");
  Target(Pixel64{0, 0, 0, 0});

  // Grit: a pixel is painted where the density (stored one lower) reaches
  // its grain byte; 255 is never painted.
  Tool(1, 0, 0, 0, 100);
  dro::Buffer<uint8_t>& grit = engine().brush.grit[engine().brush.currentGrit];
  grit.FillBytes(0);
  grit[0] = 254;
  grit[1] = 255;
  grit[2] = 100;
  DRO_SetDensity(255);
  DRO_DrawDabGrit(10, 10, 0xFF00, 0, 0);
  EXPECT_EQ(Painted(8, 8).a, 65534);
  EXPECT_EQ(Painted(9, 8).a, 0);
  EXPECT_EQ(Painted(10, 8).a, 65534);
  DRO_SetDensity(100);  // stored 99: grain 100 is now too high
  DRO_DrawDabGrit(30, 10, 0xFF00, 0, 0);
  EXPECT_EQ(Painted(28, 8).a, 0);
  EXPECT_EQ(Painted(30, 8).a, 0);
  EXPECT_EQ(Painted(31, 8).a, 65534);
  Tool(0, 0, 0, 0, 100);

  // Texture byte t scales V by t / 256, the mask value m by m / 65536.
  MakeTexture(128);
  PutMask(10, 30, 32768);
  DRO_DrawDabGrit(10, 30, 0xFF00, 0, 0);
  EXPECT_EQ(Painted(9, 30).a, 32767 * 65535 / 65536);
  EXPECT_EQ(Painted(10, 30).a, (32767 * 32768 / 65536) * 65535 / 65536);
  // Not with the mask disabled; and the solid mode ignores every weight.
  DRO_EnableMask(0);
  DRO_DrawDabGrit(10, 40, 0xFF00, 0, 0);
  EXPECT_EQ(Painted(10, 40).a, 32767 * 65535 / 65536);
  DRO_SetSolidBrushMode(1);
  DRO_SetAlpha(10);
  DRO_DrawDabGrit(40, 40, 0xFF00, 0, 0);
  EXPECT_EQ(Painted(40, 40).a, 65534);
}

TEST_F(Dab, GritMovesToAnotherWindowWhenTheDrawingLengthRunsOut) {
  Tool(2, 0, 0, 0, 3);
  Target(Pixel64{0, 0, 0, 0});
  const dro::brush::BrushState& b = engine().brush;
  ASSERT_EQ(b.currentGrit, 19);
  ASSERT_EQ(b.drawingLengthCounter, 3);
  DRO_DrawDabGrit(10, 10, 0, 0, 0);
  EXPECT_EQ(b.currentGrit, 19);  // the counter has not run out
  for (int i = 0; i < 3; ++i) DRO_DecDrawingLength();
  dro::RuntimeRandom expect = engine().random.generator;
  int32_t pick = expect.Next() % 20;
  while (pick == 19) pick = expect.Next() % 20;  // never the window it reads now
  const int32_t row = expect.Next() % 25;
  const int32_t column = expect.Next() % 25;
  DRO_DrawDabGrit(10, 10, 0, 0, 0);
  EXPECT_EQ(b.currentGrit, pick);
  EXPECT_EQ(b.currentGritOffset, row * kLimit + column);
  EXPECT_EQ(b.drawingLengthCounter, 3);
  EXPECT_EQ(engine().random.generator.state(), expect.state());
}

TEST_F(Dab, BlendSourcePicksUpRemixesAndMixesWithThePrimaryColor) {
  DRO_CreatePaintLayer(100, "Normal");
  Target(Pixel64{0, 0, 0, 0});
  Tool(0, 128, 0, 1, 100);
  FillBlend(Pixel64{1000, 2000, 3000, 40000});
  DRO_DrawDabGrit(10, 10, 0xFF00, 0xFF00, 0xFF00);
  EXPECT_EQ(Painted(10, 10), (Pixel64{1000, 2000, 3000, 39999}));
  // Remix onto an empty pixel: the source colour, alpha scaled by strength.
  EXPECT_EQ(Blend(2, 2), (Pixel64{1000, 2000, 3000, 20000}));

  // Over paint, mode 32 with a blend source mixes by V; remix adds one.
  DRO_DrawDabGrit(10, 10, 0xFF00, 0xFF00, 0xFF00);
  EXPECT_EQ(Painted(10, 10), (Pixel64{999, 1999, 2999, 20000}));
  EXPECT_EQ(Blend(2, 2), (Pixel64{1001, 2001, 3001, (20000 * 128 + 39999 * 128) / 256}));

  // The primary colour strength pulls the pick-up towards the dab colour.
  FillBlend(Pixel64{0, 0, 0, 65535});
  DRO_ClearPaintLayer();
  DRO_SetBlendPrimaryColorStrength(64);
  DRO_DrawDabGrit(10, 10, 0xFF00, 0, 0x8000);
  EXPECT_EQ(Painted(10, 10), (Pixel64{0xFF00 * 64 / 256, 0, 0x8000 * 64 / 256, 65534}));

  // Temporary blend-off: one dab in the dab colour, then the pick-up again.
  FillBlend(Pixel64{5000, 5000, 5000, 65535});
  DRO_SetBlendPrimaryColorStrength(0);
  DRO_ClearPaintLayer();
  DRO_TempDisableBlend();
  DRO_DrawDabGrit(10, 10, 0xFF00, 0xFF00, 0xFF00);
  EXPECT_EQ(Painted(10, 10).r, 0xFF00);
  EXPECT_EQ(Blend(2, 2).r, 5000);  // no remix either
  DRO_ClearPaintLayer();
  DRO_DrawDabGrit(10, 10, 0xFF00, 0xFF00, 0xFF00);
  EXPECT_EQ(Painted(10, 10).r, 5000);

  // An image brush's transparency thins the coverage instead.
  FillBlend(Pixel64{5000, 5000, 5000, 32768});
  DRO_ClearPaintLayer();
  DRO_SetImageBrushMode(1);
  DRO_DrawDabGrit(10, 10, 0xFF00, 0xFF00, 0xFF00);
  EXPECT_EQ(Painted(10, 10).a, 32767 * 65535 / 65536);
}

TEST_F(Dab, PixelVaryReadsTheTablesFromARandomPlacePerRow) {
  DRO_CreatePaintLayer(100, "Normal");
  Target(Pixel64{0, 0, 0, 0});
  DRO_SetPixColorVary(40);
  DRO_SetPixLumVary(64);
  dro::RuntimeRandom expect = engine().random.generator;
  const int32_t colorAt = expect.Next() % kLimit;
  const int32_t lumAt = expect.Next() % kLimit;
  DRO_DrawDabGrit(10, 10, 0x8000, 0x8000, 0x8000);
  const uint8_t cb = engine().brush.pixColorVary.data[colorAt];
  const uint8_t lb = engine().brush.pixLumVary.data[lumAt];
  const int32_t off = (40 - (cb % 40) * 2) * 128;
  const double f = (128 - 32 + lb % 64) / 256.0;
  const double x = 0x8000 + off;
  const int32_t varied =
      static_cast<int32_t>(f > 0.5 ? (f - 0.5) * 2 * (65535 - x) + x : x - x * (0.5 - f) * 2);
  EXPECT_EQ(Painted(8, 8).r, varied);
  EXPECT_EQ(Painted(8, 8).g, varied);
}

TEST_F(Dab, MixModesTintThinPaintAndSaturateTheirRounding) {
  Target(Pixel64{0, 0, 0, 0});
  // Screen over opaque black with amount 255 at full coverage: Y only.
  Put(2, 10, 10, Pixel64{0, 0, 0, 65535});
  DRO_SetMixMode(34, 255);
  DRO_DrawDabGrit(10, 10, 0x8000, 0x4000, 0);
  const uint32_t x = 65535 - (65535 * (65535 - 0x8000)) / 65536;
  EXPECT_EQ(At(2, 10, 10).r, ((0x8000 * 1) / 16 + (255 * x) / 16) / 16);
  // A half-covered target is pre-tinted towards the source first: with
  // V = 32767, k = ((32767 x 32767) / 65536) x 3 = 49149 gives D = 48957;
  // Y = P (amount 0), mixed with D by V, plus one.
  Fill(2, Pixel64{0, 0, 0, 32768});
  DRO_SetAlpha(50);
  DRO_SetMixMode(35, 0);
  DRO_DrawDabGrit(20, 20, 0xFF00, 0, 0);
  EXPECT_EQ(At(2, 20, 20), (Pixel64{57119, 1, 1, 49151}));
  // White over white at V = 32768 rounds to 65536: it stays 65535.
  Fill(2, Pixel64{65535, 65535, 65535, 65535});
  Tool(0, 128, 0, 0, 100);
  FillBlend(Pixel64{65535, 65535, 65535, 65535});
  DRO_SetMixMode(295, 127);  // shift 0: Y = P
  DRO_SetAlpha(100);
  PutMask(30, 30, 32769);  // V = 65535 x 32769 / 65536 = 32768
  DRO_DrawDabGrit(30, 30, 0xFF00, 0xFF00, 0xFF00);
  EXPECT_EQ(At(2, 30, 30), (Pixel64{65535, 65535, 65535, 65535}));
}

// The plain dab's fast paths (the hoisted source and its vector row kernel)
// against the general per-pixel path, over random targets, tips and
// settings: partial and extreme alphas, sums at the new alpha, every weight
// and lock. Each case draws from its own seed, so it can run alone; the
// general path's pictures make the pinned checksum, the same with or without
// the vector kernel.
TEST_F(Dab, PlainFastPathMatchesTheGeneralPath) {
  constexpr int64_t kCases = 300;
  constexpr uint64_t kSeed = 12345;
  constexpr uint64_t kPinnedChecksum = 0x2620B62A181EA676ull;
  const int64_t chosen = drovine_test::ChosenFuzzCase();
  ASSERT_LT(chosen, kCases);
  MakeLayer(1, kClear);  // a current layer below 2 keeps its alpha
  Target(kClear);
  dro::Buffer<dro::Mask16>& tip = engine().brush.tip;
  dro::Buffer<uint8_t>& texture = engine().layers.texture;
  uint64_t checksum = drovine_test::kChecksumStart;
  for (int64_t n = std::max<int64_t>(chosen, 0); n < (chosen < 0 ? kCases : chosen + 1); ++n) {
    drovine_test::CaseRandom rng(kSeed, n);
    auto next = [&] { return rng.Next(); };
    // Values at and beside the thresholds the dab decides by (the blob
    // lock's 8192 and 9215, covering from 65280, the middle), near the ends,
    // and anywhere.
    auto value16 = [&]() -> uint16_t {
      static constexpr uint16_t kEdges[] = {0,     1,     8191,  8192,  9214,  9215, 32767,
                                            32768, 65279, 65280, 65534, 65535, 65535};
      switch (next() % 5) {
        case 0:
          return kEdges[next() % (sizeof kEdges / sizeof kEdges[0])];
        case 1:
          return static_cast<uint16_t>(1 + next() % 300);
        case 2:
          return static_cast<uint16_t>(65535 - next() % 300);
        default:
          return static_cast<uint16_t>(next());
      }
    };
    std::vector<Pixel64> before(pixelCount());
    for (Pixel64& p : before) p = Pixel64{value16(), value16(), value16(), value16()};
    const int32_t size = 1 + static_cast<int32_t>(next() % kLimit);
    DRO_SetSize(size);
    // The tip, the grit and a texture outside the map's own 4..250 have no
    // export: they are written in the engine.
    for (dro::Mask16& t : tip) t = value16();
    static constexpr int32_t kAlphas[] = {0, 1, 98, 99};  // 99 is the last that scales
    const int32_t alpha = next() % 3 != 0   ? 100
                          : next() % 2 == 0 ? kAlphas[next() % 4]
                                            : static_cast<int32_t>(next() % 100);
    const int32_t colorVary = next() % 3 == 0 ? static_cast<int32_t>(next() % 40) : 0;
    const int32_t mixMode = next() % 4 == 0 ? 33 : 32;
    const int32_t solid = next() % 8 == 0;
    const int32_t colorLock = next() % 8 == 0;
    const int32_t alphaLock = next() % 8 == 0;
    const int32_t blobLock = next() % 8 == 0;
    const int32_t alphaLevel = next() % 8 == 0 ? static_cast<int32_t>(next() % 70000) : 0;
    DRO_SetAlpha(alpha);
    DRO_SetColorVary(colorVary);
    DRO_SetMixMode(mixMode, 127);
    DRO_SetSolidBrushMode(solid);
    DRO_SetColorLocked(static_cast<uint8_t>(colorLock));
    DRO_SetAlphaLocked(alphaLock);
    DRO_SetBlobLocked(static_cast<uint8_t>(blobLock));
    DRO_SetAlphaLevel(alphaLevel);
    const bool grit = next() % 4 == 0;
    dro::brush::BrushState& brush = engine().brush;
    brush.gritCellSize = grit;
    brush.currentGrit = static_cast<int32_t>(next() % 20);
    brush.currentGritOffset = static_cast<int32_t>(next() % 25 * kLimit + next() % 25);
    brush.drawingLengthCounter = 1;  // the window stays for the dab
    for (uint8_t& g : brush.grit[brush.currentGrit]) g = static_cast<uint8_t>(next());
    const int32_t density = static_cast<int32_t>(next() % 256);
    DRO_SetDensity(density);
    const bool textured = next() % 3 == 0;
    if (textured) {
      texture = dro::Buffer<uint8_t>::Make(pixelCount());
      for (uint8_t& t : texture) t = static_cast<uint8_t>(next() % 4 == 0 ? 255 : next());
    } else {
      DRO_DeleteTexture();
    }
    std::vector<dro::Mask16> mask(pixelCount());
    for (dro::Mask16& m : mask) m = next() % 2 ? 65535 : value16();
    SetMask(mask);
    const int32_t slot = next() % 4 == 0 ? 1 : 2;
    DRO_SetLayer(slot);
    const int32_t x = static_cast<int32_t>(next() % (kW + 40)) - 20;
    const int32_t y = static_cast<int32_t>(next() % (kH + 40)) - 20;
    const int32_t r = static_cast<int32_t>(next()), g = static_cast<int32_t>(next()),
                  b = static_cast<int32_t>(next());
    if (chosen >= 0) {
      std::cout << "case " << n << ": dab at (" << x << ", " << y << ") size " << size
                << ", colour 0x" << std::hex << r << " 0x" << g << " 0x" << b << std::dec
                << ", alpha " << alpha << "%, colour vary " << colorVary << ", mix " << mixMode
                << ", solid " << solid << ", locks colour " << colorLock << " alpha " << alphaLock
                << " blob " << blobLock << ", alpha level " << alphaLevel << ", grit " << grit
                << " (window " << brush.currentGrit << " at " << brush.currentGritOffset
                << ") at density " << density << ", texture " << textured << ", layer " << slot
                << "\n";
    }

    // The same dab, from the same random state, once each way.
    SetPixels(slot, before);
    DRO_SetRandomSeed(static_cast<int32_t>(n));
    DRO_DrawDabGrit(x, y, r, g, b);
    const std::vector<Pixel64> fast = Pixels(slot);
    SetPixels(slot, before);
    DRO_SetRandomSeed(static_cast<int32_t>(n));
    dro::brush::SetDabFastPathsEnabled(false);
    DRO_DrawDabGrit(x, y, r, g, b);
    dro::brush::SetDabFastPathsEnabled(dro::cpu::FastPathsAllowed());
    const std::vector<Pixel64> general = Pixels(slot);
    checksum = drovine_test::Checksum(checksum, general.data(), general.size());
    const auto differs = std::mismatch(fast.begin(), fast.end(), general.begin());
    if (differs.first != fast.end()) {
      const size_t i = static_cast<size_t>(differs.first - fast.begin());
      ADD_FAILURE() << "case " << n << " (rerun it with DROVINE_FUZZ_CASE=" << n << "), pixel ("
                    << i % kW << ", " << i / kW << "): fast " << ::testing::PrintToString(fast[i])
                    << ", general " << ::testing::PrintToString(general[i]);
      return;
    }
  }
  if (chosen < 0) {
    EXPECT_EQ(checksum, kPinnedChecksum) << "checksum 0x" << std::hex << checksum;
  } else {
    std::cout << "case " << chosen << " checksum 0x" << std::hex << checksum << std::dec << "\n";
  }
}

// The pick-up and mix-mode fast paths against the general per-pixel path:
// random targets, blend buffers and tips; pick-up (half of them copied from
// the layer first, under the mask or not, then painted by the plain path or
// a formula mode) with and without remix
// and a primary colour share; every formula mode and a few others at random
// amounts (their shifts with them), in and out of range; grit, texture,
// mask, vary, erase, locks and scaled tips that keep a dab off the fast
// paths. The general path's targets and blend buffers make the pinned
// checksum.
TEST_F(Dab, PickupAndMixFastPathsMatchTheGeneralPath) {
  constexpr int64_t kCases = 1000;
  constexpr uint64_t kSeed = 2468;
  constexpr uint64_t kPinnedChecksum = 0xE4B01187DF3B06DEull;
  const int64_t chosen = drovine_test::ChosenFuzzCase();
  ASSERT_LT(chosen, kCases);
  MakeLayer(1, kClear);
  Target(kClear);
  dro::brush::BrushState& brush = engine().brush;
  uint64_t checksum = drovine_test::kChecksumStart;
  for (int64_t n = std::max<int64_t>(chosen, 0); n < (chosen < 0 ? kCases : chosen + 1); ++n) {
    drovine_test::CaseRandom rng(kSeed, n);
    auto next = [&] { return rng.Next(); };
    auto value16 = [&]() -> uint16_t {
      static constexpr uint16_t kEdges[] = {0, 1, 8191, 8192, 32766, 32767, 32768, 65534, 65535};
      const uint32_t kind = next() % 4;
      if (kind == 0) return kEdges[next() % (sizeof kEdges / sizeof kEdges[0])];
      return static_cast<uint16_t>(kind == 1 ? 65535 - next() % 300 : next());
    };
    auto strength = [&]() -> int32_t {
      static constexpr int32_t kOdd[] = {1, 255, 256, 300, -5};
      return next() % 4 == 0 ? kOdd[next() % 5] : static_cast<int32_t>(next() % 257);
    };
    std::vector<Pixel64> before(pixelCount());
    for (Pixel64& p : before) {
      p = Pixel64{value16(), value16(), value16(), next() % 3 ? value16() : uint16_t{65535}};
    }
    std::vector<Pixel64> blend(brush.blendBuffer.size());
    for (Pixel64& p : blend) p = Pixel64{value16(), value16(), value16(), value16()};
    DRO_SetSize(1 + static_cast<int32_t>(next() % kLimit));
    if (next() % 6 == 0) DRO_SetScaleSize(1 + static_cast<int32_t>(next() % kLimit));
    for (dro::Mask16& t : brush.tip) t = value16();

    const bool pickUp = next() % 2 == 0;
    static constexpr int32_t kOthers[] = {32, 33, 42, 43, 44, 45, 46, 249, 253, 256, 262, 295, 340};
    const int32_t formula = 34 + static_cast<int32_t>(next() % 15);
    const int32_t other = kOthers[next() % 13];
    const uint32_t pickMode = next() % 4;
    const int32_t mode = pickMode == 0 ? other : (pickMode == 1 || !pickUp ? formula : 32);
    const int32_t amount = next() % 8 == 0 ? static_cast<int32_t>(next() % 600) - 100
                                           : static_cast<int32_t>(next() % 257);
    DRO_SetMixMode(mode, amount);
    DRO_SetBlendStrength(pickUp ? strength() : 0);
    DRO_SetBlendPrimaryColorStrength(next() % 2 == 0 ? 0 : strength());
    DRO_SetBlendRemix(static_cast<int32_t>(next() % 3 != 0));
    DRO_SetAlpha(next() % 3 != 0 ? 100 : static_cast<int32_t>(next() % 100));
    DRO_SetPixColorVary(next() % 10 == 0 ? 1 + static_cast<int32_t>(next() % 40) : 0);
    DRO_SetPixLumVary(next() % 10 == 0 ? 1 + static_cast<int32_t>(next() % 40) : 0);
    DRO_SetSolidBrushMode(static_cast<int32_t>(next() % 8 == 0));
    DRO_SetImageBrushMode(static_cast<int32_t>(next() % 10 == 0));
    DRO_SetColorLocked(static_cast<uint8_t>(next() % 10 == 0));
    DRO_SetBlobLocked(static_cast<uint8_t>(next() % 10 == 0));
    DRO_SetAlphaLevel(next() % 10 == 0 ? static_cast<int32_t>(next() % 70000) : 0);
    DRO_SetRotateBrushMode(static_cast<uint8_t>(next() % 10 == 0), 30);
    const bool grit = next() % 3 == 0;
    brush.gritCellSize = grit;
    brush.currentGrit = static_cast<int32_t>(next() % 20);
    brush.currentGritOffset = static_cast<int32_t>(next() % 25 * kLimit + next() % 25);
    brush.drawingLengthCounter = 1;
    for (uint8_t& g : brush.grit[brush.currentGrit]) g = static_cast<uint8_t>(next());
    DRO_SetDensity(static_cast<int32_t>(next() % 256));
    if (next() % 3 == 0) {
      engine().layers.texture = dro::Buffer<uint8_t>::Make(pixelCount());
      for (uint8_t& t : engine().layers.texture)
        t = static_cast<uint8_t>(next() % 4 ? 255 : next());
    } else {
      DRO_DeleteTexture();
    }
    std::vector<dro::Mask16> mask(pixelCount());
    for (dro::Mask16& m : mask) m = next() % 2 ? 65535 : value16();
    SetMask(mask);
    const int32_t slot = next() % 4 == 0 ? 1 : 2;
    DRO_SetLayer(slot);
    DRO_EnableMask(static_cast<uint8_t>(next() % 2));
    // Half the pick-ups are fresh from the layer under the dab first.
    const bool copy = pickUp && next() % 2 == 0;
    const int32_t weight = static_cast<int32_t>(next() % 320) - 20;
    const int32_t alphaFlag = static_cast<int32_t>(next() % 2);
    const bool erase = next() % 10 == 0;
    const bool blendOff = next() % 10 == 0;
    const int32_t x = static_cast<int32_t>(next() % (kW + 40)) - 20;
    const int32_t y = static_cast<int32_t>(next() % (kH + 40)) - 20;
    const int32_t r = static_cast<int32_t>(next()), g = static_cast<int32_t>(next()),
                  b = static_cast<int32_t>(next());
    if (chosen >= 0) {
      std::cout << "case " << n << ": mode " << mode << " amount " << amount << ", pick-up "
                << pickUp << " strength " << brush.blendStrength << " primary "
                << brush.primaryColorStrength << " remix " << int{brush.blendRemix} << ", size "
                << brush.size << " count " << brush.scaledCount << ", grit " << grit << ", erase "
                << erase << ", blend off " << blendOff << ", layer " << slot << ", dab at (" << x
                << ", " << y << ")\n";
    }

    auto dab = [&](bool fast) {
      SetPixels(slot, before);
      std::copy(blend.begin(), blend.end(), brush.blendBuffer.begin());
      DRO_SetRandomSeed(static_cast<int32_t>(n));
      if (erase) DRO_SetEraseModeOn();
      if (blendOff) DRO_TempDisableBlend();
      dro::brush::SetDabFastPathsEnabled(fast && dro::cpu::FastPathsAllowed());
      DRO_SetColor16(r, g, b);  // the colour the pick-up mixes in
      if (copy) DRO_CopyBlendBufferSurface(x, y, weight, alphaFlag);
      DRO_DrawDabGrit(x, y, r, g, b);
      dro::brush::SetDabFastPathsEnabled(dro::cpu::FastPathsAllowed());
      std::vector<Pixel64> out = Pixels(slot);
      out.insert(out.end(), brush.blendBuffer.begin(), brush.blendBuffer.end());
      return out;
    };
    const std::vector<Pixel64> fast = dab(true);
    const std::vector<Pixel64> general = dab(false);
    checksum = drovine_test::Checksum(checksum, general.data(), general.size());
    const auto differs = std::mismatch(fast.begin(), fast.end(), general.begin());
    if (differs.first != fast.end()) {
      const size_t i = static_cast<size_t>(differs.first - fast.begin());
      ADD_FAILURE() << "case " << n << " (rerun it with DROVINE_FUZZ_CASE=" << n << "), "
                    << (i < pixelCount() ? "pixel " : "blend buffer pixel ")
                    << (i < pixelCount() ? i : i - pixelCount()) << ": fast "
                    << ::testing::PrintToString(fast[i]) << ", general "
                    << ::testing::PrintToString(general[i]);
      return;
    }
  }
  DRO_EnableMask(1);
  if (chosen < 0) {
    EXPECT_EQ(checksum, kPinnedChecksum) << "checksum 0x" << std::hex << checksum;
  }
}

TEST(MixModeColor, FormulasKeepTheirSignAndRange) {
  dro::RuntimeRandom rng;
  const uint16_t banks[16] = {1,   2,   3,   4,   10,    20,    30,    40,
                              100, 200, 300, 400, 65535, 65535, 65535, 65535};
  dro::brush::MixSettings mix{0, 255, 1, 0, banks};
  auto run = [&](int32_t mode, uint32_t p, uint32_t d, uint32_t* alpha = nullptr) {
    mix.mode = mode;
    const uint32_t ps[3] = {p, p, p};
    uint32_t ds[3] = {d, d, d};
    uint32_t y[3] = {};
    uint32_t a = 0;
    dro::brush::MixModeColor(mix, ps, 1234, ds, 4321, rng, y, a);
    if (alpha) *alpha = a;
    return y[0];
  };
  // Y = ((P x 1) / 16 + (255 x X) / 16) / 16.
  auto y = [](uint32_t p, uint32_t x) { return (p / 16 + 255 * x / 16) / 16; };
  EXPECT_EQ(run(37, 1000, 3000), y(1000, 2000));  // |D - P|, not a wrapped difference
  EXPECT_EQ(run(38, 60000, 60000), y(60000, 65535 - 54465));
  EXPECT_EQ(run(44, 1000, 0), y(1000, 0));  // negative burn stops at 0
  EXPECT_EQ(run(44, 40000, 60000), y(40000, 65535 - (5535u * 65536) / 40000));
  EXPECT_EQ(run(43, 65535, 5), y(65535, 65535));
  EXPECT_EQ(run(40, 20000, 10000), y(20000, 20000u * 10000 / 32768));
  EXPECT_EQ(run(41, 40000, 10000), y(40000, 65535 - (55535u * 25535) / 32768));
  EXPECT_EQ(run(42, 65535, 65535), y(65535, 65535));
  EXPECT_EQ(run(48, 1000, 1000), y(1000, 0));
  // Banks by lightness; 252 ramps between banks.
  EXPECT_EQ(run(250, 10000, 0), y(10000, 1));
  EXPECT_EQ(run(250, 50000, 0), y(50000, 3));
  EXPECT_EQ(run(251, 60000, 0), y(60000, 4));
  EXPECT_EQ(run(252, 0, 0), y(0, 1));
  // Keep modes leave the target and its alpha.
  uint32_t alpha = 0;
  EXPECT_EQ(run(256, 100, 777, &alpha), 777u);
  EXPECT_EQ(alpha, 4321u);
  EXPECT_EQ(run(256, 30000, 777, &alpha), y(30000, 30000));
  EXPECT_EQ(alpha, 1234u);
  // Quantising and the shift; 340 paints grey with the lightness as alpha.
  EXPECT_EQ(run(261, 40000, 0), y(40000, 43690));
  mix.shift = 4;
  EXPECT_EQ(run(295, 0x1234, 0), 0x1230u);
  mix.shift = -1;  // wraps to 31
  EXPECT_EQ(run(295, 0xFFFF, 0), 0u);
  EXPECT_EQ(run(340, 3000, 0, &alpha), 32767u);
  EXPECT_EQ(alpha, 3000u);
  // A mode without a formula paints the source unchanged.
  EXPECT_EQ(run(100, 4242, 0, &alpha), 4242u);
  EXPECT_EQ(alpha, 1234u);
  // 253 and 254 draw one number each.
  const uint32_t before = rng.state();
  run(253, 100, 0);
  dro::RuntimeRandom expect;
  expect.Seed(before);
  expect.Next();
  EXPECT_EQ(rng.state(), expect.state());
}

// Every formula mode at the values where its branch flips or its divisor
// bites. With the whole amount (256) the mix gives X itself, so each row
// pins X: (mode, P, D, X), P and D on every channel, banks 1000, 30000,
// 60000 and 7 in the red channel.
TEST(MixModeColor, FormulasAtTheirBoundaries) {
  struct Row {
    int32_t mode;
    uint32_t p, d, x;
  };
  static constexpr Row kRows[] = {
      {34, 0, 0, 1},
      {34, 32768, 32768, 49152},  // screen: / 65536
      {39, 65535, 65535, 2},
      {39, 32768, 32768, 32768},  // exclusion: / 32768
      {38, 65535, 65535, 0},
      {38, 5535, 60000, 65535},  //
      {40, 40000, 32766, 39997},
      {40, 40000, 32767, 40000},  // overlay splits by D
      {41, 32766, 40000, 39997},
      {41, 32767, 40000, 40000},  // hard light by P
      {42, 32767, 16384, 16383},
      {42, 32768, 16384, 16384},  // soft light at p = 0.5
      {43, 32767, 10000, 20000},
      {43, 65534, 1, 65535},  // dodge: x 65536
      {43, 65535, 0, 65535},  //
      {44, 32768, 49151, 32767},
      {44, 1, 65535, 65535},  // burn: x 65536
      {44, 0, 65535, 0},      //
      {45, 32767, 16384, 8192},
      {45, 65534, 1, 1},  // reflect
      {45, 65535, 0, 65535},
      {46, 16384, 32767, 8192},  // glow
      {46, 1, 65534, 1},
      {46, 0, 65535, 65535},  //
      {47, 30000, 35534, 65534},
      {47, 30000, 35536, 65535},  // add
      {48, 30000, 35535, 0},
      {48, 30000, 35536, 1},  // linear burn
      // Banks by lightness l = P.
      {249, 32766, 0, 1000},
      {249, 32767, 0, 30000},
      {250, 21844, 0, 1000},
      {250, 21845, 0, 30000},
      {250, 43689, 0, 30000},
      {250, 43690, 0, 60000},
      {251, 16382, 0, 1000},
      {251, 16383, 0, 30000},
      {251, 32766, 0, 30000},
      {251, 32767, 0, 60000},
      {251, 49150, 0, 60000},
      {251, 49151, 0, 7},
      {252, 32766, 0, 29886},
      {252, 32767, 0, 30000},  // v = 255, then 0
      {252, 65535, 0, 60000},  // v = 256
      {253, 32766, 500, 1000},
      {253, 32767, 500, 500},
      {254, 32767, 500, 500},
      {254, 32768, 500, 1000},
      {255, 20478, 0, 1000},
      {255, 20479, 0, 20479},
      {255, 49151, 0, 49151},
      {255, 49152, 0, 30000},
      {256, 20478, 500, 500},
      {256, 20479, 500, 20479},
      {257, 49151, 500, 49151},
      {257, 49152, 500, 500},
      {258, 20478, 500, 500},
      {258, 49152, 500, 500},
      {259, 12287, 500, 1000},
      {259, 12288, 500, 500},
      {260, 57342, 500, 500},
      {260, 57343, 500, 1000},
      {261, 10921, 0, 0},
      {261, 10922, 0, 21845},
      {261, 32766, 0, 21845},
      {261, 32767, 0, 43690},
      {261, 54612, 0, 43690},
      {261, 54613, 0, 65535},
      {262, 21844, 0, 0},
      {262, 21845, 0, 32767},
      {262, 43689, 0, 32767},
      {262, 43690, 0, 65535},
  };
  const uint16_t banks[16] = {1000, 30000, 60000, 7};
  dro::RuntimeRandom rng;
  const dro::brush::MixSettings base{0, 256, 0, 0, banks};
  for (const Row& row : kRows) {
    dro::brush::MixSettings mix = base;
    mix.mode = row.mode;
    const uint32_t ps[3] = {row.p, row.p, row.p};
    uint32_t ds[3] = {row.d, row.d, row.d};
    uint32_t y[3] = {};
    uint32_t alpha = 0;
    dro::brush::MixModeColor(mix, ps, 1234, ds, 4321, rng, y, alpha);
    EXPECT_EQ(y[0], row.x) << "mode " << row.mode << ", P " << row.p << ", D " << row.d;
  }
}

TEST_F(Dab, ClippedDabsSampleTheRightTipColumnsAndStayInTheirBuffers) {
  DRO_CreatePaintLayer(100, "Normal");
  Target(Pixel64{0, 0, 0, 0});
  // A 10-wide tip sampled at 5 columns (1, 3, 5, 7, 9); only tip column 9
  // covers. Clipped at the left edge, the dab's third column shows it.
  DRO_SetSize(10);
  DRO_SetScaleSize(5);
  dro::Buffer<dro::Mask16>& tip = engine().brush.tip;
  tip.FillBytes(0);
  for (int32_t r = 0; r < 10; ++r) tip[r * kLimit + 9] = 65535;
  DRO_DrawDabGrit(0, 10, 0xFF00, 0, 0);
  EXPECT_EQ(Painted(0, 10).a, 0);
  EXPECT_EQ(Painted(1, 10).a, 0);
  EXPECT_EQ(Painted(2, 10).a, 65534);
  EXPECT_EQ(Paint().left, 0);
  EXPECT_EQ(Paint().right, 3);

  // A dab far outside paints nothing but still grows the rectangles.
  DRO_ClearPaintLayer();
  DRO_DrawDabGrit(-100, kH + 100, 0xFF00, 0, 0);
  EXPECT_EQ(engine().undo.rect.y1, kH);
  EXPECT_EQ(Paint().bottom, kH);

  // A size beyond the brush size limit is held to it (no read past the
  // L x L buffers; the sanitizer build checks it).
  engine().brush.size = 900;
  engine().brush.scaledCount = 900;
  for (int32_t i = 0; i < 900; ++i) engine().brush.sizeIndexMap[i] = i;
  tip.FillBytes(0xFF);
  DRO_ClearPaintLayer();
  DRO_DrawDabGrit(32, 24, 0xFF00, 0, 0);
  EXPECT_EQ(Painted(16, 8).a, 65534);  // left = 32 - 16
  EXPECT_EQ(Painted(47, 39).a, 65534);
  EXPECT_EQ(Painted(48, 24).a, 0);
  EXPECT_EQ(Painted(15, 24).a, 0);
}

TEST_F(Dab, RotationReadsTheTipAtTheTurnedPosition) {
  DRO_CreatePaintLayer(100, "Normal");
  Target(Pixel64{0, 0, 0, 0});
  dro::Buffer<dro::Mask16>& tip = engine().brush.tip;
  tip.FillBytes(0);
  tip[2 * kLimit + 4] = 65535;  // tip (4, 2): right of the centre
  DRO_SetRotateBrushMode(1, 90);
  DRO_DrawDabGrit(10, 10, 0xFF00, 0, 0);
  // Turned a quarter: the offsets truncate toward zero, so dab pixels
  // (2, 0) and (3, 0) both land on tip (4, 2).
  int32_t painted = 0;
  for (int32_t y = 8; y < 13; ++y)
    for (int32_t x = 8; x < 13; ++x) painted += Painted(x, y).a != 0;
  EXPECT_EQ(painted, 2);
  EXPECT_EQ(Painted(10, 8).a, 65534);
  EXPECT_EQ(Painted(11, 8).a, 65534);
  // A turn whose position leaves the tip reads the unturned position.
  DRO_SetRotateBrushMode(0, 90);
  DRO_ClearPaintLayer();
  DRO_DrawDabGrit(10, 10, 0xFF00, 0, 0);
  EXPECT_EQ(Painted(12, 10).a, 65534);
}

TEST_F(Dab, MaskDabsPaintTheMaskFromTheColorsGrey) {
  Target(Pixel64{0, 0, 0, 0});
  // White closes the mask fully at full coverage.
  DRO_SetColor(255, 255, 255);
  DRO_DrawDabGritMask(10, 10);
  EXPECT_EQ(MaskAt(10, 10), 0);
  EXPECT_EQ(MaskAt(13, 10), 65535);
  // From a grey of 256 on, the value is 65280 - grey; below it the mask opens.
  DRO_SetColor(1, 1, 1);
  DRO_DrawDabGritMask(50, 10);
  EXPECT_EQ(MaskAt(50, 10), 65024);
  DRO_SetColor(255, 255, 255);
  // Half coverage goes half way, and the mask does not weigh mask dabs.
  DRO_SetAlpha(50);
  DRO_DrawDabGritMask(10, 10);
  EXPECT_EQ(MaskAt(10, 10), 0);
  DRO_DrawDabGritMask(30, 10);
  EXPECT_EQ(MaskAt(30, 10), 32768);

  // Through DrawDabGrit with the mask-maker flag: black opens it again;
  // pixels stay and every one-dab flag is cleared.
  DRO_SetAlpha(100);
  DRO_SetMaskMakerOn();
  DRO_TempDisableBlend();
  DRO_DrawDabGrit(10, 10, 0, 0, 0);
  EXPECT_EQ(MaskAt(10, 10), 65534);  // (65535 x 65535 / 256) / 256
  EXPECT_EQ(At(2, 10, 10).a, 0);
  EXPECT_EQ(engine().brush.maskMaker, 0);
  EXPECT_EQ(engine().brush.tempBlendOff, 0);

  // A blend source reads the blend buffer's mask form and remixes into it.
  Tool(0, 128, 0, 1, 100);
  uint16_t* entries = reinterpret_cast<uint16_t*>(engine().brush.blendBuffer.data());
  for (int32_t r = 0; r < 5; ++r)
    for (int32_t c = 0; c < 5; ++c) entries[r * 4 * kLimit + c] = 1000;
  DRO_DrawDabGritMask(40, 30);
  EXPECT_EQ(MaskAt(40, 30), (((1 * 65535u) / 256 + (65535u * 1000) / 256) / 256));
  EXPECT_EQ(entries[2 * 4 * kLimit + 2], (128 * 1000 + 65535 * 128) / 256 + 1);
}

}  // namespace
