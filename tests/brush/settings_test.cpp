// Single-value brush settings and the values derived from them.
#include <gtest/gtest.h>

#include <cmath>

#include "brush/settings.h"
#include "drovine.h"
#include "engine/engine.h"
#include "support/canvas.h"

namespace {

using dro::engine;

class BrushSettings : public drovine_test::CanvasTest {
 protected:
  BrushSettings() : CanvasTest({32, 32, 1500}) {}
  const dro::brush::BrushState& b() { return engine().brush; }
};

TEST_F(BrushSettings, ColorsWidenTheLowByteAndKeepAlphaFull) {
  DRO_SetColor(255, 128, 0);
  EXPECT_EQ(b().color, (std::array<uint16_t, 4>{65280, 32768, 0, 65535}));
  DRO_SetColor(0x1FF, -1, 256);  // only the low byte counts
  EXPECT_EQ(b().color, (std::array<uint16_t, 4>{65280, 65280, 0, 65535}));
  DRO_SetColor16(65535, 1, 40000);
  EXPECT_EQ(b().color, (std::array<uint16_t, 4>{65535, 1, 40000, 65535}));

  DRO_SetColorBanks(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 255);
  const std::array<uint16_t, 16> banks = {256,   1024,  1792,  2560,   // reds
                                          512,   1280,  2048,  2816,   // greens
                                          768,   1536,  2304,  65280,  // blues
                                          65535, 65535, 65535, 65535};
  EXPECT_EQ(b().colorBanks, banks);
}

TEST_F(BrushSettings, InversesFollowOnlyPositiveStrengths) {
  DRO_SetBlendStrength(64);
  EXPECT_EQ(b().inverseBlendStrength, 192);
  DRO_SetBlendStrength(0);
  EXPECT_EQ(b().blendStrength, 0);
  EXPECT_EQ(b().inverseBlendStrength, 192);
  DRO_SetBlendStrength(-5);
  EXPECT_EQ(b().inverseBlendStrength, 192);

  DRO_SetBlendPrimaryColorStrength(200);
  EXPECT_EQ(b().inversePrimaryColorStrength, 56);
  DRO_SetBlendPrimaryColorStrength(0);
  EXPECT_EQ(b().primaryColorStrength, 0);
  EXPECT_EQ(b().inversePrimaryColorStrength, 56);
}

TEST_F(BrushSettings, StoredValuesAndTheirDerivedForms) {
  DRO_SetDensity(1);
  EXPECT_EQ(b().density, 0);
  DRO_SetDensity(INT32_MIN);  // no overflow trap
  EXPECT_EQ(b().density, INT32_MAX);
  DRO_SetAlpha(100);
  EXPECT_EQ(b().alphaScaled, 128);
  DRO_SetAlpha(50);
  EXPECT_EQ(b().alphaScaled, 64);
  DRO_SetAlpha(33);
  EXPECT_EQ(b().alphaScaled, 42);  // 42.24
  DRO_SetAlpha(-10);
  EXPECT_EQ(b().alphaScaled, -12);  // truncated towards zero
  DRO_SetBlendRemix(0x101);
  EXPECT_EQ(b().blendRemix, 1);
  DRO_SetAlphaLocked(0x10000);
  EXPECT_EQ(b().alphaLocked, 0x10000);  // a full 32-bit flag
}

TEST_F(BrushSettings, RotationUsesTheEnginesPiInSinglePrecision) {
  DRO_SetRotateBrushMode(1, 90);
  const double radians = 90 * 0.005555555555555556 * 3.14159;
  EXPECT_EQ(b().rotateBrush, 1);
  EXPECT_EQ(b().rotateDegrees, 90);
  EXPECT_EQ(b().rotateAngle, static_cast<float>(radians));
  EXPECT_EQ(b().rotateSin, static_cast<float>(std::sin(radians)));
  EXPECT_EQ(b().rotateCos,
            static_cast<float>(std::cos(static_cast<double>(static_cast<float>(radians)))));
  // 3.14159 is short of pi, so the cosine of "90 degrees" is not zero.
  EXPECT_GT(b().rotateCos, 0.0f);
  EXPECT_LT(b().rotateCos, 2e-6f);
}

TEST_F(BrushSettings, MixShiftRunsFromMinus16To16) {
  DRO_SetMixMode(7, 255);
  EXPECT_EQ(b().mixMode, 7);
  EXPECT_EQ(b().mixShift, 16);
  EXPECT_EQ(b().mixTenths, 10);
  EXPECT_EQ(b().mixInverse, 1);
  DRO_SetMixMode(7, 127);
  EXPECT_EQ(b().mixShift, 0);
  EXPECT_EQ(b().mixInverse, 129);
  DRO_SetMixMode(7, 0);
  EXPECT_EQ(b().mixShift, -16);
  EXPECT_EQ(b().mixTenths, -10);
  DRO_SetMixMode(7, 200);
  EXPECT_EQ(b().mixShift, 9);  // 73 / 127 x 16 = 9.19
  EXPECT_EQ(b().mixTenths, 5);
}

TEST_F(BrushSettings, SizeMapsRowsToThemselvesAndScaleSizeSamplesSpans) {
  DRO_SetSize(40);
  EXPECT_EQ(b().scaledCount, 40);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(b().sizeIndexMap[i], i);
  DRO_SetScaleSize(0);  // raised to 1
  EXPECT_EQ(b().scaledCount, 1);
  EXPECT_EQ(b().sizeIndexMap[0], 20);
  DRO_SetScaleSize(4);
  EXPECT_EQ(b().scaledCount, 4);
  EXPECT_EQ((std::array<int32_t, 4>{b().sizeIndexMap[0], b().sizeIndexMap[1], b().sizeIndexMap[2],
                                    b().sizeIndexMap[3]}),
            (std::array<int32_t, 4>{5, 15, 25, 35}));
  DRO_SetScaleSize(3);  // half = 40 / 6 = 6 (integer), step 13.333
  EXPECT_EQ((std::array<int32_t, 3>{b().sizeIndexMap[0], b().sizeIndexMap[1], b().sizeIndexMap[2]}),
            (std::array<int32_t, 3>{6, 19, 32}));
  DRO_SetScaleSize(100);  // lowered to S
  EXPECT_EQ(b().scaledCount, 40);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(b().sizeIndexMap[i], i);
}

TEST_F(BrushSettings, SizesAboveTheMapOrTheLimitAreClamped) {
  DRO_SetSize(1500);  // the limit allows it, the 1000-entry map does not
  EXPECT_EQ(b().size, 1000);
  EXPECT_EQ(b().sizeIndexMap[999], 999);
  DRO_SetScaleSize(2000);
  EXPECT_EQ(b().scaledCount, 999);
  for (int i = 0; i < 999; ++i) {
    ASSERT_LT(b().sizeIndexMap[i], 1000);
    if (i) {
      ASSERT_GT(b().sizeIndexMap[i], b().sizeIndexMap[i - 1]);
    }
  }

  DRO_NewSize(nullptr, 32, 32, 64, 5);
  DRO_SetSize(100);
  EXPECT_EQ(b().size, 64);
  DRO_SetSize(-3);
  EXPECT_EQ(b().size, 0);
  DRO_SetScaleSize(5);  // nothing to sample in a size of 0
  EXPECT_EQ(b().scaledCount, 0);

  // A canvas with a smaller limit bounds a size set earlier.
  DRO_SetSize(60);
  DRO_NewSize(nullptr, 32, 32, 20, 5);
  EXPECT_EQ(dro::brush::BrushSize(), 20);
  DRO_SetScaleSize(100);
  EXPECT_EQ(b().scaledCount, 20);
  EXPECT_EQ(b().sizeIndexMap[19], 19);
}

TEST_F(BrushSettings, VaryTablesAreBuiltForPositiveAmountsOnly) {
  DRO_SetRandomSeed(0);
  DRO_SetPixColorVary(0);
  EXPECT_FALSE(b().pixColorVary.data.present());
  DRO_SetPixColorVary(12);
  EXPECT_EQ(b().pixColorVaryAmount, 12);
  ASSERT_EQ(b().pixColorVary.length, 4500);
  EXPECT_EQ(b().pixColorVary.modulus, 1000);
  EXPECT_EQ(b().pixColorVary.data[1], 719 & 0xFF);  // 7719 % 1000, low byte
  DRO_SetPixLumVary(3);
  ASSERT_EQ(b().pixLumVary.length, 4500);
  EXPECT_EQ(b().pixLumVary.data[1], 7719 % 256);

  DRO_SetRandomSeed(1);
  DRO_SetPixLumVary(-1);  // stored, table left alone
  EXPECT_EQ(b().pixLumVaryAmount, -1);
  EXPECT_EQ(b().pixLumVary.seed, 0);
  DRO_SetPixLumVary(1);
  EXPECT_EQ(b().pixLumVary.seed, 1);
  EXPECT_EQ(b().pixLumVary.data[0], 41);
  DRO_SetRandomSeed(0);
}

TEST_F(BrushSettings, RandomSeedSeedsTheGeneratorAtOnce) {
  DRO_SetRandomSeed(1);
  EXPECT_EQ(engine().random.seed, 1);
  EXPECT_EQ(engine().random.generator.Next(), 41);
  DRO_SetRandomSeed(0);
  EXPECT_EQ(engine().random.generator.Next(), 38);
}

TEST_F(BrushSettings, ViewAndMaskSettingsLandInTheirSubsystems) {
  DRO_SetTracingMode(1);
  DRO_DisplayMask(1);
  DRO_EnableMask(0);
  EXPECT_EQ(engine().display.tracingMode, 1);
  EXPECT_EQ(engine().display.maskDisplay, 1);
  EXPECT_EQ(engine().mask.enabled, 0);
  DRO_SetScale(3, 2);
  DRO_SetOffset(-4, 9);
  DRO_SetViewSize(640, 480);
  EXPECT_EQ(engine().display.zoomNumerator, 3);
  EXPECT_EQ(engine().display.zoomDenominator, 2);
  EXPECT_EQ(engine().display.offsetX, -4);
  EXPECT_EQ(engine().display.offsetY, 9);
  EXPECT_EQ(engine().display.viewWidth, 640);
  EXPECT_EQ(engine().display.viewHeight, 480);
  DRO_SetScale(1, 0);  // a zoom the compositor could not divide by
  DRO_SetScale(-1, 2);
  EXPECT_EQ(engine().display.zoomNumerator, 3);
  EXPECT_EQ(engine().display.zoomDenominator, 2);
}

TEST_F(BrushSettings, DrawingLengthAndOneDabFlags) {
  engine().brush.drawingLengthCounter = 2;
  DRO_DecDrawingLength();
  DRO_DecDrawingLength();
  DRO_DecDrawingLength();
  EXPECT_EQ(b().drawingLengthCounter, -1);
  DRO_TempDisableBlend();
  DRO_SetMaskMakerOn();
  DRO_SetEraseModeOn();
  EXPECT_EQ(b().tempBlendOff, 1);
  EXPECT_EQ(b().maskMaker, 1);
  EXPECT_EQ(b().eraseMode, 1);
  DRO_SetGridSpacing(12);  // accepted, nothing changes
  EXPECT_STREQ(DRO_GetLastError(), "");
}

}  // namespace
