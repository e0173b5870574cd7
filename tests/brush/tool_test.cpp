// DRO_SetTool as a whole: what it stores, what it derives and clears.
#include <gtest/gtest.h>

#include "drovine.h"
#include "engine/engine.h"
#include "support/canvas.h"

namespace {

using dro::engine;

class Tool : public drovine_test::CanvasTest {
 protected:
  Tool() : CanvasTest({16, 16, 20}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    DRO_SetSize(20);
  }
};

TEST_F(Tool, StoresEveryValueAndTheLowByteWhereItIsAByte) {
  DRO_SetMixMode(5, 200);
  ASSERT_EQ(DRO_SetTool(0.75f, 0, 130, 140, 0x1FF, 33, 12, 64, 200, 0x102, 0x1AB, 0x100, 0x1CD, "",
                        "", 45),
            1);
  const dro::brush::BrushState& b = engine().brush;
  EXPECT_EQ(b.tipOpacity, 0.75f);
  EXPECT_EQ(b.gritCellSize, 0);
  EXPECT_EQ(b.gritCellThreshold, 130);
  EXPECT_EQ(b.gritPixelThreshold, 140);
  EXPECT_EQ(b.tipSoftness, 0xFF);
  EXPECT_EQ(b.colorVary, 33);
  EXPECT_EQ(b.drawingLength, 12);
  EXPECT_EQ(b.blendRemix, 2);
  EXPECT_EQ(b.toolOption10, 0xAB);
  EXPECT_EQ(b.invertTip, 0);  // 0x100: the low byte is 0
  EXPECT_EQ(b.toolOption12, 0xCD);
  EXPECT_EQ(b.shapeAngle, 45);
  // The tool resets the mix mode but keeps the amount and its shift.
  EXPECT_EQ(b.mixMode, 32);
  EXPECT_EQ(b.mixAmount, 200);
  EXPECT_EQ(b.mixShift, 9);
  EXPECT_EQ(b.blendStrength, 64);
  EXPECT_EQ(b.inverseBlendStrength, 192);
  EXPECT_EQ(b.primaryColorStrength, 200);
  EXPECT_EQ(b.inversePrimaryColorStrength, 56);
  // Strengths that are not positive keep the inverses they had.
  DRO_SetTool(1.0f, 0, 0, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0, "", "", 0);
  EXPECT_EQ(b.inverseBlendStrength, 192);
  EXPECT_EQ(b.inversePrimaryColorStrength, 56);
}

TEST_F(Tool, ClearsTheOneDabFlagsAndMakesTheTip) {
  DRO_TempDisableBlend();
  DRO_SetMaskMakerOn();
  DRO_SetEraseModeOn();
  engine().brush.tip.FillBytes(0x11);
  DRO_SetSize(16);
  DRO_SetTool(1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "", "", 0);
  EXPECT_EQ(engine().brush.tempBlendOff, 0);
  EXPECT_EQ(engine().brush.maskMaker, 0);
  EXPECT_EQ(engine().brush.eraseMode, 0);
  // Centre full, the corner outside the disc cleared, beyond S x S cleared.
  EXPECT_EQ(engine().brush.tip[8 * 20 + 8], 65535);
  EXPECT_EQ(engine().brush.tip[15 * 20 + 15], 0);
  EXPECT_EQ(engine().brush.tip[19 * 20 + 19], 0);
}

}  // namespace
