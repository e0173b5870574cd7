// Image brushes: loading limits, sizing (exact copy, flat stays flat,
// premultiplied edges, the cache), the mix into the blend buffer, fill,
// colour and copy, strips of frames, rotation, PNG round trip, and
// allocation failures that keep the brush.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "brush/brush_state.h"
#include "drovine.h"
#include "picture_test_util.h"
#include "support/allocation_sweep.h"
#include "support/canvas.h"

namespace {

using brush_test::Rgba;
using dro::Pixel64;

dro::brush::ImageBrushState& Brush() {
  return dro::brush::State().imageBrush;
}
Pixel64* Blend() {
  return dro::brush::State().blendBuffer.data();
}

class ImageBrush : public drovine_test::CanvasTest {
 protected:
  ImageBrush() : CanvasTest({16, 16, 8}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    Brush() = {};
    DRO_SetSize(8);
  }
  void TearDown() override {
    Brush() = {};
    CanvasTest::TearDown();
  }
  // An 8 x 8 picture: pixel (x, y) has red 10 x x, green 10 x y, blue 7,
  // alpha 200 + x.
  static Rgba Picture(int32_t w = 8, int32_t h = 8) {
    Rgba p(w, h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        p.Set(x, y, uint8_t(10 * x), uint8_t(10 * y), 7, uint8_t(200 + x));
    return p;
  }
  static Pixel64 Wide(const Rgba& p, int32_t x, int32_t y) {
    const uint8_t* q = &p.pixels[(size_t(y) * p.width + x) * 4];
    return Pixel64{uint16_t(q[0] << 8), uint16_t(q[1] << 8), uint16_t(q[2] << 8),
                   uint16_t(q[3] << 8)};
  }
};

TEST_F(ImageBrush, LoadersRefuseWhatExceedsTheLimit) {
  const Rgba at = Picture(8, 3), over = Picture(9, 3);
  DRO_LoadImageBrushFromRGBA32(over.pixels.data(), 9, 3);
  DRO_LoadImageBrushFromRGBA32(nullptr, 8, 3);
  DRO_LoadImageBrushFromRGBA32(at.pixels.data(), 0, 3);
  DRO_LoadImageBrushFromRGBA32(at.pixels.data(), 8, -3);
  EXPECT_FALSE(Brush().picture);
  DRO_LoadImageBrushFromRGBA32(at.pixels.data(), 8, 3);
  ASSERT_TRUE(Brush().picture);
  EXPECT_EQ(Brush().picture[8 + 5], Wide(at, 5, 1));

  brush_test::ScratchDir dir;
  brush_test::WritePng(dir.File("over.png"), Picture(3, 9));
  brush_test::WritePng(dir.File("at.png"), Picture(8, 8));
  DRO_LoadImageBrush(dir.File("over.png").c_str());
  DRO_LoadImageBrush(dir.File("missing.png").c_str());
  DRO_LoadImageBrush(nullptr);
  EXPECT_EQ(Brush().width, 8);
  EXPECT_EQ(Brush().height, 3);
  DRO_LoadImageBrush(dir.File("at.png").c_str());
  EXPECT_EQ(Brush().height, 8);
  // Saved and read back, byte for byte.
  DRO_SaveImageBrush(dir.File("saved.png").c_str());
  dro::platform::image::Picture back;
  ASSERT_TRUE(dro::platform::image::ReadImageRgba(dir.File("saved.png").c_str(), back));
  EXPECT_EQ(std::vector<uint8_t>(back.pixels.data(), back.pixels.data() + back.pixels.size()),
            Picture(8, 8).pixels);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(ImageBrush, SizingCopiesExactlyKeepsFlatFlatAndIsCached) {
  const Rgba p = Picture();
  DRO_LoadImageBrushFromRGBA32(p.pixels.data(), 8, 8);
  DRO_CopyFromImageBrush(0);  // same size: an exact copy
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(Blend()[y * 8 + x], Wide(p, x, y));
  const Pixel64* sized = Brush().sized.data();
  DRO_CopyFromImageBrush(0);
  EXPECT_EQ(Brush().sized.data(), sized);  // cached: not made again

  // Sized down and up, a flat brush stays flat.
  for (int32_t size : {3, 8, 5}) {
    DRO_SetSize(size);
    Rgba flat(7, 2);
    for (int32_t i = 0; i < 14; ++i) flat.Set(i % 7, i / 7, 40, 90, 200, 128);
    DRO_LoadImageBrushFromRGBA32(flat.pixels.data(), 7, 2);
    DRO_SizeImageBrush();
    ASSERT_EQ(Brush().sizedSide, size);
    for (size_t i = 0; i < Brush().sized.size(); ++i) {
      const Pixel64 q = Brush().sized[i];
      EXPECT_NEAR(q.r, 40 << 8, 1);
      EXPECT_NEAR(q.g, 90 << 8, 1);
      EXPECT_NEAR(q.b, 200 << 8, 1);
      EXPECT_EQ(q.a, 128 << 8);
    }
  }
  // Transparent red beside opaque green: no visible pixel turns red.
  for (int32_t size : {3, 8}) {
    DRO_SetSize(size);
    Rgba edge(6, 6);
    for (int32_t i = 0; i < 36; ++i)
      edge.Set(i % 6, i / 6, i % 6 < 3 ? 255 : 0, i % 6 < 3 ? 0 : 255, 0, i % 6 < 3 ? 0 : 255);
    DRO_LoadImageBrushFromRGBA32(edge.pixels.data(), 6, 6);
    DRO_SizeImageBrush();
    for (size_t i = 0; i < Brush().sized.size(); ++i) EXPECT_EQ(Brush().sized[i].r, 0) << i;
  }
}

TEST_F(ImageBrush, MixKeepsThePercentOfTheBlendBuffer) {
  DRO_FillImageBrush(0, 0, 0);
  const struct {
    int32_t percent;
    uint16_t expected;  // blend 65280 mixed with brush 0 (alpha with 65535)
    uint16_t alpha;
  } cases[] = {{0, 0, 65535},
               {-5, 0, 65535},
               {100, 65025, 65025},
               {150, 65025, 65025},
               {50, (127 * 65280) >> 8, (127 * 65280 + 128 * 65535) >> 8}};
  for (const auto& c : cases) {
    std::fill_n(Blend(), 64, Pixel64{65280, 65280, 65280, 65280});
    DRO_CopyFromImageBrush(c.percent);
    EXPECT_EQ(Blend()[63].r, c.expected) << c.percent;
    EXPECT_EQ(Blend()[63].a, c.alpha) << c.percent;
  }
}

TEST_F(ImageBrush, FillColourAndCopyFollowTheBrushSize) {
  DRO_FillImageBrush(0x1FF, 2, -253);  // low bytes 255, 2, 3
  ASSERT_EQ(Brush().width, 8);
  EXPECT_EQ(Brush().picture[0], (Pixel64{65535, 514, 771, 65535}));
  const Rgba p = Picture();
  DRO_LoadImageBrushFromRGBA32(p.pixels.data(), 8, 8);
  DRO_ColorImageBrush(1, 2, 3);
  EXPECT_EQ(Brush().picture[9], (Pixel64{257, 514, 771, uint16_t(201 << 8)}));  // alpha kept
  Brush() = {};
  DRO_ColorImageBrush(1, 2, 3);  // no brush: a white one recoloured
  EXPECT_EQ(Brush().picture[63], (Pixel64{257, 514, 771, 65535}));

  std::fill_n(Blend(), 64, Pixel64{1, 2, 3, 4});
  DRO_SetSize(5);
  DRO_CopyToImageBrush();
  ASSERT_EQ(Brush().width, 5);
  EXPECT_EQ(Brush().picture[24], (Pixel64{1, 2, 3, 4}));
  dro::brush::State().blendBuffer.Reset();
  DRO_CopyToImageBrush();  // no blend buffer: transparent
  EXPECT_EQ(Brush().picture[24], (Pixel64{0, 0, 0, 0}));
  DRO_CopyFromImageBrush(0);  // nothing to write into, nothing written

  // A brush size of 0 makes, sizes and colours nothing.
  DRO_SetSize(0);
  const Pixel64 before = Brush().picture[0];
  DRO_FillImageBrush(9, 9, 9);
  DRO_ColorImageBrush(9, 9, 9);
  DRO_CopyToImageBrush();
  DRO_SizeImageBrush();
  EXPECT_EQ(Brush().width, 5);
  EXPECT_EQ(Brush().picture[0], before);
}

TEST_F(ImageBrush, StripsSelectFramesByPosition) {
  Recreate({16, 16, 100});
  brush_test::ScratchDir dir;
  Rgba strip(500, 100);
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 500; ++x) strip.Set(x, y, uint8_t(x / 100), uint8_t(x % 100), 0);
  brush_test::WritePng(dir.File("strip.png"), strip);
  brush_test::WritePng(dir.File("tall.png"), Rgba(50, 100));
  brush_test::WritePng(dir.File("high.png"), Rgba(500, 101));
  DRO_CopyFromImageBrushArray(0.5f);  // no strip: nothing
  EXPECT_FALSE(Brush().picture);
  DRO_LoadImageBrushArray(dir.File("tall.png").c_str());
  DRO_LoadImageBrushArray(dir.File("high.png").c_str());
  EXPECT_FALSE(Brush().strip);
  DRO_LoadImageBrushArray(dir.File("strip.png").c_str());
  ASSERT_EQ(Brush().frameCount, 5);
  EXPECT_EQ(Brush().picture[0].r, 0);  // frame 0 to start
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float position;
    uint16_t frame;
  } cases[] = {{0.5f, 2}, {0.99f, 4}, {1.0f, 4}, {7.0f, 4}, {-1.0f, 0}, {nan, 0}, {0.2f, 1}};
  for (const auto& c : cases) {
    DRO_CopyFromImageBrushArray(c.position);
    ASSERT_EQ(Brush().width, 100);
    EXPECT_EQ(Brush().picture[100 * 7 + 42].r, c.frame << 8) << c.position;
    EXPECT_EQ(Brush().picture[100 * 7 + 42].g, 42 << 8) << c.position;
  }
}

TEST_F(ImageBrush, RotationTurnsAboutTheCentreAndClipsToTheLimit) {
  Rgba p(8, 8);
  p.Set(1, 2, 255, 0, 0);
  DRO_LoadImageBrushFromRGBA32(p.pixels.data(), 8, 8);
  DRO_CopyFromImageBrushRotate(0);  // no rotation yet: nothing
  EXPECT_EQ(Blend()[0], (Pixel64{0, 0, 0, 0}));
  DRO_SizeImageBrush();
  const auto rotated = [](int32_t x, int32_t y) {
    return Brush().rotated.data() + (y * 8 + x) * 4;
  };
  for (int32_t degrees : {0, 360, -720}) {
    DRO_RotateImageBrush(degrees);
    EXPECT_EQ(std::vector<uint8_t>(rotated(0, 0), rotated(0, 0) + 256), p.pixels) << degrees;
  }
  // A quarter turn clockwise: (1, 2) about (3.5, 3.5) lands on (5, 1).
  for (int32_t degrees : {90, -270, 450}) {
    DRO_RotateImageBrush(degrees);
    EXPECT_EQ(rotated(5, 1)[0], 255) << degrees;
    EXPECT_EQ(rotated(5, 1)[3], 255) << degrees;
    EXPECT_EQ(rotated(1, 2)[3], 0) << degrees;
  }
  DRO_CopyFromImageBrushRotate(0);
  EXPECT_EQ(Blend()[1 * 8 + 5], (Pixel64{65280, 0, 0, 65280}));
  // A smaller limit afterwards: the rotated brush is clipped to it.
  DRO_NewSize(nullptr, 16, 16, 4, 0);
  DRO_CopyFromImageBrushRotate(0);
  EXPECT_EQ(Blend()[1 * 4 + 3], (Pixel64{0, 0, 0, 0}));
  // Sizing again clears the rotation.
  DRO_SetSize(3);
  DRO_SizeImageBrush();
  EXPECT_FALSE(Brush().rotationReady);
}

TEST_F(ImageBrush, FailedAllocationsKeepTheBrush) {
  const Rgba p = Picture();
  DRO_LoadImageBrushFromRGBA32(p.pixels.data(), 8, 8);
  DRO_SetSize(5);
  DRO_SizeImageBrush();
  const Pixel64 sized = Brush().sized[7];
  DRO_SetSize(3);
  drovine_test::SweepAllocationFailures(
      {"SizeImageBrush Excpt"}, [] { DRO_SizeImageBrush(); },
      [&](int64_t) {
        EXPECT_EQ(Brush().sizedSide, 5);
        EXPECT_EQ(Brush().sized[7], sized);
      });
  EXPECT_EQ(Brush().sizedSide, 3);
  drovine_test::SweepAllocationFailures(
      {"FillImageBrush Excpt"}, [] { DRO_FillImageBrush(1, 2, 3); },
      [&](int64_t) { EXPECT_EQ(Brush().picture[9], Wide(p, 1, 1)); });
  drovine_test::SweepAllocationFailures({"RotateImageBrush Excpt"},
                                        [] { DRO_RotateImageBrush(30); });
  // A rotation that failed is not ready, so nothing half-turned is copied.
  DRO_RotateImageBrush(30);
  EXPECT_TRUE(Brush().rotationReady);
}

}  // namespace
