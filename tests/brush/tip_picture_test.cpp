// Brush tips made from pictures: image files and effect scripts, rotation,
// scaling, opacity, and the cache that spares reloading the same picture.
#include <gtest/gtest.h>

#include <string>

#include "base/allocation.h"
#include "brush/brush_shape.h"
#include "drovine.h"
#include "engine/engine.h"
#include "picture_test_util.h"
#include "support/allocation_sweep.h"
#include "support/canvas.h"

namespace {

using brush_test::GreyOf;
using brush_test::Rgba;
using dro::engine;

constexpr int32_t kLimit = 64;

uint16_t Tip(int32_t row, int32_t column) {
  return engine().brush.tip[row * kLimit + column];
}

// A picture white on its left half, black on its right.
Rgba HalfWhite(int32_t side) {
  Rgba picture(side, side);
  for (int32_t y = 0; y < side; ++y) {
    for (int32_t x = 0; x < side; ++x) {
      const uint8_t v = x < side / 2 ? 255 : 0;
      picture.Set(x, y, v, v, v);
    }
  }
  return picture;
}

Rgba Plain(int32_t side, uint8_t r, uint8_t g, uint8_t b) {
  Rgba picture(side, side);
  for (int32_t y = 0; y < side; ++y) {
    for (int32_t x = 0; x < side; ++x) picture.Set(x, y, r, g, b);
  }
  return picture;
}

class TipPicture : public drovine_test::CanvasTest {
 protected:
  TipPicture() : CanvasTest({16, 16, kLimit}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    DRO_SetSize(32);
    // Full opacity, no softness, no invert for tips built without a tool.
    DRO_SetTool(1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "", "", 0);
  }
  // The tool with a tip picture and nothing else.
  void Tool(const std::string& path, int32_t angle, float opacity = 1.0f, int32_t length = 0) {
    ASSERT_EQ(
        DRO_SetTool(opacity, 0, 0, 0, 0, 0, length, 0, 0, 0, 0, 0, 0, "", path.c_str(), angle), 1);
  }
  brush_test::ScratchDir dir;
};

TEST_F(TipPicture, PlainImageFillsTheTipWithItsGreyTimesOpacity) {
  const std::string path = dir.File("grey.png");
  brush_test::WritePng(path, Plain(16, 128, 128, 128));  // enlarged 16 -> 32
  const uint16_t full = static_cast<uint16_t>(GreyOf(128, 128, 128) * 256);
  engine().brush.drawingLengthCounter = 0;
  Tool(path, 0, 1.0f, 9);
  for (int i = 0; i < 32; ++i) {
    for (int j = 0; j < 32; ++j) ASSERT_EQ(Tip(i, j), full) << i << "," << j;
  }
  EXPECT_EQ(Tip(32, 0), 0);  // outside S x S the tip is clear
  EXPECT_EQ(Tip(0, 32), 0);
  EXPECT_EQ(engine().brush.drawingLengthCounter, 9);

  brush_test::WritePng(dir.File("big.png"), Plain(100, 128, 128, 128));  // shrunk 100 -> 32
  Tool(dir.File("big.png"), 0, 0.5f);
  EXPECT_EQ(Tip(5, 7), static_cast<uint16_t>(static_cast<float>(full) * 0.5f));
  EXPECT_EQ(Tip(31, 31), static_cast<uint16_t>(static_cast<float>(full) * 0.5f));
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(TipPicture, RowsAndColumnsKeepTheirPlaceAndRotationTurnsThePicture) {
  const std::string path = dir.File("half.png");
  brush_test::WritePng(path, HalfWhite(32));
  Tool(path, 0);
  EXPECT_EQ(Tip(3, 2), 65280);
  EXPECT_EQ(Tip(28, 29), 0);
  Tool(path, 180);
  EXPECT_EQ(Tip(3, 2), 0);
  EXPECT_GE(Tip(28, 29), 65000);
}

TEST_F(TipPicture, TheSamePathAndAngleLoadOnceAndScaleEveryTime) {
  const std::string path = dir.File("half.png");
  brush_test::WritePng(path, HalfWhite(40));
  const uint64_t loads = dro::brush::ShapeSourceLoadCount();
  DRO_SetBrushShape(path.c_str(), 0);
  const uint8_t* pixels = engine().brush.shapeSourceCache.pixels.data();
  DRO_SetBrushShape(path.c_str(), 0);
  EXPECT_EQ(dro::brush::ShapeSourceLoadCount(), loads + 1);
  EXPECT_EQ(engine().brush.shapeSourceCache.pixels.data(), pixels);
  EXPECT_EQ(engine().brush.shapeSourceCache.width, 40);
  EXPECT_EQ(std::string(engine().brush.shapeSourceCache.path), path);

  // A new size re-scales the cached picture without loading it.
  DRO_SetSize(16);
  DRO_SetBrushShape(path.c_str(), 0);
  EXPECT_EQ(dro::brush::ShapeSourceLoadCount(), loads + 1);
  EXPECT_EQ(Tip(8, 1), 65280);
  EXPECT_EQ(Tip(8, 20), 0);  // past the new size

  // Another angle or another path loads again; the old picture goes.
  DRO_SetBrushShape(path.c_str(), 90);
  EXPECT_EQ(dro::brush::ShapeSourceLoadCount(), loads + 2);
  EXPECT_EQ(engine().brush.shapeSourceCache.angle, 90);
  DRO_SetBrushShape(path.c_str(), 90);
  EXPECT_EQ(dro::brush::ShapeSourceLoadCount(), loads + 2);
  DRO_SetBrushShape_ORIGINAL(path.c_str(), 90);  // shares the cache
  EXPECT_EQ(dro::brush::ShapeSourceLoadCount(), loads + 2);
  brush_test::WritePng(dir.File("other.png"), HalfWhite(20));
  DRO_SetBrushShape(dir.File("other.png").c_str(), 90);
  EXPECT_EQ(dro::brush::ShapeSourceLoadCount(), loads + 3);
  EXPECT_EQ(engine().brush.shapeSourceCache.width, 20);

  // A new canvas releases the cached picture.
  DRO_NewSize(nullptr, 16, 16, kLimit, 5);
  EXPECT_FALSE(engine().brush.shapeSourceCache.present());
  DRO_SetBrushShape(dir.File("other.png").c_str(), 90);
  EXPECT_EQ(dro::brush::ShapeSourceLoadCount(), loads + 4);
}

TEST_F(TipPicture, ScriptsRenderTheTipInRedGreenBlueOrder) {
  const std::string white = dir.File("white.dscript");
  brush_test::WritePlainScript(white, 10, 6, 255, 255, 255);
  Tool(white, 0);
  EXPECT_EQ(Tip(0, 0), GreyOf(255, 255, 255) * 256);
  EXPECT_EQ(Tip(31, 31), GreyOf(255, 255, 255) * 256);
  EXPECT_EQ(engine().brush.shapeSourceCache.width, 10);
  EXPECT_EQ(engine().brush.shapeSourceCache.height, 6);

  // Red and blue weigh differently in grey: a picture left in the script
  // library's blue-first order would give the grey of blue.
  const std::string red = dir.File("red.dscript");
  brush_test::WritePlainScript(red, 8, 8, 255, 0, 0);
  ASSERT_NE(GreyOf(255, 0, 0), GreyOf(0, 0, 255));
  Tool(red, 0);
  EXPECT_EQ(Tip(16, 16), GreyOf(255, 0, 0) * 256);
  EXPECT_EQ(engine().brush.shapeSourceCache.pixels[0], 255);  // cached red first

  // Without scripts the same path is no picture: the disc is made.
  const uint64_t loads = dro::brush::ShapeSourceLoadCount();
  DRO_SetBrushShape_ORIGINAL(white.c_str(), 0);
  EXPECT_EQ(dro::brush::ShapeSourceLoadCount(), loads);
  EXPECT_EQ(Tip(16, 16), 65535);
  EXPECT_EQ(Tip(0, 0), 0);
  EXPECT_FALSE(engine().brush.shapeSourceCache.present());
}

TEST_F(TipPicture, PathsTooLongToRememberAreLoadedEachTime) {
  std::filesystem::path deep = dir.path();
  while (deep.string().size() < 1100) deep /= std::string(200, 'd');
  std::filesystem::create_directories(deep);
  const std::string path = (deep / "tip.png").string();
  ASSERT_GT(path.size(), 1023u);
  brush_test::WritePng(path, HalfWhite(32));
  const uint64_t loads = dro::brush::ShapeSourceLoadCount();
  Tool(path, 0);
  Tool(path, 0);
  EXPECT_EQ(dro::brush::ShapeSourceLoadCount(), loads + 2);
  EXPECT_EQ(engine().brush.shapeSourceCache.path[0], '\0');
  EXPECT_EQ(Tip(3, 2), 65280);  // the picture was still used
}

TEST_F(TipPicture, FailuresWhileLoadingOrScalingFallBackToTheDiscAndAreRecorded) {
  const std::string path = dir.File("grey.png");
  brush_test::WritePng(path, Plain(16, 90, 90, 90));
  engine().brush.drawingLength = 4;
  for (const bool cached : {true, false}) {
    SCOPED_TRACE(cached ? "scaling the cached picture" : "reading the picture");
    DRO_SetBrushShape(path.c_str(), 0);
    drovine_test::SweepAllocationFailures(
        {.errorText = "SetBrushShape Excpt"},
        [&] {
          if (!cached) engine().brush.shapeSourceCache.Reset();
          engine().brush.drawingLengthCounter = -1;
          DRO_SetBrushShape(path.c_str(), 0);
        },
        [](int64_t) {
          EXPECT_EQ(Tip(16, 16), 65535);  // disc
          EXPECT_EQ(Tip(0, 0), 0);
          EXPECT_EQ(engine().brush.drawingLengthCounter, -1);  // nothing was scaled
        });
    EXPECT_EQ(Tip(0, 0), GreyOf(90, 90, 90) * 256);
    EXPECT_EQ(engine().brush.drawingLengthCounter, 4);
  }
}

}  // namespace
