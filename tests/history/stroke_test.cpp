// The engine's stroke: pressure curves at their edges, even spacing across
// points, the dirty rectangles, paint layer or straight painting, one undo
// step per stroke, and every refusal.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "drovine.h"
#include "engine/engine.h"
#include "hostkit/fingerprint.h"
#include "support/canvas.h"

namespace {

using drovine_test::CanvasTest;
using drovine_test::Pixel64;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class Stroke : public CanvasTest {
 protected:
  Stroke() : CanvasTest({200, 120, 64}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    drovine_test::ResetDabSettings();
    MakeLayer(1, Pixel64{65535, 65535, 65535, 65535});
    MakeLayer(2, Pixel64{0, 0, 0, 0});
    DRO_SetUndoLevels(8);
    DRO_SetLayer(2);
    DRO_SetSize(40);
    DRO_SetTool(1.0f, 0, 0, 0, 200, 0, 8, 0, 0, 0, 0, 0, 0, "", "", 0);
    DRO_SetAlpha(100);
    DRO_SetColor(10, 20, 200);
    ASSERT_EQ(DRO_XSetStrokeOptions(0.2, 0.15, 3, -1, 1, 100, "Normal"), 1);
  }
  void TearDown() override {
    DRO_DeletePaintLayer();
    CanvasTest::TearDown();
  }
  static uint64_t Layer2() { return hostkit::LayerFingerprint(2, 200, 120); }
};

TEST_F(Stroke, PressureCurvesAtTheirEdges) {
  const struct {
    double pressure;
    int32_t side, alpha;
  } table[] = {{kNaN, 6, 15}, {-1, 6, 15},     {0, 6, 15},     {0.15, 6, 15}, {0.2, 8, 20},
               {0.5, 20, 50}, {0.512, 20, 51}, {0.99, 40, 99}, {1, 40, 100},  {7, 40, 100}};
  for (const auto& row : table) {
    ASSERT_EQ(DRO_XStrokeBegin(2), 1);
    EXPECT_EQ(DRO_XStrokeTo(100, 60, row.pressure, 0, nullptr), 1) << row.pressure;
    EXPECT_EQ(dro::engine().brush.scaledCount, row.side) << row.pressure;
    EXPECT_EQ(dro::engine().brush.alpha, row.alpha) << row.pressure;
    DRO_XStrokeEnd(nullptr);
  }
  // Curves off: the brush's own size, and the host's alpha stays.
  ASSERT_EQ(DRO_XSetStrokeOptions(0.2, 0.15, 0, -1, 1, 100, "Normal"), 1);
  DRO_SetAlpha(37);
  ASSERT_EQ(DRO_XStrokeBegin(2), 1);
  DRO_XStrokeTo(100, 60, 0.3, 0, nullptr);
  EXPECT_EQ(dro::engine().brush.scaledCount, 40);
  EXPECT_EQ(dro::engine().brush.alpha, 37);
  // Only the size curve.
  ASSERT_EQ(DRO_XSetStrokeOptions(0.2, 0.15, 1, -1, 1, 100, "Normal"), 1);
  DRO_XStrokeTo(100, 60, 0.5, 0, nullptr);
  EXPECT_EQ(dro::engine().brush.scaledCount, 20);
  EXPECT_EQ(dro::engine().brush.alpha, 37);
  DRO_XStrokeEnd(nullptr);
}

TEST_F(Stroke, SpacingCarriesAcrossPointsAndRectanglesAreClipped) {
  DRO_SetSize(10);  // full pressure: side 10, step 2 pixels
  int32_t rect[4];
  ASSERT_EQ(DRO_XStrokeBegin(2), 1);
  EXPECT_EQ(DRO_XStrokeTo(10, 20, 1, 0, rect), 1);
  EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{5, 15, 10, 10}));
  // 51 pixels then 49: one dab every 2 pixels, the odd pixel carried over.
  EXPECT_EQ(DRO_XStrokeTo(61, 20, 1, 0.01, rect), 25);
  EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{7, 15, 58, 10}));
  EXPECT_EQ(DRO_XStrokeTo(110, 20, 1, 0.02, rect), 25);
  EXPECT_EQ(DRO_XStrokeTo(110.5, 20, 1, 0.03, rect), 0);  // shorter than a step
  EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{0, 0, 0, 0}));
  // Up and off the canvas: 35 places, of which the 12 whose dab touches the
  // canvas are painted; the rectangle is cut at the edge.
  EXPECT_EQ(DRO_XStrokeTo(110.5, -50, 1, 0.04, rect), 12);
  EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{106, 0, 10, 24}));
  EXPECT_EQ(DRO_XStrokeEnd(rect), 63);
  EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{5, 0, 111, 25}));
}

