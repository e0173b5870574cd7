// Canvas lifecycle: geometry, every buffer's size and contents, the random
// tables, and survival of allocation failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "drovine.h"
#include "engine/canvas.h"
#include "engine/engine.h"
#include "support/allocation_sweep.h"

namespace {

using dro::engine;

class Canvas : public ::testing::Test {
 protected:
  void SetUp() override { DRO_SetLastError(""); }
  void TearDown() override {
    dro::FailAllocationAfter(-1);
    DRO_DeleteImage();
  }
};

TEST_F(Canvas, ClampsSidesOutsideTheRange) {
  DRO_CreateImage(nullptr, -5, 20000, 16, 5);
  EXPECT_EQ(engine().canvas.width, 100);
  EXPECT_EQ(engine().canvas.height, 100);
  DRO_CreateImage(nullptr, 10000, 10001, 16, 5);
  EXPECT_EQ(engine().canvas.width, 10000);
  EXPECT_EQ(engine().canvas.height, 100);
  DRO_NewSize(nullptr, 0, -1, 16, 5);
  EXPECT_EQ(engine().canvas.width, 0);
  EXPECT_EQ(engine().canvas.height, 100);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(Canvas, CreateMakesEveryBufferWithItsSizeAndContents) {
  int window = 0;
  DRO_CreateImage(&window, 30, 20, 12, 77);
  const dro::Engine& e = engine();
  EXPECT_EQ(e.canvas.hostWindow, &window);
  EXPECT_EQ(e.canvas.rgbaStride, 120);
  EXPECT_EQ(e.canvas.brushLimit, 12);
  EXPECT_EQ(e.canvas.brushStride, 48);
  EXPECT_EQ(e.canvas.blendFilterStride, 48);
  EXPECT_EQ(e.canvas.creationValue, 77);
  EXPECT_EQ(e.display.zoomNumerator, 1);
  EXPECT_EQ(e.display.zoomDenominator, 1);

  for (const auto& grit : e.brush.grit) EXPECT_EQ(grit.size(), 37u * 37u);
  EXPECT_EQ(e.brush.tip.size(), 144u);
  ASSERT_EQ(e.brush.blendBuffer.size(), 144u);
  EXPECT_TRUE(std::all_of(e.brush.blendBuffer.begin(), e.brush.blendBuffer.end(),
                          [](const dro::Pixel64& p) { return !p.r && !p.g && !p.b && !p.a; }));
  ASSERT_EQ(e.mask.values.size(), 600u);
  EXPECT_TRUE(std::all_of(e.mask.values.begin(), e.mask.values.end(),
                          [](dro::Mask16 m) { return m == 65535; }));
  EXPECT_EQ(e.mask.rowStride, 60);
  EXPECT_EQ(e.mask.enabled, 1);
  EXPECT_EQ(e.undo.back.size(), 600u);
  EXPECT_EQ(e.undo.maskBack.size(), 600u);
  EXPECT_EQ(e.layers.current, nullptr);
  EXPECT_EQ(e.display.tracingMode, 0);
  EXPECT_EQ(e.display.traceLayer, 0);
  EXPECT_FALSE(e.work.source32.present());
}

TEST_F(Canvas, UndoUsageCountsTenBytesPerPixel) {
  DRO_CreateImage(nullptr, 1000, 1000, 8, 5);
  EXPECT_EQ(engine().undo.usageKb, 9765);
  DRO_NewSize(nullptr, 100, 50, 8, 5);
  EXPECT_EQ(engine().undo.usageKb, 48);  // 50000 / 1024
  DRO_DeleteImage();
  EXPECT_EQ(engine().undo.usageKb, 0);
}

TEST_F(Canvas, GritTablesFollowTheSeed) {
  DRO_SetRandomSeed(0);
  DRO_CreateImage(nullptr, 8, 8, 8, 5);
  const dro::RandomTable& decision = engine().brush.gritDecision;
  const dro::RandomTable& level = engine().brush.gritLevel;
  ASSERT_EQ(decision.length, 1000000);
  EXPECT_EQ(decision.modulus, 255);
  EXPECT_EQ(level.modulus, 254);
  EXPECT_EQ(decision.data[0], 38);  // the first rand() after srand(0)
  EXPECT_EQ(decision.data[1], 7719 % 255);
  // The level table is drawn after reseeding, so it starts the same sequence.
  EXPECT_EQ(level.data[0], 38);
  EXPECT_EQ(level.data[1], 7719 % 254);
  EXPECT_TRUE(
      std::all_of(decision.data.begin(), decision.data.end(), [](uint8_t v) { return v < 255; }));
}

TEST_F(Canvas, UnchangedTablesAreNotRebuilt) {
  DRO_SetRandomSeed(0);
  DRO_CreateImage(nullptr, 8, 8, 8, 5);
  const uint8_t* before = engine().brush.gritDecision.data.data();
  const uint64_t allocations = dro::AllocationCount();
  DRO_NewSize(nullptr, 8, 8, 8, 5);
  EXPECT_EQ(engine().brush.gritDecision.data.data(), before);
  // New size re-makes 20 grit buffers, tip, blend, mask and two back buffers.
  EXPECT_EQ(dro::AllocationCount() - allocations, 25u);

  DRO_SetRandomSeed(1);
  DRO_NewSize(nullptr, 8, 8, 8, 5);
  EXPECT_EQ(engine().brush.gritDecision.seed, 1);
  EXPECT_EQ(engine().brush.gritDecision.data[0], 41 % 255);  // first rand() after srand(1)
  DRO_SetRandomSeed(0);
}

TEST_F(Canvas, SecondCreateReleasesTheFirstCanvas) {
  DRO_CreateImage(nullptr, 64, 64, 16, 5);
  DRO_CreatePaintLayer(100, "Normal");
  ASSERT_EQ(DRO_CreateLayer(3, 64, 64), 1);
  DRO_CreateImage(nullptr, 32, 32, 16, 5);
  EXPECT_FALSE(engine().layers.paint.pixels.present());
  EXPECT_EQ(DRO_GetLayerCount(), 0);
  EXPECT_EQ(engine().mask.values.size(), 32u * 32u);
}

TEST_F(Canvas, NewSizeKeepsBothBrushStridesInStep) {
  DRO_CreateImage(nullptr, 16, 16, 10, 5);
  DRO_NewSize(nullptr, 16, 16, 40, 9);
  EXPECT_EQ(engine().canvas.brushStride, 160);
  EXPECT_EQ(engine().canvas.blendFilterStride, 160);
  EXPECT_EQ(engine().brush.blendBuffer.size(), 1600u);
  EXPECT_EQ(engine().canvas.creationValue, 9);
}

TEST_F(Canvas, NewSizeLeavesLayersButResetsViewAndMask) {
  DRO_CreateImage(nullptr, 16, 16, 8, 5);
  ASSERT_EQ(DRO_CreateLayer(2, 16, 16), 1);
  DRO_SetLayer(2);
  DRO_SetScale(4, 1);
  DRO_SetTracingMode(1);
  engine().display.traceLayer = 5;  // no export chooses the trace layer
  std::vector<dro::Mask16> mask(16 * 16, 65535);
  mask[3] = 0;
  ASSERT_EQ(DRO_SetMaskData16(mask.data()), 16 * 16 * 2);
  DRO_NewSize(nullptr, 20, 10, 8, 5);
  EXPECT_EQ(DRO_GetLayerCount(), 1);
  EXPECT_EQ(engine().layers.current, &engine().layers.slots[2]);
  EXPECT_EQ(engine().display.traceLayer, 5);
  EXPECT_EQ(engine().display.tracingMode, 0);
  EXPECT_EQ(engine().display.zoomNumerator, 1);
  EXPECT_EQ(engine().mask.values[3], 65535);
  EXPECT_EQ(engine().mask.values.size(), 200u);
}

TEST_F(Canvas, DeleteReleasesEverythingAndIsHarmlessTwice) {
  DRO_CreateImage(nullptr, 16, 16, 8, 5);
  ASSERT_EQ(DRO_CreateLayer(1, 16, 16), 1);
  DRO_DeleteImage();
  DRO_DeleteImage();
  EXPECT_STREQ(DRO_GetLastError(), "");
  EXPECT_EQ(DRO_GetLayerCount(), 0);
  EXPECT_EQ(engine().layers.slots[1].width, 16);  // only the pixels go
  EXPECT_FALSE(engine().mask.values.present());
  EXPECT_FALSE(engine().undo.back.present());
  EXPECT_FALSE(engine().brush.tip.present());
  for (const auto& grit : engine().brush.grit) EXPECT_FALSE(grit.present());
  EXPECT_TRUE(engine().brush.gritDecision.data.present());  // random tables stay
  EXPECT_EQ(DRO_DeletePaintLayer(), 0);
  // No canvas, no canvas size: "canvas-size" host buffers are empty now.
  EXPECT_EQ(engine().canvas.width, 0);
  EXPECT_EQ(engine().canvas.height, 0);
  uint8_t alone[4] = {1, 2, 3, 4};
  DRO_InvertAlpha_RGBA32(alone);
  DRO_ApplyMaskToAlpha_RGBA32(alone);
  EXPECT_EQ(alone[3], 4);
}

TEST_F(Canvas, DeletePaintLayerReportsWhetherThereWasOne) {
  DRO_CreateImage(nullptr, 8, 8, 8, 5);
  EXPECT_EQ(DRO_DeletePaintLayer(), 0);
  DRO_CreatePaintLayer(100, "Normal");
  EXPECT_EQ(DRO_DeletePaintLayer(), 1);
  EXPECT_FALSE(engine().layers.paint.pixels.present());
}

TEST_F(Canvas, UndoLevelsAreCappedAt500AndClearTheStore) {
  DRO_CreateImage(nullptr, 8, 8, 8, 5);
  ASSERT_EQ(DRO_CreateLayer(2, 8, 8), 1);
  DRO_SetLayer(2);
  DRO_SetUndoLevels(10);
  DRO_SetUndoMB(64);  // a fixed budget: what the machine has free plays no part
  for (int i = 0; i < 3; ++i) DRO_SaveUndoBuffer(1, 0);
  for (int i = 0; i < 3; ++i) DRO_Undo();
  ASSERT_EQ(DRO_GetRedoCount(), 3);
  DRO_PauseUndo();
  DRO_SetUndoLevels(800);
  EXPECT_EQ(engine().undo.levels, 500);
  EXPECT_EQ(DRO_GetRedoCount(), 0);
  EXPECT_EQ(DRO_GetUndoCount(), 0);
  EXPECT_FALSE(engine().undo.paused);
  DRO_SetUndoLevels(3);
  EXPECT_EQ(engine().undo.levels, 3);
  DRO_SetUndoLevels(-4);
  EXPECT_EQ(engine().undo.levels, 0);
  DRO_SetUndoMB(0);
}

TEST_F(Canvas, ImpossibleBrushLimitsAreRefused) {
  DRO_CreateImage(nullptr, 8, 8, 8, 5);
  DRO_CreateImage(nullptr, 16, 16, -1, 5);
  EXPECT_STREQ(DRO_GetLastError(), "CreateImage Excpt");
  EXPECT_EQ(engine().mask.values.size(), 64u);  // the earlier canvas is untouched
  DRO_SetLastError("");
  DRO_NewSize(nullptr, 16, 16, INT_MAX, 5);
  EXPECT_STREQ(DRO_GetLastError(), "NewSize Excpt");
  EXPECT_EQ(engine().canvas.brushLimit, 8);
  EXPECT_TRUE(dro::canvas::BrushLimitIsPossible(46315));
  EXPECT_FALSE(dro::canvas::BrushLimitIsPossible(46316));
}

// Every allocation of create can fail: the failure is recorded, the process
// goes on, and a later create works.
TEST_F(Canvas, EachAllocationFailureInCreateIsSurvived) {
  // The random tables are made once; a create at the same seed keeps them.
  DRO_CreateImage(nullptr, 8, 8, 8, 5);
  DRO_DeleteImage();
  drovine_test::SweepAllocationFailures(
      {.errorText = "CreateImage Excpt"}, [] { DRO_CreateImage(nullptr, 24, 24, 8, 5); },
      [](int64_t) {
        DRO_SetLastError("");
        DRO_CreateImage(nullptr, 24, 24, 8, 5);
        EXPECT_STREQ(DRO_GetLastError(), "");
        EXPECT_EQ(engine().mask.values.size(), 576u);
        EXPECT_EQ(engine().undo.maskBack.size(), 576u);
        DRO_DeleteImage();
      });
  EXPECT_EQ(engine().mask.values.size(), 576u);
}

TEST_F(Canvas, TableFailureHasItsOwnTextAndKeepsTheRecord) {
  DRO_SetRandomSeed(0);
  DRO_CreateImage(nullptr, 8, 8, 8, 5);
  DRO_SetRandomSeed(5);
  // New size makes its 25 buffers, then the decision table fails.
  dro::FailAllocationAfter(25);
  DRO_NewSize(nullptr, 8, 8, 8, 5);
  EXPECT_STREQ(DRO_GetLastError(), "MakeRandArrayByte Excpt");
  EXPECT_FALSE(engine().brush.gritDecision.data.present());
  EXPECT_EQ(engine().brush.gritDecision.seed, 0);
  EXPECT_EQ(engine().brush.gritDecision.length, 1000000);
  EXPECT_EQ(engine().brush.gritLevel.seed, 5);  // the next table was still built
  DRO_SetRandomSeed(0);
}

TEST_F(Canvas, NewSizeAndDeleteFailuresAreRecorded) {
  DRO_CreateImage(nullptr, 8, 8, 8, 5);
  drovine_test::SweepAllocationFailures(
      {.errorText = "NewSize Excpt"}, [] { DRO_NewSize(nullptr, 12, 12, 8, 5); },
      [](int64_t) {
        DRO_SetLastError("");
        DRO_NewSize(nullptr, 12, 12, 8, 5);
        EXPECT_STREQ(DRO_GetLastError(), "");
        EXPECT_EQ(engine().undo.back.size(), 144u);
        DRO_NewSize(nullptr, 8, 8, 8, 5);  // the next run starts where this one did
      });
  EXPECT_EQ(engine().undo.back.size(), 144u);
}

}  // namespace
