// Grit taken from pictures: random windows of an image file or of a tiled
// script picture, and the pictures that cannot be used.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/random.h"
#include "drovine.h"
#include "engine/engine.h"
#include "picture_test_util.h"
#include "support/allocation_sweep.h"

namespace {

using brush_test::GreyOf;
using brush_test::Rgba;
using dro::engine;

int32_t GritTool(int32_t cell, const std::string& source, int32_t drawingLength = 5) {
  return DRO_SetTool(1.0f, cell, 256, 256, 0, 0, drawingLength, 0, 0, 0, 0, 0, 0, source.c_str(),
                     "", 0);
}

// A grey ramp in both directions, so that every window is different.
Rgba Ramp(int32_t width, int32_t height) {
  Rgba picture(width, height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t v = static_cast<uint8_t>((x * 7 + y * 13) % 251);
      picture.Set(x, y, v, static_cast<uint8_t>(v / 2), static_cast<uint8_t>(255 - v));
    }
  }
  return picture;
}

std::vector<uint8_t> GreyPicture(const Rgba& picture) {
  std::vector<uint8_t> grey(static_cast<size_t>(picture.width) * picture.height);
  EXPECT_TRUE(dro::platform::image::ImageToGray8(picture.pixels.data(), picture.width,
                                                 picture.height, 4, picture.width * 4, grey.data(),
                                                 picture.width));
  return grey;
}

class GritPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    DRO_SetLastError("");
    DRO_SetRandomSeed(0);
  }
  void TearDown() override {
    DRO_DeleteImage();
    DRO_SetRandomSeed(0);
  }
  brush_test::ScratchDir dir;
};

TEST_F(GritPicture, EachBufferTakesARandomWindowOfTheGreyImage) {
  constexpr int32_t L = 64;
  constexpr int32_t side = 10 + 25;
  DRO_CreateImage(nullptr, 16, 16, L, 5);
  DRO_SetSize(10);
  DRO_SetRandomSeed(77);
  const Rgba picture = Ramp(100, 90);
  const std::string path = dir.File("ramp.png");
  brush_test::WritePng(path, picture);
  const std::vector<uint8_t> grey = GreyPicture(picture);

  engine().brush.drawingLengthCounter = 0;
  ASSERT_EQ(GritTool(0, path, 6), 1);
  dro::RuntimeRandom rng;
  rng.Seed(77);
  for (int k = 0; k < 20; ++k) {
    const int x0 = rng.Next() % (100 - side);
    const int y0 = rng.Next() % (90 - side);
    const auto& buffer = engine().brush.grit[k];
    for (int y = 0; y < L + 25; ++y) {
      for (int x = 0; x < L; ++x) {
        const uint8_t expected = y < side && x < side ? grey[(y0 + y) * 100 + x0 + x] : 255;
        ASSERT_EQ(buffer[y * L + x], expected) << "buffer " << k << " at " << x << "," << y;
      }
    }
  }
  EXPECT_EQ(engine().brush.currentGrit, 19);
  EXPECT_EQ(engine().brush.drawingLengthCounter, 6);
}

TEST_F(GritPicture, WindowsWiderThanTheLimitAreClippedToLByL) {
  constexpr int32_t L = 40;
  DRO_CreateImage(nullptr, 16, 16, L, 5);
  DRO_SetSize(40);  // window 65 x 65, buffer seen as 40 x 40
  const Rgba picture = Ramp(120, 110);
  const std::string path = dir.File("ramp.png");
  brush_test::WritePng(path, picture);
  const std::vector<uint8_t> grey = GreyPicture(picture);
  GritTool(0, path);
  dro::RuntimeRandom rng;
  rng.Seed(0);
  const int x0 = rng.Next() % (120 - 65);
  const int y0 = rng.Next() % (110 - 65);
  const auto& buffer = engine().brush.grit[0];
  for (int y = 0; y < L; ++y) {
    for (int x = 0; x < L; ++x) ASSERT_EQ(buffer[y * L + x], grey[(y0 + y) * 120 + x0 + x]);
  }
  EXPECT_TRUE(
      std::all_of(buffer.begin() + L * L, buffer.end(), [](uint8_t v) { return v == 255; }));
}

TEST_F(GritPicture, PicturesNoLargerThanTheWindowKeepTheRandomGrit) {
  DRO_CreateImage(nullptr, 16, 16, 32, 5);
  DRO_SetSize(20);  // window 45
  GritTool(3, "");
  std::vector<std::vector<uint8_t>> random;
  for (const auto& g : engine().brush.grit) random.emplace_back(g.begin(), g.end());

  brush_test::WritePng(dir.File("narrow.png"), Ramp(45, 200));
  brush_test::WritePng(dir.File("short.png"), Ramp(200, 30));
  std::ofstream(dir.File("junk.png")) << "not a picture";
  for (const char* name : {"narrow.png", "short.png", "junk.png", "missing.png"}) {
    engine().brush.drawingLengthCounter = 0;
    ASSERT_EQ(GritTool(3, dir.File(name), 8), 1);
    for (int k = 0; k < 20; ++k) {
      ASSERT_TRUE(std::equal(random[k].begin(), random[k].end(), engine().brush.grit[k].begin()))
          << name << " buffer " << k;
    }
    // The counter restarts for the random grit that was made.
    EXPECT_EQ(engine().brush.drawingLengthCounter, 8) << name;
  }
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(GritPicture, ScriptTilesAreTurnedToGrey) {
  DRO_CreateImage(nullptr, 16, 16, 48, 5);
  DRO_SetSize(30);
  const std::string path = dir.File("grit.dscript");
  brush_test::WritePlainScript(path, 37, 23, 200, 100, 50);
  engine().brush.drawingLengthCounter = 0;
  GritTool(0, path, 3);
  const uint8_t grey = GreyOf(200, 100, 50);  // red first after the swap
  ASSERT_NE(grey, GreyOf(50, 100, 200));
  for (const auto& g : engine().brush.grit) {
    for (int y = 0; y < 48 + 25; ++y) {
      for (int x = 0; x < 48; ++x) {
        ASSERT_EQ(g[y * 48 + x], y < 48 ? grey : 255) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(engine().brush.drawingLengthCounter, 3);

  // A window of 600 or more cannot fit the 600 x 600 picture.
  DRO_NewSize(nullptr, 16, 16, 600, 5);
  DRO_SetSize(580);
  for (auto& g : engine().brush.grit) g.FillBytes(9);
  GritTool(0, path);
  EXPECT_EQ(engine().brush.grit[0][0], 9);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(GritPicture, RunningOutOfMemoryWhileReadingIsRecorded) {
  DRO_CreateImage(nullptr, 16, 16, 32, 5);
  DRO_SetSize(10);
  const std::string path = dir.File("ramp.png");
  brush_test::WritePng(path, Ramp(120, 110));
  // Every allocation of the tool fails in turn: the grit picture's (recorded
  // as the tool's failure) and the tip's (recorded as the shape's); none
  // passes unrecorded.
  drovine_test::SweepAllocationFailures(
      {}, [&] { GritTool(0, path); },
      [](int64_t) {
        const std::string error = DRO_GetLastError();
        EXPECT_TRUE(error == "SetTool Excpt" || error == "SetBrushShape Excpt") << error;
      });
  EXPECT_STREQ(DRO_GetLastError(), "");
}

}  // namespace