TEST_F(Stroke, PaintLayerMergesAtTheEndAndOneUndoStepUndoesIt) {
  const uint64_t before = Layer2();
  const int32_t undoBefore = DRO_GetUndoCount();
  ASSERT_EQ(DRO_XStrokeBegin(2), 1);
  DRO_XStrokeTo(20, 60, 0.8, 0, nullptr);
  DRO_XStrokeTo(180, 60, 0.8, 0.1, nullptr);
  EXPECT_EQ(Layer2(), before) << "dabs must gather in the paint layer until the end";
  EXPECT_TRUE(dro::engine().layers.paint.pixels);
  int32_t rect[4];
  EXPECT_GT(DRO_XStrokeEnd(rect), 10);
  const uint64_t painted = Layer2();
  EXPECT_NE(painted, before);
  EXPECT_GT(At(2, 100, 60).a, 60000);
  EXPECT_EQ(At(2, 100, 100).a, 0);
  EXPECT_EQ(DRO_GetUndoCount(), undoBefore + 1);
  DRO_Undo();
  EXPECT_EQ(Layer2(), before);
  DRO_Redo();
  EXPECT_EQ(Layer2(), painted);
  // A stroke without a point commits nothing.
  ASSERT_EQ(DRO_XStrokeBegin(2), 1);
  EXPECT_EQ(DRO_XStrokeEnd(rect), 0);
  EXPECT_EQ(DRO_GetUndoCount(), undoBefore + 1);
  EXPECT_EQ(DRO_CanRedo(), 0);
}

TEST_F(Stroke, StraightIntoTheLayerAndBeginSelectsIt) {
  ASSERT_EQ(DRO_XSetStrokeOptions(0.2, 0.15, 3, -1, 0, 100, "Normal"), 1);
  DRO_CreatePaintLayer(100, "Normal");
  DRO_SetLayer(1);
  const uint64_t before = Layer2();
  ASSERT_EQ(DRO_XStrokeBegin(2), 1);
  EXPECT_EQ(DRO_GetLayerNum(), 2);
  EXPECT_FALSE(dro::engine().layers.paint.pixels) << "straight painting removes the paint layer";
  DRO_XStrokeTo(50, 50, 1, 0, nullptr);
  EXPECT_NE(Layer2(), before);
  DRO_XStrokeEnd(nullptr);
  EXPECT_EQ(DRO_GetUndoCount(), 1);
}

TEST_F(Stroke, RefusalsLeaveEverythingAsItWas) {
  int32_t rect[4] = {7, 7, 7, 7};
  EXPECT_EQ(DRO_XStrokeTo(10, 10, 1, 0, rect), -1);
  EXPECT_EQ(rect[2], 0);
  EXPECT_EQ(DRO_XStrokeEnd(nullptr), -1);
  for (int32_t slot : {-1, 3, 64, 99}) EXPECT_EQ(DRO_XStrokeBegin(slot), 0) << slot;
  // Bad options change nothing.
  const struct {
    double spacing, minPressure;
    int32_t curves, opacity;
    const char* mode;
  } bad[] = {{0, 0.15, 3, 100, "Normal"},
             {kNaN, 0.15, 3, 100, "Normal"},
             {100.5, 0.15, 3, 100, "Normal"},
             {0.2, -0.01, 3, 100, "Normal"},
             {0.2, kNaN, 3, 100, "Normal"},
             {0.2, 1.01, 3, 100, "Normal"},
             {0.2, 0.15, 4, 100, "Normal"},
             {0.2, 0.15, -1, 100, "Normal"},
             {0.2, 0.15, 3, 101, "Normal"},
             {0.2, 0.15, 3, -1, "Normal"},
             {0.2, 0.15, 3, 100, "0123456789012345678901234567890123456789012345678901"}};
  for (const auto& b : bad)
    EXPECT_EQ(DRO_XSetStrokeOptions(b.spacing, b.minPressure, b.curves, 5, 0, b.opacity, b.mode), 0)
        << b.spacing << " " << b.minPressure << " " << b.curves << " " << b.opacity;
  const dro::history::StrokeOptions& o = dro::engine().stroke.options;
  EXPECT_EQ(o.spacing, 0.2);
  EXPECT_EQ(o.pickupWeight, -1);
  EXPECT_TRUE(o.paintLayer);

  ASSERT_EQ(DRO_XStrokeBegin(2), 1);
  const uint64_t before = Layer2();
  for (double far : {kNaN, double(INFINITY), 1000000.5, -2e9})
    EXPECT_EQ(DRO_XStrokeTo(far, 10, 1, 0, nullptr), -1) << far;
  EXPECT_EQ(DRO_XStrokeTo(1000000, -1000000, 1, 0, nullptr), 0) << "off the canvas: no dab";
  EXPECT_EQ(DRO_XStrokeTo(-1000000, 10, 1, 0, nullptr), 0);
  // The stroke is still open; a time going backwards is painted all the same.
  EXPECT_GT(DRO_XStrokeTo(100, 10, 1, -5, nullptr), 0);
  EXPECT_EQ(Layer2(), before) << "still gathering in the paint layer";
  // The layer deleted under the stroke: the stroke is dropped, nothing is
  // merged or committed.
  const int32_t undoCount = DRO_GetUndoCount();
  DRO_DeleteLayer(2);
  EXPECT_EQ(DRO_XStrokeTo(120, 10, 1, 0, nullptr), -1);
  EXPECT_EQ(DRO_XStrokeEnd(nullptr), -1);
  EXPECT_EQ(DRO_GetUndoCount(), undoCount);
  DRO_DeleteImage();
  EXPECT_EQ(DRO_XStrokeBegin(2), 0);
}

}  // namespace
