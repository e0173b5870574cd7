// The generated disc tip: integer centre, truncated distances, soft edge,
// invert and opacity.
#include <gtest/gtest.h>

#include <algorithm>

#include "drovine.h"
#include "engine/engine.h"
#include "support/canvas.h"

namespace {

using dro::engine;

constexpr int32_t kLimit = 120;

// Sets the disc settings through the tool and builds the tip without a
// picture.
void Disc(int32_t size, float opacity, int32_t softness, int32_t invert, const char* path = "") {
  DRO_SetSize(size);
  DRO_SetTool(opacity, 0, 0, 0, softness, 0, 0, 0, 0, 0, 0, invert, 0, "", path, 0);
}

uint16_t Tip(int32_t row, int32_t column) {
  return engine().brush.tip[row * kLimit + column];
}

class DiscTip : public drovine_test::CanvasTest {
 protected:
  DiscTip() : CanvasTest({16, 16, kLimit}) {}
};

TEST_F(DiscTip, SmallHardDiscCoversItsWholeSquare) {
  engine().brush.tip.FillBytes(0x77);
  Disc(5, 1.0f, 0, 0);
  // c = 2, R = 2.5: the corners at 2.83 truncate to 2 and stay inside.
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 5; ++j) EXPECT_EQ(Tip(i, j), 65535) << i << "," << j;
  }
  // Everything outside the S x S square was cleared.
  size_t covered = std::count_if(engine().brush.tip.begin(), engine().brush.tip.end(),
                                 [](uint16_t v) { return v != 0; });
  EXPECT_EQ(covered, 25u);
}

TEST_F(DiscTip, EvenSizesAreOnePixelFullerTowardsTheTopLeft) {
  Disc(10, 1.0f, 0, 0);
  // Centre 5: the centre row is covered from column 0 to 9, and so is the
  // centre column; the far edge at distance 5 would lie at 10, off the grid.
  for (int j = 0; j < 10; ++j) EXPECT_EQ(Tip(5, j), 65535) << j;
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Tip(i, 5), 65535) << i;
  // Distances truncate, so the rim reaches a little further than R.
  const uint16_t row0[10] = {0, 0, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 0};
  const uint16_t row9[10] = {0, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535};
  for (int j = 0; j < 10; ++j) {
    EXPECT_EQ(Tip(0, j), row0[j]) << j;  // 5 above the centre: |dx| <= 3
    EXPECT_EQ(Tip(9, j), row9[j]) << j;  // 4 below it: |dx| <= 4
  }
}

TEST_F(DiscTip, SoftEdgeFadesLinearlyFromTheCore) {
  Disc(100, 1.0f, 255, 0);
  // F = 50, I = 0: only the centre is solid.
  EXPECT_EQ(Tip(50, 50), 65535);
  EXPECT_EQ(Tip(50, 75), 32767);  // (50 - 25) / 50 x 65535 = 32767.5
  EXPECT_EQ(Tip(75, 50), 32767);
  EXPECT_EQ(Tip(50, 51), 64224);  // 49 / 50 x 65535 = 64224.3
  EXPECT_EQ(Tip(50, 0), 0);       // d = 50: faded out
  EXPECT_EQ(Tip(0, 50), 0);

  Disc(100, 1.0f, 51, 0);
  // F = 10, I = 40: solid to 40, then 1/10 of the range per pixel.
  EXPECT_EQ(Tip(50, 90), 65535);
  EXPECT_EQ(Tip(50, 93), 45874);  // (10 - 3) / 10 x 65535 = 45874.5
  EXPECT_EQ(Tip(50, 99), 6553);
}

TEST_F(DiscTip, InvertTurnsCoverageInsideOutWithinTheDisc) {
  Disc(20, 1.0f, 0, 1);
  EXPECT_TRUE(std::all_of(engine().brush.tip.begin(), engine().brush.tip.end(),
                          [](uint16_t v) { return v == 0; }));

  Disc(100, 1.0f, 255, 1);
  EXPECT_EQ(Tip(50, 50), 0);
  EXPECT_EQ(Tip(50, 75), 32767);  // |trunc(32767.5 - 65535)|
  EXPECT_EQ(Tip(50, 0), 65535);   // the faded rim becomes full
  EXPECT_EQ(Tip(0, 0), 0);        // outside the disc stays empty
}

TEST_F(DiscTip, OpacityScalesAndIsKeptInRange) {
  Disc(8, 0.5f, 0, 0);
  EXPECT_EQ(Tip(4, 4), 32767);
  Disc(100, 0.5f, 255, 0);
  EXPECT_EQ(Tip(50, 75), 16383);  // 32767.5 x 0.5 = 16383.75
  // Opacities past full or below none stay within the 16-bit range.
  Disc(8, 1.5f, 0, 0);
  EXPECT_EQ(Tip(4, 4), 65535);
  Disc(8, -1.0f, 0, 0);
  EXPECT_EQ(Tip(4, 4), 0);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(DiscTip, PathsOfOneCharacterOrUnusablePathsGiveTheDisc) {
  Disc(6, 1.0f, 0, 0, "a");
  EXPECT_EQ(Tip(3, 3), 65535);
  EXPECT_EQ(Tip(0, 0), 0);
  DRO_SetBrushShape(nullptr, 0);
  EXPECT_EQ(Tip(3, 3), 65535);
  DRO_SetBrushShape("/nonexistent/tip.png", 30);
  EXPECT_EQ(Tip(3, 3), 65535);
  EXPECT_EQ(Tip(0, 0), 0);
  DRO_SetBrushShape_ORIGINAL("/nonexistent/tip.png", 30);
  EXPECT_EQ(Tip(3, 3), 65535);
  EXPECT_FALSE(engine().brush.shapeSourceCache.present());
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(DiscTip, SizesPastTheLimitOfALaterCanvasStayInside) {
  Disc(100, 1.0f, 0, 0);
  DRO_NewSize(nullptr, 16, 16, 30, 5);  // S is now bounded by L = 30
  DRO_SetBrushShape("", 0);
  EXPECT_EQ(engine().brush.tip.size(), 900u);
  EXPECT_EQ(engine().brush.tip[15 * 30 + 15], 65535);
  DRO_DeleteImage();
  DRO_SetBrushShape("", 0);  // no canvas, no tip: nothing happens
  EXPECT_STREQ(DRO_GetLastError(), "");
}

}  // namespace
